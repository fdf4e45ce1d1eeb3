// qvex-ctl stats through the executable, on record files written here in the
// recorder's format; the record viewer's tests (tests/recorder) open files
// the recorder itself wrote.
#include "tests/ctl/ctl_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

using namespace ctl_test;

namespace {

const char *const kNames[10] = {"RESULT A", "NORM A", "RAW A", "MAX{ RAW A }", "RESULT B",
                                "NORM B",   "RAW B",  "MAX{ RAW B }", "EVAL 1",   "EVAL 2"};

// A record file as the recorder writes it (CR LF, no line end at the end),
// and the values of its rows.
struct Written {
    std::string text;
    std::vector<std::array<double, 10>> rows;
};

Written RecordFile(int rows, const std::string &bodyAfter = std::string()) {
    Written w;
    w.text = "Logfile for recorded data.\r\nDate:,12-07-2026\r\nTime:,23:59:00\r\nType of sensor:,SIM 1.0\r\n"
             "Type of software:,Q-VEX-MOD7-ARC Scope \r\nSoftware version:,v1.0x (Build 01/2010)\r\n"
             "Recording type:,Automatic\r\nNumber of data sets:," +
             std::to_string(rows) + "\r\nRecording interval in sec:,1.000000\r\n\r\n"
             "INDEX,TIMESTAMP,RESULT A,NORM A,RAW A,MAX{ RAW A },RESULT B,NORM B,RAW B,MAX{ RAW B },EVAL 1,EVAL 2,";
    for (int i = 0; i < rows; ++i) {
        std::array<double, 10> v;
        for (int c = 0; c < 8; ++c) v[std::size_t(c)] = ((i * 37 + c * 101) % 4096) - (c == 2 ? 2048 : 0);
        v[8] = ((i * 7919) % 20000 - 10000) / 1000.0;
        v[9] = (1500 + i) / 1000.0;
        const int s = 59 * 60 + i; // from 23:59:00, over midnight
        char line[160];
        std::snprintf(line, sizeof line, "\r\n%d,%02d:%02d:%02d,%d,%d,%d,%d,%d,%d,%d,%d,%.3f,%.3f,", i, (23 + s / 3600) % 24,
                      (s / 60) % 60, s % 60, int(v[0]), int(v[1]), int(v[2]), int(v[3]), int(v[4]), int(v[5]),
                      int(v[6]), int(v[7]), v[8], v[9]);
        w.text += line;
        w.rows.push_back(v);
    }
    w.text += bodyAfter;
    return w;
}

// Mean and sample standard deviation the long way.
std::pair<double, double> MeanStd(const std::vector<std::array<double, 10>> &rows, int c, std::size_t from,
                                  std::size_t to) {
    long double sum = 0;
    for (std::size_t r = from; r < to; ++r) sum += rows[r][std::size_t(c)];
    const long double mean = sum / (to - from);
    long double sq = 0;
    for (std::size_t r = from; r < to; ++r) sq += (rows[r][std::size_t(c)] - mean) * (rows[r][std::size_t(c)] - mean);
    return {double(mean), std::sqrt(double(sq / (to - from - 1)))};
}

class CtlStatsTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString write(const char *name, const std::string &text) {
        const QString p = dir.filePath(name);
        Spit(p, text);
        return p;
    }
    QJsonObject json(const QStringList &args, CtlResult *r) {
        *r = RunCtl(QStringList{"stats"} + args + QStringList{"--json"});
        QJsonParseError e;
        const QJsonDocument d = QJsonDocument::fromJson(QByteArray::fromStdString(r->out), &e);
        EXPECT_EQ(e.error, QJsonParseError::NoError) << Describe(*r);
        return d.object();
    }
};

TEST_F(CtlStatsTest, JsonGivesEveryColumnOverTheWholeFileOrAnIndexRangeWithoutALink) {
    // Over 2,500 rows, so the statistics cross whole blocks and part blocks.
    const Written w = RecordFile(2500);
    const QString file = write("rec.csv", w.text);
    CtlResult r;
    for (auto [from, to] : {std::pair<std::size_t, std::size_t>{0, 2500}, {3, 2041}}) {
        QStringList range;
        if (from != 0) range << "--from" << QString::number(from) << "--to" << QString::number(to - 1);
        const QJsonObject o = json(QStringList{file} + range, &r);
        ASSERT_EQ(r.code, 0) << Describe(r);
        EXPECT_EQ(o["file"].toString(), file);
        EXPECT_EQ(o["rows"].toInt(), 2500);
        EXPECT_EQ(o["sections"].toInt(), 0);
        EXPECT_TRUE(o["damaged_lines"].toArray().isEmpty());
        const QJsonObject cols = o["columns"].toObject();
        ASSERT_EQ(cols.size(), 10);
        for (int c = 0; c < 10; ++c) {
            const QJsonObject s = cols[kNames[c]].toObject();
            double lo = 1e9, hi = -1e9;
            for (std::size_t k = from; k < to; ++k) lo = std::min(lo, w.rows[k][std::size_t(c)]), hi = std::max(hi, w.rows[k][std::size_t(c)]);
            const auto [mean, sd] = MeanStd(w.rows, c, from, to);
            EXPECT_EQ(s["count"].toInt(), int(to - from)) << kNames[c];
            EXPECT_DOUBLE_EQ(s["min"].toDouble(), lo) << kNames[c];
            EXPECT_DOUBLE_EQ(s["max"].toDouble(), hi) << kNames[c];
            EXPECT_NEAR(s["mean"].toDouble(), mean, 1e-9 * std::max(1.0, std::fabs(mean))) << kNames[c];
            EXPECT_NEAR(s["std"].toDouble(), sd, 1e-9 * std::max(1.0, sd)) << kNames[c];
        }
    }
    // The text form: one line a column, with the time of the extremes, the
    // figures to the column's own decimals (three more for mean and std).
    r = RunCtl({"stats", file, "--from", "0", "--to", "1"});
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_NE(r.out.find("\nEVAL 2: count 2, min 1.500 at 23:59:00 (INDEX 0), max 1.501 at 23:59:01 (INDEX 1), mean "
                         "1.500500, std 0.000707\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("INDEX 0 to 1 (23:59:00 to 23:59:01): 2 rows\n"), std::string::npos) << r.out;
}

// Figures without floating-point noise for people, exact in JSON with the
// rows where the extremes stand and the count in range; "--" before a file
// name, and --json once only.
TEST_F(CtlStatsTest, TextIsRoundedJsonIsExactAndTellsWhereTheExtremesStand) {
    std::string text = RecordFile(0).text;
    // Ten rows of 1001 but one of 1000 and one of 1002: a mean of exactly 1001
    // that summing in doubles does not give exactly.
    for (int i = 0; i < 10; ++i) {
        const int a = i == 3 ? 1000 : i == 7 ? 1002 : 1001;
        text += "\r\n" + std::to_string(i) + ",12:00:0" + std::to_string(i) + "," + std::to_string(a) +
                ",0,0,0,0,0,0,0,0.100,0.300,";
    }
    const QString file = write("odd name.csv", text);
    CtlResult r = RunCtl({"stats", "--", file});
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_NE(r.out.find("RESULT A: count 10, min 1000 at 12:00:03 (INDEX 3), max 1002 at 12:00:07 (INDEX 7), mean "
                         "1001.000, std 0.471\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("EVAL 2: count 10, min 0.300 at 12:00:00 (INDEX 0), max 0.300 at 12:00:00 (INDEX 0), mean "
                         "0.300000, std 0.000000\n"),
              std::string::npos)
        << r.out;
    const QJsonObject o = json({"--from", "2", "--to", "8", file}, &r);
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(o["rows"].toInt(), 10);
    EXPECT_EQ(o["rows_in_range"].toInt(), 7);
    const QJsonObject a = o["columns"].toObject()["RESULT A"].toObject();
    EXPECT_EQ(a["min_index"].toInt(), 3);
    EXPECT_EQ(a["min_time"].toString(), "12:00:03");
    EXPECT_EQ(a["max_index"].toInt(), 7);
    EXPECT_EQ(a["max_time"].toString(), "12:00:07");
    EXPECT_EQ(a["count"].toInt(), 7);

    for (const QStringList &args : {QStringList{"stats", file, "--json", "--json"},
                                    QStringList{"--json", "stats", file, "--json"}}) {
        r = RunCtl(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString() << Describe(r);
        EXPECT_NE(r.err.find("--json given twice"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CtlStatsTest, DamagedAndCutOffLinesAreNamedAndSkippedAndTheRestCounts) {
    Written w = RecordFile(4);
    // Row 2 gets a word that is no number; a graph section follows; the last
    // row is cut off in the middle, as a crash mid-write leaves it.
    const std::string bad = "\r\n2,23:59:02,12x,";
    const std::size_t at = w.text.find("\r\n2,23:59:02");
    w.text.replace(at, w.text.find("\r\n", at + 2) - at, bad + std::string("1,2,3,4,5,6,7,1.000,2.000,"));
    std::string section = "\r\n\r\nRecorded analog graph.\r\nTIMESTAMP:,00:00:09\r\n\r\nINDEX,Channel A:,Channel B:,";
    for (int k = 0; k < 512; ++k) section += "\r\n" + std::to_string(k) + "," + std::to_string(k) + ",-5";
    section += "\r\nEnd of Graph\r\n\r\n4,00:00:10,100,10";
    const QString file = write("damaged.csv", w.text + section);
    CtlResult r;
    const QJsonObject o = json({file}, &r);
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(o["rows"].toInt(), 3);
    EXPECT_EQ(o["sections"].toInt(), 1);
    const QJsonArray damaged = o["damaged_lines"].toArray();
    ASSERT_EQ(damaged.size(), 2);
    EXPECT_EQ(damaged[0].toObject()["line"].toInt(), 14);
    EXPECT_EQ(damaged[0].toObject()["reason"].toString(), "RESULT A \"12x\" is not a whole number from -32768 to 32767");
    EXPECT_EQ(damaged[1].toObject()["line"].toInt(), 535);
    EXPECT_TRUE(damaged[1].toObject()["reason"].toString().startsWith("the last line is cut off")) << r.out;
    EXPECT_EQ(o["columns"].toObject()["RESULT A"].toObject()["count"].toInt(), 3);
    EXPECT_NE(r.err.find("damaged.csv: line 14: RESULT A"), std::string::npos) << r.err;
}

TEST_F(CtlStatsTest, ThousandsOfDamagedLinesAreCountedButOnlyTheFirstThousandListed) {
    std::string text = RecordFile(1).text;
    for (int i = 0; i < 1500; ++i) text += "\r\nnot a row";
    CtlResult r;
    const QJsonObject o = json({write("many.csv", text)}, &r);
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(o["rows"].toInt(), 1);
    EXPECT_EQ(o["damaged_lines"].toArray().size(), 1000);
    EXPECT_EQ(o["damaged_lines"].toArray()[999].toObject()["line"].toInt(), 12 + 1000);
    EXPECT_EQ(o["damaged_lines_not_listed"].toInt(), 500);
    EXPECT_NE(r.err.find("500 more damaged lines skipped"), std::string::npos);
}

TEST_F(CtlStatsTest, EmptyForeignAndMissingFilesExitTwoNamingTheLine) {
    const QString empty = write("empty.csv", "");
    const QString foreign = write("foreign.csv", "time,value\r\n1,2\r\n");
    const QString columns = write("columns.csv", "Logfile for recorded data.\r\nDate:,12-07-2026\r\n\r\nA,B,C,");
    const struct {
        QString file;
        std::string says;
    } cases[] = {
        {empty, "line 1: the file is empty"},
        {foreign, "line 1: not a record file of this program: it begins \"time,value\""},
        {columns, "line 4: not the recorder's column header: \"A,B,C,\""},
        {dir.filePath("none.csv"), "cannot open"},
        {dir.path(), "is not a regular file"},
    };
    for (const auto &c : cases) {
        const CtlResult r = RunCtl({"stats", c.file, "--json"});
        EXPECT_EQ(r.code, 2) << Describe(r);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    const CtlResult past = RunCtl({"stats", write("two.csv", RecordFile(2).text), "--from", "2"});
    EXPECT_EQ(past.code, 2) << Describe(past);
    EXPECT_NE(past.err.find("--from 2 is past the last row"), std::string::npos) << past.err;
}

} // namespace
