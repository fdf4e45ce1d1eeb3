#include "ctl/fleet.h"

#include "ctl/jobs.h"
#include "ctl/result.h"
#include "ctl/session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <cctype>
#include <cmath>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <cstdio>
#include <set>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

namespace ctl {

namespace {

// With --json a child's stdout carries its result alone: one line holding
// one JSON object whose exit is the child's exit status. Anything else (a
// child ended before it could write it, or a line cut short) is no result.
bool resultObject(const QByteArray &out, QJsonObject *result) {
    const QByteArray line = out.trimmed();
    if (line.isEmpty() || line.contains('\n')) return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject() || !doc.object().value("exit").isDouble())
        return false;
    *result = doc.object();
    return true;
}

bool isResultOf(const QByteArray &out, int exitCode) {
    QJsonObject result;
    return resultObject(out, &result) && result.value("exit").toInt(-1) == exitCode;
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

// The longest controller name: NAME.csv under --out-dir must fit in the
// 255 bytes a file name may have.
constexpr std::size_t kMaxNameBytes = 250;
// An inventory longer than this is not one a person wrote.
constexpr std::size_t kMaxInventoryBytes = 16 * 1024 * 1024;

// One section of the inventory as read, with the line of each of its keys.
struct InventorySection {
    std::string name;
    int line = 0;
    std::map<std::string, std::pair<std::string, int>> keys; // key (lower case) -> value, line
};

std::string trimmed(const std::string &text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Reads the inventory's sections line by line. Unlike the program's own
// settings files, where a line the reader cannot take is passed over, every
// line here must be a comment, a section header or one of its keys: a line
// passed over would be a controller silently left out, or its key given to
// the section above. Returns "" or what is wrong, naming the line.
std::string readSections(const std::string &path, std::vector<InventorySection> *sections) {
    std::string problem;
    const int fd = OpenPlainFile(path, &problem);
    if (fd < 0) return "cannot read the inventory " + Printable(path) + ": " + problem;
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) problem = std::strerror(errno);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxInventoryBytes) {
            problem = "longer than 16 MiB";
            break;
        }
    }
    ::close(fd);
    if (!problem.empty()) return "cannot read the inventory " + Printable(path) + ": " + problem;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3); // saved as "UTF-8 with BOM"
    const std::string where = "the inventory " + Printable(path) + ", line ";
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t stop = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string line = trimmed(text.substr(at, stop - at));
        at = stop + (text.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
        ++number;
        const std::string here = where + std::to_string(number) + ": ";
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return here + "a section header ends with ]: " + Printable(line);
            const std::string name = trimmed(line.substr(1, line.size() - 2));
            if (name.empty()) return here + "[] names no controller";
            if (name.size() > kMaxNameBytes)
                return here + "the name [" + Printable(name.substr(0, 20)) + "...] is longer than " +
                       std::to_string(kMaxNameBytes) + " bytes";
            if (!usableName(name)) return here + "the section [" + Printable(name) + "] cannot name a file";
            for (const InventorySection &other : *sections)
                if (lowered(other.name) == lowered(name))
                    return here + "the inventory names [" + Printable(name) + "] twice (line " +
                           std::to_string(other.line) + ")";
            sections->push_back({name, number, {}});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            return here + "neither [NAME] nor KEY = VALUE: " + Printable(line.substr(0, 80));
        if (sections->empty()) return here + "a key before the first [NAME]";
        InventorySection &section = sections->back();
        const std::string key = lowered(trimmed(line.substr(0, equals)));
        std::string value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (key != "tcp" && key != "serial" && key != "baud")
            return here + "[" + section.name + "]: unknown key " + Printable(key) + " (tcp, serial and baud are known)";
        const auto [it, added] = section.keys.emplace(key, std::make_pair(value, number));
        if (!added)
            return here + "[" + section.name + "]: " + key + " given twice (line " + std::to_string(it->second.second) +
                   ")";
    }
    return "";
}

// An entry from its section, its link checked as the command line checks
// --tcp, --serial and --baud. Returns "" or what is wrong, naming the line.
std::string readEntry(const std::string &path, const InventorySection &section, InventoryEntry *e) {
    auto at = [&](int line) { return "the inventory " + Printable(path) + ", line " + std::to_string(line) + ": "; };
    auto key = [&](const char *name) {
        auto it = section.keys.find(name);
        return it == section.keys.end() ? std::make_pair(std::string(), 0) : it->second;
    };
    const auto [tcp, tcpLine] = key("tcp");
    const auto [serial, serialLine] = key("serial");
    const auto [baud, baudLine] = key("baud");
    const std::string head = "[" + section.name + "]: ";
    if (tcpLine == 0 && serialLine == 0)
        return at(section.line) + head + "give one link, tcp = HOST:PORT or serial = N|DEVICE";
    if (tcpLine != 0 && serialLine != 0)
        return at(serialLine) + head + "give one link, tcp = HOST:PORT or serial = N|DEVICE";
    e->name = section.name;
    if (tcpLine != 0) {
        if (baudLine != 0) return at(baudLine) + head + "baud goes with serial";
        std::string host;
        int port = 0;
        if (!ParseTcpLink(tcp, &host, &port))
            return at(tcpLine) + head + "tcp = " + Printable(tcp) + ": tcp " + kTcpForm;
        e->link = tcp;
        e->linkArgs = {"--tcp", tcp};
        // One controller under two names is one device: the same address
        // however it is written, and the same port.
        const QHostAddress address(QString::fromStdString(host));
        e->deviceKey = "tcp " + (address.isNull() ? lowered(host) : address.toString().toStdString()) + " " +
                       std::to_string(port);
        return "";
    }
    int port = 0;
    std::string device;
    if (!ParseSerialLink(serial, &port, &device))
        return at(serialLine) + head + "serial = " + Printable(serial) + ": serial " + kSerialForm;
    e->link = serial;
    e->linkArgs = {"--serial", serial};
    if (baudLine != 0) {
        char *end = nullptr;
        const long rate = std::strtol(baud.c_str(), &end, 10);
        if (baud.empty() || *end != '\0' || rate > 1000000 || BaudIndex(static_cast<int>(rate)) < 0)
            return at(baudLine) + head + "baud = " + Printable(baud) + ": baud " + kBaudForm;
        e->linkArgs.push_back("--baud");
        e->linkArgs.push_back(baud);
    }
    // Two names of one device (a link, a second path) are one device.
    const QString canonical = QFileInfo(QString::fromStdString(serial)).canonicalFilePath();
    e->deviceKey = device.empty() ? "serial COM" + serial
                                  : "serial " + (canonical.isEmpty() ? serial : canonical.toStdString());
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
        // Before the command's own arguments, which may end the flags with "--".
        if (!options_.outDir.empty())
            args.insert(args.end(), {"--out", options_.outDir + "/" + e.name + "." + extensionOf(options_.command)});
        args.insert(args.end(), options_.args.begin(), options_.args.end());
        return args;
    }

    // Starts controllers in inventory order while slots are free; one whose
    // device (a serial port, or a TCP host and port, which takes one link at
    // a time) is in use waits, and a later one may go first.
    void startMore() {
        for (;;) {
            if (int(running_.size()) >= options_.jobs) return;
            auto it = std::find_if(pending_.begin(), pending_.end(), [this](const InventoryEntry &e) {
                return e.deviceKey.empty() || !busyDevices_.count(e.deviceKey);
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
        if (!e.deviceKey.empty()) busyDevices_.insert(e.deviceKey);
        // The arguments go percent-encoded: a process's arguments pass
        // through QString, which would change a name that is not UTF-8.
        QStringList args{QString::fromLatin1(kFleetChildSwitch)};
        for (const std::string &a : childArgs(e)) args << QString::fromStdString(PercentEncoded(a));
        QObject::connect(&c->process, &QProcess::finished, [this, c] { finish(c); });
        QObject::connect(&c->process, &QProcess::errorOccurred, [this, c](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) finish(c);
        });
        c->timeout.setSingleShot(true);
        QObject::connect(&c->timeout, &QTimer::timeout, [c] {
            c->timedOut = true;
            stop(c);
        });
        // A controller's process ends with the run: should this process be
        // killed outright (SIGKILL gives no chance to stop the children), the
        // kernel sends the child SIGTERM, which ends its job as an interrupt
        // does (a recording gets its closing lines). A parent already gone
        // by the time the child is set up is seen in its parent's id.
        const pid_t parent = ::getpid();
        c->process.setChildProcessModifier([parent] {
            if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) ::_exit(kExitInterrupted);
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
        QJsonObject stoppedResult; // a stopped child's own result, with what it had done
        if (c->timedOut) {
            r.exit = EXIT_LINK_FAILED;
            r.reason = "stopped after " + std::to_string(options_.timeoutSeconds) + " s";
            if (options_.json && resultObject(out, &stoppedResult)) {
                // What the job did before the stop (its fields, the version,
                // the files it left) stands; its end is the time-out's.
                stoppedResult["exit"] = r.exit;
                stoppedResult["status"] = "failed";
                stoppedResult["reason"] = JsonText(r.reason);
                stoppedResult["seconds"] = std::round(r.seconds * 1000.0) / 1000.0;
            } else if (!options_.json) {
                writePrefixed(stdout, c->entry.name, out);
            }
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
        } else if (!stoppedResult.isEmpty()) {
            std::fprintf(stderr, "%s: qvex-ctl: %s\n", r.name.c_str(), r.reason.c_str());
            std::printf("%s\n", QJsonDocument(stoppedResult).toJson(QJsonDocument::Compact).constData());
        } else {
            SettleStatus(&r);
            if (!err.contains(QByteArray::fromStdString(r.reason)))
                std::fprintf(stderr, "%s: qvex-ctl: %s\n", r.name.c_str(), r.reason.c_str());
            if (options_.json) std::printf("%s\n", ToJsonLine(r).c_str());
            else std::printf("%s: failed (%s)\n", r.name.c_str(), r.reason.c_str());
        }
        std::fflush(stdout);
        worst_ = WorseExit(worst_, r.exit);
        if (!c->entry.deviceKey.empty()) busyDevices_.erase(c->entry.deviceKey);
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

void DecodeFleetChildArgs(int *argc, char ***argv, std::vector<std::string> *storage,
                          std::vector<char *> *pointers) {
    if (*argc < 2 || std::strcmp((*argv)[1], kFleetChildSwitch) != 0) return;
    storage->assign(1, (*argv)[0]);
    for (int i = 2; i < *argc; ++i) storage->push_back(QByteArray::fromPercentEncoding((*argv)[i]).toStdString());
    pointers->clear();
    for (std::string &a : *storage) pointers->push_back(a.data());
    pointers->push_back(nullptr);
    *argc = static_cast<int>(storage->size());
    *argv = pointers->data();
}

int WorseExit(int a, int b) { return rank(b) > rank(a) ? b : a; }

std::string ReadInventory(const Options &options, std::vector<InventoryEntry> *entries) {
    std::vector<InventorySection> sections;
    if (std::string problem = readSections(options.inventory, &sections); !problem.empty()) return problem;
    // Every entry is checked, not only those --limit picks: the file is
    // wrong either way, and now is when it can be said.
    std::set<std::string> names;
    for (const InventorySection &section : sections) {
        InventoryEntry e;
        if (std::string problem = readEntry(options.inventory, section, &e); !problem.empty()) return problem;
        names.insert(section.name);
        const bool wanted = options.limit.empty() ||
                            std::find(options.limit.begin(), options.limit.end(), section.name) != options.limit.end();
        if (wanted) entries->push_back(e);
    }
    for (const std::string &name : options.limit)
        if (!names.count(name)) return "--limit: the inventory has no controller " + Printable(name);
    if (entries->empty()) return "the inventory " + Printable(options.inventory) + " names no controller";
    return "";
}

int RunFleet(int argc, char **argv, const Options &options) {
    auto refuse = [](const std::string &what) {
        std::fprintf(stderr, "qvex-ctl: %s\n", what.c_str());
        return EXIT_USAGE;
    };
    std::vector<InventoryEntry> entries;
    if (std::string problem = ReadInventory(options, &entries); !problem.empty()) return refuse(problem);
    // The fleet's own options after the command would go to every
    // controller's process, and fail there once each.
    for (const char *own : {"--out-dir", "--limit", "--jobs", "--timeout", "--inventory"})
        if (std::find(options.args.begin(), options.args.end(), own) != options.args.end())
            return refuse(std::string(own) + " goes before the command");
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
    std::error_code ec;
    if (!options.outDir.empty() && !std::filesystem::create_directories(options.outDir, ec) && ec)
        return refuse("cannot create the folder " + Printable(options.outDir) + ": " + ec.message());
    if (!catchFleetSignals()) return refuse("cannot catch SIGINT and SIGTERM");
    return Fleet(options, std::move(entries)).run();
}

} // namespace ctl
