// The jobs of qvex-ctl. Each one operates the program's own controls in the
// order an operator would and judges the outcome by what the program says.
#include "ctl/jobs.h"

#include "core/panels.h"
#include "core/status.h"
#include "ini/inifile.h"
#include "link/frame.h"
#include "measure/sampling.h"
#include "params/compare.h"
#include "params/parafile.h"
#include "params/record.h"
#include "params/transfer.h"
#include "ui/panels/main_ids.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace ctl {

namespace {

// Every text the status line showed during the current job.
std::vector<std::string> g_statusLog;
void keepStatus(const char *text) {
    g_statusLog.emplace_back(text ? text : "");
}
bool contains(const std::string &s, const char *part) { return s.find(part) != std::string::npos; }

// RAM or EEPROM from --from / --to; the memory radio button to press.
int memoryButton(const std::string &place) {
    if (place == "ram") return MAIN_RADIO_RAM;
    if (place == "eeprom") return MAIN_RADIO_EEPROM;
    return 0;
}

// Keys of a partial file the refusal names before it gives their count.
constexpr std::size_t kMissingNamed = 5;

// Checks, before the controller is touched, that a parameter file can be
// read, holds parameters and every value in it would be taken; with
// complete, also that it holds every key. Returns "" or what is wrong with it.
std::string checkParameterFile(const std::string &path, bool complete) {
    IniHolder ini(0);
    const int rc = Ini_ReadFromFile(ini, path.c_str());
    if (rc < 0) return "cannot read the parameter file " + path + ": " + Ini_ErrorText(rc);
    unsigned short scratch[PARAM_WORDS] = {};
    std::vector<RefusedParaValue> refused;
    if (GetParaSections(ini, scratch, &refused) != 1) return path + " holds no parameter section";
    if (!refused.empty())
        return path + ": these values would not be taken, nothing was sent:\n" +
               RefusedParaValuesText(refused, refused.size());
    if (!complete) return "";
    const std::vector<std::string> missing = MissingParaKeys(ini);
    if (missing.empty()) return "";
    std::string named;
    for (std::size_t i = 0; i < missing.size() && i < kMissingNamed; ++i) named += (i ? ", " : "") + missing[i];
    if (missing.size() > kMissingNamed) named += ", ...";
    return path + " lacks " + std::to_string(missing.size()) + " keys of a complete parameter file (" + named +
           "); nothing was sent. --partial sends it all the same (send --help says what that does)";
}

// Reads the controller's record from RAM or EEPROM onto the panels (GET).
int getFromController(Session &s, int button) {
    s.operate(panelMAIN, button);
    StatusLog().clear();
    s.progressOn();
    s.operate(panelMAIN, MAIN_BTN_GET);
    s.progressOff();
    if (!LastTransferDone()) return s.linkFailed();
    return EXIT_DONE;
}

// Overlays the panels with a parameter file, as the file GET does.
int overlayFile(Session &s, const std::string &path) {
    s.operate(panelMAIN, MAIN_RADIO_FILE);
    s.popups.files.push_back(path);
    s.operate(panelMAIN, MAIN_BTN_GET);
    if (!LastTransferDone()) return s.usage("cannot load the parameter file " + path);
    return EXIT_DONE;
}

// ---- the jobs ---------------------------------------------------------------------------

int jobVersion(Session &s, const Args &) {
    std::printf("%s\n", s.status().c_str());
    return EXIT_DONE;
}

int jobGet(Session &s, const Args &args) {
    CommandArgs a(args, {"--from", "--out"});
    const int button = memoryButton(a.value("--from"));
    if (!a.error().empty() || !button || !a.has("--out") || !a.words().empty())
        return s.usage(a.error().empty() ? "get needs --from ram|eeprom --out FILE" : a.error());
    if (const std::string problem = TargetProblem(a.value("--out")); !problem.empty()) return s.usage(problem);
    if (!s.connect()) return s.linkFailed();
    if (int rc = getFromController(s, button)) return rc;
    s.operate(panelMAIN, MAIN_RADIO_FILE);
    s.popups.files.push_back(a.value("--out"));
    s.operate(panelMAIN, MAIN_BTN_SEND);
    if (!LastTransferDone()) return s.usage("cannot write " + a.value("--out"));
    return EXIT_DONE;
}

int jobSend(Session &s, const Args &args) {
    // --partial is a switch without a value.
    Args rest;
    std::remove_copy(args.begin(), args.end(), std::back_inserter(rest), std::string("--partial"));
    const bool partial = rest.size() != args.size();
    CommandArgs a(rest, {"--to"});
    const int button = memoryButton(a.value("--to"));
    if (!a.error().empty() || !button || a.words().size() != 1)
        return s.usage(a.error().empty() ? "send needs --to ram|eeprom FILE" : a.error());
    const std::string file = a.words()[0];
    const std::string problem = checkParameterFile(file, !partial);
    if (!problem.empty()) return s.usage(problem);
    if (!s.connect()) return s.linkFailed();
    // The controller's own record first, overlaid as the panels' file load
    // does (see the help text for what a partial file changes).
    if (int rc = getFromController(s, button)) return rc;
    if (int rc = overlayFile(s, file)) return rc;
    s.operate(panelMAIN, button);
    StatusLog().clear();
    s.progressOn();
    s.operate(panelMAIN, MAIN_BTN_SEND);
    s.progressOff();
    if (LastTransferDone()) return EXIT_DONE;
    // The reason: the first set the controller did not store, else the end.
    for (const std::string &line : StatusLog())
        if (contains(line, "storing to sensor failed")) return s.linkFailed(line);
    return s.linkFailed();
}

int jobDiff(Session &s, const Args &args) {
    CommandArgs a(args, {"--from"});
    const int button = memoryButton(a.value("--from"));
    if (!a.error().empty() || !button || a.words().size() != 1)
        return s.usage(a.error().empty() ? "diff needs --from ram|eeprom FILE" : a.error());
    const std::string file = a.words()[0];
    const std::string problem = checkParameterFile(file, false);
    if (!problem.empty()) return s.usage(problem);
    if (!s.connect()) return s.linkFailed();
    if (int rc = getFromController(s, button)) return rc;
    unsigned short controller[PARAM_WORDS];
    std::memcpy(controller, param, sizeof controller);
    if (int rc = overlayFile(s, file)) return rc;
    const std::vector<FieldDifference> diffs = CompareRecords(controller, param);
    for (const FieldDifference &d : diffs)
        std::printf("%s / %s / %s / %s\n", d.section.c_str(), d.key.c_str(), d.left.c_str(), d.right.c_str());
    return diffs.empty() ? EXIT_DONE : EXIT_DIFFERENT;
}

// The one-shot sensor commands: the controller acknowledges with "OK.".
int oneShot(Session &s, int command) {
    StatusLog().clear();
    s.operate(panelMAIN, command);
    if (!LastSensorCommandDone()) return s.linkFailed();
    std::printf("%s\n", s.status().c_str());
    return EXIT_DONE;
}
int jobTrigger(Session &s, const Args &) { return oneShot(s, MAIN_CMD_TRIGGER); }
int jobReset(Session &s, const Args &) { return oneShot(s, MAIN_CMD_RESET); }
int jobTeach(Session &s, const Args &) { return oneShot(s, MAIN_CMD_TEACH); }
int jobStopSampling(Session &s, const Args &) { return oneShot(s, MAIN_CMD_STOP_SAMPLING); }
int jobRestartSampling(Session &s, const Args &) { return oneShot(s, MAIN_CMD_RESTART_SAMPLING); }

struct Command {
    const char *name;
    const char *synopsis;
    const char *help;
    bool connectFirst; // the job opens the link itself when false
    int (*run)(Session &, const Args &);
};

const Command kCommands[] = {
    {"version", "version", "Prints the controller's version text.", true, jobVersion},
    {"get", "get  --from ram|eeprom --out FILE",
     "Reads the parameter record from the controller's RAM or EEPROM and writes it\n"
     "as a parameter file (its name ends in .ini, as the file dialog demands).\n"
     "Nothing is written when the read fails.",
     false, jobGet},
    {"send", "send --to ram|eeprom [--partial] FILE",
     "Reads the controller's record from RAM or EEPROM, overlays the parameter file\n"
     "as the panels' file load does, and sends the result there.\n"
     "A file with a value its panel control would not accept (out of range, not a\n"
     "number, not True or False, a label the list lacks) is refused: exit 2, each\n"
     "such value named, nothing sent.\n"
     "A file that lacks any key a complete parameter file holds is refused too,\n"
     "unless --partial is given. A partial file changes more than its keys:\n"
     "  - every event mask and condition group (the sections RESET, RECORD, START\n"
     "    and STOPP TIMER, RESET NORM BASE, ... CONDITION, ... COMBINATION) is\n"
     "    built from all conditions clear, so a missing condition key, or a whole\n"
     "    missing section, clears those conditions on the controller;\n"
     "  - Input IN1 usage, Teach target, Usage of Poti and Usage of Button are\n"
     "    built from 0: a missing one sets its byte to 0;\n"
     "  - Working Mode without Timing Source clears the timing source;\n"
     "  - every other missing key (numbers, reals, Normalisation, the other\n"
     "    labels, one of Minimum ON-time and OFF-time) keeps the controller's value.",
     false, jobSend},
    {"diff", "diff --from ram|eeprom FILE",
     "Prints the fields where the controller's record and the parameter file differ,\n"
     "one per line: section / key / controller value / file value.\n"
     "Exit status 0 when they agree, 3 when they differ. A file with a value its\n"
     "panel control would not accept is refused (exit 2, each such value named).",
     false, jobDiff},
    {"live", "live --count N [--out FILE.csv] [--mqtt mqtt://HOST:PORT/PREFIX [--mqtt-user U]\n"
             "       [--mqtt-password-file F] [--mqtt-cafile F]]",
     "Runs N live-value cycles as RUN does, the recorder's manual type storing one\n"
     "row after every cycle. The rows go to FILE.csv (header block first, as the\n"
     "recorder writes it; an existing file is started afresh), or to stdout.\n"
     "With --mqtt every row also goes to the broker as JSON on PREFIX/live (QoS 1),\n"
     "with the retained status on PREFIX/status; mqtts:// or --mqtt-cafile uses TLS.\n"
     "The password comes from the file's first line or from QVEX_MQTT_PASSWORD,\n"
     "never from the command line. Messages the broker did not take: exit 1.",
     false, JobLive},
    {"record", "record --rows N --interval SECONDS --out FILE.csv",
     "An automatic recording run through the recorder panel: N data sets, one every\n"
     "SECONDS (0 ... 86400, to a tenth), into FILE.csv, started afresh. The file is\n"
     "the recorder's own: header block, rows, closing lines. A run that fails keeps\n"
     "the rows written, without the closing lines.",
     false, JobRecord},
    {"capture", "capture --out FILE.csv",
     "Captures the controller's last triggered curves of both channels (CAPTURE\n"
     "GRAPH): FILE.csv, started afresh, gets the recorder's header block and the\n"
     "graph section with 512 samples.",
     false, JobCapture},
    {"trigger", "trigger", "Acquires the normalisation base (TRIGGER).", true, jobTrigger},
    {"reset", "reset", "Resets the controller's data (RESET).", true, jobReset},
    {"teach", "teach", "Teaches the references and reads the taught record back (TEACH).", true, jobTeach},
    {"stop-sampling", "stop-sampling", "Stops the controller's sampling.", true, jobStopSampling},
    {"restart-sampling", "restart-sampling", "Restarts the controller's sampling.", true, jobRestartSampling},
    {"filter", "filter get | filter send",
     "get: reads the four filter settings (GET FILTER) and prints them, one line a\n"
     "filter: \"filter N: SETTING\" or \"filter N: off\".\n"
     "send: writes the filter memory as SEND FILTER does.",
     false, JobFilter},
    {"flash", "flash FILE.S [--lin-a A.dat] [--lin-b B.dat] [--window START END] [--merged-out FILE.S]",
     "Downloads the firmware in FILE.S through the controller's loader (serial links\n"
     "only). With --lin-a and/or --lin-b the tables are merged into the firmware\n"
     "first, into the window START END (hex with 0x, relative to the program\n"
     "memory; default: the update panel's), and the merged file is downloaded;\n"
     "--merged-out keeps a copy of it once the download succeeded.",
     false, JobFlash},
};

const Command *findCommand(const std::string &name) {
    for (const Command &c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

} // namespace

std::vector<std::string> &StatusLog() { return g_statusLog; }
bool StartsWith(const std::string &s, const std::string &head) { return s.compare(0, head.size(), head) == 0; }
bool Readable(const std::string &path) {
    std::string problem;
    const int fd = OpenPlainFile(path, &problem);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::string FormatUsage(const char *usage) {
    std::string list;
    for (const Command &c : kCommands) list += std::string("  ") + c.synopsis + "\n";
    std::vector<char> out(std::strlen(usage) + list.size() + 1);
    std::snprintf(out.data(), out.size(), usage, list.c_str());
    return out.data();
}

int RunCommand(int argc, char **argv, const Options &options) {
    const Command *command = findCommand(options.command);
    if (!command) {
        std::fprintf(stderr, "qvex-ctl: unknown command %s (qvex-ctl --help lists them)\n", options.command.c_str());
        return EXIT_USAGE;
    }
    if (std::find(options.args.begin(), options.args.end(), "--help") != options.args.end()) {
        std::printf("usage: qvex-ctl [link options] %s\n\n%s\n", command->synopsis, command->help);
        return EXIT_DONE;
    }
    if (options.link == Options::NONE) {
        std::fprintf(stderr, "qvex-ctl: say which controller: --tcp HOST:PORT or --serial N|DEVICE\n");
        return EXIT_USAGE;
    }
    // The jobs that open the link first have no arguments of their own.
    if (command->connectFirst && !options.args.empty()) {
        std::fprintf(stderr, "qvex-ctl: %s takes no arguments (qvex-ctl %s --help tells more)\n", command->name,
                     command->name);
        return EXIT_USAGE;
    }
    Session session(options);
    if (!session.start(argc, argv)) return Interrupted() ? ReportInterrupted() : EXIT_USAGE;
    SetStatusObserver(keepStatus);
    int rc = EXIT_DONE;
    if (command->connectFirst && !session.connect()) rc = session.linkFailed();
    else rc = command->run(session, options.args);
    SetStatusObserver(nullptr);
    return Interrupted() ? ReportInterrupted() : rc;
}

} // namespace ctl
