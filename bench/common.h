// Shared pieces of the link benchmarks: the simulator as a child process,
// the program's engine brought up without panels, clocks, and small
// statistics helpers.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Name used as the prefix of every error message ("bench_wait_cpu: ...").
void SetName(const char *name);

// Prints "<name>: error: <message>" to stderr, stops the simulator and
// exits with status 1.
[[noreturn]] void Fail(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The simulator program, run as a separate process so CPU figures taken with
// getrusage(RUSAGE_SELF) are the program's own. Only one at a time.
struct Sim {
    int pid = -1;
    int tcpPort = 0;     // from its "TCP 127.0.0.1:<port>" line, 0 if none
    std::string ptyPath; // from its "PTY <path>" line, empty if none
};

// Starts the simulator with the given options and waits (up to 10 s) for
// the ready lines the options ask for. Fails the benchmark when it cannot
// be started or does not come up. The simulator is stopped again at exit,
// on SIGINT/SIGTERM/SIGHUP, and when this process dies.
Sim StartSim(const std::vector<std::string> &args);
// Sends SIGTERM and reaps it (SIGKILL after 2 s). Safe to call twice.
void StopSim();
// True while the simulator has not exited.
bool SimAlive();

// Brings up the engine (offscreen unless QT_QPA_PLATFORM says otherwise)
// with a pop-up responder that never blocks: messages go to stderr and are
// counted. Installs the stop-signal handlers that take the simulator along.
void StartProgram(int argc, char **argv);
int PopupsShown();

// Opens the program's TCP link to the simulator (InitTCP_IP); fails the
// benchmark when it does not come up verified.
void ConnectTcp(int port);
// One exchange through the program's frame code: the command with payload
// word 0 = word0. The reply must echo the command and, when expectedWord0 is
// not negative, carry it in word 0. Returns the attempt counter (9 = no retry).
int Exchange(int command, unsigned short word0, int expectedWord0 = -1);

// The reference client of the TCP benchmarks: a plain blocking socket to
// 127.0.0.1 with TCP_NODELAY that writes a 36-byte request and reads until
// the 36-byte reply is in. Any failure fails the benchmark.
class RawTcpClient {
  public:
    explicit RawTcpClient(int port);
    ~RawTcpClient();
    RawTcpClient(const RawTcpClient &) = delete;
    RawTcpClient &operator=(const RawTcpClient &) = delete;
    // One request (command, payload word 0, rest zero); the reply must start
    // 0x00 0x55 and echo the command. Returns the reply's payload word 0.
    int exchange(int command, unsigned short word0);

  private:
    int fd_ = -1;
};

double Now();        // monotonic seconds
double CpuSeconds(); // user + system time of this process

double Median(std::vector<double> v);

// "--name value" options; the default when absent. Fails on a bad value.
double OptDouble(int argc, char **argv, const char *name, double fallback);
int OptInt(int argc, char **argv, const char *name, int fallback);
std::string OptString(int argc, char **argv, const char *name, const std::string &fallback = "");

// A file name of this run in $TMPDIR (else /tmp): qvex-<tag>-<pid><suffix>.
// The file, should one be made, is removed when the benchmark exits.
std::string TempFile(const std::string &tag, const char *suffix = "");

} // namespace bench
