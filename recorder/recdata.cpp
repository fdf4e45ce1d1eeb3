#include "recorder/recdata.h"
#include "recorder/recfile.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <sys/stat.h>

static_assert(kRecordColumns == 2 + kRecordValueColumns, "the value columns follow INDEX and TIMESTAMP");
const char *const *const kRecordValueNames = kRecordColumnNames + 2;

namespace {

constexpr uint32_t kDay = 86400u; // seconds
constexpr int kSamples = 512;
constexpr std::size_t kReadChunk = 1 << 20;
// Longer lines are nothing the recorder writes; they are skipped, not kept.
constexpr std::size_t kMaxLine = 1 << 16;

constexpr std::string_view kFirstLine = "Logfile for recorded data.";
constexpr std::string_view kColumnLine =
    "INDEX,TIMESTAMP,RESULT A,NORM A,RAW A,MAX{ RAW A },RESULT B,NORM B,RAW B,MAX{ RAW B },EVAL 1,EVAL 2,";
constexpr std::string_view kSectionLine = "Recorded analog graph.";
constexpr std::string_view kSectionTime = "TIMESTAMP:,";
constexpr std::string_view kSectionColumns = "INDEX,Channel A:,Channel B:,";
constexpr std::string_view kSectionEnd = "End of Graph";
constexpr std::string_view kClosings[] = {"Recording successfully finished at ", "Error while recording data.",
                                          "Recording interrupted prior to completion.", "Unknown error."};

bool startsWith(std::string_view s, std::string_view head) { return s.substr(0, head.size()) == head; }

std::string quoted(std::string_view s) {
    constexpr std::size_t kShown = 40;
    std::string q = "\"" + std::string(s.substr(0, kShown));
    if (s.size() > kShown) q += "...";
    return q + "\"";
}

// A header value as the recorder writes it: a field in quotes (it held a
// comma or a quote) loses them and its doubled quotes become one.
std::string factValue(std::string_view v) {
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::string(v);
    std::string out;
    for (std::size_t i = 1; i + 1 < v.size(); ++i) {
        out += v[i];
        if (v[i] == '"' && v[i + 1] == '"' && i + 2 < v.size()) ++i;
    }
    return out;
}

// A whole decimal number in [lo, hi].
bool parseWhole(std::string_view f, long lo, long hi, int32_t *out) {
    std::size_t i = 0;
    const bool negative = !f.empty() && f[0] == '-';
    if (negative) ++i;
    if (i == f.size() || f.size() - i > 10) return false;
    long v = 0;
    for (; i < f.size(); ++i) {
        if (f[i] < '0' || f[i] > '9') return false;
        v = v * 10 + (f[i] - '0');
    }
    if (negative) v = -v;
    if (v < lo || v > hi) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

// A decimal number with a point, in thousandths (the fourth decimal rounds).
bool parseThousandths(std::string_view f, int32_t *out) {
    std::size_t i = 0;
    const bool negative = !f.empty() && (f[0] == '-' || f[0] == '+');
    const bool minus = negative && f[0] == '-';
    if (negative) ++i;
    long whole = 0, frac = 0;
    int wholeDigits = 0, fracDigits = 0;
    for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i, ++wholeDigits) {
        if (wholeDigits >= 6) return false;
        whole = whole * 10 + (f[i] - '0');
    }
    if (i < f.size() && f[i] == '.') {
        for (++i; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i, ++fracDigits) {
            if (fracDigits < 3) frac = frac * 10 + (f[i] - '0');
            else if (fracDigits == 3 && f[i] >= '5') frac += 1; // rounds half away from zero
        }
    }
    if (i != f.size() || wholeDigits + fracDigits == 0) return false;
    for (int d = std::min(fracDigits, 3); d < 3; ++d) frac *= 10;
    long v = whole * 1000 + frac;
    if (v > 40000000L) return false;
    *out = static_cast<int32_t>(minus ? -v : v);
    return true;
}

// Why an EVAL field is not taken: the recorder writes a plain decimal with
// three decimals, from -32768.000 to 32768.000.
std::string evalProblem(std::string_view f) {
    if (f.empty()) return " is empty";
    if (f.find_first_of("eE") != std::string_view::npos)
        return " is written with an exponent; the recorder writes a plain decimal with three decimals (1000.000)";
    std::size_t i = f[0] == '-' || f[0] == '+' ? 1 : 0, digits = 0;
    for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i) ++digits;
    if (i < f.size() && f[i] == '.')
        for (++i; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i) ++digits;
    if (i == f.size() && digits > 0)
        return " is out of range: the recorder writes EVAL values from -32768.000 to 32768.000";
    return " is not a number";
}

// HH:MM:SS as milliseconds from midnight.
bool parseTime(std::string_view f, uint32_t *seconds) {
    if (f.size() != 8 || f[2] != ':' || f[5] != ':') return false;
    auto two = [&](std::size_t at, int max, int *v) {
        if (f[at] < '0' || f[at] > '9' || f[at + 1] < '0' || f[at + 1] > '9') return false;
        *v = (f[at] - '0') * 10 + (f[at + 1] - '0');
        return *v <= max;
    };
    int h, m, s;
    if (!two(0, 23, &h) || !two(3, 59, &m) || !two(6, 59, &s)) return false;
    *seconds = static_cast<uint32_t>(h * 3600 + m * 60 + s);
    return true;
}

// Splits at commas into at most `max` fields; returns how many there are
// (max + 1 when there are more).
std::size_t splitFields(std::string_view line, std::string_view *fields, std::size_t max) {
    const char *start = line.data(), *const end = start + line.size();
    std::size_t n = 0;
    for (const char *p = start; p != end; ++p) {
        if (*p != ',') continue;
        if (n == max) return max + 1;
        fields[n++] = std::string_view(start, static_cast<std::size_t>(p - start));
        start = p + 1;
    }
    if (n == max) return max + 1;
    fields[n++] = std::string_view(start, static_cast<std::size_t>(end - start));
    return n;
}

// The reader's walk through the file, one line at a time.
class Reader {
  public:
    explicit Reader(RecordData *d) : d_(d) {}

    // false: the file is no record file (error_ says why).
    bool line(std::string_view l, bool last);
    // A line too long for anything the recorder writes: skipped unread.
    bool overlong();
    void end();
    // True when a last line that has no line end yet is whole as it stands
    // (a row with its closing comma, a closing line): a file still being
    // written ends so after every step.
    bool takesUnendedLine(std::string_view l) const;
    const std::string &error() const { return error_; }

  private:
    enum class State { First, Header, Columns, Body, SectionTime, SectionBlank, SectionColumns, SectionSamples };

    // A file of another kind that happens to start like a record file could
    // hold millions of such lines: only the first are kept with their reason.
    void problem(std::string reason) {
        if (d_->problems.size() < RecordData::kListedProblems) d_->problems.push_back({lineNo_, std::move(reason)});
        else ++d_->unlistedProblems;
        if (state_ == State::Body) newRun_ = true; // the rows on either side are not neighbours
    }
    void row(std::string_view l, bool last);
    void closeSection(bool fileEnds);
    void sectionBody(std::string_view l);

    RecordData *d_;
    State state_ = State::First;
    long lineNo_ = 0;
    bool trailingComma_ = true; // the column header ends with a comma, so every row does
    std::string error_;
    // Time of day of the row before, and the days counted since the first row.
    uint32_t prevOfDay_ = 0, days_ = 0, last_ = 0;
    bool tooLong_ = false;
    RecordSection section_;
    bool newRun_ = false;   // the next row begins a new stretch of the recording
    int32_t lastIndex_ = -1; // INDEX of the row before
};

bool Reader::line(std::string_view l, bool last) {
    ++lineNo_;
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    switch (state_) {
    case State::First:
        // A byte-order mark before the first line (an editor saved the file
        // as UTF-8 with one) is no part of it.
        if (startsWith(l, "\xEF\xBB\xBF")) l.remove_prefix(3);
        if (l != kFirstLine) {
            error_ = "line 1: not a record file of this program: it begins " + quoted(l) + ", not \"" +
                     std::string(kFirstLine) + "\"";
            return false;
        }
        state_ = State::Header;
        return true;
    case State::Header: {
        if (l.empty()) {
            state_ = State::Columns;
            return true;
        }
        const std::size_t sep = l.find(":,");
        if (sep == std::string_view::npos || l == kColumnLine.substr(0, kColumnLine.size() - 1) || l == kColumnLine) {
            state_ = State::Columns; // this line is the column header, or no record file
            --lineNo_;
            return line(l, last);
        }
        d_->facts.push_back({std::string(l.substr(0, sep)), factValue(l.substr(sep + 2))});
        if (d_->facts.back().key == "Recording interval in sec") {
            double seconds = 0.0;
            const std::string &v = d_->facts.back().value;
            const auto r = std::from_chars(v.data(), v.data() + v.size(), seconds);
            if (r.ec == std::errc() && r.ptr == v.data() + v.size() && seconds > 0.0 && seconds < 1e6)
                d_->setInterval(seconds);
        }
        return true;
    }
    case State::Columns:
        if (l == kColumnLine) trailingComma_ = true;
        else if (l == kColumnLine.substr(0, kColumnLine.size() - 1)) trailingComma_ = false;
        else if (l.find(';') != std::string_view::npos && l.find(',') == std::string_view::npos) {
            // A spreadsheet under a desktop whose decimal mark is a comma
            // saves its CSV files with semicolons.
            error_ = "line " + std::to_string(lineNo_) +
                     ": its fields are separated by ';' where the recorder writes ',' (saved again by a spreadsheet?): " +
                     quoted(l);
            return false;
        } else {
            error_ = "line " + std::to_string(lineNo_) + ": not the recorder's column header: " + quoted(l);
            return false;
        }
        state_ = State::Body;
        return true;
    case State::Body:
        if (l.empty()) return true;
        if ((l[0] >= '0' && l[0] <= '9') || l[0] == '-') {
            row(l, last);
        } else if (l == kSectionLine) {
            section_ = RecordSection();
            section_.line = lineNo_;
            section_.a.reserve(kSamples);
            section_.b.reserve(kSamples);
            state_ = State::SectionTime;
        } else if (std::any_of(std::begin(kClosings), std::end(kClosings),
                               [&](std::string_view c) { return startsWith(l, c); })) {
            d_->closings.push_back({lineNo_, std::string(l)});
            newRun_ = true;
        } else {
            problem("not a row, a graph section or a closing line: " + quoted(l));
        }
        return true;
    case State::SectionTime: {
        uint32_t seconds = 0;
        if (startsWith(l, kSectionTime) && parseTime(l.substr(kSectionTime.size()), &seconds)) {
            section_.time = std::string(l.substr(kSectionTime.size()));
            state_ = State::SectionBlank;
            return true;
        }
        problem("the graph section of line " + std::to_string(section_.line) + " has no TIMESTAMP line; left out");
        state_ = State::Body;
        --lineNo_;
        return line(l, last);
    }
    case State::SectionBlank:
        if (l.empty()) return true;
        state_ = State::SectionColumns;
        [[fallthrough]];
    case State::SectionColumns:
        if (l == kSectionColumns || l == kSectionColumns.substr(0, kSectionColumns.size() - 1)) {
            state_ = State::SectionSamples;
            return true;
        }
        problem("the graph section of line " + std::to_string(section_.line) + " has no column header; left out");
        state_ = State::Body;
        --lineNo_;
        return line(l, last);
    case State::SectionSamples:
        sectionBody(l);
        return true;
    }
    return true;
}

bool Reader::overlong() {
    ++lineNo_;
    if (state_ == State::First) {
        error_ = "line 1: not a record file of this program: its first line is longer than any the recorder writes";
        return false;
    }
    problem("longer than " + std::to_string(kMaxLine) + " characters"); // said as a skipped line
    return true;
}

void Reader::sectionBody(std::string_view l) {
    if (l == kSectionEnd) {
        closeSection(false);
        return;
    }
    if (l == kSectionLine) { // a new section before this one ended
        closeSection(false);
        --lineNo_;
        line(l, false);
        return;
    }
    std::string_view f[4];
    int32_t k = -1, a = 0, b = 0;
    const std::size_t n = splitFields(l, f, 3);
    if (n != 3 || !parseWhole(f[0], 0, kSamples - 1, &k) || k != static_cast<int32_t>(section_.a.size()) ||
        !parseWhole(f[1], -32768, 32767, &a) || !parseWhole(f[2], -32768, 32767, &b)) {
        problem("not sample " + std::to_string(section_.a.size()) + " of the graph section of line " +
                std::to_string(section_.line) + ": " + quoted(l));
        return;
    }
    section_.a.push_back(static_cast<int16_t>(a));
    section_.b.push_back(static_cast<int16_t>(b));
}

void Reader::closeSection(bool fileEnds) {
    const std::size_t n = section_.a.size();
    if (n < static_cast<std::size_t>(kSamples))
        problem("the graph section of line " + std::to_string(section_.line) + " holds " + std::to_string(n) +
                " of 512 samples" + (fileEnds ? ": the file ends inside it" : ""));
    d_->sections.push_back(std::move(section_));
    section_ = RecordSection();
    state_ = State::Body;
}

void Reader::row(std::string_view l, bool last) {
    constexpr std::size_t kFields = 2 + kRecordValueColumns;
    std::string_view f[kFields + 2];
    const std::size_t n = splitFields(l, f, kFields + 1);
    const bool closed = n == kFields + 1 && f[kFields].empty();
    const std::size_t fields = closed ? kFields : n;
    if (last && (fields < kFields || (trailingComma_ && !closed && fields == kFields))) {
        problem("the last line is cut off: a row of 12 fields ends after " + std::to_string(fields) +
                (fields == kFields ? " without its closing comma" : "") + ": " + quoted(l));
        return;
    }
    if (n > kFields + 1 || (n == kFields + 1 && !closed)) {
        problem("more than 12 fields: " + quoted(l));
        return;
    }
    if (fields != kFields) {
        problem(std::to_string(fields) + " fields instead of 12: " + quoted(l));
        return;
    }
    int32_t index = 0;
    if (!parseWhole(f[0], 0, 2147483647L, &index)) {
        problem("INDEX " + quoted(f[0]) + " is not a whole number");
        return;
    }
    uint32_t ofDay = 0;
    if (!parseTime(f[1], &ofDay)) {
        problem("TIMESTAMP " + quoted(f[1]) + " is not a time HH:MM:SS");
        return;
    }
    int32_t values[kRecordValueColumns];
    for (int c = 0; c < kRecordValueColumns; ++c) {
        const std::string_view v = f[2 + c];
        const bool ok = c >= REC_EVAL_1 ? parseThousandths(v, &values[c]) : parseWhole(v, -32768, 32767, &values[c]);
        if (!ok) {
            problem(std::string(kRecordValueNames[c]) + " " + quoted(v) +
                    (c >= REC_EVAL_1 ? evalProblem(v) : " is not a whole number from -32768 to 32767"));
            return;
        }
    }
    // Time runs on: a time of day far below the one before is the next day;
    // a clock set back a little keeps the time where it was.
    if (d_->rows() > 0 && ofDay + kDay / 2 < prevOfDay_) ++days_;
    prevOfDay_ = ofDay;
    last_ = std::max(last_, days_ * kDay + ofDay); // 32 bits of seconds: 136 years
    if (d_->rows() > 0 && (newRun_ || index != lastIndex_ + 1)) d_->startRun();
    newRun_ = false;
    lastIndex_ = index;
    d_->addRow(last_, values);
    d_->lastRowLine = lineNo_;
}

void Reader::end() {
    if (state_ == State::SectionSamples || state_ == State::SectionBlank || state_ == State::SectionColumns ||
        state_ == State::SectionTime)
        closeSection(true);
    else if (state_ == State::Header || state_ == State::Columns)
        problem("the file ends before its column header");
    d_->finish(true);
}

bool Reader::takesUnendedLine(std::string_view l) const {
    if (state_ == State::SectionSamples) return l == kSectionEnd;
    if (state_ != State::Body) return false; // an empty line after it would mean something elsewhere
    if (!l.empty() && l.back() == '\r') return false;
    if (!l.empty() && ((l[0] >= '0' && l[0] <= '9') || l[0] == '-')) {
        std::string_view f[2 + kRecordValueColumns + 2];
        const std::size_t n = splitFields(l, f, 2 + kRecordValueColumns + 1);
        return trailingComma_ && n == 2 + kRecordValueColumns + 1 && f[2 + kRecordValueColumns].empty();
    }
    return !l.empty() && l.back() == '.' &&
           std::any_of(std::begin(kClosings), std::end(kClosings), [&](std::string_view c) { return startsWith(l, c); });
}

} // namespace

std::string RecordData::timeText(std::size_t row) const {
    const uint32_t s = time_[row] % kDay;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", s / 3600, (s / 60) % 60, s % 60);
    return text;
}

double RecordData::placeInTime(std::size_t row) const {
    const uint32_t t = time_[row];
    const auto first = std::lower_bound(time_.begin(), time_.begin() + static_cast<std::ptrdiff_t>(row), t);
    const auto end = std::upper_bound(time_.begin() + static_cast<std::ptrdiff_t>(row), time_.end(), t);
    const double sharing = static_cast<double>(end - first);
    const double k = static_cast<double>(time_.begin() + static_cast<std::ptrdiff_t>(row) - first);
    const double step = interval_ > 0.0 && sharing * interval_ <= 1.0 ? interval_ : 1.0 / sharing;
    return static_cast<double>(t - time_.front()) + k * step;
}

std::size_t RecordData::rowPlacedAtOrAfter(double x) const {
    // Placing is strictly increasing: a binary search over the rows.
    std::size_t lo = 0, hi = rows();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (placeInTime(mid) < x) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

std::size_t RecordData::rowPlacedAfter(double x) const {
    std::size_t lo = 0, hi = rows();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (placeInTime(mid) <= x) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

std::size_t RecordData::rowAtOrAfterSeconds(double seconds) const {
    if (time_.empty()) return 0;
    const double target = time_.front() + seconds;
    if (target <= time_.front()) return 0;
    if (target > 4294967295.0) return rows();
    const uint32_t t = static_cast<uint32_t>(std::ceil(target));
    return static_cast<std::size_t>(std::lower_bound(time_.begin(), time_.end(), t) - time_.begin());
}

std::size_t RecordData::rowAfterSeconds(double seconds) const {
    if (time_.empty()) return 0;
    const double target = time_.front() + seconds;
    if (target < time_.front()) return 0;
    if (target >= 4294967295.0) return rows();
    const uint32_t t = static_cast<uint32_t>(std::floor(target + 1e-6));
    return static_cast<std::size_t>(std::upper_bound(time_.begin(), time_.end(), t) - time_.begin());
}

std::string RecordData::fact(const std::string &key) const {
    for (const RecordFact &f : facts)
        if (f.key == key) return f.value;
    return std::string();
}

void RecordData::addRow(uint32_t seconds, const int32_t values[kRecordValueColumns]) {
    time_.push_back(seconds);
    for (int c = 0; c < REC_EVAL_1; ++c) words_[c].push_back(static_cast<int16_t>(values[c]));
    for (int c = REC_EVAL_1; c < kRecordValueColumns; ++c) evals_[c - REC_EVAL_1].push_back(values[c]);
}

void RecordData::reserve(std::size_t rows) {
    time_.reserve(rows);
    for (auto &w : words_) w.reserve(rows);
    for (auto &e : evals_) e.reserve(rows);
}

void RecordData::finish(bool final) {
    // Room left over from the estimate or from doubling is given back when
    // it is worth a copy; not while the file may still grow.
    auto fit = [final](auto &v) {
        if (final && v.capacity() > v.size() + v.size() / 8 + 4096) v.shrink_to_fit();
    };
    fit(time_);
    for (int c = 0; c < kRecordValueColumns; ++c) {
        if (c < REC_EVAL_1) fit(words_[c]);
        else fit(evals_[c - REC_EVAL_1]);
        // Blocks already summed stay: rows are only ever added.
        for (std::size_t b = blocks_[c].size(); (b + 1) * kBlock <= rows(); ++b) {
            const std::size_t first = b * kBlock;
            Summary s{raw(c, first), raw(c, first), static_cast<uint32_t>(first), static_cast<uint32_t>(first), 0.0, 0.0};
            // Whole-number sums are exact: a block of thousandths up to
            // 40,000,000 squares to at most 1.7e18.
            int64_t sum = 0, squares = 0;
            for (std::size_t r = first; r < first + kBlock; ++r) {
                const int32_t v = raw(c, r);
                if (v < s.min) s.min = v, s.minRow = static_cast<uint32_t>(r);
                if (v > s.max) s.max = v, s.maxRow = static_cast<uint32_t>(r);
                sum += v;
                squares += static_cast<int64_t>(v) * v;
            }
            __extension__ using Wide = __int128;
            const Wide n = static_cast<Wide>(kBlock);
            s.mean = static_cast<double>(sum) / static_cast<double>(kBlock);
            s.m2 = static_cast<double>(n * squares - static_cast<Wide>(sum) * sum) / static_cast<double>(kBlock);
            blocks_[c].push_back(s);
        }
    }
}

std::size_t RecordData::bytesUsed() const {
    std::size_t n = time_.capacity() * sizeof(uint32_t);
    for (int c = 0; c < kRecordValueColumns; ++c)
        n += (c < REC_EVAL_1 ? words_[c].capacity() * sizeof(int16_t)
                             : evals_[c - REC_EVAL_1].capacity() * sizeof(int32_t)) +
             blocks_[c].capacity() * sizeof(Summary);
    return n;
}

// Welford's running mean and sum of squared deviations over single rows,
// and Chan's combination with whole blocks: the same result a single pass
// would give, without the loss of subtracting two large sums.
void RecordData::combine(int c, std::size_t from, std::size_t to, ColumnStats &s, double &m2) const {
    double n = 0, mean = 0;
    int32_t mn = 0, mx = 0;
    bool first = true;
    auto takeMinMax = [&](int32_t lo, std::size_t loRow, int32_t hi, std::size_t hiRow) {
        if (first || lo < mn) mn = lo, s.minRow = loRow;
        if (first || hi > mx) mx = hi, s.maxRow = hiRow;
        first = false;
    };
    auto addRow = [&](std::size_t r) {
        const int32_t v = raw(c, r);
        takeMinMax(v, r, v, r);
        n += 1;
        const double d = v - mean;
        mean += d / n;
        m2 += d * (v - mean);
    };
    std::size_t r = from;
    while (r < to && r % kBlock != 0) addRow(r++);
    for (; r + kBlock <= to; r += kBlock) {
        const Summary &b = blocks_[c][r / kBlock];
        takeMinMax(b.min, b.minRow, b.max, b.maxRow);
        const double nb = static_cast<double>(kBlock), total = n + nb, d = b.mean - mean;
        mean += d * nb / total;
        m2 += b.m2 + d * d * n * nb / total;
        n = total;
    }
    while (r < to) addRow(r++);
    const double scale = scaleOf(c);
    s.count = to - from;
    s.min = mn / scale;
    s.max = mx / scale;
    s.mean = mean / scale;
}

ColumnStats RecordData::stats(int column, std::size_t from, std::size_t to) const {
    ColumnStats s;
    to = std::min(to, rows());
    if (column < 0 || column >= kRecordValueColumns || from >= to) return s;
    double m2 = 0;
    combine(column, from, to, s, m2);
    s.std = s.count > 1 ? std::sqrt(std::max(0.0, m2) / static_cast<double>(s.count - 1)) / scaleOf(column) : 0.0;
    return s;
}

void RecordData::decimate(int column, std::size_t from, std::size_t to, int buckets, std::vector<std::size_t> *rowsOut,
                          std::vector<double> *values) const {
    rowsOut->clear();
    values->clear();
    to = std::min(to, rows());
    if (column < 0 || column >= kRecordValueColumns || from >= to || buckets < 1) return;
    const std::size_t span = to - from;
    const double scale = scaleOf(column);
    if (span <= 2 * static_cast<std::size_t>(buckets)) {
        for (std::size_t r = from; r < to; ++r) {
            rowsOut->push_back(r);
            values->push_back(raw(column, r) / scale);
        }
        return;
    }
    rowsOut->reserve(2 * static_cast<std::size_t>(buckets));
    values->reserve(2 * static_cast<std::size_t>(buckets));
    for (int k = 0; k < buckets; ++k) {
        const std::size_t a = from + span * static_cast<std::size_t>(k) / static_cast<std::size_t>(buckets);
        const std::size_t e = from + span * static_cast<std::size_t>(k + 1) / static_cast<std::size_t>(buckets);
        if (a >= e) continue;
        // Only the extremes are needed; the block summaries give them for whole blocks.
        int32_t mn = raw(column, a), mx = mn;
        std::size_t mnRow = a, mxRow = a;
        std::size_t r = a;
        auto take = [&](int32_t lo, std::size_t loRow, int32_t hi, std::size_t hiRow) {
            if (lo < mn) mn = lo, mnRow = loRow;
            if (hi > mx) mx = hi, mxRow = hiRow;
        };
        while (r < e && r % kBlock != 0) take(raw(column, r), r, raw(column, r), r), ++r;
        for (; r + kBlock <= e; r += kBlock) {
            const Summary &b = blocks_[column][r / kBlock];
            take(b.min, b.minRow, b.max, b.maxRow);
        }
        for (; r < e; ++r) take(raw(column, r), r, raw(column, r), r);
        const std::size_t first = std::min(mnRow, mxRow), second = std::max(mnRow, mxRow);
        rowsOut->push_back(first);
        values->push_back(raw(column, first) / scale);
        if (second != first) {
            rowsOut->push_back(second);
            values->push_back(raw(column, second) / scale);
        }
    }
}

struct RecordFileReader::State {
    explicit State(RecordData *d) : reader(d) {}
    Reader reader;
    std::string carry;   // a line that runs over the end of what was read
    bool skipping = false; // inside a line too long to keep
    bool any = false;
    bool failed = false;
    bool lineEndOwed = false; // a line was taken before its line end came
};

RecordFileReader::RecordFileReader(std::string path, RecordData *data)
    : path_(std::move(path)), data_(data), state_(std::make_unique<State>(data)) {}

RecordFileReader::~RecordFileReader() = default;

bool RecordFileReader::holdsUnendedLine() const { return !state_->carry.empty() || state_->skipping; }

long long RecordFileReader::sizeOnDisk() const {
    struct stat st {};
    return ::stat(path_.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

bool RecordFileReader::readOn(bool fileComplete, std::string *error) {
    State &s = *state_;
    if (s.failed) return false;
    auto fail = [&](const std::string &why) {
        *error = why;
        s.failed = true;
        *data_ = RecordData();
        return false;
    };
    // A device or a pipe could block the program or never end.
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return fail("\"" + path_ + "\" is not a regular file");
    std::FILE *f = std::fopen(path_.c_str(), "rb");
    if (!f) return fail("cannot open \"" + path_ + "\": " + std::strerror(errno));
    if (offset_ > 0 && std::fseek(f, static_cast<long>(offset_), SEEK_SET) != 0) {
        std::fclose(f);
        return fail("cannot read \"" + path_ + "\"");
    }
    std::vector<char> buffer(kReadChunk);
    bool ok = true;
    // Once a few thousand rows show how long a row is, room for the rest of
    // the file is made at once.
    constexpr std::size_t kSampleRows = 4096;
    struct stat sized {};
    const long long fileSize = ::fstat(::fileno(f), &sized) == 0 ? static_cast<long long>(sized.st_size) : 0;
    while (ok) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
        if (got == 0) break;
        s.any = true;
        offset_ += static_cast<long long>(got);
        if (!reserved_ && data_->rows() >= kSampleRows && fileSize > offset_) {
            reserved_ = true;
            const double perRow = static_cast<double>(offset_) / static_cast<double>(data_->rows());
            data_->reserve(static_cast<std::size_t>(static_cast<double>(fileSize) / perRow * 1.02) + kSampleRows);
        }
        std::string_view chunk(buffer.data(), got);
        while (ok && !chunk.empty()) {
            const std::size_t nl = chunk.find('\n');
            if (nl == std::string_view::npos) {
                if (!s.skipping) s.carry.append(chunk);
                if (s.carry.size() > kMaxLine) s.skipping = true, s.carry.clear();
                break;
            }
            std::string_view l = chunk.substr(0, nl);
            chunk.remove_prefix(nl + 1);
            if (s.lineEndOwed && s.carry.empty() && (l.empty() || l == "\r")) {
                s.lineEndOwed = false; // the end of the line already taken
                continue;
            }
            s.lineEndOwed = false;
            if (s.skipping || s.carry.size() + l.size() > kMaxLine) {
                ok = s.reader.overlong();
                s.skipping = false;
                s.carry.clear();
                continue;
            }
            if (!s.carry.empty()) {
                s.carry.append(l);
                ok = s.reader.line(s.carry, false);
                s.carry.clear();
            } else {
                ok = s.reader.line(l, false);
            }
        }
    }
    const bool readFailed = std::ferror(f) != 0;
    std::fclose(f);
    if (readFailed) return fail("cannot read \"" + path_ + "\"");
    if (!s.any) {
        if (fileComplete) return fail("line 1: the file is empty");
        return true; // nothing written yet
    }
    if (ok && fileComplete && s.skipping) {
        ok = s.reader.overlong();
        s.skipping = false;
    } else if (ok && !s.carry.empty() && (fileComplete || s.reader.takesUnendedLine(s.carry))) {
        // The line end that follows, when the file grows, is an empty line,
        // which a row or a closing line may have after it.
        ok = s.reader.line(s.carry, fileComplete);
        s.carry.clear();
        s.lineEndOwed = !fileComplete;
    }
    if (!ok) return fail(s.reader.error());
    if (fileComplete) s.reader.end();
    else data_->finish(false);
    return true;
}

bool ReadRecordFile(const std::string &path, RecordData *data, std::string *error) {
    *data = RecordData();
    RecordFileReader reader(path, data);
    return reader.readOn(true, error);
}
