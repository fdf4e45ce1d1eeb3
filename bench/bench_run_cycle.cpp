// RUN cycles per second with the program's own code: the panels loaded, the
// link open, RUN pressed as the operator would and STOP pressed by a timer.
// Every cycle is the real loop: live values part 1 and part 2 (command 8),
// the progress bar and status line, SetPanelDATA and PlotDATA. Cycles are
// counted from the simulator's request log (part-2 requests).
//
// (a) Over a pseudo-terminal, the simulator pacing its replies at 115200
//     baud. Reference: the wire limit, two exchanges of 72 bytes (request
//     and reply) x 10 bits a cycle = 115200 / 1440 = 80 cycles/s. The
//     request crosses the pty at once, so up to 160/s is reachable.
// (b) Over loopback TCP. Reference: a plain blocking socket client doing the
//     same two requests per cycle on the same simulator, in turns with the
//     program.
//
//   bench_run_cycle [--rounds N] [--seconds S]
//
// Last line: "ratio <pty cycles per second / 80>". Before it, for the TCP
// rounds: "tcp_program_per_raw <median ratio>" and "tcp_cpu_ms_per_cycle
// <median CPU milliseconds a cycle>".
#include "bench/common.h"
#include "bench/live.h"

#include "link/frame.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kWireBaud = 115200.0;
constexpr double kWireLimit = kWireBaud / (2 * 2 * kFrameSize * 10); // cycles per second
constexpr double kReplyLimit = kWireBaud / (2 * kFrameSize * 10);    // with only the replies paced

// ---- the reference for (b): two blocking requests per cycle ---------------------


// One RUN cycle's requests: live values part 1 and part 2.
void rawCycle(bench::RawTcpClient &client) {
    client.exchange(8, 0x6401);
    client.exchange(8, 0x6402);
}

double rawRate(int port, double seconds) {
    bench::RawTcpClient client(port);
    for (int i = 0; i < 10; ++i) rawCycle(client);
    long cycles = 0;
    const double t0 = bench::Now();
    double t;
    do {
        rawCycle(client);
        ++cycles;
    } while ((t = bench::Now()) - t0 < seconds);
    return cycles / (t - t0);
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_run_cycle");
    const int rounds = bench::OptInt(argc, argv, "--rounds", 3);
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 2.0);

    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();

    // ---- (a) pty, replies paced at 115200 baud
    const std::string ptyLog = bench::TempFrameLog("run-pty");
    bench::Sim sim = bench::StartSim({"--pty", "--pace", "--baud-index", "4", "--log-frames", ptyLog});
    std::printf("pty: simulator pid %d on %s, replies paced at %.0f baud; %d rounds of %.1f s\n", sim.pid,
                sim.ptyPath.c_str(), kWireBaud, rounds, seconds);
    bench::OpenPtyLink(sim.ptyPath);
    bench::TimedRun(0.3, ptyLog); // warm-up: first repaints, first strip-chart points
    std::vector<double> ptyRates;
    for (int i = 0; i < rounds; ++i) {
        const bench::RunFigures r = bench::TimedRun(seconds, ptyLog);
        std::printf("pty round %d: %ld cycles in %.2f s = %.1f cycles/s, cpu %.3f s (%.2f ms a cycle)\n", i + 1,
                    r.cycles, r.wall, r.rate(), r.cpu, 1e3 * r.cpu / r.cycles);
        ptyRates.push_back(r.rate());
    }
    bench::CloseLink();
    bench::StopSim();

    // ---- (b) loopback TCP, the program and a raw client taking turns
    const std::string tcpLog = bench::TempFrameLog("run-tcp");
    sim = bench::StartSim({"--tcp", "0", "--log-frames", tcpLog});
    std::printf("tcp: simulator pid %d on 127.0.0.1:%d; %d rounds of %.1f s per client\n", sim.pid, sim.tcpPort,
                rounds, seconds);
    std::vector<double> tcpRates, rawRates, ratios, cpuPerCycle;
    for (int i = 0; i < rounds; ++i) {
        double raw = 0;
        bench::RunFigures r;
        if (i % 2 == 1) raw = rawRate(sim.tcpPort, seconds);
        bench::OpenTcpLink(sim.tcpPort);
        bench::TimedRun(0.2, tcpLog);
        r = bench::TimedRun(seconds, tcpLog);
        bench::CloseLink();
        if (i % 2 == 0) raw = rawRate(sim.tcpPort, seconds);
        std::printf("tcp round %d: program %.1f cycles/s (cpu %.2f ms a cycle), raw %.1f cycles/s, ratio %.3f\n",
                    i + 1, r.rate(), 1e3 * r.cpu / r.cycles, raw, r.rate() / raw);
        tcpRates.push_back(r.rate());
        rawRates.push_back(raw);
        ratios.push_back(r.rate() / raw);
        cpuPerCycle.push_back(1e3 * r.cpu / r.cycles);
    }
    bench::StopSim();

    const double pty = bench::Median(ptyRates);
    std::printf("tcp: program median %.1f cycles/s, raw client median %.1f cycles/s\n", bench::Median(tcpRates),
                bench::Median(rawRates));
    std::printf("tcp_program_per_raw %.3f\n", bench::Median(ratios));
    std::printf("tcp_cpu_ms_per_cycle %.4f\n", bench::Median(cpuPerCycle));
    std::printf("pty: median %.1f cycles/s; wire limit %.1f cycles/s (2 x 72 bytes x 10 bits at %.0f baud), "
                "reply pacing alone allows %.1f/s\n",
                pty, kWireLimit, kWireBaud, kReplyLimit);
    std::printf("ratio %.3f\n", pty / kWireLimit);
    return 0;
}
