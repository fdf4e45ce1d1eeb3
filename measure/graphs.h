// The scope graphs: the strip chart of live values, the DATA graph of the
// recorded curves with its overlay lines and event markers, the analog output
// characteristic, and the trace-selection popup.
#pragma once

#include <vector>

constexpr int STRIP_TRACES = 18;
constexpr int STRIP_ROWS = 500;

extern int x_scale_preselect, x_scale; // 100 or 500
extern int y_scale_preselect, y_scale; // strip-chart margin
extern int visA[5], visB[5];           // curve/result, raw, normalised, raw maximum, trigger level
extern int eval1[4], eval2[4];         // value, upper tolerance, reference, lower tolerance
extern unsigned short xArray[512];
extern int graph_handle[2];
extern double yArray[STRIP_TRACES * STRIP_ROWS]; // row r, trace t at 18r + t; row 499 newest
extern double dxArray[256], dyArray[256];
extern int anagraph_mode; // 0: x range = analog limits, 1: 0 to 4096
extern double anagraph_x_min, anagraph_x_max;

// Colours of the evaluations' event markers on the DATA graph.
constexpr int EVAL1_MARKER_COLOUR = 0x990000; // RGB 153, 0, 0
constexpr int EVAL2_MARKER_COLOUR = 0x99CC00; // RGB 153, 204, 0

// A vertical line over the analog output characteristic: a trigger level or
// an evaluation's reference and tolerance band, as the output's source asks.
struct AnalogMark {
    double x;
    int colour;
    const char *text;
};
// The lines for an analog output source (a value of word 73's ring), with
// the levels and bands rec holds.
std::vector<AnalogMark> AnalogOutputMarks(int source, const unsigned short *rec);

// Appends one row of live values to the strip-chart history and redraws it.
void PlotDATA();
// Sets the strip chart's value axis to the shown traces' range in the shown
// rows, widened by the margin (y_scale) and kept within 0 to 4095. Before
// the first row (an empty history) that is the margin's range from 0.
void ScaleStripChart();
// Shows the DATA graph and plots n samples (n from x_scale); deletes
// oldHandle first when it is not 0. Returns the new plot handle.
int PlotDATACurve(const unsigned short *samples, int oldHandle, int color, int plotStyle, int lineStyle);
// Shows the DATA graph with its axes and removes all its plots.
void PreparePlotDATACurve(int *handles, int count);
// Both curves with trigger, pretrigger and event overlays, as the flags say.
void RedrawDATAGraph();

// The analog output characteristic from the analog output panel.
void plot_analog_graph();
// A preview characteristic for other limits over the graph as it is.
void plot_possible_analog_graph(short minimum, short maximum);
// Fills dxArray/dyArray for limits lo, hi over x_min..x_max. Equal limits
// give a step at lo.
void ComputeAnalogCharacteristic(int lo, int hi, double x_min, double x_max);

int CC_GRAPH_DATA(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_SCALE_CHANGE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_SCALE_OUTPUT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_GRAPH_ANASCALE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_TOG_SHOW(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_SHOW(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_SHOW_CB(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
