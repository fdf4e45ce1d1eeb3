// The strip chart's history and axis, the scale controls, trace selection
// and the analog output characteristic.
#include "tests/fixtures/program.h"

#include "measure/data.h"
#include "measure/graphs.h"
#include "params/binding.h"
#include "params/record.h"
#include "tests/measure/measure_fixture.h"
#include "ui/panels/outputs_ids.h"

#include <algorithm>
#include <cmath>

namespace {

class GraphTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        x_scale_preselect = x_scale = 100;
        y_scale_preselect = y_scale = 4095;
        std::fill(std::begin(yArray), std::end(yArray), 0.0);
        std::fill(std::begin(rawdata), std::end(rawdata), 0);
        ShowTraces({1, 9, 14});
    }
    void TearDown() override {
        GetPanelValues(param);
        anagraph_mode = 1;
        ProgramTest::TearDown();
    }
    static void axis(int panel, int control, int ax, double *min, double *max) {
        int mode = -1;
        GetAxisScalingMode(panel, control, ax, &mode, min, max);
        EXPECT_EQ(mode, VAL_MANUAL);
    }
    static void stripAxis(double *min, double *max) { axis(panelMAIN, MAIN_STRIPCHART, VAL_LEFT_YAXIS, min, max); }
};

TEST_F(GraphTest, AtStartTheChartShowsOneHundredPointsOverTheFullScale) {
    PlotDATA();
    double min = -1, max = -1;
    stripAxis(&min, &max);
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 4095.0);
    EXPECT_EQ(Attr(panelMAIN, MAIN_STRIPCHART, ATTR_POINTS_PER_SCREEN), 101);
    EXPECT_EQ(Attr(panelMAIN, MAIN_STRIPCHART, ATTR_NUM_TRACES), 18);
}

TEST_F(GraphTest, TheMarginZoomsOntoTheShownMainTraces) {
    ShowTraces({9});
    y_scale = 128;
    for (int k = 0; k < 150; ++k) {
        rawdata[RD_RESULT] = static_cast<unsigned short>(1000 + (k * 37) % 201);
        PlotDATA();
    }
    rawdata[RD_RESULT] = 1000;
    PlotDATA();
    rawdata[RD_RESULT] = 1200;
    PlotDATA();
    double min = 0, max = 0;
    stripAxis(&min, &max);
    EXPECT_EQ(min, 872.0);
    EXPECT_EQ(max, 1328.0);
    EXPECT_EQ(yArray[18 * 499 + 8], 1200.0);
    EXPECT_EQ(yArray[18 * 498 + 8], 1000.0);
}

TEST_F(GraphTest, WithNoMainTraceTheMarginAloneSetsTheAxis) {
    ShowTraces({});
    const struct {
        int margin;
        double min, max;
    } cases[] = {{1024, 3071, 4095}, {2048, 2047, 2048}, {4095, 0, 4095}, {1, 4094, 4095}};
    for (const auto &c : cases) {
        y_scale = c.margin;
        PlotDATA();
        double min = 0, max = 0;
        stripAxis(&min, &max);
        EXPECT_EQ(min, c.min) << c.margin;
        EXPECT_EQ(max, c.max) << c.margin;
    }
}

TEST_F(GraphTest, AFlatTraceWithoutMarginStillGetsAValidAxis) {
    ShowTraces({9});
    y_scale = 0;
    rawdata[RD_RESULT] = 4095;
    for (int k = 0; k < 100; ++k) PlotDATA();
    double min = 0, max = 0;
    stripAxis(&min, &max);
    EXPECT_LT(min, max);
    EXPECT_EQ(max, 4095.0);
}

TEST_F(GraphTest, XScalesBeyondTheHistoryAreKeptWithinIt) {
    x_scale = 10000;
    PlotDATA();
    EXPECT_EQ(Attr(panelMAIN, MAIN_STRIPCHART, ATTR_POINTS_PER_SCREEN), 501);
    x_scale = 0;
    PlotDATA();
    EXPECT_EQ(Attr(panelMAIN, MAIN_STRIPCHART, ATTR_POINTS_PER_SCREEN), 2);
}

TEST_F(GraphTest, ToleranceTracesAreClampedToTheTwelveBitScale) {
    SetField32(param, 82, 4000u << 16); // reference 4000.0
    SetField32(param, 92, 200u << 16);  // upper tolerance 200.0
    SetField32(param, 94, 4500u << 16); // lower tolerance 4500.0
    param[PW_CHB_TRIGGERLEVEL] = 1234;
    rawdata[RD_NORM + 1] = 77;
    PlotDATA();
    const double *row = yArray + 18 * 499;
    EXPECT_EQ(row[1], 4095.0);
    EXPECT_EQ(row[2], 4000.0);
    EXPECT_EQ(row[3], 0.0);
    EXPECT_EQ(row[15], 77.0);
    EXPECT_EQ(row[17], 1234.0);
}

TEST_F(GraphTest, ClicksOnTheChartStepTheMarginAndToggleThePoints) {
    const int steps[] = {2048, 1024, 512, 128, 32, 8, 1, 4095};
    for (int expected : steps) {
        OperateCtrlEvent(panelMAIN, MAIN_STRIPCHART, EVENT_LEFT_CLICK);
        EXPECT_EQ(y_scale_preselect, expected);
        int shown = 0;
        GetCtrlVal(panelMAIN, MAIN_NUM_MARGIN, &shown);
        EXPECT_EQ(shown, expected);
    }
    OperateCtrl(panelMAIN, MAIN_NUM_MARGIN, 3000);
    EXPECT_EQ(y_scale_preselect, 3000);
    OperateCtrlEvent(panelMAIN, MAIN_STRIPCHART, EVENT_LEFT_CLICK);
    EXPECT_EQ(y_scale_preselect, 4095);
    OperateCtrlEvent(panelMAIN, MAIN_STRIPCHART, EVENT_RIGHT_CLICK);
    EXPECT_EQ(x_scale_preselect, 500);
    int points = 0;
    GetCtrlVal(panelMAIN, MAIN_NUM_POINTS, &points);
    EXPECT_EQ(points, 500);
    OperateCtrlEvent(panelMAIN, MAIN_GRAPH, EVENT_RIGHT_CLICK);
    EXPECT_EQ(x_scale_preselect, 100);
    OperateCtrlEvent(panelMAIN, MAIN_GRAPH, EVENT_RIGHT_CLICK);
    OperateCtrlEvent(panelMAIN, MAIN_GRAPH, EVENT_RIGHT_DOUBLE_CLICK);
    EXPECT_EQ(x_scale_preselect, 100);
}

TEST_F(GraphTest, UncheckingAMainTraceClearsItsGroup) {
    ShowTraces({9, 10, 11, 13, 1, 2});
    EXPECT_EQ(visA[1], 1);
    SetCtrlVal(panelSHOW, SHOW_RESULT_A, 0);
    OperateCtrl(panelSHOW, SHOW_RESULT_A, 0);
    for (int f : visA) EXPECT_EQ(f, 0);
    int box = 1;
    GetCtrlVal(panelSHOW, SHOW_TRIG_A, &box);
    EXPECT_EQ(box, 0);
    EXPECT_EQ(eval1[1], 1) << "other groups keep their flags";
    int visible = -1;
    GetTraceAttribute(panelMAIN, MAIN_STRIPCHART, 10, ATTR_TRACE_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    GetTraceAttribute(panelMAIN, MAIN_STRIPCHART, 2, ATTR_TRACE_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);
}

TEST_F(GraphTest, TheShowToggleOpensAndClosesThePopup) {
    OperateCtrl(panelMAIN, MAIN_TOG_SHOW, 1);
    int visible = 0, width = 0;
    GetPanelAttribute(panelSHOW, ATTR_VISIBLE, &visible);
    GetPanelAttribute(panelSHOW, ATTR_WIDTH, &width);
    EXPECT_EQ(visible, 1);
    EXPECT_EQ(width, Attr(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH));
    CC_SHOW(panelSHOW, 0, EVENT_RIGHT_CLICK, nullptr, 0, 0);
    GetPanelAttribute(panelSHOW, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    int on = 1;
    GetCtrlVal(panelMAIN, MAIN_TOG_SHOW, &on);
    EXPECT_EQ(on, 0);
}

// ---- analog output characteristic ---------------------------------------------------

void setLimits(int lo, int hi) {
    SetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MIN, lo);
    SetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MAX, hi);
}

TEST_F(GraphTest, TheCharacteristicRisesAcrossTheLimits) {
    anagraph_mode = 0;
    setLimits(1000, 3000);
    plot_analog_graph();
    EXPECT_EQ(dxArray[0], 1000.0);
    EXPECT_EQ(dyArray[0], 0.0);
    for (int i = 0; i < 256; ++i) EXPECT_NEAR(dyArray[i], (dxArray[i] - 1000.0) * 4096.0 / 2000.0, 1e-9);
    EXPECT_NEAR(dyArray[255], 4096.0 * 255 / 256, 1e-9);
    double min = 0, max = 0;
    axis(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_XAXIS, &min, &max);
    EXPECT_EQ(min, 1000.0);
    EXPECT_EQ(max, 3000.0);
    axis(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_LEFT_YAXIS, &min, &max);
    EXPECT_EQ(max, 4095.0);
}

TEST_F(GraphTest, ReversedLimitsGiveAFallingCharacteristicOnAnAscendingAxis) {
    anagraph_mode = 0;
    setLimits(3000, 1000);
    plot_analog_graph();
    EXPECT_EQ(dxArray[0], 3000.0);
    EXPECT_EQ(dyArray[0], 0.0);
    EXPECT_NEAR(dyArray[255], 4096.0 * 255 / 256, 1e-9);
    EXPECT_LT(dxArray[255], dxArray[0]);
    double min = 0, max = 0;
    axis(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_XAXIS, &min, &max);
    EXPECT_EQ(min, 1000.0);
    EXPECT_EQ(max, 3000.0);

    anagraph_mode = 1; // full range: falls from 4096 at 1000 to 0 at 3000
    plot_analog_graph();
    for (int i = 0; i < 256; ++i) {
        const double x = dxArray[i];
        const double expected = std::clamp((x - 3000.0) * 4096.0 / -2000.0, 0.0, 4096.0);
        EXPECT_NEAR(dyArray[i], expected, 1e-9) << x;
    }
    axis(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_XAXIS, &min, &max);
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 4096.0);
}

TEST_F(GraphTest, EqualLimitsGiveAStepWithoutADivisionError) {
    anagraph_mode = 1;
    setLimits(2000, 2000);
    plot_analog_graph();
    for (int i = 0; i < 256; ++i) {
        EXPECT_TRUE(std::isfinite(dyArray[i]));
        EXPECT_EQ(dyArray[i], dxArray[i] < 2000.0 ? 0.0 : 4096.0);
    }
    anagraph_mode = 0; // a zero-width range leaves the x axis as it was
    plot_analog_graph();
    double min = 0, max = 0;
    axis(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_XAXIS, &min, &max);
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 4096.0);
    plot_possible_analog_graph(500, 500);
    for (double y : dyArray) EXPECT_TRUE(std::isfinite(y));
}

TEST_F(GraphTest, ClickingTheAnalogGraphTogglesItsRange) {
    anagraph_mode = 1;
    setLimits(1000, 3000);
    OperateCtrlEvent(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, EVENT_LEFT_CLICK);
    EXPECT_EQ(anagraph_mode, 0);
    EXPECT_EQ(anagraph_x_min, 1000.0);
    OperateCtrlEvent(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, EVENT_LEFT_CLICK);
    EXPECT_EQ(anagraph_mode, 1);
    EXPECT_EQ(anagraph_x_max, 4096.0);
}

} // namespace
