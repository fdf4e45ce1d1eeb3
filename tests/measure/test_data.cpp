// The DATA loop and the measurement record, checked request by request
// against the simulator.
#include "tests/measure/measure_fixture.h"

#include "measure/navigation.h"
#include "params/binding.h"
#include "ui/panels/bigdata_ids.h"
#include "ui/panels/intensity_ids.h"

#include <algorithm>
#include <vector>

namespace {

class DataLoopTest : public MeasureTest {
  protected:
    std::vector<int> progressSeen;
    void sampleProgress() {
        int v = -1;
        GetCtrlVal(panelMAIN, MAIN_PROGRESS, &v);
        if (progressSeen.empty() || progressSeen.back() != v) progressSeen.push_back(v);
    }
    // Both channels hold a recording not yet fetched.
    void freshRecordings() { sim.advanceTime(100'000); }
};

TEST_F(DataLoopTest, ACycleAtXScale100IsSixteenCurveBlocksThenFourRequests) {
    freshRecordings();
    SetCtrlVal(panelMAIN, MAIN_NUM_EVAL1, -1234.5);
    // STOP from the loop's first wait once the first request is out: a busy
    // machine may hold a timer back until the cycle is over.
    SetEventDeliveryHook(
        [](void *controller) {
            if (stop_flag == 0 && !static_cast<sim::SimThread *>(controller)->requestLog().empty())
                OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        },
        &sim);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    SetEventDeliveryHook(nullptr, nullptr);
    const auto log = frames();
    ASSERT_EQ(log.size(), 20u);
    for (int s = 1; s <= 2; ++s)
        for (int b = 0; b < 8; ++b) {
            const Request &r = log[std::size_t(8 * (s - 1) + b)];
            EXPECT_EQ(command(r), 9);
            EXPECT_EQ(word(r, 0), 0x6400 + s);
            EXPECT_EQ(word(r, 1), 16 * b);
        }
    const int tail[4][2] = {{8, 0x6401}, {8, 0x6402}, {8, 0x6411}, {9, 0x6400}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(command(log[std::size_t(16 + k)]), tail[k][0]);
        EXPECT_EQ(word(log[std::size_t(16 + k)], 0), tail[k][1]);
    }
    const auto a = sim.lastRecording(0), b = sim.lastRecording(1);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(std::equal(yArrayA, yArrayA + 128, a->samples.begin()));
    EXPECT_TRUE(std::equal(yArrayB, yArrayB + 128, b->samples.begin()));

    // STOP came during the first block: the cycle finished its requests but
    // left the indicators alone, and the loop went back to idle.
    double shown = 0;
    GetCtrlVal(panelMAIN, MAIN_NUM_EVAL1, &shown);
    EXPECT_DOUBLE_EQ(shown, -1234.5);
    EXPECT_EQ(StatusLine(), "Rawdata (trigger data) received. Trigger rearmed.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_DATA, ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    for (int id : {MAIN_CMD_RUN, MAIN_CMD_DATA, MAIN_CMD_TEACH, MAIN_BTN_SEND})
        EXPECT_EQ(Attr(panelMAIN, id, ATTR_DIMMED), 0) << id;
    EXPECT_EQ(Attr(panelMAIN, MAIN_GRAPH, ATTR_VISIBLE), 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_STRIPCHART, ATTR_VISIBLE), 0);
}

TEST_F(DataLoopTest, XScale500FetchesThirtyTwoBlocksPerChannel) {
    freshRecordings();
    OperateCtrl(panelMAIN, MAIN_RNG_XSCALE, 500);
    EXPECT_EQ(x_scale_preselect, 500);
    stopAfter(1);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    const auto log = frames();
    ASSERT_EQ(log.size(), 68u);
    EXPECT_EQ(word(log[63], 0), 0x6402);
    EXPECT_EQ(word(log[63], 1), 496);
    const auto a = sim.lastRecording(0);
    ASSERT_TRUE(a);
    EXPECT_TRUE(std::equal(yArrayA, yArrayA + 512, a->samples.begin()));
}

TEST_F(DataLoopTest, ProgressClimbsBlockByBlockToOneHundred) {
    freshRecordings();
    sim::Faults f;
    f.delayMs = 40; // each value stays up long enough for the sampler, even on a busy machine
    sim.setFaults(f);
    stopAfter(1);
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [this] { sampleProgress(); });
    sampler.start(1);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    sampler.stop();
    sampleProgress();
    const std::vector<int> expected = {0,  5,  11, 16, 22, 27, 33, 38, 44, 50,
                                       55, 61, 66, 72, 77, 83, 88, 96, 100};
    EXPECT_EQ(progressSeen, expected);
    EXPECT_EQ(Attr(panelMAIN, MAIN_PROGRESS, ATTR_FILL_COLOR), 0x008000);
}

TEST_F(DataLoopTest, NoNewDataOnChannelASkipsItsBlocksButStillReadsChannelB) {
    sim::ParamRecord rec = sim.ramRecord();
    rec[PW_CHA_TRIGGERLEVEL] = 4095; // channel A never crosses it
    sim.setRamRecord(rec);
    freshRecordings();
    std::fill(std::begin(yArrayA), std::end(yArrayA), 7);
    stopAfter(1);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    const auto log = frames();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(word(log[0], 0), 0x6401);
    for (int b = 0; b < 8; ++b) EXPECT_EQ(word(log[std::size_t(1 + b)], 0), 0x6402);
    EXPECT_TRUE(std::all_of(std::begin(yArrayA), std::end(yArrayA), [](unsigned short v) { return v == 7; }));
}

TEST_F(DataLoopTest, WithNoTriggerEitherChannelGivesOneRequestThenTheRawData) {
    stopAfter(1);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    EXPECT_EQ(frames().size(), 6u);
}

TEST_F(DataLoopTest, RunningCyclesRedrawAndRearmUntilStopped) {
    // Let the simulated clock run so every re-arm meets a new trigger.
    sim.useRealTime();
    stopAfter(45);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    const auto log = frames();
    ASSERT_GE(log.size(), 45u);
    EXPECT_EQ(command(log.back()), 9);
    EXPECT_EQ(word(log.back(), 0), 0x6400) << "every cycle ends with the re-arm";
    EXPECT_GT(graph_handle[0], 0) << "channel A's curve is plotted";
    EXPECT_GT(graph_handle[1], 0);
}

TEST_F(DataLoopTest, ASilentControllerEndsTheLoopWithConnectionLost) {
    sim::Faults f;
    f.dropAll = true;
    sim.setFaults(f);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    EXPECT_EQ(StatusLine(), "Error! Connection lost.");
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_DATA, ATTR_DIMMED), 1);
    EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_DATA, ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
}

// ---- the measurement record on the indicators ------------------------------------

TEST_F(DataLoopTest, FixedPointValuesShowTheirIntegerPartAndRealValue) {
    SetCtrlVal(panelINTENSITY, INTENSITY_RESULT_A, 0); // whatever an earlier test showed there
    std::fill(std::begin(rawdata), std::end(rawdata), 0);
    rawdata[22] = 0x8000; // 1.5
    rawdata[23] = 0x0001;
    rawdata[24] = 0x0000; // -1.0
    rawdata[25] = 0xFFFF;
    rawdata[30] = 0x0000; // value 5: -2
    rawdata[31] = 0xFFFE;
    rawdata[15] = 4095;
    rawdata[13] = 2;
    rawdata[14] = 5;
    rawdata[18] = 1111;
    rawdata[21] = 4444;
    SetPanelDATA();
    auto integer = [](int panel, int id) {
        int v = 0;
        GetCtrlVal(panel, id, &v);
        return v;
    };
    auto real = [](int panel, int id) {
        double v = 0;
        GetCtrlVal(panel, id, &v);
        return v;
    };
    EXPECT_EQ(integer(panelMAIN, MAIN_NUM_EVAL1_INT), 1);
    EXPECT_DOUBLE_EQ(real(panelMAIN, MAIN_NUM_EVAL1), 1.5);
    EXPECT_EQ(integer(panelMAIN, MAIN_NUM_EVAL2_INT), -1);
    EXPECT_DOUBLE_EQ(real(panelMAIN, MAIN_NUM_EVAL2), -1.0);
    EXPECT_EQ(integer(panelMAIN, MAIN_NUM_VALUE5), -2);
    // The sub-panels take the values when the operator brings them up.
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_RESULT_A), 0) << "hidden: not written";
    OperateCtrlEvent(panelMAIN, MAIN_NUM_EVAL1, EVENT_LEFT_DOUBLE_CLICK); // the big digits
    EXPECT_DOUBLE_EQ(real(panelBIGDATA, BIGDATA_EVAL1), 1.5);
    EXPECT_DOUBLE_EQ(real(panelBIGDATA, BIGDATA_EVAL2), -1.0);
    OperateCtrl(panelMAIN, TOG_INTENSITY);
    EXPECT_NEAR(real(panelINTENSITY, INTENSITY_ANALOG), 10.0, 1e-9);
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_STATUS_1), 0);
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_STATUS_2), 1);
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_STATUS_3), 1);
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_STATUS_4), 0);
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_STATUS_5), 1);
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_RESULT_A), 1111);
    EXPECT_EQ(integer(panelINTENSITY, INTENSITY_RESULT_D), 4444);
    rawdata[15] = 2048;
    SetPanelDATA();
    EXPECT_NEAR(real(panelINTENSITY, INTENSITY_ANALOG), 5.0012, 1e-3);
}

// The evaluation displays show every value the controller can send, each
// distinctly: the shown value names the 16.16 value it came from.
TEST_F(DataLoopTest, EvaluationDisplaysShowTheWholeSignedRangeDistinctly) {
    OperateCtrlEvent(panelMAIN, MAIN_NUM_EVAL1, EVENT_LEFT_DOUBLE_CLICK); // the big digits in sight
    const unsigned int values[] = {0x00000001u, 0x0000FFFFu, 0x00010001u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
    for (unsigned int v : values) {
        SetField32(rawdata, RD_EVAL1, v);
        SetField32(rawdata, RD_EVAL2, ~v);
        SetPanelDATA();
        for (int id : {MAIN_NUM_EVAL1, MAIN_NUM_EVAL2}) {
            double shown = 0;
            GetCtrlVal(panelMAIN, id, &shown);
            EXPECT_EQ(FixedFromShownValue(shown), id == MAIN_NUM_EVAL1 ? v : ~v) << std::hex << v;
        }
        for (int id : {BIGDATA_EVAL1, BIGDATA_EVAL2}) {
            double shown = 0;
            GetCtrlVal(panelBIGDATA, id, &shown);
            EXPECT_EQ(FixedFromShownValue(shown), id == BIGDATA_EVAL1 ? v : ~v) << std::hex << v;
        }
    }
}

TEST_F(DataLoopTest, DetailSelectorChoosesTheVisibleRows) {
    auto visible = [](int id) { return Attr(panelINTENSITY, id, ATTR_VISIBLE); };
    OperateCtrl(panelINTENSITY, INTENSITY_DETAIL, 3);
    EXPECT_EQ(visible(INTENSITY_STATUS_1), 1);
    EXPECT_EQ(visible(INTENSITY_ANALOG), 1);
    EXPECT_EQ(visible(INTENSITY_NORM_A), 0);
    OperateCtrl(panelINTENSITY, INTENSITY_DETAIL, 2);
    EXPECT_EQ(visible(INTENSITY_RAW_A), 1);
    EXPECT_EQ(visible(INTENSITY_MAXRAW_B), 1);
    EXPECT_EQ(visible(INTENSITY_RAW_C), 0);
    EXPECT_EQ(visible(INTENSITY_STATUS_1), 0);
    OperateCtrl(panelINTENSITY, INTENSITY_ALL_CHANNELS);
    EXPECT_EQ(visible(INTENSITY_RAW_D), 1);
    EXPECT_EQ(visible(INTENSITY_NORM_C), 0);
    OperateCtrl(panelINTENSITY, INTENSITY_DETAIL, 1);
    EXPECT_EQ(visible(INTENSITY_NORM_A), 1);
    EXPECT_EQ(visible(INTENSITY_RESULT_B), 1);
    EXPECT_EQ(visible(INTENSITY_RESULT_C), 0);
    EXPECT_EQ(visible(INTENSITY_RAW_D), 0);
}

TEST_F(DataLoopTest, EventMarkersNeverDivideByZero) {
    double x = -1;
    rawdata[RD_RESET_A_EVENT] = static_cast<unsigned short>(-2000);
    param[PW_SCANRATE] = 0;
    param[PW_CHA_REC_INTERVAL] = 400;
    EXPECT_FALSE(EventMarkerPosition(RD_RESET_A_EVENT, 0, 128, &x)) << "scan rate 0";
    param[PW_SCANRATE] = 1000;
    EXPECT_FALSE(EventMarkerPosition(RD_RESET_A_EVENT, 0, 128, &x)) << "interval / rate is 0";
    param[PW_SCANRATE] = 100; // q = 4
    ASSERT_TRUE(EventMarkerPosition(RD_RESET_A_EVENT, 0, 128, &x));
    EXPECT_DOUBLE_EQ(x, 12.0);
    rawdata[RD_RESET_A_EVENT] = static_cast<unsigned short>(-100); // x = 487
    EXPECT_FALSE(EventMarkerPosition(RD_RESET_A_EVENT, 0, 128, &x));
    EXPECT_TRUE(EventMarkerPosition(RD_RESET_A_EVENT, 0, 512, &x));
    rawdata[RD_RESET_A_EVENT] = 5;
    EXPECT_FALSE(EventMarkerPosition(RD_RESET_A_EVENT, 0, 512, &x)) << "no event in the curve";
    GetPanelValues(param);
}

} // namespace
