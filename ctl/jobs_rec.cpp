// The recorder's jobs: rows of live values, the automatic run and the graph
// capture, each through the recorder panel's own commands, so the file is
// the one the recorder writes.
#include "ctl/jobs.h"

#include "core/groups.h"
#include "core/panels.h"
#include "core/program.h"
#include "measure/sampling.h"
#include "recorder/capture.h"
#include "recorder/recfile.h"
#include "recorder/recorder.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/recorder_ids.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ctl {

namespace {

// The recorder panel's limits for an automatic run.
constexpr int kMaxRows = 10000000;
constexpr double kMaxInterval = 86400.0;

bool parseCount(const std::string &text, int *value) {
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 1 || v > kMaxRows) return false;
    *value = static_cast<int>(v);
    return true;
}

// Chooses the record file through the recorder panel's file command; the
// overwrite question is answered yes. The file dialog adds ".csv" to a name
// without it, so the file written is file_name, which is checked again.
int chooseRecordFile(Session &s, int type, const std::string &path) {
    OperateCtrl(panelRECORDER, RECORDER_TYPE, type);
    s.popups.files.push_back(path);
    s.operate(panelRECORDER, RECORDER_FILE_SELECT);
    if (recorder_status != 1) return s.usage("cannot use " + path + " as the record file");
    if (const std::string problem = TargetProblem(file_name); !problem.empty()) return s.usage(problem);
    return EXIT_DONE;
}

// How a recorder job that wrote rows went wrong: a file that stopped taking
// rows (a full disk, the file-size limit) or the link is exit 1, a file that
// never opened exit 2; a run stopped before its last row failed too.
int recordFailed(Session &s, const Outcome &outcome) {
    if (outcome.kind == OutcomeKind::Cancelled) return s.linkFailed(outcome.reason);
    return s.ended(outcome);
}

// The record file named on the command line, refused before the controller
// is touched when it could never take rows: a device, a FIFO, a folder, or
// a name in a folder that does not exist.
int checkRecordTarget(Session &s, const std::string &path) {
    const std::string problem = TargetProblem(path);
    return problem.empty() ? EXIT_DONE : s.usage(problem);
}

bool copyToStdout(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputs("\n", stdout);
    return true;
}

} // namespace

// RUN with the recorder's manual type: after every cycle's second part the
// capture command stores a row from the values just received; after N rows
// STOP ends the loop. A failed request ends it earlier with the program's
// own time-outs.
int JobLive(Session &s, const Args &args) {
    CommandArgs a(args, {"--count", "--out", "--mqtt", "--mqtt-user", "--mqtt-password-file", "--mqtt-cafile",
                         "--mqtt-queue-mb"});
    int count = 0;
    if (!a.error().empty() || !parseCount(a.value("--count"), &count) || !a.words().empty())
        return s.usage(a.error().empty() ? "live needs --count N (1 ... 10000000) [--out FILE.csv] [--mqtt URL]"
                                         : a.error());
    const bool toStdout = !a.has("--out");
    const std::string path = toStdout ? s.scratchPath("live.csv") : a.value("--out");
    if (int rc = checkRecordTarget(s, path)) return rc;
    LiveMqtt mqtt;
    if (int rc = PrepareLiveMqtt(s, a, &mqtt)) return rc;
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    if (int rc = chooseRecordFile(s, REC_TYPE_MANUAL, path)) return rc;

    int stored = 0;
    bool stopping = false;
    Outcome storing; // the first row that could not be stored
    runHooks.cycleDone = [&] {
        if (stopping) return;
        const Outcome row = s.click(panelRECORDER, RECORDER_CAPTURE, StoreRow);
        if (row.done()) ++stored;
        else storing = row;
        if (!storing.done() || stored == count) {
            stopping = true;
            OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    if (int rc = StartLiveMqtt(s, mqtt)) return rc;
    s.progressOn(panelRECORDER, RECORDER_RECORDED, count);
    const Outcome run = s.click(panelMAIN, MAIN_CMD_RUN, RunMeasuring);
    s.progressOff();
    runHooks.cycleDone = nullptr;
    const int published = EndLiveMqtt(s);
    if (!storing.done()) return recordFailed(s, storing);
    if (!run.done()) return recordFailed(s, run);
    if (stored != count) return s.linkFailed("the run ended after " + std::to_string(stored) + " of " +
                                             std::to_string(count) + " rows");
    if (published != EXIT_DONE) return published;
    if (toStdout && !copyToStdout(file_name)) return s.usage("cannot read back " + path);
    return EXIT_DONE;
}

// An automatic run: type, record file, data sets and interval on the
// recorder panel, then START, whose loop runs until the last row or a
// failed request.
int JobRecord(Session &s, const Args &args) {
    CommandArgs a(args, {"--rows", "--interval", "--out"});
    int rows = 0;
    double interval = -1.0;
    const std::string intervalText = a.value("--interval");
    if (a.error().empty() && a.has("--interval") && !ParseDecimal(intervalText, &interval))
        return s.usage("--interval takes seconds as a decimal number with a point, such as 0.5, not " +
                       (intervalText.empty() ? std::string("an empty text") : intervalText));
    if (!a.error().empty() || !parseCount(a.value("--rows"), &rows) || !(interval >= 0.0 && interval <= kMaxInterval) ||
        !a.has("--out") || !a.words().empty())
        return s.usage(
            a.error().empty()
                ? "record needs --rows N (1 ... 10000000) --interval SECONDS (0 ... 86400) --out FILE.csv"
                : a.error());
    const std::string path = a.value("--out");
    if (int rc = checkRecordTarget(s, path)) return rc;
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    if (int rc = chooseRecordFile(s, REC_TYPE_AUTOMATIC, path)) return rc;
    OperateCtrl(panelRECORDER, RECORDER_NUM_SETS, rows);
    OperateCtrl(panelRECORDER, RECORDER_INTERVAL, interval);

    s.progressOn(panelRECORDER, RECORDER_PROGRESS, rows);
    const Outcome outcome = s.click(panelRECORDER, RECORDER_START, StartRecording);
    s.progressOff();
    if (!outcome.done()) return recordFailed(s, outcome);
    std::printf("%d rows recorded in %s\n", rows, file_name);
    return EXIT_DONE;
}

// CAPTURE GRAPH into a freshly chosen record file: the header block, then
// the section with both curves.
int JobCapture(Session &s, const Args &args) {
    CommandArgs a(args, {"--out"});
    if (!a.error().empty() || !a.has("--out") || !a.words().empty())
        return s.usage(a.error().empty() ? "capture needs --out FILE.csv" : a.error());
    const std::string path = a.value("--out");
    if (int rc = checkRecordTarget(s, path)) return rc;
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    if (int rc = chooseRecordFile(s, REC_TYPE_MANUAL, path)) return rc;

    s.progressOn();
    const Outcome outcome = s.click(panelRECORDER, RECORDER_CAPTURE_GRAPH, CaptureGraph);
    s.progressOff();
    if (!outcome.done()) return s.ended(outcome);
    std::printf("both curves captured in %s\n", file_name);
    return EXIT_DONE;
}

} // namespace ctl
