// The maintenance jobs: the filter panel's GET FILTER and SEND FILTER, and
// the update panel's merge and download.
#include "ctl/jobs.h"

#include "core/panels.h"
#include "link/transport.h"
#include "maint/filter.h"
#include "maint/firmware.h"
#include "maint/lindata.h"
#include "ui/engine/engine.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/update_ids.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace ctl {

namespace {

constexpr int kFilters = 4;
constexpr unsigned long kWindowLimit = 33554431; // the update panel's window controls: 0 ... 0x1FFFFFF

int filterGet(Session &s) {
    const Outcome outcome = s.click(panelFILTER, FILTER_CMD_GET, GetFilter);
    if (!outcome.done()) return s.ended(outcome);
    for (int k = 0; k < kFilters; ++k) {
        int on = 0, setting = 0;
        GetCtrlVal(panelFILTER, FILTER_ENABLE_1 + k, &on);
        GetCtrlVal(panelFILTER, FILTER_SETTING_1 + k, &setting);
        if (on)
            std::printf("filter %d: %d\n", k + 1, setting);
        else
            std::printf("filter %d: off\n", k + 1);
    }
    return EXIT_DONE;
}

int filterSend(Session &s) {
    s.progressOn();
    const Outcome outcome = s.click(panelFILTER, FILTER_CMD_SEND, SendFilter);
    s.progressOff();
    if (!outcome.done()) return s.ended(outcome);
    std::printf("%s\n", outcome.reason.c_str());
    return EXIT_DONE;
}

bool parseAddress(const std::string &text, int *value) {
    char *end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end != '\0' || v > kWindowLimit) return false;
    *value = static_cast<int>(v);
    return true;
}

bool samePath(const std::string &a, const std::string &b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Chooses a file through one of the update panel's load commands.
void choose(Session &s, int command, const std::string &path) {
    s.popups.files.push_back(path);
    s.operate(panelUPDATE, command);
}

} // namespace

int JobFilter(Session &s, const Args &args) {
    CommandArgs a(args, {});
    const std::string what = a.words().size() == 1 ? a.words()[0] : "";
    if (!a.error().empty() || (what != "get" && what != "send"))
        return s.usage(a.error().empty() ? "filter needs get or send" : a.error());
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    return what == "get" ? filterGet(s) : filterSend(s);
}

int JobFlash(Session &s, const Args &args) {
    CommandArgs a(args, {"--lin-a", "--lin-b", "--merged-out"}, {"--window"});
    if (!a.error().empty() || a.words().size() != 1)
        return s.usage(a.error().empty() ? "flash needs one S-record file" : a.error());
    const std::string firmware = a.words()[0];
    const bool tables = a.has("--lin-a") || a.has("--lin-b");
    int start = 0, end = 0;
    if (a.has("--window") &&
        (!parseAddress(a.value("--window"), &start) || !parseAddress(a.second("--window"), &end)))
        return s.usage("--window takes START END from 0 to 0x1FFFFFF (relative to the program memory)");
    if (!tables && (a.has("--window") || a.has("--merged-out")))
        return s.usage("--window and --merged-out need a table: --lin-a or --lin-b");
    if (a.has("--merged-out"))
        if (const std::string problem = TargetProblem(a.value("--merged-out")); !problem.empty())
            return s.usage(problem);
    // Every input must be readable, and none may be the merged file's copy.
    std::vector<std::string> inputs{firmware};
    for (const char *flag : {"--lin-a", "--lin-b"})
        if (a.has(flag)) inputs.push_back(a.value(flag));
    for (const std::string &file : inputs) {
        if (!Readable(file)) return s.usage("cannot read " + file);
        if (a.has("--merged-out") && samePath(a.value("--merged-out"), file))
            return s.usage("--merged-out must not replace " + file);
    }
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);

    choose(s, UPDATE_CMD_LOAD_FIRMWARE, firmware);
    if (!FileReady(UPDATE_LED_FIRMWARE)) return s.usage("cannot use the firmware file " + firmware);
    const std::string merged = s.scratchPath("merged.S");
    if (tables) {
        const struct {
            const char *flag;
            int use, load;
        } channels[] = {{"--lin-a", UPDATE_CHK_USE_A, UPDATE_CMD_LOAD_A},
                        {"--lin-b", UPDATE_CHK_USE_B, UPDATE_CMD_LOAD_B}};
        for (const auto &ch : channels) {
            if (!a.has(ch.flag)) continue;
            s.operate(panelUPDATE, ch.use);
            choose(s, ch.load, a.value(ch.flag));
        }
        if (a.has("--window")) {
            OperateCtrl(panelUPDATE, UPDATE_NUM_WINDOW_START, start);
            OperateCtrl(panelUPDATE, UPDATE_NUM_WINDOW_END, end);
        }
        s.popups.lastText.clear();
        s.popups.files.push_back(merged);
        s.operate(panelUPDATE, UPDATE_CMD_MERGE);
        if (!MergedFileReady())
            return s.usage("no merged file was written" +
                           (s.popups.lastText.empty() ? std::string() : ": see the message above"));
    }

    const Outcome outcome = s.click(panelUPDATE, UPDATE_CMD_PROGRAM, ProgramController);
    std::string output;
    GetCtrlVal(panelUPDATE, UPDATE_LOADER_OUTPUT, &output);
    switch (outcome.kind) {
    case OutcomeKind::Done: break;
    // A file the loader could not be given is the file's fault; everything
    // else (TCP, a busy link, no hand-over, no loader, no start) is the
    // controller's.
    case OutcomeKind::Rejected:
        return s.usage("the S-record file cannot be sent: " + firmware + " (" + outcome.reason + ")");
    case OutcomeKind::Failed:
        if (!output.empty()) std::fprintf(stderr, "%s\n", output.c_str());
        return s.ended(outcome);
    default: return s.ended(outcome);
    }
    if (a.has("--merged-out")) {
        std::error_code ec;
        std::filesystem::copy_file(merged, a.value("--merged-out"),
                                   std::filesystem::copy_options::overwrite_existing, ec);
        if (ec)
            return s.usage("the controller was programmed, but the merged file could not be written to " +
                           a.value("--merged-out") + ": " + ec.message());
    }
    if (!s.options.quiet) std::fprintf(stderr, "%s\n", output.c_str());
    std::printf("%s\n", kDownloadSucceededText);
    return EXIT_DONE;
}

} // namespace ctl
