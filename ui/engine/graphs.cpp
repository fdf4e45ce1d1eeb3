// Graphs and strip charts over Qt Charts. The plot operations change only a
// graph's model; a single-shot timer per graph brings the chart up to date at
// most once per frame period, so a loop that plots on every measuring cycle
// costs a copy of its data and nothing more. Curves and lines become
// QLineSeries (scatter plots QScatterSeries) taken from a pool that grows to
// the largest number shown at once; texts are graphics items on the chart.
// A strip chart's traces and time axis are one graphics item that draws the
// history itself (TraceItem below).
#include "ui/engine/engine_p.h"
#include "ui/engine/graph_explore_p.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"

#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QLineSeries>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QScatterSeries>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

namespace engine {

// ---- the model ---------------------------------------------------------------------------------
namespace {

// Trace colours on the dark plot area when the panel resource names none.
// They suit the scope's 18-trace chart: a value, its two tolerance lines
// alike and its reference for each of two evaluations, then five traces of
// channel A in blues and five of channel B in greens.
const int kPalette[] = {0xFFFF00, 0xFF8C00, 0xE0E0E0, 0xFF8C00, 0xFF40FF, 0xC080FF, 0xA0A0A0, 0xC080FF, 0x4080FF,
                        0x00C0FF, 0x00FFFF, 0x8080FF, 0x6060C0, 0x00FF00, 0x80FF80, 0x00C080, 0xC0FF00, 0x008040};

} // namespace

double niceStep(double span, int divisions) {
    const double raw = span / std::max(divisions, 1);
    if (!(raw > 0) || !std::isfinite(raw)) return 1.0;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    const double m = raw / p;
    return (m < 1.5 ? 1.0 : m < 3.5 ? 2.0 : m < 7.5 ? 5.0 : 10.0) * p;
}

Qt::PenStyle penStyle(int lineStyle) {
    switch (lineStyle) {
    case VAL_DASH: return Qt::DashLine;
    case VAL_DOT: return Qt::DotLine;
    case VAL_DASH_DOT: return Qt::DashDotLine;
    case VAL_DASH_DOT_DOT: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}

GraphModel::GraphModel(bool stripChart) : strip(stripChart) {
    palette.assign(std::begin(kPalette), std::end(kPalette));
    if (strip) setTraceCount(1);
}

int GraphModel::addPlot(Plot p) {
    p.version = ++serial;
    if (nextHandle == INT_MAX) nextHandle = 1;
    while (plots.count(nextHandle)) ++nextHandle;
    const int h = nextHandle++;
    plots.emplace(h, std::move(p));
    return h;
}

Plot *GraphModel::plot(int handle) {
    auto it = plots.find(handle);
    return it == plots.end() ? nullptr : &it->second;
}

void GraphModel::setTraceCount(int n) {
    const std::size_t old = traces.size();
    traces.resize(static_cast<std::size_t>(n));
    for (std::size_t t = old; t < traces.size(); ++t) {
        traces[t].look.color = palette.empty() ? VAL_WHITE : palette[t % palette.size()];
        traces[t].version = ++serial;
    }
    clearHistory();
}

void GraphModel::clearHistory() {
    ring_.assign(static_cast<std::size_t>(pointsPerScreen) * traces.size(), 0.0);
    head_ = rows_ = 0;
    total = 0;
    stripVersion = ++serial;
}

void GraphModel::setPointsPerScreen(int n) {
    const std::size_t T = traces.size();
    const std::size_t keep = std::min(rows_, static_cast<std::size_t>(n));
    std::vector<double> ring(static_cast<std::size_t>(n) * T, 0.0);
    for (std::size_t r = 0; r < keep; ++r)
        for (std::size_t t = 0; t < T; ++t) ring[r * T + t] = value(rows_ - keep + r, static_cast<int>(t));
    ring_.swap(ring);
    pointsPerScreen = n;
    head_ = 0;
    rows_ = keep;
    stripVersion = ++serial;
}

void GraphModel::appendRows(const double *values, std::size_t rows, long long droppedRows) {
    const std::size_t T = traces.size(), P = static_cast<std::size_t>(pointsPerScreen);
    total += droppedRows;
    std::size_t first = 0;
    if (rows > P) { // only the newest screenful can be seen
        first = rows - P;
        total += static_cast<long long>(first);
    }
    for (std::size_t r = first; r < rows; ++r) {
        std::size_t slot;
        if (rows_ < P) {
            slot = (head_ + rows_) % P;
            ++rows_;
        } else {
            slot = head_;
            head_ = (head_ + 1) % P;
        }
        std::copy(values + r * T, values + (r + 1) * T, ring_.begin() + static_cast<std::ptrdiff_t>(slot * T));
        ++total;
    }
    stripVersion = ++serial;
}

double GraphModel::value(std::size_t r, int t) const {
    const std::size_t T = traces.size(), P = static_cast<std::size_t>(pointsPerScreen);
    return ring_[((head_ + r) % P) * T + static_cast<std::size_t>(t)];
}

std::pair<double, double> GraphModel::range(int axis) const {
    if (strip && axis == VAL_XAXIS) {
        const double lo = rowX(0);
        return {lo, lo + std::max(1, pointsPerScreen - 1)};
    }
    const AxisScale &a = axis == VAL_XAXIS ? x : y;
    if (a.mode == VAL_MANUAL) return {a.min, a.max};

    double lo = INFINITY, hi = -INFINITY;
    auto take = [&](double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    if (strip) {
        for (std::size_t t = 0; t < traces.size(); ++t)
            if (traces[t].visible)
                for (std::size_t r = 0; r < rows_; ++r) take(value(r, static_cast<int>(t)));
    } else {
        for (const auto &kv : plots)
            if (kv.second.visible && kv.second.kind != PlotKind::Text)
                for (const QPointF &pt : kv.second.points) take(axis == VAL_XAXIS ? pt.x() : pt.y());
    }
    if (lo > hi) return {0.0, 10.0};
    lo = std::max(lo, -1e300); // keeps the span finite
    hi = std::min(hi, 1e300);
    if (lo == hi) {
        const double d = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
        lo -= d;
        hi += d;
    }
    const double step = niceStep(hi - lo, axis == VAL_XAXIS ? kXDivisions : kYDivisions);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
}

// ---- drawing -------------------------------------------------------------------------------------
namespace {

constexpr int kFrameMs = 33; // at most about 30 redraws a second

QColor rgb(int c) { return QColor::fromRgb(static_cast<QRgb>(c) & 0xFFFFFF); }

bool stepped(int plotStyle) { return plotStyle == VAL_THIN_STEP || plotStyle == VAL_FAT_STEP; }

// A step plot holds each value until the next point.
QList<QPointF> steps(const QList<QPointF> &pts) {
    QList<QPointF> out;
    if (pts.isEmpty()) return out;
    out.reserve(pts.size() * 2 - 1);
    out.append(pts[0]);
    for (qsizetype i = 1; i < pts.size(); ++i) {
        out.append(QPointF(pts[i].x(), pts[i - 1].y()));
        out.append(pts[i]);
    }
    return out;
}

// Decimals an axis label needs at a grid step.
int labelDecimals(double step) {
    return step >= 1.0 ? 0 : std::min(9, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

QString labelFormat(double step) { return QString("%.%1f").arg(labelDecimals(step)); }

// Text of a text plot, its lower left corner at the item's position.
class TextItem : public QGraphicsItem {
  public:
    explicit TextItem(QGraphicsItem *parent) : QGraphicsItem(parent) { setZValue(100); }
    void set(const Plot &p) {
        prepareGeometryChange();
        text_ = p.text;
        font_ = p.font;
        color_ = rgb(p.look.color);
        background_ = p.background == VAL_TRANSPARENT ? QColor() : rgb(p.background);
        const QFontMetricsF fm(font_);
        descent_ = fm.descent();
        rect_ = QRectF(0, -fm.height(), fm.horizontalAdvance(text_) + 2, fm.height());
        update();
    }
    QRectF boundingRect() const override { return rect_; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override {
        if (background_.isValid()) painter->fillRect(rect_, background_);
        painter->setFont(font_);
        painter->setPen(color_);
        painter->drawText(QPointF(1, -descent_), text_);
    }
    int handle = 0;
    unsigned long long version = 0;
    QPointF at;

  private:
    QString text_;
    QFont font_;
    QColor color_, background_;
    QRectF rect_;
    double descent_ = 0;
};

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

void TraceItem::setStyle(const QFont &font, const QColor &text, const QPen &grid) {
    prepareGeometryChange();
    font_ = font;
    text_ = text;
    grid_ = grid;
    labelBand_ = QFontMetricsF(font).height() + 6;
    update();
}

void TraceItem::paintTimeAxis(QPainter *painter) {
    labels_.clear();
    const double span = x1_ - x0_;
    const QFontMetricsF fm(font_);
    // The widest label sets how many fit: fewer divisions until they do.
    int divisions = kXDivisions;
    double step = niceStep(span, divisions);
    auto text = [&](double v) { return QString::number(v, 'f', labelDecimals(step)); };
    const double gap = 8;
    for (;;) {
        const double widest = std::max(fm.horizontalAdvance(text(x0_)), fm.horizontalAdvance(text(x1_))) + gap;
        if (divisions == 1 || (span / step + 1) * widest <= area_.width()) break;
        step = niceStep(span, --divisions);
    }
    const double sx = area_.width() / span;
    const QRectF room = parentItem() ? parentItem()->boundingRect() : boundingRect();
    painter->setFont(font_);
    const double first = std::ceil(x0_ / step - 1e-9);
    for (int k = 0;; ++k) {
        const double v = (first + k) * step;
        if (v > x1_ + step * 1e-9 || k > 1000) break;
        const double px = area_.left() + (v - x0_) * sx;
        painter->setPen(grid_);
        painter->drawLine(QPointF(px, area_.top()), QPointF(px, area_.bottom()));
        const QString t = text(v == 0.0 ? 0.0 : v); // no "-0"
        const double w = fm.horizontalAdvance(t);
        if (px - w / 2 < room.left() || px + w / 2 > room.right()) continue; // would be cut at the edge
        painter->setPen(text_);
        painter->drawText(QPointF(px - w / 2, area_.bottom() + 4 + fm.ascent()), t);
        labels_.emplace_back(v, t);
    }
}

void TraceItem::take(const GraphModel &g) {
    bool changed = lines_.size() != g.traces.size();
    lines_.resize(g.traces.size());
    for (std::size_t t = 0; t < g.traces.size(); ++t) {
        const Trace &tr = g.traces[t];
        Line &l = lines_[t];
        if (l.visible != tr.visible) changed = true;
        l.visible = tr.visible;
        if (!tr.visible) continue;
        const bool newLook = l.lookVersion != tr.version;
        if (newLook) {
            const bool steps = stepped(l.look.plotStyle) != stepped(tr.look.plotStyle);
            l.look = tr.look;
            const bool fat = tr.look.plotStyle == VAL_FAT_LINE || tr.look.plotStyle == VAL_FAT_STEP;
            const int width = tr.look.lineWidth > 0 ? tr.look.lineWidth : fat ? 2 : 1;
            l.pen = QPen(rgb(tr.look.color), width, penStyle(tr.look.lineStyle), Qt::FlatCap, Qt::RoundJoin);
            l.pen.setCosmetic(true);
            l.lookVersion = tr.version;
            if (steps) l.version = 0; // the points change shape
        }
        if (l.version != g.stripVersion) {
            build(l, g, static_cast<int>(t));
            l.version = g.stripVersion;
            changed = true;
        }
        changed = changed || newLook;
    }
    if (changed) update();
}

void TraceItem::build(Line &l, const GraphModel &g, int t) {
    const std::size_t rows = g.rowsKept();
    const bool steps = stepped(l.look.plotStyle);
    l.points.clear();
    l.starts.clear();
    l.points.reserve(static_cast<qsizetype>(steps ? rows * 2 : rows));
    bool inRun = false;
    for (std::size_t r = 0; r < rows; ++r) {
        const double v = g.value(r, t);
        if (!std::isfinite(v)) {
            inRun = false;
            continue;
        }
        const double x = g.rowX(r);
        if (!inRun) {
            l.starts.push_back(static_cast<int>(l.points.size()));
            inRun = true;
        } else if (steps) {
            l.points.append(QPointF(x, l.points.constLast().y())); // held until this row
        }
        l.points.append(QPointF(x, v));
    }
}

void TraceItem::place(const QRectF &area, double x0, double x1, double y0, double y1) {
    if (area != area_) prepareGeometryChange();
    area_ = area;
    x0_ = x0;
    x1_ = x1;
    y0_ = y0;
    y1_ = y1;
    update();
}

void TraceItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) {
    if (area_.isEmpty() || !(x1_ > x0_) || !(y1_ > y0_)) return;
    const double sx = area_.width() / (x1_ - x0_), sy = -area_.height() / (y1_ - y0_);
    const QTransform toArea(sx, 0, 0, sy, area_.left() - x0_ * sx, area_.bottom() - y0_ * sy);
    painter->save();
    const QTransform base = painter->worldTransform();
    paintTimeAxis(painter);
    painter->setClipRect(area_, Qt::IntersectClip);
    for (const Line &l : lines_) {
        if (!l.visible || l.points.isEmpty()) continue;
        painter->setWorldTransform(toArea * base);
        painter->setPen(l.pen);
        const int n = static_cast<int>(l.points.size());
        const auto runEnd = [&](std::size_t i) { return i + 1 < l.starts.size() ? l.starts[i + 1] : n; };
        bool lone = false;
        for (std::size_t i = 0; i < l.starts.size(); ++i) {
            const int from = l.starts[i], count = runEnd(i) - from;
            if (count > 1) painter->drawPolyline(l.points.constData() + from, count);
            else lone = true;
        }
        const bool marks = l.look.plotStyle == VAL_CONNECTED_POINTS && l.look.pointStyle != VAL_NO_POINT;
        if (!marks && !lone) continue;
        // Marks, and values standing alone between missing ones, as dots of
        // a fixed size in pixels.
        painter->setWorldTransform(base);
        painter->setBrush(l.pen.color());
        painter->setPen(Qt::NoPen);
        const double r = marks && l.look.pointStyle != VAL_SIMPLE_DOT ? 2.5 : 1.5;
        for (std::size_t i = 0; i < l.starts.size(); ++i) {
            const int from = l.starts[i], to = runEnd(i);
            if (marks || to - from == 1)
                for (int k = from; k < to; ++k) painter->drawEllipse(toArea.map(l.points[k]), r, r);
        }
        painter->setBrush(Qt::NoBrush);
    }
    painter->restore();
}

struct Slot {
    QXYSeries *series = nullptr;
    int handle = 0; // plot shown (graphs)
    unsigned long long version = 0, lookVersion = 0;
};

} // namespace

class GraphView {
  public:
    GraphView(QvGraph *owner, GraphModel &model);
    ~GraphView() { delete view; }

    void schedule();
    void redraw();
    void restyle(const QColor &plot, const QColor &grid, const QString &xName, const QString &yName);
    QPointF toChart(const QPointF &v) const;
    QPointF toData(const QPointF &c) const;

    QvGraph *owner;
    GraphModel &m;
    QChartView *view = nullptr;
    QChart *chart = nullptr;
    QValueAxis *ax = nullptr, *ay = nullptr;
    std::vector<Slot> lines, scatters;
    std::vector<TextItem *> texts; // owned by the chart
    TraceItem *traceItem = nullptr; // strip charts; owned by the chart
    QTimer timer;
    QElapsedTimer clock; // since the last redraw
    bool pending = false;
    int count = 0;
    double x0 = 0, x1 = 10, y0 = 0, y1 = 10; // ranges on screen
    ViewState state;                         // frozen or zoomed by the operator
    std::function<void()> onRedraw;          // after every redraw

  private:
    void syncAxes();
    void syncPlots();
    void syncTraces();
    void placeItems();
    Slot &slot(std::vector<Slot> &pool, std::size_t i, bool scatter);
    static void retire(std::vector<Slot> &pool, std::size_t from);
    static void applyLook(Slot &s, const Look &look, bool scatter);
};

GraphView::GraphView(QvGraph *o, GraphModel &model) : owner(o), m(model) {
    chart = new QChart;
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 8, 12, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    ax = new QValueAxis;
    ay = new QValueAxis;
    for (QValueAxis *a : {ax, ay}) {
        a->setTickType(QValueAxis::TicksDynamic);
        a->setTickAnchor(0.0);
        a->setMinorTickCount(0);
    }
    chart->addAxis(ax, Qt::AlignBottom);
    chart->addAxis(ay, Qt::AlignLeft);

    view = new QChartView(chart, owner);
    view->setFrameShape(QFrame::NoFrame);
    view->setRenderHint(QPainter::Antialiasing);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFocusPolicy(Qt::NoFocus);
    // Clicks go to the graph widget, whose callback handles them; should one
    // be sent to the view itself it stops there, so it reaches the callback once.
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->setAttribute(Qt::WA_NoMousePropagation);
    view->viewport()->setAttribute(Qt::WA_NoMousePropagation);
    auto *layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, owner, [this] { redraw(); });
    if (m.strip) traceItem = new TraceItem(chart);
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [this] { placeItems(); });
    syncAxes();
}

void GraphView::restyle(const QColor &plot, const QColor &grid, const QString &xName, const QString &yName) {
    chart->setBackgroundBrush(plot);
    chart->setBackgroundPen(Qt::NoPen);
    chart->setPlotAreaBackgroundVisible(false);
    QFont small = QGuiApplication::font();
    small.setPixelSize(10);
    const QColor text(190, 190, 190);
    for (QValueAxis *a : {ax, ay}) {
        a->setLabelsFont(small);
        a->setLabelsBrush(text);
        a->setLinePen(QPen(QColor(140, 140, 140), 1));
        a->setGridLinePen(QPen(grid, 1, Qt::DotLine));
        a->setTitleFont(small);
        a->setTitleBrush(text);
    }
    ax->setTitleText(xName);
    ax->setTitleVisible(!xName.isEmpty());
    ay->setTitleText(yName);
    ay->setTitleVisible(!yName.isEmpty());
    if (traceItem) { // the trace item draws the time axis's grid and labels
        ax->setGridLineVisible(false);
        ax->setLabelsBrush(Qt::transparent);
        traceItem->setStyle(small, text, QPen(grid, 1, Qt::DotLine));
    }
}

void GraphView::schedule() {
    pending = true;
    if (!owner->isVisible() || timer.isActive()) return;
    const qint64 since = clock.isValid() ? clock.elapsed() : kFrameMs;
    timer.start(static_cast<int>(std::max<qint64>(0, kFrameMs - since)));
}

void GraphView::redraw() {
    timer.stop();
    pending = false;
    clock.start();
    ++count;
    syncAxes();
    // A frozen view keeps what it showed; only its axes follow the zoom.
    if (m.strip) syncTraces(); // draws the frozen copy when frozen
    else if (!state.frozen) syncPlots();
    chart->layout()->activate(); // the plot area for the new axis labels
    placeItems();
    if (onRedraw) onRedraw();
}

void GraphView::syncAxes() {
    auto apply = [](QValueAxis *a, std::pair<double, double> r, int divisions) {
        const double step = niceStep(r.second - r.first, divisions);
        // Coarser grid first, narrower range first: no step in between asks
        // for thousands of grid lines and labels.
        const bool coarser = step > a->tickInterval();
        if (coarser) a->setTickInterval(step);
        if (a->min() != r.first || a->max() != r.second) a->setRange(r.first, r.second);
        if (!coarser && a->tickInterval() != step) a->setTickInterval(step);
        const QString format = labelFormat(step);
        if (a->labelFormat() != format) a->setLabelFormat(format);
    };
    const auto xr = state.range(m, VAL_XAXIS), yr = state.range(m, VAL_LEFT_YAXIS);
    // A strip chart's x axis keeps still: it only holds the room for the
    // labels the trace item draws.
    if (traceItem) apply(ax, {0.0, 1.0}, 1);
    else apply(ax, xr, kXDivisions);
    apply(ay, yr, kYDivisions);
    x0 = xr.first;
    x1 = xr.second;
    y0 = yr.first;
    y1 = yr.second;
}

Slot &GraphView::slot(std::vector<Slot> &pool, std::size_t i, bool scatter) {
    while (pool.size() <= i) {
        Slot s;
        s.series = scatter ? static_cast<QXYSeries *>(new QScatterSeries) : new QLineSeries;
        chart->addSeries(s.series);
        s.series->attachAxis(ax);
        s.series->attachAxis(ay);
        s.series->setVisible(false);
        pool.push_back(s);
    }
    return pool[i];
}

void GraphView::retire(std::vector<Slot> &pool, std::size_t from) {
    for (std::size_t i = from; i < pool.size(); ++i) {
        Slot &s = pool[i];
        if (s.handle == 0 && s.version == 0) continue;
        s.series->setVisible(false);
        s.series->clear();
        s.handle = 0;
        s.version = s.lookVersion = 0;
    }
}

void GraphView::applyLook(Slot &s, const Look &look, bool scatter) {
    const QColor c = rgb(look.color);
    if (scatter) {
        auto *sc = static_cast<QScatterSeries *>(s.series);
        QScatterSeries::MarkerShape shape = QScatterSeries::MarkerShapeRectangle;
        qreal size = 6;
        bool filled = true;
        switch (look.pointStyle) {
        case VAL_SIMPLE_DOT: shape = QScatterSeries::MarkerShapeCircle; size = 3; break;
        case VAL_EMPTY_SQUARE: filled = false; break;
        case VAL_SOLID_CIRCLE: shape = QScatterSeries::MarkerShapeCircle; break;
        case VAL_EMPTY_CIRCLE: shape = QScatterSeries::MarkerShapeCircle; filled = false; break;
        case VAL_SOLID_DIAMOND: shape = QScatterSeries::MarkerShapeRotatedRectangle; size = 7; break;
        case VAL_EMPTY_DIAMOND: shape = QScatterSeries::MarkerShapeRotatedRectangle; size = 7; filled = false; break;
        default: break;
        }
        sc->setMarkerShape(shape);
        sc->setMarkerSize(size);
        sc->setPen(QPen(c, 1));
        sc->setBrush(filled ? QBrush(c) : QBrush(Qt::NoBrush));
        return;
    }
    const bool fat = look.plotStyle == VAL_FAT_LINE || look.plotStyle == VAL_FAT_STEP;
    const int width = look.lineWidth > 0 ? look.lineWidth : fat ? 2 : 1;
    s.series->setPen(QPen(c, width, penStyle(look.lineStyle), Qt::FlatCap, Qt::RoundJoin));
    const bool marks = look.plotStyle == VAL_CONNECTED_POINTS && look.pointStyle != VAL_NO_POINT;
    s.series->setPointsVisible(marks);
    if (marks) s.series->setMarkerSize(look.pointStyle == VAL_SIMPLE_DOT ? 3 : 5);
}

void GraphView::syncPlots() {
    std::size_t li = 0, si = 0, ti = 0;
    for (const auto &[handle, p] : m.plots) {
        if (!p.visible) continue;
        if (p.kind == PlotKind::Text) {
            if (ti == texts.size()) texts.push_back(new TextItem(chart));
            TextItem *t = texts[ti++];
            if (t->handle != handle || t->version != p.version) {
                t->set(p);
                t->handle = handle;
                t->version = p.version;
                t->at = p.at;
            }
            continue;
        }
        const bool scatter = p.look.plotStyle == VAL_SCATTER;
        Slot &s = scatter ? slot(scatters, si++, true) : slot(lines, li++, false);
        if (s.handle != handle || s.version != p.version) {
            applyLook(s, p.look, scatter);
            s.series->replace(stepped(p.look.plotStyle) ? steps(p.points) : p.points);
            s.handle = handle;
            s.version = p.version;
        }
        if (!s.series->isVisible()) s.series->setVisible(true);
    }
    retire(lines, li);
    retire(scatters, si);
    for (std::size_t i = ti; i < texts.size(); ++i) texts[i]->handle = 0;
}

void GraphView::syncTraces() { traceItem->take(state.shown(m)); }

QPointF GraphView::toChart(const QPointF &v) const {
    const QRectF pa = chart->plotArea();
    return {pa.left() + (v.x() - x0) / (x1 - x0) * pa.width(), pa.bottom() - (v.y() - y0) / (y1 - y0) * pa.height()};
}

QPointF GraphView::toData(const QPointF &c) const {
    const QRectF pa = chart->plotArea();
    if (pa.width() <= 0 || pa.height() <= 0) return {x0, y0};
    return {x0 + (c.x() - pa.left()) / pa.width() * (x1 - x0), y0 + (pa.bottom() - c.y()) / pa.height() * (y1 - y0)};
}

void GraphView::placeItems() {
    const QRectF pa = chart->plotArea();
    if (traceItem) traceItem->place(pa, x0, x1, y0, y1);
    for (TextItem *t : texts) {
        const bool inside = t->handle != 0 && !pa.isEmpty() && t->at.x() >= x0 && t->at.x() <= x1 &&
                            t->at.y() >= y0 && t->at.y() <= y1;
        if (inside) t->setPos(toChart(t->at));
        t->setVisible(inside);
    }
}

// Redraws every graph below root that waits for its timer.
void flushGraphs(QWidget *root) {
    if (!root) return;
    QList<QvGraph *> graphs = root->findChildren<QvGraph *>();
    if (auto *g = qobject_cast<QvGraph *>(root)) graphs.append(g);
    for (QvGraph *g : graphs)
        if (g->redrawPending()) g->redrawNow();
}

} // namespace engine

// ---- the widgets ---------------------------------------------------------------------------------
QvGraph::QvGraph(QWidget *parent) : QvGraph(parent, false) {}

QvGraph::QvGraph(QWidget *parent, bool stripChart)
    : QFrame(parent), model_(std::make_unique<engine::GraphModel>(stripChart)) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    view_ = std::make_unique<engine::GraphView>(this, *model_);
    restyle();
    explorer_ = std::make_unique<engine::GraphExplorer>(this);
    view_->onRedraw = [this] { explorer_->viewRedrawn(); };
}

QvGraph::~QvGraph() = default;

void QvGraph::scheduleRedraw() { view_->schedule(); }
void QvGraph::redrawNow() { view_->redraw(); }
bool QvGraph::redrawPending() const { return view_->pending; }
int QvGraph::redrawCount() const { return view_->count; }
QWidget *QvGraph::chartView() const { return view_->view; }
engine::ViewState &QvGraph::viewState() { return view_->state; }
engine::GraphExplorer &QvGraph::explorer() const { return *explorer_; }

std::pair<double, double> QvGraph::shownRange(int axis) const {
    return axis == VAL_XAXIS ? std::make_pair(view_->x0, view_->x1) : std::make_pair(view_->y0, view_->y1);
}

QRectF QvGraph::plotArea() const {
    const QRectF pa = view_->chart->plotArea();
    return {toWidgetFromChart(pa.topLeft()), toWidgetFromChart(pa.bottomRight())};
}

QPointF QvGraph::toWidgetFromChart(const QPointF &c) const {
    const QPointF vp = view_->view->mapFromScene(view_->chart->mapToScene(c));
    return view_->view->viewport()->mapTo(this, vp);
}

QPointF QvGraph::toData(const QPoint &widgetPos) const {
    const QPoint vp = view_->view->viewport()->mapFrom(this, widgetPos);
    return view_->toData(view_->chart->mapFromScene(view_->view->mapToScene(vp)));
}

QPointF QvGraph::toWidget(const QPointF &data) const { return toWidgetFromChart(view_->toChart(data)); }

void QvGraph::showEvent(QShowEvent *e) {
    QFrame::showEvent(e);
    if (view_->pending) view_->schedule();
}

void QvGraph::restyle() {
    view_->restyle(plotColor_, gridColor_, xName_, yName_);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, plotColor_);
    setPalette(pal);
}

void QvGraph::setXName(const QString &s) {
    xName_ = s;
    restyle();
}

void QvGraph::setYName(const QString &s) {
    yName_ = s;
    restyle();
}

void QvGraph::setPlotColor(const QColor &c) {
    plotColor_ = c;
    restyle();
}

void QvGraph::setGridColor(const QColor &c) {
    gridColor_ = c;
    restyle();
}

QvStripChart::QvStripChart(QWidget *parent) : QvGraph(parent, true) {}

QList<QPolygonF> QvStripChart::drawnLines(int t) const {
    QList<QPolygonF> out;
    const engine::TraceItem *item = view().traceItem;
    if (!item || t < 0 || static_cast<std::size_t>(t) >= item->lines().size()) return out;
    const auto &l = item->lines()[static_cast<std::size_t>(t)];
    if (!l.visible) return out;
    for (std::size_t i = 0; i < l.starts.size(); ++i) {
        const int from = l.starts[i];
        const int to = i + 1 < l.starts.size() ? l.starts[i + 1] : static_cast<int>(l.points.size());
        out.append(l.points.mid(from, to - from));
    }
    return out;
}

QColor QvStripChart::drawnColor(int t) const {
    const engine::TraceItem *item = view().traceItem;
    if (!item || t < 0 || static_cast<std::size_t>(t) >= item->lines().size()) return {};
    return item->lines()[static_cast<std::size_t>(t)].pen.color();
}

QStringList QvStripChart::drawnTimeLabels() const {
    QStringList out;
    if (const engine::TraceItem *item = view().traceItem)
        for (const auto &l : item->timeLabels()) out << l.second;
    return out;
}

int QvStripChart::numTraces() const { return static_cast<int>(model().traces.size()); }

void QvStripChart::setNumTraces(int n) {
    model().setTraceCount(std::clamp(n, 1, engine::GraphModel::kMaxTraces));
    scheduleRedraw();
}

int QvStripChart::pointsPerScreen() const { return model().pointsPerScreen; }

void QvStripChart::setPointsPerScreen(int n) {
    n = std::clamp(n, 2, engine::GraphModel::kMaxPointsPerScreen);
    if (n == model().pointsPerScreen) return; // the kept rows stay as they are
    model().setPointsPerScreen(n);
    scheduleRedraw();
}

QString QvStripChart::traceColors() const {
    QStringList names;
    for (const auto &t : model().traces) names << engine::colorName(t.look.color);
    return names.join(',');
}

void QvStripChart::setTraceColors(const QString &names) {
    engine::GraphModel &m = model();
    std::vector<int> palette;
    for (const QString &n : names.split(',', Qt::SkipEmptyParts)) {
        const QColor c(n.trimmed());
        if (c.isValid()) palette.push_back(static_cast<int>(c.rgb() & 0xFFFFFF));
    }
    if (palette.empty()) return;
    m.palette = palette;
    for (std::size_t t = 0; t < m.traces.size(); ++t) {
        m.traces[t].look.color = palette[t % palette.size()];
        m.traces[t].version = ++m.serial;
    }
    scheduleRedraw();
}

// ---- operations ----------------------------------------------------------------------------------
using namespace engine;

namespace {

enum GraphKind { AnyGraph, PlotGraph, StripChart };

QvGraph *graphOf(int panelHandle, int id, int &rc, GraphKind kind) {
    ControlRec *c = control(panelHandle, id);
    if (!c) {
        rc = panel(panelHandle) ? UIE_InvalidControl : UIE_InvalidPanel;
        return nullptr;
    }
    const bool ok = kind == AnyGraph ? (c->kind == CTRL_KIND_GRAPH || c->kind == CTRL_KIND_STRIPCHART)
                    : kind == PlotGraph ? c->kind == CTRL_KIND_GRAPH
                                        : c->kind == CTRL_KIND_STRIPCHART;
    if (!ok) {
        rc = UIE_TypeMismatch;
        return nullptr;
    }
    rc = 0;
    return static_cast<QvGraph *>(c->widget.data());
}

template <typename T> double element(const void *a, std::size_t i) {
    return static_cast<double>(static_cast<const T *>(a)[i]);
}

using Reader = double (*)(const void *, std::size_t);

Reader readerFor(int dataType) {
    switch (dataType) {
    case VAL_CHAR: return element<signed char>;
    case VAL_UNSIGNED_CHAR: return element<unsigned char>;
    case VAL_SHORT_INTEGER: return element<short>;
    case VAL_UNSIGNED_SHORT_INTEGER: return element<unsigned short>;
    case VAL_INTEGER: return element<int>;
    case VAL_UNSIGNED_INTEGER: return element<unsigned int>;
    case VAL_FLOAT: return element<float>;
    case VAL_DOUBLE: return element<double>;
    default: return nullptr;
    }
}

bool validColor(int c) { return c >= 0 && c <= 0xFFFFFF; }

int setLook(Look &look, int attribute, int value) {
    switch (attribute) {
    case ATTR_TRACE_COLOR:
        if (!validColor(value)) return UIE_InvalidArgument;
        look.color = value;
        return 0;
    case ATTR_PLOT_STYLE:
        if (value < VAL_THIN_LINE || value > VAL_FAT_STEP) return UIE_InvalidArgument;
        look.plotStyle = value;
        return 0;
    case ATTR_TRACE_POINT_STYLE:
        if (value < VAL_NO_POINT || value > VAL_EMPTY_DIAMOND) return UIE_InvalidArgument;
        look.pointStyle = value;
        return 0;
    case ATTR_LINE_STYLE:
        if (value < VAL_SOLID || value > VAL_DASH_DOT_DOT) return UIE_InvalidArgument;
        look.lineStyle = value;
        return 0;
    case ATTR_LINE_WIDTH:
        if (value < 0 || value > 16) return UIE_InvalidArgument;
        look.lineWidth = value;
        return 0;
    default: return UIE_InvalidAttribute;
    }
}

int getLook(const Look &look, int attribute, int *value) {
    int v = 0;
    switch (attribute) {
    case ATTR_TRACE_COLOR: v = look.color; break;
    case ATTR_PLOT_STYLE: v = look.plotStyle; break;
    case ATTR_TRACE_POINT_STYLE: v = look.pointStyle; break;
    case ATTR_LINE_STYLE: v = look.lineStyle; break;
    case ATTR_LINE_WIDTH: v = look.lineWidth; break;
    default: return UIE_InvalidAttribute;
    }
    if (value) *value = v;
    return 0;
}

QFont fontFor(const char *name) {
    const QString n = QString::fromUtf8(name && *name ? name : VAL_SYSTEM_META_FONT);
    QFont f = QGuiApplication::font();
    if (n == VAL_SYSTEM_META_FONT) {
        f.setPixelSize(10);
    } else if (n == VAL_EDITOR_META_FONT) {
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setPixelSize(12);
    } else if (n == VAL_DIALOG_META_FONT || n == VAL_APP_META_FONT) {
        f.setPixelSize(12);
    } else {
        f.setFamily(n);
        f.setPixelSize(12);
    }
    return f;
}

} // namespace

namespace engine {

int graphSetCtrlAttribute(ControlRec *c, int attribute, int value) {
    if (c->kind != CTRL_KIND_GRAPH && c->kind != CTRL_KIND_STRIPCHART) return UIE_InvalidAttribute;
    auto *g = static_cast<QvGraph *>(c->widget.data());
    auto *s = qobject_cast<QvStripChart *>(g);
    switch (attribute) {
    case ATTR_POINTS_PER_SCREEN:
        if (!s) return UIE_InvalidAttribute;
        if (value < 2 || value > GraphModel::kMaxPointsPerScreen) return UIE_InvalidArgument;
        if (value != s->pointsPerScreen()) s->setPointsPerScreen(value);
        return 0;
    case ATTR_NUM_TRACES:
        if (!s) return UIE_InvalidAttribute;
        if (value < 1 || value > GraphModel::kMaxTraces) return UIE_InvalidArgument;
        if (value != s->numTraces()) s->setNumTraces(value);
        return 0;
    case ATTR_PLOT_BGCOLOR:
    case ATTR_GRID_COLOR:
        if (!validColor(value)) return UIE_InvalidArgument;
        attribute == ATTR_PLOT_BGCOLOR ? g->setPlotColor(rgb(value)) : g->setGridColor(rgb(value));
        return 0;
    default: return UIE_InvalidAttribute;
    }
}

int graphGetCtrlAttribute(ControlRec *c, int attribute, int *value) {
    if (c->kind != CTRL_KIND_GRAPH && c->kind != CTRL_KIND_STRIPCHART) return UIE_InvalidAttribute;
    auto *g = static_cast<QvGraph *>(c->widget.data());
    auto *s = qobject_cast<QvStripChart *>(g);
    int v = 0;
    switch (attribute) {
    case ATTR_POINTS_PER_SCREEN:
        if (!s) return UIE_InvalidAttribute;
        v = s->pointsPerScreen();
        break;
    case ATTR_NUM_TRACES:
        if (!s) return UIE_InvalidAttribute;
        v = s->numTraces();
        break;
    case ATTR_PLOT_BGCOLOR: v = static_cast<int>(g->plotColor().rgb() & 0xFFFFFF); break;
    case ATTR_GRID_COLOR: v = static_cast<int>(g->gridColor().rgb() & 0xFFFFFF); break;
    default: return UIE_InvalidAttribute;
    }
    if (value) *value = v;
    return 0;
}

} // namespace engine

int PlotXY(int panelHandle, int id, const void *xArray, const void *yArray, std::size_t numberOfPoints,
           int xDataType, int yDataType, int plotStyle, int pointStyle, int lineStyle, int pointFrequency,
           int color) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, PlotGraph);
    if (!g) return rc;
    const Reader rx = readerFor(xDataType), ry = readerFor(yDataType);
    if (!rx || !ry || !xArray || !yArray || numberOfPoints == 0 || pointFrequency < 1)
        return UIE_InvalidArgument;
    Plot p;
    if ((rc = setLook(p.look, ATTR_PLOT_STYLE, plotStyle)) < 0 ||
        (rc = setLook(p.look, ATTR_TRACE_POINT_STYLE, pointStyle)) < 0 ||
        (rc = setLook(p.look, ATTR_LINE_STYLE, lineStyle)) < 0 || (rc = setLook(p.look, ATTR_TRACE_COLOR, color)) < 0)
        return rc;
    p.points.reserve(static_cast<qsizetype>(numberOfPoints));
    for (std::size_t i = 0; i < numberOfPoints; ++i) {
        const double x = rx(xArray, i), y = ry(yArray, i);
        if (std::isfinite(x) && std::isfinite(y)) p.points.append(QPointF(x, y));
    }
    const int handle = g->model().addPlot(std::move(p));
    g->scheduleRedraw();
    return handle;
}

int PlotLine(int panelHandle, int id, double x1, double y1, double x2, double y2, int color) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, PlotGraph);
    if (!g) return rc;
    if (!validColor(color)) return UIE_InvalidArgument;
    Plot p;
    p.kind = PlotKind::Line;
    p.look.color = color;
    for (QPointF pt : {QPointF(x1, y1), QPointF(x2, y2)})
        if (std::isfinite(pt.x()) && std::isfinite(pt.y())) p.points.append(pt);
    const int handle = g->model().addPlot(std::move(p));
    g->scheduleRedraw();
    return handle;
}

int PlotText(int panelHandle, int id, double x, double y, const char *text, const char *fontName, int textColor,
             int backgroundColor) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, PlotGraph);
    if (!g) return rc;
    if (!validColor(textColor) || (backgroundColor != VAL_TRANSPARENT && !validColor(backgroundColor)))
        return UIE_InvalidArgument;
    Plot p;
    p.kind = PlotKind::Text;
    p.at = QPointF(x, y);
    p.text = QString::fromUtf8(text ? text : "");
    p.font = fontFor(fontName);
    p.look.color = textColor;
    p.background = backgroundColor;
    const int handle = g->model().addPlot(std::move(p));
    g->scheduleRedraw();
    return handle;
}

int DeleteGraphPlot(int panelHandle, int id, int plotHandle, int refresh) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, PlotGraph);
    if (!g) return rc;
    if (refresh < VAL_NO_DRAW || refresh > VAL_IMMEDIATE_DRAW) return UIE_InvalidArgument;
    GraphModel &m = g->model();
    if (plotHandle == VAL_ALL_PLOTS) m.plots.clear();
    else if (!m.plots.erase(plotHandle)) return UIE_InvalidPlot;
    // A delayed deletion shows with whatever changes the graph next.
    if (refresh == VAL_IMMEDIATE_DRAW) g->scheduleRedraw();
    return 0;
}

int SetPlotAttribute(int panelHandle, int id, int plotHandle, int attribute, int value) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, PlotGraph);
    if (!g) return rc;
    Plot *p = g->model().plot(plotHandle);
    if (!p) return UIE_InvalidPlot;
    const bool text = p->kind == PlotKind::Text;
    if (attribute == ATTR_TRACE_VISIBLE) {
        p->visible = value != 0;
    } else if (attribute == ATTR_TEXT_BGCOLOR) {
        if (!text) return UIE_InvalidAttribute;
        if (value != VAL_TRANSPARENT && !validColor(value)) return UIE_InvalidArgument;
        p->background = value;
    } else {
        if (text && attribute != ATTR_TRACE_COLOR) return UIE_InvalidAttribute;
        if ((rc = setLook(p->look, attribute, value)) < 0) return rc;
    }
    g->model().touch(*p);
    g->scheduleRedraw();
    return 0;
}

int GetPlotAttribute(int panelHandle, int id, int plotHandle, int attribute, int *value) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, PlotGraph);
    if (!g) return rc;
    const Plot *p = g->model().plot(plotHandle);
    if (!p) return UIE_InvalidPlot;
    if (attribute == ATTR_TRACE_VISIBLE) {
        if (value) *value = p->visible ? 1 : 0;
        return 0;
    }
    if (attribute == ATTR_TEXT_BGCOLOR) {
        if (p->kind != PlotKind::Text) return UIE_InvalidAttribute;
        if (value) *value = p->background;
        return 0;
    }
    return getLook(p->look, attribute, value);
}

int SetAxisScalingMode(int panelHandle, int id, int axis, int mode, double min, double max) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, AnyGraph);
    if (!g) return rc;
    GraphModel &m = g->model();
    if ((axis != VAL_XAXIS && axis != VAL_LEFT_YAXIS) || (m.strip && axis == VAL_XAXIS)) return UIE_InvalidArgument;
    AxisScale &a = axis == VAL_XAXIS ? m.x : m.y;
    if (mode == VAL_MANUAL) {
        if (!std::isfinite(max - min) || !(min < max)) return UIE_InvalidArgument;
        a.min = min;
        a.max = max;
    } else if (mode != VAL_AUTOSCALE) {
        return UIE_InvalidArgument;
    }
    a.mode = mode;
    g->scheduleRedraw();
    return 0;
}

int GetAxisScalingMode(int panelHandle, int id, int axis, int *mode, double *min, double *max) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, AnyGraph);
    if (!g) return rc;
    const GraphModel &m = g->model();
    if (axis != VAL_XAXIS && axis != VAL_LEFT_YAXIS) return UIE_InvalidArgument;
    const auto r = m.range(axis);
    if (mode) *mode = m.strip && axis == VAL_XAXIS ? VAL_MANUAL : (axis == VAL_XAXIS ? m.x : m.y).mode;
    if (min) *min = r.first;
    if (max) *max = r.second;
    return 0;
}

int PlotStripChart(int panelHandle, int id, const void *yArray, std::size_t numberOfPoints, int startingIndex,
                   int skipCount, int dataType) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, StripChart);
    if (!g) return rc;
    GraphModel &m = g->model();
    const Reader read = readerFor(dataType);
    const std::size_t T = m.traces.size();
    if (!read || !yArray || startingIndex < 0 || skipCount < 0 || numberOfPoints % T != 0)
        return UIE_InvalidArgument;
    if (numberOfPoints == 0) return 0;
    const std::size_t rows = numberOfPoints / T;
    const std::size_t P = static_cast<std::size_t>(m.pointsPerScreen);
    const std::size_t dropped = rows > P ? rows - P : 0; // scroll out before they are seen
    const std::size_t start = static_cast<std::size_t>(startingIndex), stride = static_cast<std::size_t>(skipCount) + 1;
    std::vector<double> values((rows - dropped) * T);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = read(yArray, start + (dropped * T + k) * stride);
    m.appendRows(values.data(), rows - dropped, static_cast<long long>(dropped));
    g->scheduleRedraw();
    return 0;
}

int ClearStripChart(int panelHandle, int id) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, StripChart);
    if (!g) return rc;
    g->model().clearHistory();
    g->scheduleRedraw();
    return 0;
}

int SetTraceAttribute(int panelHandle, int id, int trace, int attribute, int value) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, StripChart);
    if (!g) return rc;
    GraphModel &m = g->model();
    if (trace < 1 || trace > static_cast<int>(m.traces.size())) return UIE_IndexOutOfRange;
    Trace &t = m.traces[static_cast<std::size_t>(trace - 1)];
    if (attribute == ATTR_TRACE_VISIBLE) {
        t.visible = value != 0;
    } else if ((rc = setLook(t.look, attribute, value)) < 0) {
        return rc;
    }
    t.version = ++m.serial;
    g->scheduleRedraw();
    return 0;
}

int GetTraceAttribute(int panelHandle, int id, int trace, int attribute, int *value) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, StripChart);
    if (!g) return rc;
    const GraphModel &m = g->model();
    if (trace < 1 || trace > static_cast<int>(m.traces.size())) return UIE_IndexOutOfRange;
    const Trace &t = m.traces[static_cast<std::size_t>(trace - 1)];
    if (attribute == ATTR_TRACE_VISIBLE) {
        if (value) *value = t.visible ? 1 : 0;
        return 0;
    }
    return getLook(t.look, attribute, value);
}

int RefreshGraph(int panelHandle, int id) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, AnyGraph);
    if (!g) return rc;
    g->redrawNow();
    return 0;
}

Point MakePoint(int x, int y) { return Point{x, y}; }

int GetGraphCoordsFromPoint(int panelHandle, int id, Point point, double *x, double *y) {
    int rc;
    QvGraph *g = graphOf(panelHandle, id, rc, AnyGraph);
    if (!g) return rc;
    const QPointF d = g->toData(g->mapFrom(panel(panelHandle)->widget.data(), QPoint(point.x, point.y)));
    if (x) *x = d.x();
    if (y) *y = d.y();
    return 0;
}
