// qvex-ctl stats: the statistics of a record file's columns, read by the
// same reader the record viewer uses. It needs no controller, no link and
// no panels.
#include "ctl/jobs.h"

#include "ctl/result.h"
#include "recorder/recdata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ctl {

namespace {

// A figure for people: to the column's own decimals (as the recorder writes
// it) plus `more`, with a point whatever the locale, so that a mean of
// exactly 1001 does not read 1000.9999999999975.
std::string figure(double v, int column, int more) {
    const int decimals = (RecordData::scaleOf(column) > 1.0 ? 3 : 0) + more;
    return QString::number(v, 'f', decimals).toStdString();
}

// Decimals a mean and a deviation get beyond the column's own.
constexpr int kMoreDecimals = 3;

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

// The figures as JSON: exact (the shortest text that reads back as the same
// double), null where a column has none.
QJsonObject jsonStats(const RecordData &data, const ColumnStats &s) {
    auto number = [&](double v) { return s.count ? QJsonValue(v) : QJsonValue(QJsonValue::Null); };
    auto index = [&](std::size_t row) {
        return s.count ? QJsonValue(static_cast<qint64>(row)) : QJsonValue(QJsonValue::Null);
    };
    auto time = [&](std::size_t row) {
        return s.count ? QJsonValue(QString::fromStdString(data.timeText(row))) : QJsonValue(QJsonValue::Null);
    };
    return QJsonObject{{"count", static_cast<qint64>(s.count)},
                       {"min", number(s.min)},
                       {"min_index", index(s.minRow)},
                       {"min_time", time(s.minRow)},
                       {"max", number(s.max)},
                       {"max_index", index(s.maxRow)},
                       {"max_time", time(s.maxRow)},
                       {"mean", number(s.mean)},
                       {"std", s.count > 1 ? QJsonValue(s.std) : QJsonValue(QJsonValue::Null)}};
}

} // namespace

int JobStats(const Args &args) {
    Args rest;
    int json = 0;
    bool options = true;
    for (const std::string &w : args) {
        if (options && w == "--") options = false;
        if (options && w == "--json") ++json;
        else rest.push_back(w);
    }
    if (json > 1) return usage("--json given twice");
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

    // Names and damaged lines on the terminal: without control characters.
    const std::string shown = Printable(path);
    RecordData data;
    std::string error;
    if (!ReadRecordFile(path, &data, &error)) {
        std::fprintf(stderr, "qvex-ctl: stats: %s: %s\n", shown.c_str(), Printable(error).c_str());
        return EXIT_USAGE;
    }
    for (const RecordProblem &p : data.problems)
        std::fprintf(stderr, "qvex-ctl: stats: %s: line %ld: %s\n", shown.c_str(), p.line, Printable(p.reason).c_str());
    if (data.unlistedProblems > 0)
        std::fprintf(stderr, "qvex-ctl: stats: %s: %zu more damaged lines skipped\n", shown.c_str(), data.unlistedProblems);

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
        QJsonArray damaged;
        for (const RecordProblem &p : data.problems)
            damaged.append(QJsonObject{{"line", static_cast<qint64>(p.line)}, {"reason", JsonText(p.reason)}});
        QJsonObject columns;
        for (int c = 0; c < kRecordValueColumns; ++c) columns.insert(kRecordValueNames[c], jsonStats(data, stats[c]));
        QJsonObject o{{"file", JsonText(path)},
                      {"file_bytes", QString::fromStdString(PercentEncoded(path))},
                      {"rows", static_cast<qint64>(rows)},
                      {"rows_in_range", static_cast<qint64>(end - from)},
                      {"from", static_cast<qint64>(from)},
                      {"to", rows == 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(static_cast<qint64>(to))},
                      {"sections", static_cast<qint64>(data.sections.size())},
                      {"damaged_lines", damaged},
                      {"columns", columns}};
        // Beyond the first thousand, damaged lines are only counted.
        if (data.unlistedProblems > 0)
            o.insert("damaged_lines_not_listed", static_cast<qint64>(data.unlistedProblems));
        out = QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() + "\n";
    } else {
        out = "file: " + shown + "\nrows: " + std::to_string(rows) + ", graph sections: " +
              std::to_string(data.sections.size()) + ", damaged lines: " + std::to_string(data.damagedLines()) + "\n";
        if (rows > 0)
            out += "INDEX " + std::to_string(from) + " to " + std::to_string(to) + " (" + data.timeText(from) +
                   " to " + data.timeText(to) + "): " + std::to_string(end - from) + " rows\n";
        for (int c = 0; c < kRecordValueColumns; ++c) {
            const ColumnStats &s = stats[c];
            out += std::string(kRecordValueNames[c]) + ": count " + std::to_string(s.count);
            if (s.count > 0)
                out += ", min " + figure(s.min, c, 0) + " at " + data.timeText(s.minRow) + " (INDEX " +
                       std::to_string(s.minRow) + "), max " + figure(s.max, c, 0) + " at " +
                       data.timeText(s.maxRow) + " (INDEX " + std::to_string(s.maxRow) + "), mean " +
                       figure(s.mean, c, kMoreDecimals) + ", std " +
                       (s.count > 1 ? figure(s.std, c, kMoreDecimals) : std::string("-"));
            out += "\n";
        }
    }
    std::fputs(out.c_str(), stdout);
    return std::fflush(stdout) == 0 ? EXIT_DONE : EXIT_LINK_FAILED;
}

} // namespace ctl
