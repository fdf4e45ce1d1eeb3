#include "bench/common.h"

#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QVEX_SIM_BIN
#define QVEX_SIM_BIN "qvex-sim"
#endif

namespace bench {

namespace {

const char *g_name = "bench";
volatile sig_atomic_t g_simPid = -1; // read by the signal handler
int g_simOut = -1;                   // read end of the simulator's stdout
bool g_atexitSet = false;
int g_popups = 0;

// Only async-signal-safe calls: stop the simulator, reap it (SIGKILL after
// about 2 s), leave.
void onStopSignal(int sig) {
    const pid_t pid = g_simPid;
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        const timespec tick{0, 10 * 1000 * 1000};
        int status;
        int i = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0 && ++i < 200) ::nanosleep(&tick, nullptr);
        if (i >= 200) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    }
    _exit(128 + sig);
}

void installStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

std::string simBinary() {
    const char *env = std::getenv("QVEX_SIM");
    return env && *env ? env : QVEX_SIM_BIN;
}

// Never blocks on a person: a pop-up during a benchmark means the link did
// something unexpected (e.g. the server closed the connection).
class LoggingPopups : public PopupResponder {
  public:
    int message(const std::string &title, const std::string &text) override {
        ++g_popups;
        std::fprintf(stderr, "%s: pop-up \"%s\": %s\n", g_name, title.c_str(), text.c_str());
        return 0;
    }
    int confirm(const std::string &title, const std::string &text) override {
        ++g_popups;
        std::fprintf(stderr, "%s: confirm \"%s\": %s (answered no)\n", g_name, title.c_str(), text.c_str());
        return 0;
    }
    int fileSelect(const FileSelectRequest &request, std::string *) override {
        ++g_popups;
        std::fprintf(stderr, "%s: file pop-up \"%s\" (cancelled)\n", g_name, request.title.c_str());
        return VAL_NO_FILE_SELECTED;
    }
};

LoggingPopups g_popupResponder;

} // namespace

void SetName(const char *name) {
    g_name = name;
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // progress lines show up as they happen
}

void Fail(const char *format, ...) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: ", g_name);
    va_list ap;
    va_start(ap, format);
    std::vfprintf(stderr, format, ap);
    va_end(ap);
    std::fputc('\n', stderr);
    StopSim();
    // No static destructors: the engine's objects may be in any state here.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(1);
}

Sim StartSim(const std::vector<std::string> &args) {
    if (g_simPid > 0) Fail("a simulator is already running");
    const std::string bin = simBinary();
    if (::access(bin.c_str(), X_OK) != 0)
        Fail("simulator %s not found or not executable (%s); build target qvex-sim or set QVEX_SIM",
             bin.c_str(), std::strerror(errno));
    if (!g_atexitSet) {
        std::atexit(StopSim);
        g_atexitSet = true;
    }
    installStopHandlers();

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) Fail("pipe: %s", std::strerror(errno));
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(bin.c_str()));
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) Fail("fork: %s", std::strerror(errno));
    if (pid == 0) {
        // Goes down with us, however we end.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) _exit(1);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(bin.c_str(), argv.data());
        const char msg[] = "exec of the simulator failed\n";
        [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, msg, sizeof msg - 1);
        _exit(127);
    }
    ::close(out[1]);
    g_simPid = pid;
    g_simOut = out[0];

    const bool wantTcp = std::find(args.begin(), args.end(), "--tcp") != args.end();
    const bool wantPty = std::find(args.begin(), args.end(), "--pty") != args.end();
    Sim sim;
    sim.pid = pid;
    std::string text;
    const double deadline = Now() + 10.0;
    for (;;) {
        // Parse complete lines seen so far.
        std::size_t eol;
        while ((eol = text.find('\n')) != std::string::npos) {
            const std::string line = text.substr(0, eol);
            text.erase(0, eol + 1);
            unsigned port = 0;
            if (std::sscanf(line.c_str(), "TCP 127.0.0.1:%u", &port) == 1) sim.tcpPort = static_cast<int>(port);
            else if (line.rfind("PTY ", 0) == 0) sim.ptyPath = line.substr(4);
        }
        if ((!wantTcp || sim.tcpPort > 0) && (!wantPty || !sim.ptyPath.empty())) break;
        const double left = deadline - Now();
        if (left <= 0) Fail("simulator (pid %d) did not report ready within 10 s", pid);
        pollfd p{g_simOut, POLLIN, 0};
        const int rc = ::poll(&p, 1, static_cast<int>(left * 1000) + 1);
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) continue;
        char buf[256];
        const ssize_t n = ::read(g_simOut, buf, sizeof buf);
        if (n > 0) {
            text.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        int status = 0;
        ::waitpid(pid, &status, 0);
        g_simPid = -1;
        if (WIFEXITED(status))
            Fail("simulator exited with status %d before it was ready (%s)", WEXITSTATUS(status), bin.c_str());
        Fail("simulator died before it was ready (signal %d)", WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }
    return sim;
}

void StopSim() {
    const pid_t pid = g_simPid;
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        const double until = Now() + 2.0;
        int status = 0;
        pid_t r;
        while ((r = ::waitpid(pid, &status, WNOHANG)) == 0 && Now() < until) ::usleep(5000);
        if (r == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        g_simPid = -1;
    }
    if (g_simOut >= 0) {
        ::close(g_simOut);
        g_simOut = -1;
    }
}

bool SimAlive() {
    const pid_t pid = g_simPid;
    if (pid <= 0) return false;
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
        g_simPid = -1;
        return false;
    }
    return true;
}

void StartProgram(int argc, char **argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!InitCVIRTE(argc, argv)) Fail("the engine did not start (InitCVIRTE failed)");
    SetPopupResponder(&g_popupResponder);
    // The engine installs its own stop handlers; ours must take the
    // simulator along, and no event loop runs here to act on the engine's.
    installStopHandlers();
}

int PopupsShown() { return g_popups; }

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuSeconds() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

namespace {
const char *optValue(int argc, char **argv, const char *name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) {
            if (i + 1 >= argc) Fail("%s needs a value", name);
            return argv[i + 1];
        }
    return nullptr;
}
} // namespace

namespace {
std::vector<std::string> g_tempFiles;
void removeTempFiles() {
    for (const std::string &f : g_tempFiles) ::unlink(f.c_str());
}
} // namespace

std::string TempFile(const std::string &tag, const char *suffix) {
    const char *dir = std::getenv("TMPDIR");
    char name[512];
    std::snprintf(name, sizeof name, "%s/qvex-%s-%d%s", dir && *dir ? dir : "/tmp", tag.c_str(),
                  static_cast<int>(::getpid()), suffix);
    if (g_tempFiles.empty()) std::atexit(removeTempFiles);
    g_tempFiles.push_back(name);
    return name;
}

std::string OptString(int argc, char **argv, const char *name, const std::string &fallback) {
    const char *v = optValue(argc, argv, name);
    return v ? std::string(v) : fallback;
}

double OptDouble(int argc, char **argv, const char *name, double fallback) {
    const char *v = optValue(argc, argv, name);
    if (!v) return fallback;
    double d = 0;
    if (!ParseDecimal(v, &d) || d <= 0) Fail("%s: expected a positive number such as 0.5, got '%s'", name, v);
    return d;
}

int OptInt(int argc, char **argv, const char *name, int fallback) {
    const char *v = optValue(argc, argv, name);
    if (!v) return fallback;
    char *end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (end == v || *end || n <= 0 || n > 1000000) Fail("%s: expected a positive whole number, got '%s'", name, v);
    return static_cast<int>(n);
}

void ConnectTcp(int port) {
    comprotocol = 1;
    std::snprintf(ipBuf, sizeof ipBuf, "127.0.0.1");
    portNum = port;
    tcpcon = InitTCP_IP(1);
    if (tcpcon != 1) Fail("program link to 127.0.0.1:%d failed (InitTCP_IP; status \"%s\")", port, szStatus);
}

int Exchange(int command, unsigned short word0, int expectedWord0) {
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    emptyframe[0] = word0;
    order = command;
    FillTxBuf(order, emptyframe);
    const int ok = ExchangeFrame();
    if (!ok) Fail("program exchange failed (status \"%s\")%s", szStatus, SimAlive() ? "" : "; the simulator has exited");
    if (GetRxBuf(emptyframe) != command || (expectedWord0 >= 0 && emptyframe[0] != expectedWord0))
        Fail("program exchange: unexpected reply (command %d, word 0 = 0x%04x)", order, emptyframe[0]);
    return ok;
}

RawTcpClient::RawTcpClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) Fail("raw client: socket: %s", std::strerror(errno));
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        Fail("raw client: connect to 127.0.0.1:%d: %s", port, std::strerror(errno));
}

RawTcpClient::~RawTcpClient() { ::close(fd_); }

int RawTcpClient::exchange(int command, unsigned short word0) {
    unsigned char request[kFrameSize] = {};
    unsigned char reply[kFrameSize];
    request[1] = 0x55;
    request[2] = static_cast<unsigned char>(command >> 8);
    request[3] = static_cast<unsigned char>(command & 0xFF);
    request[4] = static_cast<unsigned char>(word0 >> 8);
    request[5] = static_cast<unsigned char>(word0 & 0xFF);
    if (::send(fd_, request, kFrameSize, MSG_NOSIGNAL) != kFrameSize)
        Fail("raw client: write: %s", std::strerror(errno));
    int have = 0;
    while (have < kFrameSize) {
        const ssize_t n = ::recv(fd_, reply + have, kFrameSize - have, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("raw client: read: %s", n == 0 ? "connection closed" : std::strerror(errno));
        have += static_cast<int>(n);
    }
    if (reply[0] != 0x00 || reply[1] != 0x55 || reply[2] * 256 + reply[3] != command)
        Fail("raw client: unexpected reply %02x %02x %02x %02x", reply[0], reply[1], reply[2], reply[3]);
    return reply[4] * 256 + reply[5];
}

} // namespace bench
