// Exchanges per second over the serial link, a pseudo-terminal to a
// simulator that sends its replies at the pace of a 115200-baud wire. The
// figure is set against the wire limit: a request and a reply, 72 bytes of
// 10 bits each, give 115200 / 720 = 160 exchanges a second. The stand-in for
// a RUN cycle is command 8 with word 0 = 0x6401 (live values, part 1).
//
// The simulator paces only its replies; the request crosses the pty at
// once, so more than the wire limit is reachable here. A plain blocking
// pty client is run in alternation as well, to show what the simulator
// itself allows.
//
//   bench_run_pty [--rounds N] [--seconds S]
//
// Last line: "ratio <program rate / wire limit>".
#include "bench/common.h"

#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr double kWireBaud = 115200.0;
constexpr double kWireLimit = kWireBaud / (2 * kFrameSize * 10); // exchanges per second
constexpr double kReplyLimit = kWireBaud / (kFrameSize * 10);     // with only the reply paced
constexpr int kRunCommand = 8;
constexpr unsigned short kRunWord = 0x6401;
constexpr int kWarmup = 10;

struct Run {
    long exchanges = 0;
    double seconds = 0;
    long retries = 0;
    double rate() const { return exchanges / seconds; }
};

// ---- the reference: plain blocking reads on the pty --------------------------

class RawPty {
  public:
    explicit RawPty(const std::string &path) : path_(path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) bench::Fail("raw client: open %s: %s", path.c_str(), std::strerror(errno));
        termios tio{};
        if (::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
        ::tcflush(fd_, TCIOFLUSH);
        std::memset(request_, 0, sizeof request_);
        request_[1] = 0x55;
        request_[3] = kRunCommand;
        request_[4] = kRunWord >> 8;
        request_[5] = kRunWord & 0xFF;
    }
    ~RawPty() { ::close(fd_); }
    RawPty(const RawPty &) = delete;
    RawPty &operator=(const RawPty &) = delete;

    void exchange() {
        if (::write(fd_, request_, kFrameSize) != kFrameSize)
            bench::Fail("raw client: write %s: %s", path_.c_str(), std::strerror(errno));
        int have = 0;
        while (have < kFrameSize) {
            pollfd p{fd_, POLLIN, 0};
            const int rc = ::poll(&p, 1, 1000);
            if (rc < 0 && errno == EINTR) continue;
            if (rc == 0) bench::Fail("raw client: no reply within 1 s");
            const ssize_t n = ::read(fd_, reply_ + have, kFrameSize - have);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) bench::Fail("raw client: read: %s", n == 0 ? "end of file" : std::strerror(errno));
            have += static_cast<int>(n);
        }
        if (reply_[0] != 0x00 || reply_[1] != 0x55 || reply_[2] != 0 || reply_[3] != kRunCommand)
            bench::Fail("raw client: unexpected reply %02x %02x %02x %02x %02x %02x", reply_[0], reply_[1],
                        reply_[2], reply_[3], reply_[4], reply_[5]);
    }

  private:
    std::string path_;
    int fd_ = -1;
    unsigned char request_[kFrameSize];
    unsigned char reply_[kFrameSize];
};

Run runRaw(const std::string &path, double seconds) {
    RawPty client(path);
    for (int i = 0; i < kWarmup; ++i) client.exchange();
    Run r;
    const double t0 = bench::Now();
    double t;
    do {
        client.exchange();
        ++r.exchanges;
    } while ((t = bench::Now()) - t0 < seconds);
    r.seconds = t - t0;
    return r;
}

// ---- the program ---------------------------------------------------------------

void programOpen(const std::string &path) {
    comprotocol = 0;
    comport = 1;
    SetComPortDevice(1, path);
    rs232con = InitRS232(1);
    if (rs232con != 1) bench::Fail("program link on %s failed (InitRS232; status \"%s\")", path.c_str(), szStatus);
    comportold = comport;
}

void programClose() { rs232con = InitRS232(0); }

int programExchange() { return bench::Exchange(kRunCommand, kRunWord); }

Run runProgram(const std::string &path, double seconds) {
    programOpen(path);
    for (int i = 0; i < kWarmup; ++i) programExchange();
    Run r;
    const double t0 = bench::Now();
    double t;
    do {
        if (programExchange() != 9) ++r.retries;
        ++r.exchanges;
    } while ((t = bench::Now()) - t0 < seconds);
    r.seconds = t - t0;
    programClose();
    return r;
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_run_pty");
    const int rounds = bench::OptInt(argc, argv, "--rounds", 3);
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 2.0);

    const bench::Sim sim = bench::StartSim({"--pty", "--pace", "--baud-index", "4"});
    bench::StartProgram(argc, argv);
    std::printf("simulator pid %d on %s, replies paced at %.0f baud; %d rounds of %.1f s per client\n", sim.pid,
                sim.ptyPath.c_str(), kWireBaud, rounds, seconds);

    std::vector<double> programRates, rawRates;
    long retries = 0;
    for (int i = 0; i < rounds; ++i) {
        Run raw, prog;
        if (i % 2 == 0) {
            prog = runProgram(sim.ptyPath, seconds);
            raw = runRaw(sim.ptyPath, seconds);
        } else {
            raw = runRaw(sim.ptyPath, seconds);
            prog = runProgram(sim.ptyPath, seconds);
        }
        std::printf("round %d: program %6.1f/s  raw %6.1f/s\n", i + 1, prog.rate(), raw.rate());
        programRates.push_back(prog.rate());
        rawRates.push_back(raw.rate());
        retries += prog.retries;
    }
    if (bench::PopupsShown() > 0) bench::Fail("the link raised %d pop-up(s) during the run", bench::PopupsShown());

    const double prog = bench::Median(programRates);
    const double raw = bench::Median(rawRates);
    std::printf("program: median %.1f exchanges/s (%.2f ms each), %ld retried\n", prog, 1e3 / prog, retries);
    std::printf("raw:     median %.1f exchanges/s (%.2f ms each); program / raw %.3f\n", raw, 1e3 / raw,
                prog / raw);
    std::printf("wire limit: %.1f exchanges/s (72 bytes x 10 bits at %.0f baud); reply pacing alone allows %.1f/s\n",
                kWireLimit, kWireBaud, kReplyLimit);
    std::printf("ratio %.3f\n", prog / kWireLimit);
    return 0;
}
