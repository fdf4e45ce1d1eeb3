// CPU the program burns during RUN while the controller is slow: the panels
// loaded, RUN pressed over loopback TCP against a simulator that holds every
// reply back 50 ms, STOP pressed by a timer. CPU seconds (user + system,
// whole process) per wall second of the run. For comparison, the same
// figure for a loop spinning on ProcessSystemEvents (a busy poll).
//
//   bench_run_cpu [--seconds S] [--spin-seconds S] [--delay MS]
//
// Last line: "cpu_per_wall <figure>" for the run.
#include "bench/common.h"
#include "bench/live.h"

#include "ui/engine/engine.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
    bench::SetName("bench_run_cpu");
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 4.0);
    const double spinSeconds = bench::OptDouble(argc, argv, "--spin-seconds", 0.5);
    const int delayMs = bench::OptInt(argc, argv, "--delay", 50);
    // The program gives up on a reply after 0.5 s.
    if (delayMs >= 450) bench::Fail("--delay must stay well under the program's 500 ms reply wait");

    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();
    const std::string log = bench::TempFrameLog("run-cpu");
    const bench::Sim sim = bench::StartSim({"--tcp", "0", "--delay", std::to_string(delayMs), "--log-frames", log});
    std::printf("simulator pid %d on 127.0.0.1:%d, replies delayed %d ms\n", sim.pid, sim.tcpPort, delayMs);
    bench::OpenTcpLink(sim.tcpPort);

    bench::TimedRun(0.3, log); // warm-up
    const bench::RunFigures r = bench::TimedRun(seconds, log);
    bench::CloseLink();

    // ---- the reference: a busy poll on the event queue
    long spins = 0;
    const double c1 = bench::CpuSeconds();
    const double t1 = bench::Now();
    double t;
    do {
        ProcessSystemEvents();
        ++spins;
    } while ((t = bench::Now()) - t1 < spinSeconds);
    const double spinWall = t - t1;
    const double spinCpu = bench::CpuSeconds() - c1;
    bench::StopSim();

    const double expected = 1000.0 / (2.0 * delayMs);
    std::printf("run: %ld cycles in %.2f s (%.2f/s; at most %.1f/s with %d ms a reply), cpu %.4f s "
                "(%.2f ms a cycle)\n",
                r.cycles, r.wall, r.rate(), expected, delayMs, r.cpu, 1e3 * r.cpu / r.cycles);
    std::printf("busy poll: %ld ProcessSystemEvents calls in %.2f s; cpu %.3f s\n", spins, spinWall, spinCpu);
    std::printf("busy_poll_cpu_per_wall %.3f\n", spinCpu / spinWall);
    std::printf("cpu_per_wall %.4f\n", r.cpu / r.wall);
    return 0;
}
