// The automatic run: its own live-values loop, one row per interval, pause
// and continue, stop, and the panels put back when it ends.
#include "recorder/recorder.h"

#include "core/groups.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/reconnect.h"
#include "link/transport.h"
#include "measure/data.h"
#include "measure/sampling.h"
#include "recorder/recfile.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/recorder_ids.h"

#include <string>

namespace {

constexpr double kPassWait = 0.1;    // seconds at the start of every pass
constexpr double kStoreLit = 0.5;    // seconds the store indicators stay lit
constexpr int kMaxDots = 10;

// The run's hold on the link while it loops; pause and continue change what
// it lets through.
OperationHold *g_runHold = nullptr;

void runProgress(int p) {
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR, VAL_DK_RED);
    SetCtrlVal(panelMAIN, MAIN_PROGRESS, p);
}

void setPauseLabel(const char *text) { SetCtrlAttribute(panelRECORDER, RECORDER_BREAK, ATTR_LABEL_TEXT, text); }

// The rest of the program cannot start an exchange while the run loops.
void lockForRun() {
    set_main_buttons(0, 0, 0);
    set_test_panel_controls(0, 0);
    set_recorder_attributes(0, -1, 1, 1, -1);
    SetCtrlAttribute(panelRECORDER, RECORDER_START, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelRECORDER, RECORDER_START, ATTR_CMD_BUTTON_COLOR, VAL_RED);
    SetCtrlAttribute(panelRECORDER, RECORDER_FILE_SELECT, ATTR_DIMMED, 1);
}

// The panels as they were before the run, however it ended. A run that
// ended while paused leaves the pause command ready for the next run.
void restoreAfterRun() {
    SetCtrlAttribute(panelRECORDER, RECORDER_START, ATTR_CMD_BUTTON_COLOR, VAL_OFFWHITE);
    SetCtrlAttribute(panelRECORDER, RECORDER_FILE_SELECT, ATTR_DIMMED, 0);
    ShowRowStored(0);
    recstate = 1;
    setPauseLabel("BREAK RECORDING");
    set_recorder_attributes(1, -1, -1, 1, 1);
    // Test mode entered during a pause keeps the main commands dimmed.
    if (OperationRunning(Operation::TestMode)) set_main_buttons(0, 0, 0);
    else set_main_buttons(1, 1, send_get_status);
    set_test_panel_controls(1, -2);
    rx_flag = 0;
}

// What one stored row changes on the panels; dots counts the status line's
// dots, 1 to 10 and then none again.
void showRowProgress(int storedThisRun, int &dots) {
    ShowRowStored(1);
    SetCtrlVal(panelRECORDER, RECORDER_PROGRESS, storedThisRun);
    SetCtrlVal(panelRECORDER, RECORDER_REMAINING, restwerte);
    SetCtrlVal(panelRECORDER, RECORDER_RECORDED, recwerte);
    ShowRemainingTime();
    if (++dots > kMaxDots) dots = 0;
    ShowLoopStatus(("Recording data " + std::string(static_cast<std::size_t>(dots), '.')).c_str());
    runProgress(100);
}

// How a run ended, for the report after the loop.
struct RunEnd {
    int link = MEAS_OK;         // a failed live-values request
    int file = 0;               // a row that could not be stored
    bool stopRequested = false; // the operator (or shutdown) had asked the run to end before it failed
};

RunEnd runLoop() {
    RunEnd end;
    int storedThisRun = 0, dots = 0;
    bool lit = false;
    double lastStore = Timer();
    for (;;) {
        runProgress(0);
        const double begin = Timer();
        for (double left = kPassWait; left > 0.0; left = kPassWait - (Timer() - begin)) WaitForSystemEvents(left);

        if ((end.link = RequestRawdata(RAW_PART1)) != MEAS_OK) break;
        runProgress(67);
        ProcessSystemEvents();
        if ((end.link = RequestRawdata(RAW_PART2)) != MEAS_OK) break;

        if (recorder_stop_flag == 0) {
            UpdateLiveDisplay();
            const double sinceStore = Timer() - lastStore;
            if (sinceStore > kStoreLit && lit) {
                ShowRowStored(0);
                lit = false;
            }
            if (sinceStore > zeitint && recstate == 1) {
                if ((end.file = StoreRecorderDATA()) != 0) break;
                lastStore = Timer();
                lit = true;
                ++storedThisRun;
                --restwerte;
                ++recwerte;
                showRowProgress(storedThisRun, dots);
                if (restwerte == 0 && recwerte == anzwerte) {
                    recorder_stop_flag = 1;
                    WriteCloserToFile(0);
                    break;
                }
            }
            if (recstate == 0) ShowLoopStatus("Recording paused.");
        }
        ProcessSystemEvents();
        if (recorder_stop_flag != 0) break;
    }
    end.stopRequested = recorder_stop_flag != 0;
    recorder_stop_flag = 1;
    return end;
}

} // namespace

Outcome StartRecording() {
    if (recorder_stop_flag == 0) return Outcome::Refused("a recording runs already");
    if (const char *busy = RefusalReason(Command::StartRecording); *busy) {
        ShowRefusal(busy);
        return Outcome::Refused(busy);
    }
    OperationHold hold(Operation::Recording);
    lockForRun();
    GetCtrlVal(panelRECORDER, RECORDER_INTERVAL, &zeitint);
    GetCtrlVal(panelRECORDER, RECORDER_NUM_SETS, &anzwerte);
    ShowRunLayout();

    const int header = WriteHeaderIfPending();
    constexpr char kNoFile[] = "No file selected!\nRecording can not be started.";
    if (file_handle < 0) MessagePopup("ATTENTION!", kNoFile);
    if (header != 0 || file_handle < 0) {
        if (file_handle >= 0) AppendStatus(" Recording not started.");
        restoreAfterRun();
        return file_handle < 0 ? Outcome::Rejected(kNoFile) : RecordFileOutcome(header);
    }

    recwerte = 0;
    restwerte = anzwerte;
    ShowRemainingTime();
    SetCtrlAttribute(panelRECORDER, RECORDER_PROGRESS, ATTR_MAX_VALUE, anzwerte);
    SetCtrlVal(panelRECORDER, RECORDER_PROGRESS, 0);
    SetCtrlAttribute(panelRECORDER, RECORDER_PROGRESS, ATTR_VISIBLE, 1);
    SetCtrlVal(panelRECORDER, RECORDER_REMAINING, restwerte);
    SetCtrlVal(panelRECORDER, RECORDER_RECORDED, recwerte);
    ShowRowStored(0);
    recorder_stop_flag = 0;
    recstate = 1;

    g_runHold = &hold;
    const RunEnd end = runLoop();
    g_runHold = nullptr;

    restoreAfterRun();
    if (end.link != MEAS_OK) {
        // The file keeps its rows; without a closing line it shows the run
        // did not finish.
        SetStatus(MeasureErrorText(end.link));
        // With the link retried on its own nobody need be at the screen:
        // the message then waits for no answer.
        if (!end.stopRequested) {
            if (reconnectAutomatically) NotePopup("ERROR!", MeasureErrorText(end.link));
            else MessagePopup("ERROR!", MeasureErrorText(end.link));
        }
        // A link that stopped answering stays unusable until the next connect.
        if (end.link == MEAS_LOST) set_main_buttons(0, 0, 0);
        return Outcome::Failed(MeasureErrorText(end.link));
    }
    if (end.file != 0) {
        SetStatusF("Error! Record file not written: %s Recording stopped.", FileErrorText(end.file));
        return RecordFileOutcome(end.file);
    }
    if (restwerte == 0 && recwerte == anzwerte) {
        // The status line says how the run ended, as the file's last line does.
        const std::string finished = "Recording successfully finished at " + std::string(TimeStr()) + ".";
        SetStatus(finished.c_str());
        return Outcome::Done(finished);
    }
    constexpr char kInterrupted[] = "Recording interrupted prior to completion.";
    SetStatus(kInterrupted);
    return Outcome::Cancelled(kInterrupted);
}

int CC_CMD_START_REC(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) StartRecording();
    return 0;
}

void StopRecording() {
    if (recstate == 0) {
        setPauseLabel("BREAK RECORDING");
        recstate = 1;
    }
    // Only a run in progress gets closing lines: a file whose run has ended
    // keeps the ending it has.
    if (recorder_stop_flag != 0) return;
    if (!(restwerte == 0 || recwerte == anzwerte)) WriteCloserToFile(-1);
    recorder_stop_flag = 1;
}

int CC_CMD_STOP_REC(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT && !CommandRefused(Command::RecorderControl)) StopRecording();
    return 0;
}

int CC_CMD_BREAK_RECORDING(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || recorder_stop_flag != 0 || CommandRefused(Command::RecorderControl)) return 0;
    if (recstate == 1) {
        setPauseLabel("CONTINUE RECORDING");
        recstate = 0;
        if (g_runHold) g_runHold->become(Operation::RecordingPaused);
        set_main_buttons(0, 1, send_get_status);
        set_test_panel_controls(1, -2);
    } else {
        // Continuing with sampling stopped (STOP SAMPLING, SEND FILTER, test
        // mode) would record frozen values: the run stays paused and the
        // status line says what to press first.
        if (CommandRefused(Command::ContinueRecording)) return 0;
        setPauseLabel("BREAK RECORDING");
        recstate = 1;
        if (g_runHold) g_runHold->become(Operation::Recording);
        set_main_buttons(0, 0, 0);
        set_test_panel_controls(0, 0);
    }
    ShowRunLayout();
    return 0;
}
