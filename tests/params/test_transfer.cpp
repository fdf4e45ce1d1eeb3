// Sending and getting the parameter record, checked frame by frame against
// the simulator's request log.
#include "tests/fixtures/program.h"

#include "measure/sampling.h"
#include "params/binding.h"
#include "params/record.h"
#include "params/transfer.h"
#include "sim/runner.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <QTimer>

#include <algorithm>
#include <array>

namespace {

using Request = std::array<uint8_t, 36>;

int word(const Request &r, int i) { return r[4 + 2 * i] * 256 + r[5 + 2 * i]; }
int command(const Request &r) { return r[2] * 256 + r[3]; }

class TransferTest : public ProgramTest {
  protected:
    sim::SimThread sim;
    std::vector<int> progressSeen;
    QTimer sampler;

    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(sim.start(true, false));
        ASSERT_TRUE(openTcpLink(sim.tcpPort()));
        sim.clearRequestLog();
        QObject::connect(&sampler, &QTimer::timeout, [this] { sampleProgress(); });
    }
    void sampleProgress() {
        int v = -1;
        GetCtrlVal(panelMAIN, MAIN_PROGRESS, &v);
        if (progressSeen.empty() || progressSeen.back() != v) progressSeen.push_back(v);
    }
    void select(int radio) { OperateCtrl(panelMAIN, radio); }
    // Samples the progress bar while the simulator takes its time to answer.
    void watchProgress() {
        sim::Faults f;
        f.delayMs = 40; // each value stays up long enough for the sampler, even on a busy machine
        sim.setFaults(f);
        progressSeen.clear();
        sampler.start(1);
    }
    // Stops sampling; the value the operation left counts too.
    void finishWatch() {
        sampler.stop();
        sampleProgress();
    }
    std::vector<Request> frames() { return sim.requestLog(); }
};

TEST_F(TransferTest, SendToRamIsTwelveSetsThenActivation) {
    SetCtrlVal(panelPOWER, POWER_POWER, 321);
    select(MAIN_RADIO_RAM);
    watchProgress();
    OperateCtrl(panelMAIN, MAIN_BTN_SEND);
    finishWatch();
    const auto log = frames();
    ASSERT_EQ(log.size(), 13u);
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(command(log[n - 1]), 1);
        EXPECT_EQ(word(log[n - 1], 0), 0x6400 + n);
        for (int i = 1; i < 16; ++i) EXPECT_EQ(word(log[n - 1], i), param[16 * (n - 1) + i]) << n << "/" << i;
    }
    EXPECT_EQ(command(log[12]), 1);
    EXPECT_EQ(word(log[12], 0), 0x6400);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(word(log[12], i), 0);
    EXPECT_EQ(sim.ramRecord()[1], 321);
    EXPECT_EQ(StatusLine(), "Activating parameter ... Done!");
    const std::vector<int> expected = {0, 8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 100};
    EXPECT_EQ(progressSeen, expected);
}

TEST_F(TransferTest, SendToEepromEndsWithTheStoreCommandAndGetReadsItBack) {
    SetCtrlVal(panelPOWER, POWER_POWER, 777);
    select(MAIN_RADIO_EEPROM);
    OperateCtrl(panelMAIN, MAIN_BTN_SEND);
    auto log = frames();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(command(log[12]), 3);
    EXPECT_EQ(StatusLine(), "Activating parameter and storing to EEPROM ... Done!");
    EXPECT_EQ(sim.eepromRecord()[1], 777);

    SetCtrlVal(panelPOWER, POWER_POWER, 5);
    sim.clearRequestLog();
    watchProgress();
    OperateCtrl(panelMAIN, MAIN_BTN_GET);
    finishWatch();
    log = frames();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(command(log[0]), 4);
    EXPECT_EQ(word(log[0], 0), 0x6400);
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(command(log[n]), 2);
        EXPECT_EQ(word(log[n], 0), 0x6400 + n);
    }
    int power = 0;
    GetCtrlVal(panelPOWER, POWER_POWER, &power);
    EXPECT_EQ(power, 777);
    for (int n = 1; n <= 12; ++n) EXPECT_EQ(param[16 * (n - 1)], n);
    EXPECT_EQ(StatusLine(), "Parameter set successfully loaded from EEPROM");
    const std::vector<int> expected = {0, 4, 12, 20, 28, 36, 44, 52, 60, 68, 76, 84, 92, 100};
    EXPECT_EQ(progressSeen, expected);
}

TEST_F(TransferTest, GetFromRamUsesTheReadCommandThroughout) {
    select(MAIN_RADIO_RAM);
    OperateCtrl(panelMAIN, MAIN_BTN_GET);
    const auto log = frames();
    ASSERT_EQ(log.size(), 13u);
    for (const Request &r : log) EXPECT_EQ(command(r), 2);
    EXPECT_EQ(StatusLine(), "Parameter set successfully loaded from RAM");
}

// A load that fails part-way shows nothing of what arrived: the panels and
// param keep the record they had, whether the controller answered a set
// wrongly (link kept) or went away (link given up).
TEST_F(TransferTest, AGetThatFailsPartWayLeavesThePanelsAsTheyWere) {
    auto ram = sim.ramRecord();
    for (int w = 1; w < 192; ++w)
        if (w % 16) ram[w] = 0;
    ram[PW_CHA_POWER] = 1111;    // set 1
    ram[PW_TMR1_OFFTIME] = 2222; // set 4
    ram[PW_EVAL_MODE[0]] = 1;    // set 5
    sim.setRamRecord(ram);
    select(MAIN_RADIO_RAM);
    struct Case {
        const char *name;
        sim::Faults faults;
        const char *status;
        std::size_t frames;
        int dimmed;
    };
    sim::Faults wrongSet, gone;
    wrongSet.wrongSetAt = 5;
    gone.disconnectAfter = 5;
    const Case cases[] = {
        {"wrong set number", wrongSet, "Parameter set 5 of 12 loading from sensor failed", 6, 0},
        {"controller gone", gone, "Error! Connection lost.", 5, 1},
    };
    for (const Case &c : cases) {
        SetCtrlVal(panelPOWER, POWER_POWER, 7);
        SetCtrlVal(panelPOWER_TMR1, POWER_TMR1_OFFTIME, 8);
        SetCtrlVal(panelSETTINGS, SETTINGS_REFERENCE, 12.5);
        unsigned short before[PARAM_WORDS], shown[PARAM_WORDS];
        std::fill(std::begin(before), std::end(before), 0x5A5A);
        std::fill(std::begin(shown), std::end(shown), 0x5A5A);
        GetPanelValues(before);
        std::fill(std::begin(param), std::end(param), 0x5A5A);
        sim.setFaults(c.faults);
        sim.clearRequestLog();
        OperateCtrl(panelMAIN, MAIN_BTN_GET);
        EXPECT_EQ(StatusLine(), c.status) << c.name;
        EXPECT_EQ(frames().size(), c.frames) << c.name;
        GetPanelValues(shown);
        EXPECT_TRUE(std::equal(shown, shown + PARAM_WORDS, before)) << c.name << ": the panels changed";
        EXPECT_TRUE(std::equal(param, param + PARAM_WORDS, before)) << c.name << ": param is not the panels' record";
        EXPECT_EQ(stop_flag, 1);
        int dimmed = -1;
        GetCtrlAttribute(panelMAIN, MAIN_BTN_GET, ATTR_DIMMED, &dimmed);
        EXPECT_EQ(dimmed, c.dimmed) << c.name;
    }
    set_main_buttons(1, 1, 1);
}

TEST_F(TransferTest, SendingReportsAWrongSetAndStillActivates) {
    sim::Faults f;
    f.wrongSetAt = 3;
    f.badActivation = true;
    sim.setFaults(f);
    select(MAIN_RADIO_RAM);
    GetPanelValues(param);
    SendParameter(param);
    EXPECT_EQ(frames().size(), 13u);
    EXPECT_EQ(StatusLine(), "Activating parameter ... Failed!");
}

TEST_F(TransferTest, LosingTheControllerMidTransferGivesUpTheLink) {
    sim::Faults f;
    f.disconnectAfter = 5;
    sim.setFaults(f);
    select(MAIN_RADIO_EEPROM);
    stop_flag = 0;
    OperateCtrl(panelMAIN, MAIN_BTN_SEND);
    EXPECT_EQ(StatusLine(), "Error! Connection lost.");
    EXPECT_EQ(stop_flag, 1);
    int dimmed = 0;
    GetCtrlAttribute(panelMAIN, MAIN_BTN_SEND, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 1);
    EXPECT_LE(frames().size(), 7u);
    set_main_buttons(1, 1, 1);
}

TEST_F(TransferTest, TheFileTargetNeverTouchesTheLink) {
    const std::string path = MakePathname(ProgramDir(), "transfer-test.ini");
    std::remove(path.c_str());
    SetCtrlVal(panelPOWER, POWER_POWER, 4321);
    SetCtrlVal(panelMAIN, MAIN_PROGRESS, 37);
    stop_flag = 0;
    select(MAIN_RADIO_FILE);
    popups->fileAnswers = {path};
    OperateCtrl(panelMAIN, MAIN_BTN_SEND);
    EXPECT_EQ(StatusLine(), "Parameter saved to file.");
    SetCtrlVal(panelPOWER, POWER_POWER, 12);
    popups->fileAnswers = {path};
    OperateCtrl(panelMAIN, MAIN_BTN_GET);
    EXPECT_EQ(StatusLine(), "Parameter loaded from file.");
    int power = 0, progress = 0;
    GetCtrlVal(panelPOWER, POWER_POWER, &power);
    GetCtrlVal(panelMAIN, MAIN_PROGRESS, &progress);
    EXPECT_EQ(power, 4321);
    EXPECT_EQ(progress, 37);
    EXPECT_EQ(stop_flag, 0);
    EXPECT_TRUE(frames().empty());

    popups->fileAnswers = {""}; // cancelled
    OperateCtrl(panelMAIN, MAIN_BTN_GET);
    EXPECT_EQ(StatusLine(), "Parameter load from file failed.");
    stop_flag = 1;
}

} // namespace
