// The plot operations of graphs and strip charts (PlotXY, DeleteGraphPlot,
// PlotStripChart, ...) and their control attributes. They change only a
// graph's model and ask its view to follow; drawing is graph_draw.cpp's.
#include "ui/engine/engine_p.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <cmath>
#include <vector>

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
        attribute == ATTR_PLOT_BGCOLOR ? g->setPlotColor(colorOf(value)) : g->setGridColor(colorOf(value));
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
    // A value that is not a number breaks a line there: the points after it
    // start a new run, not joined to the ones before (a gap in the data).
    const bool joined = plotStyle != VAL_SCATTER;
    bool gap = false;
    for (std::size_t i = 0; i < numberOfPoints; ++i) {
        const double x = rx(xArray, i), y = ry(yArray, i);
        if (!std::isfinite(x) || !std::isfinite(y)) {
            gap = joined && !p.points.isEmpty();
            continue;
        }
        if (gap && (p.breaks.empty() || p.breaks.back() != p.points.size())) p.breaks.push_back(p.points.size());
        gap = false;
        p.points.append(QPointF(x, y));
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
