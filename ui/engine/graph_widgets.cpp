// The graph and strip-chart widgets that panel resources name: each owns its
// model, the view that draws it and the operator's exploration of it.
#include "ui/engine/engine_p.h"
#include "ui/engine/graph_draw_p.h"
#include "ui/engine/graph_explore_p.h"
#include "ui/engine/widgets.h"

#include <QChart>
#include <QChartView>
#include <QShowEvent>

#include <algorithm>

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
void QvGraph::setCurvesPainted(bool on) { view_->setCurvesPainted(on); }
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
