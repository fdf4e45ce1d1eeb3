#include "maint/firmware.h"

#include "core/controller_notes.h"
#include "core/groups.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "link/command.h"
#include "link/dialog.h"
#include "link/frame.h"
#include "link/transport.h"
#include "maint/srecord.h"
#include "maint/update_files.h"
#include "ui/engine/engine.h"
#include "ui/panels/update_ids.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

int s_record_handle = -1;

namespace {

// The download's own clock: when the current wait started and how long ago.
double tstart = 0.0, tdiff = 0.0;

constexpr int kHandOverCommand = 187;
constexpr unsigned short kHandOverAccepted = 170;
constexpr double kReadyWait = 5.0;
constexpr double kDrainWait = 0.5;
constexpr double kFinalWait = 2.0;
constexpr int kReadChunk = 255;
// The text box follows the loader output at most this often while lines go
// out; a redraw per line would cost more than the line itself.
constexpr double kShowInterval = 0.05;

constexpr char kTcpRefusal[] = "To upgrade the controller you need to establish a connection\r\n"
                               "using a RS232 COM port or an RS232-to-USB converter emulating\r\n"
                               "an virtual COM port. Upgrade is not supported using TCP/IP.";
constexpr char kMergeFirst[] =
    "The linearisation tables are in use, but no merged file matches the firmware file, the tables and the "
    "table window chosen now.\r\nPlease press MERGE first; nothing was sent.";
constexpr char kFailureText[] = "Firmware update failed: the loader did not report that it started the application.";

bool g_downloading = false;

// The download's ends the operator is told about in a message box: the
// kind says whose fault it is, the text is the box's.
Outcome told(OutcomeKind kind, const std::string &text) {
    MessagePopup("ERROR", text.c_str());
    return {kind, text};
}
Outcome refused(const std::string &text) { return told(OutcomeKind::Refused, text); }
Outcome rejected(const std::string &text) { return told(OutcomeKind::Rejected, text); }
Outcome failed(const std::string &text) { return told(OutcomeKind::Failed, text); }

// Everything the loader sent during one download. The text has no size
// limit, and a search never misses a text that arrives in pieces: it goes
// on from where the previous one stopped, less the length of the text sought.
class LoaderOutput {
  public:
    void clear() {
        text_.clear();
        readyFrom_ = startedFrom_ = 0;
        dirty_ = true;
    }
    void append(const char *data, std::size_t size) {
        text_.append(data, size);
        dirty_ = dirty_ || size > 0;
    }
    bool hasReadyText() { return find(kLoaderReadyText, readyFrom_); }
    bool hasStartedText() { return find(kLoaderStartedText, startedFrom_); }
    // Puts the text into the text box: at once, or when the last update is
    // older than kShowInterval.
    void show(bool now) {
        if (!dirty_ || (!now && Timer() - shownAt_ < kShowInterval)) return;
        std::string visible;
        visible.reserve(text_.size());
        for (char c : text_)
            if (c != '\r' && c != '\0') visible += c;
        ResetTextBox(panelUPDATE, UPDATE_LOADER_OUTPUT, visible);
        // The newest output is what the operator watches.
        SetCtrlAttribute(panelUPDATE, UPDATE_LOADER_OUTPUT, ATTR_FIRST_VISIBLE_LINE, INT_MAX);
        shownAt_ = Timer();
        dirty_ = false;
    }

  private:
    bool find(const char *needle, std::size_t &from) {
        const std::size_t n = std::strlen(needle);
        if (text_.find(needle, from) != std::string::npos) return true;
        from = text_.size() >= n ? text_.size() - n + 1 : 0;
        return false;
    }
    std::string text_;
    std::size_t readyFrom_ = 0, startedFrom_ = 0;
    bool dirty_ = false;
    double shownAt_ = 0.0;
};

LoaderOutput g_output;

// Reads everything the loader has sent so far; returns the byte count.
int readLoader() {
    int total = 0;
    char buffer[kReadChunk + 1];
    for (;;) {
        const int waiting = GetInQLen(comport);
        if (waiting <= 0) return total;
        const int n = ComRd(comport, buffer, std::min(waiting, kReadChunk));
        if (n <= 0) return total;
        g_output.append(buffer, static_cast<std::size_t>(n));
        total += n;
    }
}

// Waits until the transmit queue is empty or kDrainWait has passed.
void waitForDrain() {
    const double written = Timer();
    for (;;) {
        const int queued = GetOutQLen(comport);
        const double left = kDrainWait - (Timer() - written);
        if (queued <= 0 || left <= 0) return;
        WaitForSystemEvents(std::min(left, 0.02));
    }
}

// The hand-over frame; Done when the firmware agreed. Reports failures as
// every command does; a lost link stays unusable until the next connect.
Outcome handOver() {
    unsigned short request[PNUM], words[PNUM];
    for (int i = 0; i < PNUM; ++i) request[i] = i % 2 == 0 ? 0x5555 : 0xAAAA;
    constexpr char kStep[] = "Starting download ... ";
    const CommandOutcome outcome = ExchangeStep(kStep, kHandOverCommand, request, words);
    if (outcome != CommandOutcome::Done) return Outcome::Failed(CommandOutcomeText(outcome));
    if (words[0] != kHandOverAccepted) {
        SetStatus(ExchangeErrorText(EXCHANGE_BAD_ECHO));
        ApplyLinkState();
        return Outcome::Failed(ExchangeErrorText(EXCHANGE_BAD_ECHO));
    }
    StatusStepDone(kStep, "OK!");
    ProcessSystemEvents();
    return Outcome::Done();
}

// Closes the loader link and opens the normal link again, with its line
// check and version read; the command groups follow the result.
void restoreNormalLink() {
    rs232con = InitRS232_PL(0);
    rs232con = InitRS232(1);
    ApplyLinkState();
}

bool waitForLoader() {
    while ((tdiff = Timer() - tstart) < kReadyWait) {
        readLoader();
        if (g_output.hasReadyText()) {
            g_output.append("\r\n", 2);
            g_output.show(true);
            return true;
        }
        g_output.show(true);
        WaitForSystemEvents(std::min(kReadyWait - tdiff, 0.05));
    }
    return false;
}

// Sends every record, each followed by CR LF, and shows what the loader
// answers meanwhile.
void sendRecords(const std::vector<SRecordLine> &records) {
    for (const SRecordLine &record : records) {
        const std::string out = record.text + "\r\n";
        if (ComWrt(comport, out.data(), static_cast<int>(out.size())) < 0) break;
        waitForDrain();
        readLoader();
        g_output.show(false);
        ProcessSystemEvents();
    }
    g_output.show(true);
}

// Collects the loader's last messages; true when it started the application.
bool collectFinalMessages() {
    tstart = Timer();
    bool successful = false;
    while ((tdiff = Timer() - tstart) < kFinalWait) {
        if (readLoader() > 0) g_output.show(false);
        if (!successful && g_output.hasStartedText()) successful = true;
        WaitForSystemEvents(std::min(kFinalWait - tdiff, 0.05));
    }
    return successful || g_output.hasStartedText();
}

// Reads and checks the whole file before anything goes to the controller.
// The records checked are the records sent: an empty line is skipped by
// both, so a stray blank line can neither cut the download short nor slip
// past the check.
Outcome readCheckedFile(const char *path, std::vector<SRecordLine> *records) {
    s_record_handle = OpenFile(path, VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    if (s_record_handle < 0) {
        s_record_handle = -1;
        return rejected("Could not open file!");
    }
    std::vector<std::string> lines;
    const bool read = ReadTextLines(s_record_handle, &lines);
    CloseFile(s_record_handle);
    s_record_handle = -1;
    *records = SRecordLinesOf(lines);
    int line = 0;
    std::string problem = "the file could not be read to its end";
    if (!read || !CheckSRecords(*records, &line, &problem))
        return rejected(
            SRecordProblemText("The S-record file cannot be sent; nothing was sent.", path, line, problem));
    return Outcome::Done();
}

Outcome download(std::string *sentFile) {
    // A serial link, something to send, and a file that is sound.
    if (rs232con == 0) return refused(kTcpRefusal);
    if (OperationRunning(Operation::Measuring)) return refused("Please stop the measurement first!");
    if (const char *busy = RefusalReason(Command::Program); *busy) {
        ShowRefusal(busy);
        return Outcome::Refused(busy);
    }
    // From here the port belongs to the download, the loader link included.
    OperationHold hold(Operation::Firmware);
    // With a table in use only a merged file made from exactly the present
    // choices may go out; the plain firmware file would lack the tables.
    int useA = 0, useB = 0;
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_A, &useA);
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_B, &useB);
    const bool merged = MergedFileReady();
    if ((useA || useB) && !merged) {
        SetReadyLed(false);
        return rejected(kMergeFirst);
    }
    if (!merged && !FileReady(UPDATE_LED_FIRMWARE)) {
        SetReadyLed(false);
        return rejected("Please select files first!");
    }
    std::vector<SRecordLine> records;
    if (Outcome checked = readCheckedFile(merged ? mergedFilePath : firmwarePath, &records); !checked.done()) {
        SetReadyLed(false);
        return checked;
    }

    if (const std::string why = ControllerWriteRefusal(); !why.empty()) return refused(why);
    // From the hand-over on the controller's firmware is being replaced.
    *sentFile = merged ? mergedFilePath : firmwarePath;

    // The running firmware hands over to the loader. Nothing else may use
    // the port until the normal link is back.
    set_main_buttons(0, 0, 0);
    set_test_panel_controls(0, -2);
    if (Outcome handedOver = handOver(); !handedOver.done()) {
        SetReadyLed(false);
        return handedOver;
    }

    // The loader link, and the loader's announcement.
    tstart = Timer();
    rs232con = InitRS232(0);
    rs232con = InitRS232_PL(1);
    g_output.clear();
    g_output.show(true);
    if (rs232con == 0) {
        const std::string why = std::string("The loader link could not be opened: ") + szStatus;
        SetReadyLed(false);
        restoreNormalLink();
        return failed(why);
    }
    if (!waitForLoader()) {
        SetReadyLed(false);
        restoreNormalLink();
        return failed("No answer from controller!");
    }

    // The file, the loader's last words, and the normal link again.
    sendRecords(records);
    const bool successful = collectFinalMessages();
    const std::string last = std::string("\r\n\r\n") + (successful ? kDownloadSucceededText : kFailureText);
    g_output.append(last.data(), last.size());
    g_output.show(true);
    if (!successful) SetReadyLed(false);
    restoreNormalLink();
    return successful ? Outcome::Done(kDownloadSucceededText) : Outcome::Failed(kFailureText);
}

} // namespace

int CC_CMD_LOAD_FIRMWARE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    std::string path;
    const int chosen =
        FileSelectPopup(dirName, "*.S", "*.S", "Load Firmware File", VAL_LOAD_BUTTON, 0, 1, 1, 0, &path);
    // A merged file made from another firmware file no longer fits.
    DropMergedFile();
    if (chosen > 0 && TakePath(firmwarePath, sizeof firmwarePath, path.c_str())) {
        SetCtrlVal(panelUPDATE, UPDATE_FIRMWARE_TEXT, firmwarePath);
        SetFileReady(UPDATE_LED_FIRMWARE, true);
        SetReadyLed(true);
    } else {
        SetCtrlVal(panelUPDATE, UPDATE_FIRMWARE_TEXT, "");
        SetFileReady(UPDATE_LED_FIRMWARE, false);
        SetReadyLed(false);
    }
    return 0;
}

Outcome ProgramController() {
    if (g_downloading) return Outcome::Refused("a download is already running");
    g_downloading = true;
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_PROGRAM, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_PROGRAM, ATTR_CMD_BUTTON_COLOR, VAL_RED);
    std::string sentFile;
    const Outcome outcome = download(&sentFile);
    if (!sentFile.empty()) {
        ControllerNote note;
        note.write = true;
        note.memory = NotedMemory::Firmware;
        note.kind = outcome.kind;
        note.reason = outcome.reason;
        note.file = sentFile;
        NoteController(note);
    }
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_PROGRAM, ATTR_CMD_BUTTON_COLOR, VAL_OFFWHITE);
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_PROGRAM, ATTR_DIMMED, 0);
    g_downloading = false;
    return outcome;
}

int CC_CMD_PROGRAM(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) ProgramController();
    return 0;
}

void RegisterFirmwareCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_CMD_LOAD_FIRMWARE", CC_CMD_LOAD_FIRMWARE},
        {"CC_CMD_PROGRAM", CC_CMD_PROGRAM},
    };
    RegisterCallbacks(table);
}
