// The operator's exploration of graphs and strip charts (freeze, zoom, pan,
// cursor readout, export) through real mouse events on the real widgets,
// first on a panel of its own, then on the program's main panel against the
// simulator. Plotting and the program's clicks are test_graphs.cpp's.
#include "tests/fixtures/inline_panel.h"
#include "tests/measure/measure_fixture.h"

#include "ui/engine/graph_explore_p.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>
#include <QWheelEvent>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

// ---- helpers on any graph ------------------------------------------------------------------
QToolButton *barButton(QvGraph *g, const char *name) { return g->findChild<QToolButton *>(name); }

QPoint px(QvGraph *g, double x, double y) { return g->toWidget(QPointF(x, y)).toPoint(); }

// Presses with the modifier, moves and releases: a rubber band with Ctrl, a pan with Shift.
void drag(QvGraph *g, QPoint from, QPoint to, Qt::KeyboardModifiers mods) {
    QTest::mousePress(g, Qt::LeftButton, mods, from);
    QTest::mouseMove(g, (from + to) / 2);
    QTest::mouseMove(g, to);
    QTest::mouseRelease(g, Qt::LeftButton, mods, to);
}

void wheel(QvGraph *g, QPoint at, int delta, Qt::KeyboardModifiers mods) {
    QWheelEvent e(QPointF(at), QPointF(g->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(g, &e);
}

// The mouse leaves a widget (the offscreen platform's own leave events come
// late or not at all).
void leave(QWidget *w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

// Hovers over the graph, which shows its bar, and clicks a button of it.
void clickBar(QvGraph *g, const char *button) {
    QTest::mouseMove(g, QPoint(g->width() / 2, g->height() / 2));
    QToolButton *b = barButton(g, button);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->isVisible()) << button;
    QTest::mouseClick(b, Qt::LeftButton);
}

// What a graph draws of its series `index`, or a strip chart of its trace
// `index` (its runs joined).
QList<QPointF> seriesPoints(QvGraph *g, int index) {
    if (auto *strip = qobject_cast<QvStripChart *>(g)) {
        QList<QPointF> out;
        for (const QPolygonF &run : strip->drawnLines(index)) out += run;
        return out;
    }
    auto *chart = static_cast<QChartView *>(g->chartView())->chart();
    return static_cast<QXYSeries *>(chart->series().at(index))->points();
}

std::string readFile(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "";
    return f.readAll().toStdString();
}

// ---- a panel of its own ------------------------------------------------------------------------
enum { GRAPH = 2, STRIP = 3 };

const char *kExploreUi = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>container</class>
 <widget class="QWidget" name="container">
  <widget class="QWidget" name="p1">
   <property name="panel" stdset="0"><number>1</number></property>
   <property name="geometry"><rect><x>0</x><y>0</y><width>640</width><height>480</height></rect></property>
   <widget class="QvGraph" name="graph">
    <property name="geometry"><rect><x>20</x><y>10</y><width>560</width><height>220</height></rect></property>
    <property name="curveNames"><string>#0000ff=Channel A,#00ff00=Channel B</string></property>
    <property name="ctrlId" stdset="0"><number>2</number></property>
    <property name="callback" stdset="0"><string>GI_CLICK</string></property>
   </widget>
   <widget class="QvStripChart" name="strip">
    <property name="geometry"><rect><x>20</x><y>250</y><width>540</width><height>200</height></rect></property>
    <property name="numTraces"><number>3</number></property>
    <property name="pointsPerScreen"><number>50</number></property>
    <property name="traceNames"><string>Alpha,Beta,Gamma</string></property>
    <property name="ctrlId" stdset="0"><number>3</number></property>
    <property name="callback" stdset="0"><string>GI_CLICK</string></property>
   </widget>
  </widget>
 </widget>
</ui>
)";

class ExploreTest : public ::testing::Test {
  protected:
    InlinePanel resource;
    QTemporaryDir &dir = resource.dir;
    std::unique_ptr<ScriptedPopups> popups;
    int panel = 0;

    void SetUp() override {
        static const CallbackEntry table[] = {{"GI_CLICK", RecordClick}};
        RegisterCallbacks(table);
        panel = resource.load("Explore.ui", kExploreUi);
        ASSERT_GT(panel, 0);
        popups = std::make_unique<ScriptedPopups>();
        DisplayPanel(panel);
        SetAxisScalingMode(panel, GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, 128.0);
        SetAxisScalingMode(panel, GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
        SetAxisScalingMode(panel, STRIP, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4095.0);
        g_clicks.clear();
    }
    QvGraph *graph(int id = GRAPH) { return static_cast<QvGraph *>(GetCtrlWidget(panel, id)); }
    // The range an axis shows: a graph's value axis, a strip chart's time
    // axis as it draws it.
    std::pair<double, double> axis(Qt::Orientation o, int id = GRAPH) {
        if (o == Qt::Horizontal && id == STRIP) return graph(id)->shownRange(VAL_XAXIS);
        auto *a = static_cast<QValueAxis *>(
            static_cast<QChartView *>(graph(id)->chartView())->chart()->axes(o).first());
        return {a->min(), a->max()};
    }
    // Channel A rises by 10 a sample, channel B falls by 5 from 4000; a
    // dashed line and a text that no readout or export lists.
    void plotChannels() {
        unsigned short xs[128], a[128], b[128];
        for (int i = 0; i < 128; ++i) {
            xs[i] = static_cast<unsigned short>(i);
            a[i] = static_cast<unsigned short>(10 * i);
            b[i] = static_cast<unsigned short>(4000 - 5 * i);
        }
        PlotXY(panel, GRAPH, xs, a, 128, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, VAL_FAT_LINE,
               VAL_NO_POINT, VAL_SOLID, 1, MakeColor(0, 0, 255));
        PlotXY(panel, GRAPH, xs, b, 128, VAL_UNSIGNED_SHORT_INTEGER, VAL_UNSIGNED_SHORT_INTEGER, VAL_FAT_LINE,
               VAL_NO_POINT, VAL_SOLID, 1, MakeColor(0, 255, 0));
        PlotLine(panel, GRAPH, 0.0, 2600.0, 128.0, 2600.0, MakeColor(0, 0, 255));
        PlotText(panel, GRAPH, 40.0, 0.0, " Reset A.", VAL_SYSTEM_META_FONT, MakeColor(0, 0, 255), VAL_TRANSPARENT);
        RefreshGraph(panel, GRAPH);
    }
    // Rows r = first .. first + n - 1 of the three traces: 100 r, 100 r + 1, 100 r + 2.
    void plotRows(int first, int n) {
        for (int r = first; r < first + n; ++r) {
            const double row[3] = {100.0 * r, 100.0 * r + 1, 100.0 * r + 2};
            PlotStripChart(panel, STRIP, row, 3, 0, 0, VAL_DOUBLE);
        }
    }
};

TEST_F(ExploreTest, AFrozenStripChartKeepsItsPictureWhileTheHistoryGoesOn) {
    QvGraph *s = graph(STRIP);
    plotRows(0, 10);
    RefreshGraph(panel, STRIP);
    EXPECT_FALSE(s->explorer().bar()->isVisible()) << "the bar stays out of the way until the mouse comes";
    QTest::mouseMove(s, QPoint(200, 100));
    EXPECT_TRUE(s->explorer().bar()->isVisible());
    leave(s);
    EXPECT_FALSE(s->explorer().bar()->isVisible()) << "and goes with it";

    clickBar(s, "exploreFreeze");
    EXPECT_TRUE(s->explorer().frozen());
    EXPECT_EQ(barButton(s, "exploreFreeze")->text(), "Frozen");
    const QList<QPointF> before = seriesPoints(s, 0);
    ASSERT_EQ(before.size(), 10);

    plotRows(10, 20);
    WaitUntil([&] { return !s->redrawPending(); });
    RefreshGraph(panel, STRIP);
    EXPECT_EQ(seriesPoints(s, 0), before) << "the picture holds";
    EXPECT_EQ(axis(Qt::Horizontal, STRIP), std::make_pair(0.0, 49.0));
    EXPECT_EQ(s->model().total, 30) << "the history goes on";
    EXPECT_EQ(s->model().value(s->model().rowsKept() - 1, 1), 2901.0);
    // Readout and export read the picture, not the history behind it.
    EXPECT_EQ(s->explorer().csv().count('\n'), 11);

    // Leaving the chart keeps the bar while frozen: the state stays in sight.
    leave(s);
    EXPECT_TRUE(s->explorer().bar()->isVisible());

    clickBar(s, "exploreFreeze");
    EXPECT_FALSE(s->explorer().frozen());
    const QList<QPointF> after = seriesPoints(s, 1);
    ASSERT_EQ(after.size(), 30);
    EXPECT_EQ(after.back(), QPointF(29.0, 2901.0)) << "unfreezing shows the latest";
    EXPECT_TRUE(g_clicks.empty()) << "the bar's clicks are not the program's";
}

TEST_F(ExploreTest, CtrlRubberBandWheelAndShiftDragChangeOnlyTheShownRange) {
    QvGraph *g = graph();
    plotChannels();
    const double xPixel = 128.0 / g->plotArea().width(), yPixel = 4096.0 / g->plotArea().height();

    drag(g, px(g, 20, 3000), px(g, 60, 1000), Qt::ControlModifier);
    auto x = g->shownRange(VAL_XAXIS), y = g->shownRange(VAL_LEFT_YAXIS);
    EXPECT_NEAR(x.first, 20, 2 * xPixel);
    EXPECT_NEAR(x.second, 60, 2 * xPixel);
    EXPECT_NEAR(y.first, 1000, 2 * yPixel);
    EXPECT_NEAR(y.second, 3000, 2 * yPixel);
    EXPECT_EQ(axis(Qt::Horizontal), x);
    EXPECT_EQ(axis(Qt::Vertical), y);
    // The program's axes are as it set them.
    int mode = 0;
    double min = 0, max = 0;
    GetAxisScalingMode(panel, GRAPH, VAL_XAXIS, &mode, &min, &max);
    EXPECT_EQ(std::make_pair(min, max), std::make_pair(0.0, 128.0));
    EXPECT_TRUE(barButton(g, "exploreFullView")->isEnabled());

    // Ctrl+wheel: one notch forward narrows both ranges to 0.8 about the mouse.
    const QPoint at = px(g, 30, 2000);
    const QPointF under = g->toData(at);
    wheel(g, at, 120, Qt::ControlModifier);
    const auto x2 = g->shownRange(VAL_XAXIS), y2 = g->shownRange(VAL_LEFT_YAXIS);
    EXPECT_NEAR(x2.second - x2.first, 0.8 * (x.second - x.first), 1e-9);
    EXPECT_NEAR(y2.second - y2.first, 0.8 * (y.second - y.first), 1e-9);
    EXPECT_NEAR(g->toData(at).x(), under.x(), xPixel);
    // A wheel without Ctrl leaves it.
    wheel(g, at, 120, Qt::NoModifier);
    EXPECT_EQ(g->shownRange(VAL_XAXIS), x2);

    // Shift+drag moves the picture with the mouse: 100 pixels right shows
    // what lay 100 pixels to the left.
    const QPoint from = px(g, 30, 2000);
    const QPointF was = g->toData(from);
    drag(g, from, from + QPoint(100, 0), Qt::ShiftModifier);
    const auto x3 = g->shownRange(VAL_XAXIS);
    EXPECT_NEAR(x3.second - x3.first, x2.second - x2.first, 1e-9);
    EXPECT_NEAR(g->toData(from + QPoint(100, 0)).x(), was.x(), xPixel);
    EXPECT_EQ(g->shownRange(VAL_LEFT_YAXIS), y2);

    // A band of a pixel or two is a slip of the hand.
    drag(g, px(g, 40, 2000), px(g, 40, 2000) + QPoint(2, 2), Qt::ControlModifier);
    EXPECT_EQ(g->shownRange(VAL_XAXIS), x3);

    // Full view gives the program's range back; so does Ctrl+double click.
    clickBar(g, "exploreFullView");
    EXPECT_EQ(axis(Qt::Horizontal), std::make_pair(0.0, 128.0));
    EXPECT_EQ(axis(Qt::Vertical), std::make_pair(0.0, 4096.0));
    EXPECT_FALSE(barButton(g, "exploreFullView")->isEnabled());
    drag(g, px(g, 20, 3000), px(g, 60, 1000), Qt::ControlModifier);
    ASSERT_TRUE(g->explorer().zoomed());
    QTest::mouseDClick(g, Qt::LeftButton, Qt::ControlModifier, px(g, 40, 2000));
    EXPECT_FALSE(g->explorer().zoomed());
    EXPECT_EQ(g->shownRange(VAL_XAXIS), std::make_pair(0.0, 128.0));
    // The gestures reach the program only as changes of the view, never as clicks.
    EXPECT_FALSE(g_clicks.empty());
    for (const Click &c : g_clicks) EXPECT_EQ(c.event, EVENT_VAL_CHANGED) << "no gesture reached the program as a click";
}

TEST_F(ExploreTest, PlainClicksReachTheCallbackAsBeforeAndGesturesDoNot) {
    QvGraph *g = graph();
    plotChannels();
    const QPoint at = px(g, 32, 1024);
    QTest::mouseClick(g, Qt::LeftButton, {}, at);
    QTest::mouseClick(g, Qt::RightButton, {}, at);
    QTest::mouseClick(g, Qt::LeftButton, Qt::ControlModifier, at);
    QTest::mouseClick(g, Qt::RightButton, Qt::ShiftModifier, at);
    clickBar(g, "exploreExport"); // cancelled: no answer queued
    ASSERT_EQ(g_clicks.size(), 2u);
    EXPECT_EQ(g_clicks[0].event, EVENT_LEFT_CLICK);
    EXPECT_EQ(g_clicks[1].event, EVENT_RIGHT_CLICK);
    for (const Click &c : g_clicks) {
        EXPECT_EQ(c.control, GRAPH);
        EXPECT_EQ(c.data2, at.x() + 20);
        EXPECT_EQ(c.data1, at.y() + 10);
    }

    // Zoomed and frozen, a click still lands with its panel position, and the
    // graph coordinates are those of the picture under the mouse.
    drag(g, px(g, 20, 3000), px(g, 60, 1000), Qt::ControlModifier);
    clickBar(g, "exploreFreeze");
    g_clicks.clear();
    const QPoint at2 = px(g, 40, 2000);
    QTest::mouseClick(g, Qt::LeftButton, {}, at2);
    ASSERT_EQ(g_clicks.size(), 1u);
    EXPECT_EQ(g_clicks[0].data2, at2.x() + 20);
    EXPECT_EQ(g_clicks[0].data1, at2.y() + 10);
    double x = 0, y = 0;
    GetGraphCoordsFromPoint(panel, GRAPH, MakePoint(g_clicks[0].data2, g_clicks[0].data1), &x, &y);
    EXPECT_NEAR(x, 40, 0.5);
    EXPECT_NEAR(y, 2000, 30);
}

TEST_F(ExploreTest, TheReadoutShowsEachVisibleCurveAtTheSampleUnderTheMouse) {
    QvGraph *g = graph();
    plotChannels();
    // The pointer starts away from the graph, wherever an earlier test left it.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(g, &leave);
    EXPECT_FALSE(g->explorer().readoutShown());
    QTest::mouseMove(g, px(g, 57.3, 2000));
    ASSERT_TRUE(g->explorer().readoutShown());
    EXPECT_EQ(g->explorer().readoutText(), "x = 57\nChannel A: 570\nChannel B: 3715");

    // Zoomed in, the next sample is the one under the mouse.
    g->explorer().zoomTo(50, 60, 0, 4096);
    QTest::mouseMove(g, px(g, 58.2, 2000));
    EXPECT_EQ(g->explorer().readoutText(), "x = 58\nChannel A: 580\nChannel B: 3710");

    // Outside the plot area there is no readout.
    QTest::mouseMove(g, QPoint(2, 2));
    EXPECT_FALSE(g->explorer().readoutShown());

    // On the strip chart: x is the row, hidden traces are left out.
    QvGraph *s = graph(STRIP);
    plotRows(0, 10);
    SetTraceAttribute(panel, STRIP, 2, ATTR_TRACE_VISIBLE, 0);
    RefreshGraph(panel, STRIP);
    QTest::mouseMove(s, px(s, 4.2, 1000));
    EXPECT_EQ(s->explorer().readoutText(), "x = 4\nAlpha: 400\nGamma: 402");
    // The mouse resting there, the readout follows the data as it scrolls.
    plotRows(10, 50);
    RefreshGraph(panel, STRIP);
    EXPECT_EQ(s->explorer().readoutText(), "x = 14\nAlpha: 1400\nGamma: 1402");
}

TEST_F(ExploreTest, CsvExportHoldsTheCurvesShownExactly) {
    QvGraph *g = graph();
    const double ax[4] = {0, 1, 2, 3}, ay[4] = {10, 20, 30, 40};
    const double bx[3] = {0, 2, 4}, by[3] = {5.5, 6.5, 7.25};
    const double cx[2] = {1, 3}, cy[2] = {-1, -2};
    PlotXY(panel, GRAPH, ax, ay, 4, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1,
           MakeColor(0, 0, 255));
    PlotXY(panel, GRAPH, bx, by, 3, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1,
           MakeColor(0, 255, 0));
    const int hidden = PlotXY(panel, GRAPH, cx, cy, 2, VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID,
                              1, MakeColor(255, 0, 0));
    const int unnamed = PlotXY(panel, GRAPH, cx, cy, 2, VAL_DOUBLE, VAL_DOUBLE, VAL_SCATTER, VAL_SOLID_CIRCLE,
                               VAL_SOLID, 1, MakeColor(255, 0, 255));
    SetPlotAttribute(panel, GRAPH, hidden, ATTR_TRACE_VISIBLE, 0);
    PlotLine(panel, GRAPH, 0, 1, 4, 1, MakeColor(0, 0, 255));

    const QString path = dir.filePath("curves.csv");
    popups->fileAnswers.push_back(path.toStdString());
    clickBar(g, "exploreExport");
    ASSERT_EQ(popups->fileRequests.size(), 1u);
    EXPECT_EQ(popups->fileRequests[0].fileTypeList, "*.png;*.svg;*.pdf;*.csv");
    EXPECT_EQ(readFile(path), "x,Channel A,Channel B,Curve 3\n"
                              "0,10,5.5,\n"
                              "1,20,,-1\n"
                              "2,30,6.5,\n"
                              "3,40,,-2\n"
                              "4,,7.25,\n");

    // Zoomed, only the x range shown.
    SetPlotAttribute(panel, GRAPH, unnamed, ATTR_TRACE_VISIBLE, 0);
    g->explorer().zoomTo(0.5, 2.5, 0, 50);
    EXPECT_EQ(g->explorer().csv().toStdString(), "x,Channel A,Channel B\n1,20,\n2,30,6.5\n");

    // A strip chart's x is the row number since the chart was cleared.
    plotRows(0, 60);
    EXPECT_EQ(graph(STRIP)->explorer().csv().section('\n', 0, 1).toStdString(), "x,Alpha,Beta,Gamma\n10,1000,1001,1002");
    EXPECT_EQ(graph(STRIP)->explorer().csv().count('\n'), 51);
    EXPECT_TRUE(popups->lastMessage().empty());
}

TEST_F(ExploreTest, PicturesAreExportedAtTheGraphsSizeWithoutTheExplorationMarks) {
    QvGraph *g = graph();
    plotChannels();
    QTest::mouseMove(g, px(g, 64, 2000)); // readout and bar on screen

    const QString png = dir.filePath("graph.png");
    popups->fileAnswers.push_back(dir.filePath("graph").toStdString()); // no extension: a PNG
    clickBar(g, "exploreExport");
    QImage img(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), g->size());
    int blue = 0, bar = 0;
    const QRect barRect = g->explorer().bar()->geometry();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 60 && c.green() < 60) ++blue;
            if (barRect.contains(x, y) && c == QColor(236, 236, 236)) ++bar;
        }
    EXPECT_GT(blue, 300) << "channel A is drawn";
    EXPECT_EQ(bar, 0) << "the bar is not part of the picture";
    // A legend in the plot area's top left corner names the curves beside a
    // swatch of their colours: channel A's blue above channel B's green.
    const QRect pa(qRound(g->plotArea().left()), qRound(g->plotArea().top()), 1, 1);
    EXPECT_EQ(img.pixelColor(pa.left() + 6, pa.top() + 10), QColor(128, 128, 128)) << "the legend's frame";
    int blueRow = -1, greenRow = -1, text = 0;
    for (int y = pa.top() + 6; y < pa.top() + 60; ++y) {
        const QColor c = img.pixelColor(pa.left() + 18, y);
        if (blueRow < 0 && c.blue() > 200 && c.red() < 60 && c.green() < 60) blueRow = y;
        if (greenRow < 0 && c.green() > 200 && c.red() < 60 && c.blue() < 60) greenRow = y;
        for (int x = pa.left() + 32; x < pa.left() + 90; ++x) text += img.pixelColor(x, y).lightness() < 100;
    }
    EXPECT_GT(blueRow, 0);
    EXPECT_GT(greenRow, blueRow);
    EXPECT_GT(text, 30) << "the names are written";
    EXPECT_TRUE(g->explorer().bar()->isVisible()) << "and comes back after it";

    const QString pdf = dir.filePath("graph.pdf");
    popups->fileAnswers.push_back(pdf.toStdString());
    clickBar(g, "exploreExport");
    const std::string pdfText = readFile(pdf);
    EXPECT_EQ(pdfText.substr(0, 5), "%PDF-");
    EXPECT_GT(pdfText.size(), 1000u);

    // A name of another kind, or a folder that cannot be written, is refused aloud.
    popups->fileAnswers.push_back(dir.filePath("graph.txt").toStdString());
    clickBar(g, "exploreExport");
    EXPECT_NE(popups->lastMessage("Error").find(".png, .svg, .pdf or .csv"), std::string::npos);
    EXPECT_FALSE(QFile::exists(dir.filePath("graph.txt")));
    popups->fileAnswers.push_back(dir.filePath("missing/graph.png").toStdString());
    clickBar(g, "exploreExport");
    EXPECT_NE(popups->lastMessage("Error").find("missing/graph.png"), std::string::npos);
    EXPECT_TRUE(g_clicks.empty());
}

// ---- on the program's main panel -------------------------------------------------------------------
class MainPanelExploreTest : public MeasureTest {
  protected:
    void SetUp() override {
        MeasureTest::SetUp();
        DisplayPanel(panelMAIN);
    }
    void TearDown() override {
        for (int id : {MAIN_STRIPCHART, MAIN_GRAPH}) {
            QvGraph *g = mainGraph(id);
            g->explorer().setFrozen(false);
            g->explorer().resetZoom();
        }
        HidePanel(panelMAIN);
        MeasureTest::TearDown();
    }
    static QvGraph *mainGraph(int id) { return static_cast<QvGraph *>(GetCtrlWidget(panelMAIN, id)); }
};

TEST_F(MainPanelExploreTest, RunGoesOnIntoTheHistoryWhileTheStripChartIsFrozen) {
    sim.useRealTime();
    QvGraph *s = mainGraph(MAIN_STRIPCHART);
    constexpr int kResultA = 9; // trace 9: RESULT A
    long long frozenAt = -1;
    QList<QPointF> frozenPicture;
    onTick = [&] {
        const std::size_t n = sim.requestLog().size();
        if (frozenAt < 0 && n >= 10 && stop_flag == 0) {
            RefreshGraph(panelMAIN, MAIN_STRIPCHART);
            clickBar(s, "exploreFreeze");
            frozenAt = s->model().total;
            frozenPicture = seriesPoints(s, kResultA - 1);
        } else if (frozenAt >= 0 && s->model().total >= frozenAt + 15 && stop_flag == 0) {
            // Fifteen cycles after the freeze, however late the first tick came.
            RefreshGraph(panelMAIN, MAIN_STRIPCHART);
            EXPECT_EQ(seriesPoints(s, kResultA - 1), frozenPicture) << "the picture holds during RUN";
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    ASSERT_GE(frozenAt, 0);
    ASSERT_TRUE(s->explorer().frozen());
    EXPECT_GT(s->model().total, frozenAt) << "the rows went on into the history";
    const engine::GraphModel &m = s->model();
    EXPECT_EQ(m.value(m.rowsKept() - 1, kResultA - 1), yArray[STRIP_TRACES * (STRIP_ROWS - 1) + kResultA - 1]);

    clickBar(s, "exploreFreeze");
    const QList<QPointF> latest = seriesPoints(s, kResultA - 1);
    ASSERT_FALSE(latest.isEmpty());
    EXPECT_EQ(latest.back().y(), yArray[STRIP_TRACES * (STRIP_ROWS - 1) + kResultA - 1]);
    EXPECT_EQ(latest.back().x(), static_cast<double>(m.total - 1));
}

// A drawing program takes each curve of an SVG export whole: one path in the
// curve's colour through every point it shows, not a line per pair of points.
TEST_F(MainPanelExploreTest, TheDataGraphExportedAsSvgHoldsOnePathPerShownCurve) {
    sim.advanceTime(100'000); // both channels hold a recording
    stopAfter(21);
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    QvGraph *g = mainGraph(MAIN_GRAPH);
    RefreshGraph(panelMAIN, MAIN_GRAPH);
    const std::vector<engine::ShownCurve> shown = g->explorer().curves();
    ASSERT_EQ(shown.size(), 2u);

    QTemporaryDir dir;
    const QString svg = dir.filePath("data.svg");
    popups->fileAnswers.push_back(svg.toStdString());
    clickBar(g, "exploreExport");
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << popups->lastMessage("Error");
    QXmlStreamReader xml(&file);
    std::vector<QString> strokes{QString()};  // the stroke each open element passes on
    std::map<QString, std::vector<int>> nodes; // per stroke colour: the points of each path
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QXmlStreamAttributes a = xml.attributes();
            strokes.push_back(a.hasAttribute("stroke") ? a.value("stroke").toString() : strokes.back());
            if (xml.name() == u"path") {
                const QString d = a.value("d").toString();
                nodes[strokes.back()].push_back(static_cast<int>(d.count('M') + d.count('L')));
            }
        } else if (xml.isEndElement()) {
            strokes.pop_back();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    for (const engine::ShownCurve &c : shown) {
        const std::vector<int> &paths = nodes[c.color.name()];
        EXPECT_EQ(std::count(paths.begin(), paths.end(), static_cast<int>(c.points.size())), 1) << c.name.toStdString();
        // Anything else in that colour is a marker line of two points.
        for (int n : paths) EXPECT_TRUE(n == static_cast<int>(c.points.size()) || n <= 2) << n;
    }
    int visibleCurves = 0;
    for (QAbstractSeries *a : static_cast<QChartView *>(g->chartView())->chart()->series())
        if (a->isVisible() && static_cast<QXYSeries *>(a)->count() == static_cast<int>(shown[0].points.size()))
            ++visibleCurves;
    EXPECT_EQ(visibleCurves, 2) << "the screen shows the curves again";
}

// Writes the zoomed DATA graph with its readout to the file named by QVEX_EXPLORE_PNG.
TEST_F(MainPanelExploreTest, TheZoomedDataGraphReadsTheRecordedCurves) {
    sim.advanceTime(100'000); // both channels hold a recording
    stopAfter(21);            // in the second cycle: the first one's curves are drawn
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    QvGraph *g = mainGraph(MAIN_GRAPH);
    ASSERT_TRUE(g->isVisible());
    RefreshGraph(panelMAIN, MAIN_GRAPH);

    // Zoom onto the middle of the curves and rest the mouse on sample 70.
    drag(g, px(g, 40, 4000), px(g, 100, 200), Qt::ControlModifier);
    ASSERT_TRUE(g->explorer().zoomed());
    QTest::mouseMove(g, px(g, 70.2, 1500));
    ASSERT_TRUE(g->explorer().readoutShown());
    EXPECT_EQ(g->explorer().readoutText().toStdString(),
              "x = 70\nChannel A: " + std::to_string(yArrayA[70]) + "\nChannel B: " + std::to_string(yArrayB[70]));
    EXPECT_EQ(popups->shown.size(), 0u);

    const QImage img = g->grab().toImage();
    EXPECT_EQ(img.size(), g->size());
    if (const char *path = std::getenv("QVEX_EXPLORE_PNG")) {
        EXPECT_TRUE(img.save(path));
    }
}

} // namespace
