#include "core/owner.h"

#include "core/groups.h"
#include "core/status.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

struct Hold {
    int id;
    Operation operation;
};
std::vector<Hold> g_holds; // outermost first
int g_lastHold = 0;
bool g_testMode = false;
bool g_sampling = true;

constexpr char kContinueInTestMode[] = "Cannot continue: test mode is on. Please press EXIT TEST first.";
constexpr char kContinueNotSampling[] = "Cannot continue: sampling is stopped. Please press RESTART SAMPLING first.";

// What an operation lets through while it runs. Everything not listed is
// refused: it would send a request between the operation's own, change
// what the operation reads, or stop the controller's sampling under it.
bool lets(Operation operation, Command command) {
    // STOP and the recorder's pause and stop only set flags that the
    // running loops read; closing the program is never refused.
    if (command == Command::Stop || command == Command::RecorderControl) return true;
    // Continuing a paused recording: nothing may be in the middle of its
    // requests (a filter write stops sampling part-way through), and test
    // mode must have ended.
    if (command == Command::ContinueRecording)
        return operation == Operation::Recording || operation == Operation::RecordingPaused;
    // A new connection ends a measuring loop and may come while a recording
    // runs or test mode is on; it must not take the port from an operation
    // that is in the middle of its requests, nor from the loader.
    if (command == Command::Connect)
        return operation == Operation::Measuring || operation == Operation::Recording ||
               operation == Operation::RecordingPaused || operation == Operation::TestMode;
    // Send and Get to the parameter file need no link: a capture, a filter
    // transfer, a sensor command or the download lets them through. A
    // running loop, a recording and test mode dim the send/get group and
    // still refuse them; a transfer reads the chosen place after its waits,
    // so a file transfer must not change it under one.
    if (command == Command::FileTransfer)
        return operation != Operation::Measuring && operation != Operation::Recording &&
               operation != Operation::TestMode && operation != Operation::Transfer;
    switch (operation) {
    case Operation::Measuring:
        // CAPTURE during RUN ends the loop and tells the operator why.
        return command == Command::CaptureGraph;
    case Operation::RecordingPaused:
        // A paused run offers the sensor commands (STOP SAMPLING among
        // them), the parameter group, the filter and test mode. What stops
        // sampling is let through here; continuing then waits until sampling
        // runs again (ContinueRecording).
        return command == Command::SensorCommand || command == Command::StopSampling ||
               command == Command::Transfer || command == Command::GetFilter || command == Command::SendFilter ||
               command == Command::EnterTest || command == Command::ExitTest || command == Command::TestRecord;
    case Operation::TestMode:
        return command == Command::TestRecord || command == Command::ExitTest || command == Command::EnterTest;
    case Operation::SensorCommand:
        // TEACH reads the parameters back as part of its own work; that read
        // does not ask again. Nothing else comes between.
    case Operation::Recording:
    case Operation::Capture:
    case Operation::Transfer:
    case Operation::Filter:
    case Operation::Firmware:
        return false;
    }
    return false;
}

// The operation that refuses `command`, the innermost first.
std::optional<Operation> refusing(Command command) {
    for (auto it = g_holds.rbegin(); it != g_holds.rend(); ++it)
        if (!lets(it->operation, command)) return it->operation;
    if (g_testMode && !lets(Operation::TestMode, command)) return Operation::TestMode;
    return std::nullopt;
}

const char *busyText(Operation operation) {
    switch (operation) {
    case Operation::Measuring: return "Busy! Please stop the measurement first.";
    case Operation::Recording:
    case Operation::RecordingPaused: return "Busy! Please stop the recording first.";
    case Operation::Capture: return "Busy! The curves are still being read.";
    case Operation::Transfer: return "Busy! The parameters are still being transferred.";
    case Operation::Filter: return "Busy! The filter data are still being transferred.";
    case Operation::TestMode: return "Busy! Please leave the test mode first.";
    case Operation::Firmware: return "Busy! The firmware download is still running.";
    case Operation::SensorCommand: return "Busy! The sensor is still answering another command.";
    }
    return "Busy!";
}

// Why `command` may not start now, or "".
const char *refusalText(Command command) {
    const std::optional<Operation> holder = refusing(command);
    if (command == Command::ContinueRecording) {
        if (holder == Operation::TestMode) return kContinueInTestMode;
        if (holder) return busyText(*holder);
        return g_sampling ? "" : kContinueNotSampling;
    }
    return holder ? busyText(*holder) : "";
}

} // namespace

bool CommandAllowed(Command command) { return !*refusalText(command); }

const char *RefusalReason(Command command) { return refusalText(command); }

bool CommandRefused(Command command) {
    const char *why = refusalText(command);
    if (!*why) return false;
    ShowRefusal(why);
    return true;
}

bool OperationRunning(Operation operation) {
    if (operation == Operation::TestMode && g_testMode) return true;
    return std::any_of(g_holds.begin(), g_holds.end(), [operation](const Hold &h) { return h.operation == operation; });
}

OperationHold::OperationHold(Operation operation) : slot_(++g_lastHold) { g_holds.push_back({slot_, operation}); }

OperationHold::~OperationHold() {
    g_holds.erase(std::remove_if(g_holds.begin(), g_holds.end(), [this](const Hold &h) { return h.id == slot_; }),
                  g_holds.end());
}

void OperationHold::become(Operation operation) {
    for (Hold &h : g_holds)
        if (h.id == slot_) h.operation = operation;
}

void NoteControllerSampling(bool sampling) { g_sampling = sampling; }
bool ControllerSampling() { return g_sampling; }

void HoldTestMode() { g_testMode = true; }
void ReleaseTestMode() { g_testMode = false; }

void EndLinkBoundHolds() {
    g_sampling = true;
    if (!g_testMode) return;
    g_testMode = false;
    set_test_panel_controls(GROUP_UNCHANGED, GROUP_DIMMED);
}

void ResetOperations() {
    g_holds.clear();
    g_testMode = false;
    g_sampling = true;
}
