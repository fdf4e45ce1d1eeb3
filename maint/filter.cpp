#include "maint/filter.h"

#include "core/groups.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "maint/command.h"
#include "ui/engine/engine.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <iterator>

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
// controller address. Shows "Write package n ... " and appends "OK.".
bool writePackage(const unsigned short *image, int first, int count, int n) {
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    emptyframe[0] = static_cast<unsigned short>(FILTER_MEMORY + first);
    emptyframe[1] = static_cast<unsigned short>(count);
    std::copy(image + first, image + first + count, emptyframe + 2);
    SetStatusF("Write package %i ... ", n);
    ProcessSystemEvents();
    // FillTxBuf copies the payload, so the request survives what the events did.
    if (!ExchangeOrGiveUp(kWritePackage, emptyframe, emptyframe)) return false;
    AppendStatus("OK.");
    return true;
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

int sendFilterCoefficients(const unsigned short *image) {
    if (!AcknowledgedCommand(kStopSampling, "Stop sampling ... ")) return -1;

    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    emptyframe[0] = FILTER_MEMORY;
    SetStatus("Erase page ... ");
    ProcessSystemEvents();
    if (!ExchangeOrGiveUp(kErasePage, emptyframe, emptyframe)) return -1;
    AppendStatus("OK.");
    int n = 1;
    showProgress(n);

    for (int i = 0; i < kFullPackages; ++i) {
        if (!writePackage(image, kPackageWords * i, kPackageWords, n)) return -1;
        showProgress(++n);
    }
    if (!writePackage(image, kPackageWords * kFullPackages, kLastPackageWords, n)) return -1;
    showProgress(++n);
    return 0;
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

int CC_CMD_GET_FILTER(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    // A measuring loop owns the link; reading now would come between its requests.
    if (stop_flag != 1) return 0;
    if (ExchangeRefusedWhileBusy()) return 0;
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    emptyframe[0] = kReadSettings;
    SetStatus("Read filter settings ... ");
    ProcessSystemEvents();
    if (!ExchangeOrGiveUp(kReadFilter, emptyframe, emptyframe)) return 0;
    AppendStatus("OK.");
    ProcessSystemEvents();
    for (int k = 0; k < FILTER_COUNT; ++k) {
        const unsigned short setting = emptyframe[settingWord(k)];
        if (setting == FILTER_OFF) {
            showFilterState(k, 0);
        } else {
            showFilterState(k, 1);
            SetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, static_cast<int>(setting));
        }
    }
    return 0;
}

int CC_CMD_SEND_FILTER(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    // Writing the filter stops sampling: a running loop would go on reading
    // frozen values, and the writes would come between its requests.
    if (stop_flag != 1) {
        MessagePopup("ERROR", "Please stop the measurement first!");
        return 0;
    }
    if (ExchangeRefusedWhileBusy()) return 0;
    BuildFilterImage(filterimage);
    if (sendFilterCoefficients(filterimage) == 0) SetStatus("Filter data successfully written.");
    else SetStatus("Failure while writing filter data.");
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
