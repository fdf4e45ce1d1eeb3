#include "measure/graphs.h"

#include "core/panels.h"
#include "measure/data.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

int x_scale_preselect = 100, x_scale = 100;
int y_scale_preselect = 4095, y_scale = 4095;
int visA[5], visB[5];
int eval1[4], eval2[4];
unsigned short xArray[512];
int graph_handle[2];
double yArray[STRIP_TRACES * STRIP_ROWS];
double dxArray[256], dyArray[256];
int anagraph_mode = 1;
double anagraph_x_min = 0.0, anagraph_x_max = 4095.0;

namespace {

// Integer part of a 16.16 value held in two words (low first).
int hi16(unsigned int field) { return FixedIntegerPart(field); }
int32_t signed32(const unsigned short *rec, int word) { return static_cast<int32_t>(GetField32(rec, word)); }

// The DATA graph's point count.
int curvePoints() { return x_scale == 500 ? 512 : 128; }

// Rows the strip chart shows: x_scale, kept within the history.
int shownRows() { return std::clamp(x_scale, 1, STRIP_ROWS); }

void showDataGraphView() {
    for (int id : {MAIN_STRIPCHART, MAIN_NUM_POINTS, MAIN_NUM_MARGIN})
        SetCtrlAttribute(panelMAIN, id, ATTR_VISIBLE, 0);
    for (int id : {MAIN_GRAPH, MAIN_RNG_XSCALE}) SetCtrlAttribute(panelMAIN, id, ATTR_VISIBLE, 1);
    for (int i = 0; i < 512; ++i) xArray[i] = static_cast<unsigned short>(i);
    SetAxisScalingMode(panelMAIN, MAIN_GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, curvePoints());
    SetAxisScalingMode(panelMAIN, MAIN_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
}

int styled(int handle, int lineStyle) {
    if (handle > 0) SetPlotAttribute(panelMAIN, MAIN_GRAPH, handle, ATTR_LINE_STYLE, lineStyle);
    return handle;
}

// Vertical line and text of an event marker, when the event has a place.
void eventMarker(int word, int channel, int n, int colour, const char *text, double textY) {
    double x = 0.0;
    if (!EventMarkerPosition(word, channel, n, &x)) return;
    styled(PlotLine(panelMAIN, MAIN_GRAPH, x, 0.0, x, 4095.0, colour), VAL_DASH_DOT_DOT);
    PlotText(panelMAIN, MAIN_GRAPH, x, textY, text, VAL_SYSTEM_META_FONT, colour, VAL_TRANSPARENT);
}

void levelLines(int levelWord, int pretriggerWord, int n, int colour) {
    const double level = param[levelWord], pretrigger = param[pretriggerWord];
    styled(PlotLine(panelMAIN, MAIN_GRAPH, 0.0, level, n, level, colour), VAL_DASH_DOT);
    styled(PlotLine(panelMAIN, MAIN_GRAPH, pretrigger, 0.0, pretrigger, 4095.0, colour), VAL_DASH_DOT);
}

// Manual axis range; the engine takes only min < max, so equal ends leave
// the axis as it is and reversed ends are swapped.
void axisRange(int panel, int control, int axis, double a, double b) {
    if (a == b) return;
    SetAxisScalingMode(panel, control, axis, VAL_MANUAL, std::min(a, b), std::max(a, b));
}

void analogLine(double x, int colour, const char *text) {
    PlotLine(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, x, 0.0, x, 4095.0, colour);
    PlotText(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, x, 0.0, text, VAL_SYSTEM_META_FONT, colour, VAL_TRANSPARENT);
}

void toleranceMarks(const unsigned short *rec, int eval, std::vector<AnalogMark> *marks) {
    const double ref = signed32(rec, PW_EVAL_REFERENCE[eval]);
    const double lower = std::max((ref - signed32(rec, PW_EVAL_LOWER_TOL[eval])) / 65536.0, 0.0);
    const double upper = std::min((ref + signed32(rec, PW_EVAL_UPPER_TOL[eval])) / 65536.0, 4095.0);
    marks->push_back({lower, VAL_GREEN, " Tol."});
    marks->push_back({ref / 65536.0, VAL_GRAY, " Ref."});
    marks->push_back({upper, VAL_GREEN, " Tol."});
}

// Strip-chart traces 1..18 and the check boxes of the popup, in one order.
int *traceFlag(int t) {
    if (t < 4) return &eval1[t];
    if (t < 8) return &eval2[t - 4];
    if (t < 13) return &visA[t - 8];
    return &visB[t - 13];
}
constexpr int kMainTraces[4] = {0, 4, 8, 13}; // evaluation values and results
constexpr int kGroupEnd[4] = {4, 8, 13, 18};

} // namespace

void ScaleStripChart() {
    const int rows = shownRows();
    double max = 0.0, min = 4095.0;
    for (int k = 0; k < rows - 1; ++k) {
        const double *r = yArray + STRIP_TRACES * (STRIP_ROWS - 1 - k);
        for (int t : kMainTraces) {
            if (!*traceFlag(t)) continue;
            max = std::max(max, r[t]);
            min = std::min(min, r[t]);
        }
    }
    const double margin = std::max(y_scale, 0);
    max += margin;
    min -= margin;
    if (min > max) max = min + 2 * margin;
    if (max > 4095) max = 4095;
    if (min < 0) min = 0;
    if (min >= max) { // a flat trace with no margin: keep one count of range
        if (max < 4095) max = min + 1;
        else min = max - 1;
    }
    SetAxisScalingMode(panelMAIN, MAIN_STRIPCHART, VAL_LEFT_YAXIS, VAL_MANUAL, min, max);
}

void PlotDATA() {
    std::memmove(yArray, yArray + STRIP_TRACES, sizeof(double) * STRIP_TRACES * (STRIP_ROWS - 1));
    double *row = yArray + STRIP_TRACES * (STRIP_ROWS - 1);
    for (int e = 0; e < 2; ++e) {
        const unsigned int ref = GetField32(param, PW_EVAL_REFERENCE[e]);
        const unsigned int upper = ref + GetField32(param, PW_EVAL_UPPER_TOL[e]);
        const unsigned int lower = ref - GetField32(param, PW_EVAL_LOWER_TOL[e]);
        double *r = row + 4 * e;
        r[0] = hi16(GetField32(rawdata, e == 0 ? RD_EVAL1 : RD_EVAL2));
        r[1] = std::min(hi16(upper), 4095);
        r[2] = hi16(ref);
        r[3] = std::max(hi16(lower), 0);
    }
    for (int c = 0; c < 2; ++c) {
        double *r = row + 8 + 5 * c;
        r[0] = rawdata[RD_RESULT + c];
        r[1] = rawdata[RD_RAW + c];
        r[2] = rawdata[RD_NORM + c];
        r[3] = rawdata[RD_MAXRAW + c];
        r[4] = param[c == 0 ? PW_CHA_TRIGGERLEVEL : PW_CHB_TRIGGERLEVEL];
    }

    ScaleStripChart();
    // The chart keeps its screenful of rows: a row goes on by itself, and
    // the history is sent in full only when the screen's width changes.
    const int rows = shownRows();
    int perScreen = 0;
    GetCtrlAttribute(panelMAIN, MAIN_STRIPCHART, ATTR_POINTS_PER_SCREEN, &perScreen);
    int send = 1;
    if (perScreen != rows + 1) {
        SetCtrlAttribute(panelMAIN, MAIN_STRIPCHART, ATTR_POINTS_PER_SCREEN, rows + 1);
        ClearStripChart(panelMAIN, MAIN_STRIPCHART);
        send = std::min(rows + 1, STRIP_ROWS);
    }
    PlotStripChart(panelMAIN, MAIN_STRIPCHART, yArray + STRIP_TRACES * (STRIP_ROWS - send),
                   static_cast<std::size_t>(STRIP_TRACES * send), 0, 0, VAL_DOUBLE);
}

int PlotDATACurve(const unsigned short *samples, int oldHandle, int color, int plotStyle, int lineStyle) {
    showDataGraphView();
    if (oldHandle != 0) DeleteGraphPlot(panelMAIN, MAIN_GRAPH, oldHandle, VAL_DELAYED_DRAW);
    return PlotXY(panelMAIN, MAIN_GRAPH, xArray, samples, static_cast<std::size_t>(curvePoints()),
                  VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, plotStyle, VAL_NO_POINT, lineStyle, 1,
                  color);
}

void PreparePlotDATACurve(int *handles, int count) {
    showDataGraphView();
    DeleteGraphPlot(panelMAIN, MAIN_GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    for (int i = 0; i < count; ++i) handles[i] = 0;
}

void RedrawDATAGraph() {
    DeleteGraphPlot(panelMAIN, MAIN_GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    graph_handle[0] = graph_handle[1] = 0; // gone with the plots
    if (visA[0]) graph_handle[0] = PlotDATACurve(yArrayA, graph_handle[0], VAL_BLUE, VAL_FAT_LINE, VAL_SOLID);
    if (visB[0]) graph_handle[1] = PlotDATACurve(yArrayB, graph_handle[1], VAL_GREEN, VAL_FAT_LINE, VAL_SOLID);
    const int n = curvePoints();
    if (visA[0]) eventMarker(RD_RESET_A_EVENT, 0, n, VAL_BLUE, " Reset A.", 0.0);
    if (visA[4]) levelLines(PW_CHA_TRIGGERLEVEL, PW_CHA_PRETRIGGER, n, VAL_BLUE);
    if (visB[0]) eventMarker(RD_RESET_B_EVENT, 1, n, VAL_GREEN, " Reset B.", 256.0);
    if (visB[4]) levelLines(PW_CHB_TRIGGERLEVEL, PW_CHB_PRETRIGGER, n, VAL_GREEN);
    if (eval1[0]) eventMarker(RD_EVAL1_EVENT, 0, n, EVAL1_MARKER_COLOUR, " Eval 1.", 3840.0);
    if (eval2[0]) eventMarker(RD_EVAL2_EVENT, 0, n, EVAL2_MARKER_COLOUR, " Eval 2.", 3584.0);
}

void ComputeAnalogCharacteristic(int lo, int hi, double x_min, double x_max) {
    const double step = (x_max - x_min) / 256.0;
    for (int i = 0; i < 256; ++i) {
        const double x = i * step + x_min;
        dxArray[i] = x;
        double y;
        if (hi == lo) {
            y = x < lo ? 0.0 : 4096.0; // no slope to speak of: a step at the limit
        } else {
            const double slope = 4096.0 / (hi - lo);
            const double offset = -1.0 * lo * slope;
            y = x * slope + offset;
        }
        dyArray[i] = std::clamp(y, 0.0, 4096.0);
    }
}

std::vector<AnalogMark> AnalogOutputMarks(int source, const unsigned short *rec) {
    std::vector<AnalogMark> marks;
    switch (source) {
    case 5:
    case 13: marks.push_back({static_cast<double>(rec[PW_CHA_TRIGGERLEVEL]), VAL_BLUE, " Trig."}); break;
    case 6:
    case 14: marks.push_back({static_cast<double>(rec[PW_CHB_TRIGGERLEVEL]), VAL_BLUE, " Trig."}); break;
    case 17: toleranceMarks(rec, 0, &marks); break;
    case 18: toleranceMarks(rec, 1, &marks); break;
    default: break;
    }
    return marks;
}

void plot_analog_graph() {
    // The limits are 16-bit words; the controls also show them unsigned.
    int minimum = 0, maximum = 0, src = 0;
    GetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MIN, &minimum);
    GetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MAX, &maximum);
    GetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, &src);
    const short lo = static_cast<short>(minimum), hi = static_cast<short>(maximum);
    if (anagraph_mode == 0) {
        anagraph_x_min = lo;
        anagraph_x_max = hi;
    } else {
        anagraph_x_min = 0.0;
        anagraph_x_max = 4096.0;
    }
    ComputeAnalogCharacteristic(lo, hi, anagraph_x_min, anagraph_x_max);
    axisRange(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_XAXIS, anagraph_x_min, anagraph_x_max);
    DeleteGraphPlot(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    SetAxisScalingMode(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0);
    PlotXY(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, dxArray, dyArray, 256, VAL_DOUBLE, VAL_DOUBLE, VAL_FAT_LINE,
           VAL_NO_POINT, VAL_SOLID, 1, VAL_DK_RED);
    for (const AnalogMark &m : AnalogOutputMarks(src, param)) analogLine(m.x, m.colour, m.text);
}

void plot_possible_analog_graph(short minimum, short maximum) {
    ComputeAnalogCharacteristic(minimum, maximum, anagraph_x_min, anagraph_x_max);
    axisRange(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_XAXIS, anagraph_x_min, anagraph_x_max);
    SetAxisScalingMode(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0);
    PlotXY(panelOUTPUT_ANA, OUTPUT_ANA_GRAPH, dxArray, dyArray, 256, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE,
           VAL_NO_POINT, VAL_DOT, 1, VAL_RED);
}

// ---- callbacks ------------------------------------------------------------------------

int CC_GRAPH_DATA(int, int, int event, void *, int, int) {
    if (event == EVENT_RIGHT_CLICK) x_scale_preselect = x_scale_preselect == 100 ? 500 : 100;
    else if (event == EVENT_RIGHT_DOUBLE_CLICK) x_scale_preselect = 100;
    return 0;
}

int CC_SCALE_CHANGE(int panel, int control, int event, void *, int, int) {
    if (control == MAIN_STRIPCHART) {
        switch (event) {
        case EVENT_LEFT_CLICK: {
            static const int steps[] = {4095, 2048, 1024, 512, 128, 32, 8, 1};
            const int *at = std::find(std::begin(steps), std::end(steps), y_scale_preselect);
            y_scale_preselect = at == std::end(steps) || at + 1 == std::end(steps) ? 4095 : at[1];
            break;
        }
        case EVENT_LEFT_DOUBLE_CLICK: y_scale_preselect = 4095; break;
        case EVENT_RIGHT_CLICK: x_scale_preselect = x_scale_preselect == 100 ? 500 : 100; break;
        case EVENT_RIGHT_DOUBLE_CLICK: x_scale_preselect = 100; break;
        default: return 0;
        }
        SetCtrlVal(panel, MAIN_NUM_MARGIN, y_scale_preselect);
        SetCtrlVal(panel, MAIN_NUM_POINTS, x_scale_preselect);
        SetCtrlVal(panel, MAIN_RNG_XSCALE, x_scale_preselect);
    } else if (control == MAIN_RNG_XSCALE || control == MAIN_NUM_POINTS) {
        GetCtrlVal(panel, control, &x_scale_preselect);
    } else if (control == MAIN_NUM_MARGIN) {
        GetCtrlVal(panel, control, &y_scale_preselect);
    }
    return 0;
}

int CC_SCALE_OUTPUT(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) plot_analog_graph();
    return 0;
}

int CC_GRAPH_ANASCALE(int, int, int event, void *, int, int) {
    if (event != EVENT_LEFT_CLICK) return 0;
    anagraph_mode = anagraph_mode == 0 ? 1 : 0;
    plot_analog_graph();
    return 0;
}

int CC_TOG_SHOW(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int width = 0, on = 0;
    GetCtrlAttribute(panelMAIN, MAIN_STRIPCHART, ATTR_WIDTH, &width);
    SetPanelAttribute(panelSHOW, ATTR_WIDTH, width);
    GetCtrlVal(panelMAIN, MAIN_TOG_SHOW, &on);
    if (on) InstallPopup(panelSHOW);
    else RemovePopup(panelSHOW);
    return 0;
}

int CC_SHOW(int panel, int, int event, void *, int, int) {
    if (event != EVENT_RIGHT_CLICK) return 0;
    RemovePopup(panel);
    SetCtrlVal(panelMAIN, MAIN_TOG_SHOW, 0);
    return 0;
}

int CC_SHOW_CB(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (int t = 0; t < STRIP_TRACES; ++t) GetCtrlVal(panelSHOW, SHOW_EVAL1 + t, traceFlag(t));
    for (int g = 0; g < 4; ++g) {
        const int main = kMainTraces[g];
        if (control != SHOW_EVAL1 + main || *traceFlag(main)) continue;
        for (int t = main + 1; t < kGroupEnd[g]; ++t) {
            *traceFlag(t) = 0;
            SetCtrlVal(panelSHOW, SHOW_EVAL1 + t, 0);
        }
    }
    for (int t = 0; t < STRIP_TRACES; ++t)
        SetTraceAttribute(panelMAIN, MAIN_STRIPCHART, t + 1, ATTR_TRACE_VISIBLE, *traceFlag(t) ? 1 : 0);
    return 0;
}
