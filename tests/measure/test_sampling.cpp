// RUN, STOP and the one-shot sensor commands against the simulator.
#include "tests/measure/measure_fixture.h"

#include "core/status.h"
#include "maint/access.h"
#include "measure/navigation.h"
#include "params/binding.h"
#include "params/transfer.h"
#include "ui/panels/compare_ids.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/intensity_ids.h"

namespace {

using SamplingTest = MeasureTest;

TEST_F(SamplingTest, StopDuringPartTwoFinishesTheCycleWithoutUpdatingAndReturnsToIdle) {
    SetCtrlVal(panelMAIN, MAIN_NUM_EVAL2, -999.0);
    sim::Faults slow;
    slow.delayMs = 20; // time enough for STOP to land inside the part 2 wait
    sim.setFaults(slow);
    stopAfter(2); // the second request of the first cycle is part 2
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    const auto log = frames();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(word(log[0], 0), 0x6401);
    EXPECT_EQ(word(log[1], 0), 0x6402);
    double shown = 0;
    GetCtrlVal(panelMAIN, MAIN_NUM_EVAL2, &shown);
    EXPECT_DOUBLE_EQ(shown, -999.0) << "a stopped cycle leaves the indicators alone";
    EXPECT_EQ(StatusLine(), "Rawdata (part 2) received.");
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_STOP, MAIN_CMD_DATA, MAIN_CMD_TRIGGER, MAIN_CMD_VERSION, MAIN_BTN_GET})
        EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 0) << id;
    EXPECT_EQ(Attr(panelMAIN, MAIN_STRIPCHART, ATTR_VISIBLE), 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_GRAPH, ATTR_VISIBLE), 0);
}

TEST_F(SamplingTest, RunShowsLiveValuesWhileTheGroupsAreDimmed) {
    sim.useRealTime();
    int dimmedDuring = -1, colourDuring = -1, ticks = 0;
    onTick = [&] {
        ++ticks;
        if (sim.requestLog().size() >= 40 && stop_flag == 0) {
            dimmedDuring = Attr(panelMAIN, MAIN_CMD_TEACH, ATTR_DIMMED) + Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED) +
                           Attr(panelMAIN, MAIN_CMD_DATA, ATTR_DIMMED);
            colourDuring = Attr(panelMAIN, MAIN_CMD_RUN, ATTR_CMD_BUTTON_COLOR);
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, TOG_INTENSITY);
    const double t0 = Timer();
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    const double elapsed = Timer() - t0;
    EXPECT_EQ(dimmedDuring, 3);
    EXPECT_EQ(colourDuring, 0xFF0000);
    EXPECT_EQ(frames().size() % 2, 0u);
    // The live values reached the indicators.
    int result = -1;
    GetCtrlVal(panelINTENSITY, INTENSITY_RESULT_A, &result);
    EXPECT_GT(result, 0);
    // Events kept flowing: the 1 ms timer ran throughout the loop.
    EXPECT_GT(ticks, static_cast<int>(elapsed * 1000 / 20)) << "the program stays responsive";
}

// A command refused during RUN keeps its text on the status line against
// the loop's own texts for a while, then the loop's texts come back.
TEST_F(SamplingTest, ARefusalDuringRunStaysReadableAndThenGivesWayToTheLoop) {
    std::string refused, oneSecondLater, later;
    double refusedAt = 0.0;
    std::size_t framesAtRefusal = 0;
    onTick = [&] {
        if (stop_flag != 0 || frames().size() < 10) return;
        if (refusedAt == 0.0) {
            OperateCtrl(panelCOMPARE, COMPARE_SEND);
            refused = StatusLine();
            refusedAt = Timer();
            framesAtRefusal = frames().size();
        } else if (oneSecondLater.empty() && Timer() - refusedAt >= 1.0) {
            oneSecondLater = StatusLine();
        } else if (!oneSecondLater.empty() && Timer() - refusedAt >= 3.5) {
            later = StatusLine();
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_EQ(refused, "Busy! Please stop the measurement first.");
    EXPECT_EQ(oneSecondLater, refused);
    EXPECT_GT(frames().size(), framesAtRefusal + 10) << "the loop ran on meanwhile";
    EXPECT_EQ(later.rfind("Rawdata (part ", 0), 0u) << later;
}

// A fast link: every cycle's row goes into the strip-chart history, the
// status line is written at most once a frame (1/60 s), and when RUN stops
// the indicators, status and progress show the last cycle.
TEST_F(SamplingTest, RunKeepsEveryRowButUpdatesTheDisplayAtTheScreensPace) {
    sim.useRealTime();
    static int statusWrites = 0;
    statusWrites = 0;
    SetStatusObserver([](const char *) { ++statusWrites; });
    ClearStripChart(panelMAIN, MAIN_STRIPCHART);
    const double t0 = Timer();
    onTick = [&] {
        if (Timer() - t0 > 0.5 && stop_flag == 0) OperateCtrl(panelMAIN, MAIN_CMD_STOP);
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    const double elapsed = Timer() - t0;
    SetStatusObserver(nullptr);
    const long cycles = static_cast<long>(frames().size() / 2);
    ASSERT_GT(cycles, 0);
    int kept = 0;
    GetCtrlAttribute(panelMAIN, MAIN_STRIPCHART, ATTR_POINTS_PER_SCREEN, &kept);
    EXPECT_EQ(kept, 101);
    // Two status texts a shown cycle, plus the last cycle's and the idle state's.
    EXPECT_LE(statusWrites, 2 * (elapsed * 60 + 2) + 4) << cycles << " cycles in " << elapsed << " s";
    EXPECT_EQ(StatusLine(), "Rawdata (part 2) received.");
    int progress = -1, result = -1;
    GetCtrlVal(panelMAIN, MAIN_PROGRESS, &progress);
    EXPECT_EQ(progress, 100);
    // The indicators show the last row that went into the history (a
    // cycle that STOP cut short shows nothing); the intensity panel, hidden
    // during the run, takes it when the operator brings it up.
    const double *last = yArray + STRIP_TRACES * (STRIP_ROWS - 1);
    OperateCtrl(panelMAIN, TOG_INTENSITY);
    GetCtrlVal(panelINTENSITY, INTENSITY_RESULT_A, &result);
    EXPECT_EQ(result, last[8]);
    int eval1 = -1;
    GetCtrlVal(panelMAIN, MAIN_NUM_EVAL1_INT, &eval1);
    EXPECT_EQ(eval1, last[0]);
}

// DATA fetches 68 blocks a pass; on a fast link their status texts and
// progress reach the panel at most once a frame, and the pass's last text
// stands when the loop ends.
TEST_F(SamplingTest, DataShowsItsBlocksAtTheScreensPace) {
    sim.useRealTime();
    static int statusWrites = 0;
    statusWrites = 0;
    SetStatusObserver([](const char *) { ++statusWrites; });
    const double t0 = Timer();
    onTick = [&] {
        if (sim.requestLog().size() >= 3 * 68 && stop_flag == 0) OperateCtrl(panelMAIN, MAIN_CMD_STOP);
    };
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    const double elapsed = Timer() - t0;
    SetStatusObserver(nullptr);
    const std::size_t exchanges = sim.requestLog().size();
    ASSERT_GE(exchanges, 3u * 68);
    EXPECT_LE(statusWrites, 2 * (elapsed * 60 + 2) + 4) << exchanges << " exchanges in " << elapsed << " s";
    EXPECT_EQ(StatusLine(), "Rawdata (trigger data) received. Trigger rearmed.");
    int progress = -1;
    GetCtrlVal(panelMAIN, MAIN_PROGRESS, &progress);
    EXPECT_EQ(progress, 100);
}

// Switching expert mode on and off during RUN leaves SEND and GET dimmed
// until the loop ends: parameters cannot be sent into a running loop.
TEST_F(SamplingTest, TheExpertToggleDuringRunKeepsSendAndGetDimmed) {
    int sendDuring = -1, getDuring = -1;
    onTick = [&] {
        if (sim.requestLog().size() >= 10 && stop_flag == 0 && sendDuring < 0) {
            OperateCtrl(panelMAIN, TOG_EXPERT); // on
            OperateCtrl(panelMAIN, TOG_EXPERT); // off
            sendDuring = Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED);
            getDuring = Attr(panelMAIN, MAIN_BTN_GET, ATTR_DIMMED);
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_EQ(sendDuring, 1);
    EXPECT_EQ(getDuring, 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 0) << "the loop's end gives them back";
}

TEST_F(SamplingTest, WithTheExpertHideBoxOnLoopsEndWithSendGetDimmed) {
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_SENDGET, 1);
    OperateCtrl(panelEXPERT, EXPERT_HIDE_SENDGET, 1);
    EXPECT_EQ(send_get_status, 0);
    stopAfter(1);
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_EQ(Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);
    OperateCtrl(panelEXPERT, EXPERT_HIDE_SENDGET, 0);
    EXPECT_EQ(send_get_status, 1);
}

// Expert mode sets send_get_status to 0 and leaves the send/get group as it
// found it; the end of DATA switches the group by send_get_status.
TEST_F(SamplingTest, InExpertModeDataEndsWithSendGetDimmedAsSendGetStatusSays) {
    int on = 0;
    GetCtrlVal(panelMAIN, TOG_EXPERT, &on);
    if (on) OperateCtrl(panelMAIN, TOG_EXPERT); // off first
    OperateCtrl(panelMAIN, TOG_EXPERT);         // opens the expert panel
    SetCtrlVal(panelEXPERT, EXPERT_PASSWORD, std::string(password));
    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_EXPERT);
    ASSERT_EQ(send_get_status, 0);
    ASSERT_EQ(Attr(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED), 0);
    stopAfter(3);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    for (int id : {MAIN_RADIO_RAM, MAIN_RADIO_EEPROM, MAIN_RADIO_FILE, MAIN_BTN_SEND, MAIN_BTN_GET, MAIN_BTN_COMPARE})
        EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 1) << id;
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_DATA, ATTR_DIMMED), 0);
    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_STANDARD);
}

TEST_F(SamplingTest, ASilentControllerDuringRunEndsWithConnectionLostAndDimmedGroups) {
    onTick = [this] {
        if (sim.requestLog().size() >= 6) {
            sim::Faults f;
            f.dropAll = true;
            sim.setFaults(f);
            onTick = nullptr;
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_EQ(StatusLine(), "Error! Connection lost.");
    EXPECT_EQ(stop_flag, 1);
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_DATA, MAIN_CMD_TRIGGER, MAIN_BTN_SEND})
        EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 1) << id;
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
}

TEST_F(SamplingTest, FaultyRepliesAreRetriedAndRunAndDataGoOn) {
    for (int loop : {MAIN_CMD_RUN, MAIN_CMD_DATA}) {
        sim::Faults f;
        f.dropNext = 2;       // two lost replies: retried after 0.5 s each
        f.strayBytes = 3;     // junk in front of every reply
        f.split = {10, 26};   // every reply in two pieces
        f.delayMs = 5;
        sim.setFaults(f);
        sim.clearRequestLog();
        stopAfter(30);
        int ticks = 0;
        QTimer alive;
        QObject::connect(&alive, &QTimer::timeout, [&] { ++ticks; });
        alive.start(50);
        const double t0 = Timer();
        OperateCtrl(panelMAIN, loop);
        const double took = Timer() - t0;
        EXPECT_GE(frames().size(), 30u) << loop;
        EXPECT_NE(StatusLine(), "Error! Connection lost.") << loop;
        EXPECT_NE(StatusLine(), "Error! Sensor echo incorrect.") << loop;
        EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0) << "back to idle, link kept";
        EXPECT_GE(ticks, static_cast<int>(took / 0.05) / 2) << "the program stayed responsive";
    }
}

TEST_F(SamplingTest, OneShotCommandsSendTheirCommandAndEndInOk) {
    const struct {
        int control, command;
        const char *text;
    } cases[] = {
        {MAIN_CMD_TRIGGER, 14, "Aquiring normalisation base ... OK."},
        {MAIN_CMD_RESET, 13, "Reseting data ... OK."},
        {MAIN_CMD_STOP_SAMPLING, 10, "Stop sampling ... OK."},
        {MAIN_CMD_RESTART_SAMPLING, 11, "Restart sampling ... OK."},
    };
    for (const auto &c : cases) {
        sim.clearRequestLog();
        OperateCtrl(panelMAIN, c.control);
        const auto log = frames();
        ASSERT_EQ(log.size(), 1u) << c.text;
        EXPECT_EQ(command(log[0]), c.command);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(word(log[0], i), 0);
        EXPECT_EQ(StatusLine(), c.text);
        if (c.command == 10) {
            EXPECT_FALSE(sim.sampling());
        }
        if (c.command == 11) {
            EXPECT_TRUE(sim.sampling());
        }
    }
}

TEST_F(SamplingTest, TeachRereadsTheRecordFromRamAndShowsIt) {
    sim::ParamRecord rec = sim.ramRecord();
    rec[PW_CHA_POWER] = 432;
    sim.setRamRecord(rec);
    OperateCtrl(panelMAIN, MAIN_RADIO_EEPROM);
    OperateCtrl(panelMAIN, MAIN_CMD_TEACH);
    const auto log = frames();
    ASSERT_EQ(log.size(), 14u);
    EXPECT_EQ(command(log[0]), 6);
    EXPECT_EQ(command(log[1]), 2) << "RAM, whatever the memory selector says";
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(param[PW_CHA_POWER], 432);
    EXPECT_EQ(StatusLine(), "Parameter set successfully loaded from RAM");
    OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
}

TEST_F(SamplingTest, AnUnacknowledgedTeachReportsAnEchoErrorAndReadsNothing) {
    sim::Faults f;
    f.wrongAck = true;
    sim.setFaults(f);
    OperateCtrl(panelMAIN, MAIN_CMD_TEACH);
    EXPECT_EQ(frames().size(), 1u);
    EXPECT_EQ(StatusLine(), "Error! Sensor echo incorrect.");
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0) << "nothing else changes";
}

TEST_F(SamplingTest, ALostOneShotDimsEveryGroup) {
    sim::Faults f;
    f.dropAll = true;
    sim.setFaults(f);
    OperateCtrl(panelMAIN, MAIN_CMD_RESET);
    EXPECT_EQ(StatusLine(), "Error! Connection lost.");
    EXPECT_EQ(stop_flag, 1);
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_RESET, MAIN_BTN_GET}) EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 1);
}

TEST_F(SamplingTest, GroupsFollowSetMainButtonsAndMinusTwoLeavesColours) {
    SetCtrlAttribute(panelMAIN, MAIN_CMD_RUN, ATTR_CMD_BUTTON_COLOR, 0xFF0000);
    set_main_buttons(-2, 0, 0);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_CMD_BUTTON_COLOR), 0xFF0000);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_VERSION, ATTR_DIMMED), 1);
    set_main_buttons(-1, 1, 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_STOP, ATTR_VISIBLE), 0);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
}

} // namespace
