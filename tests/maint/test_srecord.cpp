// The S-record check that every file passes before it is sent or merged:
// each bad line is named with its reason; sound files of every accepted
// record type pass. test_firmware.cpp and test_lindata.cpp show the
// refusals on the panel.
#include "update_fixture.h"

#include "maint/srecord.h"

using namespace maint_test;

TEST(SRecordCheck, EveryAcceptedTypePassesAndEveryFaultNamesItsLine) {
    const std::string data = s3(0x02000000, {1, 2, 3, 4});
    const std::vector<std::string> sound = {
        record('0', 2, 0, {'h', 'd', 'r'}),  record('1', 2, 0x1234, {9, 8}), record('2', 3, 0x123456, {7}),
        "", data, record('5', 2, 3, {}), record('9', 2, 0, {}),
    };
    int line = -1;
    std::string problem;
    EXPECT_TRUE(CheckSRecordLines(sound, &line, &problem)) << line << ": " << problem;
    for (char t : {'7', '8'}) {
        std::vector<std::string> ends = {data, record(t, t == '7' ? 4 : 3, 0x100, {})};
        EXPECT_TRUE(CheckSRecordLines(ends, &line, &problem)) << t << ": " << problem;
    }

    std::string badSum = data;
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    std::string lower = data;
    for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lower[0] = 'S';
    EXPECT_TRUE(CheckSRecordLines({lower, record('7', 4, 0, {})}, &line, &problem)) << problem;

    struct Case {
        std::vector<std::string> lines;
        int line;
        const char *says;
    };
    const std::string end = record('7', 4, 0, {});
    const Case cases[] = {
        {{data, badSum, end}, 2, "checksum error"},
        {{data, data.substr(0, data.size() - 2), end}, 2, "does not match the length"},
        {{data, data + "00", end}, 2, "does not match the length"},
        {{data, "S4030000FC", end}, 2, "record type S4 is not accepted"},
        {{data, "S6030000FC", end}, 2, "record type S6 is not accepted"},
        {{":10000000", end}, 1, "not an S-record"},
        {{data, "S30G", end}, 2, "not a hex digit in column 4"},
        {{data, "S3", end}, 2, "no byte count"},
        {{data, record('3', 4, 0, {}).replace(2, 2, "03"), end}, 2, "does not match"},
        {{data, record('5', 2, 2, {}), end}, 2, "record count 2 does not match the 1 data records"},
        {{data, std::string(600, 'S'), end}, 2, "not an S-record"},
        {{data, "S3" + std::string(600, '0'), end}, 2, "too long"},
        {{data, end, data}, 3, "after the termination record in line 2"},
        {{data}, 0, "no termination record"},
        {{"", ""}, 0, "no S-records"},
    };
    for (const Case &c : cases) {
        line = -1;
        problem.clear();
        EXPECT_FALSE(CheckSRecordLines(c.lines, &line, &problem)) << c.says;
        EXPECT_EQ(line, c.line) << c.says;
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.says << " / " << problem;
    }
}
