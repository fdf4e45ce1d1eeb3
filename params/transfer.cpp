#include "params/transfer.h"

#include "core/controller_notes.h"
#include "core/outcome.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "core/groups.h"
#include "params/binding.h"
#include "params/origin.h"
#include "params/parafile.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

int target = RAM;

namespace {

constexpr unsigned short kSetCommand = 0x6400;
constexpr int kWriteSets = 1;  // command: write set n, or activate in RAM
constexpr int kReadSets = 2;   // command: prepare the copy from RAM, or read set n
constexpr int kStoreSets = 3;  // command: activate and store in EEPROM
constexpr int kReadEeprom = 4; // command: prepare the copy from EEPROM

void progress(int value) {
    SetCtrlVal(panelMAIN, MAIN_PROGRESS, value);
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR, VAL_BLUE);
}

void startProgress() {
    progress(0);
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_VISIBLE, 1);
}

// Exchanges one request; the reply lands in `reply`. Returns false after
// giving up the link, with the reason in *failure.
bool exchange(int command, const unsigned short request[PNUM], unsigned short reply[PNUM], Outcome *failure) {
    const ExchangeResult result = Exchange(command, request, reply);
    GiveUpLink(result);
    if (result != EXCHANGE_OK) *failure = Outcome::Failed(ExchangeErrorText(result));
    return result == EXCHANGE_OK;
}

// The request for set n: the set's words with 0x6400 + n in its first one.
void loadSet(const unsigned short rec[PARAM_WORDS], int n, unsigned short request[PNUM]) {
    std::copy(rec + PARAM_SET_WORDS * (n - 1), rec + PARAM_SET_WORDS * n, request);
    request[0] = static_cast<unsigned short>(kSetCommand + n);
}

// The request that prepares a read copy or activates the written sets.
void controlFrame(unsigned short request[PNUM]) {
    std::fill(request, request + PNUM, 0);
    request[0] = kSetCommand;
}

// Shows how set n went; returns the text shown.
std::string setReport(const char *what, int n) {
    char text[128];
    std::snprintf(text, sizeof text, "Parameter set %i of 12 %s", n, what);
    SetStatus(text);
    return text;
}

// The same text as the status line's, kept as the outcome's reason.
Outcome shown(OutcomeKind kind, const char *text) {
    if (kind == OutcomeKind::Refused) ShowRefusal(text);
    else SetStatus(text);
    return {kind, text};
}

int selectedTarget() {
    int ram = 0, eeprom = 0, file = 0;
    GetCtrlVal(panelMAIN, MAIN_RADIO_RAM, &ram);
    GetCtrlVal(panelMAIN, MAIN_RADIO_EEPROM, &eeprom);
    GetCtrlVal(panelMAIN, MAIN_RADIO_FILE, &file);
    return ram ? RAM : eeprom ? EEPROM : file ? DATFILE : RAM;
}

// Send and Get to the file need no link, so fewer operations refuse them.
Command transferCommand() { return selectedTarget() == DATFILE ? Command::FileTransfer : Command::Transfer; }

// Reports a write to or a read from the controller's memory with the record
// as the controller holds it: every set's number slot holds its number.
void noteRecord(bool write, int place, const unsigned short rec[PARAM_WORDS], const Outcome &outcome) {
    ControllerNote note;
    note.write = write;
    note.memory = place == EEPROM ? NotedMemory::Eeprom : NotedMemory::Ram;
    note.kind = outcome.kind;
    note.reason = outcome.reason;
    note.words.assign(rec, rec + PARAM_WORDS);
    for (int n = 1; n <= PARAM_SETS; ++n) note.words[std::size_t(PW_SET_SLOT(n - 1))] = static_cast<unsigned short>(n);
    NoteController(note);
}

Outcome sendToController(const unsigned short sending[PARAM_WORDS], int place);

} // namespace

void TargetFromSelector() { target = selectedTarget(); }

int SendParameter(unsigned short rec[PARAM_WORDS]) { return SendRecord(rec).done() ? 1 : 0; }
int GetParameter(unsigned short rec[PARAM_WORDS]) { return GetRecord(rec).done() ? 1 : 0; }

Outcome SendRecord(unsigned short rec[PARAM_WORDS]) {
    frame::sync = 0x55;
    if (target == DATFILE) {
        const bool saved = SendParaToFile(rec);
        return saved ? shown(OutcomeKind::Done, "Parameter saved to file.")
                     : shown(OutcomeKind::Failed, "Parameter saving to file failed.");
    }
    // The record and the place are taken as they are now: what runs during
    // the waits (a click on another memory button included) cannot change
    // what goes out or where it is activated.
    const int place = target;
    unsigned short sending[PARAM_WORDS];
    std::copy(rec, rec + PARAM_WORDS, sending);
    // A site that must have every change on record refuses while it cannot.
    if (const std::string why = ControllerWriteRefusal(); !why.empty())
        return shown(OutcomeKind::Refused, why.c_str());
    const Outcome outcome = sendToController(sending, place);
    noteRecord(true, place, sending, outcome);
    return outcome;
}

namespace {

// Requests and replies live here, out of reach of what runs during the waits.
Outcome sendToController(const unsigned short sending[PARAM_WORDS], int place) {
    unsigned short request[PNUM], reply[PNUM];
    startProgress();
    // A set the controller did not echo is reported and the rest still go
    // out, but the send as a whole has then failed.
    Outcome outcome;
    for (int n = 1; n <= PARAM_SETS; ++n) {
        loadSet(sending, n, request);
        if (!exchange(kWriteSets, request, reply, &outcome)) return outcome;
        progress(8 * n);
        const std::string text = setReport(reply[0] == n ? "stored to sensor" : "storing to sensor failed", n);
        // The first set not stored is why the send failed.
        if (reply[0] != n && outcome.done()) outcome = Outcome::Failed(text);
    }
    controlFrame(request);
    const int command = place == EEPROM ? kStoreSets : kWriteSets;
    char text[128];
    std::snprintf(text, sizeof text, "Activating parameter %s", place == EEPROM ? "and storing to EEPROM ... " : "... ");
    SetStatus(text);
    if (!exchange(command, request, reply, &outcome)) return outcome;
    progress(100);
    std::strncat(text, reply[0] == 0 ? "Done!" : "Failed!", sizeof text - std::strlen(text) - 1);
    SetStatus(text);
    if (reply[0] != 0 && outcome.done()) outcome = Outcome::Failed(text);
    return outcome;
}

} // namespace

Outcome GetRecord(unsigned short rec[PARAM_WORDS]) {
    frame::sync = 0x55;
    GetPanelValues(rec);
    if (target == DATFILE) {
        const bool loaded = ReadParaFromFile(rec) == 1;
        return loaded ? shown(OutcomeKind::Done, "Parameter loaded from file.")
                      : shown(OutcomeKind::Failed, "Parameter load from file failed.");
    }
    // The place is taken once: the selector may change during the waits.
    const int place = target;
    unsigned short request[PNUM], reply[PNUM];
    startProgress();
    controlFrame(request);
    Outcome outcome;
    if (!exchange(place == EEPROM ? kReadEeprom : kReadSets, request, reply, &outcome)) return outcome;
    progress(4);
    if (reply[0] != 0) return shown(OutcomeKind::Failed, "Failed to initialize parameter copy.");
    SetStatus("Starting parameter load ...");
    // The sets go into a scratch record that replaces rec only once all
    // twelve arrived: a load that fails part-way leaves no mixed record.
    unsigned short loaded[PARAM_WORDS];
    std::copy(rec, rec + PARAM_WORDS, loaded);
    for (int n = 1; n <= PARAM_SETS; ++n) {
        loadSet(loaded, n, request);
        if (!exchange(kReadSets, request, reply, &outcome)) return outcome;
        progress(8 * n + 4);
        if (reply[0] != n) return Outcome::Failed(setReport("loading from sensor failed", n));
        std::copy(std::begin(reply), std::end(reply), loaded + PARAM_SET_WORDS * (n - 1));
        setReport("loaded from sensor", n);
    }
    std::copy(loaded, loaded + PARAM_WORDS, rec);
    const Outcome done = shown(OutcomeKind::Done, place == EEPROM ? "Parameter set successfully loaded from EEPROM"
                                                                  : "Parameter set successfully loaded from RAM");
    noteRecord(false, place, loaded, done);
    return done;
}

int CC_RADIO_MEMORY(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (int id : {MAIN_RADIO_RAM, MAIN_RADIO_EEPROM, MAIN_RADIO_FILE}) SetCtrlVal(panel, id, 0);
    SetCtrlVal(panel, control, 1);
    target = control == MAIN_RADIO_EEPROM ? EEPROM : control == MAIN_RADIO_FILE ? DATFILE : RAM;
    return 0;
}

Outcome SendPanels() {
    if (const char *busy = RefusalReason(transferCommand()); *busy) return shown(OutcomeKind::Refused, busy);
    OperationHold hold(Operation::Transfer);
    TargetFromSelector();
    GetPanelValues(param);
    return SendRecord(param);
}

Outcome GetPanels() {
    if (const char *busy = RefusalReason(transferCommand()); *busy) return shown(OutcomeKind::Refused, busy);
    OperationHold hold(Operation::Transfer);
    TargetFromSelector();
    const int place = target;
    // A failed or partial load leaves the panels as they were.
    const Outcome outcome = GetRecord(param);
    if (outcome.done()) {
        SetPanelValues(param);
        NoteRecordOrigin(place == RAM      ? RecordSource::ControllerRam
                         : place == EEPROM ? RecordSource::ControllerEeprom
                                           : RecordSource::File,
                         "", param);
    }
    return outcome;
}

int CC_BTNSend(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) SendPanels();
    return 0;
}

int CC_BTNGet(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) GetPanels();
    return 0;
}

void RegisterTransferCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_RADIO_MEMORY", CC_RADIO_MEMORY},
        {"CC_BTNSend", CC_BTNSend},
        {"CC_BTNGet", CC_BTNGet},
    };
    RegisterCallbacks(table);
}
