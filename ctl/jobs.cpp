// The jobs of qvex-ctl. Each one operates the program's own controls in the
// order an operator would; a command's outcome is the value its click's code
// returns, whose kind gives the exit status and whose reason the result's.
#include "ctl/jobs.h"

#include "ctl/result.h"

#include "core/panels.h"
#include "core/status.h"
#include "ini/inifile.h"
#include "link/frame.h"
#include "measure/sampling.h"
#include "params/compare.h"
#include "params/parafile.h"
#include "params/record.h"
#include "params/transfer.h"
#include "recorder/report.h"
#include "ui/panels/main_ids.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ctl {

namespace {

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
// complete, also that it holds every key. A key or section that loading
// passes over (unknown, or given again) is a warning on stderr and in the
// result, or with strict a refusal. Returns "" or what is wrong with it.
std::string checkParameterFile(const std::string &path, bool complete, bool strict) {
    IniHolder ini(0);
    const int rc = Ini_ReadFromFile(ini, path.c_str());
    if (rc < 0) return "cannot read the parameter file " + path + ": " + Ini_ErrorText(rc);
    const std::vector<std::string> passedOver = UnknownOrRepeatedParaKeys(ini);
    if (strict && !passedOver.empty()) {
        std::string text;
        for (const std::string &w : passedOver) text += "\n" + Printable(w);
        return path + ": --strict refuses what loading would pass over, nothing was sent:" + text;
    }
    for (const std::string &w : passedOver) {
        Result().warnings.push_back(Printable(w));
        std::fprintf(stderr, "qvex-ctl: warning: %s: %s\n", Printable(path).c_str(), Printable(w).c_str());
    }
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
    s.progressOn();
    const Outcome outcome = s.click(panelMAIN, MAIN_BTN_GET, GetPanels);
    s.progressOff();
    return s.ended(outcome);
}

// Overlays the panels with a parameter file, as the file GET does.
int overlayFile(Session &s, const std::string &path) {
    s.operate(panelMAIN, MAIN_RADIO_FILE);
    s.popups.files.push_back(path);
    if (!s.click(panelMAIN, MAIN_BTN_GET, GetPanels).done())
        return s.usage("cannot load the parameter file " + path);
    return EXIT_DONE;
}

// ---- the jobs ---------------------------------------------------------------------------

// The text as the status line shows it: its printable characters. The
// result's JSON carries the whole text.
int jobVersion(Session &, const Args &) {
    std::printf("%s\n", szVersionShown);
    return EXIT_DONE;
}

int jobGet(Session &s, const Args &args) {
    CommandArgs a(args, {"--from", "--out"});
    const int button = memoryButton(a.value("--from"));
    if (!a.error().empty() || !button || !a.has("--out") || !a.words().empty())
        return s.usage(a.error().empty() ? "get needs --from ram|eeprom --out FILE" : a.error());
    if (const std::string problem = TargetProblem(a.value("--out")); !problem.empty()) return s.usage(problem);
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    if (int rc = getFromController(s, button)) return rc;
    s.operate(panelMAIN, MAIN_RADIO_FILE);
    s.popups.files.push_back(a.value("--out"));
    if (!s.click(panelMAIN, MAIN_BTN_SEND, SendPanels).done()) return s.usage("cannot write " + a.value("--out"));
    return EXIT_DONE;
}

// Sends the panels to RAM or EEPROM (SEND); the reason of a failure is the
// first set the controller did not store, the failed activation or the link.
int sendPanels(Session &s, int button) {
    s.operate(panelMAIN, button);
    s.progressOn();
    const Outcome outcome = s.click(panelMAIN, MAIN_BTN_SEND, SendPanels);
    s.progressOff();
    return s.ended(outcome);
}

// Reads the controller's record from RAM or EEPROM, overlays the parameter
// file and gives the fields where the two differ; the panels are left
// holding the file over the controller's record.
int readAndCompare(Session &s, int button, const std::string &file, std::vector<FieldDifference> *diffs) {
    if (int rc = getFromController(s, button)) return rc;
    unsigned short controller[PARAM_WORDS];
    std::memcpy(controller, param, sizeof controller);
    if (int rc = overlayFile(s, file)) return rc;
    *diffs = CompareRecords(controller, param);
    return EXIT_DONE;
}

void noteFields(const std::vector<FieldDifference> &diffs) {
    std::vector<ResultField> &fields = Result().fields;
    fields.clear();
    for (const FieldDifference &d : diffs) fields.push_back({d.section, d.key, d.left, d.right});
}

// A switch among the arguments (--partial, --strict): removed from them,
// and whether it was there.
bool takeSwitch(Args *args, const char *name) {
    const auto end = std::remove(args->begin(), args->end(), std::string(name));
    const bool found = end != args->end();
    args->erase(end, args->end());
    return found;
}

int jobSend(Session &s, const Args &args) {
    Args rest = args;
    const bool partial = takeSwitch(&rest, "--partial");
    const bool strict = takeSwitch(&rest, "--strict");
    CommandArgs a(rest, {"--to"});
    const int button = memoryButton(a.value("--to"));
    if (!a.error().empty() || !button || a.words().size() != 1)
        return s.usage(a.error().empty() ? "send needs --to ram|eeprom FILE" : a.error());
    const std::string file = a.words()[0];
    const std::string problem = checkParameterFile(file, !partial, strict);
    if (!problem.empty()) return s.usage(problem);
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    // The controller's own record first, overlaid as the panels' file load
    // does (see the help text for what a partial file changes).
    if (int rc = getFromController(s, button)) return rc;
    if (int rc = overlayFile(s, file)) return rc;
    return sendPanels(s, button);
}

int jobDiff(Session &s, const Args &args) {
    Args rest = args;
    const bool strict = takeSwitch(&rest, "--strict");
    CommandArgs a(rest, {"--from"});
    const int button = memoryButton(a.value("--from"));
    if (!a.error().empty() || !button || a.words().size() != 1)
        return s.usage(a.error().empty() ? "diff needs --from ram|eeprom FILE" : a.error());
    const std::string file = a.words()[0];
    const std::string problem = checkParameterFile(file, false, strict);
    if (!problem.empty()) return s.usage(problem);
    if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    std::vector<FieldDifference> diffs;
    if (int rc = readAndCompare(s, button, file, &diffs)) return rc;
    noteFields(diffs);
    for (const FieldDifference &d : diffs)
        std::printf("%s / %s / %s / %s\n", d.section.c_str(), d.key.c_str(), d.left.c_str(), d.right.c_str());
    return diffs.empty() ? EXIT_DONE : EXIT_DIFFERENT;
}

// apply's one line for people: "failed (reason)", after the reason went to
// stderr as every job's does.
int applyFailed(int rc) {
    std::printf("failed (%s)\n", Interrupted() ? "Interrupted." : Result().reason.c_str());
    return rc;
}

int jobApply(Session &s, const Args &args) {
    Args rest = args;
    const bool partial = takeSwitch(&rest, "--partial");
    const bool strict = takeSwitch(&rest, "--strict");
    CommandArgs a(rest, {"--to"});
    const int button = memoryButton(a.value("--to"));
    if (!a.error().empty() || !button || a.words().size() != 1)
        return applyFailed(s.usage(a.error().empty() ? "apply needs --to ram|eeprom FILE" : a.error()));
    const std::string file = a.words()[0];
    const std::string problem = checkParameterFile(file, !partial, strict);
    if (!problem.empty()) return applyFailed(s.usage(problem));
    if (const Outcome link = s.connect(); !link.done()) return applyFailed(s.ended(link));
    std::vector<FieldDifference> before;
    if (int rc = readAndCompare(s, button, file, &before)) return applyFailed(rc);
    noteFields(before);
    if (before.empty()) {
        Result().status = "unchanged";
        std::printf("unchanged\n");
        return EXIT_DONE;
    }
    if (int rc = sendPanels(s, button)) return applyFailed(rc);
    // What the controller took is what counts: read it back and compare again.
    std::vector<FieldDifference> after;
    if (int rc = readAndCompare(s, button, file, &after)) return applyFailed(rc);
    if (!after.empty()) {
        noteFields(after);
        return applyFailed(s.linkFailed("read back after the send, " + std::to_string(after.size()) +
                                        " fields still differ from the file"));
    }
    Result().status = "changed";
    std::printf("changed (%zu field%s)\n", before.size(), before.size() == 1 ? "" : "s");
    return EXIT_DONE;
}

// The commissioning report through the main panel's REPORT: of the record
// read from the controller, or of the panels as they stand (no link needed;
// with a link the report still names the controller).
int jobReport(Session &s, const Args &args) {
    CommandArgs a(args, {"--from", "--out", "--note"});
    const std::string from = a.value("--from"), out = a.value("--out");
    const int button = memoryButton(from);
    if (!a.error().empty() || (!button && from != "panels") || out.empty() || !a.words().empty())
        return s.usage(a.error().empty() ? "report needs --from ram|eeprom|panels --out FILE.pdf" : a.error());
    std::string ext = out.size() > 4 ? out.substr(out.size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".pdf") return s.usage("the report is a .pdf file: " + out);
    if (const std::string problem = TargetProblem(out); !problem.empty()) return s.usage(problem);
    if (s.options.link != Options::NONE)
        if (const Outcome link = s.connect(); !link.done()) return s.ended(link);
    if (button)
        if (int rc = getFromController(s, button)) return rc;
    s.popups.files.push_back(out);
    s.popups.prompts.push_back(a.value("--note"));
    const Outcome outcome = s.click(panelMAIN, MAIN_CMD_REPORT, ReportFromPanels);
    if (!outcome.done())
        return s.usage("no report written to " + out + (outcome.reason.empty() ? "" : ": " + outcome.reason));
    std::printf("%s: %d pages\n", out.c_str(), outcome.count);
    return EXIT_DONE;
}

// The one-shot sensor commands: the controller acknowledges with "OK.", and
// the job prints what the status line says then.
int oneShot(Session &s, int command) {
    const Outcome outcome = s.click(panelMAIN, command, [command] { return RunSensorCommand(command); });
    if (!outcome.done()) return s.ended(outcome);
    std::printf("%s\n", outcome.reason.c_str());
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
    // What is wrong with the input files the arguments name, found before
    // the program starts ("" when nothing is); nullptr for none.
    std::string (*inputProblem)(const Args &) = nullptr;
};

const Command kCommands[] = {
    {"version", "version", "Prints the controller's version text.", true, jobVersion},
    {"get", "get  --from ram|eeprom --out FILE",
     "Reads the parameter record from the controller's RAM or EEPROM and writes it\n"
     "as a parameter file (its name ends in .ini, as the file dialog demands).\n"
     "Nothing is written when the read fails.",
     false, jobGet},
    {"send", "send --to ram|eeprom [--partial] [--strict] FILE",
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
     "    labels, one of Minimum ON-time and OFF-time) keeps the controller's value.\n"
     "A key or section the file loading passes over (one it does not know, or one\n"
     "given again, where the first counts) is named in a warning on stderr and in\n"
     "the JSON's warnings; --strict refuses such a file instead (exit 2). diff and\n"
     "apply do the same.",
     false, jobSend},
    {"diff", "diff --from ram|eeprom [--strict] FILE",
     "Prints the fields where the controller's record and the parameter file differ,\n"
     "one per line: section / key / controller value / file value.\n"
     "Exit status 0 when they agree, 3 when they differ. A file with a value its\n"
     "panel control would not accept is refused (exit 2, each such value named).",
     false, jobDiff},
    {"apply", "apply --to ram|eeprom [--partial] [--strict] FILE",
     "Brings the controller's RAM or EEPROM to the parameter file: reads the record\n"
     "and compares it with the file, as diff does; sends (as send does) only when\n"
     "a field differs, then reads the record back and compares again. Says one of\n"
     "  unchanged              the controller already held the file's values\n"
     "  changed (N fields)     N fields were sent and read back as the file gives them\n"
     "  failed (REASON)        the link, the controller or the file failed, or the\n"
     "                         record read back still differs\n"
     "Exit status 0 unchanged or changed, 1 failed, 2 a bad file (refused as send\n"
     "refuses it, nothing sent). With --json the fields are those that differed\n"
     "(those still differing when the read-back failed).",
     false, jobApply},
    {"live", "live --count N [--out FILE.csv] [--mqtt mqtt://HOST:PORT/PREFIX [--mqtt-user U]\n"
             "       [--mqtt-password-file F] [--mqtt-cafile F] [--mqtt-queue-mb MB]]",
     "Runs N live-value cycles as RUN does, the recorder's manual type storing one\n"
     "row after every cycle. The rows go to FILE.csv (header block first, as the\n"
     "recorder writes it; an existing file is started afresh), or to stdout.\n"
     "With --mqtt every row also goes to the broker as JSON on PREFIX/live (QoS 1),\n"
     "with the retained status on PREFIX/status; mqtts:// or --mqtt-cafile uses TLS.\n"
     "With --name or an inventory the topics are PREFIX/NAME/live, PREFIX/NAME/status.\n"
     "The password comes from the file's first line or from QVEX_MQTT_PASSWORD,\n"
     "never from the command line or the URL. Messages wait in a queue file in the\n"
     "per-user data folder (at most MB, default 100) until the broker confirms them;\n"
     "what is still there at the end goes out at the next start. Messages the broker\n"
     "did not take or that still wait: exit 1.",
     false, JobLive, LiveInputProblem},
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
    {"report", "report --from ram|eeprom|panels --out FILE.pdf [--note TEXT]",
     "Writes the commissioning report (REPORT) as a PDF: the controller's version,\n"
     "the link, the program's version, the note, every parameter of the record\n"
     "read from the controller's RAM or EEPROM (or of the panels as the settings\n"
     "file leaves them: --from panels needs no link) and the analog output's\n"
     "characteristic. Prints the file's name and its number of pages.",
     false, jobReport},
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

// Jobs on a file alone: no controller, no link, no panels.
struct FileCommand {
    const char *name, *synopsis, *help;
    int (*run)(const Args &);
};

const FileCommand kFileCommands[] = {
    {"stats", "stats [--json] [--from INDEX] [--to INDEX] [--] FILE.csv",
     "Per-column statistics of a record file: count, min, max, mean and the sample\n"
     "standard deviation (n - 1), one line a column (to the column's own decimals,\n"
     "three more for mean and std), or with --json one object, figures exact:\n"
     "{\"file\", \"file_bytes\" (the name as on disk, percent-encoded), \"rows\",\n"
     "\"rows_in_range\", \"from\", \"to\", \"sections\",\n"
     "\"damaged_lines\": [{\"line\", \"reason\"}], \"columns\": {\"RESULT A\": {\"count\",\n"
     "\"min\", \"min_index\", \"min_time\", \"max\", \"max_index\", \"max_time\", \"mean\",\n"
     "\"std\"}, ...}}.\n"
     "INDEX counts the file's rows from 0; --from and --to take a range of them\n"
     "(both ends included). Damaged lines are skipped and named on stderr (the first\n"
     "1000 in damaged_lines; \"damaged_lines_not_listed\" counts any more). Needs no\n"
     "link option. Exit 2, naming the line, when the file is unreadable, empty or\n"
     "not a record file.",
     JobStats},
};

const Command *findCommand(const std::string &name) {
    for (const Command &c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

// A report of the panels needs no controller.
bool worksWithoutLink(const Options &o) {
    const auto from = std::find(o.args.begin(), o.args.end(), "--from");
    return o.command == "report" && from != o.args.end() && from + 1 != o.args.end() && from[1] == "panels";
}

} // namespace

CommandArgs::CommandArgs(const Args &args, std::initializer_list<const char *> flags,
                         std::initializer_list<const char *> pairFlags) {
    // Latin-1 maps every byte to one character and back: a file name that is
    // not UTF-8 passes the parser unchanged.
    auto text = [](const std::string &s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); };
    auto bytes = [](const QString &s) { return s.toLatin1().toStdString(); };
    QStringList arguments{"qvex-ctl"};
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--") options = false;
        const bool pair = options && std::any_of(pairFlags.begin(), pairFlags.end(), [&](const char *f) { return a == f; });
        if (!pair) {
            arguments << text(a);
            continue;
        }
        if (i + 2 >= args.size()) {
            if (error_.empty()) error_ = a + " needs two values";
            break;
        }
        if (values_.count(a) != 0 && error_.empty()) error_ = a + " given twice";
        values_[a] = args[i + 1];
        second_[a] = args[i + 2];
        i += 2;
    }
    QCommandLineParser parser;
    QList<QCommandLineOption> known;
    for (const char *flag : flags) known.append(QCommandLineOption(QString::fromLatin1(flag + 2), "", "VALUE"));
    parser.addOptions(known);
    if (!parser.parse(arguments)) {
        if (error_.empty()) error_ = bytes(parser.errorText());
        return;
    }
    std::set<QString> seen;
    for (const QString &name : parser.optionNames())
        if (!seen.insert(name).second && error_.empty()) error_ = "--" + bytes(name) + " given twice";
    for (const QCommandLineOption &option : known)
        if (parser.isSet(option)) values_["--" + bytes(option.names().front())] = bytes(parser.value(option));
    for (const QString &word : parser.positionalArguments()) words_.push_back(bytes(word));
}

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
    for (const FileCommand &c : kFileCommands) list += std::string("  ") + c.synopsis + " (no link)\n";
    std::vector<char> out(std::strlen(usage) + list.size() + 1);
    std::snprintf(out.data(), out.size(), usage, list.c_str());
    return out.data();
}

namespace {

// A usage problem found before the program starts: on stderr, and the reason
// of the result.
int refuse(const std::string &text) {
    Result().reason = text;
    std::fprintf(stderr, "qvex-ctl: %s\n", text.c_str());
    return EXIT_USAGE;
}

int runJob(int argc, char **argv, const Options &options, const Command &command) {
    if (options.link == Options::NONE && !worksWithoutLink(options))
        return refuse("say which controller: --tcp HOST:PORT or --serial N|DEVICE");
    // The jobs that open the link first have no arguments of their own.
    if (command.connectFirst && !options.args.empty())
        return refuse(std::string(command.name) + " takes no arguments (qvex-ctl " + command.name +
                      " --help tells more)");
    if (command.inputProblem)
        if (const std::string problem = command.inputProblem(options.args); !problem.empty()) return refuse(problem);
    Session session(options);
    if (!session.start(argc, argv)) return Interrupted() ? ReportInterrupted() : EXIT_USAGE;
    int rc = EXIT_DONE;
    const Outcome link = command.connectFirst ? session.connect() : Outcome::Done();
    if (!link.done()) rc = session.ended(link);
    else rc = command.run(session, options.args);
    return Interrupted() ? ReportInterrupted() : rc;
}

// The files a job may write: the targets of its --out and --merged-out (the
// recorder's jobs add .csv to a name without it), each with what stood
// under its name before the job.
struct Target {
    std::string path;
    bool existed = false;
    struct stat before {};
};

std::vector<Target> targetsOf(const Args &args) {
    std::vector<Target> targets;
    bool options = true;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--") options = false;
        if (!options || (args[i] != "--out" && args[i] != "--merged-out")) continue;
        for (const std::string &file : {args[i + 1], args[i + 1] + ".csv"}) {
            Target t;
            t.path = file;
            t.existed = ::stat(file.c_str(), &t.before) == 0;
            targets.push_back(t);
        }
    }
    return targets;
}

// The files the job wrote, whatever its end: a regular file that is new, or
// that changed, under its own name (a failed or interrupted recording keeps
// its rows, and says so). The names are the bytes the user gave.
void noteWrittenFiles(const std::vector<Target> &targets, JobResult *result) {
    for (const Target &t : targets) {
        struct stat now {};
        if (::stat(t.path.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) continue;
        const bool changed = !t.existed || now.st_ino != t.before.st_ino || now.st_size != t.before.st_size ||
                             now.st_mtim.tv_sec != t.before.st_mtim.tv_sec ||
                             now.st_mtim.tv_nsec != t.before.st_mtim.tv_nsec;
        if (changed && std::find(result->files.begin(), result->files.end(), t.path) == result->files.end())
            result->files.push_back(t.path);
    }
}

} // namespace

int RunCommand(int argc, char **argv, const Options &options) {
    // The file commands answer for themselves, --json included.
    for (const FileCommand &c : kFileCommands) {
        if (options.command != c.name) continue;
        if (std::find(options.args.begin(), options.args.end(), "--help") != options.args.end()) {
            std::printf("usage: qvex-ctl %s\n\n%s\n", c.synopsis, c.help);
            return EXIT_DONE;
        }
        Args args = options.args;
        if (options.json) args.push_back("--json");
        return c.run(args);
    }
    JobResult &result = Result();
    result.link = Printable(LinkText(options));
    result.name = options.name.empty() ? result.link : Printable(options.name);
    result.command = Printable(options.command);
    const Command *command = findCommand(options.command);
    if (command && std::find(options.args.begin(), options.args.end(), "--help") != options.args.end()) {
        std::printf("usage: qvex-ctl [link options] %s\n\n%s\n", command->synopsis, command->help);
        return EXIT_DONE;
    }
    QElapsedTimer clock;
    clock.start();
    // With --json, stdout carries only the result; what the job prints for
    // people goes to stderr, where nothing of it is lost.
    int savedStdout = -1;
    if (options.json) {
        std::fflush(stdout);
        savedStdout = ::dup(STDOUT_FILENO);
        if (savedStdout >= 0) ::dup2(STDERR_FILENO, STDOUT_FILENO);
    }
    const std::vector<Target> targets = targetsOf(options.args);
    const int rc = command ? runJob(argc, argv, options, *command)
                           : refuse("unknown command " + result.command + " (qvex-ctl --help lists them)");
    if (!options.json) return rc;
    std::fflush(stdout);
    if (savedStdout >= 0) {
        ::dup2(savedStdout, STDOUT_FILENO);
        ::close(savedStdout);
    }
    result.exit = rc;
    // A job ended by SIGINT or SIGTERM failed because of that, whatever the
    // closed link made of its last step.
    if (rc == kExitInterrupted) result.reason = "Interrupted.";
    noteWrittenFiles(targets, &result);
    result.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    SettleStatus(&result);
    std::printf("%s\n", ToJsonLine(result).c_str());
    std::fflush(stdout);
    return rc;
}

} // namespace ctl
