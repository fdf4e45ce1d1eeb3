#include "recorder/capture.h"

#include "core/groups.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "measure/data.h"
#include "recorder/recfile.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/recorder_ids.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kBlock = 16;

void captureProgress(int p) {
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR, VAL_DK_GREEN);
    SetCtrlVal(panelMAIN, MAIN_PROGRESS, p);
}

// A lost or garbled exchange: the link is given up and the capture command
// stays dimmed, as after any failed command, until the next connect.
void abandon(int failure) {
    SetStatus(MeasureErrorText(failure));
    stop_flag = 1;
    set_main_buttons(0, 0, 0);
}

// Fetches both curves block by block, channel A then B for each block.
// Returns MEAS_OK with the curves in yArrayA/yArrayB, kNoNewData when the
// controller has no new recording, or the failed exchange's outcome.
int fetchCurves() {
    unsigned short reply[PNUM];
    dataCurveSamples = 0; // the curves about to arrive are no DATA pass's

    for (int i = 0; i < CURVE_SAMPLES; i += kBlock) {
        for (int source = 1; source <= 2; ++source) {
            rx_flag = 0;
            captureProgress(100 * (2 * i + 16 * source - 16) / 1024);
            int command = 0;
            const int r = RequestCurveBlock(source, i, reply, &command);
            if (r != MEAS_OK) return r;
            if (command == kNoNewData) {
                SetStatus("No new trigger event. No data availible.");
                ProcessSystemEvents();
                return kNoNewData;
            }
            SetStatusF("Data from source %i index %i to index %i received.", source, i, i + kBlock);
            std::copy(reply, reply + kBlock, (source == 1 ? yArrayA : yArrayB) + i);
            ProcessSystemEvents();
        }
    }
    return MEAS_OK;
}

} // namespace

namespace {

// A refusal the operator is told about in a message box.
Outcome refusedWithMessage(const char *text) {
    MessagePopup("ATTENTION!", text);
    return Outcome::Refused(text);
}

} // namespace

Outcome CaptureGraph() {
    if (recorder_status != 1) return refusedWithMessage("Cannot record data. Please check file settings.");
    if (const char *busy = RefusalReason(Command::CaptureGraph); *busy) {
        ShowRefusal(busy);
        return Outcome::Refused(busy);
    }
    if (OperationRunning(Operation::Measuring)) {
        stop_flag = 1;
        return refusedWithMessage("Cannot read data while in RUN mode.");
    }
    OperationHold hold(Operation::Capture);
    SetCtrlAttribute(panelRECORDER, RECORDER_CAPTURE_GRAPH, ATTR_DIMMED, 1);
    rx_flag = 0;
    stop_flag = 0;
    const double begin = Timer();
    for (double left = kCaptureSettling; left > 0.0; left = kCaptureSettling - (Timer() - begin))
        WaitForSystemEvents(left);

    WriteHeaderIfPending();
    SetCtrlVal(panelRECORDER, RECORDER_RECORDED, recwerte);
    captureProgress(0);

    Outcome outcome;
    int r = fetchCurves();
    if (r == MEAS_OK) {
        rx_flag = 0;
        r = RequestRearm();
        if (r == MEAS_OK) {
            AppendStatus(" Trigger rearmed.");
            captureProgress(100);
            ProcessSystemEvents();
            int code = WriteGraphHeaderToFile();
            if (code == 0) code = StoreGraphToFile();
            outcome = RecordFileOutcome(code);
        }
    }
    if (r == kNoNewData) outcome = Outcome::Failed("No new trigger event. No data availible.");
    else if (r != MEAS_OK) outcome = Outcome::Failed(MeasureErrorText(r));
    if (r == MEAS_LOST || r == MEAS_ECHO) {
        abandon(r);
        return outcome;
    }
    stop_flag = 1;
    SetCtrlAttribute(panelRECORDER, RECORDER_CAPTURE_GRAPH, ATTR_DIMMED, 0);
    return outcome;
}

int CC_CMD_CAPTURE_GRAPH(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) CaptureGraph();
    return 0;
}

int CC_CMD_PRINT(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    SetPrintAttributeEx(ATTR_PRINT_ORIENTATION, VAL_LANDSCAPE);
    SetPrintAttributeEx(ATTR_PRINT_COLOR_MODE, VAL_COLOR);
    if (PrintPanel(panelMAIN, "", 1, VAL_FULL_PANEL, 1) == UIE_PrinterError)
        SetStatus("Error! The main panel could not be printed.");
    return 0;
}
