// Measurement requests and the measurement record: the live values, status
// bits and event positions in rawdata, the recorded curves of both channels,
// the DATA loop and the indicators fed from rawdata.
#pragma once

#include "link/frame.h"

#include <string>

constexpr int RAWDATA_WORDS = 48;
constexpr int CURVE_SAMPLES = 512;

extern unsigned short rawdata[RAWDATA_WORDS];
extern unsigned short yArrayA[CURVE_SAMPLES]; // source 1: channel A
extern unsigned short yArrayB[CURVE_SAMPLES]; // source 2: channel B
// Samples per channel that the last DATA pass read into yArrayA and yArrayB
// and the trigger data into rawdata; 0 while no pass has been completed, and
// again once a graph capture writes its own curves over them.
extern int dataCurveSamples;

// rawdata words used by name.
constexpr int RD_NORM = 1;    // words 1..4
constexpr int RD_RAW = 5;     // words 5..8
constexpr int RD_MAXRAW = 9;  // words 9..12
constexpr int RD_STATUS1 = 13;
constexpr int RD_STATUS2 = 14;
constexpr int RD_ANALOG = 15;
constexpr int RD_RESULT = 18; // words 18..21
constexpr int RD_EVAL1 = 22;  // 16.16, words 22-23
constexpr int RD_EVAL2 = 24;
constexpr int RD_VALUE3 = 26;
constexpr int RD_VALUE4 = 28;
constexpr int RD_VALUE5 = 30;
constexpr int RD_RESET_A_EVENT = 33;
constexpr int RD_RESET_B_EVENT = 34;
constexpr int RD_EVAL1_EVENT = 37;
constexpr int RD_EVAL2_EVENT = 38;

// Outcome of one measurement request: the exchange's own result.
enum {
    MEAS_BUSY = EXCHANGE_BUSY,
    MEAS_ECHO = EXCHANGE_BAD_ECHO,
    MEAS_LOST = EXCHANGE_LOST,
    MEAS_OK = EXCHANGE_OK,
};
// Status text of a failed request ("Error! Connection lost.",
// "Error! Sensor echo incorrect." or the busy text).
const char *MeasureErrorText(int result);

// One command-8 request: part 1 (words 0-15), part 2 (16-31) or the trigger
// data (32-47) into rawdata.
enum { RAW_PART1 = 1, RAW_PART2 = 2, RAW_TRIGGER = 3 };
int RequestRawdata(int part);
// Counts the live-value reads whose second part arrived: two readers of
// rawdata that see the same count saw the same values.
unsigned long LiveValuesRead();
// One command-9 request: 16 samples of source 1 (channel A) or 2 (channel B)
// from sample `first` into reply; the reply's command word (0x09FF: no new
// trigger event) goes to replyCommand.
int RequestCurveBlock(int source, int first, unsigned short reply[16], int *replyCommand);
// Command 9 with word 0 = 0x6400: the controller waits for its next trigger.
int RequestRearm();
// True at most once a frame period (1/60 s): a fast loop then brings what
// it shows up to date; in between it only keeps its data.
bool DisplayFrameDue();
// Copies the preselected scales into force, then PlotDATA (every row enters
// the strip-chart history) and, when show is set, SetPanelDATA; otherwise
// the indicators wait for a later call or FlushLiveDisplay.
void UpdateLiveDisplay(bool show = true);
// SetPanelDATA when an UpdateLiveDisplay left the indicators behind, so
// they show the last values read when a loop ends.
void FlushLiveDisplay();
// A sub-panel just shown takes the latest values its indicators missed
// while hidden (SetPanelDATA writes only the panels in sight).
void ShowMissedValues(int panel);

// The status text and progress bar of a fast loop, put on the main panel at
// most once a frame period: a loop calls frame() where a new picture may
// begin (RUN once a cycle, DATA before every block); what it sets between
// two frames waits, and flush() shows the latest when the loop ends.
class PacedDisplay {
  public:
    explicit PacedDisplay(int progressColor) : color_(progressColor) {}
    bool frame(); // true when this part of the loop is shown
    bool showing() const { return show_; }
    void progress(int percent);
    void status(const char *text);
    void appendStatus(const char *text);
    void flush();

  private:
    int color_;
    bool show_ = true;
    std::string status_;
    int progress_ = 0;
    bool statusBehind_ = false, progressBehind_ = false;
};
// The live-values read: parts 1 and 2, then the display while stop_flag is 0.
int ReadLiveValues();

// Samples fetched per channel by a single data read: 512 at x scale 500,
// else 128.
int SampleCount();
// Position of an event marker on the DATA graph for event word `word`
// (33, 34, 37, 38) with the recording interval of `channel` (0 = A, 1 = B);
// false when there is no marker (no event, a zero scan rate or quotient, or
// a position outside 0 <= x < n).
bool EventMarkerPosition(int word, int channel, int n, double *x);

// Copies rawdata into the main, intensity and big-digits indicators.
void SetPanelDATA();

int CC_CMD_DATA(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RNG_DETAILEDDATA(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RADIO_TRACES(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
