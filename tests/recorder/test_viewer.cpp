// The record viewer through its panel: a file the recorder wrote against the
// simulator, and files damaged, cut off, foreign or empty. qvex-ctl stats
// (tests/ctl/test_ctl_stats.cpp) covers the statistics over block edges.
#include "tests/recorder/recorder_fixture.h"

#include "recorder/recdata.h"
#include "recorder/viewer.h"
#include "ui/engine/graph_explore_p.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"
#include "ui/panels/recview_ids.h"

#include <QFile>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QImage>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextCursor>
#include <QWidget>
#include <QRegularExpression>
#include <QString>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>
#include <cstdlib>
#include <map>

namespace {

const char *const kNames[10] = {"RESULT A", "NORM A", "RAW A", "MAX{ RAW A }", "RESULT B",
                                "NORM B",   "RAW B",  "MAX{ RAW B }", "EVAL 1",   "EVAL 2"};

// The rows of a record file as the test reads it: every line after the
// column header whose 13 fields start with a number.
std::vector<std::vector<double>> RowsOf(const RecordText &t) {
    std::vector<std::vector<double>> rows;
    for (const std::string &l : t.lines) {
        const auto f = RecordText::fields(l);
        if (f.size() != 13 || l.empty() || !std::isdigit(static_cast<unsigned char>(l[0]))) continue;
        std::vector<double> v;
        for (int c = 2; c < 12; ++c) v.push_back(QString::fromStdString(f[std::size_t(c)]).toDouble());
        rows.push_back(v);
    }
    return rows;
}

QvGraph *Graph(int control) { return static_cast<QvGraph *>(GetCtrlWidget(panelRECVIEW, control)); }

std::string Cell(int row, int column) {
    std::string s;
    GetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, column, &s);
    return s;
}

std::string TextBox(int control) {
    int n = 0;
    GetNumTextBoxLines(panelRECVIEW, control, &n);
    std::string all;
    for (int i = 0; i < n; ++i) {
        std::string l;
        GetTextBoxLine(panelRECVIEW, control, i, &l);
        all += l + "\n";
    }
    return all;
}

std::string Label(int control) {
    std::string s;
    GetCtrlVal(panelRECVIEW, control, &s);
    return s;
}

class ViewerTest : public RecorderTest {
  protected:
    void TearDown() override {
        OperateCtrl(panelRECVIEW, RECVIEW_CLOSE);
        RecorderTest::TearDown();
    }
    // Opens a file through the viewer's own file command.
    void open(const std::string &file) {
        popups->fileAnswers.push_back(file);
        OperateCtrl(panelRECVIEW, RECVIEW_OPEN);
    }
    // The statistics table against rows [from, to) computed here.
    void expectStats(const std::vector<std::vector<double>> &rows, std::size_t from, std::size_t to) {
        for (int c = 0; c < 10; ++c) {
            const int r = c + 1;
            EXPECT_EQ(Cell(r, RECVIEW_COL_NAME), kNames[c]);
            EXPECT_EQ(Cell(r, RECVIEW_COL_COUNT), std::to_string(to - from)) << kNames[c];
            long double sum = 0, lo = 1e9, hi = -1e9;
            for (std::size_t k = from; k < to; ++k) {
                sum += rows[k][std::size_t(c)];
                lo = std::min<long double>(lo, rows[k][std::size_t(c)]);
                hi = std::max<long double>(hi, rows[k][std::size_t(c)]);
            }
            const long double mean = sum / (to - from);
            long double sq = 0;
            for (std::size_t k = from; k < to; ++k) sq += (rows[k][std::size_t(c)] - mean) * (rows[k][std::size_t(c)] - mean);
            const double sd = std::sqrt(double(sq / (to - from - 1)));
            auto value = [&](int column) { return QString::fromStdString(Cell(r, column)).toDouble(); };
            const double shownTo = c >= 8 ? 5e-7 : 5e-4; // three decimals finer than the file writes
            EXPECT_DOUBLE_EQ(value(RECVIEW_COL_MIN), double(lo)) << kNames[c];
            EXPECT_DOUBLE_EQ(value(RECVIEW_COL_MAX), double(hi)) << kNames[c];
            EXPECT_NEAR(value(RECVIEW_COL_MEAN), double(mean), shownTo + 1e-9) << kNames[c];
            EXPECT_NEAR(value(RECVIEW_COL_STD), sd, shownTo + 1e-9) << kNames[c];
            // Where the first minimum is: its INDEX in the table.
            std::size_t at = from;
            for (std::size_t k = from; k < to; ++k)
                if (rows[k][std::size_t(c)] < rows[at][std::size_t(c)]) at = k;
            EXPECT_EQ(Cell(r, RECVIEW_COL_MIN_AT).substr(8), ", " + std::to_string(at))
                << kNames[c] << ": " << Cell(r, RECVIEW_COL_MIN_AT);
        }
    }
};

TEST_F(ViewerTest, ARecordedFileShowsItsHeaderStatisticsAndSectionsAndFollowsTheZoomWithoutChangingTheFile) {
    // Automatic: a graph capture, 200 rows, another capture.
    setType(REC_TYPE_AUTOMATIC);
    const std::string file = path("recorded.csv");
    chooseFile(file);
    sim.advanceTime(100'000);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    // The live values move while the run records them.
    onTick = [this] { sim.advanceTime(20'000); };
    runAutomatic(200);
    onTick = nullptr;
    sim.advanceTime(100'000);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    const std::string bytes = ReadWholeFile(file);
    const RecordText text(bytes);
    const auto rows = RowsOf(text);
    ASSERT_EQ(rows.size(), 200u);
    ASSERT_EQ(std::count(text.lines.begin(), text.lines.end(), "Recorded analog graph."), 2);

    OperateCtrl(panelRECORDER, RECORDER_VIEW);
    OperateCtrl(panelRECVIEW, RECVIEW_SHOW_FIRST, 1); // RESULT A
    int visible = 0;
    GetPanelAttribute(panelRECVIEW, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);
    EXPECT_EQ(Label(RECVIEW_FILE_NAME), file + ": 200 rows, 2 graph sections, 0 lines skipped");
    const std::string facts = TextBox(RECVIEW_FACTS);
    EXPECT_NE(facts.find(std::string("Type of sensor: ") + szVersion + "\n"), std::string::npos) << facts;
    EXPECT_NE(facts.find("Type of connection: TCP/IP\n"), std::string::npos) << facts;
    EXPECT_NE(facts.find("Recording type: Automatic\nNumber of data sets: "), std::string::npos) << facts;
    EXPECT_NE(facts.find("Recording successfully finished at "), std::string::npos) << facts;
    EXPECT_EQ(TextBox(RECVIEW_MESSAGES), "Every line was read.\n");
    expectStats(rows, 0, 200);

    // The section list names both captures by their time stamps.
    int sections = 0;
    GetNumListItems(panelRECVIEW, RECVIEW_SECTION, &sections);
    ASSERT_EQ(sections, 2);
    const int second = text.find("Recorded analog graph.", text.find("Recorded analog graph.") + 1);
    std::string label;
    GetLabelFromIndex(panelRECVIEW, RECVIEW_SECTION, 1, &label);
    EXPECT_EQ(label, "2: " + RecordText::fields(text.lines[std::size_t(second + 1)])[1] + " (line " +
                         std::to_string(second + 1) + ")");
    OperateCtrl(panelRECVIEW, RECVIEW_SECTION, 1);
    {
        std::vector<QList<QPointF>> curves;
        for (const auto &kv : Graph(RECVIEW_SECTION_GRAPH)->model().plots) curves.push_back(kv.second.points);
        ASSERT_EQ(curves.size(), 2u);
        for (int k : {0, 255, 511}) {
            const auto f = RecordText::fields(text.lines[std::size_t(second + 4 + k)]);
            EXPECT_EQ(curves[0][k], QPointF(k, std::stoi(f[1]))) << k;
            EXPECT_EQ(curves[1][k], QPointF(k, std::stoi(f[2]))) << k;
        }
    }

    // Shown over INDEX, a Ctrl+drag over part of the rows: the statistics
    // are those of the rows in view.
    OperateCtrl(panelRECVIEW, RECVIEW_XAXIS, RECVIEW_X_INDEX);
    QvGraph *g = Graph(RECVIEW_GRAPH);
    g->redrawNow();
    const auto yr = g->shownRange(VAL_LEFT_YAXIS);
    const QPoint from = g->toWidget(QPointF(40.5, yr.second)).toPoint() + QPoint(0, 1);
    const QPoint to = g->toWidget(QPointF(120.5, yr.first)).toPoint() - QPoint(0, 1);
    QTest::mousePress(g, Qt::LeftButton, Qt::ControlModifier, from);
    QTest::mouseMove(g, to);
    QTest::mouseRelease(g, Qt::LeftButton, Qt::ControlModifier, to);
    double x0 = 0, x1 = 0;
    GetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, VAL_XAXIS, &x0, &x1);
    const std::size_t first = std::size_t(std::ceil(x0)), end = std::size_t(std::floor(x1)) + 1;
    ASSERT_GT(first, 30u);
    ASSERT_LT(end, 130u);
    expectStats(rows, first, end);
    const std::string shown = "Rows shown: ROW " + std::to_string(first) + " to " + std::to_string(end - 1) + " (" +
                              std::to_string(end - first) + " of 200)";
    EXPECT_EQ(Label(RECVIEW_RANGE).rfind(shown, 0), 0u) << Label(RECVIEW_RANGE);
    // The graph's CSV export gives the rows in view, as the file has them.
    const std::string csv = path("view.csv");
    ASSERT_EQ(g->explorer().exportTo(QString::fromStdString(csv)), QString());
    const QStringList exported = QString::fromStdString(ReadWholeFile(csv)).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(exported.size(), qsizetype(end - first + 1));
    EXPECT_TRUE(exported[0].startsWith("ROW,TIMESTAMP,RESULT A,")) << exported[0].toStdString();
    const QStringList firstRow = exported[1].split(',');
    EXPECT_EQ(firstRow[0].toStdString(), std::to_string(first));
    EXPECT_EQ(firstRow[2].toDouble(), rows[first][0]) << "RESULT A as the file has it";

    // On the time axis the same rows stay in view.
    OperateCtrl(panelRECVIEW, RECVIEW_XAXIS, RECVIEW_X_TIME);
    EXPECT_EQ(Cell(1, RECVIEW_COL_COUNT).empty(), false);
    const std::size_t countOnTime = std::stoul(Cell(1, RECVIEW_COL_COUNT));
    EXPECT_GE(countOnTime, end - first) << "rows sharing a second with the ends come along";
    OperateCtrl(panelRECVIEW, RECVIEW_XAXIS, RECVIEW_X_INDEX);

    // Full view again: every row.
    g->explorer().resetZoom();
    EXPECT_EQ(Cell(1, RECVIEW_COL_COUNT), "200");
    EXPECT_EQ(ReadWholeFile(file), bytes) << "the viewer never writes the file";
}

// A file written here: header, rows with the given INDEX values, and text
// after them.
std::string Written(int rows, const std::string &after = std::string()) {
    std::string t = "Logfile for recorded data.\r\nDate:,12-07-2026\r\nTime:,10:00:00\r\nType of sensor:,SIM\r\n"
                    "Recording type:,Manual\r\n\r\n"
                    "INDEX,TIMESTAMP,RESULT A,NORM A,RAW A,MAX{ RAW A },RESULT B,NORM B,RAW B,MAX{ RAW B },EVAL 1,EVAL 2,";
    for (int i = 0; i < rows; ++i) {
        char l[160];
        std::snprintf(l, sizeof l, "\r\n%d,10:00:%02d,%d,%d,%d,%d,%d,%d,%d,%d,%d.250,-%d.500,", i, i % 60, 1000 + i,
                      i, 2 * i, 3 * i, 2000 - i, i, i, i, i, i);
        t += l;
    }
    return t + after;
}

// A graph section as graph capture writes it: 512 samples of both channels.
std::string Section(const char *time) {
    std::string t = std::string("\r\nRecorded analog graph.\r\nTIMESTAMP:,") + time + "\r\n\r\nINDEX,Channel A:,Channel B:,";
    for (int k = 0; k < 512; ++k)
        t += "\r\n" + std::to_string(k) + "," + std::to_string(2000 + int(1800 * std::sin(k / 40.0))) + "," +
             std::to_string(1000 + 3 * k);
    return t + "\r\nEnd of Graph";
}

// An SVG drawing read back: its clip rectangles and, per stroke colour, the
// points of each path drawn under a clip path.
struct SvgRead {
    std::vector<QRectF> clips;
    std::map<QString, std::vector<std::vector<QPointF>>> paths;
    bool unclippedPath = false;
    QString error;
    explicit SvgRead(const std::string &file) {
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::ReadOnly)) {
            error = "cannot open";
            return;
        }
        QXmlStreamReader xml(&f);
        struct Open {
            QString stroke;
            bool clipped, inClipPath;
        };
        std::vector<Open> open{{QString(), false, false}};
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement()) open.pop_back();
            if (!xml.isStartElement()) continue;
            const QXmlStreamAttributes a = xml.attributes();
            Open o = open.back();
            if (a.hasAttribute("stroke")) o.stroke = a.value("stroke").toString();
            if (a.hasAttribute("clip-path")) o.clipped = true;
            if (xml.name() == u"clipPath") o.inClipPath = true;
            open.push_back(o);
            if (o.inClipPath && xml.name() == u"rect")
                clips.emplace_back(a.value("x").toDouble(), a.value("y").toDouble(), a.value("width").toDouble(),
                                   a.value("height").toDouble());
            if (xml.name() != u"path" || o.inClipPath) continue;
            if (!o.clipped) {
                unclippedPath = true;
                continue;
            }
            std::vector<QPointF> pts;
            const QStringList words = a.value("d").toString().split(QRegularExpression("[ ,]+|(?=[ML])"), Qt::SkipEmptyParts);
            for (qsizetype i = 0; i + 2 < words.size() + 1; ++i)
                if (words[i] == "M" || words[i] == "L" || words[i].startsWith('M') || words[i].startsWith('L')) {
                    const bool glued = words[i].size() > 1;
                    const double x = (glued ? words[i].mid(1) : words[i + 1]).toDouble();
                    const double y = words[i + (glued ? 1 : 2)].toDouble();
                    pts.emplace_back(x, y);
                }
            paths[o.stroke].push_back(pts);
        }
        if (xml.hasError()) error = xml.errorString();
    }
};

// Exported as SVG, the section graph holds every sample as a real-valued
// point of one path; zoomed in, what lies outside the plot area is cut at its
// edge, under the one clip path, and never drawn over the axes.
TEST_F(ViewerTest, SvgExportsOfTheSectionGraphHoldEveryPointAndStayInsideThePlotWhenZoomed) {
    const std::string file = path("section.csv");
    WriteWholeFile(file, Written(5) + Section("10:00:05"));
    open(file);
    QvGraph *g = Graph(RECVIEW_SECTION_GRAPH);
    g->redrawNow();
    ASSERT_EQ(g->model().plots.size(), 2u) << TextBox(RECVIEW_MESSAGES);
    auto inside = [](const QRectF &r, const QPointF &p) {
        return p.x() >= r.left() - 1e-3 && p.x() <= r.right() + 1e-3 && p.y() >= r.top() - 1e-3 &&
               p.y() <= r.bottom() + 1e-3;
    };
    for (const bool zoomed : {false, true}) {
        SCOPED_TRACE(zoomed ? "zoomed" : "full view");
        if (zoomed) { // Ctrl+drag from sample 100 at 3000 to sample 300 at 1500
            const QPoint from = g->toWidget(QPointF(100, 3000)).toPoint(), to = g->toWidget(QPointF(300, 1500)).toPoint();
            QTest::mousePress(g, Qt::LeftButton, Qt::ControlModifier, from);
            QTest::mouseMove(g, to);
            QTest::mouseRelease(g, Qt::LeftButton, Qt::ControlModifier, to);
            ASSERT_TRUE(g->explorer().zoomed());
        }
        const std::string svg = path(zoomed ? "zoomed.svg" : "section.svg");
        ASSERT_EQ(g->explorer().exportTo(QString::fromStdString(svg)), QString());
        if (const char *keep = std::getenv("QVEX_SVG_DIR")) { // the drawing and the picture, for a person to compare
            const QString base = QString(keep) + (zoomed ? "/section-zoomed" : "/section");
            QFile::remove(base + ".svg");
            QFile::copy(QString::fromStdString(svg), base + ".svg");
            EXPECT_EQ(g->explorer().exportTo(base + ".png"), QString());
        }
        const SvgRead read(svg);
        ASSERT_EQ(read.error, QString());
        ASSERT_EQ(read.clips.size(), 1u);
        EXPECT_FALSE(read.unclippedPath) << "every path stands under the clip path";
        const QRectF clip = read.clips[0];
        const QRectF area = g->plotArea().translated(-g->chartView()->pos());
        EXPECT_NEAR(clip.left(), area.left(), 0.01);
        EXPECT_NEAR(clip.bottom(), area.bottom(), 0.01);
        for (const char *colour : {"#0000ff", "#00ff00"}) {
            const auto &paths = read.paths.at(colour);
            ASSERT_EQ(paths.size(), 1u) << colour;
            std::size_t points = 0, fractional = 0;
            for (const QPointF &p : paths[0]) {
                EXPECT_TRUE(inside(clip, p)) << colour << " " << p.x() << "," << p.y();
                ++points;
                if (p.x() != std::floor(p.x())) ++fractional;
            }
            if (!zoomed) EXPECT_EQ(points, 512u) << colour;
            else EXPECT_LT(points, 512u) << colour;
            EXPECT_GT(fractional, points / 2) << "real-valued coordinates";
        }
        if (!zoomed) { // the points are the samples, placed on the plot area as the axes place them
            const auto &a = read.paths.at("#0000ff")[0];
            const auto xr = g->shownRange(VAL_XAXIS), yr = g->shownRange(VAL_LEFT_YAXIS);
            const double value = 2000 + int(1800 * std::sin(100 / 40.0));
            EXPECT_NEAR(a[100].x(), clip.left() + (100 - xr.first) / (xr.second - xr.first) * clip.width(), 0.002);
            EXPECT_NEAR(a[100].y(), clip.bottom() - (value - yr.first) / (yr.second - yr.first) * clip.height(), 0.002);
        }
    }
}

TEST_F(ViewerTest, DamagedCutOffForeignAndEmptyFilesSayWhatIsWrongAndShowWhatIsReadable) {
    std::string damaged = Written(6);
    const std::size_t at = damaged.find("\r\n3,10:00:03,");
    damaged.replace(damaged.find("1003", at), 4, "10x3");
    const struct {
        const char *name;
        std::string text;
        const char *label;    // the file name line after the path
        const char *messages; // what the messages box says first
        const char *popup;    // the error box, or nothing
    } cases[] = {
        {"damaged.csv", damaged, ": 5 rows, 0 graph sections, 1 line skipped",
         "Line 11 skipped: RESULT A \"10x3\" is not a whole number from -32768 to 32767\n", ""},
        {"cut.csv", Written(4) + "\r\n4,10:00:04,1004,4,8", ": 4 rows, 0 graph sections, 1 line skipped",
         "Line 12 skipped: the last line is cut off: a row of 12 fields ends after 5: \"4,10:00:04,1004,4,8\"\n", ""},
        {"foreign.csv", "Time,Value\r\n1,2\r\n", ": not shown",
         "line 1: not a record file of this program: it begins \"Time,Value\", not \"Logfile for recorded data.\"\n",
         "The file cannot be shown.\nline 1: not a record file of this program"},
        {"empty.csv", "", ": not shown", "line 1: the file is empty\n", "The file cannot be shown.\nline 1: the file is empty"},
        // Saved by an editor with a byte-order mark: read as it is.
        {"bom.csv", "\xEF\xBB\xBF" + Written(3), ": 3 rows, 0 graph sections, 0 lines skipped", "Every line was read.\n",
         ""},
        // EVAL values the recorder never writes, each said for what it is.
        {"eval.csv", Written(1) + "\r\n1,10:00:01,1,1,1,1,1,1,1,1,1e3,0.000,\r\n2,10:00:02,1,1,1,1,1,1,1,1,100000.000,0.000,"
                                  "\r\n3,10:00:03,1,1,1,1,1,1,1,1,0.000,1.7e308,",
         ": 1 row, 0 graph sections, 3 lines skipped",
         "Line 9 skipped: EVAL 1 \"1e3\" is written with an exponent; the recorder writes a plain decimal with three "
         "decimals (1000.000)\nLine 10 skipped: EVAL 1 \"100000.000\" is out of range: the recorder writes EVAL values "
         "from -32768.000 to 32768.000\nLine 11 skipped: EVAL 2 \"1.7e308\" is written with an exponent",
         ""},
        // Saved again by a spreadsheet under a German desktop.
        {"semicolons.csv", "Logfile for recorded data.\r\nDate:;12-07-2026\r\n", ": not shown",
         "line 2: its fields are separated by ';' where the recorder writes ',' (saved again by a spreadsheet?): "
         "\"Date:;12-07-2026\"\n",
         "The file cannot be shown.\nline 2: its fields are separated by ';'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path(c.name);
        WriteWholeFile(file, c.text);
        popups->shown.clear();
        open(file);
        // No closing line: the viewer follows the file, as one still being
        // recorded; unticked, the file is taken as complete.
        if (*c.popup == 0) {
            EXPECT_EQ(Label(RECVIEW_FILE_NAME).find(", following"), Label(RECVIEW_FILE_NAME).size() - 11);
            OperateCtrl(panelRECVIEW, RECVIEW_FOLLOW, 0);
        }
        EXPECT_EQ(Label(RECVIEW_FILE_NAME), file + c.label);
        EXPECT_EQ(TextBox(RECVIEW_MESSAGES).rfind(c.messages, 0), 0u) << TextBox(RECVIEW_MESSAGES);
        if (*c.popup) EXPECT_EQ(popups->lastMessage("Error").rfind(c.popup, 0), 0u) << popups->lastMessage("Error");
        else EXPECT_EQ(popups->lastMessage("Error"), "");
        EXPECT_EQ(ReadWholeFile(file), c.text) << "the viewer never writes the file";
    }
    // What was readable of the damaged file: its five good rows.
    open(path("damaged.csv"));
    EXPECT_EQ(Cell(1, RECVIEW_COL_COUNT), "5");
    EXPECT_EQ(Cell(1, RECVIEW_COL_MIN), "1000");
    EXPECT_EQ(Cell(1, RECVIEW_COL_MAX), "1005");
    EXPECT_EQ(Cell(9, RECVIEW_COL_MEAN), "2.650000") << "EVAL 1 over 0.25, 1.25, 2.25, 4.25, 5.25";
}

TEST_F(ViewerTest, ALongFileIsDrawnWithAtMostTwoPointsAPixelColumnAndKeepsEveryExtreme) {
    // 100,000 rows of a small wave, with one spike up and one down.
    constexpr int kRows = 100000, kHigh = 73457, kLow = 12345;
    std::string t = Written(0);
    t.reserve(std::size_t(kRows) * 60);
    for (int i = 0; i < kRows; ++i) {
        const int a = i == kHigh ? 4000 : i == kLow ? -100 : 2000 + (i * 7) % 50;
        char l[128];
        std::snprintf(l, sizeof l, "\r\n%d,%02d:%02d:%02d,%d,0,0,0,0,0,0,0,0.000,0.000,", i, (i / 3600) % 24,
                      (i / 60) % 60, i % 60, a);
        t += l;
    }
    const std::string file = path("long.csv");
    WriteWholeFile(file, t);
    open(file);
    for (int c = 0; c < 10; ++c) OperateCtrl(panelRECVIEW, RECVIEW_SHOW_FIRST + c, c == 0 ? 1 : 0);
    OperateCtrl(panelRECVIEW, RECVIEW_XAXIS, RECVIEW_X_INDEX);
    QvGraph *g = Graph(RECVIEW_GRAPH);
    auto drawn = [&] {
        EXPECT_EQ(g->model().plots.size(), 1u);
        return g->model().plots.empty() ? QList<QPointF>() : g->model().plots.begin()->second.points;
    };
    auto extremes = [](const QList<QPointF> &points) {
        QPointF lo = points.value(0), hi = points.value(0);
        for (const QPointF &p : points) {
            if (p.y() < lo.y()) lo = p;
            if (p.y() > hi.y()) hi = p;
        }
        return std::make_pair(lo, hi);
    };
    QList<QPointF> points = drawn();
    EXPECT_LE(points.size(), 2 * g->width() + 2);
    EXPECT_EQ(extremes(points).first, QPointF(kLow, -100));
    EXPECT_EQ(extremes(points).second, QPointF(kHigh, 4000));
    EXPECT_EQ(Cell(1, RECVIEW_COL_MAX_AT), "20:24:17, " + std::to_string(kHigh));

    // Zoomed past the spikes: the curve and the statistics are of those rows only.
    g->explorer().zoomTo(20000.0, 70000.0, 0.0, 4096.0);
    points = drawn();
    EXPECT_LE(points.size(), 2 * g->width() + 2);
    EXPECT_GE(points.front().x(), 19999.0);
    EXPECT_LE(points.back().x(), 70001.0);
    EXPECT_EQ(extremes(points).second.y(), 2049.0);
    EXPECT_EQ(Cell(1, RECVIEW_COL_COUNT), "50001");
    EXPECT_EQ(Cell(1, RECVIEW_COL_MAX), "2049");
    // Zoomed in to a few rows, every row is drawn.
    g->explorer().zoomTo(500.0, 520.0, 0.0, 4096.0);
    EXPECT_EQ(drawn().size(), 23) << "rows 500 to 520 and one beyond each end";
    // Over time stamps the rows run on past midnight (row 86400 is 00:00:00 again).
    g->explorer().resetZoom();
    OperateCtrl(panelRECVIEW, RECVIEW_XAXIS, RECVIEW_X_TIME);
    double x0 = -1, x1 = -1;
    GetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, VAL_XAXIS, &x0, &x1);
    EXPECT_EQ(std::make_pair(x0, x1), std::make_pair(0.0, double(kRows - 1)));
    g->explorer().zoomTo(86390.0, 86409.0, 0.0, 4096.0);
    EXPECT_EQ(Label(RECVIEW_RANGE).rfind("Rows shown: ROW 86390 to 86409 (20 of 100000), 23:59:50 to 00:00:09", 0), 0u)
        << Label(RECVIEW_RANGE);
}

// The drawn runs of the one shown curve: its points split where its line is broken.
std::vector<QList<QPointF>> DrawnRuns(QvGraph *g) {
    std::vector<QList<QPointF>> runs;
    if (g->model().plots.size() != 1) return runs;
    const engine::Plot &p = g->model().plots.begin()->second;
    for (const auto &[from, to] : engine::runsOf(p.points.size(), p.breaks)) runs.push_back(p.points.mid(from, to - from));
    return runs;
}

// Two automatic runs at interval 0 into one file: about ten rows share each
// second. On the time axis they stand apart by their order in the second,
// each run's trace rising to the right without a vertical bar, and the
// trace is broken between the runs instead of joining them.
TEST_F(ViewerTest, RowsSharingASecondAreSpreadOverItAndTheTraceBreaksBetweenRuns) {
    setType(REC_TYPE_AUTOMATIC);
    const std::string file = path("two-runs.csv");
    chooseFile(file);
    onTick = [this] { sim.advanceTime(20'000); }; // the live values move while the runs record them
    runAutomatic(15);
    runAutomatic(12);
    onTick = nullptr;
    const RecordText text(ReadWholeFile(file));
    ASSERT_EQ(RowsOf(text).size(), 27u);
    OperateCtrl(panelRECORDER, RECORDER_VIEW);
    for (int c = 0; c < 10; ++c) OperateCtrl(panelRECVIEW, RECVIEW_SHOW_FIRST + c, c == 0 ? 1 : 0);
    OperateCtrl(panelRECVIEW, RECVIEW_XAXIS, RECVIEW_X_TIME);
    const std::vector<QList<QPointF>> runs = DrawnRuns(Graph(RECVIEW_GRAPH));
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_EQ(runs[0].size(), 15);
    ASSERT_EQ(runs[1].size(), 12);
    for (const auto &run : runs)
        for (qsizetype i = 1; i < run.size(); ++i) EXPECT_GT(run[i].x(), run[i - 1].x()) << "row " << i;
    EXPECT_GT(runs[1].front().x(), runs[0].back().x());
    if (const char *png = std::getenv("QVEX_VIEWER_PNG")) { // a picture of the viewer for a person to look at
        for (int i = 0; i < 5; ++i) WaitForSystemEvents(0.02);
        Graph(RECVIEW_GRAPH)->redrawNow();
        Graph(RECVIEW_SECTION_GRAPH)->redrawNow();
        static_cast<QWidget *>(GetPanelWidget(panelRECVIEW))->grab().save(png);
    }
    // Each row within the second its time stamp names.
    std::vector<int> seconds;
    for (const std::string &l : text.lines) {
        const auto f = RecordText::fields(l);
        if (f.size() != 13 || !std::isdigit(static_cast<unsigned char>(l[0]))) continue;
        seconds.push_back(std::stoi(f[1].substr(0, 2)) * 3600 + std::stoi(f[1].substr(3, 2)) * 60 + std::stoi(f[1].substr(6)));
    }
    ASSERT_EQ(seconds.size(), 27u);
    for (std::size_t r = 0; r < seconds.size(); ++r) {
        const double x = r < 15 ? runs[0][qsizetype(r)].x() : runs[1][qsizetype(r - 15)].x();
        EXPECT_EQ(std::floor(x), seconds[r] - seconds[0]) << "row " << r;
    }

    // A header interval that fits the second places rows at it; rows skipped
    // as damaged break the trace too.
    std::string t = Written(0);
    t.replace(t.find("Recording type:,Manual"), 22, "Recording type:,Automatic\r\nRecording interval in sec:,0.250000");
    for (int i = 0; i < 8; ++i) t += "\r\n" + std::to_string(i) + ",10:00:0" + std::to_string(i / 4) + "," +
                                     std::to_string(100 + i) + ",0,0,0,0,0,0,0,0.000,0.000,";
    t.insert(t.find("\r\n5,10:00:01"), "\r\n5,10:00:01,10x,0,0,0,0,0,0,0,0.000,0.000,");
    const std::string quarter = path("quarter.csv");
    WriteWholeFile(quarter, t);
    open(quarter);
    OperateCtrl(panelRECVIEW, RECVIEW_XAXIS, RECVIEW_X_TIME);
    const std::vector<QList<QPointF>> parts = DrawnRuns(Graph(RECVIEW_GRAPH));
    ASSERT_EQ(parts.size(), 2u) << TextBox(RECVIEW_MESSAGES);
    EXPECT_EQ(parts[0], QList<QPointF>({{0, 100}, {0.25, 101}, {0.5, 102}, {0.75, 103}, {1, 104}}));
    EXPECT_EQ(parts[1], QList<QPointF>({{1.25, 105}, {1.5, 106}, {1.75, 107}}));
}

// A file still being recorded (no closing line yet) is followed: rows
// appended to it appear, a row still being written is waited for, and the
// closing line ends nothing by itself; unticked, the file is taken as it is.
TEST_F(ViewerTest, AFileStillBeingRecordedIsFollowedAsItGrows) {
    const std::string file = path("growing.csv");
    WriteWholeFile(file, Written(3));
    open(file);
    int follow = 0;
    GetCtrlVal(panelRECVIEW, RECVIEW_FOLLOW, &follow);
    ASSERT_EQ(follow, 1);
    ASSERT_EQ(Cell(1, RECVIEW_COL_COUNT), "3");
    auto append = [&](const std::string &text) {
        std::FILE *f = std::fopen(file.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::fclose(f);
    };
    auto rowsShownBecome = [&](const char *count) { return WaitUntil([&] { return Cell(1, RECVIEW_COL_COUNT) == count; }, 5.0); };
    append("\r\n3,10:00:03,1003,3,6,9,1997,3,3,3,3.250,-3.500,");
    EXPECT_TRUE(rowsShownBecome("4")) << Cell(1, RECVIEW_COL_COUNT);
    append("\r\n4,10:00:04,1004,4,8,12,1996,4,4,4,4.250,-4.500,\r\n5,10:00:05,1005,5,10,15,1995,5,5,5,5.250,-5.500,");
    EXPECT_TRUE(rowsShownBecome("6")) << Cell(1, RECVIEW_COL_COUNT);
    EXPECT_EQ(TextBox(RECVIEW_MESSAGES), "Every line was read.\n");
    EXPECT_EQ(Cell(1, RECVIEW_COL_MAX), "1005");
    append("\r\nRecording successfully finished at 10:00:05.");
    EXPECT_TRUE(WaitUntil([&] { return TextBox(RECVIEW_FACTS).find("Recording successfully finished") != std::string::npos; }, 5.0));
    // Unticked: read to the end, the file as it is; its line numbers as the file counts them.
    append("\r\n0,10:00:09,1,2,3");
    OperateCtrl(panelRECVIEW, RECVIEW_FOLLOW, 0);
    EXPECT_EQ(Label(RECVIEW_FILE_NAME), file + ": 6 rows, 0 graph sections, 1 line skipped");
    EXPECT_EQ(TextBox(RECVIEW_MESSAGES).rfind("Line 15 skipped: the last line is cut off", 0), 0u) << TextBox(RECVIEW_MESSAGES);
}

// What the viewer shows fits it: every figure of the statistics whole in its
// column, the header box open at its first line with its scroll bar at the
// top, and the export dialog opening beside the file.
TEST_F(ViewerTest, FiguresFitTheirColumnsTheHeaderOpensAtItsTopAndExportsGoBesideTheFile) {
    std::string t = Written(0);
    for (int i = 0; i < 30; ++i) t.insert(t.find("\r\n\r\nINDEX"), "\r\nNote " + std::to_string(i) + ":,a header line");
    for (int i = 0; i < 40; ++i)
        t += "\r\n" + std::to_string(i) + ",10:00:" + (i < 10 ? "0" : "") + std::to_string(i) + ",32000,-32000,6000," +
             std::to_string(i) + ",1,1,1,1,32000.125,-32767.999,";
    const std::string file = path("wide.csv");
    WriteWholeFile(file, t + "\r\nRecording successfully finished at 10:00:40.");
    open(file);
    auto *table = static_cast<QTableWidget *>(GetCtrlWidget(panelRECVIEW, RECVIEW_STATS));
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c)
            if (const QTableWidgetItem *item = table->item(r, c)) {
                EXPECT_LT(table->fontMetrics().horizontalAdvance(item->text()), table->columnWidth(c))
                    << item->text().toStdString();
            }
    EXPECT_EQ(Cell(10, RECVIEW_COL_MEAN), "-32767.999000");

    auto *facts = static_cast<QPlainTextEdit *>(GetCtrlWidget(panelRECVIEW, RECVIEW_FACTS));
    WaitForSystemEvents(0.05);
    ASSERT_GT(facts->verticalScrollBar()->maximum(), 0) << "the header needs its scroll bar";
    EXPECT_EQ(facts->verticalScrollBar()->value(), 0);
    EXPECT_EQ(facts->cursorForPosition(QPoint(2, 2)).blockNumber(), 0) << "the first line shown";
    // Its handle, at the top, reads as the handle: darker than the groove below it.
    QScrollBar *bar = facts->verticalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = option.sliderValue = bar->value();
    option.pageStep = bar->pageStep();
    option.singleStep = bar->singleStep();
    option.subControls = QStyle::SC_All;
    const QRect handle = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
    const QRect groove = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddPage, bar);
    ASSERT_TRUE(handle.isValid() && groove.isValid() && groove.top() >= handle.bottom());
    const QImage picture = bar->grab().toImage();
    EXPECT_LT(QColor(picture.pixel(handle.center())).lightness() + 20, QColor(picture.pixel(groove.center())).lightness());

    popups->fileAnswers.push_back(""); // the dialog is only looked at
    Graph(RECVIEW_GRAPH)->explorer().exportWithDialog();
    ASSERT_FALSE(popups->fileRequests.empty());
    EXPECT_EQ(popups->fileRequests.back().defaultDirectory, dir.path().toStdString());
}

// The reader under the follow, step by step: half a row is kept until the
// rest comes, a whole row without its line end is taken at once, and line
// numbers stay those of the file.
TEST_F(ViewerTest, ReadingOnTakesWholeLinesOnlyAndKeepsTheFilesLineNumbers) {
    const std::string file = path("steps.csv");
    WriteWholeFile(file, Written(2) + "\r\n2,10:00:02,1002,2,4");
    RecordData data;
    RecordFileReader reader(file, &data);
    std::string error;
    auto append = [&](const std::string &text) { WriteWholeFile(file, ReadWholeFile(file) + text); };
    ASSERT_TRUE(reader.readOn(false, &error)) << error;
    EXPECT_EQ(data.rows(), 2u);
    EXPECT_TRUE(reader.holdsUnendedLine());
    append(",6,1998,2,2,2,2.250,-2.500,");
    ASSERT_TRUE(reader.readOn(false, &error)) << error;
    EXPECT_EQ(data.rows(), 3u) << "a whole row is taken before its line end comes";
    EXPECT_FALSE(reader.holdsUnendedLine());
    append("\r\n3,10:00:03,1003,3,6,9,1997,3,3,3,3.250,-3.500,\r\nnot a row");
    ASSERT_TRUE(reader.readOn(true, &error)) << error;
    EXPECT_EQ(data.rows(), 4u);
    ASSERT_EQ(data.problems.size(), 1u);
    EXPECT_EQ(data.problems[0].line, 12) << "header 7 lines, rows on 8 to 11";
    EXPECT_EQ(data.stats(REC_RESULT_A, 0, 4).max, 1003.0);
}

TEST_F(ViewerTest, TurningAGroupsMainColumnOffTakesItsOtherColumnsAlongAsShowDoes) {
    const std::string file = path("show.csv");
    WriteWholeFile(file, Written(10));
    open(file);
    for (int c = 0; c < 10; ++c) OperateCtrl(panelRECVIEW, RECVIEW_SHOW_FIRST + c, c < 4 ? 1 : 0);
    EXPECT_EQ(Graph(RECVIEW_GRAPH)->model().plots.size(), 4u);
    OperateCtrl(panelRECVIEW, RECVIEW_SHOW_FIRST, 0); // RESULT A off
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Attr(panelRECVIEW, RECVIEW_SHOW_FIRST + c, ATTR_VISIBLE), 1);
    int on = -1;
    for (int c = 0; c < 4; ++c) {
        GetCtrlVal(panelRECVIEW, RECVIEW_SHOW_FIRST + c, &on);
        EXPECT_EQ(on, 0) << kNames[c];
    }
    EXPECT_TRUE(Graph(RECVIEW_GRAPH)->model().plots.empty());
    // A dependent column alone stays: only the main one clears its group.
    OperateCtrl(panelRECVIEW, RECVIEW_SHOW_FIRST + 2, 1);
    EXPECT_EQ(Graph(RECVIEW_GRAPH)->model().plots.size(), 1u);
}

} // namespace
