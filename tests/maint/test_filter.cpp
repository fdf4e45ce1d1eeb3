// The filter panel against the simulator: reading the four settings and
// writing the filter memory, frame by frame, with the status line and
// progress bar the operator watches. The simulator's own filter memory is
// tested in tests/sim.
#include "tests/measure/measure_fixture.h"

#include "tests/fixtures/filter_image.h"

#include "maint/filter.h"
#include "ui/panels/filter_ids.h"

#include <QCheckBox>
#include <QTest>

#include <string>
#include <vector>

namespace {

class FilterTest : public MeasureTest {
  protected:
    std::vector<std::string> statusSeen;
    std::vector<int> progressSeen;

    void SetUp() override {
        MeasureTest::SetUp();
        for (int k = 0; k < FILTER_COUNT; ++k) {
            SetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, 0);
            SetCtrlAttribute(panelFILTER, FILTER_SETTING_1 + k, ATTR_DIMMED, 1);
        }
    }
    // Records every status text and progress value shown while the
    // simulator holds each reply back long enough to see them.
    void watchStatusAndProgress() {
        sim::Faults slow;
        slow.delayMs = 30;
        sim.setFaults(slow);
        onTick = [this] { sample(); };
    }
    void sample() {
        const std::string s = StatusLine();
        if (statusSeen.empty() || statusSeen.back() != s) statusSeen.push_back(s);
        int p = -1;
        GetCtrlVal(panelMAIN, MAIN_PROGRESS, &p);
        if (progressSeen.empty() || progressSeen.back() != p) progressSeen.push_back(p);
    }
    void send() {
        OperateCtrl(panelFILTER, FILTER_CMD_SEND);
        onTick = nullptr;
        sample();
    }
};

bool Contains(const std::vector<std::string> &seen, const std::string &text) {
    return std::find(seen.begin(), seen.end(), text) != seen.end();
}

TEST_F(FilterTest, AWriteStopsSamplingErasesAndSendsNineteenPackagesWhateverThePanelShows) {
    // Every filter enabled with its own setting: the image is the same as with none.
    const int settings[] = {10, 500, 77, 300};
    for (int k = 0; k < 4; ++k) {
        SetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, 1);
        SetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, settings[k]);
    }
    // The image has a buffer of its own: the channel A curve survives a write.
    for (int i = 0; i < CURVE_SAMPLES; ++i) yArrayA[i] = static_cast<unsigned short>(1000 + i);
    watchStatusAndProgress();
    send();

    const auto log = frames();
    ASSERT_EQ(log.size(), 21u) << "stop sampling, then 20 exchanges";
    EXPECT_EQ(command(log[0]), 10);
    EXPECT_EQ(command(log[1]), 180);
    EXPECT_EQ(word(log[1], 0), 0x1100);
    const sim::FilterImage image = PassThroughImage();
    for (int p = 0; p < 19; ++p) {
        const Request &r = log[std::size_t(2 + p)];
        const int count = p < 18 ? 14 : 4;
        EXPECT_EQ(command(r), 182);
        EXPECT_EQ(word(r, 0), 0x1100 + 14 * p) << "package " << p + 1;
        EXPECT_EQ(word(r, 1), count);
        for (int i = 0; i < 14; ++i)
            EXPECT_EQ(word(r, 2 + i), i < count ? image[std::size_t(14 * p + i)] : 0) << p + 1 << "/" << i;
    }
    for (int w = 1; w < 16; ++w) {
        EXPECT_EQ(word(log[0], w), 0);
        EXPECT_EQ(word(log[1], w), 0);
    }
    EXPECT_EQ(sim.filterImage(), image);
    EXPECT_FALSE(sim.sampling()) << "sampling stays stopped after the write";

    EXPECT_EQ(StatusLine(), "Filter data successfully written.");
    EXPECT_TRUE(Contains(statusSeen, "Stop sampling ... "));
    EXPECT_TRUE(Contains(statusSeen, "Erase page ... "));
    std::vector<int> packages;
    for (const std::string &s : statusSeen) {
        int n = 0;
        if (std::sscanf(s.c_str(), "Write package %d ... ", &n) == 1 && (packages.empty() || packages.back() != n))
            packages.push_back(n);
    }
    std::vector<int> oneToNineteen;
    for (int n = 1; n <= 19; ++n) oneToNineteen.push_back(n);
    EXPECT_EQ(packages, oneToNineteen);
    // n x 100 / 20 after the erase (n = 1) and after each package.
    const auto from = std::find(progressSeen.begin(), progressSeen.end(), 5);
    std::vector<int> steps;
    for (int n = 1; n <= 20; ++n) steps.push_back(n * 5);
    EXPECT_EQ(std::vector<int>(from, progressSeen.end()), steps);
    EXPECT_EQ(Attr(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR), VAL_YELLOW);
    for (int i = 0; i < CURVE_SAMPLES; ++i) ASSERT_EQ(yArrayA[i], 1000 + i) << i;
}

TEST_F(FilterTest, GetShowsEachSettingAndClearsTheBoxOfAFilterThatIsOff) {
    const uint16_t settings[] = {120, 250, 0xFFFF, 40};
    for (int k = 0; k < 4; ++k) sim.setFilterSetting(k, settings[k]);
    SetCtrlVal(panelFILTER, FILTER_ENABLE_3, 1);
    SetCtrlAttribute(panelFILTER, FILTER_SETTING_3, ATTR_DIMMED, 0);
    DisplayPanel(panelMAIN);
    DisplayPanel(panelFILTER);
    QTest::mouseClick(static_cast<QWidget *>(GetCtrlWidget(panelFILTER, FILTER_CMD_GET)), Qt::LeftButton);

    const auto log = frames();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(command(log[0]), 21);
    EXPECT_EQ(word(log[0], 0), 0x6401);
    EXPECT_EQ(StatusLine(), "Read filter settings ... OK.");
    for (int k = 0; k < 4; ++k) {
        int on = -1, value = -1;
        GetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, &on);
        EXPECT_EQ(on, k == 2 ? 0 : 1) << "filter " << k + 1;
        EXPECT_EQ(Attr(panelFILTER, FILTER_SETTING_1 + k, ATTR_DIMMED), k == 2 ? 1 : 0) << "filter " << k + 1;
        GetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, &value);
        if (k != 2) {
            EXPECT_EQ(value, settings[k]) << "filter " << k + 1;
        }
    }

    // Ticking a box enables its setting; clearing it dims the setting again.
    auto *box = static_cast<QCheckBox *>(GetCtrlWidget(panelFILTER, FILTER_ENABLE_3));
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(Attr(panelFILTER, FILTER_SETTING_3, ATTR_DIMMED), 0);
    QTest::mouseClick(static_cast<QWidget *>(GetCtrlWidget(panelFILTER, FILTER_ENABLE_1)), Qt::LeftButton);
    EXPECT_EQ(Attr(panelFILTER, FILTER_SETTING_1, ATTR_DIMMED), 1);
}

TEST_F(FilterTest, GetDoesNothingAtAllWhileRunRuns) {
    std::string statusBefore, statusAfter;
    int pressed = 0;
    onTick = [&] {
        if (stop_flag == 0 && sim.requestLog().size() >= 4 && !pressed) {
            statusBefore = StatusLine();
            OperateCtrl(panelFILTER, FILTER_CMD_GET);
            statusAfter = StatusLine();
            pressed = 1;
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    ASSERT_EQ(pressed, 1);
    EXPECT_EQ(statusAfter, statusBefore);
    for (const Request &r : frames()) EXPECT_EQ(command(r), 8) << "only the RUN loop's requests";
    int on = -1;
    GetCtrlVal(panelFILTER, FILTER_ENABLE_1, &on);
    EXPECT_EQ(on, 0);
}

// SEND FILTER would stop sampling under a running loop: it is refused with
// a message, and RUN goes on alone.
TEST_F(FilterTest, SendIsRefusedWhileRunRuns) {
    int pressed = 0;
    onTick = [&] {
        if (stop_flag == 0 && sim.requestLog().size() >= 4 && !pressed) {
            OperateCtrl(panelFILTER, FILTER_CMD_SEND);
            pressed = 1;
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    ASSERT_EQ(pressed, 1);
    EXPECT_EQ(popups->lastMessage("ERROR"), "Please stop the measurement first!");
    for (const Request &r : frames()) EXPECT_EQ(command(r), 8) << "only the RUN loop's requests";
}

TEST_F(FilterTest, AnUnacknowledgedStopSendsNothingElseAndKeepsTheLink) {
    sim::Faults f;
    f.wrongAck = true;
    sim.setFaults(f);
    send();
    EXPECT_EQ(frames().size(), 1u);
    EXPECT_EQ(StatusLine(), "Failure while writing filter data.");
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);
    EXPECT_EQ(sim.filterLog().size(), 0u);
}

TEST_F(FilterTest, ALinkLostMidWriteEndsItAtOnceAndDimsTheMainPanel) {
    sim::Faults f;
    f.disconnectAfter = 6; // stop sampling, erase, packages 1 to 4
    sim.setFaults(f);
    send();
    const auto log = frames();
    ASSERT_EQ(log.size(), 6u) << "nothing after the lost package";
    EXPECT_EQ(word(log.back(), 0), 0x1100 + 14 * 3);
    EXPECT_EQ(StatusLine(), "Failure while writing filter data.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 1);
}

// A read that fails shows no settings: the boxes and values stay as they
// were, and a lost or garbled reply gives the link up.
TEST_F(FilterTest, AGetWhoseReplyIsLostOrGarbledChangesNoSettingAndGivesTheLinkUp) {
    struct Case {
        const char *what;
        sim::Faults faults;
        const char *status;
    };
    sim::Faults garbled, lost;
    garbled.swapSync = true;
    lost.dropAll = true;
    for (const Case &c : {Case{"garbled", garbled, "Error! Sensor echo incorrect."},
                          Case{"lost", lost, "Error! Connection lost."}}) {
        SCOPED_TRACE(c.what);
        for (int k = 0; k < 4; ++k) {
            sim.setFilterSetting(k, static_cast<uint16_t>(100 + k));
            SetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, k % 2);
            SetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, 33);
        }
        set_main_buttons(1, 1, 1);
        stop_flag = 1;
        sim.setFaults(c.faults);
        sim.clearRequestLog();
        OperateCtrl(panelFILTER, FILTER_CMD_GET);
        sim.setFaults({});
        ASSERT_GE(frames().size(), 1u);
        for (const Request &r : frames()) EXPECT_EQ(command(r), 21);
        EXPECT_EQ(StatusLine(), c.status);
        EXPECT_EQ(stop_flag, 1);
        EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 1);
        EXPECT_EQ(Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 1);
        for (int k = 0; k < 4; ++k) {
            int on = -1, value = -1;
            GetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, &on);
            GetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, &value);
            EXPECT_EQ(on, k % 2) << "filter " << k + 1;
            EXPECT_EQ(value, 33) << "filter " << k + 1;
        }
    }
}

} // namespace
