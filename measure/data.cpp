#include "measure/data.h"

#include "core/owner.h"
#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "measure/graphs.h"
#include "measure/sampling.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/bigdata_ids.h"
#include "ui/panels/intensity_ids.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

unsigned short rawdata[RAWDATA_WORDS];
unsigned short yArrayA[CURVE_SAMPLES];
unsigned short yArrayB[CURVE_SAMPLES];
int dataCurveSamples = 0;

namespace {

constexpr int kMeasureCommand = 8;
constexpr int kCurveCommand = 9;
constexpr unsigned short kBase = 0x6400;
constexpr int kBlock = 16;

// Live-value reads completed (part 2 received) since the program started.
unsigned long g_liveValuesRead = 0;

// One request: payload words 0 and 1, the rest 0. The reply's 16 words go to
// reply, its command word to replyCommand.
int request(int command, unsigned short w0, unsigned short w1, unsigned short reply[PNUM],
            int *replyCommand = nullptr) {
    unsigned short payload[PNUM] = {};
    payload[0] = w0;
    payload[1] = w1;
    const ExchangeResult result = Exchange(command, payload, reply);
    if (result == EXCHANGE_OK && replyCommand) *replyCommand = order;
    return result;
}

void showProgress(int p, int color = VAL_DK_GREEN) {
    SetCtrlAttribute(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR, color);
    SetCtrlVal(panelMAIN, MAIN_PROGRESS, p);
}

int32_t signedField(const unsigned short *rec, int word) { return static_cast<int32_t>(GetField32(rec, word)); }
double realValue(const unsigned short *rd, int word) { return signedField(rd, word) / 65536.0; }
int integerPart(const unsigned short *rd, int word) { return FixedIntegerPart(GetField32(rd, word)); }

// The intensity panel's rows, channels A to D.
constexpr int kNorm = INTENSITY_NORM_A, kRaw = INTENSITY_RAW_A, kMaxRaw = INTENSITY_MAXRAW_A,
              kResult = INTENSITY_RESULT_A;
constexpr int kLamps[5] = {INTENSITY_STATUS_1, INTENSITY_STATUS_2, INTENSITY_STATUS_3, INTENSITY_STATUS_4,
                           INTENSITY_STATUS_5};

void showRow(int first, int channels, int visible) {
    for (int c = 0; c < channels; ++c) SetCtrlAttribute(panelINTENSITY, first + c, ATTR_VISIBLE, visible);
}

// The indicators follow a fast loop at the screen's pace: the values of
// cycles between two frames only wait for the next one.
constexpr double kFramePeriod = 1.0 / 60.0;
double g_lastFrame = -1.0;
bool g_panelsPending = false;
unsigned short g_pendingValues[RAWDATA_WORDS]; // the values the indicators still owe

// The main, intensity and big-digits indicators from the live values rd;
// a hidden sub-panel's only when it is shown (ShowMissedValues).
void showValues(const unsigned short *rd);
unsigned short g_latestValues[RAWDATA_WORDS]; // the values last shown
bool g_intensityMissed = false, g_bigDigitsMissed = false;

int detailSelection() {
    int v = 1;
    GetCtrlVal(panelINTENSITY, INTENSITY_DETAIL, &v);
    return v;
}

} // namespace

const char *MeasureErrorText(int result) {
    return ExchangeErrorText(result == MEAS_OK ? EXCHANGE_BAD_ECHO : static_cast<ExchangeResult>(result));
}

int RequestRawdata(int part) {
    const unsigned short w0 = part == RAW_PART1 ? 0x6401 : part == RAW_PART2 ? 0x6402 : 0x6411;
    const int first = (part - 1) * kBlock;
    const int result = request(kMeasureCommand, w0, 0, rawdata + first);
    if (part == RAW_PART2 && result == MEAS_OK) ++g_liveValuesRead;
    return result;
}

unsigned long LiveValuesRead() { return g_liveValuesRead; }

int RequestCurveBlock(int source, int first, unsigned short reply[PNUM], int *replyCommand) {
    return request(kCurveCommand, static_cast<unsigned short>(kBase + source), static_cast<unsigned short>(first),
                   reply, replyCommand);
}

int RequestRearm() {
    unsigned short reply[PNUM];
    return request(kCurveCommand, kBase, 0, reply);
}

bool DisplayFrameDue() {
    const double now = Timer();
    if (g_lastFrame >= 0.0 && now - g_lastFrame < kFramePeriod && now >= g_lastFrame) return false;
    g_lastFrame = now;
    return true;
}

void UpdateLiveDisplay(bool show) {
    y_scale = y_scale_preselect;
    x_scale = x_scale_preselect;
    PlotDATA(); // every row enters the history, shown or not
    g_panelsPending = !show;
    if (show) SetPanelDATA();
    else std::copy(std::begin(rawdata), std::end(rawdata), std::begin(g_pendingValues));
}

void FlushLiveDisplay() {
    if (!g_panelsPending) return;
    g_panelsPending = false;
    showValues(g_pendingValues); // rawdata may hold part of a cycle that was stopped since
}

bool PacedDisplay::frame() {
    show_ = DisplayFrameDue();
    return show_;
}

void PacedDisplay::progress(int percent) {
    progress_ = percent;
    progressBehind_ = !show_;
    if (show_) showProgress(percent, color_);
}

void PacedDisplay::status(const char *text) {
    status_ = text;
    // A refusal shown meanwhile stays readable; the loop's text follows later.
    statusBehind_ = !show_ || RefusalStillShown();
    if (!statusBehind_) SetStatus(text);
}

void PacedDisplay::appendStatus(const char *text) {
    status_ += text;
    if (RefusalStillShown()) {
        statusBehind_ = true;
    } else if (show_ && !statusBehind_) {
        AppendStatus(text);
    } else if (show_) {
        SetStatus(status_.c_str());
        statusBehind_ = false;
    }
}

void PacedDisplay::flush() {
    if (statusBehind_) ShowLoopStatus(status_.c_str());
    if (progressBehind_) showProgress(progress_, color_);
    statusBehind_ = progressBehind_ = false;
    FlushLiveDisplay();
}

int ReadLiveValues() {
    int r = RequestRawdata(RAW_PART1);
    if (r == MEAS_OK) r = RequestRawdata(RAW_PART2);
    if (r == MEAS_OK && stop_flag == 0) UpdateLiveDisplay();
    return r;
}

int SampleCount() { return x_scale == 500 ? CURVE_SAMPLES : 128; }

bool EventMarkerPosition(int word, int channel, int n, double *x) {
    const int w = static_cast<int16_t>(rawdata[word]);
    if (w >= 0) return false;
    const int interval = static_cast<int16_t>(param[channel == 0 ? PW_CHA_REC_INTERVAL : PW_CHB_REC_INTERVAL]);
    const int rate = param[PW_SCANRATE];
    if (rate == 0) return false;
    const int q = interval / rate;
    if (q == 0) return false;
    const double pos = w / static_cast<double>(q) + 512.0;
    if (pos < 0.0 || pos >= n) return false;
    *x = pos;
    return true;
}

namespace {

bool panelInSight(int panel) {
    int visible = 0;
    GetPanelAttribute(panel, ATTR_VISIBLE, &visible);
    return visible != 0;
}

void showBigDigits(const unsigned short *rd) {
    SetCtrlVal(panelBIGDATA, BIGDATA_EVAL1, realValue(rd, RD_EVAL1));
    SetCtrlVal(panelBIGDATA, BIGDATA_EVAL2, realValue(rd, RD_EVAL2));
}

void showIntensity(const unsigned short *rd) {
    for (int c = 0; c < 4; ++c) {
        SetCtrlVal(panelINTENSITY, kNorm + c, static_cast<int>(rd[RD_NORM + c]));
        SetCtrlVal(panelINTENSITY, kRaw + c, static_cast<int>(rd[RD_RAW + c]));
        SetCtrlVal(panelINTENSITY, kMaxRaw + c, static_cast<int>(rd[RD_MAXRAW + c]));
        SetCtrlVal(panelINTENSITY, kResult + c, static_cast<int>(rd[RD_RESULT + c]));
    }
    SetCtrlVal(panelINTENSITY, kLamps[0], rd[RD_STATUS1] & 1);
    SetCtrlVal(panelINTENSITY, kLamps[1], (rd[RD_STATUS1] >> 1) & 1);
    SetCtrlVal(panelINTENSITY, kLamps[2], rd[RD_STATUS2] & 1);
    SetCtrlVal(panelINTENSITY, kLamps[3], (rd[RD_STATUS2] >> 1) & 1);
    SetCtrlVal(panelINTENSITY, kLamps[4], (rd[RD_STATUS2] >> 2) & 1);
    SetCtrlVal(panelINTENSITY, INTENSITY_ANALOG, 10.0 * rd[RD_ANALOG] / 4095.0);
}

void showValues(const unsigned short *rd) {
    if (rd != g_latestValues) std::copy(rd, rd + RAWDATA_WORDS, g_latestValues);
    SetCtrlVal(panelMAIN, MAIN_NUM_EVAL1_INT, integerPart(rd, RD_EVAL1));
    SetCtrlVal(panelMAIN, MAIN_NUM_EVAL2_INT, integerPart(rd, RD_EVAL2));
    SetCtrlVal(panelMAIN, MAIN_NUM_VALUE3, integerPart(rd, RD_VALUE3));
    SetCtrlVal(panelMAIN, MAIN_NUM_VALUE4, integerPart(rd, RD_VALUE4));
    SetCtrlVal(panelMAIN, MAIN_NUM_VALUE5, integerPart(rd, RD_VALUE5));
    SetCtrlVal(panelMAIN, MAIN_NUM_EVAL1, realValue(rd, RD_EVAL1));
    SetCtrlVal(panelMAIN, MAIN_NUM_EVAL2, realValue(rd, RD_EVAL2));
    g_bigDigitsMissed = !panelInSight(panelBIGDATA);
    if (!g_bigDigitsMissed) showBigDigits(rd);
    g_intensityMissed = !panelInSight(panelINTENSITY);
    if (!g_intensityMissed) showIntensity(rd);
}

} // namespace

void SetPanelDATA() { showValues(rawdata); }

void ShowMissedValues(int panel) {
    if (panel == panelBIGDATA && g_bigDigitsMissed) {
        g_bigDigitsMissed = false;
        showBigDigits(g_latestValues);
    } else if (panel == panelINTENSITY && g_intensityMissed) {
        g_intensityMissed = false;
        showIntensity(g_latestValues);
    }
}

int CC_CMD_DATA(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (CommandRefused(Command::Data)) return 0;
    OperationHold hold(Operation::Measuring);
    EnterMeasuringState(MAIN_CMD_DATA);
    stop_flag = 0;
    bool prepared = false;
    int failure = MEAS_OK;
    unsigned short reply[PNUM];
    char text[128];
    // Status and progress follow the screen's pace; with 68 exchanges a
    // pass, most blocks arrive between two frames.
    PacedDisplay display(VAL_DK_GREEN);
    for (;;) {
        const double begin = Timer();
        for (double left = 0.1; left > 0.0; left = 0.1 - (Timer() - begin)) WaitForSystemEvents(left);
        // STOP pressed during the wait ends the loop here, not after another
        // pass of 68 exchanges (seconds on a slow serial line).
        if (stop_flag != 0) break;

        y_scale = y_scale_preselect;
        x_scale = x_scale_preselect;
        const int n = SampleCount();
        int p = 0;
        display.frame();
        display.progress(p);
        for (int s = 1; s <= 2 && failure == MEAS_OK; ++s) {
            unsigned short *curve = s == 1 ? yArrayA : yArrayB;
            for (int i = 0; i < n; i += kBlock) {
                p = ((s - 1) * n + i) * 100 / (2 * n + 32);
                int command = 0;
                display.frame();
                display.progress(p);
                failure = RequestCurveBlock(s, i, reply, &command);
                if (failure != MEAS_OK) break;
                if (command == kNoNewData) {
                    display.status("No new trigger event. No data availible.");
                    ProcessSystemEvents();
                    break;
                }
                std::snprintf(text, sizeof text, "Data from source %i index %i to index %i received.", s, i,
                              i + kBlock);
                std::copy(reply, reply + kBlock, curve + i);
                display.status(text);
                ProcessSystemEvents();
            }
        }
        if (failure != MEAS_OK) break;

        display.frame();
        if ((failure = RequestRawdata(RAW_PART1)) != MEAS_OK) break;
        display.status("Rawdata (part 1) received.");
        p = (2 * p + 100) / 3;
        display.progress(p);
        ProcessSystemEvents();

        if ((failure = RequestRawdata(RAW_PART2)) != MEAS_OK) break;
        display.status("Rawdata (part 2) received.");
        p = (p + 200) / 3;
        display.progress(p);
        ProcessSystemEvents();

        if (stop_flag == 0) UpdateLiveDisplay(display.showing());

        if ((failure = RequestRawdata(RAW_TRIGGER)) != MEAS_OK) break;
        display.status("Rawdata (trigger data) received.");
        display.progress(p);
        ProcessSystemEvents();

        if ((failure = RequestRearm()) != MEAS_OK) break;
        dataCurveSamples = n;
        display.appendStatus(" Trigger rearmed.");
        display.progress(100);
        ProcessSystemEvents();

        if (stop_flag == 0) {
            if (!prepared) PreparePlotDATACurve(graph_handle, 2);
            prepared = true;
            RedrawDATAGraph();
            if (runHooks.curvesRead) runHooks.curvesRead(n);
        }
        if (stop_flag != 0) break;
    }
    display.flush();
    GiveUpLink(static_cast<ExchangeResult>(failure));
    EnterIdleState(MAIN_CMD_DATA, failure);
    return 0;
}

int CC_RNG_DETAILEDDATA(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (int row : {kNorm, kRaw, kMaxRaw, kResult}) showRow(row, 4, 0);
    for (int id : kLamps) SetCtrlAttribute(panelINTENSITY, id, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panelINTENSITY, INTENSITY_ANALOG, ATTR_VISIBLE, 0);
    switch (detailSelection()) {
    case 1:
        showRow(kNorm, 2, 1);
        showRow(kResult, 2, 1);
        break;
    case 3:
        for (int id : kLamps) SetCtrlAttribute(panelINTENSITY, id, ATTR_VISIBLE, 1);
        SetCtrlAttribute(panelINTENSITY, INTENSITY_ANALOG, ATTR_VISIBLE, 1);
        break;
    default:
        showRow(kMaxRaw, 2, 1);
        showRow(kRaw, 2, 1);
        break;
    }
    return 0;
}

int CC_RADIO_TRACES(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (detailSelection() == 1) {
        showRow(kNorm, 4, 1);
        showRow(kResult, 4, 1);
    } else {
        showRow(kMaxRaw, 4, 1);
        showRow(kRaw, 4, 1);
    }
    return 0;
}
