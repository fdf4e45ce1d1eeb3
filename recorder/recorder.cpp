#include "recorder/recorder.h"

#include "core/groups.h"
#include "core/panels.h"
#include "core/program.h"
#include "link/transport.h"
#include "recorder/capture.h"
#include "recorder/recfile.h"
#include "recorder/report.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/recorder_ids.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

int recstate = 1;
int recorder_stop_flag = 1;
int restwerte = 0;
char szRecorder[128];

namespace {

bool linkOpen() { return rs232con > 0 || tcpcon > 0; }

// No record file: nothing is written until the operator chooses one. The
// path of a cancelled or declined choice is never kept, so no routine
// writes to a file the operator turned down.
void forgetFile() {
    recorder_status = 0;
    headerwritten = 0;
    file_name[0] = '\0';
    ResetTextBox(panelRECORDER, RECORDER_FILE_NAME, "");
}

// The recorder panel after a file was chosen. While a measuring loop runs
// the commands keep the state the loop gave them.
void showFileChosen() {
    if (!linkOpen()) {
        set_recorder_attributes(0, 0, -1, -1, -1);
        return;
    }
    const int idle = stop_flag == 1 ? GROUP_ENABLED : GROUP_DIMMED;
    switch (GetRecordingType()) {
    case REC_TYPE_MANUAL: set_recorder_attributes(1, stop_flag == 1 ? 1 : GROUP_UNCHANGED, -1, -1, -1); break;
    case REC_TYPE_AUTOMATIC: set_recorder_attributes(1, -1, -1, idle, idle); break;
    default: break;
    }
}

} // namespace

void ShowRowStored(int on) {
    SetCtrlVal(panelRECORDER, RECORDER_STORE_LED, on);
    SetCtrlVal(panelMAIN, MAIN_LED_RECORD, on);
}

void ShowRemainingTime() {
    // The rows left times the real interval, to the nearest second: 5 rows at
    // 0.5 s are 3 s, not the 0 s that whole seconds of the interval would give.
    const long long total = std::llround(static_cast<double>(restwerte) * std::max(zeitint, 0.0));
    std::snprintf(szRecorder, sizeof szRecorder, "%lld Days, %lld Hours, %lld Minutes, %lld Seconds",
                  total / 86400, total / 3600 % 24, total / 60 % 60, total % 60);
    SetCtrlVal(panelRECORDER, RECORDER_REMAINING_TIME, szRecorder);
}

int CC_REC_FILE(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    std::string path;
    const int chosen = FileSelectPopup(proj_dir, "record.csv", "*.csv", "Select Record File Name", VAL_OK_BUTTON,
                                       0, 1, 1, 0, &path);
    if (chosen < 1) {
        MessagePopup("ATTENTION!", "No file was choosen! \nRecording cannot be started! ");
        forgetFile();
        return 0;
    }
    if (chosen == VAL_EXISTING_FILE_SELECTED) {
        if (!ConfirmPopup("ATTENTION!", "File already exist! \nDo you want to select existing file?")) {
            forgetFile();
            return 0;
        }
        MessagePopup("ATTENTION!",
                     "Make sure, that the file is not opened by any other program.\nOtherwise it can not be saved.");
    }
    // A path cut to fit would name another file.
    if (path.size() >= sizeof file_name) {
        MessagePopup("ERROR!", FileErrorText(10));
        forgetFile();
        return 0;
    }
    std::snprintf(file_name, sizeof file_name, "%s", path.c_str());
    ResetTextBox(panel, RECORDER_FILE_NAME, "");
    SetCtrlVal(panel, RECORDER_FILE_NAME, file_name);
    headerwritten = 0;
    recorder_status = 1;
    showFileChosen();
    return 0;
}

int CC_RING_REC_TYPE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (!linkOpen()) {
        set_recorder_attributes(0, 0, -1, -1, -1);
        return 0;
    }
    const int ready = stop_flag == 1 && recorder_status == 1 ? 1 : 0;
    switch (GetRecordingType()) {
    case REC_TYPE_MANUAL:
        set_recorder_attributes(1, ready, -1, -1, -1);
        headerwritten = 0;
        break;
    case REC_TYPE_AUTOMATIC:
        set_recorder_attributes(1, -1, -1, ready, ready);
        headerwritten = 0;
        break;
    default: break;
    }
    return 0;
}

Outcome StoreRow() {
    if (recorder_status != 1) {
        constexpr char kNoFile[] = "Cannot record data. Please check file settings.";
        MessagePopup("ATTENTION!", kNoFile);
        return Outcome::Refused(kNoFile);
    }
    // Only a row that is in the file is counted, so INDEX never skips one.
    const Outcome outcome = RecordFileOutcome(StoreRecorderDATA());
    if (outcome.done()) ++recwerte;
    SetCtrlVal(panelRECORDER, RECORDER_RECORDED, recwerte);
    return outcome;
}

int CC_CMD_REC_CAPTURE(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) StoreRow();
    return 0;
}

void RegisterRecorderCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_REC_FILE", CC_REC_FILE},
        {"CC_RING_REC_TYPE", CC_RING_REC_TYPE},
        {"CC_CMD_REC_CAPTURE", CC_CMD_REC_CAPTURE},
        {"CC_CMD_START_REC", CC_CMD_START_REC},
        {"CC_CMD_STOP_REC", CC_CMD_STOP_REC},
        {"CC_CMD_BREAK_RECORDING", CC_CMD_BREAK_RECORDING},
        {"CC_CMD_CAPTURE_GRAPH", CC_CMD_CAPTURE_GRAPH},
        {"CC_CMD_PRINT", CC_CMD_PRINT},
        {"CC_CMD_REPORT", CC_CMD_REPORT},
    };
    RegisterCallbacks(table);
}

void ResetRecorder() {
    StopRecording();
    recstate = 1;
    recorder_stop_flag = 1;
    restwerte = 0;
    szRecorder[0] = '\0';
    forgetFile();
    file_handle = -1;
    recwerte = 0;
    anzwerte = 0;
    zeitint = 0.0;
}
