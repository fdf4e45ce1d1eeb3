// qvex-ctl's automatic run against one recorded through the panels: the same
// file apart from dates, times and values.
#include "tests/ctl/ctl_fixture.h"
#include "tests/recorder/recorder_fixture.h"

#include <regex>

namespace {

// A record file with every run of digits made one '#': dates, times and
// values drop out, the structure stays.
std::vector<std::string> shape(const std::string &text) {
    RecordText t(text);
    EXPECT_FALSE(t.bareLineEnd);
    std::vector<std::string> out;
    const std::regex digits("[0-9]+(\\.[0-9]+)?");
    for (const std::string &l : t.lines)
        out.push_back(std::regex_replace(l, digits, "#"));
    return out;
}

using CtlRecordTest = RecorderTest;

TEST_F(CtlRecordTest, RecordFiftyRowsGivesThePanelsFile) {
    const std::string panels = path("panels.csv");
    chooseFile(panels);
    setType(REC_TYPE_AUTOMATIC);
    runAutomatic(50, 0.0);
    const std::string panelText = ReadWholeFile(panels);

    ctl_test::SimProcess sim;
    ASSERT_TRUE(sim.start({}));
    const std::string mine = path("ctl.csv");
    const ctl_test::CtlResult r =
        ctl_test::RunCtl({"--quiet", "--tcp", sim.tcp(), "record", "--rows", "50", "--interval", "0", "--out",
                          QString::fromStdString(mine)});
    ASSERT_EQ(r.code, 0) << ctl_test::Describe(r);
    const std::string text = ReadWholeFile(mine);

    // Header block, INDEX 0..49, closing lines.
    const RecordText t(text);
    const int columns = t.find(kColumnLine);
    ASSERT_GE(columns, 0) << text;
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(RecordText::fields(t.lines[std::size_t(columns + 1 + i)])[0], std::to_string(i));
    EXPECT_GT(t.lines.size(), std::size_t(columns + 51));
    EXPECT_EQ(shape(text), shape(panelText));
}

} // namespace
