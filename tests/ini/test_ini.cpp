// INI store: text format, codecs, lookup and ordering rules, safe file replacement.
#include "ini/inifile.h"
#include "ini/inistore_p.h"
#include "tests/fixtures/locale.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <climits>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string GoldenDir() { return std::string(QVEX_TESTS_DIR) + "/ini/golden/"; }

std::vector<std::string> DirEntries(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

std::string Text(IniText ini) {
    std::string t;
    EXPECT_EQ(Ini_WriteToString(ini, &t), 0);
    return t;
}

std::string Get(IniText ini, const char *section, const char *tag) {
    std::string v;
    return Ini_GetStdString(ini, section, tag, &v) == 1 ? v : "<missing>";
}

std::vector<std::string> Tags(IniText ini, const char *section) {
    std::vector<std::string> tags;
    for (int i = 0; i < Ini_NumberOfItems(ini, section); ++i) tags.push_back(Ini_NthItemName(ini, section, i));
    return tags;
}

std::vector<std::string> Sections(IniText ini) {
    std::vector<std::string> names;
    for (int i = 0; i < Ini_NumberOfSections(ini); ++i) names.push_back(Ini_NthSectionName(ini, i));
    return names;
}

void Read(IniText ini, const std::string &text) { ASSERT_EQ(Ini_ReadFromBuffer(ini, text.data(), text.size()), 0); }

// Writes the store to text and reads it into a new store of the same kind.
void RoundTrip(IniText from, IniText to) { Read(to, Text(from)); }

// Ini_ReadFromFile in a child process, so that a read that never ends fails
// the test instead of hanging it; kHung when it took longer than 5 s.
constexpr int kHung = 1;
int ReadInChildProcess(const std::string &path) {
    int fds[2];
    if (pipe(fds) != 0) return kHung;
    const pid_t child = fork();
    if (child == 0) {
        IniHolder ini(0);
        const int rc = Ini_ReadFromFile(ini, path.c_str());
        _exit(write(fds[1], &rc, sizeof rc) == sizeof rc ? 0 : 1);
    }
    close(fds[1]);
    int rc = kHung;
    pollfd p{fds[0], POLLIN, 0};
    if (child > 0 && poll(&p, 1, 5000) == 1 && read(fds[0], &rc, sizeof rc) != sizeof rc) rc = kHung;
    close(fds[0]);
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    return rc;
}

class IniFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ini-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        for (const auto &name : DirEntries(dir)) unlink((dir + "/" + name).c_str());
        rmdir(dir.c_str());
    }
    std::string dir;
};

} // namespace

TEST(IniFormat, LongValuesSplitIntoNumberedPiecesAndJoinBack) {
    IniHolder a(0), b(0);
    const std::string value = std::string(80, 'a') + "b";
    ASSERT_EQ(Ini_PutString(a, "S", "Tag", value.c_str()), 0);
    ASSERT_EQ(Ini_PutString(a, "S", "Short", std::string(80, 'c').c_str()), 0);
    EXPECT_EQ(Text(a), "[S]\r\nTag Line0001 = \"" + std::string(80, 'a') + "\"\r\nTag Line0002 = \"b\"\r\nShort = \"" +
                           std::string(80, 'c') + "\"\r\n\r\n");
    RoundTrip(a, b);
    EXPECT_EQ(Tags(b, "S"), (std::vector<std::string>{"Tag", "Short"}));
    EXPECT_EQ(Get(b, "S", "tag"), value);

    // Pieces of different tags never join; a second Line0001 starts a new
    // run. Items whose own tags end in " Line" and digits are written so that
    // they read back under their names, not joined into a neighbour.
    IniHolder c(0), c2(0);
    Read(c, "[S]\nA Line0001=1\nA Line0002=2\nB Line0003=3\nA Line1=x\nA Line0002=y\n"
            "C Line0001 Line1=c\nA = " + std::string(90, 'a') + "\nA Line0003=z\n");
    const std::vector<std::string> tags{"A", "B Line0003", "A", "C Line0001", "A", "A Line0003"};
    EXPECT_EQ(Tags(c, "S"), tags);
    EXPECT_EQ(Get(c, "S", "A"), "12");
    RoundTrip(c, c2);
    EXPECT_EQ(Tags(c2, "S"), tags);
    EXPECT_EQ(Get(c2, "S", "C Line0001"), "c");
    EXPECT_EQ(Get(c2, "S", "A Line0003"), "z");
    ASSERT_EQ(Ini_PutString(c2, "S", "Scan Line1", ""), 0);
    IniHolder c3(0);
    RoundTrip(c2, c3);
    EXPECT_EQ(Get(c3, "S", "Scan Line1"), "");

    // An unquoted long value whose pieces would lose blanks or gain quotes
    // still reads back unchanged.
    IniHolder d(0), e(0);
    const std::string unquoted = "\"" + std::string(78, 'x') + " \"" + std::string(20, 'y') + " z";
    Read(d, "[S]\nV = " + unquoted + "\n");
    ASSERT_EQ(Get(d, "S", "V"), unquoted);
    RoundTrip(d, e);
    EXPECT_EQ(Get(e, "S", "V"), unquoted);
}

TEST(IniFormat, SectionAndItemLines) {
    IniHolder ini(0);
    Read(ini, "x = before any section\r\n"
              "  [  Main Part  ]  \r\n"
              "  ; a comment = 1\n"
              "  Tag One   =   spaced value  \n"
              "NoEquals\n"
              " = no tag\n"
              "Empty =\n"
              "Quoted = \"  kept  \"\n"
              "Half = \"open\n"
              "One = \"\n"
              "[Other] trailing text\n"
              "Still = main\n"
              "[]\n"
              "[Nested [x]]\r"
              "k=v\n\r");
    EXPECT_EQ(Sections(ini), (std::vector<std::string>{"Main Part", "Nested [x]"}));
    EXPECT_EQ(Tags(ini, "Main Part"), (std::vector<std::string>{"Tag One", "Empty", "Quoted", "Half", "One", "Still"}));
    EXPECT_EQ(Get(ini, "Main Part", "Tag One"), "spaced value");
    EXPECT_EQ(Get(ini, "Main Part", "Empty"), "");
    EXPECT_EQ(Get(ini, "Main Part", "Quoted"), "  kept  ");
    EXPECT_EQ(Get(ini, "Main Part", "Half"), "\"open");
    EXPECT_EQ(Get(ini, "Main Part", "One"), "\"");
    EXPECT_EQ(Get(ini, "Nested [x]", "k"), "v");
}

// Editors that save "UTF-8 with BOM" put EF BB BF before the first line.
TEST(IniFormat, AByteOrderMarkBeforeTheFirstLineIsSkippedAndNowhereElse) {
    IniHolder ini(0);
    Read(ini, "\xEF\xBB\xBF[CONNECTION]\r\nLast COM Port = 3\r\n[B]\r\n\xEF\xBB\xBFk = v\r\n");
    EXPECT_EQ(Sections(ini), (std::vector<std::string>{"CONNECTION", "B"}));
    EXPECT_EQ(Get(ini, "CONNECTION", "Last COM Port"), "3");
    EXPECT_EQ(Tags(ini, "B"), std::vector<std::string>{"\xEF\xBB\xBFk"}) << "only the file's first bytes are a mark";

    IniHolder alone(0);
    Read(alone, "\xEF\xBB\xBF\r\n[S]\r\nx = 1\r\n");
    EXPECT_EQ(Get(alone, "S", "x"), "1");
}

TEST(IniFormat, StringEscapesRoundTrip) {
    IniHolder a(0), b(0);
    const std::string tricky = "say \"hi\"\\ C:\\dir\nline2\r\ttab\x01\x7f end \xc3\xbc\xff";
    ASSERT_EQ(Ini_PutString(a, "S", "T", tricky.c_str()), 0);
    EXPECT_EQ(Text(a), "[S]\r\nT = \"say \\\"hi\\\"\\\\ C:\\\\dir\\nline2\\r\\ttab\\x01\\x7f end \xc3\xbc\xff\"\r\n\r\n");
    RoundTrip(a, b);
    EXPECT_EQ(Get(b, "S", "T"), tricky);

    // Unescaping of hand-written text: hex in either case, unknown escapes
    // give the character, an incomplete \x gives "x", a last lone backslash stays.
    IniHolder c(0);
    Read(c, "[S]\nT = \"\\x41\\x4A\\q\\xg1\\x4\\\"\n");
    EXPECT_EQ(Get(c, "S", "T"), "AJqxg1x4\\");

    // A raw string keeps backslashes for the reader, but its line breaks
    // cannot split the item into lines of their own.
    IniHolder d(0), e(0);
    ASSERT_EQ(Ini_PutRawString(d, "S", "Raw", "a\\tb\n[Evil]\nx=1"), 0);
    RoundTrip(d, e);
    EXPECT_EQ(Sections(e), std::vector<std::string>{"S"});
    EXPECT_EQ(Get(e, "S", "Raw"), "a\tb\n[Evil]\nx=1");
}

TEST(IniFormat, GetStringIntoBufferCutsAndClears) {
    IniHolder ini(0);
    ASSERT_EQ(Ini_PutString(ini, "S", "T", "abc\ndef"), 0);
    char buf[5] = "zzzz";
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, "S", "T", buf, 0), 1);
    EXPECT_STREQ(buf, "zzzz");
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, "S", "T", buf, 5), 1);
    EXPECT_STREQ(buf, "abc\n");
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, "S", "missing", buf, 5), 0);
    EXPECT_STREQ(buf, "");
}

TEST(IniCodec, ByteBlocks) {
    IniHolder a(0), b(0);
    const unsigned char five[] = {0x00, 0x01, 0xFF, 0x80, 0x7F};
    ASSERT_EQ(Ini_PutData(a, "S", "D", five, sizeof five), 0);
    EXPECT_EQ(Text(a), "[S]\r\nD = \"301oT0o\"\r\n\r\n");
    RoundTrip(a, b);
    unsigned char *data = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(Ini_GetData(b, "S", "D", &data, &count), 1);
    ASSERT_EQ(count, 5u);
    EXPECT_EQ(std::memcmp(data, five, 5), 0);
    std::free(data);

    // Every length and every byte value in every position of a group.
    constexpr std::size_t kLongest = 7;
    for (std::size_t n = 0; n <= kLongest; ++n) {
        for (unsigned v = 0; v < 256; ++v) {
            unsigned char bytes[kLongest] = {}, back[kLongest] = {};
            for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(v + 37 * i);
            const std::string text = ini::EncodeData(bytes, n);
            ASSERT_EQ(text.find_first_not_of("0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmno"),
                      std::string::npos);
            ASSERT_EQ(ini::DecodedLength(text.size()), n);
            ASSERT_TRUE(ini::DecodeData(text, back));
            ASSERT_TRUE(std::equal(bytes, bytes + n, back)) << "length " << n << " value " << v;
        }
    }

    // Text that no encoder wrote is reported, and the caller's pointer kept.
    IniHolder c(0);
    Read(c, "[S]\nBad = \"30 1\"\nOdd = \"30015\"\nEmpty = \"\"\n");
    data = nullptr;
    EXPECT_EQ(Ini_GetData(c, "S", "Bad", &data, &count), kIniErrInvalidData);
    EXPECT_EQ(Ini_GetData(c, "S", "Odd", &data, &count), kIniErrInvalidData);
    EXPECT_EQ(data, nullptr);
    ASSERT_EQ(Ini_GetData(c, "S", "Empty", &data, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(data, nullptr);
    std::free(data);
}

TEST(IniCodec, Numbers) {
    IniHolder ini(0);
    Read(ini, "[N]\nbad = 12ab\nblank = \nsigned = -2147483648\nbig = 2147483648\nplus = +7\nsign = -\n"
              "umax = 4294967295\nuover = 4294967296\nuneg = -1\numinus0 = -0\n"
              "dbl = -1.5e3\ninf = +INF\nninf = -inf\ncomma = 1,5\nhex = 0x10\nd2 = 1.5x\n"
              "quoted = \" 42 \"\nyes = tRUE\nno = FALSE\nmaybe = yes\n");
    int i = 77;
    EXPECT_EQ(Ini_GetInt(ini, "N", "bad", &i), kIniErrInvalidInt);
    EXPECT_EQ(Ini_GetInt(ini, "N", "blank", &i), 0);
    EXPECT_EQ(Ini_GetInt(ini, "N", "big", &i), kIniErrInvalidInt);
    EXPECT_EQ(Ini_GetInt(ini, "N", "sign", &i), kIniErrInvalidInt);
    EXPECT_EQ(Ini_GetInt(ini, "N", "missing", &i), 0);
    EXPECT_EQ(i, 77);
    EXPECT_EQ(Ini_GetInt(ini, "N", "signed", &i), 1);
    EXPECT_EQ(i, INT_MIN);
    EXPECT_EQ(Ini_GetInt(ini, "N", "plus", &i), 1);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(Ini_GetInt(ini, "N", "quoted", &i), 1);
    EXPECT_EQ(i, 42);

    unsigned u = 5;
    EXPECT_EQ(Ini_GetUInt(ini, "N", "uover", &u), kIniErrInvalidUInt);
    EXPECT_EQ(Ini_GetUInt(ini, "N", "uneg", &u), kIniErrInvalidUInt);
    EXPECT_EQ(Ini_GetUInt(ini, "N", "uminus0", &u), kIniErrInvalidUInt);
    EXPECT_EQ(u, 5u);
    EXPECT_EQ(Ini_GetUInt(ini, "N", "umax", &u), 1);
    EXPECT_EQ(u, 4294967295u);

    double d = 9;
    for (const char *tag : {"comma", "hex", "d2", "bad"}) EXPECT_EQ(Ini_GetDouble(ini, "N", tag, &d), kIniErrInvalidDouble) << tag;
    EXPECT_EQ(d, 9);
    EXPECT_EQ(Ini_GetDouble(ini, "N", "dbl", &d), 1);
    EXPECT_EQ(d, -1500);
    EXPECT_EQ(Ini_GetDouble(ini, "N", "inf", &d), 1);
    EXPECT_EQ(d, HUGE_VAL);
    EXPECT_EQ(Ini_GetDouble(ini, "N", "ninf", &d), 1);
    EXPECT_EQ(d, -HUGE_VAL);

    int b = 3;
    EXPECT_EQ(Ini_GetBoolean(ini, "N", "maybe", &b), kIniErrInvalidBoolean);
    EXPECT_EQ(Ini_GetBoolean(ini, "N", "yes", &b), 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(Ini_GetBoolean(ini, "N", "no", &b), 1);
    EXPECT_EQ(b, 0);
}

TEST(IniCodec, DoublesReadBackAsWritten) {
    // Every double "%.16g" can write must read back, including the largest
    // one, whose 16 digits round up past the double range.
    const double values[] = {0.1, -2.5e-7, 1.0 / 3, DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -0.0, 1e16, HUGE_VAL};
    IniHolder ini(0);
    for (const double v : values) {
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.16g", v);
        ASSERT_EQ(Ini_PutDouble(ini, "D", "v", v), 0);
        EXPECT_EQ(Get(ini, "D", "v"), printed);
        double back = 0;
        ASSERT_EQ(Ini_GetDouble(ini, "D", "v", &back), 1) << printed;
        EXPECT_TRUE(back == v || std::fabs(back - v) <= std::fabs(v) * 1e-15) << printed;
        EXPECT_EQ(std::signbit(back), std::signbit(v));
    }
    ASSERT_EQ(Ini_PutDouble(ini, "D", "nan", NAN), 0);
    double back = 0;
    EXPECT_EQ(Ini_GetDouble(ini, "D", "nan", &back), 1);
    EXPECT_TRUE(std::isnan(back));
}

TEST(IniCodec, DoublesIgnoreProcessLocale) {
    IniHolder ini(0);
    double back = 0;
    // The process locale (set by the GUI toolkit from the environment) must
    // not bring in a decimal comma.
    ASSERT_LOCALE_INSTALLED(kCommaLocale);
    bool ok = false;
    {
        const ProcessLocale comma(LC_NUMERIC, kCommaLocale);
        ASSERT_TRUE(comma.ok());
        ASSERT_EQ(Ini_PutDouble(ini, "D", "v", 1.5), 0);
        ok = Ini_GetDouble(ini, "D", "v", &back) == 1;
    }
    EXPECT_EQ(Get(ini, "D", "v"), "1.5");
    EXPECT_TRUE(ok);
    EXPECT_EQ(back, 1.5);
}

// In a Turkish locale the C library's toupper("i") is not "I" and
// tolower("I") is not "i": tags and section names that differ only in the
// case of i must still be one name, and sorting must not move them.
TEST(IniStore, LetterCaseOfIIsIgnoredUnderATurkishLocale) {
    ASSERT_LOCALE_INSTALLED(kTurkishLocale);
    const ProcessLocale turkish(LC_ALL, kTurkishLocale);
    ASSERT_TRUE(turkish.ok());
    for (const int sorted : {0, 1}) {
        SCOPED_TRACE(sorted ? "sorted" : "unsorted");
        IniHolder ini(sorted);
        Read(ini, "[Connection]\nLast COM Port = 4\nIP History 0 = \"a\"\n[SPECIAL FUNCTION]\nBaudrate = 2\n");
        int value = 0;
        EXPECT_EQ(Ini_GetInt(ini, "CONNECTION", "LAST COM PORT", &value), 1);
        EXPECT_EQ(value, 4);
        EXPECT_EQ(Ini_GetInt(ini, "special function", "baudrate", &value), 1);
        EXPECT_EQ(value, 2);
        EXPECT_EQ(Get(ini, "connection", "ip history 0"), "a");
        ASSERT_EQ(Ini_PutInt(ini, "CONNECTION", "last com port", 7), 0); // replaces, adds nothing
        EXPECT_EQ(Ini_NumberOfItems(ini, "Connection"), 2);
        EXPECT_EQ(Get(ini, "Connection", "Last COM Port"), "7");
        ASSERT_EQ(Ini_PutInt(ini, "Sections", "i", 1), 0);
        ASSERT_EQ(Ini_PutInt(ini, "SECTIONS", "I", 2), 0);
        EXPECT_EQ(Ini_NumberOfSections(ini), 3);
        EXPECT_EQ(Ini_NumberOfItems(ini, "sections"), 1);
        EXPECT_EQ(Get(ini, "Sections", "i"), "2");
        EXPECT_EQ(Ini_RemoveSection(ini, "sectIons"), 1);
    }
}

TEST(IniStore, LookupIgnoresCaseAndBlanksAndTakesFirstMatch) {
    IniHolder ini(0);
    Read(ini, "[Connection]\nLast COM Port = 4\nlast com port = 5\n[CONNECTION]\nLast COM Port = 6\n");
    int port = 0;
    EXPECT_EQ(Ini_GetInt(ini, "  connection\t", " last com PORT ", &port), 1);
    EXPECT_EQ(port, 4);
    EXPECT_EQ(Ini_SectionExists(ini, "CONNECTION "), 1);
    EXPECT_EQ(Ini_SectionExists(ini, "Connectio"), 0);

    EXPECT_EQ(Ini_RemoveItem(ini, "connection", "LAST com port"), 1); // both items of the first section
    EXPECT_EQ(Ini_NumberOfItems(ini, "connection"), 0);
    EXPECT_EQ(Ini_RemoveItem(ini, "connection", "LAST com port"), 0);
    EXPECT_EQ(Ini_RemoveSection(ini, "connection"), 1);
    EXPECT_EQ(Ini_GetInt(ini, "connection", "last com port", &port), 1);
    EXPECT_EQ(port, 6);
    EXPECT_EQ(Ini_RemoveSection(ini, "connection"), 1);
    EXPECT_EQ(Ini_RemoveSection(ini, "connection"), 0);
    EXPECT_EQ(Ini_NumberOfSections(ini), 0);
}

TEST(IniStore, PutReplacesAllItemsOfTagAtFirstPlace) {
    IniHolder ini(0);
    Read(ini, "[S]\na=1\nX=2\nb=3\nx=4\nc=5\n");
    ASSERT_EQ(Ini_PutInt(ini, " s ", " x ", 9), 0);
    EXPECT_EQ(Tags(ini, "S"), (std::vector<std::string>{"a", "x", "b", "c"}));
    EXPECT_EQ(Get(ini, "S", "X"), "9");
    ASSERT_EQ(Ini_PutInt(ini, "S", "new", 1), 0);
    ASSERT_EQ(Ini_PutInt(ini, "T", "new", 1), 0);
    EXPECT_EQ(Tags(ini, "S").back(), "new");
    EXPECT_EQ(Sections(ini), (std::vector<std::string>{"S", "T"}));
}

// Look-ups go through an index once a list is long; it must answer exactly
// as a scan for the first match would, through every kind of change.
TEST(IniStore, IndexedLookupsAnswerAsAScanWould) {
    auto scan = [](IniText ini, const std::string &section, const std::string &tag) -> std::string {
        for (const ini::Section &s : ini->sections) {
            if (!ini::EqualNoCase(s.name, ini::TrimBlanks(section))) continue;
            for (const ini::Item &item : s.items)
                if (ini::EqualNoCase(item.tag, ini::TrimBlanks(tag))) return ini::UnescapeString(item.value);
            return "<missing>";
        }
        return "<missing>";
    };
    for (const int sorted : {0, 1}) {
        IniHolder ini(sorted);
        std::string text;
        int value = 0;
        for (int n = 0; n < 60; ++n) {
            // Names repeat in other letter case; every value is unique.
            text += std::string(n % 2 ? "[Sec" : "[sEC") + std::to_string(n % 23) + "]\n";
            for (int k = 0; k < 40; ++k)
                text += (k % 3 ? "tag" : "TAG") + std::to_string(k % 17) + " = v" + std::to_string(value++) + "\n";
        }
        for (int n = 0; n < 60; ++n) text += "[SEC" + std::to_string(n) + "]\nx = w" + std::to_string(n) + "\n";
        Read(ini, text);
        auto check = [&](const char *step) {
            for (int n = 0; n < 70; ++n)
                for (const std::string tag : {"tag0", "Tag16", "TAG7", " tag3 ", "x", "new", "none"}) {
                    const std::string section = (n % 2 ? "sec" : " SEC ") + std::to_string(n);
                    ASSERT_EQ(Get(ini, section.c_str(), tag.c_str()), scan(ini, section, tag))
                        << step << " sorted " << sorted << " [" << section << "] " << tag;
                }
        };
        check("read");
        ASSERT_EQ(Ini_PutString(ini, "sec5", "tag4", "put"), 0); // replaces all of its tag
        ASSERT_EQ(Ini_PutString(ini, "Sec6", "New", "added"), 0);
        ASSERT_EQ(Ini_PutString(ini, "Sec0a", "new", "section"), 0); // new section, mid-list when sorted
        check("put");
        EXPECT_EQ(Get(ini, "SEC5", "TAG4"), "put");
        ASSERT_EQ(Ini_RemoveItem(ini, "SEC7", "tag2"), 1);
        ASSERT_EQ(Ini_RemoveSection(ini, "sec3"), 1);
        ASSERT_EQ(Ini_RemoveSection(ini, "SEC1"), 1);
        check("remove");
        Read(ini, "[sec3]\nx = again\n[Sec70]\nx=70\n");
        check("read again");
    }
}

TEST(IniStore, LookupsInALargeStoreDoNotScanIt) {
    // 300,000 sections and 4,000 look-ups of names that are missing or at
    // the end: scanning for each would compare 1.2e9 names (seconds).
    std::string text;
    for (int n = 0; n < 300000; ++n) text += "[S" + std::to_string(n) + "]\n";
    text += "[SERIAL PORTS]\nCOM7 = \"/dev/ttyUSB0\"\n";
    IniHolder ini(0);
    Read(ini, text);
    const auto start = std::chrono::steady_clock::now();
    char device[64];
    int found = 0;
    for (int round = 0; round < 8; ++round)
        for (int port = 1; port <= 255; ++port) {
            const std::string key = "COM" + std::to_string(port);
            found += Ini_GetStringIntoBuffer(ini, "serial ports", key.c_str(), device, sizeof device);
            found += Ini_SectionExists(ini, ("CONNECTION" + key).c_str());
        }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(found, 8);
    EXPECT_STREQ(device, "");
    EXPECT_LT(seconds, 2.0);
}

TEST(IniStore, SortingOnAndOff) {
    const char *text = "[b]\nz=1\nB=2\na=3\nb=4\n[A]\nk=1\n[c]\n[a]\nk=2\n";
    IniHolder plain(0), sorted(1);
    Read(plain, text);
    Read(sorted, text);
    EXPECT_EQ(Sections(plain), (std::vector<std::string>{"b", "A", "c", "a"}));
    EXPECT_EQ(Tags(plain, "b"), (std::vector<std::string>{"z", "B", "a", "b"}));
    // Equal names keep their order: the stable sort leaves "A" before "a".
    EXPECT_EQ(Sections(sorted), (std::vector<std::string>{"A", "a", "b", "c"}));
    EXPECT_EQ(Tags(sorted, "b"), (std::vector<std::string>{"a", "B", "b", "z"}));
    EXPECT_EQ(Get(sorted, "a", "k"), "1");

    ASSERT_EQ(Ini_PutInt(sorted, "bb", "m", 1), 0);
    ASSERT_EQ(Ini_PutInt(sorted, "b", "c", 1), 0);
    ASSERT_EQ(Ini_PutInt(plain, "bb", "m", 1), 0);
    EXPECT_EQ(Sections(sorted), (std::vector<std::string>{"A", "a", "b", "bb", "c"}));
    EXPECT_EQ(Tags(sorted, "b"), (std::vector<std::string>{"a", "B", "b", "c", "z"}));
    EXPECT_EQ(Sections(plain).back(), "bb");
}

TEST(IniStore, PutRejectsNamesTheFileCannotHold) {
    IniHolder ini(0);
    const std::string longTag(ini::kMaxTagLength + 1, 't');
    for (const char *tag : {"a=b", "two\nlines", "; comment", "[x", "   ", longTag.c_str()})
        EXPECT_EQ(Ini_PutInt(ini, "S", tag, 1), kIniErrInvalidName) << tag;
    EXPECT_EQ(Ini_PutInt(ini, "", "t", 1), kIniErrInvalidName);
    EXPECT_EQ(Ini_PutInt(ini, "a\rb", "t", 1), kIniErrInvalidName);
    EXPECT_EQ(Ini_PutString(ini, "S", "t", nullptr), kIniErrInvalidArgument);
    EXPECT_EQ(Ini_NumberOfSections(ini), 0);

    // The longest names accepted still give lines the reader keeps whole.
    IniHolder a(0), b(0);
    const std::string tag(ini::kMaxTagLength, 't');
    const std::string name(ini::kMaxSectionNameLength, 's');
    const std::string value(200, '\\');
    ASSERT_EQ(Ini_PutString(a, name.c_str(), tag.c_str(), value.c_str()), 0);
    ASSERT_EQ(Ini_PutInt(a, "Sec=1 ]x", "Line2", 1), 0);
    RoundTrip(a, b);
    EXPECT_EQ(Get(b, name.c_str(), tag.c_str()), value);
    EXPECT_EQ(Get(b, "Sec=1 ]x", "Line2"), "1");
}

TEST(IniStore, HostileInputKeepsValidContent) {
    std::string text = "[Good]\r\nkeep = 1\r\n";
    text += "[Long]\nx = " + std::string(100000, 'v') + "\nafter = 2\n";  // cut, not a new line
    const char garbage[] = "garbage\0\x01\xff[\x80=\x00\n";
    text += std::string(garbage, sizeof garbage - 1);
    text += "[Pieces]\n";
    for (int n = 1; n <= 3000; ++n) text += "P Line" + std::to_string(n) + " = \"ab\"\n";
    for (int n = 0; n < 10000; ++n) text += "[S" + std::to_string(n) + "]\nv=" + std::to_string(n) + "\n";
    text += "[Last]\ntruncated = \"no end"; // no line end, unclosed quote

    IniHolder ini(0);
    Read(ini, text);
    EXPECT_EQ(Ini_NumberOfSections(ini), 10004);
    EXPECT_EQ(Get(ini, "Good", "keep"), "1");
    EXPECT_EQ(Get(ini, "Long", "x"), std::string(255 - 4, 'v'));
    EXPECT_EQ(Get(ini, "Long", "after"), "2");
    EXPECT_EQ(Get(ini, "Pieces", "P"), [] { std::string s; for (int n = 0; n < 3000; ++n) s += "ab"; return s; }());
    EXPECT_EQ(Get(ini, "S9999", "v"), "9999");
    EXPECT_EQ(Get(ini, "Last", "truncated"), "\"no end");

    // Random bytes (fixed seed), also cut off at every length.
    std::string noise(4096, '\0');
    unsigned seed = 12345;
    for (char &c : noise) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    for (std::size_t n = 0; n <= noise.size(); n += 61) {
        IniHolder junk(n % 2);
        Read(junk, "[Keep]\nk=1\n" + noise.substr(0, n));
        EXPECT_EQ(Get(junk, "Keep", "k"), "1");
        IniHolder again(n % 2);
        RoundTrip(junk, again);
        EXPECT_EQ(Get(again, "Keep", "k"), "1");
    }
}

TEST_F(IniFiles, GoldenFilesByteForByte) {
    IniHolder settings(0);
    const unsigned char key[] = {0x00, 0x01, 0xFF, 0x80, 0x7F};
    const std::string history = "01234567890123456789012345678901234567890123456789012345678901234567890123456789X";
    ASSERT_EQ(Ini_PutInt(settings, "CONNECTION", "Last COM Port", 1), 0);
    ASSERT_EQ(Ini_PutUInt(settings, "CONNECTION", "Baud", 4294967295u), 0);
    ASSERT_EQ(Ini_PutDouble(settings, "CONNECTION", "Timeout", 0.1), 0);
    ASSERT_EQ(Ini_PutDouble(settings, "CONNECTION", "Gain", -2.5e-7), 0);
    ASSERT_EQ(Ini_PutBoolean(settings, "CONNECTION", "Enabled", 5), 0);
    ASSERT_EQ(Ini_PutString(settings, "CONNECTION", "Name", "Sensor \"A\"\\1\n\t\xc3\xbc"), 0);
    ASSERT_EQ(Ini_PutRawString(settings, "APPLICATION", "Path", "C:\\data"), 0);
    ASSERT_EQ(Ini_PutData(settings, "APPLICATION", "Key", key, sizeof key), 0);
    ASSERT_EQ(Ini_PutString(settings, "APPLICATION", "History", history.c_str()), 0);
    ASSERT_EQ(Ini_PutInt(settings, "APPLICATION", "Panel pos. x", -20), 0);
    ASSERT_EQ(Ini_PutString(settings, "APPLICATION", "Empty", ""), 0);
    ASSERT_EQ(Ini_PutInt(settings, " connection ", "Last COM Port", 3), 0); // replaced in its place

    IniHolder templates(1);
    ASSERT_EQ(Ini_PutString(templates, "beta", "x", "b"), 0);
    ASSERT_EQ(Ini_PutInt(templates, "Alpha", "Z", 3), 0);
    ASSERT_EQ(Ini_PutInt(templates, "Alpha", "A", 1), 0);
    ASSERT_EQ(Ini_PutBoolean(templates, "Gamma", "only", 1), 0);
    ASSERT_EQ(Ini_PutInt(templates, "Alpha", "m", 2), 0);

    for (auto [store, name] : {std::pair{settings.get(), "settings.ini"}, std::pair{templates.get(), "templates.ini"}}) {
        const std::string path = dir + "/" + name;
        ASSERT_EQ(Ini_WriteToFile(store, path.c_str()), 0);
        const std::string golden = Slurp(GoldenDir() + name);
        ASSERT_FALSE(golden.empty());
        EXPECT_EQ(Slurp(path), golden) << name;

        // And the golden file reads back to a store that writes it again.
        IniHolder back(store == templates.get());
        ASSERT_EQ(Ini_ReadFromFile(back, (GoldenDir() + name).c_str()), 0);
        EXPECT_EQ(Text(back), golden);
    }
    EXPECT_EQ(Get(settings, "APPLICATION", "History"), history);
}

TEST_F(IniFiles, ReadFailuresLeaveStoreAsItWas) {
    IniHolder ini(0);
    ASSERT_EQ(Ini_PutInt(ini, "S", "t", 1), 0);
    EXPECT_EQ(Ini_ReadFromFile(ini, (dir + "/missing.ini").c_str()), kIniErrOpenForRead);
    EXPECT_EQ(Ini_ReadFromFile(ini, dir.c_str()), kIniErrOpenForRead); // a directory is no file
    EXPECT_EQ(Text(ini), "[S]\r\nt = 1\r\n\r\n");
    Spit(dir + "/more.ini", "[S]\nt = 2\n[U]\nu = 3");
    ASSERT_EQ(Ini_ReadFromFile(ini, (dir + "/more.ini").c_str()), 0); // added after the existing sections
    EXPECT_EQ(Sections(ini), (std::vector<std::string>{"S", "S", "U"}));
    EXPECT_EQ(Get(ini, "S", "t"), "1");
}

TEST_F(IniFiles, OnlyPlainFilesOfBoundedSizeAreReadAndNothingWaits) {
    IniHolder ini(0);
    ASSERT_EQ(Ini_PutInt(ini, "S", "t", 1), 0);
    const std::string fifo = dir + "/fifo.ini", zero = dir + "/zero.ini", big = dir + "/big.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    // A FIFO without a writer blocks an open for reading for ever, and
    // /dev/zero never ends.
    EXPECT_EQ(ReadInChildProcess(fifo), kIniErrOpenForRead);
    EXPECT_EQ(ReadInChildProcess(zero), kIniErrOpenForRead);
    EXPECT_EQ(Ini_ReadFromFile(ini, "/dev/null"), kIniErrOpenForRead);

    // Past the size limit (a sparse file: no disk space used) the read is
    // refused with a code of its own and a text for the operator.
    const int fd = open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kIniMaxFileSize + 1), 0);
    ASSERT_EQ(pwrite(fd, "[Big]\n", 6, 0), 6);
    close(fd);
    EXPECT_EQ(Ini_ReadFromFile(ini, big.c_str()), kIniErrFileTooLarge);
    EXPECT_STREQ(Ini_ErrorText(kIniErrFileTooLarge), "File Too Large");
    EXPECT_EQ(Text(ini), "[S]\r\nt = 1\r\n\r\n");
    ASSERT_EQ(truncate(big.c_str(), kIniMaxFileSize), 0); // the limit itself is still read
    ASSERT_EQ(Ini_ReadFromFile(ini, big.c_str()), 0);
    EXPECT_EQ(Sections(ini), (std::vector<std::string>{"S", "Big"}));
}

TEST_F(IniFiles, WriteReplacesTargetAndKeepsItsModeAndLinks) {
    IniHolder ini(0);
    ASSERT_EQ(Ini_PutInt(ini, "S", "t", 1), 0);
    const std::string target = dir + "/app.ini";
    Spit(target, "old");
    chmod(target.c_str(), 0640);
    ASSERT_EQ(symlink("app.ini", (dir + "/link.ini").c_str()), 0);
    ASSERT_EQ(Ini_WriteToFile(ini, (dir + "/link.ini").c_str()), 0);
    EXPECT_EQ(Slurp(target), "[S]\r\nt = 1\r\n\r\n");
    struct stat st {};
    ASSERT_EQ(lstat((dir + "/link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    EXPECT_EQ(Ini_WriteToFile(ini, (dir + "/no/such/dir.ini").c_str()), kIniErrOpenForWrite);
    EXPECT_EQ(Ini_WriteToFile(ini, dir.c_str()), kIniErrOpenForWrite);
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    EXPECT_EQ(Ini_WriteToFile(ini, (dir + "/fifo").c_str()), kIniErrOpenForWrite); // only plain files are replaced
    EXPECT_EQ(DirEntries(dir).size(), 3u);
}

TEST_F(IniFiles, FailedWriteLeavesOldFileAndNoTemporaryFile) {
    IniHolder ini(0);
    for (int n = 0; n < 2000; ++n) ASSERT_EQ(Ini_PutInt(ini, "S", ("t" + std::to_string(n)).c_str(), n), 0);
    const std::string target = dir + "/app.ini";
    Spit(target, "old contents\r\n");

    // All temporary names taken.
    for (int n = 0; n < 1000; ++n) Spit(dir + "/ini$$" + std::to_string(n) + ".TMP", "");
    EXPECT_EQ(Ini_WriteToFile(ini, target.c_str()), kIniErrNoTempName);
    EXPECT_EQ(Slurp(target), "old contents\r\n");
    EXPECT_EQ(DirEntries(dir).size(), 1001u);
    for (int n = 0; n < 1000; ++n) unlink((dir + "/ini$$" + std::to_string(n) + ".TMP").c_str());

    // The file system refuses the data part way (a file size limit holds
    // even for root, like a full disk).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 20000; // more than one 16 KB buffer, less than the text
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int rc = Ini_WriteToFile(ini, target.c_str());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(rc, kIniErrWrite);
    EXPECT_EQ(Slurp(target), "old contents\r\n");
    EXPECT_EQ(DirEntries(dir), std::vector<std::string>{"app.ini"});

    ASSERT_EQ(Ini_WriteToFile(ini, target.c_str()), 0);
    EXPECT_GT(Slurp(target).size(), 20000u);
    EXPECT_EQ(DirEntries(dir), std::vector<std::string>{"app.ini"});
}
