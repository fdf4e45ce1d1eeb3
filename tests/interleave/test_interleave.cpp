// Clicks during long operations. Every wait of a long operation delivers
// events, so the operator can press any enabled command in the middle of it.
// Here each long operation runs against the simulator while, at every event
// delivery inside it, a real mouse click lands on one enabled command of a
// shown panel, chosen by a seeded generator. After each run every request
// the simulator received must be well formed for its command, and the
// operation must have finished with exactly the right data or said that it
// failed.
#include "tests/recorder/recorder_fixture.h"

#include "tests/fixtures/filter_image.h"
#include "tests/maint/update_fixture.h"

#include "core/owner.h"
#include "maint/filter.h"
#include "maint/testmode.h"
#include "params/binding.h"
#include "params/compare.h"
#include "params/record.h"
#include "params/transfer.h"
#include "ui/panels/compare_ids.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/test_ids.h"
#include "ui/panels/update_ids.h"

#include <QTest>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <sstream>

namespace {

enum class Op { FilterWrite, FilterRead, EnterTest, LeaveTest, SendParams, GetParams, Compare, Run, Data, Recording, Capture };
constexpr Op kOps[] = {Op::FilterWrite, Op::FilterRead, Op::EnterTest, Op::LeaveTest, Op::SendParams, Op::GetParams,
                       Op::Compare,     Op::Run,        Op::Data,      Op::Recording, Op::Capture};
const char *name(Op op) {
    switch (op) {
    case Op::FilterWrite: return "filter write";
    case Op::FilterRead: return "filter read";
    case Op::EnterTest: return "test mode entry";
    case Op::LeaveTest: return "test mode exit";
    case Op::SendParams: return "parameter send";
    case Op::GetParams: return "parameter get";
    case Op::Compare: return "compare read";
    case Op::Run: return "RUN";
    case Op::Data: return "DATA";
    case Op::Recording: return "automatic recording";
    case Op::Capture: return "graph capture";
    }
    return "?";
}

// Every command the operator can press on the panels shown during the runs.
struct Target {
    int *panel;
    int control;
};
const Target kTargets[] = {
    {&panelMAIN, MAIN_CMD_RUN},          {&panelMAIN, MAIN_CMD_STOP},
    {&panelMAIN, MAIN_CMD_DATA},         {&panelMAIN, MAIN_CMD_TRIGGER},
    {&panelMAIN, MAIN_CMD_RESET},        {&panelMAIN, MAIN_CMD_TEACH},
    {&panelMAIN, MAIN_CMD_STOP_SAMPLING}, {&panelMAIN, MAIN_CMD_RESTART_SAMPLING},
    {&panelMAIN, MAIN_CMD_VERSION},      {&panelMAIN, MAIN_BTN_SEND},
    {&panelMAIN, MAIN_BTN_GET},          {&panelFILTER, FILTER_CMD_GET},
    {&panelFILTER, FILTER_CMD_SEND},     {&panelTEST, TEST_CMD_ENTER},
    {&panelTEST, TEST_CMD_EXIT},         {&panelTEST, TEST_LAMP_1},
    {&panelTEST, TEST_LAMP_2},           {&panelRECORDER, RECORDER_START},
    {&panelRECORDER, RECORDER_STOP},     {&panelRECORDER, RECORDER_BREAK},
    {&panelRECORDER, RECORDER_CAPTURE_GRAPH}, {&panelUPDATE, UPDATE_CMD_PROGRAM},
};

struct Figures {
    int operations = 0;
    int interleavings = 0;
    long frames = 0;
    int faults = 0;
    int completed = 0; // ended with the right data (the rest said they failed)
    std::vector<std::string> faultNotes;
};

// One request checked against what its command carries. Empty when sound.
std::string FrameProblem(const Request &r) {
    if (r[0] != 0x00 || r[1] != 0x55) return "no sync";
    const int c = command(r);
    auto zeroFrom = [&](int first) {
        for (int i = first; i < 16; ++i)
            if (word(r, i) != 0) return false;
        return true;
    };
    const int w0 = word(r, 0);
    const bool setNumber = w0 >= 0x6401 && w0 <= 0x640C;
    switch (c) {
    case 1:
    case 2:
        if (w0 == 0x6400) return zeroFrom(1) ? "" : "control frame with data";
        return setNumber ? "" : "set number out of 1-12";
    case 3:
    case 4: return w0 == 0x6400 && zeroFrom(1) ? "" : "bad control frame";
    case 5: case 6: case 7: case 10: case 11: case 13: case 14: return zeroFrom(0) ? "" : "payload not zero";
    case 8: return (w0 == 0x6401 || w0 == 0x6402 || w0 == 0x6411) && zeroFrom(1) ? "" : "bad rawdata request";
    case 9:
        if (w0 == 0x6400) return zeroFrom(1) ? "" : "bad re-arm";
        return (w0 == 0x6401 || w0 == 0x6402) && word(r, 1) % 16 == 0 && word(r, 1) < 512 && zeroFrom(2)
                   ? ""
                   : "bad curve request";
    case 12: {
        for (int i = 6; i < 10; ++i)
            if (word(r, i) != 0) return "test record words 6-9 not zero";
        for (int lamp : {10, 12})
            if (word(r, lamp) > 1 || word(r, lamp + 1) > 1 || (word(r, lamp) && word(r, lamp + 1)))
                return "lamp words";
        return "";
    }
    case 187:
        for (int i = 0; i < 16; ++i)
            if (word(r, i) != (i % 2 == 0 ? 0x5555 : 0xAAAA)) return "bad hand-over pattern";
        return "";
    case 21: return w0 == 0x6401 && zeroFrom(1) ? "" : "bad filter read";
    case 180: return w0 == 0x1100 && zeroFrom(1) ? "" : "bad erase";
    case 182: {
        const int count = word(r, 1);
        if (w0 < 0x1100 || count < 1 || count > 14 || w0 + count > 0x1200) return "package outside the filter memory";
        if ((w0 - 0x1100) % 14 != 0 || (count != 14 && w0 != 0x11FC)) return "package not on a package boundary";
        return zeroFrom(2 + count) ? "" : "package words beyond its count";
    }
    default: break;
    }
    char text[48];
    std::snprintf(text, sizeof text, "unexpected command %d", c);
    return text;
}

bool StartsWith(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

// The status line says the operation did not complete.
bool SaysFailed(const std::string &status) {
    return StartsWith(status, "Error!") || StartsWith(status, "Busy!") ||
           status == "Failure while writing filter data." || status == "Failed to initialize parameter copy." ||
           status.find("from sensor failed") != std::string::npos ||
           status == "Recording interrupted prior to completion.";
}

inline QWidget *WidgetOf(const Target &t) { return static_cast<QWidget *>(GetCtrlWidget(*t.panel, t.control)); }

// The operator's hand: installed as the engine's event-delivery hook, it
// clicks one enabled command at every delivery while armed.
class Clicker {
  public:
    std::mt19937 rng;
    bool armed = false;
    int clicks = 0;          // interleavings in the present run
    int stopAfter = -1;      // the run's own STOP click after this many deliveries
    double stopAt = 0;       // or once this time has come
    Target stopTarget{&panelMAIN, MAIN_CMD_STOP};
    const Target *only = nullptr; // click this command at every delivery instead of a random one
    int takeovers = 0;       // clicks whose command ran on past the watchdog

    void install() {
        for (int panel : {panelMAIN, panelFILTER, panelTEST, panelRECORDER, panelUPDATE}) DisplayPanel(panel);
        SetEventDeliveryHook([](void *self) { static_cast<Clicker *>(self)->deliver(); }, this);
        // A clicked command that starts a loop of its own inside the run
        // would never end without the operator: the watchdog ends it.
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            if (clickStarted_ > 0 && Timer() - clickStarted_ > 0.5) {
                ++takeovers;
                clickStarted_ = 0;
                stop_flag = 1;
                recorder_stop_flag = 1;
            }
        });
        watchdog_.start(20);
    }
    void uninstall() {
        SetEventDeliveryHook(nullptr, nullptr);
        watchdog_.stop();
    }
    void click(QWidget *w) {
        clickStarted_ = Timer();
        QTest::mouseClick(w, Qt::LeftButton);
        clickStarted_ = 0;
    }
    // Starts an operation with its command and clicks until it ends.
    void press(int panel, int control) {
        armed = true;
        click(WidgetOf({&panel, control}));
        armed = false;
    }
    // Runs what a command's click runs, clicking as press does, and gives
    // the outcome it returned.
    Outcome run(const std::function<Outcome()> &operation) {
        armed = true;
        const Outcome outcome = operation();
        armed = false;
        return outcome;
    }

  private:
    // At every event delivery of an armed run: one click on an enabled
    // command, or the run's own STOP once it has had its share.
    void deliver() {
        if (!armed) return;
        if ((stopAfter >= 0 && clicks >= stopAfter) || (stopAt > 0 && Timer() > stopAt)) {
            stopAfter = -1;
            stopAt = 0;
            click(WidgetOf(stopTarget));
            return;
        }
        std::vector<const Target *> enabled;
        for (const Target &t : kTargets) {
            if (only && (t.panel != only->panel || t.control != only->control)) continue;
            QWidget *w = WidgetOf(t);
            if (w && w->isVisible() && w->isEnabled()) enabled.push_back(&t);
        }
        if (enabled.empty()) return;
        const Target &t = *enabled[std::uniform_int_distribution<std::size_t>(0, enabled.size() - 1)(rng)];
        ++clicks;
        click(WidgetOf(t));
    }

    double clickStarted_ = 0; // when the click now running began (0: none)
    QTimer watchdog_;
};

class Interleave : public RecorderTest {
  protected:
    Clicker hand;

    void SetUp() override {
        RecorderTest::SetUp();
        hand.install();
    }
    void TearDown() override {
        hand.uninstall();
        RecorderTest::TearDown();
    }

    // The program at rest, on a working link, with the controller sampling.
    void rest() {
        hand.armed = false;
        stop_flag = 1;
        recorder_stop_flag = 1;
        recstate = 1;
        sim.setFaults({});
        if (OperationRunning(Operation::TestMode) || Attr(panelTEST, TEST_CMD_EXIT, ATTR_DIMMED) == 0) {
            set_test_panel_controls(0, 1);
            OperateCtrl(panelTEST, TEST_CMD_EXIT);
        }
        ResetOperations();
        if (!tcpcon) {
            ASSERT_TRUE(openTcpLink(sim.tcpPort()));
        }
        set_main_buttons(1, 1, 1);
        set_test_panel_controls(1, 0);
        set_recorder_attributes(1, 1, -1, -1, -1);
        HidePanel(panelCOMPARE);
        OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
        OperateCtrl(panelMAIN, MAIN_CMD_RESTART_SAMPLING);
        ASSERT_TRUE(sim.sampling());
        sim.clearRequestLog();
        sim.clearFilterLog();
        hand.clicks = 0;
    }
    void press(int panel, int control) { hand.press(panel, control); }
    Outcome run(const std::function<Outcome()> &operation) { return hand.run(operation); }

    // Runs one operation with clicks; true when the outcome is sound.
    bool runOnce(Op op, unsigned seed, Figures &f, std::string *why);
    // The same with one command clicked at every delivery.
    void runClicking(const Target &command, Op op, unsigned seed) {
        hand.only = &command;
        Figures f;
        std::string why;
        EXPECT_TRUE(runOnce(op, seed, f, &why)) << name(op) << " seed " << seed << ": " << why;
        hand.only = nullptr;
    }
};

bool Interleave::runOnce(Op op, unsigned seed, Figures &f, std::string *why) {
    rest();
    hand.rng.seed(seed);
    std::uniform_int_distribution<int> any(0, 1 << 30);
    std::mt19937 &rng = hand.rng;
    // A controller that answers at once, or after a millisecond or two:
    // the waits then deliver events more often.
    sim::Faults pace;
    pace.delayMs = any(rng) % 3;
    sim.setFaults(pace);
    bool right = false;
    std::string status;
    switch (op) {
    case Op::FilterWrite: {
        sim::FilterImage before{};
        for (auto &w : before) w = static_cast<uint16_t>(any(rng));
        sim.setFilterImage(before);
        const Outcome outcome = run(SendFilter);
        status = StatusLine();
        right = sim.filterImage() == PassThroughImage();
        // Success is what the operator read and what a script acts on.
        const bool claimed = status == "Filter data successfully written." || outcome.done();
        if (claimed && !right) *why = "success, filter memory wrong";
        break;
    }
    case Op::FilterRead: {
        uint16_t settings[4];
        for (int k = 0; k < 4; ++k) {
            settings[k] = any(rng) % 3 == 0 ? 0xFFFF : static_cast<uint16_t>(10 + any(rng) % 491);
            sim.setFilterSetting(k, settings[k]);
            SetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, settings[k] == 0xFFFF ? 1 : 0);
            SetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, 10);
        }
        press(panelFILTER, FILTER_CMD_GET);
        status = StatusLine();
        right = true;
        for (int k = 0; k < 4; ++k) {
            int on = -1, value = -1;
            GetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, &on);
            GetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, &value);
            if (on != (settings[k] != 0xFFFF) || (on && value != settings[k])) right = false;
        }
        break;
    }
    case Op::EnterTest:
    case Op::LeaveTest: {
        const bool entering = op == Op::EnterTest;
        if (!entering) {
            OperateCtrl(panelTEST, TEST_CMD_ENTER);
            sim.clearRequestLog();
        }
        press(panelTEST, entering ? TEST_CMD_ENTER : TEST_CMD_EXIT);
        status = StatusLine();
        const bool testing = Attr(panelTEST, TEST_CMD_EXIT, ATTR_DIMMED) == 0;
        const bool mainReady = Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED) == 0;
        // The panels and the controller agree: test mode shown exactly while
        // the controller has stopped sampling, and the main commands only
        // ready outside it.
        right = testing == !sim.sampling() && !(testing && mainReady) && testing == entering;
        if (testing != !sim.sampling()) *why = testing ? "test mode shown, controller sampling" : "normal mode shown, controller stopped";
        break;
    }
    case Op::SendParams: {
        SetCtrlVal(panelPOWER, POWER_POWER, 1 + any(rng) % 200);
        // Send reads the panels over the record as it stands.
        unsigned short expected[PARAM_WORDS];
        std::copy(param, param + PARAM_WORDS, expected);
        GetPanelValues(expected);
        const Outcome outcome = run(SendPanels);
        status = StatusLine();
        const sim::ParamRecord ram = sim.ramRecord();
        right = true;
        int firstWrong = -1;
        for (int i = 0; i < PARAM_WORDS; ++i)
            if (i % 16 != 0 && ram[std::size_t(i)] != expected[i] && firstWrong < 0) firstWrong = i;
        right = firstWrong < 0;
        if ((status == "Activating parameter ... Done!" || outcome.done()) && !right)
            *why = "success, controller record wrong from word " + std::to_string(firstWrong) + " (" +
                   std::to_string(ram[std::size_t(firstWrong)]) + " for " + std::to_string(expected[firstWrong]) + ")";
        break;
    }
    case Op::GetParams: {
        sim::ParamRecord record = sim::Controller::defaultParams();
        record[1] = static_cast<uint16_t>(1 + any(rng) % 200);
        sim.setRamRecord(record);
        SetCtrlVal(panelPOWER, POWER_POWER, 250);
        const Outcome outcome = run(GetPanels);
        status = StatusLine();
        int power = -1;
        GetCtrlVal(panelPOWER, POWER_POWER, &power);
        right = power == record[1];
        for (int i = 0; i < PARAM_WORDS; ++i)
            if (i % 16 != 0 && param[i] != record[std::size_t(i)]) right = false;
        if ((status == "Parameter set successfully loaded from RAM" || outcome.done()) && !right)
            *why = "success, panels wrong";
        break;
    }
    case Op::Compare: {
        sim::ParamRecord record = sim::Controller::defaultParams();
        record[1] = static_cast<uint16_t>(1 + any(rng) % 200);
        sim.setRamRecord(record);
        SetCtrlVal(panelPOWER, POWER_POWER, 250);
        unsigned short panels[PARAM_WORDS], controller[PARAM_WORDS];
        std::copy(param, param + PARAM_WORDS, panels);
        GetPanelValues(panels);
        std::copy(record.begin(), record.end(), controller);
        for (int n = 1; n <= PARAM_SETS; ++n) controller[16 * (n - 1)] = static_cast<unsigned short>(n);
        const auto expected = CompareRecords(panels, controller);
        press(panelMAIN, MAIN_BTN_COMPARE);
        status = StatusLine();
        int shown = 0, rows = -1;
        GetPanelAttribute(panelCOMPARE, ATTR_VISIBLE, &shown);
        GetNumTableRows(panelCOMPARE, COMPARE_TABLE, &rows);
        // The view lists exactly the fields in which the panels and the
        // controller's RAM differ.
        right = shown && rows == static_cast<int>(expected.size());
        for (int row = 1; right && row <= rows; ++row) {
            std::string key;
            GetTableCellVal(panelCOMPARE, COMPARE_TABLE, row, COMPARE_COL_KEY, &key);
            if (key != expected[std::size_t(row - 1)].key) right = false;
        }
        if (shown && !right) *why = "compare view shows other differences";
        break;
    }
    case Op::Run:
    case Op::Data: {
        hand.stopAfter = 20 + any(rng) % 40;
        hand.stopTarget = {&panelMAIN, MAIN_CMD_STOP};
        press(panelMAIN, op == Op::Run ? MAIN_CMD_RUN : MAIN_CMD_DATA);
        hand.stopAfter = -1;
        status = StatusLine();
        // Nothing a click may do meanwhile stops the controller's sampling
        // under the loop, and the loop gives the commands back when it ends.
        right = sim.sampling() && stop_flag == 1;
        if (!right) *why = "sampling stopped under the loop";
        break;
    }
    case Op::Recording: {
        const std::string file = path(("rec" + std::to_string(seed) + ".csv").c_str());
        setType(REC_TYPE_AUTOMATIC);
        chooseFile(file);
        sim.clearRequestLog();
        const int rows = 4 + any(rng) % 4;
        SetCtrlVal(panelRECORDER, RECORDER_NUM_SETS, rows);
        SetCtrlVal(panelRECORDER, RECORDER_INTERVAL, 0.0);
        hand.stopAt = Timer() + 2.0;
        hand.stopTarget = {&panelRECORDER, RECORDER_STOP};
        press(panelRECORDER, RECORDER_START);
        hand.stopAt = 0;
        status = StatusLine();
        bool frozen = false;
        for (const Request &r : sim.requestLog())
            if (command(r) == 10 || command(r) == 180 || command(r) == 182) frozen = true;
        const RecordText text(ReadWholeFile(file));
        int dataRows = 0;
        for (int i = text.find(kColumnLine) + 1; i >= 1 && i < static_cast<int>(text.lines.size()); ++i) {
            const std::string &line = text.lines[std::size_t(i)];
            if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0]))) break;
            ++dataRows;
        }
        right = !frozen && sim.sampling() && dataRows == rows;
        if (StartsWith(status, "Recording successfully finished") && !right)
            *why = frozen ? "success, sampling stopped under the recording" : "success, rows missing";
        setType(REC_TYPE_MANUAL);
        break;
    }
    case Op::Capture: {
        const std::string file = path(("cap" + std::to_string(seed) + ".csv").c_str());
        chooseFile(file);
        sim.advanceTime(100'000);
        const auto a = sim.lastRecording(0), b = sim.lastRecording(1);
        sim.clearRequestLog();
        press(panelRECORDER, RECORDER_CAPTURE_GRAPH);
        status = StatusLine();
        right = a && b;
        for (int i = 0; right && i < CURVE_SAMPLES; ++i)
            if (yArrayA[i] != a->samples[std::size_t(i)] || yArrayB[i] != b->samples[std::size_t(i)]) right = false;
        if (status.find("Trigger rearmed.") != std::string::npos && !right) *why = "success, curves wrong";
        break;
    }
    }
    ++f.operations;
    f.interleavings += hand.clicks;
    const auto log = sim.requestLog();
    f.frames += static_cast<long>(log.size());
    for (const Request &r : log) {
        const std::string problem = FrameProblem(r);
        if (!problem.empty()) {
            std::ostringstream s;
            s << "frame " << command(r) << " " << std::hex << word(r, 0) << " " << word(r, 1) << ": " << problem;
            *why = s.str();
            return false;
        }
    }
    if (!why->empty()) return false;
    if (right) ++f.completed;
    if (!right && !SaysFailed(status)) {
        *why = "wrong result without a failure said (status \"" + status + "\")";
        return false;
    }
    return true;
}

// One seeded run of an operation; the seeds kept below once failed.
struct Case {
    Op op;
    unsigned seed;
};

unsigned BaseSeed() {
    const char *s = std::getenv("QVEX_INTERLEAVE_SEED");
    return s ? static_cast<unsigned>(std::strtoul(s, nullptr, 10)) : 20261207u;
}

TEST_F(Interleave, EveryLongOperationEndsRightOrSaysItFailedWhateverIsClickedMeanwhile) {
    Figures f;
    const unsigned base = BaseSeed();
    const double start = Timer();
    for (unsigned round = 0; f.interleavings < 2000 || round < 6 * std::size(kOps); ++round) {
        const Op op = kOps[round % std::size(kOps)];
        const unsigned seed = base + round;
        std::string why;
        if (!runOnce(op, seed, f, &why)) {
            ++f.faults;
            f.faultNotes.push_back(std::string(name(op)) + " seed " + std::to_string(seed) + ": " + why);
        }
        if (HasFatalFailure()) return;
        ASSERT_LT(Timer() - start, 50.0) << "too slow: " << f.interleavings << " interleavings so far";
    }
    f.faults += hand.takeovers;
    std::printf("interleaving: base seed %u, %d operations (%d completed right, the rest said they failed), "
                "%d interleavings, %ld frames checked, %d faults (%d clicks took over the run)\n",
                base, f.operations, f.completed, f.interleavings, f.frames, f.faults, hand.takeovers);
    for (const std::string &note : f.faultNotes) std::printf("  %s\n", note.c_str());
    EXPECT_EQ(f.faults, 0);
    EXPECT_GE(f.interleavings, 2000);
}

// The faults clicks have found, kept as cases of their own.

// Seeds of the run above that found faults before commands asked for the
// link: a stop-sampling or erase frame carrying another command's words, a
// read whose reply was another command's, test mode shown over a sampling
// controller, a capture whose recording another command took.
TEST_F(Interleave, TheSeedsThatOnceFoundFaultsEndSound) {
    const Case cases[] = {{Op::FilterWrite, 20261207}, {Op::FilterRead, 20261208}, {Op::EnterTest, 20261209},
                          {Op::FilterRead, 20261219},  {Op::Capture, 20261228},    {Op::Capture, 20261239},
                          {Op::FilterWrite, 20261251}, {Op::LeaveTest, 20261254},  {Op::FilterWrite, 20261262}};
    Figures f;
    for (const Case &c : cases) {
        std::string why;
        EXPECT_TRUE(runOnce(c.op, c.seed, f, &why)) << name(c.op) << " seed " << c.seed << ": " << why;
    }
    EXPECT_EQ(hand.takeovers, 0);
}

// TRIGGER pressed at every event delivery of SEND FILTER: it waits until
// the write is over, and the memory comes out exactly as written.
TEST_F(Interleave, TriggerAtEveryDeliveryOfAFilterWriteLeavesTheMemoryExact) {
    runClicking({&panelMAIN, MAIN_CMD_TRIGGER}, Op::FilterWrite, 1);
    EXPECT_GT(hand.clicks, 20);
    EXPECT_EQ(StatusLine(), "Filter data successfully written.");
    EXPECT_EQ(sim.filterImage(), PassThroughImage());
    for (const Request &r : sim.requestLog()) EXPECT_NE(command(r), 14) << "TRIGGER went out during the write";
}

// TRIGGER during GET FILTER: the settings shown are the controller's.
TEST_F(Interleave, TriggerAtEveryDeliveryOfAFilterReadLeavesTheSettingsRight) {
    for (unsigned seed = 1; seed <= 5; ++seed) runClicking({&panelMAIN, MAIN_CMD_TRIGGER}, Op::FilterRead, seed);
}

// SEND FILTER during an automatic recording would stop sampling under it:
// the write is refused and sends nothing, and the recording ends right.
TEST_F(Interleave, SendFilterDuringAnAutomaticRecordingIsRefused) {
    runClicking({&panelFILTER, FILTER_CMD_SEND}, Op::Recording, 3);
    EXPECT_GT(hand.clicks, 0);
    EXPECT_TRUE(StartsWith(StatusLine(), "Recording successfully finished")) << StatusLine();
    EXPECT_TRUE(sim.filterLog().empty());
}

// RESTART SAMPLING pressed while test mode is being entered: the panels and
// the controller agree on the mode afterwards.
TEST_F(Interleave, RestartSamplingDuringTestModeEntryLeavesPanelsAndControllerAgreeing) {
    runClicking({&panelMAIN, MAIN_CMD_RESTART_SAMPLING}, Op::EnterTest, 4);
    EXPECT_FALSE(sim.sampling());
}

// The firmware download over a pty, with clicks on every panel while the
// port belongs to the loader.
class FirmwareInterleave : public maint_test::UpdatePanelTest {
  protected:
    sim::SimThread sim;
    Clicker hand;
    std::vector<std::string> firmware;

    void SetUp() override {
        UpdatePanelTest::SetUp();
        ASSERT_TRUE(sim.start(true, true));
        firmware = {maint_test::record('0', 2, 0, {'f', 'w'})};
        for (uint32_t a = 0; a < 0x200; a += 16)
            firmware.push_back(maint_test::s3(kProgramMemoryBase + a, maint_test::firmwareBytes(a, 16)));
        firmware.push_back(maint_test::record('7', 4, kProgramMemoryBase, {}));
        hand.install();
    }
    void TearDown() override {
        hand.uninstall();
        UpdatePanelTest::TearDown();
    }
};

TEST_F(FirmwareInterleave, ADownloadSendsTheFileExactlyOrSaysItFailedWhateverIsClickedMeanwhile) {
    sim::LoaderSettings settings;
    settings.imageFile = QString::fromStdString(path("image.S"));
    sim.setLoaderSettings(settings);
    useSerial(sim.ptyPath());
    ASSERT_EQ(rs232con = InitRS232(1), 1);
    chooseFirmware(writeLines("fw.S", firmware));
    Figures f;
    for (unsigned seed = BaseSeed(); seed < BaseSeed() + 3; ++seed) {
        SCOPED_TRACE(seed);
        set_main_buttons(1, 1, 1);
        stop_flag = 1;
        SetReadyLed(true);
        sim.clearRequestLog();
        hand.rng.seed(seed);
        hand.clicks = 0;
        hand.press(panelUPDATE, UPDATE_CMD_PROGRAM);
        ++f.operations;
        f.interleavings += hand.clicks;
        const auto log = sim.requestLog();
        f.frames += static_cast<long>(log.size());
        for (const Request &r : log) EXPECT_EQ(FrameProblem(r), "") << "command " << command(r);
        const std::string out = loaderOutput();
        const bool said = out.find("Firmwareupdate was successful!") != std::string::npos;
        if (said) {
            ++f.completed;
            EXPECT_EQ(sim.loaderImage().lines, firmware);
        } else {
            EXPECT_TRUE(out.find("Firmware update failed") != std::string::npos || !popups->shown.empty()) << out;
        }
        EXPECT_EQ(rs232con, 1) << "the normal link is back";
    }
    std::printf("interleaving: %d firmware downloads (%d completed right), %d interleavings, %ld frames checked\n",
                f.operations, f.completed, f.interleavings, f.frames);
    EXPECT_GT(f.interleavings, 0);
}

} // namespace
