// Drawing of graphs and strip charts over Qt Charts. A graph's view follows
// its model on a single-shot timer, at most once per frame period, so a loop
// that plots on every measuring cycle costs a copy of its data and nothing
// more. Curves and lines become QLineSeries (scatter plots QScatterSeries)
// taken from a pool that grows to the largest number shown at once; texts are
// graphics items on the chart. A strip chart's traces and time axis are one
// graphics item that draws the history itself (TraceItem).
#include "ui/engine/graph_draw_p.h"
#include "ui/engine/widgets.h"

#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

constexpr int kFrameMs = 33; // at most about 30 redraws a second

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

// A printf format for the axis: Qt Charts fills it in with QString::asprintf,
// which always writes a point, since the charts do not localize numbers
// (QChart::localizeNumbers stays off). Tick labels read the same under
// every desktop locale.
QString labelFormat(double step) { return QString("%.%1f").arg(labelDecimals(step)); }

} // namespace

// Text of a text plot, its lower left corner at the item's position.
class TextItem : public QGraphicsItem {
  public:
    explicit TextItem(QGraphicsItem *parent) : QGraphicsItem(parent) { setZValue(100); }
    void set(const Plot &p) {
        prepareGeometryChange();
        text_ = p.text;
        font_ = p.font;
        color_ = colorOf(p.look.color);
        background_ = p.background == VAL_TRANSPARENT ? QColor() : colorOf(p.background);
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
            const bool steps = isStepped(l.look.plotStyle) != isStepped(tr.look.plotStyle);
            l.look = tr.look;
            const bool fat = tr.look.plotStyle == VAL_FAT_LINE || tr.look.plotStyle == VAL_FAT_STEP;
            const int width = tr.look.lineWidth > 0 ? tr.look.lineWidth : fat ? 2 : 1;
            l.pen = QPen(colorOf(tr.look.color), width, penStyle(tr.look.lineStyle), Qt::FlatCap, Qt::RoundJoin);
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
    const bool steps = isStepped(l.look.plotStyle);
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
        if (!linesPainted) break;
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
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [this](const QRectF &area) {
        placeItems();
        // A graph made narrower or wider may want fewer or more labels.
        if (std::fabs(area.width() - stepsRoom.width()) > 1 || std::fabs(area.height() - stepsRoom.height()) > 1)
            schedule();
    });
    syncAxes();
}

GraphView::~GraphView() { delete view; }

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

// The grid step for an axis: about `divisions` divisions, fewer when the
// labels would not fit the room the axis has (its length in pixels), so a
// narrow graph shows fewer labels instead of labels cut to "1...". Along x a
// label takes its width, along y its height.
static double fittingStep(const QValueAxis *a, std::pair<double, double> r, int divisions, double room, bool across) {
    const double span = r.second - r.first;
    double step = niceStep(span, divisions);
    if (!(room > 0)) return step;
    const QFontMetricsF fm(a->labelsFont());
    constexpr double kGap = 6; // between two labels
    for (;;) {
        const QString format = labelFormat(step);
        const double size = across ? std::max(fm.horizontalAdvance(QString::asprintf(qPrintable(format), r.first)),
                                              fm.horizontalAdvance(QString::asprintf(qPrintable(format), r.second)))
                                   : fm.height();
        if (divisions <= 1 || (span / step) * (size + kGap) <= room) return step;
        step = niceStep(span, --divisions);
    }
}

void GraphView::syncAxes() {
    const QRectF area = chart->plotArea();
    stepsRoom = area.size();
    auto apply = [](QValueAxis *a, std::pair<double, double> r, int divisions, double room, bool across) {
        const double step = fittingStep(a, r, divisions, room, across);
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
    if (traceItem) apply(ax, {0.0, 1.0}, 1, 0.0, true);
    else apply(ax, xr, kXDivisions, area.width(), true);
    apply(ay, yr, kYDivisions, area.height(), false);
    x0 = xr.first;
    x1 = xr.second;
    y0 = yr.first;
    y1 = yr.second;
}

SeriesSlot &GraphView::slot(std::vector<SeriesSlot> &pool, std::size_t i, bool scatter) {
    while (pool.size() <= i) {
        SeriesSlot s;
        s.series = scatter ? static_cast<QXYSeries *>(new QScatterSeries) : new QLineSeries;
        chart->addSeries(s.series);
        s.series->attachAxis(ax);
        s.series->attachAxis(ay);
        s.series->setVisible(false);
        pool.push_back(s);
    }
    return pool[i];
}

void GraphView::retire(std::vector<SeriesSlot> &pool, std::size_t from) {
    for (std::size_t i = from; i < pool.size(); ++i) {
        SeriesSlot &s = pool[i];
        if (s.handle == 0 && s.version == 0) continue;
        s.series->setVisible(false);
        s.series->clear();
        s.handle = 0;
        s.run = 0;
        s.version = s.lookVersion = 0;
    }
}

void GraphView::applyLook(SeriesSlot &s, const Look &look, bool scatter) {
    const QColor c = colorOf(look.color);
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
        // A broken line is one series per run: a series always joins its points.
        const auto runs = scatter ? std::vector<std::pair<qsizetype, qsizetype>>{{0, p.points.size()}}
                                  : runsOf(p.points.size(), p.breaks);
        for (qsizetype r = 0; r < static_cast<qsizetype>(runs.size()); ++r) {
            SeriesSlot &s = scatter ? slot(scatters, si++, true) : slot(lines, li++, false);
            if (s.handle != handle || s.version != p.version || s.run != r) {
                applyLook(s, p.look, scatter);
                const auto [from, to] = runs[static_cast<std::size_t>(r)];
                const QList<QPointF> run = runs.size() == 1 ? p.points : p.points.mid(from, to - from);
                s.series->replace(isStepped(p.look.plotStyle) ? steps(run) : run);
                s.handle = handle;
                s.version = p.version;
                s.run = r;
            }
            if (!s.series->isVisible()) s.series->setVisible(true);
        }
    }
    retire(lines, li);
    retire(scatters, si);
    for (std::size_t i = ti; i < texts.size(); ++i) texts[i]->handle = 0;
}

void GraphView::setCurvesPainted(bool on) {
    if (traceItem) {
        traceItem->linesPainted = on;
        traceItem->update();
    }
    for (auto *pool : {&lines, &scatters})
        for (SeriesSlot &s : *pool)
            if (s.handle != 0) s.series->setVisible(on);
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
