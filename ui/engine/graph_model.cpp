// The model behind graphs and strip charts: plots by handle, a strip chart's
// trace history as a ring of the newest rows, and the axis ranges that
// autoscale derives from the visible data. Nothing here draws.
#include "ui/engine/graph_p.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

namespace engine {

namespace {

// Trace colours on the dark plot area when the panel resource names none.
// They suit the scope's 18-trace chart: a value, its two tolerance lines
// alike and its reference for each of two evaluations, then five traces of
// channel A in blues and five of channel B in greens.
const int kPalette[] = {0xFFFF00, 0xFF8C00, 0xE0E0E0, 0xFF8C00, 0xFF40FF, 0xC080FF, 0xA0A0A0, 0xC080FF, 0x4080FF,
                        0x00C0FF, 0x00FFFF, 0x8080FF, 0x6060C0, 0x00FF00, 0x80FF80, 0x00C080, 0xC0FF00, 0x008040};

} // namespace

double niceStep(double span, int divisions) {
    const double raw = span / std::max(divisions, 1);
    if (!(raw > 0) || !std::isfinite(raw)) return 1.0;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    const double m = raw / p;
    return (m < 1.5 ? 1.0 : m < 3.5 ? 2.0 : m < 7.5 ? 5.0 : 10.0) * p;
}

Qt::PenStyle penStyle(int lineStyle) {
    switch (lineStyle) {
    case VAL_DASH: return Qt::DashLine;
    case VAL_DOT: return Qt::DotLine;
    case VAL_DASH_DOT: return Qt::DashDotLine;
    case VAL_DASH_DOT_DOT: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}

std::vector<std::pair<qsizetype, qsizetype>> runsOf(qsizetype count, const std::vector<qsizetype> &breaks) {
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    qsizetype from = 0;
    for (qsizetype b : breaks) {
        if (b <= from || b >= count) continue;
        runs.emplace_back(from, b);
        from = b;
    }
    if (from < count) runs.emplace_back(from, count);
    return runs;
}

GraphModel::GraphModel(bool stripChart) : strip(stripChart) {
    palette.assign(std::begin(kPalette), std::end(kPalette));
    if (strip) setTraceCount(1);
}

int GraphModel::addPlot(Plot p) {
    p.version = ++serial;
    if (nextHandle == INT_MAX) nextHandle = 1;
    while (plots.count(nextHandle)) ++nextHandle;
    const int h = nextHandle++;
    plots.emplace(h, std::move(p));
    return h;
}

Plot *GraphModel::plot(int handle) {
    auto it = plots.find(handle);
    return it == plots.end() ? nullptr : &it->second;
}

void GraphModel::setTraceCount(int n) {
    const std::size_t old = traces.size();
    traces.resize(static_cast<std::size_t>(n));
    for (std::size_t t = old; t < traces.size(); ++t) {
        traces[t].look.color = palette.empty() ? VAL_WHITE : palette[t % palette.size()];
        traces[t].version = ++serial;
    }
    clearHistory();
}

void GraphModel::clearHistory() {
    ring_.assign(static_cast<std::size_t>(pointsPerScreen) * traces.size(), 0.0);
    head_ = rows_ = 0;
    total = 0;
    stripVersion = ++serial;
}

void GraphModel::setPointsPerScreen(int n) {
    const std::size_t T = traces.size();
    const std::size_t keep = std::min(rows_, static_cast<std::size_t>(n));
    std::vector<double> ring(static_cast<std::size_t>(n) * T, 0.0);
    for (std::size_t r = 0; r < keep; ++r)
        for (std::size_t t = 0; t < T; ++t) ring[r * T + t] = value(rows_ - keep + r, static_cast<int>(t));
    ring_.swap(ring);
    pointsPerScreen = n;
    head_ = 0;
    rows_ = keep;
    stripVersion = ++serial;
}

void GraphModel::appendRows(const double *values, std::size_t rows, long long droppedRows) {
    const std::size_t T = traces.size(), P = static_cast<std::size_t>(pointsPerScreen);
    total += droppedRows;
    std::size_t first = 0;
    if (rows > P) { // only the newest screenful can be seen
        first = rows - P;
        total += static_cast<long long>(first);
    }
    for (std::size_t r = first; r < rows; ++r) {
        std::size_t slot;
        if (rows_ < P) {
            slot = (head_ + rows_) % P;
            ++rows_;
        } else {
            slot = head_;
            head_ = (head_ + 1) % P;
        }
        std::copy(values + r * T, values + (r + 1) * T, ring_.begin() + static_cast<std::ptrdiff_t>(slot * T));
        ++total;
    }
    stripVersion = ++serial;
}

double GraphModel::value(std::size_t r, int t) const {
    const std::size_t T = traces.size(), P = static_cast<std::size_t>(pointsPerScreen);
    return ring_[((head_ + r) % P) * T + static_cast<std::size_t>(t)];
}

std::pair<double, double> GraphModel::range(int axis) const {
    if (strip && axis == VAL_XAXIS) {
        const double lo = rowX(0);
        return {lo, lo + std::max(1, pointsPerScreen - 1)};
    }
    const AxisScale &a = axis == VAL_XAXIS ? x : y;
    if (a.mode == VAL_MANUAL) return {a.min, a.max};

    double lo = INFINITY, hi = -INFINITY;
    auto take = [&](double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    if (strip) {
        for (std::size_t t = 0; t < traces.size(); ++t)
            if (traces[t].visible)
                for (std::size_t r = 0; r < rows_; ++r) take(value(r, static_cast<int>(t)));
    } else {
        for (const auto &kv : plots)
            if (kv.second.visible && kv.second.kind != PlotKind::Text)
                for (const QPointF &pt : kv.second.points) take(axis == VAL_XAXIS ? pt.x() : pt.y());
    }
    if (lo > hi) return {0.0, 10.0};
    lo = std::max(lo, -1e300); // keeps the span finite
    hi = std::min(hi, 1e300);
    if (lo == hi) {
        const double d = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
        lo -= d;
        hi += d;
    }
    const double step = niceStep(hi - lo, axis == VAL_XAXIS ? kXDivisions : kYDivisions);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
}

} // namespace engine
