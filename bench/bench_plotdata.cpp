// The cost of one strip-chart row: PlotDATA with the program's panels loaded
// and the main panel on screen (offscreen platform), the strip chart showing
// as during RUN with the traces switched on at start-up, events processed
// after every row so the chart's coalesced repaints (at most about 30 a
// second) are paid for. Rows are appended for at least a second and the
// CPU time over the row count gives the amortised cost of a row. Every row
// carries new live values, so every repaint has something to draw.
//
// Rows come at 160 a second, the most RUN reaches over the pty: there every
// fifth or sixth row pays for a repaint. Appending as fast as rows come
// ("flat out") spreads one repaint over hundreds of rows and is printed for
// information only; so are both x scales (100 and 500 rows on the chart)
// and all eighteen traces switched on. References, flat out: SetPanelDATA
// alone, and an empty loop that only processes events.
//
//   bench_plotdata [--seconds S] [--rate R]
//
// Last line: "ms_per_row <figure>", CPU milliseconds a row at R rows a
// second (default 160), the larger of the two x scales with the start-up
// traces.
#include "bench/common.h"
#include "bench/live.h"

#include "core/panels.h"
#include "measure/data.h"
#include "measure/graphs.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// New live values for row i: slow waves on the values PlotDATA draws.
void liveValues(long i) {
    const double s = std::sin(i * 0.05), c = std::cos(i * 0.03);
    const auto word = [](double v) { return static_cast<unsigned short>(std::clamp(v, 0.0, 4095.0)); };
    for (int ch = 0; ch < 4; ++ch) {
        rawdata[RD_NORM + ch] = word(2000 + 900 * s + 50 * ch);
        rawdata[RD_RAW + ch] = word(1800 + 700 * c + 40 * ch);
        rawdata[RD_MAXRAW + ch] = word(3000 + 300 * s);
        rawdata[RD_RESULT + ch] = word(1000 + 800 * c);
    }
    rawdata[RD_STATUS1] = static_cast<unsigned short>(i & 3);
    rawdata[RD_STATUS2] = static_cast<unsigned short>((i >> 2) & 7);
    rawdata[RD_ANALOG] = word(2048 + 2000 * s);
    for (int w : {RD_EVAL1, RD_EVAL2, RD_VALUE3, RD_VALUE4, RD_VALUE5}) {
        const unsigned int fixed = static_cast<unsigned int>((1500 + 1000 * s + w) * 65536.0);
        rawdata[w] = static_cast<unsigned short>(fixed & 0xFFFF); // low word first
        rawdata[w + 1] = static_cast<unsigned short>(fixed >> 16);
    }
}

struct Figures {
    long rows = 0;
    double wall = 0, cpu = 0;
    double cpuMs() const { return 1e3 * cpu / rows; }
    double wallMs() const { return 1e3 * wall / rows; }
};

// Calls body once a row with events processed after it, for `seconds`;
// paced at `rate` rows a second when rate > 0, else as fast as it goes.
Figures loop(double seconds, double rate, const std::function<void(long)> &body) {
    static long serial = 0;
    Figures f;
    const double c0 = bench::CpuSeconds();
    const double t0 = bench::Now();
    double t = t0;
    while (t - t0 < seconds) {
        body(serial++);
        ++f.rows;
        ProcessSystemEvents();
        if (rate > 0) {
            const double due = t0 + f.rows / rate;
            while ((t = bench::Now()) < due) WaitForSystemEvents(due - t);
        }
        t = bench::Now();
    }
    f.wall = t - t0;
    f.cpu = bench::CpuSeconds() - c0;
    return f;
}

void plotRow(long i) {
    liveValues(i);
    PlotDATA();
}
void panelRow(long i) {
    liveValues(i);
    SetPanelDATA();
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_plotdata");
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 2.0);
    const double rate = bench::OptDouble(argc, argv, "--rate", 160.0);
    if (seconds < 1.0) bench::Fail("--seconds must be at least 1");

    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();
    // The main panel as during RUN: the strip chart in place of the DATA graph.
    for (int id : {MAIN_GRAPH, MAIN_RNG_XSCALE}) SetCtrlAttribute(panelMAIN, id, ATTR_VISIBLE, 0);
    for (int id : {MAIN_STRIPCHART, MAIN_NUM_POINTS, MAIN_NUM_MARGIN}) SetCtrlAttribute(panelMAIN, id, ATTR_VISIBLE, 1);
    ProcessSystemEvents();
    int shown = 0;
    for (int t = 0; t < 4; ++t) shown += eval1[t] + eval2[t];
    for (int t = 0; t < 5; ++t) shown += visA[t] + visB[t];
    std::printf("strip-chart traces switched on: %d of %d\n", shown, STRIP_TRACES);

    const Figures empty = loop(seconds, 0, [](long) {});
    const Figures panel = loop(seconds, 0, panelRow);
    std::printf("empty loop:        %8ld rows, %.4f ms cpu a row\n", empty.rows, empty.cpuMs());
    std::printf("SetPanelDATA only: %8ld rows, %.4f ms cpu a row\n", panel.rows, panel.cpuMs());

    const auto measure = [&](int scale, const char *traces) {
        x_scale_preselect = x_scale = scale;
        y_scale_preselect = y_scale = 100;
        loop(0.3, 0, plotRow); // warm-up: the history fills, the first repaints
        const Figures flat = loop(seconds, 0, plotRow);
        const Figures paced = loop(seconds, rate, plotRow);
        std::printf("x scale %d, %s: at %.0f rows/s %ld rows, %.4f ms cpu a row (cpu/wall %.3f); "
                    "flat out %ld rows, %.4f ms cpu a row\n",
                    scale, traces, rate, paced.rows, paced.cpuMs(), paced.cpu / paced.wall, flat.rows,
                    flat.cpuMs());
        return paced.cpuMs();
    };
    double worst = 0;
    for (int scale : {100, 500}) worst = std::max(worst, measure(scale, "start-up traces"));
    // For information: every trace on, as the trace-selection panel allows.
    for (int t = 0; t < STRIP_TRACES; ++t) SetCtrlVal(panelSHOW, SHOW_EVAL1 + t, 1);
    CC_SHOW_CB(panelSHOW, 0, EVENT_COMMIT, nullptr, 0, 0);
    const double all = measure(500, "all 18 traces");
    if (bench::PopupsShown() > 0) bench::Fail("the panels raised %d pop-up(s)", bench::PopupsShown());

    std::printf("reference_ms_per_setpaneldata %.4f\n", panel.cpuMs());
    std::printf("reference_ms_per_empty_loop %.4f\n", empty.cpuMs());
    std::printf("all_traces_ms_per_row %.4f\n", all);
    std::printf("ms_per_row %.4f\n", worst);
    DiscardAllPanels();
    return 0;
}
