// Test mode against the simulator: entering and leaving it, the test record
// sent on every change of the test panel (clicked as the operator clicks),
// the input lamps, and how RUN and a lost link meet the test panel's groups.
#include "tests/measure/measure_fixture.h"

#include "maint/testmode.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/test_ids.h"

#include <QTest>

#include <utility>
#include <vector>

namespace {

// Every control of the test group: exit, the six test values, both lamp
// buttons, both switches and both input lamps.
const std::vector<int> kTestGroup = {TEST_CMD_EXIT, TEST_VALUE_1,  TEST_VALUE_2,  TEST_VALUE_3, TEST_VALUE_4,
                                     TEST_VALUE_5,  TEST_VALUE_6,  TEST_LAMP_1,   TEST_LAMP_2,  TEST_SWITCH_1,
                                     TEST_SWITCH_2, TEST_INPUT_1,  TEST_INPUT_2};

class TestModeTest : public MeasureTest {
  protected:
    void SetUp() override {
        MeasureTest::SetUp();
        // As after connecting: the entry group enabled, test mode not entered.
        set_test_panel_controls(1, 0);
        for (int k = 0; k < 6; ++k) SetCtrlVal(panelTEST, TEST_VALUE_1 + k, 0);
        for (int id : {TEST_LAMP_1, TEST_LAMP_2, TEST_SWITCH_1, TEST_SWITCH_2, TEST_INPUT_1, TEST_INPUT_2})
            SetCtrlVal(panelTEST, id, 0);
        SetCtrlAttribute(panelTEST, TEST_LAMP_1, ATTR_ON_COLOR, VAL_RED);
        SetCtrlAttribute(panelTEST, TEST_LAMP_2, ATTR_ON_COLOR, VAL_YELLOW);
        DisplayPanel(panelMAIN);
        DisplayPanel(panelTEST);
    }
    void TearDown() override {
        HidePanel(panelTEST);
        MeasureTest::TearDown();
    }
    void click(int control) {
        QTest::mouseClick(static_cast<QWidget *>(GetCtrlWidget(panelTEST, control)), Qt::LeftButton);
    }
    void enter() {
        click(TEST_CMD_ENTER);
        ASSERT_EQ(StatusLine(), "Entering testmode ... OK.");
        sim.clearRequestLog();
    }
    int lamp(int control) {
        int on = -1;
        GetCtrlVal(panelTEST, control, &on);
        return on;
    }
    // Dimmed state of every control of the test group, each shown: all 0 or
    // all 1, else -1.
    int testGroupDimmed() {
        int first = Attr(panelTEST, kTestGroup[0], ATTR_DIMMED);
        for (int id : kTestGroup)
            if (Attr(panelTEST, id, ATTR_DIMMED) != first || Attr(panelTEST, id, ATTR_VISIBLE) != 1) return -1;
        return first;
    }
};

TEST_F(TestModeTest, EnterStopsSamplingAndOpensTheTestGroupExitRestoresNormalMode) {
    click(TEST_CMD_ENTER);
    auto log = frames();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(command(log[0]), 10);
    EXPECT_EQ(StatusLine(), "Entering testmode ... OK.");
    EXPECT_FALSE(sim.sampling());
    EXPECT_EQ(testGroupDimmed(), 0);
    EXPECT_EQ(Attr(panelTEST, TEST_CMD_ENTER, ATTR_DIMMED), 0) << "the entry group is left as it was";
    EXPECT_EQ(Attr(panelTEST, TEST_ENTER_NOTE, ATTR_DIMMED), 0);
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_TRIGGER, MAIN_BTN_GET})
        EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 1) << "main panel dimmed while testing: " << id;

    sim.clearRequestLog();
    click(TEST_CMD_EXIT);
    log = frames();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(command(log[0]), 11);
    EXPECT_EQ(StatusLine(), "Restarting normal mode ... OK.");
    EXPECT_TRUE(sim.sampling());
    EXPECT_EQ(testGroupDimmed(), 1);
    EXPECT_EQ(Attr(panelTEST, TEST_CMD_ENTER, ATTR_DIMMED), 0);
    EXPECT_EQ(Attr(panelTEST, TEST_ENTER_NOTE, ATTR_DIMMED), 0);
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_TRIGGER, MAIN_BTN_GET}) EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 0) << id;
}

// The filter panel is not dimmed by test mode, but its commands would send
// between the test records and restart or stop sampling behind the test
// panel's back: they are refused and send nothing until test mode is left.
TEST_F(TestModeTest, WhileTestingTheFilterCommandsAreRefusedAndSendNothing) {
    enter();
    DisplayPanel(panelFILTER);
    for (int id : {FILTER_CMD_SEND, FILTER_CMD_GET}) {
        QTest::mouseClick(static_cast<QWidget *>(GetCtrlWidget(panelFILTER, id)), Qt::LeftButton);
        EXPECT_EQ(StatusLine(), "Busy! Please leave the test mode first.") << id;
    }
    EXPECT_EQ(frames().size(), 0u);
    EXPECT_FALSE(sim.sampling());
    HidePanel(panelFILTER);
    click(TEST_CMD_EXIT);
    EXPECT_TRUE(sim.sampling());
    sim.clearRequestLog();
    QTest::mouseClick(static_cast<QWidget *>(GetCtrlWidget(panelFILTER, FILTER_CMD_GET)), Qt::LeftButton);
    EXPECT_EQ(frames().size(), 1u) << "after the exit the read goes out again";
}

TEST_F(TestModeTest, AnUnacknowledgedEnterChangesNothingButTheStatusLine) {
    sim::Faults f;
    f.wrongAck = true;
    sim.setFaults(f);
    click(TEST_CMD_ENTER);
    EXPECT_EQ(StatusLine(), "Error! Sensor echo incorrect.");
    EXPECT_EQ(testGroupDimmed(), 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);
}

TEST_F(TestModeTest, LampButtonsCycleOnOffGreenOffAndEveryChangeSendsTheWholeRecord) {
    enter();
    for (int press = 0; press < 4; ++press) click(TEST_LAMP_1);
    auto log = frames();
    ASSERT_EQ(log.size(), 4u);
    const std::pair<int, int> expected[] = {{1, 0}, {0, 0}, {0, 1}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(command(log[std::size_t(i)]), 12);
        EXPECT_EQ(std::make_pair(word(log[std::size_t(i)], 10), word(log[std::size_t(i)], 11)), expected[i])
            << "press " << i + 1;
    }
    EXPECT_EQ(Attr(panelTEST, TEST_LAMP_1, ATTR_ON_COLOR), VAL_RED) << "back to its own colour";
    EXPECT_EQ(StatusLine(), "Test recieved.");

    // Values, the second lamp and the switches land in their own words.
    sim.clearRequestLog();
    OperateCtrl(panelTEST, TEST_VALUE_1, -5);
    OperateCtrl(panelTEST, TEST_VALUE_6, 32767);
    click(TEST_LAMP_2);
    click(TEST_LAMP_2);
    click(TEST_LAMP_2);
    EXPECT_EQ(Attr(panelTEST, TEST_LAMP_2, ATTR_ON_COLOR), VAL_GREEN);
    click(TEST_SWITCH_2);
    log = frames();
    ASSERT_EQ(log.size(), 6u);
    const std::vector<int> last = [&] {
        std::vector<int> w;
        for (int i = 0; i < 16; ++i) w.push_back(word(log.back(), i));
        return w;
    }();
    EXPECT_EQ(last, (std::vector<int>{0xFFFB, 0, 0, 0, 0, 32767, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1}));
    EXPECT_EQ(word(log[2], 12), 1) << "lamp 2 on in yellow";
    EXPECT_EQ(sim.testRecord()[15], 1);
}

TEST_F(TestModeTest, WordSixOfTheAnswerLightsTheInputLamps) {
    enter();
    const std::pair<int, std::pair<int, int>> cases[] = {{3, {1, 1}}, {2, {0, 1}}, {1, {1, 0}}, {0, {0, 0}}};
    for (const auto &c : cases) {
        sim.setTestInputs(uint16_t(c.first));
        click(TEST_SWITCH_1);
        EXPECT_EQ(std::make_pair(lamp(TEST_INPUT_1), lamp(TEST_INPUT_2)), c.second) << "inputs " << c.first;
    }
}

TEST_F(TestModeTest, RunDimsTheEntryGroupUntilItEnds) {
    int dimmedDuring = -1;
    onTick = [&] {
        if (stop_flag == 0 && sim.requestLog().size() >= 2) {
            dimmedDuring = Attr(panelTEST, TEST_CMD_ENTER, ATTR_DIMMED) + Attr(panelTEST, TEST_ENTER_NOTE, ATTR_DIMMED);
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_EQ(dimmedDuring, 2);
    EXPECT_EQ(Attr(panelTEST, TEST_CMD_ENTER, ATTR_DIMMED), 0);
    EXPECT_EQ(testGroupDimmed(), 1);
}

// Test mode belongs to the controller on the link: with the link gone
// nobody could send EXIT TEST, so it ends there and its controls dim.
TEST_F(TestModeTest, ATestChangeOnALostLinkDimsTheMainPanelAndEndsTestMode) {
    enter();
    set_main_buttons(1, 1, 1); // to see the dimming the lost link causes
    sim::Faults f;
    f.disconnectAfter = 1;
    sim.setFaults(f);
    click(TEST_SWITCH_1); // answered, then the controller hangs up
    EXPECT_EQ(StatusLine(), "Test recieved.");
    click(TEST_SWITCH_2);
    EXPECT_EQ(StatusLine(), "Error! Connection lost.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 1);
    EXPECT_EQ(testGroupDimmed(), 1);
    EXPECT_FALSE(OperationRunning(Operation::TestMode));
    EXPECT_EQ(Attr(panelTEST, TEST_CMD_ENTER, ATTR_DIMMED), 0);
}

// Test mode belongs to the controller on the link. Whether the link was
// lost or replaced by a new connect through the dialog, the new link starts
// without it: TRIGGER and SEND reach the controller again.
TEST_F(TestModeTest, ANewLinkStartsWithoutTestModeAndTheMainCommandsReachTheController) {
    const auto press = [](int panel, int control) {
        QTest::mouseClick(static_cast<QWidget *>(GetCtrlWidget(panel, control)), Qt::LeftButton);
    };
    for (const bool lost : {true, false}) {
        SCOPED_TRACE(lost ? "link lost" : "link replaced");
        enter();
        ASSERT_TRUE(OperationRunning(Operation::TestMode));
        if (lost) {
            sim::Faults f;
            f.disconnectAfter = 1;
            sim.setFaults(f);
            click(TEST_SWITCH_1);
            click(TEST_SWITCH_2);
            ASSERT_EQ(StatusLine(), "Error! Connection lost.");
            sim.setFaults({});
        }
        press(panelMAIN, MAIN_CONNECT);
        SetCtrlVal(panelInterf, INTERF_PROTOCOL, 1);
        SetCtrlVal(panelInterf, INTERF_ADDRESS, "127.0.0.1");
        SetCtrlVal(panelInterf, INTERF_TCPPORT, std::to_string(sim.tcpPort()));
        press(panelInterf, INTERF_TRY);
        press(panelInterf, INTERF_ACCEPT);
        ASSERT_EQ(tcpcon, 1) << StatusLine();
        EXPECT_FALSE(OperationRunning(Operation::TestMode));
        EXPECT_EQ(testGroupDimmed(), 1);
        EXPECT_EQ(Attr(panelTEST, TEST_CMD_ENTER, ATTR_DIMMED), 0);

        sim.clearRequestLog();
        press(panelMAIN, MAIN_CMD_TRIGGER);
        EXPECT_EQ(StatusLine().rfind("Busy!", 0), std::string::npos) << StatusLine();
        ASSERT_EQ(frames().size(), 1u);
        EXPECT_EQ(frames()[0][3], 14);
        press(panelMAIN, MAIN_RADIO_RAM);
        press(panelMAIN, MAIN_BTN_SEND);
        EXPECT_EQ(StatusLine(), "Activating parameter ... Done!");
        EXPECT_EQ(frames().size(), 14u) << "twelve sets and the activation";
        set_test_panel_controls(1, 0);
    }
}

} // namespace
