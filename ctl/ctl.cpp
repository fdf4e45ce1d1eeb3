#include "ctl/ctl.h"

#include "ctl/session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace ctl {

namespace {

constexpr char kVersionText[] =
    "qvex-ctl " QVEX_VERSION " (Q-VEX-MOD7-ARC Scope v1.0x)\n" QVEX_COPYRIGHT "\n\n" QVEX_LICENSE_NOTE "\n";

// Laid out the way help2man reads it, so that the manual page is made from
// this text: "Usage:" lines, then "Heading:" lines over indented lists.
constexpr char kUsage[] =
    "Usage: qvex-ctl (--tcp HOST:PORT | --serial N|DEVICE) [OPTION]... COMMAND [ARGS]\n"
    "  or:  qvex-ctl COMMAND --help\n"
    "  or:  qvex-ctl --help | --version\n"
    "\n"
    "Runs one job of the Q-VEX-MOD7-ARC Scope against one controller, through the\n"
    "program's own code. Results go to stdout, progress and errors to stderr.\n"
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
    "  -h, --help          this text\n"
    "  --version           the version\n"
    "\n"
    "Exit status:\n"
    "  0    done\n"
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
        if ((a == "--tcp" || a == "--serial") && o->link != Options::NONE) {
            *error = "give one link: --tcp or --serial";
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
        } else if (!a.empty() && a[0] == '-' && o->command.empty()) {
            *error = "unknown option " + a;
            return EXIT_USAGE;
        } else {
            o->command = a;
            for (++i; i < argc; ++i) o->args.push_back(argv[i]);
            break;
        }
    }
    if (o->command.empty()) {
        *error = "no command given";
        return EXIT_USAGE;
    }
    return EXIT_DONE;
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
    return RunCommand(argc, argv, options);
}

} // namespace ctl
