// qvex-ctl run on a German (decimal comma) or Turkish desktop: the files it
// writes and reads, and the numbers it takes, are those of the "C" locale.
// What the jobs do is test_ctl.cpp's; here only what a locale could change.
#include "tests/ctl/ctl_fixture.h"
#include "tests/fixtures/locale.h"
#include "tests/recorder/recorder_fixture.h"


#include <regex>

using namespace ctl_test;

namespace {

const char *const kLocales[] = {"C", kCommaLocale, kTurkishLocale};

class CtlLocaleTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    SimProcess sim;

    void SetUp() override {
        ASSERT_LOCALE_INSTALLED(kCommaLocale);
        ASSERT_LOCALE_INSTALLED(kTurkishLocale);
    }
    QString path(const std::string &name) const { return dir.filePath(QString::fromStdString(name)); }
    CtlResult ctlIn(const char *locale, const QStringList &job) {
        return RunCtl(QStringList{"--quiet", "--tcp", sim.tcp()} + job, 60000, OperatorLocale(locale));
    }
};

// A record file with every number made '#': what is left must not depend on
// the locale.
std::vector<std::string> shape(const RecordText &t) {
    std::vector<std::string> out;
    const std::regex number("-?[0-9]+");
    for (const std::string &l : t.lines)
        out.push_back(std::regex_replace(l, number, "#"));
    return out;
}

TEST_F(CtlLocaleTest, RecordWritesTwelveFieldsWithDecimalPointsUnderEveryLocale) {
    ASSERT_TRUE(sim.start({}));
    std::vector<std::string> reference;
    const std::regex eval("-?[0-9]+\\.[0-9]{3}");
    for (const char *locale : kLocales) {
        SCOPED_TRACE(locale);
        const QString file = path(std::string("rec-") + locale + ".csv");
        const CtlResult r = ctlIn(locale, {"record", "--rows", "3", "--interval", "0.5", "--out", file});
        ASSERT_EQ(r.code, 0) << Describe(r);
        const RecordText t(Slurp(file));
        EXPECT_FALSE(t.bareLineEnd);
        EXPECT_GE(t.find("Recording interval in sec:,0.500000"), 0) << Slurp(file);
        const int columns = t.find(kColumnLine);
        ASSERT_GE(columns, 0);
        ASSERT_GT(t.lines.size(), std::size_t(columns + 3));
        for (int row = 0; row < 3; ++row) {
            const std::string &line = t.lines[std::size_t(columns + 1 + row)];
            const std::vector<std::string> f = RecordText::fields(line);
            ASSERT_EQ(f.size(), 13u) << line; // twelve fields and the closing comma
            EXPECT_EQ(f[0], std::to_string(row));
            EXPECT_TRUE(std::regex_match(f[10], eval) && std::regex_match(f[11], eval)) << line;
            EXPECT_EQ(f[12], "") << line;
        }
        if (reference.empty()) reference = shape(t);
        else EXPECT_EQ(shape(t), reference);
    }
}

TEST_F(CtlLocaleTest, IntervalsAreDecimalWithAPointWhateverTheLocale) {
    ASSERT_TRUE(sim.start({}));
    for (const char *locale : kLocales) {
        for (const char *bad : {"0,5", "0x10", "1,000", " 0.5", "inf"}) {
            SCOPED_TRACE(std::string(locale) + " " + bad);
            const CtlResult r = ctlIn(locale, {"record", "--rows", "1", "--interval", bad, "--out", path("x.csv")});
            EXPECT_EQ(r.code, 2) << Describe(r);
            EXPECT_NE(r.err.find(std::string("--interval takes seconds as a decimal number with a point, such as "
                                             "0.5, not ") + bad),
                      std::string::npos)
                << r.err;
        }
    }
    EXPECT_FALSE(QFile::exists(path("x.csv")));
}

// Parameter files hold the tolerances as reals: get, send and diff must
// read and write them alike everywhere.
TEST_F(CtlLocaleTest, ParameterFilesAreByteForByteTheSameAndSendAndDiffExact) {
    const QString eeprom = path("eeprom.txt");
    Spit(eeprom, sim::formatEepromImage(WithFractionalTolerances()));
    ASSERT_TRUE(sim.start({"--eeprom", eeprom}));

    std::string reference;
    for (const char *locale : kLocales) {
        SCOPED_TRACE(locale);
        const QString file = path(std::string("p-") + locale + ".ini");
        const CtlResult got = ctlIn(locale, {"get", "--from", "eeprom", "--out", file});
        ASSERT_EQ(got.code, 0) << Describe(got);
        const std::string text = Slurp(file);
        EXPECT_TRUE(std::regex_search(text, std::regex("= -?[0-9]+\\.[0-9]+\r\n"))) << "the record holds fractions";
        if (reference.empty()) reference = text;
        else EXPECT_EQ(text, reference);

        const CtlResult sent = ctlIn(locale, {"send", "--to", "ram", file});
        ASSERT_EQ(sent.code, 0) << Describe(sent);
        const CtlResult diff = ctlIn(locale, {"diff", "--from", "ram", file});
        EXPECT_EQ(diff.code, 0) << Describe(diff);
        EXPECT_EQ(diff.out, "");
        const CtlResult back = ctlIn(locale, {"get", "--from", "ram", "--out", path("back.ini")});
        ASSERT_EQ(back.code, 0) << Describe(back);
        EXPECT_EQ(Slurp(path("back.ini")), reference);
    }
}

TEST_F(CtlLocaleTest, CaptureWritesTheSameGraphSectionUnderEveryLocale) {
    ASSERT_TRUE(sim.start({}));
    std::vector<std::string> reference;
    const std::regex sample("[0-9]+,-?[0-9]+,-?[0-9]+");
    for (const char *locale : kLocales) {
        SCOPED_TRACE(locale);
        const QString file = path(std::string("graph-") + locale + ".csv");
        const CtlResult r = ctlIn(locale, {"capture", "--out", file});
        ASSERT_EQ(r.code, 0) << Describe(r);
        const RecordText t(Slurp(file));
        const int section = t.find("Recorded analog graph.");
        ASSERT_GE(section, 0) << Slurp(file);
        const int columns = t.find("INDEX,Channel A:,Channel B:,", section);
        ASSERT_GT(columns, section);
        for (int k = 0; k < 512; ++k) {
            const std::string &line = t.lines[std::size_t(columns + 1 + k)];
            EXPECT_TRUE(std::regex_match(line, sample) && RecordText::fields(line)[0] == std::to_string(k)) << line;
        }
        EXPECT_EQ(t.lines[std::size_t(columns + 513)], "End of Graph");
        if (reference.empty()) reference = shape(t);
        else EXPECT_EQ(shape(t), reference);
    }
}

} // namespace
