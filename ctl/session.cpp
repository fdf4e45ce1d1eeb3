#include "ctl/session.h"

#include "ctl/result.h"

#include "app/startup.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/dialog.h"
#include "link/frame.h"
#include "link/reconnect.h"
#include "link/transport.h"
#include "ui/panels/main_ids.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace ctl {

namespace {

// The port number a device named on the command line is given.
constexpr int kDevicePort = 1;
constexpr int kProgressIntervalMs = 200;

// ---- SIGINT and SIGTERM ----------------------------------------------------------------
//
// The first signal ends the job as closing the program's window would: a
// recording gets its closing lines, the link is closed, and the job's wait
// loops see that at once. A job still running 0.8 s later, or a second
// signal, ends the process there and then; rows are written whole, so the
// record file still holds only complete rows.

constexpr char kInterruptedLine[] = "qvex-ctl: Interrupted.\n";
constexpr long kGraceMicroseconds = 800000;

volatile std::sig_atomic_t g_interrupts = 0;
volatile std::sig_atomic_t g_interruptionReported = 0;
int g_interruptFds[2] = {-1, -1};

void endInterruptedAtOnce() {
    if (!g_interruptionReported) {
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kInterruptedLine, sizeof kInterruptedLine - 1);
    }
    ::_exit(kExitInterrupted);
}

void onInterrupt(int) {
    if (g_interrupts != 0) endInterruptedAtOnce();
    g_interrupts = 1;
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_interruptFds[1], &b, 1);
    itimerval grace{};
    grace.it_value.tv_usec = kGraceMicroseconds;
    ::setitimer(ITIMER_REAL, &grace, nullptr);
}

void onGraceOver(int) { endInterruptedAtOnce(); }

// Replaces the engine's handling of SIGINT and SIGTERM, which closes the
// main panel and leaves the job to fail on the closed link as if the
// controller had gone.
bool catchInterrupts() {
    if (g_interruptFds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_interruptFds) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_interruptFds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(g_interruptFds[0], &b, 1);
        if (panelMAIN > 0) OperateClosePanel(panelMAIN);
    });
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sa.sa_handler = onGraceOver;
    if (::sigaction(SIGALRM, &sa, nullptr) != 0) return false;
    sa.sa_handler = onInterrupt;
    for (int sig : {SIGINT, SIGTERM})
        if (::sigaction(sig, &sa, nullptr) != 0) return false;
    return true;
}

// Copies the settings file into the session's folder.
bool copySettings(const std::string &from, const std::string &to, std::string *problem) {
    const int fd = OpenPlainFile(from, problem);
    if (fd < 0) return false;
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) *problem = std::strerror(errno);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!problem->empty()) return false;
    std::FILE *out = std::fopen(to.c_str(), "wb");
    const bool written = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out && std::fclose(out) != 0) *problem = std::strerror(errno);
    if (!written && problem->empty()) *problem = "cannot be copied";
    return problem->empty();
}

} // namespace

bool Interrupted() { return g_interrupts != 0; }

std::string WorkingFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return QDir::currentPath().toStdString();
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

int OpenPlainFile(const std::string &path, std::string *problem) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *problem = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *problem = "not a regular file";
        return -1;
    }
    ::fcntl(fd, F_SETFL, 0); // reads of a regular file never wait anyway
    return fd;
}

std::string TargetProblem(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISREG(st.st_mode) ? "" : path + " is not a regular file";
    if (errno != ENOENT) return path + ": " + std::strerror(errno);
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "no folder " + folder + " for " + path;
    return "";
}

int ReportInterrupted() {
    g_interruptionReported = 1;
    std::fputs(kInterruptedLine, stderr);
    return kExitInterrupted;
}

std::string Printable(const std::string &text) {
    const QList<uint> chars = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4();
    QString out;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (c == '\r' && i + 1 < chars.size() && chars[i + 1] == '\n') continue; // the program's own line ends
        if (c == '\n' || c == '\t' || (QChar::isPrint(c) && c != QChar::ReplacementCharacter))
            out += QString::fromUcs4(&c, 1);
        else
            out += '?';
    }
    return out.toStdString();
}

int BaudIndex(int rate) {
    for (int i = 0; i < kBaudRateCount; ++i)
        if (kBaudRates[i] == rate) return i;
    return -1;
}

// ---- pop-ups ----------------------------------------------------------------------------

// After SIGINT or SIGTERM the job is ending on purpose: what the program
// says about the closed link is not news.
int CtlPopups::message(const std::string &title, const std::string &text) {
    lastTitle = title;
    lastText = text;
    if (!Interrupted()) std::fprintf(stderr, "%s: %s\n", Printable(title).c_str(), Printable(text).c_str());
    return 0;
}

int CtlPopups::confirm(const std::string &title, const std::string &text) {
    if (!Interrupted())
        std::fprintf(stderr, "%s: %s (yes)\n", Printable(title).c_str(), Printable(text).c_str());
    return 1;
}

int CtlPopups::fileSelect(const FileSelectRequest &, std::string *path) {
    if (files.empty()) return 0;
    const std::string answer = files.front();
    files.pop_front();
    if (answer.empty()) return 0;
    // The program keeps its own working folder; a path from the command
    // line means the folder qvex-ctl was started in. The name's bytes stay
    // as given: a name that is not UTF-8 is still the user's name.
    if (path) *path = answer[0] == '/' ? answer : startDir + (startDir.back() == '/' ? "" : "/") + answer;
    return 1;
}

int CtlPopups::prompt(const std::string &, const std::string &, std::string *response) {
    if (prompts.empty()) return 0;
    *response = prompts.front();
    prompts.pop_front();
    return 1;
}

// ---- session ----------------------------------------------------------------------------

struct Session::Private {
    QTemporaryDir home; // the program's folder: its settings and templates never touch the GUI's
    QTimer progress;
    int lastShown = -1;
    bool terminal = isatty(STDERR_FILENO) != 0;
};

Session::Session(const Options &o) : options(o), d(new Private) {}

Session::~Session() {
    progressOff();
    if (tcpcon || g_hconversation) {
        tcpcon = 1;
        InitTCP_IP(0);
    }
    if (rs232con) InitRS232(0);
    SetPopupResponder(nullptr);
}

bool Session::start(int argc, char **argv) {
    if (!InitCVIRTE(argc, argv)) {
        std::fprintf(stderr, "qvex-ctl: the run-time engine did not start\n");
        return false;
    }
    if (!d->home.isValid()) {
        std::fprintf(stderr, "qvex-ctl: no temporary folder: %s\n", qPrintable(d->home.errorString()));
        return false;
    }
    if (!catchInterrupts()) {
        std::fprintf(stderr, "qvex-ctl: cannot catch SIGINT and SIGTERM\n");
        return false;
    }
    popups.startDir = WorkingFolder();
    const QString home = d->home.path();
    std::string problem;
    if (!options.settingsFile.empty() &&
        !copySettings(options.settingsFile, MakePathname(home.toStdString(), "Q-VEX-MOD7-ARC-Scope.ini"),
                      &problem)) {
        std::fprintf(stderr, "qvex-ctl: cannot read the settings file %s: %s\n",
                     Printable(options.settingsFile).c_str(), problem.c_str());
        return false;
    }
    SetPopupResponder(&popups);
    SetProjectDir(home.toStdString());
    RegisterAllCallbacks();
    if (LoadAllPanels() < 0) {
        std::fprintf(stderr, "qvex-ctl: the panel files did not load\n");
        return false;
    }
    InitVars();
    // A job runs once: a link that breaks ends it with the program's own
    // message, never with retries in the job's later waits.
    reconnectAutomatically = 0;
    return true;
}

Outcome Session::connect() {
    if (options.link == Options::NONE) return Outcome::Rejected("no controller given: --tcp HOST:PORT or --serial N|DEVICE");
    OperateCtrl(panelMAIN, MAIN_CONNECT);
    if (options.link == Options::TCP) {
        OperateCtrl(panelInterf, INTERF_PROTOCOL, 1);
        OperateCtrl(panelInterf, INTERF_ADDRESS, options.host);
        OperateCtrl(panelInterf, INTERF_TCPPORT, std::to_string(options.tcpPort));
    } else {
        int port = options.serialPort;
        if (!options.serialDevice.empty()) {
            port = kDevicePort;
            SetComPortDevice(port, options.serialDevice);
        }
        OperateCtrl(panelInterf, INTERF_PROTOCOL, 0);
        OperateCtrl(panelInterf, INTERF_COMPORT, port);
        OperateCtrl(panelInterf, INTERF_BAUD, BaudIndex(options.baud));
    }
    const Outcome tried = click(panelInterf, INTERF_TRY, TryConnection);
    if (!tried.done()) {
        RemovePopup(panelInterf);
        return tried;
    }
    OperateCtrl(panelInterf, INTERF_ACCEPT);
    // The controller's whole version text; the JSON writer makes any bytes
    // of it that are not UTF-8 U+FFFD.
    Result().version = szVersion;
    return Outcome::Done();
}

void Session::operate(int panel, int control) { OperateCtrl(panel, control); }

Outcome Session::click(int panel, int control, const std::function<Outcome()> &run) {
    int dimmed = 0;
    if (GetCtrlAttribute(panel, control, ATTR_DIMMED, &dimmed) < 0 || dimmed)
        return Outcome::Refused("the command is not available now (its button is dimmed)");
    return run();
}

int Session::ended(const Outcome &outcome) {
    const std::string why = outcome.reason.empty() ? "the operation did not end well" : outcome.reason;
    switch (outcome.kind) {
    case OutcomeKind::Done: return EXIT_DONE;
    case OutcomeKind::Failed:
    case OutcomeKind::Refused: return linkFailed(why);
    case OutcomeKind::Rejected:
    case OutcomeKind::Cancelled: return usage(why);
    case OutcomeKind::Interrupted: break;
    }
    Result().reason = Printable(why);
    return ReportInterrupted();
}

std::string Session::scratchPath(const char *name) const {
    return MakePathname(d->home.path().toStdString(), name);
}

bool Session::linkOpen() const { return rs232con == 1 || tcpcon == 1; }

int Session::linkFailed(const std::string &what) {
    progressOff();
    Result().reason = Printable(what);
    if (!Interrupted()) std::fprintf(stderr, "qvex-ctl: %s\n", Printable(what).c_str());
    return EXIT_LINK_FAILED;
}

int Session::usage(const std::string &what) {
    progressOff();
    Result().reason = Printable(what);
    if (!Interrupted()) std::fprintf(stderr, "qvex-ctl: %s\n", Printable(what).c_str());
    return EXIT_USAGE;
}

void Session::progressOn(int panel, int control, int maximum) {
    if (options.quiet) return;
    if (panel == 0) {
        panel = panelMAIN;
        control = MAIN_PROGRESS;
    }
    if (maximum < 1) maximum = 1;
    d->lastShown = -1;
    QObject::disconnect(&d->progress, nullptr, nullptr, nullptr);
    QObject::connect(&d->progress, &QTimer::timeout, [this, panel, control, maximum] {
        int shown = 0;
        GetCtrlVal(panel, control, &shown);
        const int value = static_cast<int>(std::min<long long>(100, std::max(0LL, 100LL * shown / maximum)));
        if (value == d->lastShown) return;
        d->lastShown = value;
        if (d->terminal) {
            const int filled = value * 30 / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%% ", std::string(filled, '#').c_str(),
                         std::string(30 - filled, ' ').c_str(), value);
        } else {
            std::fprintf(stderr, "%d%%\n", value);
        }
        std::fflush(stderr);
    });
    d->progress.start(kProgressIntervalMs);
}

void Session::progressOff() {
    if (!d->progress.isActive()) return;
    d->progress.stop();
    if (d->terminal && d->lastShown >= 0) std::fputs("\n", stderr);
}

} // namespace ctl
