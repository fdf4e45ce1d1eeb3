// Wall time of one `qvex-ctl get --from ram` against the simulator over
// loopback TCP, next to a plain blocking socket client making the same 13
// exchanges (prepare the read copy, then sets 1 to 12) on a fresh connection.
// qvex-ctl's time includes its start-up: loading the panels offscreen and
// the connection dialog's line check and version read.
//
//   bench_ctl_get [--runs N]
//
// Last line: "ratio <qvex-ctl seconds / raw seconds>" (medians).
#include "bench/common.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kParamRead = 2;
constexpr unsigned short kParamBase = 0x6400;
constexpr int kSets = 12;

double rawGet(int port) {
    const double t0 = bench::Now();
    bench::RawTcpClient client(port);
    client.exchange(kParamRead, kParamBase);
    for (int set = 1; set <= kSets; ++set)
        client.exchange(kParamRead, static_cast<unsigned short>(kParamBase + set));
    return bench::Now() - t0;
}

double ctlGet(int port, const std::string &out) {
    const std::string command = std::string(QVEX_CTL_BIN) +
                                " --quiet --tcp 127.0.0.1:" + std::to_string(port) +
                                " get --from ram --out " + out + " >/dev/null";
    const double t0 = bench::Now();
    if (std::system(command.c_str()) != 0) bench::Fail("qvex-ctl get failed");
    return bench::Now() - t0;
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_ctl_get");
    const int runs = bench::OptInt(argc, argv, "--runs", 10);
    const bench::Sim sim = bench::StartSim({"--tcp", "0"});
    const std::string out = "/tmp/bench_ctl_get_" + std::to_string(getpid()) + ".ini";
    std::vector<double> ctl, raw;
    ctlGet(sim.tcpPort, out); // warm-up: page cache, panel files
    for (int i = 0; i < runs; ++i) {
        ctl.push_back(ctlGet(sim.tcpPort, out));
        raw.push_back(rawGet(sim.tcpPort));
    }
    std::remove(out.c_str());
    const double c = bench::Median(ctl), r = bench::Median(raw);
    std::printf("qvex_ctl_get_ms %.1f (median of %d; min %.1f)\n", 1e3 * c, runs,
                1e3 * *std::min_element(ctl.begin(), ctl.end()));
    std::printf("raw_13_exchanges_ms %.3f (median of %d)\n", 1e3 * r, runs);
    std::printf("ratio %.0f\n", c / r);
    bench::StopSim();
    return 0;
}
