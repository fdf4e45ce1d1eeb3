#include "ctl/ctl.h"

#include "ctl/fleet.h"
#include "ctl/session.h"
#include "journal/journal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace ctl {

namespace {

constexpr int kMaxJobs = 256;
constexpr int kMaxTimeout = 7 * 24 * 3600;

constexpr char kVersionText[] =
    "qvex-ctl " QVEX_VERSION " (Q-VEX-MOD7-ARC Scope v1.0x)\n" QVEX_COPYRIGHT "\n\n" QVEX_LICENSE_NOTE "\n";

// Laid out the way help2man reads it, so that the manual page is made from
// this text: "Usage:" lines, then "Heading:" lines over indented lists.
constexpr char kUsage[] =
    "Usage: qvex-ctl (--tcp HOST:PORT | --serial N|DEVICE) [OPTION]... COMMAND [ARGS]\n"
    "  or:  qvex-ctl --inventory FILE [OPTION]... COMMAND [ARGS]\n"
    "  or:  qvex-ctl COMMAND --help\n"
    "  or:  qvex-ctl --help | --version\n"
    "\n"
    "Runs one job of the Q-VEX-MOD7-ARC Scope against one controller (or each of an\n"
    "inventory), through the program's own code. Results go to stdout, progress\n"
    "and errors to stderr.\n"
    "\n"
    "Commands (qvex-ctl COMMAND --help tells more):\n"
    "%s"
    "\n"
    "Options:\n"
    "  --tcp HOST:PORT     the controller's TCP server\n"
    "  --serial N|DEVICE   serial port number as the connection dialog counts it\n"
    "                      (see [SERIAL PORTS] in --settings), or a device path\n"
    "  --baud RATE         9600, 19200 (default), 38400, 57600 or 115200\n"
    "  -q, --quiet         no progress on stderr\n"
    "  --settings FILE     read [SERIAL PORTS] from this settings file\n"
    "  --json              results as JSON, one object per controller and line on\n"
    "                      stdout (the text a command prints for people goes to\n"
    "                      stderr):\n"
    "                      {\"name\", \"link\", \"command\", \"status\": \"ok\" | \"unchanged\"\n"
    "                      | \"changed\" | \"differs\" | \"failed\", \"exit\", \"reason\",\n"
    "                      \"fields\": [{\"section\", \"key\", \"controller\", \"file\"}],\n"
    "                      \"version\", \"files\": [...], \"seconds\"}; reason and version\n"
    "                      are null when there is none. Without --inventory the\n"
    "                      name is the link. --json may also follow the command.\n"
    "  --name NAME         the controller's name in the JSON results\n"
    "  --journal URL       the parameter journal: a file (SQLite) or\n"
    "                      postgresql://USER@HOST:PORT/DB (password from\n"
    "                      QVEX_JOURNAL_PASSWORD); default: [JOURNAL] of --settings,\n"
    "                      else the per-user journal the program keeps\n"
    "  -h, --help          this text\n"
    "  --version           the version\n"
    "\n"
    "Many controllers:\n"
    "  --inventory FILE    runs the command for every controller of FILE, each in a\n"
    "                      process of its own; one section a controller:\n"
    "                        [line-1]\n"
    "                        tcp = 127.0.0.1:10001\n"
    "                        [line-2]\n"
    "                        serial = /dev/ttyUSB0     (or a port number)\n"
    "                        baud = 115200             (default 19200)\n"
    "                      text output comes as \"NAME: line\" once a controller is done\n"
    "  --limit NAME,...    only these controllers of the inventory\n"
    "  --jobs N            at most N controllers at once (default 4, 1 ... 256);\n"
    "                      never two at once on one serial device\n"
    "  --timeout S         a controller not done after S seconds is stopped and\n"
    "                      reported failed (default none: a recording may take\n"
    "                      hours, and a controller that stops answering fails\n"
    "                      on its own after the link's retries)\n"
    "  --out-dir DIR       files go to DIR/NAME.ini (get) or DIR/NAME.csv (live,\n"
    "                      record, capture) instead of --out; DIR is created\n"
    "                      the exit status is the worst of the controllers': 130,\n"
    "                      then 2, then 1, then 3, then 0\n"
    "\n"
    "Exit status:\n"
    "  0    done (apply: unchanged or changed)\n"
    "  1    the job failed while it ran (the controller, the link, or a file that\n"
    "       stopped taking what was written: a full disk, ulimit -f)\n"
    "  2    usage or a bad file (only regular files are read or written)\n"
    "  3    diff found differences\n"
    "  130  SIGINT or SIGTERM ended the job (\"Interrupted.\" on stderr; a record\n"
    "       file keeps its complete rows and says the run was interrupted)\n";

bool parseInt(const std::string &text, int *value) {
    if (text.empty()) return false;
    char *end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || v > 1000000000L) return false;
    *value = static_cast<int>(v);
    return true;
}

} // namespace

int ParseCommandLine(int argc, char **argv, Options *o, std::string *text, std::string *error) {
    int i = 1;
    std::set<std::string> seen;
    auto value = [&](const char *flag, std::string *out) {
        if (i + 1 >= argc) {
            *error = std::string(flag) + " needs a value";
            return false;
        }
        *out = argv[++i];
        return true;
    };
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            *text = FormatUsage(kUsage);
            return -1;
        }
        if (a == "--version") {
            *text = kVersionText;
            return -1;
        }
        // An option given twice, or both links, would leave one of them
        // silently unused.
        const std::string name = a == "-q" ? "--quiet" : a;
        if (name.size() > 2 && name.compare(0, 2, "--") == 0 && !seen.insert(name).second) {
            *error = name + " given twice";
            return EXIT_USAGE;
        }
        if ((a == "--tcp" || a == "--serial") && (o->link != Options::NONE || !o->inventory.empty())) {
            *error = o->inventory.empty() ? "give one link: --tcp or --serial"
                                          : "give the controllers either with --inventory or with --tcp / --serial";
            return EXIT_USAGE;
        }
        if (a == "--quiet" || a == "-q") {
            o->quiet = true;
        } else if (a == "--tcp") {
            std::string v;
            if (!value("--tcp", &v)) return EXIT_USAGE;
            const std::size_t colon = v.rfind(':');
            if (colon == std::string::npos || colon == 0 || !parseInt(v.substr(colon + 1), &o->tcpPort) ||
                o->tcpPort < 1 || o->tcpPort > 65535) {
                *error = "--tcp takes HOST:PORT, e.g. 127.0.0.1:10001";
                return EXIT_USAGE;
            }
            o->host = v.substr(0, colon);
            o->link = Options::TCP;
        } else if (a == "--serial") {
            std::string v;
            if (!value("--serial", &v)) return EXIT_USAGE;
            o->link = Options::SERIAL;
            if (!v.empty() && v[0] == '/') {
                o->serialDevice = v;
            } else if (!parseInt(v, &o->serialPort) || o->serialPort < 1 || o->serialPort > 255) {
                *error = "--serial takes a port number 1 ... 255 or a device path";
                return EXIT_USAGE;
            }
        } else if (a == "--baud") {
            std::string v;
            if (!value("--baud", &v)) return EXIT_USAGE;
            if (!parseInt(v, &o->baud) || BaudIndex(o->baud) < 0) {
                *error = "--baud takes 9600, 19200, 38400, 57600 or 115200";
                return EXIT_USAGE;
            }
        } else if (a == "--settings") {
            if (!value("--settings", &o->settingsFile)) return EXIT_USAGE;
        } else if (a == "--journal") {
            if (!value("--journal", &o->journal)) return EXIT_USAGE;
        } else if (a == "--json") {
            o->json = true;
        } else if (a == "--name") {
            if (!value("--name", &o->name)) return EXIT_USAGE;
        } else if (a == "--inventory") {
            if (o->link != Options::NONE) {
                *error = "give the controllers either with --inventory or with --tcp / --serial";
                return EXIT_USAGE;
            }
            if (!value("--inventory", &o->inventory)) return EXIT_USAGE;
        } else if (a == "--limit") {
            std::string v;
            if (!value("--limit", &v)) return EXIT_USAGE;
            for (std::size_t start = 0; start <= v.size();) {
                const std::size_t comma = std::min(v.find(',', start), v.size());
                if (comma > start) o->limit.push_back(v.substr(start, comma - start));
                start = comma + 1;
            }
            if (o->limit.empty()) {
                *error = "--limit takes controller names: NAME,NAME,...";
                return EXIT_USAGE;
            }
        } else if (a == "--jobs") {
            std::string v;
            if (!value("--jobs", &v)) return EXIT_USAGE;
            if (!parseInt(v, &o->jobs) || o->jobs < 1 || o->jobs > kMaxJobs) {
                *error = "--jobs takes a number 1 ... " + std::to_string(kMaxJobs);
                return EXIT_USAGE;
            }
        } else if (a == "--timeout") {
            std::string v;
            if (!value("--timeout", &v)) return EXIT_USAGE;
            if (!parseInt(v, &o->timeoutSeconds) || o->timeoutSeconds < 1 || o->timeoutSeconds > kMaxTimeout) {
                *error = "--timeout takes seconds 1 ... " + std::to_string(kMaxTimeout);
                return EXIT_USAGE;
            }
        } else if (a == "--out-dir") {
            if (!value("--out-dir", &o->outDir)) return EXIT_USAGE;
        } else if (!a.empty() && a[0] == '-' && o->command.empty()) {
            *error = "unknown option " + a;
            return EXIT_USAGE;
        } else {
            o->command = a;
            // --json after the command is the same switch.
            for (++i; i < argc; ++i) {
                if (std::strcmp(argv[i], "--json") == 0) o->json = true;
                else o->args.push_back(argv[i]);
            }
            break;
        }
    }
    if (o->command.empty()) {
        *error = "no command given";
        return EXIT_USAGE;
    }
    if (!o->inventory.empty() && seen.count("--name")) {
        *error = "--name names one controller; an inventory names its own";
        return EXIT_USAGE;
    }
    if (o->inventory.empty()) {
        for (const char *flag : {"--limit", "--jobs", "--timeout", "--out-dir"})
            if (seen.count(flag)) {
                *error = std::string(flag) + " goes with --inventory";
                return EXIT_USAGE;
            }
    }
    return EXIT_DONE;
}

std::string LinkText(const Options &o) {
    if (o.link == Options::TCP) return o.host + ":" + std::to_string(o.tcpPort);
    if (o.link == Options::SERIAL) return o.serialDevice.empty() ? std::to_string(o.serialPort) : o.serialDevice;
    return "";
}

int Main(int argc, char **argv) {
    Options options;
    std::string text, error;
    const int rc = ParseCommandLine(argc, argv, &options, &text, &error);
    if (rc < 0) {
        std::fputs(text.c_str(), stdout);
        return EXIT_DONE;
    }
    if (rc != EXIT_DONE) {
        std::fprintf(stderr, "qvex-ctl: %s (qvex-ctl --help tells more)\n", error.c_str());
        return rc;
    }
    // The journal's place reaches the processes of a fleet run too, and the
    // journal commands, which read no settings file of their own.
    if (options.journal.empty() && !options.settingsFile.empty() && !std::getenv("QVEX_JOURNAL")) {
        const JournalSettings chosen = JournalSettingsFrom(options.settingsFile);
        if (chosen.url != DefaultJournalUrl()) options.journal = chosen.url;
        if (!chosen.password.empty()) ::setenv("QVEX_JOURNAL_PASSWORD", chosen.password.c_str(), 0);
    }
    if (!options.journal.empty()) ::setenv("QVEX_JOURNAL", options.journal.c_str(), 1);
    const bool help = std::find(options.args.begin(), options.args.end(), "--help") != options.args.end();
    if (!options.inventory.empty() && !help) return RunFleet(argc, argv, options);
    return RunCommand(argc, argv, options);
}

} // namespace ctl
