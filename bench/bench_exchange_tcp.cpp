// Frame exchanges per second over loopback TCP: the program's ExchangeFrame
// against a minimal blocking-socket client talking to the same simulator.
// The simulator serves one client at a time, so the two take turns; the
// order flips every round so drift in machine load hits both alike.
//
//   bench_exchange_tcp [--rounds N] [--seconds S]
//
// Last line: "ratio <program rate / raw rate>" (median over rounds).
#include "bench/common.h"

#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kWarmup = 50;

struct Run {
    long exchanges = 0;
    double seconds = 0;
    double cpu = 0;   // CPU seconds of this process during the run
    long retries = 0; // program only: exchanges that needed more than one attempt
    double rate() const { return exchanges / seconds; }
    double cpuMicros() const { return 1e6 * cpu / exchanges; } // per exchange
};

// ---- the reference: plain blocking socket -----------------------------------


void rawLineCheck(bench::RawTcpClient &client) {
    if (client.exchange(5, 0) != kAcknowledge) bench::Fail("raw client: the line check was not acknowledged");
}

Run runRaw(int port, double seconds) {
    bench::RawTcpClient client(port);
    for (int i = 0; i < kWarmup; ++i) rawLineCheck(client);
    Run r;
    const double c0 = bench::CpuSeconds();
    const double t0 = bench::Now();
    double t;
    do {
        rawLineCheck(client);
        ++r.exchanges;
    } while ((t = bench::Now()) - t0 < seconds);
    r.seconds = t - t0;
    r.cpu = bench::CpuSeconds() - c0;
    return r;
}

// ---- the program ---------------------------------------------------------------

void programConnect(int port) { bench::ConnectTcp(port); }

void programDisconnect() { tcpcon = InitTCP_IP(0); }

// One line check through the program; returns the attempt counter.
int programExchange() { return bench::Exchange(5, 0, kAcknowledge); }

Run runProgram(int port, double seconds) {
    programConnect(port);
    for (int i = 0; i < kWarmup; ++i) programExchange();
    Run r;
    const double c0 = bench::CpuSeconds();
    const double t0 = bench::Now();
    double t;
    do {
        if (programExchange() != 9) ++r.retries;
        ++r.exchanges;
    } while ((t = bench::Now()) - t0 < seconds);
    r.seconds = t - t0;
    r.cpu = bench::CpuSeconds() - c0;
    programDisconnect();
    return r;
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_exchange_tcp");
    const int rounds = bench::OptInt(argc, argv, "--rounds", 5);
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 1.0);

    const bench::Sim sim = bench::StartSim({"--tcp", "0"});
    bench::StartProgram(argc, argv);
    std::printf("simulator pid %d on 127.0.0.1:%d; %d rounds of %.1f s per client\n", sim.pid, sim.tcpPort,
                rounds, seconds);

    std::vector<double> ratios, programRates, rawRates, programCpu, rawCpu;
    long programTotal = 0, rawTotal = 0, retries = 0;
    double programTime = 0, rawTime = 0;
    for (int i = 0; i < rounds; ++i) {
        Run raw, prog;
        if (i % 2 == 0) {
            raw = runRaw(sim.tcpPort, seconds);
            prog = runProgram(sim.tcpPort, seconds);
        } else {
            prog = runProgram(sim.tcpPort, seconds);
            raw = runRaw(sim.tcpPort, seconds);
        }
        std::printf("round %d: program %6.0f/s (cpu %5.1f us each)  raw %6.0f/s (cpu %5.1f us each)  ratio %.3f\n",
                    i + 1, prog.rate(), prog.cpuMicros(), raw.rate(), raw.cpuMicros(), prog.rate() / raw.rate());
        ratios.push_back(prog.rate() / raw.rate());
        programRates.push_back(prog.rate());
        rawRates.push_back(raw.rate());
        programCpu.push_back(prog.cpuMicros());
        rawCpu.push_back(raw.cpuMicros());
        programTotal += prog.exchanges;
        rawTotal += raw.exchanges;
        programTime += prog.seconds;
        rawTime += raw.seconds;
        retries += prog.retries;
    }
    if (bench::PopupsShown() > 0) bench::Fail("the link raised %d pop-up(s) during the run", bench::PopupsShown());

    std::printf("program: %ld exchanges in %.2f s, median %.0f exchanges/s (%.1f us each, %.1f us cpu), "
                "%ld retried\n",
                programTotal, programTime, bench::Median(programRates), 1e6 / bench::Median(programRates),
                bench::Median(programCpu), retries);
    std::printf("raw:     %ld exchanges in %.2f s, median %.0f exchanges/s (%.1f us each, %.1f us cpu)\n", rawTotal,
                rawTime, bench::Median(rawRates), 1e6 / bench::Median(rawRates), bench::Median(rawCpu));
    std::printf("ratio %.3f\n", bench::Median(ratios));
    return 0;
}
