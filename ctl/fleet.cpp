#include "ctl/fleet.h"

#include "ctl/jobs.h"
#include "ctl/result.h"
#include "ctl/session.h"
#include "ini/inifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace ctl {

namespace {

// With --json a child's stdout carries its result alone: one line holding
// one JSON object whose exit is the child's exit status. Anything else (a
// child ended before it could write it, or a line cut short) is no result.
bool isResultOf(const QByteArray &out, int exitCode) {
    const QByteArray line = out.trimmed();
    if (line.isEmpty() || line.contains('\n')) return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    const QJsonValue exit = doc.object().value("exit");
    return exit.isDouble() && exit.toInt(-1) == exitCode;
}

// A child asked to end (time-out, SIGINT) gets this long to close its link
// and files before it is killed; its own grace after SIGTERM is shorter.
constexpr int kStopGraceMs = 2000;

// The file a command writes, by the command: its extension under --out-dir.
struct WrittenFile {
    const char *command;
    const char *extension;
};
constexpr WrittenFile kWrittenFiles[] = {
    {"get", "ini"}, {"live", "csv"}, {"record", "csv"}, {"capture", "csv"}};

const char *extensionOf(const std::string &command) {
    for (const WrittenFile &f : kWrittenFiles)
        if (command == f.command) return f.extension;
    return nullptr;
}

int rank(int exit) {
    switch (exit) {
    case EXIT_DONE: return 0;
    case EXIT_DIFFERENT: return 1;
    case EXIT_LINK_FAILED: return 2;
    case EXIT_USAGE: return 3;
    case kExitInterrupted: return 5;
    default: return 4; // a status qvex-ctl never gives: something went badly wrong
    }
}

// A section name becomes a file name under --out-dir and a prefix of text
// lines: no path, nothing that hides in a terminal.
bool usableName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           Printable(name) == name && name.find('\n') == std::string::npos && name.find('\t') == std::string::npos;
}

std::string readEntry(IniText ini, const std::string &name, InventoryEntry *e) {
    const char *section = name.c_str();
    std::string tcp, serial, baud;
    for (int i = 0; i < Ini_NumberOfItems(ini, section); ++i) {
        const std::string key = QString::fromUtf8(Ini_NthItemName(ini, section, i)).toLower().toStdString();
        if (key != "tcp" && key != "serial" && key != "baud")
            return "[" + name + "]: unknown key " + key + " (tcp, serial and baud are known)";
    }
    const bool hasTcp = Ini_GetStdString(ini, section, "tcp", &tcp) == 1 && !tcp.empty();
    const bool hasSerial = Ini_GetStdString(ini, section, "serial", &serial) == 1 && !serial.empty();
    const bool hasBaud = Ini_GetStdString(ini, section, "baud", &baud) == 1 && !baud.empty();
    if (hasTcp == hasSerial) return "[" + name + "]: give one link, tcp = HOST:PORT or serial = N|DEVICE";
    if (hasTcp && hasBaud) return "[" + name + "]: baud goes with serial";
    e->name = name;
    if (hasTcp) {
        e->link = tcp;
        e->linkArgs = {"--tcp", tcp};
        return "";
    }
    e->link = serial;
    e->linkArgs = {"--serial", serial};
    if (hasBaud) {
        e->linkArgs.push_back("--baud");
        e->linkArgs.push_back(baud);
    }
    // Two names of one device (a link, a second path) are one device.
    const QString device = QString::fromStdString(serial);
    const QString canonical = QFileInfo(device).canonicalFilePath();
    e->serialKey = serial[0] == '/' ? (canonical.isEmpty() ? serial : canonical.toStdString()) : "COM" + serial;
    return "";
}

// ---- SIGINT and SIGTERM ----------------------------------------------------------------
//
// Ends the run as a single job ends: the running controllers are asked to
// stop (they close their links and files), no further one starts.
int g_fleetSignalFds[2] = {-1, -1};
volatile std::sig_atomic_t g_fleetInterrupted = 0;

void onFleetSignal(int) {
    g_fleetInterrupted = 1;
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_fleetSignalFds[1], &b, 1);
}

bool catchFleetSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fleetSignalFds) != 0) return false;
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sa.sa_handler = onFleetSignal;
    return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

// Lines of a child's output, each with the controller's name before it.
void writePrefixed(std::FILE *to, const std::string &name, const QByteArray &text) {
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty()) continue;
        std::fprintf(to, "%s: %s\n", name.c_str(), line.constData());
    }
    std::fflush(to);
}

class Fleet {
  public:
    Fleet(const Options &options, std::vector<InventoryEntry> entries)
        : options_(options), pending_(std::move(entries)) {}

    int run() {
        QEventLoop loop;
        done_ = [&loop] { loop.quit(); };
        if (g_fleetSignalFds[0] >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(g_fleetSignalFds[0], QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
                char b;
                [[maybe_unused]] const ssize_t n = ::read(g_fleetSignalFds[0], &b, 1);
                stopAll();
            });
        }
        startMore();
        if (!running_.empty()) loop.exec();
        if (g_fleetInterrupted) {
            std::fputs("qvex-ctl: Interrupted.\n", stderr);
            worst_ = WorseExit(worst_, kExitInterrupted);
        }
        return worst_;
    }

  private:
    struct Child {
        InventoryEntry entry;
        QProcess process;
        QTimer timeout;
        QElapsedTimer clock;
        bool timedOut = false;
        bool ended = false;
    };

    std::vector<std::string> childArgs(const InventoryEntry &e) const {
        std::vector<std::string> args = {"--quiet", "--name", e.name};
        if (!options_.settingsFile.empty()) args.insert(args.end(), {"--settings", options_.settingsFile});
        if (options_.json) args.push_back("--json");
        args.insert(args.end(), e.linkArgs.begin(), e.linkArgs.end());
        args.push_back(options_.command);
        args.insert(args.end(), options_.args.begin(), options_.args.end());
        if (!options_.outDir.empty())
            args.insert(args.end(), {"--out", options_.outDir + "/" + e.name + "." + extensionOf(options_.command)});
        return args;
    }

    // Starts controllers in inventory order while slots are free; one whose
    // serial device is in use waits, and a later one may go first.
    void startMore() {
        for (;;) {
            if (int(running_.size()) >= options_.jobs) return;
            auto it = std::find_if(pending_.begin(), pending_.end(), [this](const InventoryEntry &e) {
                return e.serialKey.empty() || !busyDevices_.count(e.serialKey);
            });
            if (it == pending_.end()) break;
            const InventoryEntry e = *it;
            pending_.erase(it);
            start(e);
        }
        if (running_.empty() && done_) done_();
    }

    void start(const InventoryEntry &e) {
        auto child = std::make_unique<Child>();
        Child *c = child.get();
        c->entry = e;
        if (!e.serialKey.empty()) busyDevices_.insert(e.serialKey);
        QStringList args;
        for (const std::string &a : childArgs(e)) args << QString::fromStdString(a);
        QObject::connect(&c->process, &QProcess::finished, [this, c] { finish(c); });
        QObject::connect(&c->process, &QProcess::errorOccurred, [this, c](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) finish(c);
        });
        c->timeout.setSingleShot(true);
        QObject::connect(&c->timeout, &QTimer::timeout, [c] {
            c->timedOut = true;
            stop(c);
        });
        running_.push_back(std::move(child));
        c->clock.start();
        if (options_.timeoutSeconds > 0) c->timeout.start(options_.timeoutSeconds * 1000);
        c->process.start(QCoreApplication::applicationFilePath(), args);
    }

    static void stop(Child *c) {
        if (c->process.state() == QProcess::NotRunning) return;
        c->process.terminate();
        QTimer::singleShot(kStopGraceMs, &c->process, [c] { c->process.kill(); });
    }

    void stopAll() {
        pending_.clear();
        for (const auto &c : running_) stop(c.get());
    }

    void finish(Child *c) {
        if (c->ended) return;
        c->ended = true;
        c->timeout.stop();
        JobResult r;
        r.name = c->entry.name;
        r.link = Printable(c->entry.link);
        r.command = Printable(options_.command);
        r.seconds = static_cast<double>(c->clock.elapsed()) / 1000.0;
        const QByteArray out = c->process.readAllStandardOutput();
        const QByteArray err = c->process.readAllStandardError();
        bool reported = false; // the child's own result stands
        if (c->timedOut) {
            r.exit = EXIT_LINK_FAILED;
            r.reason = "no result within " + std::to_string(options_.timeoutSeconds) + " s; stopped";
        } else if (c->process.error() == QProcess::FailedToStart) {
            r.exit = EXIT_USAGE;
            r.reason = "qvex-ctl did not start: " + c->process.errorString().toStdString();
        } else if (c->process.exitStatus() == QProcess::CrashExit) {
            r.exit = g_fleetInterrupted ? kExitInterrupted : EXIT_LINK_FAILED;
            r.reason = g_fleetInterrupted ? "Interrupted." : "qvex-ctl ended abnormally";
        } else {
            r.exit = c->process.exitCode();
            reported = !options_.json || isResultOf(out, r.exit);
            // A child that SIGTERM ended before it could say anything.
            r.reason = r.exit == kExitInterrupted ? "Interrupted." : "qvex-ctl ended without a result";
        }
        writePrefixed(stderr, c->entry.name, err);
        if (reported) {
            if (options_.json) std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
            else writePrefixed(stdout, c->entry.name, out);
        } else {
            SettleStatus(&r);
            if (!err.contains(QByteArray::fromStdString(r.reason)))
                std::fprintf(stderr, "%s: qvex-ctl: %s\n", r.name.c_str(), r.reason.c_str());
            if (options_.json) std::printf("%s\n", ToJsonLine(r).c_str());
            else std::printf("%s: failed (%s)\n", r.name.c_str(), r.reason.c_str());
        }
        std::fflush(stdout);
        worst_ = WorseExit(worst_, r.exit);
        if (!c->entry.serialKey.empty()) busyDevices_.erase(c->entry.serialKey);
        // The process object is in the middle of its own signal: it goes
        // with the run, not now.
        auto it = std::find_if(running_.begin(), running_.end(), [c](const auto &p) { return p.get() == c; });
        if (it != running_.end()) {
            ended_.push_back(std::move(*it));
            running_.erase(it);
        }
        startMore();
    }

    const Options &options_;
    std::vector<InventoryEntry> pending_;
    std::vector<std::unique_ptr<Child>> running_, ended_;
    std::set<std::string> busyDevices_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> done_;
    int worst_ = EXIT_DONE;
};

} // namespace

int WorseExit(int a, int b) { return rank(b) > rank(a) ? b : a; }

std::string ReadInventory(const Options &options, std::vector<InventoryEntry> *entries) {
    IniHolder ini(0);
    const int rc = Ini_ReadFromFile(ini, options.inventory.c_str());
    if (rc < 0) return "cannot read the inventory " + options.inventory + ": " + Ini_ErrorText(rc);
    std::set<std::string> names;
    for (int i = 0; i < Ini_NumberOfSections(ini); ++i) {
        const std::string name = Ini_NthSectionName(ini, i);
        if (!usableName(name)) return "the inventory's section [" + Printable(name) + "] cannot name a file";
        if (!names.insert(name).second) return "the inventory names [" + name + "] twice";
        InventoryEntry e;
        if (std::string problem = readEntry(ini, name, &e); !problem.empty()) return problem;
        const bool wanted =
            options.limit.empty() || std::find(options.limit.begin(), options.limit.end(), name) != options.limit.end();
        if (wanted) entries->push_back(e);
    }
    for (const std::string &name : options.limit)
        if (!names.count(name)) return "--limit: the inventory has no controller " + Printable(name);
    if (entries->empty()) return "the inventory " + options.inventory + " names no controller";
    return "";
}

int RunFleet(int argc, char **argv, const Options &options) {
    auto refuse = [](const std::string &what) {
        std::fprintf(stderr, "qvex-ctl: %s\n", what.c_str());
        return EXIT_USAGE;
    };
    std::vector<InventoryEntry> entries;
    if (std::string problem = ReadInventory(options, &entries); !problem.empty()) return refuse(problem);
    // Each controller publishes under PREFIX/NAME: a name that cannot be a
    // topic level is refused before any controller runs.
    if (std::find(options.args.begin(), options.args.end(), "--mqtt") != options.args.end())
        for (const InventoryEntry &e : entries)
            if (std::string problem = TopicNameProblem(e.name); !problem.empty()) return refuse(problem);
    const bool writesOut = std::find(options.args.begin(), options.args.end(), "--out") != options.args.end();
    if (!options.outDir.empty()) {
        if (!extensionOf(options.command)) return refuse(options.command + " writes no file; --out-dir does not apply");
        if (writesOut) return refuse("--out-dir names the files: leave --out out");
    } else if (writesOut && entries.size() > 1) {
        return refuse("every controller would write the same --out file: give --out-dir DIR instead");
    }
    QCoreApplication app(argc, argv);
    if (!options.outDir.empty() && !QDir().mkpath(QString::fromStdString(options.outDir)))
        return refuse("cannot create the folder " + options.outDir);
    if (!catchFleetSignals()) return refuse("cannot catch SIGINT and SIGTERM");
    return Fleet(options, std::move(entries)).run();
}

} // namespace ctl
