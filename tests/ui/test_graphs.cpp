// Graphs and strip charts: plot handles, axes, attributes, text, strip-chart
// interleaving and its bounded history, clicks reaching callbacks, coalesced
// redraws and their cost.
#include "tests/fixtures/inline_panel.h"
#include "ui/engine/engine.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"

#include <gtest/gtest.h>

#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

enum { GRAPH = 2, STRIP = 3, QUIET_GRAPH = 4, BUTTON = 5 };

const char *kGraphUi = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>container</class>
 <widget class="QWidget" name="container">
  <widget class="QWidget" name="p1">
   <property name="panel" stdset="0"><number>1</number></property>
   <property name="geometry"><rect><x>0</x><y>0</y><width>700</width><height>500</height></rect></property>
   <widget class="QvGraph" name="graph">
    <property name="geometry"><rect><x>20</x><y>10</y><width>560</width><height>200</height></rect></property>
    <property name="ctrlId" stdset="0"><number>2</number></property>
    <property name="callback" stdset="0"><string>G_CLICK</string></property>
   </widget>
   <widget class="QvStripChart" name="strip">
    <property name="geometry"><rect><x>20</x><y>230</y><width>540</width><height>200</height></rect></property>
    <property name="numTraces"><number>18</number></property>
    <property name="ctrlId" stdset="0"><number>3</number></property>
    <property name="callback" stdset="0"><string>G_CLICK</string></property>
   </widget>
   <widget class="QvGraph" name="quiet">
    <property name="geometry"><rect><x>600</x><y>10</y><width>80</width><height>80</height></rect></property>
    <property name="ctrlId" stdset="0"><number>4</number></property>
   </widget>
   <widget class="QPushButton" name="button">
    <property name="geometry"><rect><x>600</x><y>100</y><width>80</width><height>25</height></rect></property>
    <property name="ctrlId" stdset="0"><number>5</number></property>
   </widget>
  </widget>
 </widget>
 <customwidgets>
  <customwidget><class>QvGraph</class><extends>QWidget</extends><header>ui/engine/widgets.h</header></customwidget>
  <customwidget><class>QvStripChart</class><extends>QWidget</extends><header>ui/engine/widgets.h</header></customwidget>
 </customwidgets>
</ui>
)";

class GraphTest : public ::testing::Test {
  protected:
    InlinePanel resource;
    QTemporaryDir &dir = resource.dir;
    int panel = 0;

    void SetUp() override {
        static const CallbackEntry table[] = {{"G_CLICK", RecordClick}};
        RegisterCallbacks(table);
        panel = resource.load("Graphs.ui", kGraphUi);
        ASSERT_GT(panel, 0);
        g_clicks.clear();
    }

    QvGraph *graph(int id = GRAPH) { return static_cast<QvGraph *>(GetCtrlWidget(panel, id)); }
    QChart *chart(int id = GRAPH) { return static_cast<QChartView *>(graph(id)->chartView())->chart(); }
    // Series the chart shows, in the order they were created.
    std::vector<QXYSeries *> shown(int id = GRAPH) {
        std::vector<QXYSeries *> out;
        for (QAbstractSeries *s : chart(id)->series())
            if (s->isVisible()) out.push_back(static_cast<QXYSeries *>(s));
        return out;
    }
    QvStripChart *strip() { return static_cast<QvStripChart *>(graph(STRIP)); }
    // The points the strip chart draws of trace t, its runs joined.
    QList<QPointF> drawn(int t) {
        QList<QPointF> out;
        for (const QPolygonF &run : strip()->drawnLines(t)) out += run;
        return out;
    }
    // Traces the strip chart draws.
    std::vector<int> drawnTraces() {
        std::vector<int> out;
        for (int t = 0; t < strip()->numTraces(); ++t)
            if (!strip()->drawnLines(t).isEmpty()) out.push_back(t);
        return out;
    }
    QValueAxis *axis(Qt::Orientation o, int id = GRAPH) {
        return static_cast<QValueAxis *>(chart(id)->axes(o).first());
    }
    // Runs the event loop for a while.
    static void pump(double seconds) {
        const double t0 = Timer();
        while (Timer() - t0 < seconds) WaitForSystemEvents(seconds - (Timer() - t0));
    }
};

// Counts paint events of a widget.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// ---- plots ------------------------------------------------------------------------------------------
TEST_F(GraphTest, PlotHandlesDeleteOneOrAllAndRejectBadArguments) {
    unsigned short xs[512], ys[512];
    double dx[4] = {0, 1, 2, 3}, dy[4] = {10, NAN, 30, 40};
    for (int i = 0; i < 512; ++i) {
        xs[i] = static_cast<unsigned short>(i);
        ys[i] = static_cast<unsigned short>(4000 - i);
    }
    const int a = PlotXY(panel, GRAPH, xs, ys, 512, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, VAL_FAT_LINE,
                         VAL_NO_POINT, VAL_SOLID, 1, VAL_BLUE);
    const int b = PlotXY(panel, GRAPH, dx, dy, 4, VAL_DOUBLE, VAL_DOUBLE, VAL_SCATTER, VAL_SOLID_CIRCLE, VAL_SOLID, 1,
                         VAL_GREEN);
    const int c = PlotLine(panel, GRAPH, 0.0, 100.0, 128.0, 100.0, VAL_RED);
    const int t = PlotText(panel, GRAPH, 10.0, 0.0, " Reset A.", VAL_SYSTEM_META_FONT, VAL_BLUE, VAL_TRANSPARENT);
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_GT(c, 0);
    EXPECT_GT(t, 0);
    EXPECT_EQ(std::set<int>({a, b, c, t}).size(), 4u);
    EXPECT_EQ(graph()->model().plots.size(), 4u);

    RefreshGraph(panel, GRAPH);
    auto series = shown();
    ASSERT_EQ(series.size(), 3u); // curve and line share the line pool, scatter apart
    QXYSeries *curve = nullptr, *scatter = nullptr;
    for (QXYSeries *s : series) {
        if (s->count() == 512) curve = s;
        if (qobject_cast<QScatterSeries *>(s)) scatter = s;
    }
    ASSERT_TRUE(curve && scatter);
    EXPECT_EQ(curve->at(511), QPointF(511, 4000 - 511));
    EXPECT_EQ(curve->pen().width(), 2);
    EXPECT_EQ(curve->color(), QColor(0, 0, 255));
    EXPECT_EQ(scatter->count(), 3); // the NaN point is left out

    // One plot goes, the others stay.
    EXPECT_EQ(DeleteGraphPlot(panel, GRAPH, a, VAL_IMMEDIATE_DRAW), 0);
    int v = 0;
    EXPECT_EQ(GetPlotAttribute(panel, GRAPH, a, ATTR_TRACE_COLOR, &v), UIE_InvalidPlot);
    EXPECT_EQ(GetPlotAttribute(panel, GRAPH, b, ATTR_TRACE_COLOR, &v), 0);
    EXPECT_EQ(v, VAL_GREEN);
    EXPECT_EQ(DeleteGraphPlot(panel, GRAPH, a, VAL_IMMEDIATE_DRAW), UIE_InvalidPlot);
    RefreshGraph(panel, GRAPH);
    EXPECT_EQ(shown().size(), 2u);
    // Handles are not reused.
    const int d = PlotLine(panel, GRAPH, 0, 0, 1, 1, VAL_WHITE);
    EXPECT_GT(d, t);

    EXPECT_EQ(DeleteGraphPlot(panel, GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW), 0);
    EXPECT_TRUE(graph()->model().plots.empty());
    RefreshGraph(panel, GRAPH);
    EXPECT_TRUE(shown().empty());

    // Bad arguments change nothing.
    EXPECT_EQ(PlotXY(panel, GRAPH, xs, ys, 512, 99, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, 0),
              UIE_InvalidArgument);
    EXPECT_EQ(PlotXY(panel, GRAPH, nullptr, ys, 512, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID,
                     1, 0),
              UIE_InvalidArgument);
    EXPECT_EQ(PlotXY(panel, GRAPH, dx, dy, 0, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, 0),
              UIE_InvalidArgument);
    EXPECT_EQ(PlotXY(panel, GRAPH, dx, dy, 4, VAL_DOUBLE, VAL_DOUBLE, 42, VAL_NO_POINT, VAL_SOLID, 1, 0),
              UIE_InvalidArgument);
    EXPECT_EQ(PlotXY(panel, GRAPH, dx, dy, 4, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, 9, 1, 0),
              UIE_InvalidArgument);
    EXPECT_EQ(PlotXY(panel, GRAPH, dx, dy, 4, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1,
                     0x1234567),
              UIE_InvalidArgument);
    EXPECT_EQ(DeleteGraphPlot(panel, GRAPH, VAL_ALL_PLOTS, 7), UIE_InvalidArgument);
    EXPECT_TRUE(graph()->model().plots.empty());

    // Graph operations fit graphs, strip-chart operations strip charts.
    EXPECT_EQ(PlotXY(panel, STRIP, dx, dy, 4, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, 0),
              UIE_TypeMismatch);
    EXPECT_EQ(PlotLine(panel, BUTTON, 0, 0, 1, 1, 0), UIE_TypeMismatch);
    EXPECT_EQ(PlotStripChart(panel, GRAPH, dy, 1, 0, 0, VAL_DOUBLE), UIE_TypeMismatch);
    EXPECT_EQ(DeleteGraphPlot(panel, 99, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW), UIE_InvalidControl);
    EXPECT_EQ(PlotLine(999, GRAPH, 0, 0, 1, 1, 0), UIE_InvalidPanel);
}

TEST_F(GraphTest, AxesAreManualOrFollowTheVisibleData) {
    int mode = -1;
    double lo = 0, hi = 0;
    EXPECT_EQ(GetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, &mode, &lo, &hi), 0);
    EXPECT_EQ(mode, VAL_AUTOSCALE);

    double xs[3] = {3, 50, 97}, ys[3] = {1012, 1100, 1187};
    const int h = PlotXY(panel, GRAPH, xs, ys, 3, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1,
                         VAL_WHITE);
    GetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(mode, VAL_AUTOSCALE);
    EXPECT_LE(lo, 1012);
    EXPECT_GE(hi, 1187);
    EXPECT_GT(lo, 900);
    EXPECT_LT(hi, 1300); // rounded out to the grid, not to zero
    GetAxisScalingMode(panel, GRAPH, VAL_XAXIS, &mode, &lo, &hi);
    EXPECT_LE(lo, 3);
    EXPECT_GE(hi, 97);

    // A hidden plot does not count.
    PlotLine(panel, GRAPH, 0, 5000, 1, 5000, VAL_RED);
    GetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_GE(hi, 5000);
    SetPlotAttribute(panel, GRAPH, h + 1, ATTR_TRACE_VISIBLE, 0);
    GetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_LT(hi, 1300);

    // Manual ranges are exact and reach the chart.
    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, 128.0), 0);
    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 872.0, 1328.0), 0);
    GetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(mode, VAL_MANUAL);
    EXPECT_EQ(lo, 872.0);
    EXPECT_EQ(hi, 1328.0);
    RefreshGraph(panel, GRAPH);
    EXPECT_EQ(axis(Qt::Vertical)->min(), 872.0);
    EXPECT_EQ(axis(Qt::Vertical)->max(), 1328.0);
    EXPECT_EQ(axis(Qt::Horizontal)->max(), 128.0);
    EXPECT_EQ(axis(Qt::Vertical)->tickInterval(), 100.0);

    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 10.0, 10.0), UIE_InvalidArgument);
    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 10.0, 5.0), UIE_InvalidArgument);
    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, INFINITY), UIE_InvalidArgument);
    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, -1e308, 1e308), UIE_InvalidArgument);
    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, 7, VAL_MANUAL, 0.0, 1.0), UIE_InvalidArgument);
    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, 5, 0.0, 1.0), UIE_InvalidArgument);
    GetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(lo, 872.0); // unchanged by the failures

    EXPECT_EQ(SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0, 0), 0);
    GetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(mode, VAL_AUTOSCALE);
    EXPECT_LT(hi, 1300);

    // Range and grid change together: no step in between asks for thousands
    // of grid lines (each one a label the chart lays out).
    DisplayPanel(panel);
    double densest = 0;
    for (QValueAxis *a : {axis(Qt::Horizontal), axis(Qt::Vertical)}) {
        auto check = [a, &densest] { densest = std::max(densest, (a->max() - a->min()) / a->tickInterval()); };
        QObject::connect(a, &QValueAxis::rangeChanged, a, check);
        QObject::connect(a, &QValueAxis::tickIntervalChanged, a, check);
    }
    const double ranges[][2] = {{0, 10}, {0, 4096}, {0, 1}, {-50000, 50000}, {0.001, 0.002}, {0, 512}};
    for (const auto &r : ranges) {
        SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, r[0], r[1]);
        SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, r[0], r[1]);
        RefreshGraph(panel, GRAPH);
        ASSERT_LE(densest, 20) << "on the way to " << r[0] << " to " << r[1];
    }
    double ex[2] = {0, 1}, ey[2] = {-1e308, 1e308}; // a span beyond doubles
    const int huge = PlotXY(panel, GRAPH, ex, ey, 2, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1,
                            VAL_WHITE);
    SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0, 0);
    RefreshGraph(panel, GRAPH);
    ASSERT_LE(densest, 20);
    DeleteGraphPlot(panel, GRAPH, huge, VAL_IMMEDIATE_DRAW);
    SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0, 512);
    EXPECT_GT(densest, 2);

    // A strip chart scrolls its x axis itself.
    EXPECT_EQ(SetAxisScalingMode(panel, STRIP, VAL_XAXIS, VAL_MANUAL, 0.0, 1.0), UIE_InvalidArgument);
    EXPECT_EQ(SetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0), 0);
}

// A graph made narrow (the recorder panel beside the DATA graph) shows fewer
// tick labels, each whole, instead of as many labels cut to "1...": between
// two ticks there is room for the widest label.
TEST_F(GraphTest, ANarrowGraphShowsFewerTickLabelsEachWhole) {
    DisplayPanel(panel);
    SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, 4096.0);
    SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
    double xs[2] = {0, 4096}, ys[2] = {0, 4096};
    PlotXY(panel, GRAPH, xs, ys, 2, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, VAL_WHITE);
    QvGraph *g = graph();
    double wideStep = 0;
    for (const int width : {600, 160}) {
        SCOPED_TRACE(width);
        g->resize(width, 120);
        // The new size reaches the chart's layout; the redraw it asks for
        // chooses the steps, whose labels may move the plot area once more.
        for (int settle = 0; settle < 3; ++settle) {
            for (int i = 0; i < 5; ++i) WaitForSystemEvents(0.01);
            g->redrawNow();
        }
        for (const Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
            QValueAxis *a = axis(o);
            const QFontMetricsF fm(a->labelsFont());
            const double step = a->tickInterval(), span = a->max() - a->min();
            const double room = o == Qt::Horizontal ? chart()->plotArea().width() : chart()->plotArea().height();
            const double label = o == Qt::Horizontal ? fm.horizontalAdvance(QString::asprintf(qPrintable(a->labelFormat()), a->max()))
                                                     : fm.height();
            EXPECT_GE(room * step / span, label) << (o == Qt::Horizontal ? "x" : "y") << " step " << step;
            if (o == Qt::Horizontal && width == 600) wideStep = step;
            if (o == Qt::Horizontal && width == 160) {
                EXPECT_GT(step, wideStep) << "fewer ticks when narrow";
            }
        }
    }
}

TEST_F(GraphTest, PlotAttributesChangeTheDrawing) {
    double xs[2] = {0, 100}, ys[2] = {0, 4095};
    const int h = PlotXY(panel, GRAPH, xs, ys, 2, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1,
                         MakeColor(153, 0, 0));
    RefreshGraph(panel, GRAPH);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0]->pen().style(), Qt::SolidLine);
    EXPECT_EQ(shown()[0]->pen().width(), 1);

    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_LINE_STYLE, VAL_DASH_DOT_DOT), 0);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_TRACE_COLOR, MakeColor(153, 204, 0)), 0);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_PLOT_STYLE, VAL_CONNECTED_POINTS), 0);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_TRACE_POINT_STYLE, VAL_SOLID_SQUARE), 0);
    RefreshGraph(panel, GRAPH);
    QXYSeries *s = shown()[0];
    EXPECT_EQ(s->pen().style(), Qt::DashDotDotLine);
    EXPECT_EQ(s->color(), QColor(153, 204, 0));
    EXPECT_TRUE(s->pointsVisible());
    int v = 0;
    GetPlotAttribute(panel, GRAPH, h, ATTR_LINE_STYLE, &v);
    EXPECT_EQ(v, VAL_DASH_DOT_DOT);

    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_TRACE_VISIBLE, 0), 0);
    RefreshGraph(panel, GRAPH);
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_TRACE_VISIBLE, 1), 0);
    RefreshGraph(panel, GRAPH);
    EXPECT_EQ(shown().size(), 1u);

    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_LINE_STYLE, 17), UIE_InvalidArgument);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_TEXT_BGCOLOR, VAL_RED), UIE_InvalidAttribute);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h, ATTR_NUM_TRACES, 1), UIE_InvalidAttribute);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, h + 100, ATTR_LINE_STYLE, VAL_DASH), UIE_InvalidPlot);

    const int t = PlotText(panel, GRAPH, 1, 1, "x", VAL_SYSTEM_META_FONT, VAL_GREEN, VAL_TRANSPARENT);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, t, ATTR_TEXT_BGCOLOR, VAL_BLACK), 0);
    GetPlotAttribute(panel, GRAPH, t, ATTR_TEXT_BGCOLOR, &v);
    EXPECT_EQ(v, VAL_BLACK);
    EXPECT_EQ(SetPlotAttribute(panel, GRAPH, t, ATTR_PLOT_STYLE, VAL_FAT_LINE), UIE_InvalidAttribute);

    // Graph-wide attributes through SetCtrlAttribute.
    EXPECT_EQ(SetCtrlAttribute(panel, GRAPH, ATTR_GRID_COLOR, VAL_DK_GRAY), 0);
    GetCtrlAttribute(panel, GRAPH, ATTR_GRID_COLOR, &v);
    EXPECT_EQ(v, VAL_DK_GRAY);
    EXPECT_EQ(axis(Qt::Vertical)->gridLinePen().color(), QColor(0x40, 0x40, 0x40));
    EXPECT_EQ(SetCtrlAttribute(panel, GRAPH, ATTR_POINTS_PER_SCREEN, 100), UIE_InvalidAttribute);
    EXPECT_EQ(SetCtrlAttribute(panel, GRAPH, ATTR_WIDTH, 300), 0);
    GetCtrlAttribute(panel, GRAPH, ATTR_WIDTH, &v);
    EXPECT_EQ(v, 300);
}

// Text is really drawn, in its colour, with its lower left corner at the
// data point; outside the axes it is not drawn at all.
TEST_F(GraphTest, TextIsDrawnAtItsDataPoint) {
    DisplayPanel(panel);
    SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, 128.0);
    SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
    EXPECT_GT(PlotText(panel, GRAPH, 64.0, 2048.0, "Eval 1.", VAL_SYSTEM_META_FONT, VAL_GREEN, VAL_TRANSPARENT), 0);
    EXPECT_GT(PlotText(panel, GRAPH, 200.0, 2048.0, "gone", VAL_SYSTEM_META_FONT, VAL_GREEN, VAL_TRANSPARENT), 0);
    RefreshGraph(panel, GRAPH);
    const QImage img = graph()->grab().toImage();
    const QPointF anchor = graph()->toWidget(QPointF(64.0, 2048.0));

    auto green = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, img.height()); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, img.width()); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.green() > 120 && c.red() < 100 && c.blue() < 100) ++n;
            }
        return n;
    };
    const int ax = static_cast<int>(anchor.x()), ay = static_cast<int>(anchor.y());
    EXPECT_GT(green(ax, ay - 14, ax + 60, ay + 1), 20) << "text right of and above its anchor";
    EXPECT_EQ(green(ax - 40, ay - 14, ax - 2, ay + 1), 0) << "nothing left of the anchor";
    EXPECT_EQ(green(ax, ay + 3, ax + 60, ay + 20), 0) << "nothing below the anchor";
    EXPECT_EQ(green(0, 0, img.width(), img.height()), green(ax, ay - 14, ax + 60, ay + 1)) << "the other text is out of range";
}

// ---- strip charts -----------------------------------------------------------------------------------
TEST_F(GraphTest, StripChartSplitsInterleavedValuesIntoTraces) {
    int n = 0;
    EXPECT_EQ(GetCtrlAttribute(panel, STRIP, ATTR_NUM_TRACES, &n), 0);
    EXPECT_EQ(n, 18); // from the panel resource
    EXPECT_EQ(SetCtrlAttribute(panel, STRIP, ATTR_NUM_TRACES, 3), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 10), 0);

    // Four rows of three traces after two leading values that are not plotted.
    unsigned short data[2 + 12] = {999, 999, 10, 20, 30, 11, 21, 31, 12, 22, 32, 13, 23, 33};
    EXPECT_EQ(PlotStripChart(panel, STRIP, data, 12, 2, 0, VAL_UNSIGNED_SHORT_INTEGER), 0);
    RefreshGraph(panel, STRIP);
    ASSERT_EQ(drawnTraces(), (std::vector<int>{0, 1, 2}));
    for (int t = 0; t < 3; ++t) {
        const QList<QPointF> pts = drawn(t);
        ASSERT_EQ(pts.size(), 4);
        for (int r = 0; r < 4; ++r) {
            EXPECT_EQ(pts[r], QPointF(r, 10 * (t + 1) + r)) << t << " " << r;
        }
    }
    // Every second value: a skip count of one.
    double every[8] = {40, -1, 50, -1, 60, -1, 70, -1};
    EXPECT_EQ(PlotStripChart(panel, STRIP, every, 3, 2, 1, VAL_DOUBLE), 0);
    EXPECT_EQ(graph(STRIP)->model().value(4, 0), 50);
    EXPECT_EQ(graph(STRIP)->model().value(4, 2), 70);

    // A hidden trace is not drawn and does not scale the axis.
    double high[3] = {0, 9000, 0};
    PlotStripChart(panel, STRIP, high, 3, 0, 0, VAL_DOUBLE);
    double lo, hi;
    int mode;
    GetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_GE(hi, 9000);
    EXPECT_EQ(SetTraceAttribute(panel, STRIP, 2, ATTR_TRACE_VISIBLE, 0), 0);
    GetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_LT(hi, 1000);
    RefreshGraph(panel, STRIP);
    ASSERT_EQ(drawnTraces(), (std::vector<int>{0, 2})); // traces 1 and 3 remain
    EXPECT_EQ(drawn(2)[0].y(), 30);
    int v = 1;
    GetTraceAttribute(panel, STRIP, 2, ATTR_TRACE_VISIBLE, &v);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(SetTraceAttribute(panel, STRIP, 1, ATTR_TRACE_COLOR, VAL_RED), 0);
    RefreshGraph(panel, STRIP);
    EXPECT_EQ(strip()->drawnColor(0), QColor(255, 0, 0));
    DisplayPanel(panel);
    const QImage picture = strip()->grab().toImage();
    int red = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_GT(red, 20) << "the red trace is on the screen";

    EXPECT_EQ(SetTraceAttribute(panel, STRIP, 0, ATTR_TRACE_VISIBLE, 1), UIE_IndexOutOfRange);
    EXPECT_EQ(SetTraceAttribute(panel, STRIP, 4, ATTR_TRACE_VISIBLE, 1), UIE_IndexOutOfRange);
    EXPECT_EQ(PlotStripChart(panel, STRIP, data, 4, 0, 0, VAL_UNSIGNED_SHORT_INTEGER), UIE_InvalidArgument);
    EXPECT_EQ(PlotStripChart(panel, STRIP, data, 3, -1, 0, VAL_UNSIGNED_SHORT_INTEGER), UIE_InvalidArgument);
    EXPECT_EQ(PlotStripChart(panel, STRIP, data, 3, 0, 0, 0), UIE_InvalidArgument);
    EXPECT_EQ(SetCtrlAttribute(panel, STRIP, ATTR_NUM_TRACES, 0), UIE_InvalidArgument);
    EXPECT_EQ(SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 1), UIE_InvalidArgument);

    EXPECT_EQ(ClearStripChart(panel, STRIP), 0);
    EXPECT_EQ(graph(STRIP)->model().rowsKept(), 0u);
    RefreshGraph(panel, STRIP);
    EXPECT_TRUE(drawnTraces().empty());
}

// The chart keeps one screen of history however long it runs, shows the
// newest points and scrolls its x axis along.
TEST_F(GraphTest, StripChartHistoryIsBoundedByPointsPerScreen) {
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 501);
    const engine::GraphModel &m = graph(STRIP)->model();
    const std::size_t storage = m.storageSize();
    EXPECT_EQ(storage, 501u * 18u);
    double row[18];
    for (int i = 0; i < 10000; ++i) {
        for (int t = 0; t < 18; ++t) row[t] = i + t;
        PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
    }
    EXPECT_EQ(m.rowsKept(), 501u);
    EXPECT_EQ(m.storageSize(), storage);
    EXPECT_EQ(m.total, 10000);
    EXPECT_EQ(m.value(500, 0), 9999);
    EXPECT_EQ(m.value(0, 17), 9499 + 17);
    RefreshGraph(panel, STRIP);
    ASSERT_EQ(drawnTraces().size(), 18u);
    EXPECT_EQ(drawn(5).size(), 501);
    EXPECT_EQ(drawn(5)[500], QPointF(9999, 9999 + 5));
    EXPECT_EQ(strip()->shownRange(VAL_XAXIS), std::make_pair(9499.0, 9999.0));

    // The program's way: a history of 500 rows of which the newest 100 are
    // plotted at once onto a screen of 101 points.
    ClearStripChart(panel, STRIP);
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 101);
    std::vector<double> history(9000);
    for (int r = 0; r < 500; ++r)
        for (int t = 0; t < 18; ++t) history[18 * r + t] = 1000 + r;
    SetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0);
    PlotStripChart(panel, STRIP, history.data(), 18 * 100, 18 * 400, 0, VAL_DOUBLE);
    RefreshGraph(panel, STRIP);
    EXPECT_EQ(drawn(0).size(), 100);
    EXPECT_EQ(drawn(0)[99].y(), 1499);
    EXPECT_EQ(strip()->shownRange(VAL_XAXIS), std::make_pair(0.0, 100.0));
    EXPECT_EQ(axis(Qt::Vertical, STRIP)->max(), 4095);
    // All 500 rows in one call: only the newest screenful is kept.
    PlotStripChart(panel, STRIP, history.data(), 9000, 0, 0, VAL_DOUBLE);
    EXPECT_EQ(m.rowsKept(), 101u);
    EXPECT_EQ(m.total, 600);
    EXPECT_EQ(m.value(100, 0), 1499);
    EXPECT_EQ(m.value(0, 0), 1399);

    // A shorter screen keeps the newest rows.
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 10);
    EXPECT_EQ(m.rowsKept(), 10u);
    EXPECT_EQ(m.value(9, 3), 1499);
    EXPECT_EQ(m.value(0, 3), 1490);
    int pps = 0;
    GetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, &pps);
    EXPECT_EQ(pps, 10);
}

// The time axis scrolls with the rows and spaces its labels so that each
// stands whole, also on a narrow chart far into a long run.
TEST_F(GraphTest, StripChartTimeLabelsScrollAndStandWhole) {
    DisplayPanel(panel);
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 101);
    double row[18] = {};
    for (int width : {540, 360, 200}) {
        SetCtrlAttribute(panel, STRIP, ATTR_WIDTH, width);
        for (long long start : {0LL, 1234567LL}) {
            ClearStripChart(panel, STRIP);
            if (start > 0) { // far into a run: the rows before only count
                std::vector<double> skip(18 * 101, 0.0);
                for (long long n = 0; n < start / 101; ++n) PlotStripChart(panel, STRIP, skip.data(), skip.size(), 0, 0, VAL_DOUBLE);
            }
            for (int r = 0; r < 150; ++r) PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
            RefreshGraph(panel, STRIP);
            strip()->grab(); // paints
            const auto [x0, x1] = strip()->shownRange(VAL_XAXIS);
            EXPECT_EQ(x1 - x0, 100);
            const QStringList labels = strip()->drawnTimeLabels();
            ASSERT_GE(labels.size(), width >= 360 ? 2 : 1) << width << " " << start;
            QFont labelFont = QGuiApplication::font(); // the axes' labels: 10 pixels high
            labelFont.setPixelSize(10);
            const QFontMetrics fm(labelFont);
            int widths = 0;
            double last = -1, step = 0;
            for (const QString &l : labels) {
                bool ok = false;
                const double v = l.toDouble(&ok);
                ASSERT_TRUE(ok) << l.toStdString() << ": a whole number, not cut";
                EXPECT_GE(v, x0);
                EXPECT_LE(v, x1);
                if (last >= 0 && step == 0) step = v - last;
                if (last >= 0) {
                    EXPECT_EQ(v - last, step) << "evenly spaced";
                }
                last = v;
                widths += fm.horizontalAdvance(l);
                const double centre = strip()->toWidget(QPointF(v, 0)).x();
                EXPECT_GE(centre - fm.horizontalAdvance(l) / 2.0, 0) << l.toStdString() << ": inside the chart";
                EXPECT_LE(centre + fm.horizontalAdvance(l) / 2.0, strip()->width()) << l.toStdString();
            }
            EXPECT_LT(widths, strip()->plotArea().width()) << width << ": the labels do not overlap";
        }
    }
}

// Rows appended one at a time, with redraws in between: the chart draws
// exactly the kept rows, its lines broken where a value is missing, also
// across a clear, a new width and a width set again to what it was.
TEST_F(GraphTest, StripChartRedrawsFollowAppendedRowsExactly) {
    const engine::GraphModel &m = graph(STRIP)->model();
    auto expected = [&](int t) {
        QList<QPolygonF> runs;
        bool gap = true;
        for (std::size_t r = 0; r < m.rowsKept(); ++r) {
            const double v = m.value(r, t);
            if (!std::isfinite(v)) {
                gap = true;
                continue;
            }
            if (gap) runs.append(QPolygonF());
            gap = false;
            runs.last().append(QPointF(m.rowX(r), v));
        }
        return runs;
    };
    auto check = [&](const char *when) {
        RefreshGraph(panel, STRIP);
        for (int t : {0, 7, 17}) ASSERT_EQ(strip()->drawnLines(t), expected(t)) << when << t;
    };
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 20);
    double row[18];
    int serial = 0;
    auto plot = [&](int rows) {
        for (int k = 0; k < rows; ++k, ++serial) {
            for (int t = 0; t < 18; ++t) row[t] = serial * 10 + t;
            if (serial % 7 == 0) row[7] = NAN;
            PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
        }
    };
    plot(5);
    check("filling");
    for (int rows : {1, 3, 1, 19, 2, 25, 1}) {
        plot(rows);
        check("scrolling");
    }
    ClearStripChart(panel, STRIP);
    plot(3);
    check("after a clear");
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 8);
    check("narrower");
    plot(2);
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 8);
    EXPECT_EQ(m.rowsKept(), 5u) << "the same width keeps the rows";
    check("narrower, scrolling");
}

// ---- operator clicks ----------------------------------------------------------------------------------
TEST_F(GraphTest, ClicksOnTheChartReachTheCallbackOnceWithTheirPosition) {
    DisplayPanel(panel);
    SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, 512.0);
    SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
    RefreshGraph(panel, GRAPH);
    QvGraph *g = graph();
    auto *viewport = static_cast<QChartView *>(g->chartView())->viewport();
    const QPoint at = g->toWidget(QPointF(128.0, 1024.0)).toPoint();

    QTest::mouseClick(g, Qt::LeftButton, {}, at);
    ASSERT_EQ(g_clicks.size(), 1u);
    EXPECT_EQ(g_clicks[0].control, GRAPH);
    EXPECT_EQ(g_clicks[0].event, EVENT_LEFT_CLICK);
    // Panel coordinates: the graph stands at (20, 10) on the panel.
    EXPECT_EQ(g_clicks[0].data2, at.x() + 20);
    EXPECT_EQ(g_clicks[0].data1, at.y() + 10);
    double x = 0, y = 0;
    EXPECT_EQ(GetGraphCoordsFromPoint(panel, GRAPH, MakePoint(g_clicks[0].data2, g_clicks[0].data1), &x, &y), 0);
    EXPECT_NEAR(x, 128.0, 512.0 / 400);
    EXPECT_NEAR(y, 1024.0, 4096.0 / 100);

    // Straight at the chart's viewport, right button, double clicks: one event each.
    g_clicks.clear();
    QTest::mouseClick(viewport, Qt::RightButton, {}, viewport->mapFrom(g, at));
    // A double click is a click and then the double click.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->mapFrom(g, at));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, viewport->mapFrom(g, at));
    QTest::mouseClick(g, Qt::RightButton, {}, at);
    QTest::mouseDClick(g, Qt::RightButton, {}, at);
    std::vector<int> events;
    for (const Click &c : g_clicks) events.push_back(c.event);
    EXPECT_EQ(events, (std::vector<int>{EVENT_RIGHT_CLICK, EVENT_LEFT_CLICK, EVENT_LEFT_DOUBLE_CLICK,
                                        EVENT_RIGHT_CLICK, EVENT_RIGHT_DOUBLE_CLICK}));
    for (const Click &c : g_clicks) {
        EXPECT_EQ(c.data2, at.x() + 20);
    }

    // The strip chart too; a dimmed one takes no clicks.
    g_clicks.clear();
    QTest::mouseClick(graph(STRIP), Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_EQ(g_clicks.size(), 1u);
    EXPECT_EQ(g_clicks[0].control, STRIP);
    EXPECT_EQ(g_clicks[0].data1, 230 + 100);
    SetCtrlAttribute(panel, STRIP, ATTR_DIMMED, 1);
    QTest::mouseClick(graph(STRIP), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(g_clicks.size(), 1u);
    // A graph without a callback just ignores them.
    QTest::mouseClick(graph(QUIET_GRAPH), Qt::LeftButton);
    EXPECT_EQ(g_clicks.size(), 1u);
}

// ---- redraws ------------------------------------------------------------------------------------------------
TEST_F(GraphTest, RedrawsAreCoalescedAndNeverInsideTheCall) {
    DisplayPanel(panel);
    pump(0.1);
    QvGraph *g = graph(STRIP);
    PaintCounter counter;
    static_cast<QChartView *>(g->chartView())->viewport()->installEventFilter(&counter);
    SetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0);
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 501);
    pump(0.1);

    // Plotting draws nothing by itself.
    const int redraws0 = g->redrawCount(), paints0 = counter.paints;
    double row[18] = {};
    PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
    EXPECT_TRUE(g->redrawPending());
    EXPECT_EQ(g->redrawCount(), redraws0);
    EXPECT_EQ(counter.paints, paints0);

    // A second of data as fast as it comes, events processed between calls.
    const int redraws1 = g->redrawCount(), paints1 = counter.paints;
    long calls = 0;
    const double t0 = Timer();
    while (Timer() - t0 < 1.0) {
        for (int t = 0; t < 18; ++t) row[t] = 2000 + 1000 * std::sin(calls * 0.05 + t);
        PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
        ProcessSystemEvents();
        ++calls;
    }
    pump(0.1);
    const int redraws = g->redrawCount() - redraws1, paints = counter.paints - paints1;
    std::printf("[   INFO   ] 1 s of strip-chart data: %ld calls, %d redraws, %d paints\n", calls, redraws, paints);
    EXPECT_GT(calls, 1000);
    EXPECT_GE(redraws, 10) << "the chart must keep up";
    EXPECT_LE(redraws, 40);
    EXPECT_GE(paints, 10);
    EXPECT_LE(paints, 60);

    // A graph that is not on screen does not redraw until it is shown.
    HidePanel(panel);
    const int hidden0 = g->redrawCount();
    PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
    pump(0.1);
    EXPECT_EQ(g->redrawCount(), hidden0);
    DisplayPanel(panel);
    pump(0.1);
    EXPECT_EQ(g->redrawCount(), hidden0 + 1);
    EXPECT_FALSE(g->redrawPending());

    // A delayed deletion waits for the next change.
    const int gd0 = graph()->redrawCount();
    DeleteGraphPlot(panel, GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    pump(0.1);
    EXPECT_EQ(graph()->redrawCount(), gd0);
    DeleteGraphPlot(panel, GRAPH, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    pump(0.1);
    EXPECT_EQ(graph()->redrawCount(), gd0 + 1);
}

TEST_F(GraphTest, PlottingAtMeasuringSpeedCostsLittle) {
    DisplayPanel(panel);
    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 501);
    SetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0);
    SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, 512.0);
    SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
    pump(0.1);

    QElapsedTimer clock;
    double row[18];
    clock.start();
    for (int i = 0; i < 10000; ++i) {
        for (int t = 0; t < 18; ++t) row[t] = (i * 7 + t * 200) % 4096;
        ASSERT_EQ(PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE), 0);
        if (i % 10 == 0) ProcessSystemEvents();
    }
    const double stripMs = clock.nsecsElapsed() / 1e6;
    const int stripRedraws = graph(STRIP)->redrawCount();

    unsigned short xs[512], ys[512];
    for (int i = 0; i < 512; ++i) xs[i] = static_cast<unsigned short>(i);
    int handle = 0;
    clock.restart();
    for (int k = 0; k < 500; ++k) {
        for (int i = 0; i < 512; ++i) ys[i] = static_cast<unsigned short>((i * 8 + k * 16) % 4096);
        if (handle) {
            ASSERT_EQ(DeleteGraphPlot(panel, GRAPH, handle, VAL_DELAYED_DRAW), 0);
        }
        handle = PlotXY(panel, GRAPH, xs, ys, 512, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER,
                        VAL_FAT_LINE, VAL_NO_POINT, VAL_SOLID, 1, VAL_BLUE);
        ASSERT_GT(handle, 0);
        ProcessSystemEvents();
    }
    const double xyMs = clock.nsecsElapsed() / 1e6;

    // What one redraw with paint costs: 18 traces of 501 points, all new.
    clock.restart();
    for (int i = 0; i < 20; ++i) {
        PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
        graph(STRIP)->redrawNow();
        graph(STRIP)->chartView()->grab();
    }
    const double frameMs = clock.nsecsElapsed() / 1e6 / 20;
    std::printf("[   INFO   ] 10000 strip-chart rows of 18: %.0f ms (%d redraws); 500 PlotXY+Delete of 512: %.0f ms; "
                "one full strip-chart frame %.1f ms\n",
                stripMs, stripRedraws, xyMs, frameMs);
    EXPECT_LT(stripMs, 3000);
    EXPECT_LT(xyMs, 3000);
    EXPECT_EQ(graph()->model().plots.size(), 1u);
}

// Writes what a technician sees to the file named by QVEX_GRAPH_PNG.
TEST_F(GraphTest, RendersAScopePicture) {
    DisplayPanel(panel);
    SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, 512.0);
    SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
    unsigned short xs[512], a[512], b[512];
    for (int i = 0; i < 512; ++i) {
        xs[i] = static_cast<unsigned short>(i);
        a[i] = static_cast<unsigned short>(2000 + 1500 * std::exp(-std::pow((i - 200) / 40.0, 2)) + 40 * std::sin(i * 0.3));
        b[i] = static_cast<unsigned short>(800 + 600 * std::exp(-std::pow((i - 320) / 60.0, 2)));
    }
    PlotXY(panel, GRAPH, xs, a, 512, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, VAL_FAT_LINE, VAL_NO_POINT,
           VAL_SOLID, 1, MakeColor(0, 0, 255));
    PlotXY(panel, GRAPH, xs, b, 512, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, VAL_FAT_LINE, VAL_NO_POINT,
           VAL_SOLID, 1, MakeColor(0, 255, 0));
    const int pl = PlotLine(panel, GRAPH, 150.0, 0.0, 150.0, 4095.0, MakeColor(0, 0, 255));
    SetPlotAttribute(panel, GRAPH, pl, ATTR_LINE_STYLE, VAL_DASH_DOT_DOT);
    PlotText(panel, GRAPH, 150.0, 0.0, " Reset A.", VAL_SYSTEM_META_FONT, MakeColor(0, 0, 255), VAL_TRANSPARENT);
    const int trig = PlotLine(panel, GRAPH, 0.0, 2600.0, 512.0, 2600.0, MakeColor(0, 0, 255));
    SetPlotAttribute(panel, GRAPH, trig, ATTR_LINE_STYLE, VAL_DASH_DOT);
    const int ev = PlotLine(panel, GRAPH, 260.0, 0.0, 260.0, 4095.0, MakeColor(153, 0, 0));
    SetPlotAttribute(panel, GRAPH, ev, ATTR_LINE_STYLE, VAL_DASH_DOT_DOT);
    PlotText(panel, GRAPH, 260.0, 3840.0, " Eval 1.", VAL_SYSTEM_META_FONT, MakeColor(153, 0, 0), VAL_TRANSPARENT);

    SetCtrlAttribute(panel, STRIP, ATTR_POINTS_PER_SCREEN, 101);
    SetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0);
    double row[18];
    for (int r = 0; r < 100; ++r) {
        for (int t = 0; t < 18; ++t) row[t] = 300 + t * 210 + 120 * std::sin(r * 0.15 + t);
        PlotStripChart(panel, STRIP, row, 18, 0, 0, VAL_DOUBLE);
    }
    RefreshGraph(panel, GRAPH);
    RefreshGraph(panel, STRIP);
    const QImage img = static_cast<QWidget *>(GetPanelWidget(panel))->grab().toImage();
    int blue = 0;
    for (int y = 10; y < 210; ++y)
        for (int x = 20; x < 580; ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 60 && c.green() < 60) ++blue;
        }
    EXPECT_GT(blue, 500) << "the blue curve is drawn";
    if (const char *path = std::getenv("QVEX_GRAPH_PNG")) {
        EXPECT_TRUE(img.save(path));
    }
}

} // namespace
