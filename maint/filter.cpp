#include "maint/filter.h"

#include "core/controller_notes.h"

#include "core/groups.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/command.h"
#include "ui/engine/engine.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <cstdio>

unsigned short filterimage[FILTER_IMAGE_WORDS];

namespace {

constexpr int kReadFilter = 21;     // command: read the four settings
constexpr int kStopSampling = 10;   // command: stop sampling
constexpr int kErasePage = 180;     // command: erase the filter memory
constexpr int kWritePackage = 182;  // command: write words at an address
constexpr unsigned short kReadSettings = 0x6401;
constexpr int kPackageWords = 14;   // image words in a full package
constexpr int kFullPackages = 18;   // 18 x 14 = 252 words, then one of 4
constexpr int kLastPackageWords = FILTER_IMAGE_WORDS - kFullPackages * kPackageWords;
constexpr int kProgressSteps = 20;  // erase + 19 packages

// Word of the read reply that carries filter k's setting (0-based k): 2, 5, 8, 11.
constexpr int settingWord(int k) { return 3 * (k + 1) - 1; }

void showFilterState(int k, int on) {
    SetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, on);
    SetCtrlAttribute(panelFILTER, FILTER_SETTING_1 + k, ATTR_DIMMED, on ? 0 : 1);
}

void showProgress(int n) {
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR, VAL_YELLOW);
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_VISIBLE, 1);
    SetCtrlVal(panelMAIN, MAIN_PROGRESS, n * 100 / kProgressSteps);
}

// One package: `count` image words from `first`, written at the matching
// controller address. Shows "Write package n ... " and appends "OK.". The
// request is built in its own words: the events delivered before it goes
// out may run other commands.
CommandOutcome writePackage(const unsigned short *image, int first, int count, int n) {
    unsigned short request[PNUM] = {};
    unsigned short reply[PNUM];
    request[0] = static_cast<unsigned short>(FILTER_MEMORY + first);
    request[1] = static_cast<unsigned short>(count);
    std::copy(image + first, image + first + count, request + 2);
    char step[32];
    std::snprintf(step, sizeof step, "Write package %i ... ", n);
    const CommandOutcome outcome = ExchangeStep(step, kWritePackage, request, reply);
    if (outcome == CommandOutcome::Done) StatusStepDone(step, "OK.");
    return outcome;
}

} // namespace

void BuildFilterImage(unsigned short image[FILTER_IMAGE_WORDS]) {
    std::fill(image, image + FILTER_IMAGE_WORDS, 0);
    // There is no filter design that turns a setting into coefficients, so
    // an enabled filter is written like the others, as pass-through and off;
    // the panel tells the operator so.
    for (int k = 0; k < FILTER_COUNT; ++k) {
        image[FILTER_COEFFICIENTS * k] = FILTER_UNITY;
        unsigned short *triple = image + FILTER_TRIPLES + 3 * k;
        triple[0] = 2;
        triple[1] = FILTER_OFF;
        triple[2] = FILTER_UNITY;
    }
}

CommandOutcome WriteFilterMemory(const unsigned short *image) {
    // The image is copied first: whatever runs during the waits below, the
    // memory gets the image as it was when the write began.
    unsigned short words[FILTER_IMAGE_WORDS];
    std::copy(image, image + FILTER_IMAGE_WORDS, words);

    CommandOutcome outcome = AcknowledgedCommand(kStopSampling, "Stop sampling ... ");
    if (outcome != CommandOutcome::Done) return outcome;

    unsigned short request[PNUM] = {};
    unsigned short reply[PNUM];
    request[0] = FILTER_MEMORY;
    constexpr char kErasing[] = "Erase page ... ";
    if ((outcome = ExchangeStep(kErasing, kErasePage, request, reply)) != CommandOutcome::Done) return outcome;
    StatusStepDone(kErasing, "OK.");
    int n = 1;
    showProgress(n);

    for (int i = 0; i < kFullPackages; ++i) {
        if ((outcome = writePackage(words, kPackageWords * i, kPackageWords, n)) != CommandOutcome::Done)
            return outcome;
        showProgress(++n);
    }
    outcome = writePackage(words, kPackageWords * kFullPackages, kLastPackageWords, n);
    if (outcome == CommandOutcome::Done) showProgress(++n);
    return outcome;
}

int sendFilterCoefficients(const unsigned short *image) {
    return WriteFilterMemory(image) == CommandOutcome::Done ? 0 : -1;
}

CommandOutcome ReadFilterSettings() {
    unsigned short request[PNUM] = {};
    unsigned short reply[PNUM];
    request[0] = kReadSettings;
    constexpr char kReading[] = "Read filter settings ... ";
    const CommandOutcome outcome = ExchangeStep(kReading, kReadFilter, request, reply);
    if (outcome != CommandOutcome::Done) return outcome;
    StatusStepDone(kReading, "OK.");
    ProcessSystemEvents();
    for (int k = 0; k < FILTER_COUNT; ++k) {
        const unsigned short setting = reply[settingWord(k)];
        if (setting == FILTER_OFF) {
            showFilterState(k, 0);
        } else {
            showFilterState(k, 1);
            SetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, static_cast<int>(setting));
        }
    }
    return outcome;
}

int CC_RNG_FILTER(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (int k = 0; k < FILTER_COUNT; ++k) {
        int on = 0;
        GetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, &on);
        SetCtrlAttribute(panelFILTER, FILTER_SETTING_1 + k, ATTR_DIMMED, on ? 0 : 1);
    }
    return 0;
}

int CC_NUM_FILTER(int, int, int, void *, int, int) { return 0; }

namespace {
// The outcome of a filter command, with the status line's error as its reason.
Outcome filterOutcome(CommandOutcome outcome) {
    return outcome == CommandOutcome::Done ? Outcome::Done() : Outcome::Failed(CommandOutcomeText(outcome));
}
} // namespace

Outcome GetFilter() {
    // While a measuring loop runs the read does nothing at all, not even
    // say why; any other holder of the link says it is busy.
    if (OperationRunning(Operation::Measuring) && !CommandAllowed(Command::GetFilter))
        return Outcome::Refused(RefusalReason(Command::GetFilter));
    if (const char *busy = RefusalReason(Command::GetFilter); *busy) {
        ShowRefusal(busy);
        return Outcome::Refused(busy);
    }
    OperationHold hold(Operation::Filter);
    return filterOutcome(ReadFilterSettings());
}

Outcome SendFilter() {
    constexpr char kFilterWritten[] = "Filter data successfully written.";
    // Writing the filter stops sampling: a running loop would go on reading
    // frozen values, and the writes would come between its requests.
    if (OperationRunning(Operation::Measuring)) {
        constexpr char kStopFirst[] = "Please stop the measurement first!";
        MessagePopup("ERROR", kStopFirst);
        return Outcome::Refused(kStopFirst);
    }
    if (const char *busy = RefusalReason(Command::SendFilter); *busy) {
        ShowRefusal(busy);
        return Outcome::Refused(busy);
    }
    if (const std::string why = ControllerWriteRefusal(); !why.empty()) {
        SetStatus(why.c_str());
        return Outcome::Refused(why);
    }
    OperationHold hold(Operation::Filter);
    BuildFilterImage(filterimage);
    const CommandOutcome written = WriteFilterMemory(filterimage);
    switch (written) {
    case CommandOutcome::Done: SetStatus(kFilterWritten); break;
    case CommandOutcome::Refused: break; // the status line says why
    default: SetStatus("Failure while writing filter data."); break;
    }
    Outcome outcome = filterOutcome(written);
    if (outcome.done()) outcome.reason = kFilterWritten;
    if (written == CommandOutcome::Refused) outcome.kind = OutcomeKind::Refused;
    // A write that started is on record, whether it ended well or not.
    else {
        ControllerNote note;
        note.write = true;
        note.memory = NotedMemory::Filter;
        note.kind = outcome.kind;
        note.reason = outcome.reason;
        note.words.assign(filterimage, filterimage + FILTER_IMAGE_WORDS);
        NoteController(note);
    }
    return outcome;
}

int CC_CMD_GET_FILTER(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) GetFilter();
    return 0;
}

int CC_CMD_SEND_FILTER(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) SendFilter();
    return 0;
}

void RegisterFilterCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_RNG_FILTER", CC_RNG_FILTER},
        {"CC_NUM_FILTER", CC_NUM_FILTER},
        {"CC_CMD_GET_FILTER", CC_CMD_GET_FILTER},
        {"CC_CMD_SEND_FILTER", CC_CMD_SEND_FILTER},
    };
    RegisterCallbacks(table);
}
