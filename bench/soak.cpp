// A long run of the program against a simulator that now and then loses,
// delays or splits a reply (--intermittent): RUN for a while, then an
// automatic recording at interval 0 into a file, over and over until the
// duration is up. Every recording is read back and held against what the
// simulator served while it ran (--log-replies): INDEX 0 to N-1 with no gap
// and no repeat, every row made of live values the simulator actually sent,
// no two rows made of the same reply, and as many rows as passes.
//
//   bench_soak [--seconds S] [--every N] [--run-seconds S] [--rows N] [--keep FILE]
//              [--settle S] [--rss-limit MB]
//
// Prints per phase a line, then: cycles, retries, recorded rows against the
// passes that served them, resident memory (sampled every second) at the
// start, after the first --settle seconds (300), its highest and final value
// later and the growth over the settled value, which must stay within
// --rss-limit MB (2), and CPU per cycle. Last line "soak ok" or
// "soak FAILED: <what>"; exit status 0 or 1.
#include "bench/common.h"
#include "bench/live.h"

#include "core/groups.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "measure/data.h"
#include "recorder/recfile.h"
#include "recorder/recorder.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/recorder_ids.h"

#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

long g_retries = 0;
void countRetries(const char *text) {
    if (std::strstr(text, "Retrying for")) ++g_retries;
}

double residentMB() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Bytes the program holds on the heap, to tell heap growth from the
// allocator keeping freed pages.
double heapMB() { return static_cast<double>(::mallinfo2().uordblks) / (1024.0 * 1024.0); }

// Resident memory over the run, sampled every second from the event loop
// (the RUN and recording loops keep it turning): the value once the
// program has settled, and the highest and lowest after that.
class MemoryWatch {
  public:
    MemoryWatch(double t0, double settle) : t0_(t0), settle_(settle), start_(residentMB()) {
        timer_.setInterval(1000);
        QObject::connect(&timer_, &QTimer::timeout, [this] { sample(); });
        timer_.start();
    }
    void sample() {
        const double rss = residentMB();
        if (!settled()) {
            if (bench::Now() - t0_ < settle_) return;
            settledRss_ = maxRss_ = minRss_ = rss;
            settledHeap_ = heapMB();
            settledAt_ = bench::Now() - t0_;
            return;
        }
        maxRss_ = std::max(maxRss_, rss);
        minRss_ = std::min(minRss_, rss);
    }
    bool settled() const { return settledAt_ >= 0; }
    double start() const { return start_; }
    double settledRss() const { return settledRss_; }
    double settledHeap() const { return settledHeap_; }
    double settledAt() const { return settledAt_; }
    double maxRss() const { return maxRss_; }
    double minRss() const { return minRss_; }

  private:
    QTimer timer_;
    double t0_, settle_, start_;
    double settledRss_ = 0, settledHeap_ = 0, settledAt_ = -1, maxRss_ = 0, minRss_ = 0;
};

std::vector<std::string> g_problems;
void problem(const std::string &what) {
    std::printf("PROBLEM: %s\n", what.c_str());
    std::fflush(stdout);
    g_problems.push_back(what);
}

// Lines a log gained since the last call.
class LogTail {
  public:
    explicit LogTail(std::string path) : path_(std::move(path)) {}
    std::vector<std::string> fresh() {
        std::ifstream in(path_);
        in.seekg(offset_);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) break; // a line still being written
            lines.push_back(line);
            offset_ += static_cast<std::streamoff>(line.size() + 1);
        }
        return lines;
    }

  private:
    std::string path_;
    std::streamoff offset_ = 0;
};

unsigned hexWord(const std::string &hex, std::size_t at) { return std::stoul(hex.substr(at, 4), nullptr, 16); }
// Frame layout in hex digits: sync (4), command (4), 16 payload words (4
// each), words high byte first.
unsigned frameCommand(const std::string &hex) { return hexWord(hex, 4); }
unsigned payload(const std::string &hex, int word) { return hexWord(hex, 8 + 4 * static_cast<std::size_t>(word)); }

// Cycles and retried requests among live-values requests: a request that
// repeats the one before it is a retry.
struct RequestCount {
    long cycles = 0, retries = 0;
    std::string last;
};
void countRequests(const std::vector<std::string> &lines, RequestCount &c) {
    for (const std::string &l : lines) {
        if (l.size() < 12 || frameCommand(l) != 8) continue;
        if (l == c.last) ++c.retries;
        else if (l.rfind("005500086402", 0) == 0) ++c.cycles;
        c.last = l;
    }
}

// A served live-values reply: part 1 or 2 and its 16 words.
struct Served {
    int part = 0;
    unsigned words[16] = {};
};
std::vector<Served> servedReplies(const std::vector<std::string> &lines) {
    std::vector<Served> out;
    for (const std::string &l : lines) {
        const std::size_t space = l.find(' ');
        if (space == std::string::npos || frameCommand(l) != 8) continue;
        const unsigned w0 = payload(l, 0);
        if (w0 != 0x6401 && w0 != 0x6402) continue;
        Served s;
        s.part = w0 == 0x6401 ? 1 : 2;
        const std::string reply = l.substr(space + 1);
        for (int w = 0; w < 16; ++w) s.words[w] = payload(reply, w);
        out.push_back(s);
    }
    return out;
}

// An evaluation value as the record file writes it.
std::string fmtFixed(unsigned lo, unsigned hi) {
    return FormatFixed(static_cast<int32_t>((hi << 16) | lo) / 65536.0, 3);
}
std::string fmtWord(unsigned w) { return std::to_string(static_cast<int16_t>(w)); }

// The fields of a recorded row that come from each part of the live values.
std::vector<std::string> part1Fields(const Served &s) {
    // NORM A, RAW A, MAXRAW A, NORM B, RAW B, MAXRAW B (row fields 3, 4, 5, 7, 8, 9)
    return {fmtWord(s.words[RD_NORM]),     fmtWord(s.words[RD_RAW]),     fmtWord(s.words[RD_MAXRAW]),
            fmtWord(s.words[RD_NORM + 1]), fmtWord(s.words[RD_RAW + 1]), fmtWord(s.words[RD_MAXRAW + 1])};
}
std::vector<std::string> part2Fields(const Served &s) {
    // RESULT A, RESULT B, EVAL1, EVAL2 (row fields 2, 6, 10, 11)
    const int r = RD_RESULT - 16, e1 = RD_EVAL1 - 16, e2 = RD_EVAL2 - 16;
    return {fmtWord(s.words[r]), fmtWord(s.words[r + 1]), fmtFixed(s.words[e1], s.words[e1 + 1]),
            fmtFixed(s.words[e2], s.words[e2 + 1])};
}

std::vector<std::string> splitFields(const std::string &line) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string x;
    while (std::getline(ss, x, ',')) f.push_back(x);
    return f;
}

struct RecordCheck {
    int rows = 0;        // data rows in the file
    long served = 0;     // live-value pairs the simulator served during the run
    long unused = 0;     // served pairs no row was made of (answers to retried requests)
};

// Reads the file back: header, INDEX 0..rows-1 in order, closing line; each
// row's fields are those of a part-1 and a later part-2 reply the simulator
// served, each reply used by one row at most, rows in the order served.
RecordCheck checkRecording(const std::string &path, int expectRows, const std::vector<Served> &served) {
    RecordCheck c;
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t e = text.find("\r\n", at);
        lines.push_back(text.substr(at, e == std::string::npos ? std::string::npos : e - at));
        if (e == std::string::npos) break;
        at = e + 2;
    }
    std::size_t k = 0;
    while (k < lines.size() && lines[k].rfind("INDEX,TIMESTAMP,", 0) != 0) ++k;
    if (k == lines.size()) {
        problem(path + ": no INDEX header line");
        return c;
    }
    for (const Served &s : served)
        if (s.part == 2) ++c.served;
    std::size_t next = 0; // first served reply a row may still use
    for (std::size_t i = k + 1; i < lines.size(); ++i) {
        const std::string &l = lines[i];
        if (l.rfind("Recording successfully finished at ", 0) == 0) {
            if (i + 1 != lines.size()) problem(path + ": lines after the closing line");
            break;
        }
        const std::vector<std::string> f = splitFields(l);
        if (f.size() != 12 || f[0] != std::to_string(c.rows)) {
            problem(path + ": row " + std::to_string(c.rows) + " reads \"" + l + "\"");
            return c;
        }
        const std::vector<std::string> p1 = {f[3], f[4], f[5], f[7], f[8], f[9]}, p2 = {f[2], f[6], f[10], f[11]};
        std::size_t j = next;
        bool found = false;
        for (; j < served.size() && !found; ++j) {
            if (served[j].part != 1 || part1Fields(served[j]) != p1) continue;
            for (std::size_t q = j + 1; q < served.size(); ++q) {
                if (served[q].part == 2 && part2Fields(served[q]) == p2) {
                    next = q + 1;
                    found = true;
                    break;
                }
            }
        }
        if (!found) {
            problem(path + ": row " + std::to_string(c.rows) + " was not served in order (\"" + l + "\")");
            return c;
        }
        ++c.rows;
    }
    if (lines.back().rfind("Recording successfully finished at ", 0) != 0)
        problem(path + ": no closing line (ends \"" + lines.back() + "\")");
    if (c.rows != expectRows)
        problem(path + ": " + std::to_string(c.rows) + " rows, " + std::to_string(expectRows) + " asked for");
    c.unused = c.served - c.rows;
    return c;
}

// RUN pressed, STOP pressed by a timer after `seconds`.
bool runPhase(double seconds) {
    bool stopped = false;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), [&stopped] {
        stopped = true;
        OperateCtrl(panelMAIN, MAIN_CMD_STOP);
    });
    const double t0 = bench::Now();
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    const double wall = bench::Now() - t0;
    if (!stopped) {
        problem("RUN returned after " + std::to_string(wall) + " s before STOP (status \"" + szStatus + "\")");
        return false;
    }
    if (std::strncmp(szStatus, "Error", 5) == 0) {
        problem(std::string("RUN ended with \"") + szStatus + "\"");
        return false;
    }
    return true;
}

// An automatic recording of `rows` rows at interval 0 into path.
bool recordPhase(const std::string &path, int rows) {
    std::ofstream(path, std::ios::trunc);
    std::snprintf(file_name, sizeof file_name, "%s", path.c_str());
    recorder_status = 1;
    headerwritten = 0;
    OperateCtrl(panelRECORDER, RECORDER_TYPE, REC_TYPE_AUTOMATIC);
    SetCtrlVal(panelRECORDER, RECORDER_NUM_SETS, rows);
    SetCtrlVal(panelRECORDER, RECORDER_INTERVAL, 0.0);
    OperateCtrl(panelRECORDER, RECORDER_START);
    if (recwerte != rows) {
        problem("the recording stored " + std::to_string(recwerte) + " of " + std::to_string(rows) +
                " rows (status \"" + szStatus + "\")");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_soak");
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 600.0);
    // Odd, so that the faulty replies fall on both parts of the live values.
    const int every = bench::OptInt(argc, argv, "--every", 37);
    const double runSeconds = bench::OptDouble(argc, argv, "--run-seconds", 20.0);
    const int rows = bench::OptInt(argc, argv, "--rows", 100);
    const std::string keep = bench::OptString(argc, argv, "--keep");
    // The first minutes fill the caches of fonts, styles and graphs; growth
    // counts from there.
    const double settle = bench::OptDouble(argc, argv, "--settle", 300.0);
    const double rssLimit = bench::OptDouble(argc, argv, "--rss-limit", 2.0);
    if (every < 2 || rows < 1 || runSeconds < 1 || settle < 0 || rssLimit <= 0)
        bench::Fail("--every >= 2, --rows >= 1, --run-seconds >= 1, --settle >= 0, --rss-limit > 0");

    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();
    const std::string frames = bench::TempFrameLog("soak"), replies = bench::TempFile("soak-replies");
    std::ofstream(replies, std::ios::trunc);
    const std::string record = keep.empty() ? bench::TempFile("soak-record", ".csv") : keep;
    bench::Sim sim = bench::StartSim({"--tcp", "0", "--intermittent", std::to_string(every), "--log-frames", frames,
                                      "--log-replies", replies});
    std::printf("soak: %.0f s; simulator pid %d on 127.0.0.1:%d, every %dth reply faulty (lost, late, split, "
                "too late in turn); RUN %.0f s, then %d rows recorded at interval 0, over and over\n",
                seconds, sim.pid, sim.tcpPort, every, runSeconds, rows);
    std::fflush(stdout);
    bench::OpenTcpLink(sim.tcpPort);
    SetStatusObserver(countRetries);

    LogTail frameTail(frames), replyTail(replies);
    RequestCount requests;
    const double c0 = bench::CpuSeconds(), t0 = bench::Now();
    MemoryWatch memory(t0, settle);
    long recordedRows = 0, servedPairs = 0, unusedPairs = 0, recordings = 0, runCycles = 0, recordPasses = 0;
    long lost = 0, duplicated = 0;
    bool ok = true;
    for (int phase = 1; ok && bench::Now() - t0 < seconds; ++phase) {
        frameTail.fresh();
        replyTail.fresh();
        const long cyclesBefore = requests.cycles;
        ok = runPhase(std::min(runSeconds, std::max(1.0, seconds - (bench::Now() - t0))));
        countRequests(frameTail.fresh(), requests);
        replyTail.fresh();
        const long runDone = requests.cycles - cyclesBefore;
        runCycles += runDone;
        if (!ok) break;

        const long passesBefore = requests.cycles;
        ok = recordPhase(record, rows);
        countRequests(frameTail.fresh(), requests);
        const long passes = requests.cycles - passesBefore;
        recordPasses += passes;
        const RecordCheck c = checkRecording(record, ok ? rows : recwerte, servedReplies(replyTail.fresh()));
        ++recordings;
        recordedRows += c.rows;
        servedPairs += c.served;
        unusedPairs += c.unused;
        lost += std::max(0L, passes - c.rows);
        duplicated += std::max(0L, c.rows - passes);
        if (passes != c.rows) {
            problem("recording " + std::to_string(recordings) + ": " + std::to_string(c.rows) + " rows from " +
                    std::to_string(passes) + " passes");
            ok = false;
        }
        if (!g_problems.empty()) ok = false;

        memory.sample();
        const double t = bench::Now() - t0;
        std::printf("phase %d at %.0f s: RUN %ld cycles, recording %d rows of %ld passes (%ld replies served, "
                    "%ld not used); retries so far %ld; rss %.1f MB, heap %.2f MB\n",
                    phase, t, runDone, c.rows, passes, c.served, c.unused, g_retries, residentMB(), heapMB());
        std::fflush(stdout);
        if (!bench::SimAlive()) {
            problem("the simulator died");
            ok = false;
        }
    }
    memory.sample();
    const double wall = bench::Now() - t0, cpu = bench::CpuSeconds() - c0, rssEnd = residentMB(), heapEnd = heapMB();
    SetStatusObserver(nullptr);
    bench::CloseLink();
    bench::StopSim();
    if (keep.empty()) ::unlink(record.c_str());
    ::unlink(replies.c_str());

    const long cycles = runCycles + recordPasses;
    std::printf("duration %.0f s\n", wall);
    std::printf("cycles %ld (RUN %ld, recording passes %ld)\n", cycles, runCycles, recordPasses);
    std::printf("retries %ld (status lines); retried live-values requests %ld\n", g_retries, requests.retries);
    std::printf("recordings %ld: rows recorded %ld, passes %ld, served live-value pairs %ld of which %ld not "
                "recorded (answers to retried requests); lost %ld, duplicated %ld, every row served in order "
                "with INDEX contiguous: %s\n",
                recordings, recordedRows, recordPasses, servedPairs, unusedPairs, lost, duplicated,
                g_problems.empty() ? "yes" : "no");
    std::printf("nothing lost: rows recorded %ld of %ld expected (%ld recordings of %d rows): %s\n", recordedRows,
                recordings * rows, recordings, rows,
                recordedRows == recordings * rows && lost == 0 && duplicated == 0 ? "yes" : "no");
    if (memory.settled()) {
        const double growth = memory.maxRss() - memory.settledRss();
        std::printf("rss_mb start %.1f, after first %.0f s %.1f, later max %.1f, min %.1f, final %.1f; heap_mb after "
                    "first %.0f s %.2f, final %.2f\n",
                    memory.start(), memory.settledAt(), memory.settledRss(), memory.maxRss(), memory.minRss(), rssEnd,
                    memory.settledAt(), memory.settledHeap(), heapEnd);
        std::printf("rss growth after first %.0f s: max %+.1f MB, final %+.1f MB over %.0f s: %s (within %.1f MB)\n",
                    memory.settledAt(), growth, rssEnd - memory.settledRss(), wall - memory.settledAt(),
                    growth <= rssLimit ? "pass" : "FAIL", rssLimit);
        if (growth > rssLimit)
            problem("resident memory grew by " + FormatFixed(growth, 1) + " MB after the first " +
                    FormatFixed(memory.settledAt(), 0) + " s");
    } else {
        std::printf("rss_mb start %.1f, final %.1f; growth not measured: the run ended within the first %.0f s\n",
                    memory.start(), rssEnd, settle);
    }
    std::printf("cpu %.1f s over %.0f s wall; %.3f ms a cycle\n", cpu, wall, cycles ? 1e3 * cpu / cycles : 0.0);
    if (g_problems.empty()) {
        std::printf("soak ok\n");
        return 0;
    }
    std::printf("soak FAILED: %s\n", g_problems.front().c_str());
    return 1;
}
