// A record file read back: its header facts, its rows in compact columns,
// its captured-curve sections and what was wrong with it. Reading goes line
// by line and keeps no text of the file, so a week of rows at every pass
// (millions of rows) fits; statistics and the min/max decimation for drawing
// work over any range of rows without walking all of them (block summaries).
// Nothing here writes the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The value columns of a row, in file order after INDEX and TIMESTAMP.
enum RecordColumn {
    REC_RESULT_A,
    REC_NORM_A,
    REC_RAW_A,
    REC_MAX_A,
    REC_RESULT_B,
    REC_NORM_B,
    REC_RAW_B,
    REC_MAX_B,
    REC_EVAL_1,
    REC_EVAL_2,
    kRecordValueColumns
};
// The value columns' names as the file's column-header line gives them
// ("MAX{ RAW A }"): the recorder's column names after INDEX and TIMESTAMP.
extern const char *const *const kRecordValueNames;

struct RecordFact {
    std::string key;   // "Type of sensor" (without the colon)
    std::string value; // "Q-VEX-MOD7-ARC V1.23"
};

// A line that was left out, with why (line numbers count from 1).
struct RecordProblem {
    long line;
    std::string reason;
};

// One "Recorded analog graph." section: both curves as captured.
struct RecordSection {
    long line = 0;    // of "Recorded analog graph."
    std::string time; // its TIMESTAMP, HH:MM:SS
    std::vector<int16_t> a, b; // samples 0 ... up to 511 (fewer when the section is cut off)
};

// Count, range, mean and sample standard deviation (n - 1) of one column
// over rows [from, to); the rows of the first minimum and maximum.
struct ColumnStats {
    std::size_t count = 0;
    double min = 0.0, max = 0.0, mean = 0.0, std = 0.0; // std is 0 for fewer than 2 rows
    std::size_t minRow = 0, maxRow = 0;
};

class RecordData {
  public:
    std::vector<RecordFact> facts;       // header block, in file order
    std::vector<RecordProblem> problems; // damaged lines, skipped: the first kListedProblems of them
    std::size_t unlistedProblems = 0;    // further damaged lines, counted only
    static constexpr std::size_t kListedProblems = 1000;
    std::size_t damagedLines() const { return problems.size() + unlistedProblems; }
    std::vector<RecordSection> sections;
    std::vector<RecordProblem> closings; // closing lines of automatic runs, as written
    long lastRowLine = 0;                // line of the last row read

    std::size_t rows() const { return time_.size(); }
    // The value as written: EVAL columns to three decimals.
    double value(int column, std::size_t row) const { return raw(column, row) / scaleOf(column); }
    // Row time in seconds (the file's resolution) from midnight of the first
    // row's day; a time earlier than the row before's by more than 12 hours
    // is the next day.
    uint32_t timeOfRow(std::size_t row) const { return time_[row]; }
    // Seconds from the first row (0 for the first row).
    double secondsFromStart(std::size_t row) const { return static_cast<double>(time_[row] - time_.front()); }
    // The row's place on a time axis, in seconds from the first row: time
    // stamps are whole seconds, so the rows that share one are spread over it
    // by their order, a header interval apart when they fit in the second
    // at that interval, else evenly. Strictly increasing from row to row.
    double placeInTime(std::size_t row) const;
    // The first row placed at or after x (rows() when none is), and the
    // first placed after x.
    std::size_t rowPlacedAtOrAfter(double x) const;
    std::size_t rowPlacedAfter(double x) const;
    // The rows that begin a new stretch of the recording, in order: the first
    // row after a run's closing lines, a row whose INDEX does not follow the
    // row before's (a new run, or rows lost), or the first row after lines
    // skipped as damaged. A trace is not drawn across them.
    const std::vector<std::size_t> &runStarts() const { return runStarts_; }
    // The header's recording interval in seconds; 0 when it gives none.
    double interval() const { return interval_; }
    // The row's time stamp as written (HH:MM:SS).
    std::string timeText(std::size_t row) const;
    // The first row whose time is at or after seconds from the first row
    // (rows() when none is); rows are in time order.
    std::size_t rowAtOrAfterSeconds(double seconds) const;
    // The first row whose time is later than seconds from the first row.
    std::size_t rowAfterSeconds(double seconds) const;
    // A fact's value; "" when the header lacks it.
    std::string fact(const std::string &key) const;

    ColumnStats stats(int column, std::size_t from, std::size_t to) const;
    // What a plot of rows [from, to) needs for `buckets` pixel columns: every
    // row when there are at most two per column, else the minimum and the
    // maximum of each column's rows, in row order. Rows are given as numbers
    // (for the x value) and values.
    void decimate(int column, std::size_t from, std::size_t to, int buckets, std::vector<std::size_t> *rowsOut,
                  std::vector<double> *values) const;

    // Bytes the rows take in memory.
    std::size_t bytesUsed() const;

    // ---- filled by the reader
    void addRow(uint32_t seconds, const int32_t values[kRecordValueColumns]);
    void startRun() { runStarts_.push_back(rows()); }
    void setInterval(double seconds) { interval_ = seconds; }
    // Room for this many rows at once, so that growing by doubling (twice
    // the memory, and a copy) happens at most near the end.
    void reserve(std::size_t rows);
    // Builds the block summaries of the rows added since the last call;
    // final: no row follows (spare room is given back).
    void finish(bool final = true);
    static double scaleOf(int column) { return column >= REC_EVAL_1 ? 1000.0 : 1.0; }

  private:
    static constexpr std::size_t kBlock = 1024;
    struct Summary {
        int32_t min, max;
        uint32_t minRow, maxRow;
        double mean, m2; // of the raw values
    };
    void combine(int column, std::size_t from, std::size_t to, ColumnStats &s, double &m2) const;
    // The eight word columns as the 16-bit values they are; the EVAL columns
    // in thousandths. 28 bytes a row with the time.
    int32_t raw(int column, std::size_t row) const {
        return column < REC_EVAL_1 ? words_[column][row] : evals_[column - REC_EVAL_1][row];
    }
    std::vector<int16_t> words_[REC_EVAL_1];
    std::vector<int32_t> evals_[kRecordValueColumns - REC_EVAL_1];
    std::vector<uint32_t> time_;
    std::vector<Summary> blocks_[kRecordValueColumns];
    std::vector<std::size_t> runStarts_;
    double interval_ = 0.0;
};

// Reads a record file, and reads on as it grows: each call takes what was
// added since the last. A file still being written ends in a line without its
// line end; that line is taken once it is whole (a row with its closing
// comma, a closing line), else at the next call. The file is never written.
class RecordFileReader {
  public:
    RecordFileReader(std::string path, RecordData *data);
    ~RecordFileReader();
    RecordFileReader(const RecordFileReader &) = delete;
    RecordFileReader &operator=(const RecordFileReader &) = delete;
    // fileComplete: what the file holds now is all it will hold (its last
    // line is taken as it stands, and the last summaries are made). False
    // with *error, and *data emptied, when the file cannot be read or is no
    // record file; every later call then fails at once.
    bool readOn(bool fileComplete, std::string *error);
    // Bytes read so far, and the file's size now (-1 when it is gone).
    long long bytesRead() const { return offset_; }
    // The file ends in a line that is not whole yet (kept for the next call).
    bool holdsUnendedLine() const;
    long long sizeOnDisk() const;
    const std::string &path() const { return path_; }

  private:
    struct State;
    std::string path_;
    RecordData *data_;
    std::unique_ptr<State> state_;
    long long offset_ = 0;
    bool reserved_ = false;
};

// Reads a record file. Returns true with everything readable in *data
// (damaged lines in data->problems). False with *error naming the line when
// the file cannot be read, is empty, or is no record file ("line 1: ...").
bool ReadRecordFile(const std::string &path, RecordData *data, std::string *error);
