// CPU the program burns while it waits for a slow controller: exchanges with
// a simulator that holds every reply back 100 ms, CPU seconds (user + system,
// whole process) per wall second. For comparison, the same figure for a
// loop that spins on ProcessSystemEvents, which is what a polling wait costs.
//
//   bench_wait_cpu [--seconds S] [--spin-seconds S] [--delay MS]
//
// Last line: "cpu_per_wall <figure>" for the exchanges.
#include "bench/common.h"

#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <cstdio>
#include <string>

int main(int argc, char **argv) {
    bench::SetName("bench_wait_cpu");
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 3.0);
    const double spinSeconds = bench::OptDouble(argc, argv, "--spin-seconds", 0.5);
    const int delayMs = bench::OptInt(argc, argv, "--delay", 100);
    // The program gives up on a reply after 0.5 s.
    if (delayMs >= 450) bench::Fail("--delay must stay well under the program's 500 ms reply wait");

    const bench::Sim sim = bench::StartSim({"--tcp", "0", "--delay", std::to_string(delayMs)});
    bench::StartProgram(argc, argv);
    std::printf("simulator pid %d on 127.0.0.1:%d, replies delayed %d ms\n", sim.pid, sim.tcpPort, delayMs);

    bench::ConnectTcp(sim.tcpPort);

    // ---- exchanges against the slow controller
    long exchanges = 0, retries = 0;
    const double cpu0 = bench::CpuSeconds();
    const double t0 = bench::Now();
    double t;
    do {
        const int ok = bench::Exchange(5, 0, kAcknowledge);
        if (ok != 9) ++retries;
        ++exchanges;
    } while ((t = bench::Now()) - t0 < seconds);
    const double waitWall = t - t0;
    const double waitCpu = bench::CpuSeconds() - cpu0;

    // ---- the reference: a busy poll on the event queue
    long spins = 0;
    const double cpu1 = bench::CpuSeconds();
    const double t1 = bench::Now();
    do {
        ProcessSystemEvents();
        ++spins;
    } while ((t = bench::Now()) - t1 < spinSeconds);
    const double spinWall = t - t1;
    const double spinCpu = bench::CpuSeconds() - cpu1;

    tcpcon = InitTCP_IP(0);
    if (bench::PopupsShown() > 0) bench::Fail("the link raised %d pop-up(s) during the run", bench::PopupsShown());

    std::printf("exchanges: %ld in %.2f s (%.2f/s, %.1f ms each), %ld retried; cpu %.4f s\n", exchanges, waitWall,
                exchanges / waitWall, 1e3 * waitWall / exchanges, retries, waitCpu);
    std::printf("busy poll: %ld ProcessSystemEvents calls in %.2f s; cpu %.3f s\n", spins, spinWall, spinCpu);
    std::printf("busy_poll_cpu_per_wall %.3f\n", spinCpu / spinWall);
    std::printf("cpu_per_wall %.4f\n", waitCpu / waitWall);
    return 0;
}
