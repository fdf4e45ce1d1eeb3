#include "maint/testmode.h"

#include "core/groups.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/command.h"
#include "ui/engine/engine.h"
#include "ui/panels/test_ids.h"

#include <algorithm>
#include <iterator>

short testdata[TEST_WORDS];

namespace {

constexpr int kEnterTest = 10; // command: stop sampling
constexpr int kExitTest = 11;  // command: restart normal mode
constexpr int kTestRecord = 12;
constexpr int kInputsWord = 6;

// A two-colour lamp button: its own colour, and the record words it fills.
struct LampButton {
    int control;
    int ownColour;
    int word; // (word, word + 1) = (1, 0) on in the own colour, (0, 1) on in green
};
constexpr LampButton kLamps[] = {{TEST_LAMP_1, VAL_RED, 10}, {TEST_LAMP_2, VAL_YELLOW, 12}};
constexpr int kSwitches[] = {TEST_SWITCH_1, TEST_SWITCH_2};
constexpr int kFirstSwitchWord = 14;

const LampButton *lampOf(int control) {
    for (const LampButton &l : kLamps)
        if (l.control == control) return &l;
    return nullptr;
}

int onColour(int control) {
    int colour = 0;
    GetCtrlAttribute(panelTEST, control, ATTR_ON_COLOR, &colour);
    return colour;
}

} // namespace

void get_test_data() {
    std::fill(std::begin(testdata), std::end(testdata), 0);
    for (int k = 0; k < 6; ++k) {
        int value = 0;
        GetCtrlVal(panelTEST, TEST_VALUE_1 + k, &value);
        testdata[k] = static_cast<short>(value);
    }
    for (const LampButton &l : kLamps) {
        int on = 0;
        GetCtrlVal(panelTEST, l.control, &on);
        if (!on) continue;
        testdata[onColour(l.control) == l.ownColour ? l.word : l.word + 1] = 1;
    }
    for (int s = 0; s < 2; ++s) {
        int value = 0;
        GetCtrlVal(panelTEST, kSwitches[s], &value);
        testdata[kFirstSwitchWord + s] = static_cast<short>(value);
    }
}

void set_test_data() {
    const int inputs = static_cast<unsigned short>(testdata[kInputsWord]);
    SetCtrlVal(panelTEST, TEST_INPUT_1, inputs & 1);
    SetCtrlVal(panelTEST, TEST_INPUT_2, (inputs >> 1) & 1);
}

int exchange_test_data() {
    get_test_data();
    // The record goes out and its answer comes back in words of this call's
    // own; testdata takes the answer once it is in.
    unsigned short request[TEST_WORDS], reply[TEST_WORDS];
    std::copy(std::begin(testdata), std::end(testdata), request);
    switch (const ExchangeResult result = Exchange(kTestRecord, request, reply)) {
    case EXCHANGE_OK:
        std::copy(std::begin(reply), std::end(reply), testdata);
        SetStatus("Test recieved.");
        set_test_data();
        return 1;
    case EXCHANGE_BAD_ECHO:
        // A garbled answer to a test record leaves the link be.
        SetStatus(ExchangeErrorText(result));
        return 0;
    default:
        GiveUpLink(result);
        return 0;
    }
}

CommandOutcome EnterTestMode() {
    const CommandOutcome outcome = AcknowledgedCommand(kEnterTest, "Entering testmode ... ");
    if (outcome != CommandOutcome::Done) return outcome;
    HoldTestMode();
    ProcessSystemEvents();
    // The main panel's commands stay dimmed while testing.
    set_main_buttons(0, 0, 0);
    set_test_panel_controls(-2, 1);
    return outcome;
}

CommandOutcome LeaveTestMode() {
    const CommandOutcome outcome = AcknowledgedCommand(kExitTest, "Restarting normal mode ... ");
    if (outcome != CommandOutcome::Done) return outcome;
    ReleaseTestMode();
    ProcessSystemEvents();
    set_test_panel_controls(1, 0);
    // A paused recording keeps RUN, STOP and DATA dimmed until it ends.
    set_main_buttons(OperationRunning(Operation::RecordingPaused) ? 0 : 1, 1, send_get_status);
    return outcome;
}

int CC_CMD_ENTER_TEST(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (CommandRefused(Command::EnterTest)) return 0;
    OperationHold hold(Operation::SensorCommand);
    EnterTestMode();
    return 0;
}

int CC_EXIT_TEST(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (CommandRefused(Command::ExitTest)) return 0;
    OperationHold hold(Operation::SensorCommand);
    LeaveTestMode();
    return 0;
}

int CC_TESTPANEL(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (CommandRefused(Command::TestRecord)) return 0;
    OperationHold hold(Operation::SensorCommand);
    // Switching a lamp off swaps its on colour, so presses cycle through
    // on in its own colour, off, on in green, off.
    if (const LampButton *lamp = lampOf(control)) {
        int on = 0;
        GetCtrlVal(panelTEST, control, &on);
        if (!on) {
            const int colour = onColour(control);
            if (colour == lamp->ownColour) SetCtrlAttribute(panelTEST, control, ATTR_ON_COLOR, VAL_GREEN);
            else if (colour == VAL_GREEN) SetCtrlAttribute(panelTEST, control, ATTR_ON_COLOR, lamp->ownColour);
        }
    }
    exchange_test_data();
    return 0;
}

void RegisterTestModeCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_CMD_ENTER_TEST", CC_CMD_ENTER_TEST},
        {"CC_EXIT_TEST", CC_EXIT_TEST},
        {"CC_TESTPANEL", CC_TESTPANEL},
    };
    RegisterCallbacks(table);
}
