// The automatic run against the simulator: rows, closing lines, pause and
// stop, the panels during and after a run, and runs that end on a failure.
// The file format itself is checked in test_recfile.cpp.
#include "tests/recorder/recorder_fixture.h"

#include "link/reconnect.h"
#include "maint/access.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/test_ids.h"

#include <csignal>
#include <optional>
#include <sys/resource.h>

namespace {

class AutoRunTest : public RecorderTest {
  protected:
    std::string file;
    void SetUp() override {
        RecorderTest::SetUp();
        setType(REC_TYPE_AUTOMATIC);
        file = path("auto.csv");
        chooseFile(file);
    }
    // The rows of the table (lines after the column header that start with
    // a digit), each with its fields.
    static std::vector<std::vector<std::string>> rows(const RecordText &t, int from = 0) {
        std::vector<std::vector<std::string>> out;
        const int columns = t.find(kColumnLine, from);
        for (int i = columns + 1; i >= 1 && i < static_cast<int>(t.lines.size()); ++i) {
            const std::string &l = t.lines[std::size_t(i)];
            if (l.empty() || !std::isdigit(static_cast<unsigned char>(l[0]))) break;
            out.push_back(RecordText::fields(l));
        }
        return out;
    }
    // An automatic run of 100 rows whose replies turn to garbage once the
    // given number of rows is recorded.
    void runUntilGarbledAfter(int rowsBefore) {
        onTick = [this, rowsBefore] {
            if (recwerte >= rowsBefore && sim.faults() == sim::Faults{}) {
                sim::Faults f;
                f.garbage = true;
                sim.setFaults(f);
            }
        };
        runAutomatic(100);
    }
};

TEST_F(AutoRunTest, NRowsAtIntervalZeroGiveIndexZeroToNMinusOneAndTheSuccessLine) {
    int ledSeen = 0, mainLedSeen = 0, lockedSeen = 0;
    onTick = [&] {
        if (recorder_stop_flag != 0) return;
        ledSeen |= shown(panelRECORDER, RECORDER_STORE_LED);
        mainLedSeen |= shown(panelMAIN, MAIN_LED_RECORD);
        lockedSeen = Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED) + Attr(panelRECORDER, RECORDER_START, ATTR_DIMMED) +
                     Attr(panelRECORDER, RECORDER_FILE_SELECT, ATTR_DIMMED) + Attr(panelRECORDER, RECORDER_TYPE, ATTR_DIMMED);
    };
    runAutomatic(5);
    const RecordText t(ReadWholeFile(file));
    EXPECT_FALSE(t.bareLineEnd);
    EXPECT_NE(t.find("Recording type:,Automatic"), -1);
    EXPECT_NE(t.find("Number of data sets:,5"), -1);
    EXPECT_NE(t.find("Recording interval in sec:,0.000000"), -1);
    const auto table = rows(t);
    ASSERT_EQ(table.size(), 5u);
    const sim::RawData live = sim.rawData(); // the simulator's clock stands still
    for (int i = 0; i < 5; ++i) {
        const auto &r = table[std::size_t(i)];
        ASSERT_EQ(r.size(), 13u) << "12 fields, each followed by a comma";
        EXPECT_EQ(r[0], std::to_string(i));
        EXPECT_TRUE(IsTime(r[1]));
        EXPECT_EQ(r[2], std::to_string(int16_t(live[18])));
        EXPECT_EQ(r[3], std::to_string(int16_t(live[1])));
        EXPECT_EQ(r[12], "");
    }
    const std::string &last = t.lines.back();
    ASSERT_EQ(last.rfind("Recording successfully finished at ", 0), 0u) << last;
    EXPECT_TRUE(IsTime(last.substr(35, 8)));
    EXPECT_EQ(last.substr(43), ".");
    // Two live-values requests a pass, one row a pass.
    EXPECT_EQ(frames().size(), 10u);

    EXPECT_EQ(ledSeen, 1);
    EXPECT_EQ(mainLedSeen, 1);
    EXPECT_EQ(lockedSeen, 4);
    EXPECT_EQ(shown(panelRECORDER, RECORDER_PROGRESS), 5);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_PROGRESS, ATTR_MAX_VALUE), 5);
    EXPECT_EQ(shown(panelRECORDER, RECORDER_REMAINING), 0);
    EXPECT_EQ(shown(panelRECORDER, RECORDER_RECORDED), 5);
    EXPECT_EQ(text(panelRECORDER, RECORDER_REMAINING_TIME), "0 Days, 0 Hours, 0 Minutes, 0 Seconds");
    const std::string status = StatusLine(); // ends as the file does
    EXPECT_EQ(status.rfind("Recording successfully finished at ", 0), 0u) << status;
    EXPECT_EQ(status.size(), last.size()) << status;
    // Back to idle.
    EXPECT_EQ(recorder_stop_flag, 1);
    EXPECT_EQ(shown(panelRECORDER, RECORDER_STORE_LED), 0);
    EXPECT_EQ(shown(panelMAIN, MAIN_LED_RECORD), 0);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_START, ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    for (int id : {RECORDER_START, RECORDER_FILE_SELECT, RECORDER_TYPE, RECORDER_NUM_SETS})
        EXPECT_EQ(Attr(panelRECORDER, id, ATTR_DIMMED), 0) << id;
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_PROGRESS, ATTR_VISIBLE), 0);
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_TEACH, MAIN_BTN_SEND}) EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 0) << id;
    EXPECT_EQ(Attr(panelMAIN, MAIN_STRIPCHART, ATTR_VISIBLE), 1);
}

TEST_F(AutoRunTest, ASecondRunFollowsTheFirstClosingLineWithoutANewHeader) {
    runAutomatic(2);
    runAutomatic(3);
    const RecordText t(ReadWholeFile(file));
    EXPECT_EQ(t.find("Logfile for recorded data.", 1), -1);
    const int firstEnd = static_cast<int>(std::find_if(t.lines.begin(), t.lines.end(), [](const std::string &l) {
                                              return l.rfind("Recording successfully finished at ", 0) == 0;
                                          }) - t.lines.begin());
    ASSERT_LT(firstEnd, static_cast<int>(t.lines.size()) - 1);
    EXPECT_EQ(t.lines[std::size_t(firstEnd - 1)].substr(0, 2), "1,");
    std::vector<std::string> second;
    for (std::size_t i = std::size_t(firstEnd) + 1; i + 1 < t.lines.size(); ++i)
        second.push_back(RecordText::fields(t.lines[i])[0]);
    EXPECT_EQ(second, (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(t.lines.back().rfind("Recording successfully finished at ", 0), 0u);
}

// While the run records, SEND FILTER is refused. A paused run lets STOP
// SAMPLING go out; CONTINUE then refuses, stays paused and keeps its text
// readable against the loop's "Recording paused." until RESTART SAMPLING
// has the controller sampling again.
TEST_F(AutoRunTest, APausedRunStopsSamplingOnRequestAndContinuesOnlyOnceSamplingRunsAgain) {
    DisplayPanel(panelFILTER);
    constexpr char kRestartFirst[] = "Cannot continue: sampling is stopped. Please press RESTART SAMPLING first.";
    std::string refusedRecording, refusedContinue, continueOneSecondLater;
    int rowsAtPause = -1, rowsWhileStopped = -1, stopFrames = 0, labelKept = 0;
    double refusedAt = 0.0;
    enum { Recording, Paused, Refused, Continued } step = Recording;
    onTick = [&] {
        if (recorder_stop_flag != 0) return;
        if (step == Recording && recwerte >= 1) {
            OperateCtrl(panelFILTER, FILTER_CMD_SEND);
            refusedRecording = StatusLine();
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            rowsAtPause = recwerte;
            step = Paused;
        } else if (step == Paused) {
            OperateCtrl(panelMAIN, MAIN_CMD_STOP_SAMPLING);
            for (const Request &r : frames()) stopFrames += command(r) == 10;
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            refusedContinue = StatusLine();
            refusedAt = Timer();
            step = Refused;
        } else if (step == Refused && Timer() - refusedAt >= 1.0) {
            continueOneSecondLater = StatusLine();
            labelKept = recstate == 0 && label(panelRECORDER, RECORDER_BREAK) == "CONTINUE RECORDING";
            rowsWhileStopped = recwerte;
            OperateCtrl(panelMAIN, MAIN_CMD_RESTART_SAMPLING);
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            step = Continued;
        }
    };
    runAutomatic(4);
    HidePanel(panelFILTER);
    ASSERT_EQ(step, Continued);
    EXPECT_EQ(refusedRecording, "Busy! Please stop the recording first.");
    EXPECT_EQ(stopFrames, 1) << "STOP SAMPLING went out during the pause";
    EXPECT_EQ(refusedContinue, kRestartFirst);
    EXPECT_EQ(continueOneSecondLater, kRestartFirst);
    EXPECT_TRUE(labelKept) << "a refused CONTINUE leaves the run paused";
    EXPECT_EQ(rowsWhileStopped, rowsAtPause) << "nothing stored while sampling was stopped";
    for (const Request &r : frames()) {
        EXPECT_NE(command(r), 180) << "SEND FILTER went out while recording";
        EXPECT_NE(command(r), 182);
    }
    EXPECT_TRUE(sim.sampling());
    EXPECT_EQ(StatusLine().rfind("Recording successfully finished at ", 0), 0u) << StatusLine();
}

// Test mode and the filter write during a pause: CONTINUE names EXIT TEST
// while test mode is on; EXIT TEST leaves RUN dimmed while the run is
// paused; after SEND FILTER, CONTINUE waits for RESTART SAMPLING again.
TEST_F(AutoRunTest, TestModeAndTheFilterWriteDuringAPauseHoldContinueUntilSamplingRunsAgain) {
    DisplayPanel(panelFILTER);
    std::string inTestMode, afterFilter;
    int runDimmedAfterExit = -1, filterWrites = 0, continuedAfterRestart = 0;
    enum { Recording, Paused, Tested, Filtered, Continued } step = Recording;
    onTick = [&] {
        if (recorder_stop_flag != 0) return;
        if (step == Recording && recwerte >= 1) {
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            step = Paused;
        } else if (step == Paused) {
            OperateCtrl(panelTEST, TEST_CMD_ENTER);
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            inTestMode = StatusLine();
            OperateCtrl(panelTEST, TEST_CMD_EXIT);
            runDimmedAfterExit = Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED);
            step = Tested;
        } else if (step == Tested) {
            OperateCtrl(panelFILTER, FILTER_CMD_SEND);
            for (const Request &r : frames()) filterWrites += command(r) == 182;
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            afterFilter = StatusLine();
            OperateCtrl(panelMAIN, MAIN_CMD_RESTART_SAMPLING);
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            continuedAfterRestart = recstate;
            step = Continued;
        }
    };
    runAutomatic(3);
    HidePanel(panelFILTER);
    ASSERT_EQ(step, Continued);
    EXPECT_EQ(inTestMode, "Cannot continue: test mode is on. Please press EXIT TEST first.");
    EXPECT_EQ(runDimmedAfterExit, 1) << "RUN stays dimmed while the run is paused";
    EXPECT_EQ(filterWrites, 19) << "SEND FILTER wrote the whole filter memory during the pause";
    EXPECT_EQ(afterFilter, "Cannot continue: sampling is stopped. Please press RESTART SAMPLING first.");
    EXPECT_EQ(continuedAfterRestart, 1) << "CONTINUE after RESTART SAMPLING";
    EXPECT_TRUE(sim.sampling());
    EXPECT_EQ(StatusLine().rfind("Recording successfully finished at ", 0), 0u) << StatusLine();
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);
}

TEST_F(AutoRunTest, StopWhilePausedResetsTheLabelAndEndsTheFileAsInterrupted) {
    std::string labelWhilePaused, statusWhilePaused;
    std::size_t framesAtPause = 0;
    int rowsAtPause = -1;
    onTick = [&] {
        if (recorder_stop_flag != 0) return;
        if (recstate == 1 && recwerte >= 2 && rowsAtPause < 0) {
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            rowsAtPause = recwerte;
            framesAtPause = frames().size();
            labelWhilePaused = label(panelRECORDER, RECORDER_BREAK);
        } else if (recstate == 0 && frames().size() >= framesAtPause + 6) {
            statusWhilePaused = StatusLine();
            OperateCtrl(panelRECORDER, RECORDER_STOP);
        }
    };
    runAutomatic(50);
    EXPECT_EQ(labelWhilePaused, "CONTINUE RECORDING");
    EXPECT_EQ(statusWhilePaused, "Recording paused.");
    EXPECT_EQ(label(panelRECORDER, RECORDER_BREAK), "BREAK RECORDING");
    EXPECT_EQ(recstate, 1);
    const RecordText t(ReadWholeFile(file));
    EXPECT_EQ(static_cast<int>(rows(t).size()), rowsAtPause) << "the paused passes exchanged but stored nothing";
    ASSERT_GE(t.lines.size(), 2u);
    EXPECT_EQ(t.lines[t.lines.size() - 2], "Error while recording data.");
    EXPECT_EQ(t.lines.back(), "Recording interrupted prior to completion.");
    EXPECT_EQ(StatusLine(), "Recording interrupted prior to completion.");
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);

    // STOP once the run is over writes nothing more.
    const std::string after = ReadWholeFile(file);
    OperateCtrl(panelRECORDER, RECORDER_STOP);
    EXPECT_EQ(ReadWholeFile(file), after);
}

TEST_F(AutoRunTest, ContinueStoresAtOnceAndTheMainPanelFollowsPauseAndContinue) {
    int dimmedPaused = -1, dimmedContinued = -1;
    bool paused = false, continued = false;
    onTick = [&] {
        if (recorder_stop_flag != 0) return;
        if (!paused && recwerte >= 1) {
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            paused = true;
            dimmedPaused = Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED) * 10 + Attr(panelMAIN, MAIN_CMD_TEACH, ATTR_DIMMED);
        } else if (paused && !continued) {
            OperateCtrl(panelRECORDER, RECORDER_BREAK);
            continued = true;
            dimmedContinued = Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED) * 10 + Attr(panelMAIN, MAIN_CMD_TEACH, ATTR_DIMMED);
        }
    };
    runAutomatic(3);
    EXPECT_EQ(dimmedPaused, 10) << "paused: RUN/STOP/DATA dimmed, sensor commands usable";
    EXPECT_EQ(dimmedContinued, 11);
    const RecordText t(ReadWholeFile(file));
    EXPECT_EQ(rows(t).size(), 3u);
    EXPECT_EQ(t.lines.back().rfind("Recording successfully finished at ", 0), 0u);
}

TEST_F(AutoRunTest, TheRemainingTimeCountsTheRealInterval) {
    std::string atStart;
    onTick = [&] {
        if (recorder_stop_flag == 0 && atStart.empty()) {
            atStart = text(panelRECORDER, RECORDER_REMAINING_TIME);
            OperateCtrl(panelRECORDER, RECORDER_STOP);
        }
    };
    runAutomatic(24, 3725.9); // 24 x 3725.9 s = 89421.6 s: 1 day, 50 minutes and 22 seconds
    EXPECT_EQ(atStart, "1 Days, 0 Hours, 50 Minutes, 22 Seconds");
    EXPECT_EQ(shown(panelRECORDER, RECORDER_REMAINING), 24);
    const RecordText t(ReadWholeFile(file));
    EXPECT_NE(t.find("Recording interval in sec:,3725.900000"), -1);
    EXPECT_EQ(rows(t).size(), 0u) << "the interval had not passed";
    EXPECT_EQ(t.lines.back(), "Recording interrupted prior to completion.");

    // Below a second per row: 5 rows at 0.5 s are 2.5 s, shown as 3 s, and
    // 2 s once a row is stored; whole seconds of the interval would say 0.
    std::string afterOneRow;
    atStart.clear();
    onTick = [&] {
        if (recorder_stop_flag != 0) return;
        if (atStart.empty()) atStart = text(panelRECORDER, RECORDER_REMAINING_TIME);
        if (afterOneRow.empty() && shown(panelRECORDER, RECORDER_REMAINING) == 4) {
            afterOneRow = text(panelRECORDER, RECORDER_REMAINING_TIME);
            OperateCtrl(panelRECORDER, RECORDER_STOP);
        }
    };
    runAutomatic(5, 0.5);
    EXPECT_EQ(atStart, "0 Days, 0 Hours, 0 Minutes, 3 Seconds");
    EXPECT_EQ(afterOneRow, "0 Days, 0 Hours, 0 Minutes, 2 Seconds");
}

TEST_F(AutoRunTest, StartWithoutAFileReportsTwiceAndRestoresThePanels) {
    chooseFile(""); // cancelled: no file
    popups->shown.clear();
    set_recorder_attributes(1, -1, -1, 1, 1); // as STOP leaves an automatic recorder with the link open
    runAutomatic(5);
    std::vector<std::string> texts;
    for (const auto &s : popups->shown) texts.push_back(s.title + "|" + s.text);
    const std::vector<std::string> expected = {"ERROR!|Specified file could not be found!",
                                               "ATTENTION!|No file selected!\nRecording can not be started."};
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(frames().empty());
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_START, ATTR_DIMMED), 0);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_START, ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);
}

TEST_F(AutoRunTest, AGarbledReplyEndsTheRunWithItsRowsAndNoClosingLine) {
    runUntilGarbledAfter(3);
    EXPECT_EQ(popups->lastMessage("ERROR!"), "Error! Sensor echo incorrect.");
    EXPECT_EQ(StatusLine(), "Error! Sensor echo incorrect.");
    const RecordText t(ReadWholeFile(file));
    const auto table = rows(t);
    ASSERT_GE(table.size(), 3u);
    EXPECT_EQ(table.back()[0], std::to_string(table.size() - 1));
    EXPECT_EQ(t.lines.back().substr(0, table.back()[0].size() + 1), table.back()[0] + ",") << "ends on a row";
    EXPECT_EQ(recorder_stop_flag, 1);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_START, ATTR_DIMMED), 0);
}

// With the link retried on its own, nobody need be at the screen: the
// message that ends the run waits for no answer.
TEST_F(AutoRunTest, WithReconnectOnALostLinkEndsTheRunWithAMessageThatWaitsForNobody) {
    reconnectAutomatically = 1;
    runUntilGarbledAfter(2);
    StopReconnect();
    reconnectAutomatically = 0;
    ASSERT_FALSE(popups->shown.empty());
    EXPECT_EQ(popups->shown.back().kind, "note");
    EXPECT_EQ(popups->shown.back().text, "Error! Sensor echo incorrect.");
    EXPECT_GE(rows(RecordText(ReadWholeFile(file))).size(), 2u);
}

// Entering expert mode sets send_get_status to 0 while the group it found
// stays usable; the end of an automatic recording, and of RUN, switch the
// group by send_get_status as in standard mode, so it is dimmed afterwards
// and stays so after a following RUN.
TEST_F(AutoRunTest, InExpertModeTheParameterGroupFollowsSendGetStatusAfterARecordingAndAfterRun) {
    int on = 0;
    GetCtrlVal(panelMAIN, MAIN_TOG_EXPERT, &on);
    if (on) OperateCtrl(panelMAIN, MAIN_TOG_EXPERT); // off first
    OperateCtrl(panelMAIN, MAIN_TOG_EXPERT);
    SetCtrlVal(panelEXPERT, EXPERT_PASSWORD, std::string(password));
    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_EXPERT);
    const std::vector<int> group = {MAIN_RADIO_RAM, MAIN_RADIO_EEPROM, MAIN_RADIO_FILE,
                                    MAIN_BTN_SEND,  MAIN_BTN_GET,      MAIN_BTN_COMPARE};
    for (int id : group) ASSERT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 0) << id;

    ASSERT_EQ(send_get_status, 0);
    runAutomatic(3);
    EXPECT_EQ(recwerte, 3);
    for (int id : group) EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 1) << "after the recording: " << id;
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);

    stopAfter(10);
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    for (int id : group) EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 1) << "after RUN: " << id;
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0);

    OperateCtrl(panelEXPERT, EXPERT_CMD_ENTER_STANDARD);
}

// A full disk part-way through a run: reported, the run ends, and the file
// holds every row written before, the last one whole.
TEST_F(AutoRunTest, ADiskThatFillsUpEndsTheRunWithEveryEarlierRowIntact) {
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    bool limited = false;
    onTick = [&] {
        if (!limited && recwerte >= 2) {
            rlimit l = old;
            l.rlim_cur = static_cast<rlim_t>(ReadWholeFile(file).size() + 150); // two and a half rows
            setrlimit(RLIMIT_FSIZE, &l);
            limited = true;
        }
    };
    runAutomatic(100);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(StatusLine(), "Error! Record file not written: Dsik is full! Recording stopped.");
    EXPECT_EQ(recorder_stop_flag, 1);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_START, ATTR_DIMMED), 0);
    const RecordText t(ReadWholeFile(file));
    const auto table = rows(t);
    ASSERT_GE(table.size(), 4u);
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].size(), 13u) << "row " << i << " is whole";
        EXPECT_EQ(table[i][0], std::to_string(i));
    }
    EXPECT_EQ(RecordText::fields(t.lines.back()).size(), 13u) << "the file ends on a whole row";
    EXPECT_EQ(shown(panelRECORDER, RECORDER_RECORDED), static_cast<int>(table.size()));
}

} // namespace
