// Inside of graph drawing, shared by the view (graph_draw.cpp) and the
// widgets that own it (graph_widgets.cpp). Only ui/engine includes this.
#pragma once

#include "ui/engine/graph_p.h"

#include <QElapsedTimer>
#include <QFont>
#include <QGraphicsItem>
#include <QPen>
#include <QPolygonF>
#include <QTimer>

#include <functional>
#include <vector>

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QValueAxis;
class QXYSeries;
QT_END_NAMESPACE

class QvGraph;

namespace engine {

class TextItem;

// The traces of a strip chart and its scrolling time axis, drawn straight
// from the history. A line series would rebuild a path and its hit-test
// outline for every point of every trace on every redraw, and a value axis
// lays out all its labels again whenever its range moves, which on a
// scrolling chart is every redraw (for 18 traces of 500 rows each cost more
// than the link itself). Here a redraw refreshes the polylines of the traces
// whose data or look changed, in data coordinates; painting maps them onto
// the plot area with one transform and a cosmetic pen, and draws the time
// axis's grid lines and labels, spaced so that no label is cut. The chart's
// own x axis stands still and only keeps the room for the labels.
class TraceItem : public QGraphicsItem {
  public:
    struct Line {
        bool visible = false;
        Look look;
        QPen pen;
        QPolygonF points;         // data coordinates
        std::vector<int> starts;  // first point of each run of finite values
        unsigned long long version = 0, lookVersion = 0;
    };

    explicit TraceItem(QGraphicsItem *parent) : QGraphicsItem(parent) {
        setZValue(50); // over the grid, under the texts
        setFlag(ItemClipsToShape);
    }

    // Takes what g shows now: rebuilds the lines whose data or look changed.
    void take(const GraphModel &g);
    // Where the data goes: the plot area (chart coordinates) and the ranges.
    void place(const QRectF &area, double x0, double x1, double y0, double y1);
    // How the time axis looks: label font and colour, grid pen.
    void setStyle(const QFont &font, const QColor &text, const QPen &grid);
    const std::vector<Line> &lines() const { return lines_; }
    // Positions and texts of the time axis's labels as last painted.
    const std::vector<std::pair<double, QString>> &timeLabels() const { return labels_; }

    // Off while a vector drawing is made: the lines are written there as
    // paths of their own, clipped to the plot area.
    bool linesPainted = true;

    QRectF boundingRect() const override { return area_.adjusted(-kLabelRoom, 0, kLabelRoom, labelBand_); }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override;

  private:
    static constexpr double kLabelRoom = 60; // a label may stand out of the plot area sideways
    static void build(Line &l, const GraphModel &g, int t);
    void paintTimeAxis(QPainter *painter);
    std::vector<Line> lines_;
    QRectF area_;
    double x0_ = 0, x1_ = 1, y0_ = 0, y1_ = 1;
    QFont font_;
    QColor text_;
    QPen grid_;
    double labelBand_ = 16;
    std::vector<std::pair<double, QString>> labels_;
};

// A series of the pool and the plot it shows.
struct SeriesSlot {
    QXYSeries *series = nullptr;
    int handle = 0; // plot shown (graphs)
    qsizetype run = 0; // which run of the plot's points (a broken line takes a series per run)
    unsigned long long version = 0, lookVersion = 0;
};

// Draws a graph's model, or the operator's frozen copy of it, on a chart.
class GraphView {
  public:
    GraphView(QvGraph *owner, GraphModel &model);
    ~GraphView();

    void schedule();
    void redraw();
    // Hides (or shows again) every curve, line and trace, leaving the frame,
    // grid, axes and texts.
    void setCurvesPainted(bool on);
    void restyle(const QColor &plot, const QColor &grid, const QString &xName, const QString &yName);
    QPointF toChart(const QPointF &v) const;
    QPointF toData(const QPointF &c) const;

    QvGraph *owner;
    GraphModel &m;
    QChartView *view = nullptr;
    QChart *chart = nullptr;
    QValueAxis *ax = nullptr, *ay = nullptr;
    std::vector<SeriesSlot> lines, scatters;
    std::vector<TextItem *> texts; // owned by the chart
    TraceItem *traceItem = nullptr; // strip charts; owned by the chart
    QTimer timer;
    QElapsedTimer clock; // since the last redraw
    bool pending = false;
    int count = 0;
    double x0 = 0, x1 = 10, y0 = 0, y1 = 10; // ranges on screen
    ViewState state;                         // frozen or zoomed by the operator
    QSizeF stepsRoom;                        // the plot area the grid steps were chosen for
    std::function<void()> onRedraw;          // after every redraw

  private:
    void syncAxes();
    void syncPlots();
    void syncTraces();
    void placeItems();
    SeriesSlot &slot(std::vector<SeriesSlot> &pool, std::size_t i, bool scatter);
    static void retire(std::vector<SeriesSlot> &pool, std::size_t from);
    static void applyLook(SeriesSlot &s, const Look &look, bool scatter);
};

} // namespace engine
