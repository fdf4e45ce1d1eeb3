#include "measure/sampling.h"

#include "core/groups.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "link/command.h"
#include "link/frame.h"
#include "link/transport.h"
#include "measure/data.h"
#include "measure/graphs.h"
#include "params/binding.h"
#include "params/record.h"
#include "params/transfer.h"
#include "ui/engine/engine.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

RunHooks runHooks;

namespace {

void runProgress(int p) {
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR, VAL_DK_RED);
    SetCtrlVal(panelMAIN, MAIN_PROGRESS, p);
}

void setVisible(std::initializer_list<int> ids, int visible) {
    for (int id : ids) SetCtrlAttribute(panelMAIN, id, ATTR_VISIBLE, visible);
}

// One all-zero request with its status text; "OK." follows an acknowledge.
// Done when the controller acknowledged, with the status line's text. The
// caller holds the link.
Outcome oneShot(int command, const char *text) {
    const CommandOutcome outcome = AcknowledgedCommand(command, text);
    if (outcome != CommandOutcome::Done) return Outcome::Failed(CommandOutcomeText(outcome));
    ProcessSystemEvents();
    return Outcome::Done(std::string(text) + "OK.");
}

// A command another operation holds the link against; the status line says so.
Outcome refusal(Command kind) {
    const char *busy = RefusalReason(kind);
    if (!*busy) return Outcome::Done();
    ShowRefusal(busy);
    return Outcome::Refused(busy);
}


// A sensor command clicked by the operator: asks for the link, holds it and
// runs the command.
Outcome sensorCommand(Command kind, int command, const char *text) {
    if (Outcome refused = refusal(kind); !refused.done()) return refused;
    OperationHold hold(Operation::SensorCommand);
    return oneShot(command, text);
}

// TEACH holds the link through the re-read of the taught parameters.
Outcome teach() {
    if (Outcome refused = refusal(Command::SensorCommand); !refused.done()) return refused;
    OperationHold hold(Operation::SensorCommand);
    if (Outcome taught = oneShot(6, "Sending TEACH order ... "); !taught.done()) return taught;
    target = RAM;
    // The taught values go to the panels, so the next send keeps them.
    Outcome read = GetRecord(param);
    if (read.done()) SetPanelValues(param);
    return read;
}

} // namespace

Outcome RunSensorCommand(int control) {
    switch (control) {
    case MAIN_CMD_TRIGGER: return sensorCommand(Command::SensorCommand, 14, "Aquiring normalisation base ... ");
    case MAIN_CMD_RESET: return sensorCommand(Command::SensorCommand, 13, "Reseting data ... ");
    case MAIN_CMD_TEACH: return teach();
    case MAIN_CMD_STOP_SAMPLING: return sensorCommand(Command::StopSampling, 10, "Stop sampling ... ");
    case MAIN_CMD_RESTART_SAMPLING: return sensorCommand(Command::SensorCommand, 11, "Restart sampling ... ");
    default: return Outcome::Rejected("not a sensor command");
    }
}

void ShowRunLayout() {
    setVisible({MAIN_GRAPH, MAIN_RNG_XSCALE}, 0);
    setVisible({MAIN_STRIPCHART, MAIN_NUM_POINTS, MAIN_NUM_MARGIN}, 1);
}

void EnterMeasuringState(int loopCommand) {
    const bool run = loopCommand == MAIN_CMD_RUN;
    if (run) {
        runProgress(0);
    } else {
        SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR, VAL_DK_GREEN);
        SetCtrlVal(panelMAIN, MAIN_PROGRESS, 0);
    }
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_VISIBLE, 1);
    setVisible({MAIN_GRAPH, MAIN_RNG_XSCALE}, run ? 0 : 1);
    setVisible({MAIN_STRIPCHART, MAIN_NUM_POINTS, MAIN_NUM_MARGIN}, run ? 1 : 0);
    SetCtrlAttribute(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelMAIN, MAIN_CMD_DATA, ATTR_DIMMED, 1);
    // STOP is what ends the loop; GET FILTER does nothing while it runs.
    SetCtrlAttribute(panelMAIN, MAIN_CMD_STOP, ATTR_DIMMED, 0);
    SetCtrlAttribute(panelFILTER, FILTER_CMD_GET, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelMAIN, loopCommand, ATTR_CMD_BUTTON_COLOR, VAL_RED);
    set_test_panel_controls(0, -2);
    set_main_buttons(-2, 0, 0);
    switch (GetRecordingType()) {
    case REC_TYPE_MANUAL: set_recorder_attributes(1, run ? 1 : 0, -1, -1, -1); break;
    case REC_TYPE_AUTOMATIC: set_recorder_attributes(1, -1, -1, 0, 0); break;
    default: break;
    }
}

void EnterIdleState(int loopCommand, int failure) {
    SetCtrlAttribute(panelMAIN, loopCommand, ATTR_CMD_BUTTON_COLOR, VAL_OFFWHITE);
    SetCtrlAttribute(panelFILTER, FILTER_CMD_GET, ATTR_DIMMED, 0);
    set_test_panel_controls(1, -2);
    // The send/get group follows send_get_status, in expert mode too, where
    // it is 0 and the group stays dimmed after the loop.
    set_main_buttons(1, 1, send_get_status);
    // A link that stopped answering stays unusable until the next connect.
    if (failure == MEAS_LOST) set_main_buttons(0, 0, 0);
    rx_flag = 0;
}

Outcome RunMeasuring() {
    if (Outcome refused = refusal(Command::Run); !refused.done()) return refused;
    OperationHold hold(Operation::Measuring);
    EnterMeasuringState(MAIN_CMD_RUN);
    stop_flag = 0;
    int failure = MEAS_OK;
    PacedDisplay display(VAL_DK_RED);
    int cycle = 0;
    for (;;) {
        display.frame();
        display.progress(0);
        if ((failure = RequestRawdata(RAW_PART1)) != MEAS_OK) break;
        display.status("Rawdata (part 1) received.");
        display.progress(50);
        ProcessSystemEvents();
        if ((failure = RequestRawdata(RAW_PART2)) != MEAS_OK) break;
        display.status("Rawdata (part 2) received.");
        display.progress(100);
        const bool complete = stop_flag == 0;
        if (complete) UpdateLiveDisplay(display.showing());
        if (complete && runHooks.cycleDone) runHooks.cycleDone();
        if (complete && runHooks.valuesRead) runHooks.valuesRead(cycle);
        ++cycle;
        ProcessSystemEvents();
        if (stop_flag == 1) break;
    }
    display.flush();
    GiveUpLink(static_cast<ExchangeResult>(failure));
    EnterIdleState(MAIN_CMD_RUN, failure);
    return failure == MEAS_OK ? Outcome::Done() : Outcome::Failed(MeasureErrorText(failure));
}

int CC_CMD_RUN(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) RunMeasuring();
    return 0;
}

int CC_CMD_STOP(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || CommandRefused(Command::Stop)) return 0;
    stop_flag = 1;
    if (rs232con > 0 || tcpcon > 0) {
        switch (GetRecordingType()) {
        case REC_TYPE_MANUAL: set_recorder_attributes(1, 1, -1, -1, -1); break;
        case REC_TYPE_AUTOMATIC: set_recorder_attributes(1, -1, -1, 1, 1); break;
        default: break;
        }
    } else {
        set_recorder_attributes(0, 0, -1, -1, -1);
    }
    return 0;
}

int CC_CMD_TEACH(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) RunSensorCommand(MAIN_CMD_TEACH);
    return 0;
}

int CC_CMD_STOP_SAMPLING(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) RunSensorCommand(MAIN_CMD_STOP_SAMPLING);
    return 0;
}

int CC_CMD_RESTART_SAMPLING(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) RunSensorCommand(MAIN_CMD_RESTART_SAMPLING);
    return 0;
}

int CC_CMD_RESET(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) RunSensorCommand(MAIN_CMD_RESET);
    return 0;
}

int CC_CMD_TRIGGER(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) RunSensorCommand(MAIN_CMD_TRIGGER);
    return 0;
}

int CC_CMD_VERSION(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || CommandRefused(Command::SensorCommand)) return 0;
    OperationHold hold(Operation::SensorCommand);
    if (!GetVERSIONInfo()) {
        stop_flag = 1;
        set_main_buttons(0, 0, 0);
    }
    return 0;
}

int CC_HIDE(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    send_get_status = on ? 0 : 1;
    return 0;
}

void RegisterMeasureCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_CMD_RUN", CC_CMD_RUN},
        {"CC_CMD_STOP", CC_CMD_STOP},
        {"CC_CMD_DATA", CC_CMD_DATA},
        {"CC_CMD_TRIGGER", CC_CMD_TRIGGER},
        {"CC_CMD_RESET", CC_CMD_RESET},
        {"CC_CMD_TEACH", CC_CMD_TEACH},
        {"CC_CMD_STOP_SAMPLING", CC_CMD_STOP_SAMPLING},
        {"CC_CMD_RESTART_SAMPLING", CC_CMD_RESTART_SAMPLING},
        {"CC_CMD_VERSION", CC_CMD_VERSION},
        {"CC_HIDE", CC_HIDE},
        {"CC_RNG_DETAILEDDATA", CC_RNG_DETAILEDDATA},
        {"CC_RADIO_TRACES", CC_RADIO_TRACES},
        {"CC_GRAPH_DATA", CC_GRAPH_DATA},
        {"CC_SCALE_CHANGE", CC_SCALE_CHANGE},
        {"CC_SCALE_OUTPUT", CC_SCALE_OUTPUT},
        {"CC_GRAPH_ANASCALE", CC_GRAPH_ANASCALE},
        {"CC_TOG_SHOW", CC_TOG_SHOW},
        {"CC_SHOW", CC_SHOW},
        {"CC_SHOW_CB", CC_SHOW_CB},
    };
    RegisterCallbacks(table);
}
