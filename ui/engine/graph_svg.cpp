// A graph as an SVG drawing. The chart draws its frame, grid, axes and texts
// through Qt's SVG generator, which writes no clipping: the curves, lines and
// traces are therefore written here, each as one path through its own points
// in real-valued coordinates, cut at the plot area's edges and kept under one
// clip path, so that a zoomed graph's curves never run over the axes.
#include "ui/engine/engine_p.h"
#include "ui/engine/graph_explore_p.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"

#include <QBuffer>
#include <QChartView>
#include <QCoreApplication>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <functional>

namespace engine {

namespace {

// A coordinate to a thousandth of a pixel, without trailing zeros.
QString coordinate(double v) {
    QString t = QString::number(v, 'f', 3);
    while (t.endsWith('0')) t.chop(1);
    if (t.endsWith('.')) t.chop(1);
    return t == "-0" ? QString("0") : t;
}

// The part [t0, t1] of the segment a-b inside r (Liang and Barsky); false
// when none of it is.
bool clipSegment(const QPointF &a, const QPointF &b, const QRectF &r, double *t0, double *t1) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    double lo = 0.0, hi = 1.0;
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0) lo = std::max(lo, t);
        else hi = std::min(hi, t);
    }
    if (lo > hi) return false;
    *t0 = lo;
    *t1 = hi;
    return true;
}

// Path data of polylines cut to a rectangle: a subpath for every stretch
// inside it; single points inside are kept apart (drawn as dots).
class ClippedPath {
  public:
    explicit ClippedPath(const QRectF &area)
        : area_(area.adjusted(-1e-6, -1e-6, 1e-6, 1e-6)) {} // a point on the edge is inside
    void run(const std::vector<QPointF> &pts) {
        if (pts.size() == 1) {
            if (area_.contains(pts[0])) lone_.push_back(pts[0]);
            return;
        }
        bool down = false;
        for (std::size_t i = 1; i < pts.size(); ++i) {
            const QPointF a = pts[i - 1], b = pts[i];
            double t0 = 0, t1 = 1;
            if (!clipSegment(a, b, area_, &t0, &t1)) {
                down = false;
                continue;
            }
            const QPointF from = a + (b - a) * t0, to = a + (b - a) * t1;
            if (!down || t0 > 0.0) add('M', from);
            add('L', to);
            down = t1 >= 1.0;
        }
    }
    const QString &data() const { return d_; }
    const std::vector<QPointF> &lone() const { return lone_; }

  private:
    void add(char command, const QPointF &p) {
        if (!d_.isEmpty()) d_ += ' ';
        d_ += QLatin1Char(command) + coordinate(p.x()) + ' ' + coordinate(p.y());
    }
    QRectF area_;
    QString d_;
    std::vector<QPointF> lone_;
};

QString dashes(Qt::PenStyle style, double width) {
    std::vector<double> pattern;
    switch (style) {
    case Qt::DashLine: pattern = {4, 2}; break;
    case Qt::DotLine: pattern = {1, 2}; break;
    case Qt::DashDotLine: pattern = {4, 2, 1, 2}; break;
    case Qt::DashDotDotLine: pattern = {4, 2, 1, 2, 1, 2}; break;
    default: return QString();
    }
    QStringList parts;
    for (double v : pattern) parts << coordinate(v * width);
    return QString(" stroke-dasharray=\"%1\"").arg(parts.join(','));
}

// What lies between a generated drawing's definitions and its end: its
// drawing elements, to be put into another drawing of the same size.
QByteArray bodyOf(const QByteArray &svg) {
    const qsizetype defs = svg.indexOf("</defs>");
    const qsizetype from = defs < 0 ? svg.indexOf('>', svg.indexOf("<svg")) + 1 : defs + 7;
    const qsizetype to = svg.lastIndexOf("</svg>");
    return from > 0 && to > from ? svg.mid(from, to - from) : QByteArray();
}

} // namespace

bool GraphExplorer::paintSvg(QIODevice *out, const std::vector<ShownCurve> &shown) {
    auto *view = static_cast<QChartView *>(g_->chartView());
    const QRectF area = g_->plotArea().translated(-view->pos());
    auto generate = [&](const std::function<void(QPainter &)> &paint, QByteArray *bytes) {
        QBuffer buffer(bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(view->size());
        svg.setViewBox(QRect(QPoint(0, 0), view->size()));
        svg.setTitle(g_->objectName());
        svg.setDescription(QCoreApplication::applicationName());
        QPainter painter(&svg);
        paint(painter);
        return painter.end();
    };
    QByteArray chart, legend;
    g_->setCurvesPainted(false);
    const bool chartMade = generate(
        [&](QPainter &p) { view->render(&p, QRectF(0, 0, view->width(), view->height()), view->viewport()->rect()); },
        &chart);
    g_->setCurvesPainted(true);
    const bool legendMade = generate([&](QPainter &p) { paintLegend(p, area, shown); }, &legend);
    const qsizetype end = chart.lastIndexOf("</svg>");
    if (!chartMade || !legendMade || end < 0) return false;

    // The data's place on the plot area, as the chart maps it.
    const auto xr = g_->shownRange(VAL_XAXIS), yr = g_->shownRange(VAL_LEFT_YAXIS);
    if (!(xr.second > xr.first) || !(yr.second > yr.first) || area.isEmpty()) return false;
    const double sx = area.width() / (xr.second - xr.first), sy = area.height() / (yr.second - yr.first);
    auto place = [&](const QPointF &v) {
        return QPointF(area.left() + (v.x() - xr.first) * sx, area.bottom() - (v.y() - yr.first) * sy);
    };

    QString curves;
    auto write = [&](const ShownCurve &c) {
        const QString colour = c.color.name();
        if (c.scatter) {
            for (const QPointF &v : c.points) {
                const QPointF at = place(v);
                if (area.contains(at))
                    curves += QString("<circle cx=\"%1\" cy=\"%2\" r=\"3\" fill=\"%3\" stroke=\"none\"/>\n")
                                  .arg(coordinate(at.x()), coordinate(at.y()), colour);
            }
            return;
        }
        ClippedPath path(area);
        for (const auto &[from, to] : runsOf(c.points.size(), c.breaks)) {
            std::vector<QPointF> run;
            run.reserve(static_cast<std::size_t>(c.stepped ? 2 * (to - from) : to - from));
            for (qsizetype i = from; i < to; ++i) {
                if (c.stepped && i > from) run.push_back(place(QPointF(c.points[i].x(), c.points[i - 1].y())));
                run.push_back(place(c.points[i]));
            }
            path.run(run);
        }
        if (!path.data().isEmpty())
            curves += QString("<path stroke=\"%1\" stroke-width=\"%2\"%3 d=\"%4\"/>\n")
                          .arg(colour, coordinate(c.width), dashes(c.style, c.width), path.data());
        for (const QPointF &p : path.lone())
            curves += QString("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\" stroke=\"none\"/>\n")
                          .arg(coordinate(p.x()), coordinate(p.y()), coordinate(std::max(1.5, c.width)), colour);
    };
    // The program's straight lines (levels, markers) under its curves.
    const GraphModel &m = g_->viewState().shown(g_->model());
    if (!m.strip)
        for (const auto &kv : m.plots) {
            const Plot &p = kv.second;
            if (!p.visible || p.kind != PlotKind::Line) continue;
            ShownCurve line;
            line.color = colorOf(p.look.color);
            line.style = penStyle(p.look.lineStyle);
            line.points = p.points;
            write(line);
        }
    for (const ShownCurve &c : shown) write(c);

    QByteArray svg = chart.left(end);
    // Clip paths are SVG 1.1; the generator calls its drawings SVG Tiny 1.2.
    svg.replace("version=\"1.2\" baseProfile=\"tiny\"", "version=\"1.1\"");
    svg += QString("<defs>\n<clipPath id=\"plotArea\"><rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"/></clipPath>\n"
                   "</defs>\n<g clip-path=\"url(#plotArea)\" fill=\"none\" stroke-linecap=\"butt\" "
                   "stroke-linejoin=\"round\">\n")
               .arg(coordinate(area.left()), coordinate(area.top()), coordinate(area.width()),
                    coordinate(area.height()))
               .toUtf8();
    svg += curves.toUtf8();
    svg += "</g>\n";
    svg += bodyOf(legend);
    svg += "</svg>\n";
    return out->write(svg) == svg.size();
}

} // namespace engine
