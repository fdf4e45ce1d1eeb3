#include "ctl/ctl.h"

#include "ctl/fleet.h"
#include "ctl/session.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

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
    "                      \"version\", \"files\": [...], \"files_bytes\": [...],\n"
    "                      \"warnings\": [...], \"seconds\"}; reason and version\n"
    "                      are null when there is none. Texts are UTF-8: a byte\n"
    "                      that is not becomes U+FFFD, and files_bytes gives\n"
    "                      each file's name as on disk, percent-encoded. Without\n"
    "                      --inventory the name is the link. --json may also\n"
    "                      follow the command (once in all).\n"
    "  --name NAME         the controller's name in the JSON results\n"
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
    "                      never two at once on one device (a serial device,\n"
    "                      or one TCP host and port under several names)\n"
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

const char kTcpForm[] = "takes HOST:PORT with a port 1 ... 65535, e.g. 127.0.0.1:10001";
const char kSerialForm[] = "takes a port number 1 ... 255 or a device path";
const char kBaudForm[] = "takes 9600, 19200, 38400, 57600 or 115200";

bool ParseTcpLink(const std::string &text, std::string *host, int *port) {
    const std::size_t colon = text.rfind(':');
    int p = 0;
    if (colon == std::string::npos || colon == 0 || !parseInt(text.substr(colon + 1), &p) || p < 1 || p > 65535)
        return false;
    *host = text.substr(0, colon);
    *port = p;
    return true;
}

bool ParseSerialLink(const std::string &text, int *port, std::string *device) {
    if (!text.empty() && text[0] == '/') {
        *device = text;
        return true;
    }
    int p = 0;
    if (!parseInt(text, &p) || p < 1 || p > 255) return false;
    *port = p;
    return true;
}

int ParseCommandLine(int argc, char **argv, Options *o, std::string *text, std::string *error) {
    // Latin-1 maps every byte to one character and back: a file name that is
    // not UTF-8 passes the parser unchanged.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLatin1(argv[i]);
    auto bytes = [](const QString &s) { return s.toLatin1().toStdString(); };

    QCommandLineParser parser;
    // The first word that is not an option is the command; what follows is
    // the command's own (--json there is looked for below).
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringList{"h", "help"}), version("version"), quiet(QStringList{"q", "quiet"}),
        json("json");
    const QCommandLineOption tcp("tcp", "", "HOST:PORT"), serial("serial", "", "N|DEVICE"), baud("baud", "", "RATE"),
        settings("settings", "", "FILE"), name("name", "", "NAME"), inventory("inventory", "", "FILE"),
        limit("limit", "", "NAME,..."), jobs("jobs", "", "N"), timeout("timeout", "", "S"), outDir("out-dir", "", "DIR");
    parser.addOptions({help, version, quiet, json, tcp, serial, baud, settings, name, inventory, limit, jobs, timeout,
                       outDir});
    if (!parser.parse(arguments)) {
        *error = Printable(bytes(parser.errorText()));
        return EXIT_USAGE;
    }
    if (parser.isSet(help)) {
        *text = FormatUsage(kUsage);
        return -1;
    }
    if (parser.isSet(version)) {
        *text = kVersionText;
        return -1;
    }
    // An option given twice, or both links, would leave one of them
    // silently unused.
    std::set<std::string> seen;
    for (const QString &given : parser.optionNames()) {
        const std::string option = "--" + bytes(given == "q" ? QString("quiet") : given);
        if (!seen.insert(option).second) {
            *error = option + " given twice";
            return EXIT_USAGE;
        }
    }
    if (parser.isSet(tcp) && parser.isSet(serial)) {
        *error = "give one link: --tcp or --serial";
        return EXIT_USAGE;
    }
    if (parser.isSet(inventory) && (parser.isSet(tcp) || parser.isSet(serial))) {
        *error = "give the controllers either with --inventory or with --tcp / --serial";
        return EXIT_USAGE;
    }
    o->quiet = parser.isSet(quiet);
    o->json = parser.isSet(json);
    if (parser.isSet(tcp)) {
        if (!ParseTcpLink(bytes(parser.value(tcp)), &o->host, &o->tcpPort)) {
            *error = std::string("--tcp ") + kTcpForm;
            return EXIT_USAGE;
        }
        o->link = Options::TCP;
    }
    if (parser.isSet(serial)) {
        o->link = Options::SERIAL;
        if (!ParseSerialLink(bytes(parser.value(serial)), &o->serialPort, &o->serialDevice)) {
            *error = std::string("--serial ") + kSerialForm;
            return EXIT_USAGE;
        }
    }
    if (parser.isSet(baud) && (!parseInt(bytes(parser.value(baud)), &o->baud) || BaudIndex(o->baud) < 0)) {
        *error = std::string("--baud ") + kBaudForm;
        return EXIT_USAGE;
    }
    o->settingsFile = bytes(parser.value(settings));
    o->name = bytes(parser.value(name));
    o->inventory = bytes(parser.value(inventory));
    if (parser.isSet(limit)) {
        const std::string v = bytes(parser.value(limit));
        for (std::size_t start = 0; start <= v.size();) {
            const std::size_t comma = std::min(v.find(',', start), v.size());
            if (comma > start) o->limit.push_back(v.substr(start, comma - start));
            start = comma + 1;
        }
        if (o->limit.empty()) {
            *error = "--limit takes controller names: NAME,NAME,...";
            return EXIT_USAGE;
        }
    }
    if (parser.isSet(jobs) && (!parseInt(bytes(parser.value(jobs)), &o->jobs) || o->jobs < 1 || o->jobs > kMaxJobs)) {
        *error = "--jobs takes a number 1 ... " + std::to_string(kMaxJobs);
        return EXIT_USAGE;
    }
    if (parser.isSet(timeout) && (!parseInt(bytes(parser.value(timeout)), &o->timeoutSeconds) ||
                                  o->timeoutSeconds < 1 || o->timeoutSeconds > kMaxTimeout)) {
        *error = "--timeout takes seconds 1 ... " + std::to_string(kMaxTimeout);
        return EXIT_USAGE;
    }
    o->outDir = bytes(parser.value(outDir));

    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty()) {
        *error = "no command given";
        return EXIT_USAGE;
    }
    o->command = bytes(rest.front());
    // --json after the command is the same switch, and given twice it is a
    // usage error there too; after "--" nothing is a switch.
    bool options = true;
    for (qsizetype i = 1; i < rest.size(); ++i) {
        const std::string a = bytes(rest[i]);
        if (options && a == "--") options = false;
        if (options && a == "--json") {
            if (o->json) {
                *error = "--json given twice";
                return EXIT_USAGE;
            }
            o->json = true;
        } else {
            o->args.push_back(a);
        }
    }
    if (!o->inventory.empty() && parser.isSet(name)) {
        *error = "--name names one controller; an inventory names its own";
        return EXIT_USAGE;
    }
    if (o->inventory.empty()) {
        for (const QCommandLineOption *fleetOnly : {&limit, &jobs, &timeout, &outDir})
            if (parser.isSet(*fleetOnly)) {
                *error = "--" + bytes(fleetOnly->names().front()) + " goes with --inventory";
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
    std::vector<std::string> decoded;
    std::vector<char *> decodedArgv;
    DecodeFleetChildArgs(&argc, &argv, &decoded, &decodedArgv);
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
    const bool help = std::find(options.args.begin(), options.args.end(), "--help") != options.args.end();
    if (!options.inventory.empty() && !help) return RunFleet(argc, argv, options);
    return RunCommand(argc, argv, options);
}

} // namespace ctl
