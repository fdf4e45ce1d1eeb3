#include "recorder/viewer.h"

#include "core/panels.h"
#include "core/program.h"
#include "measure/graphs.h"
#include "recorder/recdata.h"
#include "recorder/recfile.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"
#include "ui/panels/recview_ids.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// What the viewer holds: the file shown and how it is shown. The rows are
// let go of when the viewer closes (a week of rows is tens of megabytes);
// Reset() is the viewer as the program starts.
struct ViewerState {
    RecordData data;
    std::string path;
    bool loaded = false;
    bool choiceMade = false; // the traces were chosen once (from SHOW at first)
    bool shown[kRecordValueColumns] = {};
    std::string lastDir;
    int axisShown = RECVIEW_X_TIME; // the x axis the curves are drawn over
    // Reads the file, and on while it grows when follow is on: a file still
    // being recorded is looked at every kFollowSeconds.
    std::unique_ptr<RecordFileReader> reader;
    bool follow = false;
    int followCall = 0; // the delayed call of the next look, 0 when none is due

    void Reset() { *this = ViewerState(); }
};
ViewerState g_view;
constexpr double kFollowSeconds = 0.5;

// The colours the strip chart gives the same values.
constexpr int kColors[kRecordValueColumns] = {0x0000FF, 0x00A0E0, 0x6495ED, 0x000080, 0x00B000,
                                         0x20B2AA, 0x66CDAA, 0x006400, 0x990000, 0x7A9900};

// The trace groups as SHOW has them: a main column, and the columns that go
// with it and go off with it.
struct TraceGroup {
    int main, first, last; // dependents first ... last; first > last: none
};
constexpr TraceGroup kGroups[] = {
    {REC_RESULT_A, REC_NORM_A, REC_MAX_A},
    {REC_RESULT_B, REC_NORM_B, REC_MAX_B},
    {REC_EVAL_1, 1, 0},
    {REC_EVAL_2, 1, 0},
};

constexpr int kSamples = 512;

int xAxis() {
    int v = RECVIEW_X_TIME;
    GetCtrlVal(panelRECVIEW, RECVIEW_XAXIS, &v);
    return v;
}

double xOf(std::size_t row, int axis) {
    return axis == RECVIEW_X_INDEX ? static_cast<double>(row) : g_view.data.placeInTime(row);
}

// The rows [first, end) whose x lies in [x0, x1].
std::pair<std::size_t, std::size_t> rowsIn(double x0, double x1, int axis) {
    const std::size_t n = g_view.data.rows();
    if (n == 0 || x1 < x0) return {0, 0};
    if (axis == RECVIEW_X_INDEX) {
        const double a = std::max(0.0, std::ceil(x0)), b = std::floor(x1) + 1.0;
        const std::size_t first = a >= static_cast<double>(n) ? n : static_cast<std::size_t>(a);
        const std::size_t end = b <= 0.0 ? 0 : b >= static_cast<double>(n) ? n : static_cast<std::size_t>(b);
        return {first, std::max(first, end)};
    }
    const std::size_t first = g_view.data.rowPlacedAtOrAfter(x0), end = g_view.data.rowPlacedAfter(x1);
    return {first, std::max(first, end)};
}

std::pair<std::size_t, std::size_t> rowsShown() {
    double x0 = 0, x1 = 0;
    GetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, VAL_XAXIS, &x0, &x1);
    return rowsIn(x0, x1, xAxis());
}

std::string rowPlace(std::size_t row) { return g_view.data.timeText(row) + ", " + std::to_string(row); }

// Numbers as the file writes them; means and deviations a little finer.
std::string number(int column, double v, bool derived) {
    const int decimals = (column >= REC_EVAL_1 ? 3 : 0) + (derived ? 3 : 0);
    return FormatFixed(v, decimals);
}

void fillStats(std::size_t first, std::size_t end) {
    for (int c = 0; c < kRecordValueColumns; ++c) {
        const int row = c + 1;
        const ColumnStats s = g_view.data.stats(c, first, end);
        const bool any = s.count > 0;
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_NAME, kRecordValueNames[c]);
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_COUNT, std::to_string(s.count));
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_MIN, any ? number(c, s.min, false) : "-");
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_MAX, any ? number(c, s.max, false) : "-");
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_MEAN, any ? number(c, s.mean, true) : "-");
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_STD, s.count > 1 ? number(c, s.std, true) : "-");
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_MIN_AT, any ? rowPlace(s.minRow) : "-");
        SetTableCellVal(panelRECVIEW, RECVIEW_STATS, row, RECVIEW_COL_MAX_AT, any ? rowPlace(s.maxRow) : "-");
    }
    // Every figure whole: the columns take the width their widest figure needs.
    FitTableColumnWidths(panelRECVIEW, RECVIEW_STATS);
}

// The curves for the range shown: at most two points per pixel column, so
// drawing costs the same for a hundred rows or millions.
void drawRows() {
    DeleteGraphPlot(panelRECVIEW, RECVIEW_GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    const auto [first, end] = rowsShown();
    const int axis = xAxis();
    // One row beyond each end, so the curves run to the edges of the view.
    const std::size_t from = first > 0 ? first - 1 : 0, to = std::min(g_view.data.rows(), end + 1);
    int width = 0;
    GetCtrlAttribute(panelRECVIEW, RECVIEW_GRAPH, ATTR_WIDTH, &width);
    const int columns = std::max(50, width);
    // The stretches of the recording in range: a trace is broken where one
    // ends (a run's end, rows lost or skipped), by a point that is no number.
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
    std::size_t start = from;
    for (std::size_t r : g_view.data.runStarts())
        if (r > start && r < to) stretches.emplace_back(start, r), start = r;
    if (start < to) stretches.emplace_back(start, to);
    std::vector<std::size_t> rows;
    std::vector<double> xs, ys, part;
    for (int c = 0; c < kRecordValueColumns; ++c) {
        if (!g_view.shown[c] || from >= to) continue;
        xs.clear();
        ys.clear();
        for (const auto &[a, b] : stretches) {
            const int share = static_cast<int>(std::max<std::size_t>(1, columns * (b - a) / (to - from)));
            g_view.data.decimate(c, a, b, share, &rows, &part);
            if (!xs.empty()) xs.push_back(NAN), ys.push_back(NAN);
            for (std::size_t i = 0; i < rows.size(); ++i) xs.push_back(xOf(rows[i], axis));
            ys.insert(ys.end(), part.begin(), part.end());
        }
        PlotXY(panelRECVIEW, RECVIEW_GRAPH, xs.data(), ys.data(), xs.size(), VAL_DOUBLE, VAL_DOUBLE, VAL_THIN_LINE,
               VAL_NO_POINT, VAL_SOLID, 1, kColors[c]);
    }
    fillStats(first, end);
    std::string range = "No rows in the range shown.";
    if (end > first)
        range = "Rows shown: ROW " + std::to_string(first) + " to " + std::to_string(end - 1) + " (" +
                std::to_string(end - first) + " of " + std::to_string(g_view.data.rows()) + "), " +
                g_view.data.timeText(first) + " to " + g_view.data.timeText(end - 1);
    SetCtrlVal(panelRECVIEW, RECVIEW_RANGE, range);
}

// The program's own axes: every row, the values fitted.
void setFullAxes() {
    const int axis = xAxis();
    const double last = g_view.data.rows() > 0 ? xOf(g_view.data.rows() - 1, axis) : 0.0;
    SetAxisScalingMode(panelRECVIEW, RECVIEW_GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, std::max(1.0, last));
    SetAxisScalingMode(panelRECVIEW, RECVIEW_GRAPH, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 0.0, 0.0);
    const std::string name = axis == RECVIEW_X_INDEX ? std::string("ROW (the row's place in the file, from 0)")
                             : g_view.data.rows() > 0 ? "Seconds from the first row (" + g_view.data.timeText(0) + ")"
                                                 : std::string("Seconds from the first row");
    SetCtrlAttribute(panelRECVIEW, RECVIEW_GRAPH, ATTR_XNAME, name);
}

void showSection(int index) {
    DeleteGraphPlot(panelRECVIEW, RECVIEW_SECTION_GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    SetAxisScalingMode(panelRECVIEW, RECVIEW_SECTION_GRAPH, VAL_XAXIS, VAL_MANUAL, 0.0, kSamples);
    SetAxisScalingMode(panelRECVIEW, RECVIEW_SECTION_GRAPH, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 4096.0);
    if (index < 0 || index >= static_cast<int>(g_view.data.sections.size())) return;
    const RecordSection &s = g_view.data.sections[static_cast<std::size_t>(index)];
    std::vector<unsigned short> xs(s.a.size());
    for (std::size_t i = 0; i < xs.size(); ++i) xs[i] = static_cast<unsigned short>(i);
    // As the DATA graph draws them: channel A blue, channel B green, fat lines.
    PlotXY(panelRECVIEW, RECVIEW_SECTION_GRAPH, xs.data(), s.a.data(), xs.size(), VAL_UNSIGNED_SHORT_INTEGER,
           VAL_SHORT_INTEGER, VAL_FAT_LINE, VAL_NO_POINT, VAL_SOLID, 1, VAL_BLUE);
    PlotXY(panelRECVIEW, RECVIEW_SECTION_GRAPH, xs.data(), s.b.data(), xs.size(), VAL_UNSIGNED_SHORT_INTEGER,
           VAL_SHORT_INTEGER, VAL_FAT_LINE, VAL_NO_POINT, VAL_SOLID, 1, VAL_GREEN);
}

void fillSections() {
    ClearListCtrl(panelRECVIEW, RECVIEW_SECTION);
    int i = 0;
    for (const RecordSection &s : g_view.data.sections) {
        InsertListItem(panelRECVIEW, RECVIEW_SECTION, -1,
                       std::to_string(i + 1) + ": " + s.time + " (line " + std::to_string(s.line) + ")", i);
        ++i;
    }
    if (g_view.data.sections.empty()) InsertListItem(panelRECVIEW, RECVIEW_SECTION, -1, "No graph sections", -1);
    SetCtrlAttribute(panelRECVIEW, RECVIEW_SECTION, ATTR_DIMMED, g_view.data.sections.empty() ? 1 : 0);
    SetCtrlIndex(panelRECVIEW, RECVIEW_SECTION, 0);
    showSection(g_view.data.sections.empty() ? -1 : 0);
}

// The header box and the messages box are filled in one go, so they open at
// their first line with the scroll bar at its top.
void fillFacts() {
    std::string text;
    for (const RecordFact &f : g_view.data.facts) text += f.key + ": " + f.value + "\n";
    const std::size_t n = g_view.data.rows();
    text += "Rows: " + std::to_string(n);
    if (n > 0) text += ", " + g_view.data.timeText(0) + " to " + g_view.data.timeText(n - 1);
    text += "\nGraph sections: " + std::to_string(g_view.data.sections.size());
    for (const RecordProblem &c : g_view.data.closings) text += "\nLine " + std::to_string(c.line) + ": " + c.reason;
    ResetTextBox(panelRECVIEW, RECVIEW_FACTS, text);
}

std::string counted(std::size_t n, const char *what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void fillMessages(const std::string &error) {
    std::vector<std::string> lines;
    if (!error.empty()) lines.push_back(error);
    for (const RecordProblem &p : g_view.data.problems)
        lines.push_back("Line " + std::to_string(p.line) + " skipped: " + p.reason);
    if (g_view.data.unlistedProblems > 0)
        lines.push_back("... and " + counted(g_view.data.unlistedProblems, "more line") + " skipped.");
    if (error.empty() && g_view.data.problems.empty()) lines.push_back("Every line was read.");
    if (g_view.loaded && g_view.follow && g_view.reader && g_view.reader->holdsUnendedLine())
        lines.push_back("The last line is not whole yet: it is read when the file grows, or when follow is turned off.");
    std::string text;
    for (const std::string &l : lines) text += (text.empty() ? "" : "\n") + l;
    ResetTextBox(panelRECVIEW, RECVIEW_MESSAGES, text);
}

void showChoice() {
    for (int c = 0; c < kRecordValueColumns; ++c) SetCtrlVal(panelRECVIEW, RECVIEW_SHOW_FIRST + c, g_view.shown[c] ? 1 : 0);
}

// The first time: the columns SHOW shows on the strip chart, or the main
// value of each group when it shows none of them.
void takeChoiceFromShow() {
    if (g_view.choiceMade) return;
    g_view.choiceMade = true;
    const bool fromShow[kRecordValueColumns] = {visA[0] != 0, visA[2] != 0, visA[1] != 0, visA[3] != 0, visB[0] != 0,
                                           visB[2] != 0, visB[1] != 0, visB[3] != 0, eval1[0] != 0, eval2[0] != 0};
    const bool any = std::any_of(std::begin(fromShow), std::end(fromShow), [](bool b) { return b; });
    for (int c = 0; c < kRecordValueColumns; ++c) g_view.shown[c] = any ? fromShow[c] : false;
    if (!any)
        for (const TraceGroup &g : kGroups) g_view.shown[g.main] = true;
}

std::string csvOfRowsShown(double x0, double x1, void *) {
    const auto [first, end] = rowsIn(x0, x1, xAxis());
    // ROW is the row's place in the file; the file's own INDEX column starts
    // again with every run, so the two are never given the same name.
    std::string out = "ROW,TIMESTAMP";
    for (int c = 0; c < kRecordValueColumns; ++c)
        if (g_view.shown[c]) out += std::string(",") + kRecordValueNames[c];
    out += '\n';
    for (std::size_t r = first; r < end; ++r) {
        out += std::to_string(r) + ',' + g_view.data.timeText(r);
        for (int c = 0; c < kRecordValueColumns; ++c)
            if (g_view.shown[c]) out += ',' + number(c, g_view.data.value(c, r), false);
        out += '\n';
    }
    return out;
}

// The readout at a row's x: the row's own value, not a line between the
// extremes that stand for many rows.
double valueOfRowShown(const char *curve, double x, void *) {
    const std::size_t n = g_view.data.rows();
    if (n == 0 || x < 0) return NAN;
    std::size_t row = 0;
    if (xAxis() == RECVIEW_X_INDEX) {
        row = static_cast<std::size_t>(std::llround(x));
    } else { // the row placed nearest to x
        row = g_view.data.rowPlacedAtOrAfter(x);
        if (row > 0 && (row == n || x - g_view.data.placeInTime(row - 1) < g_view.data.placeInTime(row) - x)) --row;
    }
    if (row >= n) return NAN;
    for (int c = 0; c < kRecordValueColumns; ++c)
        if (std::string(curve) == kRecordValueNames[c]) return g_view.data.value(c, row);
    return NAN;
}

void stopFollowing() {
    if (g_view.followCall > 0) CancelDelayedCall(g_view.followCall);
    g_view.followCall = 0;
}

void letGo() {
    stopFollowing();
    g_view.reader.reset();
    g_view.data = RecordData();
    g_view.loaded = false;
    DeleteGraphPlot(panelRECVIEW, RECVIEW_GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    DeleteGraphPlot(panelRECVIEW, RECVIEW_SECTION_GRAPH, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
}

std::string directoryOf(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void chooseAndOpen() {
    if (g_view.lastDir.empty()) g_view.lastDir = proj_dir;
    std::string chosen;
    if (FileSelectPopup(g_view.lastDir.c_str(), "*.csv", "*.csv", "Open Record File", VAL_LOAD_BUTTON, 0, 0, 1, 0,
                        &chosen) < 1)
        return;
    OpenRecordViewer(chosen.c_str());
}

} // namespace

void ResetViewer() {
    if (panelRECVIEW > 0) {
        HidePanel(panelRECVIEW);
        letGo();
    }
    g_view.Reset();
}

namespace {

int openFile(const char *path, int follow);

std::string fileTitle() {
    if (!g_view.loaded) return g_view.path + ": not shown";
    return g_view.path + ": " + counted(g_view.data.rows(), "row") + ", " + counted(g_view.data.sections.size(), "graph section") +
           ", " + counted(g_view.data.damagedLines(), "line") + " skipped" + (g_view.follow ? ", following" : "");
}

// The panel after rows were added: the axes take them in (a zoom stays as
// the operator left it), the counts and messages are told again.
void showGrowth() {
    const std::size_t sections = g_view.data.sections.size();
    setFullAxes();
    fillFacts();
    fillMessages(std::string());
    int listed = 0;
    GetNumListItems(panelRECVIEW, RECVIEW_SECTION, &listed);
    if (static_cast<std::size_t>(listed) != sections || sections == 0) fillSections();
    drawRows();
    SetCtrlVal(panelRECVIEW, RECVIEW_FILE_NAME, fileTitle());
}

// The file is complete as it stands: its last line is taken as it is.
void readToTheEnd() {
    std::string error;
    if (g_view.reader && g_view.loaded) g_view.loaded = g_view.reader->readOn(true, &error);
    g_view.reader.reset();
    fillMessages(error);
    showGrowth();
}

void lookAtFollowedFile(void *) {
    g_view.followCall = 0;
    if (!g_view.loaded || !g_view.follow || !g_view.reader) return;
    const long long size = g_view.reader->sizeOnDisk();
    if (size >= 0 && size < g_view.reader->bytesRead()) { // written anew (a new header): read from its start
        const std::string path = g_view.path;
        openFile(path.c_str(), 1);
        return;
    }
    if (size > g_view.reader->bytesRead()) {
        std::string error;
        g_view.loaded = g_view.reader->readOn(false, &error);
        if (!g_view.loaded) {
            g_view.follow = false;
            SetCtrlVal(panelRECVIEW, RECVIEW_FOLLOW, 0);
            fillMessages(error);
            SetCtrlVal(panelRECVIEW, RECVIEW_FILE_NAME, fileTitle());
            return;
        }
        showGrowth();
    }
    g_view.followCall = PostDelayedCall(kFollowSeconds, lookAtFollowedFile, nullptr);
}

// A file whose last run has not written its closing lines may still be
// being recorded.
bool mayGrow() { return g_view.data.closings.empty() || g_view.data.closings.back().line < g_view.data.lastRowLine; }

// Reads the file and shows it; follow -1: when it may still grow, else as
// given (0 or 1).
int openFile(const char *path, int follow) {
    takeChoiceFromShow();
    showChoice();
    letGo();
    g_view.path = path;
    g_view.lastDir = directoryOf(g_view.path);
    std::string error;
    SetWaitCursor(1);
    g_view.reader = std::make_unique<RecordFileReader>(g_view.path, &g_view.data);
    g_view.loaded = g_view.reader->readOn(false, &error);
    if (g_view.loaded && g_view.reader->bytesRead() == 0) g_view.loaded = g_view.reader->readOn(true, &error); // empty: nothing to show
    g_view.follow = g_view.loaded && (follow < 0 ? mayGrow() : follow == 1);
    if (g_view.loaded && !g_view.follow) g_view.loaded = g_view.reader->readOn(true, &error);
    if (!g_view.follow) g_view.reader.reset();
    SetWaitCursor(0);
    SetCtrlVal(panelRECVIEW, RECVIEW_FOLLOW, g_view.follow ? 1 : 0);
    g_view.axisShown = xAxis();
    SetGraphCsvSource(panelRECVIEW, RECVIEW_GRAPH, csvOfRowsShown, nullptr);
    SetGraphValueSource(panelRECVIEW, RECVIEW_GRAPH, valueOfRowShown, nullptr);
    // Pictures and curves of this file are exported beside it.
    for (int graph : {RECVIEW_GRAPH, RECVIEW_SECTION_GRAPH})
        SetGraphExportDirectory(panelRECVIEW, graph, g_view.lastDir.c_str());
    ResetGraphView(panelRECVIEW, RECVIEW_GRAPH);
    ResetGraphView(panelRECVIEW, RECVIEW_SECTION_GRAPH); // a zoom into another file's curves means nothing here
    setFullAxes();
    fillFacts();
    fillMessages(error);
    fillSections();
    drawRows();
    SetCtrlVal(panelRECVIEW, RECVIEW_FILE_NAME, fileTitle());
    DisplayPanel(panelRECVIEW);
    if (!g_view.loaded) {
        MessagePopup("Error", ("The file cannot be shown.\n" + error).c_str());
        return -1;
    }
    if (g_view.follow) g_view.followCall = PostDelayedCall(kFollowSeconds, lookAtFollowedFile, nullptr);
    return 0;
}

} // namespace

int OpenRecordViewer(const char *path) { return openFile(path, -1); }

int CC_RECVIEW(int panel, int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) {
        HidePanel(panel);
        letGo();
    }
    return 0;
}

int CC_RECVIEW_OPEN(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) chooseAndOpen();
    return 0;
}

int CC_RECVIEW_CLOSE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    HidePanel(panelRECVIEW);
    letGo();
    return 0;
}

int CC_RECVIEW_GRAPH(int, int, int event, void *, int, int) {
    if (event == EVENT_VAL_CHANGED && g_view.loaded) drawRows();
    return 0;
}

int CC_RECVIEW_XAXIS(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || !g_view.loaded || xAxis() == g_view.axisShown) return 0; // the same axis chosen again
    // The same rows stay in view, measured on the other axis.
    const int before = g_view.axisShown;
    g_view.axisShown = xAxis();
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    GetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, VAL_XAXIS, &x0, &x1);
    GetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, VAL_LEFT_YAXIS, &y0, &y1);
    const auto [first, end] = rowsIn(x0, x1, before);
    setFullAxes();
    if (end > first && (first > 0 || end < g_view.data.rows())) {
        const double a = xOf(first, xAxis()), b = xOf(end - 1, xAxis());
        SetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, a, b > a ? b : a + 1.0, y0, y1);
    } else {
        ResetGraphView(panelRECVIEW, RECVIEW_GRAPH);
    }
    drawRows();
    return 0;
}

int CC_RECVIEW_SHOW(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (int c = 0; c < kRecordValueColumns; ++c) {
        int on = 0;
        GetCtrlVal(panelRECVIEW, RECVIEW_SHOW_FIRST + c, &on);
        g_view.shown[c] = on != 0;
    }
    g_view.choiceMade = true;
    // A main column turned off takes its group's other columns with it, as SHOW does.
    for (const TraceGroup &g : kGroups)
        if (control == RECVIEW_SHOW_FIRST + g.main && !g_view.shown[g.main])
            for (int c = g.first; c <= g.last; ++c) g_view.shown[c] = false;
    showChoice();
    if (g_view.loaded) drawRows();
    return 0;
}

int CC_RECVIEW_FOLLOW(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || !g_view.loaded) return 0;
    int on = 0;
    GetCtrlVal(panelRECVIEW, RECVIEW_FOLLOW, &on);
    if ((on != 0) == g_view.follow) return 0;
    if (on == 0) { // the file is taken as complete now
        g_view.follow = false;
        stopFollowing();
        readToTheEnd();
        return 0;
    }
    // Read anew, and on from there: what was read to the end cannot grow.
    const std::string path = g_view.path;
    openFile(path.c_str(), 1);
    return 0;
}

int CC_RECVIEW_SECTION(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int index = -1;
    GetCtrlVal(panelRECVIEW, RECVIEW_SECTION, &index);
    showSection(index);
    return 0;
}

int CC_CMD_VIEW_RECORD(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    long size = 0;
    if (recorder_status == 1 && GetFileInfo(file_name, &size) == 1) OpenRecordViewer(file_name);
    else chooseAndOpen();
    return 0;
}

void RegisterViewerCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_RECVIEW", CC_RECVIEW},
        {"CC_RECVIEW_OPEN", CC_RECVIEW_OPEN},
        {"CC_RECVIEW_CLOSE", CC_RECVIEW_CLOSE},
        {"CC_RECVIEW_GRAPH", CC_RECVIEW_GRAPH},
        {"CC_RECVIEW_XAXIS", CC_RECVIEW_XAXIS},
        {"CC_RECVIEW_SHOW", CC_RECVIEW_SHOW},
        {"CC_RECVIEW_SECTION", CC_RECVIEW_SECTION},
        {"CC_RECVIEW_FOLLOW", CC_RECVIEW_FOLLOW},
        {"CC_CMD_VIEW_RECORD", CC_CMD_VIEW_RECORD},
    };
    RegisterCallbacks(table);
}
