// The record viewer on a week-long recording: a generated record file of
// 1,000,000 rows (about 70 MB, the recorder's format) opened in the viewer
// with the program's panels loaded, as the recorder panel's view command
// does, then drawn.
//
//   open_show_s      reading the file and drawing every row's curves (<= 2 s)
//   extra_rss_mb     peak resident memory above the program with its panels
//                    loaded and nothing opened (<= 200 MB)
//   zoom_redraw_ms   the operator going back to the full range from a zoom:
//                    curves, statistics and the chart drawn (median, <= 50 ms)
//   stats_mb_per_s   `qvex-ctl stats FILE --json` over the file (>= 100 MB/s)
//
// Reference in the same run: `wc -l` over the same file (MB/s), printed
// before the figures.
//
//   bench_viewer [--rows N] [--runs R]
//
// Last line: "stats_mb_per_s <figure>".
#include "bench/common.h"
#include "bench/live.h"

#include "core/panels.h"
#include "recorder/viewer.h"
#include "ui/engine/engine.h"
#include "ui/panels/recview_ids.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Memory of this process from /proc/self/status: "VmRSS" now, "VmHWM" its peak.
double statusMB(const char *key) {
    std::ifstream in("/proc/self/status");
    std::string k;
    long kb = 0;
    while (in >> k) {
        if (k == std::string(key) + ":") {
            in >> kb;
            return kb / 1024.0;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0.0;
}

// A record file as an automatic run writes it: header block, column header
// and rows one second apart (over midnight many times), values on slow waves
// with noise, no line end at the end.
void writeRecordFile(const std::string &path, long rows) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) bench::Fail("cannot write %s", path.c_str());
    std::fprintf(f, "Logfile for recorded data.\r\nDate:,12-07-2026\r\nTime:,00:00:00\r\n"
                    "Type of sensor:,Q-VEX-MOD7-ARC Sim V1.00 12/2026\r\nType of software:,Q-VEX-MOD7-ARC Scope \r\n"
                    "Software version:,v1.0x (Build 01/2010)\r\nType of connection:,TCP/IP\r\n"
                    "Connection details:,IP 127.0.0.1\r\nConnection details:,PORT 10001\r\n"
                    "Recording type:,Automatic\r\nNumber of data sets:,%ld\r\nRecording interval in sec:,1.000000\r\n\r\n"
                    "INDEX,TIMESTAMP,RESULT A,NORM A,RAW A,MAX{ RAW A },RESULT B,NORM B,RAW B,MAX{ RAW B },EVAL 1,"
                    "EVAL 2,",
                 rows);
    unsigned noise = 12345;
    for (long i = 0; i < rows; ++i) {
        noise = noise * 1103515245u + 12345u;
        const int n = static_cast<int>((noise >> 16) % 41) - 20;
        const double w = std::sin(i * 1e-4), v = std::cos(i * 3e-5);
        const int a = 2000 + static_cast<int>(1500 * w) + n, b = 1800 + static_cast<int>(1200 * v) - n;
        const long s = i % 86400;
        std::fprintf(f, "\r\n%ld,%02ld:%02ld:%02ld,%d,%d,%d,%d,%d,%d,%d,%d,%.3f,%.3f,", i, s / 3600, (s / 60) % 60,
                     s % 60, a, a / 2, a + 40, 4095, b, b / 2, b + 40, 4095, a / 1.7 + n * 0.013, b / 2.3 - n * 0.007);
    }
    if (std::fclose(f) != 0) bench::Fail("cannot write %s", path.c_str());
}

double seconds(const std::string &command) {
    const double t0 = bench::Now();
    if (std::system(command.c_str()) != 0) bench::Fail("%s failed", command.c_str());
    return bench::Now() - t0;
}

// The operator's full view after a zoom: the view change reaches the
// graph's callback, which draws the curves and the statistics again; then
// the chart follows.
double fullRangeRedraw(double last) {
    SetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, last * 0.4, last * 0.6, 0.0, 4096.0);
    OperateCtrlEvent(panelRECVIEW, RECVIEW_GRAPH, EVENT_VAL_CHANGED);
    RefreshGraph(panelRECVIEW, RECVIEW_GRAPH);
    const double t0 = bench::Now();
    ResetGraphView(panelRECVIEW, RECVIEW_GRAPH);
    OperateCtrlEvent(panelRECVIEW, RECVIEW_GRAPH, EVENT_VAL_CHANGED);
    RefreshGraph(panelRECVIEW, RECVIEW_GRAPH);
    return bench::Now() - t0;
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_viewer");
    const long rows = std::lround(bench::OptDouble(argc, argv, "--rows", 1e6)); // beyond OptInt's million
    const int runs = bench::OptInt(argc, argv, "--runs", 9);
    const std::string file = bench::TempFile("viewer", ".csv");
    writeRecordFile(file, rows);
    struct stat st {};
    ::stat(file.c_str(), &st);
    const double mb = st.st_size / (1024.0 * 1024.0);
    std::printf("file %.1f MB, %ld rows\n", mb, rows);

    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();
    for (int i = 0; i < 20; ++i) ProcessSystemEvents();
    const double rssEmpty = statusMB("VmRSS");

    const double t0 = bench::Now();
    if (OpenRecordViewer(file.c_str()) != 0) bench::Fail("the viewer did not open the file");
    RefreshGraph(panelRECVIEW, RECVIEW_GRAPH);
    ProcessSystemEvents();
    const double open = bench::Now() - t0;
    const double extra = statusMB("VmHWM") - rssEmpty;
    std::string shown;
    GetCtrlVal(panelRECVIEW, RECVIEW_FILE_NAME, &shown);
    if (shown.find(": " + std::to_string(rows) + " rows,") == std::string::npos)
        bench::Fail("the viewer shows \"%s\"", shown.c_str());

    double x0 = 0, last = 0;
    GetGraphViewRange(panelRECVIEW, RECVIEW_GRAPH, VAL_XAXIS, &x0, &last);
    std::vector<double> redraws;
    for (int i = 0; i < runs; ++i) redraws.push_back(fullRangeRedraw(last));
    OperateCtrl(panelRECVIEW, RECVIEW_CLOSE);

    const std::string quiet = " >/dev/null 2>&1";
    seconds("wc -l " + file + quiet); // page cache
    std::vector<double> wc, ctl;
    for (int i = 0; i < 3; ++i) {
        wc.push_back(seconds("wc -l " + file + quiet));
        ctl.push_back(seconds(std::string(QVEX_CTL_BIN) + " stats " + file + " --json" + quiet));
    }
    std::printf("reference_wc_mb_per_s %.0f\n", mb / bench::Median(wc));
    std::printf("open_show_s %.3f\n", open);
    std::printf("rss_empty_mb %.1f\n", rssEmpty);
    std::printf("extra_rss_mb %.1f\n", extra);
    std::printf("zoom redraws: median of %d, max %.1f ms\n", runs,
                1e3 * *std::max_element(redraws.begin(), redraws.end()));
    std::printf("zoom_redraw_ms %.1f\n", 1e3 * bench::Median(redraws));
    std::printf("stats_mb_per_s %.0f\n", mb / bench::Median(ctl));
    return 0;
}
