// What a graph or strip chart shows, apart from how it is drawn: the plots of
// a graph, the trace history of a strip chart, the axes. The plot operations
// change only this; the chart view (graph_draw.cpp) follows on its redraw timer.
#pragma once

#include "ui/engine/engine.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QString>

#include <cstddef>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace engine {

enum class PlotKind { Curve, Line, Text };

// How a curve, line or trace is drawn.
struct Look {
    int color = VAL_WHITE;
    int plotStyle = VAL_THIN_LINE;
    int pointStyle = VAL_NO_POINT;
    int lineStyle = VAL_SOLID;
    int lineWidth = 0; // pixels; 0: from the plot style
};

struct Plot {
    PlotKind kind = PlotKind::Curve;
    Look look;             // a text's colour is look.color
    QList<QPointF> points; // data coordinates, finite values only (curves, lines)
    // Curves: the points that start a new run, where a non-finite value
    // stood between two points (the line is broken there), in order.
    std::vector<qsizetype> breaks;
    QPointF at;            // text: lower left corner, data coordinates
    QString text;
    QFont font;
    int background = VAL_TRANSPARENT;
    bool visible = true;
    unsigned long long version = 0; // changes whenever the plot does
};

struct Trace {
    Look look;
    bool visible = true;
    unsigned long long version = 0; // changes with the look, not with the data
};

struct AxisScale {
    int mode = VAL_AUTOSCALE;
    double min = 0.0, max = 10.0; // manual range
};

struct GraphModel {
    static constexpr int kMaxPointsPerScreen = 10000;
    static constexpr int kMaxTraces = 64;

    explicit GraphModel(bool stripChart);

    bool strip;
    AxisScale x, y;
    unsigned long long serial = 0; // source of versions; bumps on every change

    // ---- graph: plots by handle
    std::map<int, Plot> plots;
    int nextHandle = 1;
    int addPlot(Plot p);
    Plot *plot(int handle);
    void touch(Plot &p) { p.version = ++serial; }

    // ---- strip chart: the newest pointsPerScreen rows of traces.size() values
    std::vector<Trace> traces;
    std::vector<int> palette;     // colours new traces take, in trace order
    int pointsPerScreen = 100;
    long long total = 0;          // rows appended since the last clear
    unsigned long long stripVersion = 0;
    void setTraceCount(int n);    // clears the history
    void setPointsPerScreen(int n); // keeps the newest rows that still fit
    // Appends rows x traces interleaved values; droppedRows counts rows that
    // came before them but would have scrolled out anyway.
    void appendRows(const double *values, std::size_t rows, long long droppedRows = 0);
    void clearHistory();
    std::size_t rowsKept() const { return rows_; }
    // Row r of the kept rows (0 = oldest), trace t from 0.
    double value(std::size_t r, int t) const;
    // x value of kept row r: the number of the row since the last clear.
    double rowX(std::size_t r) const { return static_cast<double>(total - static_cast<long long>(rows_) + static_cast<long long>(r)); }
    std::size_t storageSize() const { return ring_.size(); }

    // Range of an axis in force: the manual range, or what the visible data
    // needs (rounded out to the grid) under autoscale. A strip chart's x axis
    // always spans one screen.
    std::pair<double, double> range(int axis) const;

  private:
    std::vector<double> ring_; // pointsPerScreen rows
    std::size_t head_ = 0;     // ring index of the oldest kept row
    std::size_t rows_ = 0;
};

// What the operator does to a graph's view without touching what the program
// plots (graph_explore.cpp). A frozen view shows a copy of the model taken
// when it froze, while the program's plots go on into the model; a zoomed
// view shows its own axis ranges. A strip chart's zoomed x range counts from
// the first row on screen, so a zoomed live chart keeps scrolling.
struct ViewState {
    std::unique_ptr<GraphModel> frozen;
    bool zoomed = false;
    double x0 = 0.0, x1 = 10.0, y0 = 0.0, y1 = 10.0;

    const GraphModel &shown(const GraphModel &live) const { return frozen ? *frozen : live; }
    // The range an axis shows.
    std::pair<double, double> range(const GraphModel &live, int axis) const;
};

// Grid spacing of 1, 2 or 5 times a power of ten giving about `divisions`
// divisions over span.
double niceStep(double span, int divisions);
// The pen style that draws a line style (VAL_SOLID, VAL_DASH, ...).
Qt::PenStyle penStyle(int lineStyle);
// The colour of an engine colour value (0xRRGGBB).
inline QColor colorOf(int c) { return QColor::fromRgb(static_cast<QRgb>(c) & 0xFFFFFF); }
// True for the plot styles that hold each value until the next point.
inline bool isStepped(int plotStyle) { return plotStyle == VAL_THIN_STEP || plotStyle == VAL_FAT_STEP; }
// The runs of points [first, end) that a list of break points cuts
// `count` points into, in order.
std::vector<std::pair<qsizetype, qsizetype>> runsOf(qsizetype count, const std::vector<qsizetype> &breaks);
// Divisions the axes aim at.
constexpr int kXDivisions = 10;
constexpr int kYDivisions = 5;

} // namespace engine
