// Who owns the link and the controller while a long operation runs.
//
// Every wait of a long operation delivers events, so any enabled command can
// be clicked in the middle of it. One rule, kept here, says which commands
// each operation lets through meanwhile; every command that talks to the
// controller (or starts or steers a long operation) asks it before it
// builds a request or changes a panel. A refused command shows the busy
// text and sends nothing.
//
// Operations nest: a command that an operation lets through (TRIGGER while a
// recording is paused) holds the link in turn, and a command started inside
// its waits must be let through by every holder.
#pragma once

enum class Operation {
    Measuring,       // the RUN or DATA loop
    Recording,       // the automatic recording run
    RecordingPaused, // the same run while paused
    Capture,         // reading both curves into the record file
    Transfer,        // parameters to or from the controller (Send, Get, Compare, TEACH's re-read)
    Filter,          // reading the filter settings or writing the filter memory
    TestMode,        // from a confirmed entry to a confirmed exit
    Firmware,        // the firmware download: the port belongs to the loader
    SensorCommand,   // one acknowledged command (TRIGGER, RESET, TEACH, ...)
};

enum class Command {
    Run,
    Data,
    Stop,            // STOP of the measuring loops: only sets flags
    CaptureGraph,    // during RUN it ends the loop and says why
    SensorCommand,   // TRIGGER, RESET, TEACH, RESTART SAMPLING, VERSION
    StopSampling,    // STOP SAMPLING: freezes the controller's values
    Transfer,        // Send, Get, Compare and the compare view's send
    FileTransfer,    // Send and Get with File chosen: the parameter file only
    GetFilter,
    SendFilter,
    EnterTest,
    ExitTest,
    TestRecord,      // a change on the test panel
    Program,         // firmware download
    StartRecording,
    RecorderControl, // pause and stop of a recording: only flags
    ContinueRecording, // continuing a paused recording: only while the controller samples
    Connect,         // opening a link (or changing its baud rate) from the connection dialog
};

// True when every operation in progress lets `command` through.
bool CommandAllowed(Command command);
// The same, for a command about to start: when refused, the status line
// says which operation holds the controller, and the result is true (the
// command must not run).
bool CommandRefused(Command command);
// Why `command` may not start now (the text CommandRefused shows), or ""
// when it may.
const char *RefusalReason(Command command);

// True while `operation` holds the link (test mode included).
bool OperationRunning(Operation operation);

// Whether the controller samples, as the commands sent to it last left it:
// an acknowledged stop sampling (STOP SAMPLING, SEND FILTER, ENTER TEST)
// stops it, an acknowledged restart (RESTART SAMPLING, EXIT TEST) starts it
// again. A recording paused meanwhile must not continue into frozen values.
void NoteControllerSampling(bool sampling);
bool ControllerSampling();

// Holds the link for one operation from construction to destruction.
class OperationHold {
  public:
    explicit OperationHold(Operation operation);
    ~OperationHold();
    OperationHold(const OperationHold &) = delete;
    OperationHold &operator=(const OperationHold &) = delete;
    // The recording's pause and continue change what it lets through.
    void become(Operation operation);

  private:
    int slot_;
};

// Test mode lasts from one callback to another: it is held from a confirmed
// entry until a confirmed exit, or until its link ends.
void HoldTestMode();
void ReleaseTestMode();

// The link ended (lost, closed, or replaced by a new one). Test mode belongs
// to the controller on that link: a controller met on a new link, or the
// same one after a power cycle, is not in it, and with the link gone nobody
// could send EXIT TEST. It ends here, the controller is taken as sampling, and the test panel's test-mode
// controls are dimmed; the entry group follows the link as it always does.
// Holds taken by operations still running end with those operations, which
// learn of the lost link from their own exchanges.
void EndLinkBoundHolds();

// Forgets test mode, every hold and a stopped sampling: the program at rest,
// as at start-up.
void ResetOperations();
