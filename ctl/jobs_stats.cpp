// qvex-ctl stats: the statistics of a record file's columns, read by the
// same reader the record viewer uses. It needs no controller, no link and
// no panels.
#include "ctl/jobs.h"

#include "recorder/recdata.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ctl {

namespace {

// The shortest text that reads back as the same double, with a point
// whatever the locale.
std::string real(double v) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

std::string jsonText(const std::string &s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
        else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else out += static_cast<char>(c);
    }
    return out + "\"";
}

bool parseRow(const std::string &text, std::size_t *row) {
    char *end = nullptr;
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (*end != '\0' || v > 0xFFFFFFFFull) return false;
    *row = static_cast<std::size_t>(v);
    return true;
}

int usage(const std::string &text) {
    std::fprintf(stderr, "qvex-ctl: stats: %s (qvex-ctl stats --help tells more)\n", text.c_str());
    return EXIT_USAGE;
}

} // namespace

int JobStats(const Args &args) {
    Args rest;
    bool json = false;
    for (const std::string &w : args)
        if (w == "--json") json = true;
        else rest.push_back(w);
    const CommandArgs a(rest, {"--from", "--to"});
    if (!a.error().empty()) return usage(a.error());
    std::string path;
    for (const std::string &w : a.words()) {
        if (path.empty()) path = w;
        else return usage("one record file at a time");
    }
    if (path.empty()) return usage("which record file?");
    std::size_t from = 0, to = 0;
    if (a.has("--from") && !parseRow(a.value("--from"), &from)) return usage("--from takes an INDEX, 0 or more");
    if (a.has("--to") && !parseRow(a.value("--to"), &to)) return usage("--to takes an INDEX, 0 or more");

    RecordData data;
    std::string error;
    if (!ReadRecordFile(path, &data, &error)) {
        std::fprintf(stderr, "qvex-ctl: stats: %s: %s\n", path.c_str(), error.c_str());
        return EXIT_USAGE;
    }
    for (const RecordProblem &p : data.problems)
        std::fprintf(stderr, "qvex-ctl: stats: %s: line %ld: %s\n", path.c_str(), p.line, p.reason.c_str());
    if (data.unlistedProblems > 0)
        std::fprintf(stderr, "qvex-ctl: stats: %s: %zu more damaged lines skipped\n", path.c_str(), data.unlistedProblems);

    // INDEX counts the file's rows from 0; the range includes both ends.
    const std::size_t rows = data.rows();
    if (!a.has("--to")) to = rows == 0 ? 0 : rows - 1;
    if (a.has("--from") || a.has("--to")) {
        if (from >= rows) return usage("--from " + std::to_string(from) + " is past the last row (the file holds " +
                                       std::to_string(rows) + ")");
        if (to < from) return usage("--to comes before --from");
        if (to >= rows) to = rows - 1;
    }
    const std::size_t end = rows == 0 ? 0 : to + 1;

    ColumnStats stats[kRecordValueColumns];
    for (int c = 0; c < kRecordValueColumns; ++c) stats[c] = data.stats(c, from, end);

    std::string out;
    if (json) {
        out = "{\"file\": " + jsonText(path) + ", \"rows\": " + std::to_string(rows) +
              ", \"sections\": " + std::to_string(data.sections.size()) + ", \"damaged_lines\": [";
        for (std::size_t i = 0; i < data.problems.size(); ++i)
            out += std::string(i ? ", " : "") + "{\"line\": " + std::to_string(data.problems[i].line) +
                   ", \"reason\": " + jsonText(data.problems[i].reason) + "}";
        out += "]";
        // Beyond the first thousand, damaged lines are only counted.
        if (data.unlistedProblems > 0)
            out += ", \"damaged_lines_not_listed\": " + std::to_string(data.unlistedProblems);
        out += ", \"columns\": {";
        for (int c = 0; c < kRecordValueColumns; ++c) {
            const ColumnStats &s = stats[c];
            auto number = [&](double v) { return s.count ? real(v) : std::string("null"); };
            out += std::string(c ? ", " : "") + jsonText(kRecordValueNames[c]) +
                   ": {\"count\": " + std::to_string(s.count) + ", \"min\": " + number(s.min) +
                   ", \"max\": " + number(s.max) + ", \"mean\": " + number(s.mean) +
                   ", \"std\": " + (s.count > 1 ? real(s.std) : std::string("null")) + "}";
        }
        out += "}}\n";
    } else {
        out = "file: " + path + "\nrows: " + std::to_string(rows) + ", graph sections: " +
              std::to_string(data.sections.size()) + ", damaged lines: " + std::to_string(data.damagedLines()) + "\n";
        if (rows > 0)
            out += "INDEX " + std::to_string(from) + " to " + std::to_string(to) + " (" + data.timeText(from) +
                   " to " + data.timeText(to) + ")\n";
        for (int c = 0; c < kRecordValueColumns; ++c) {
            const ColumnStats &s = stats[c];
            out += std::string(kRecordValueNames[c]) + ": count " + std::to_string(s.count);
            if (s.count > 0)
                out += ", min " + real(s.min) + " at " + data.timeText(s.minRow) + " (INDEX " +
                       std::to_string(s.minRow) + "), max " + real(s.max) + " at " + data.timeText(s.maxRow) +
                       " (INDEX " + std::to_string(s.maxRow) + "), mean " + real(s.mean) + ", std " +
                       (s.count > 1 ? real(s.std) : std::string("-"));
            out += "\n";
        }
    }
    std::fputs(out.c_str(), stdout);
    return std::fflush(stdout) == 0 ? EXIT_DONE : EXIT_LINK_FAILED;
}

} // namespace ctl
