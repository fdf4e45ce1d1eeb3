// Time of one Send and one Get of the parameter record (13 exchanges each)
// over the serial link: a pseudo-terminal to a simulator that sends its
// replies at the pace of a 115200-baud wire. The figure is set against the
// wire limit of 13 requests and 13 replies of 36 bytes of 10 bits:
// 13 x 72 x 10 / 115200 s = 81.25 ms. The simulator paces only its replies,
// so a request crosses at once and ratios above 1 are reachable.
//
//   bench_param_transfer [--rounds N]
//
// Last line: "ratio <wire time / slower of Send and Get>".
#include "bench/common.h"

#include "link/transport.h"
#include "params/record.h"
#include "params/transfer.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr double kWireSeconds = 13.0 * 72 * 10 / 115200.0;

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_param_transfer");
    const int rounds = bench::OptInt(argc, argv, "--rounds", 10);
    bench::StartProgram(argc, argv);
    const bench::Sim sim = bench::StartSim({"--pty", "--pace", "--baud-index", "4"});

    comprotocol = 0;
    comport = comportold = 1;
    SetComPortDevice(1, sim.ptyPath);
    rs232con = InitRS232(1);
    if (rs232con != 1) bench::Fail("the serial link to %s did not open", sim.ptyPath.c_str());

    std::vector<double> send, get;
    for (int r = 0; r < rounds; ++r) {
        target = RAM;
        double t0 = bench::Now();
        SendParameter(param);
        send.push_back(bench::Now() - t0);
        t0 = bench::Now();
        GetParameter(param);
        get.push_back(bench::Now() - t0);
        for (int n = 1; n <= PARAM_SETS; ++n)
            if (param[PARAM_SET_WORDS * (n - 1)] != n) bench::Fail("round %d: set %d was not loaded", r + 1, n);
    }
    if (bench::PopupsShown()) bench::Fail("a pop-up was shown during the run");
    const double s = bench::Median(send), g = bench::Median(get);
    std::printf("wire limit: %.2f ms for 13 exchanges at 115200 baud\n", kWireSeconds * 1000);
    std::printf("send: median %.2f ms (ratio %.3f)\n", s * 1000, kWireSeconds / s);
    std::printf("get:  median %.2f ms (ratio %.3f)\n", g * 1000, kWireSeconds / g);
    std::printf("ratio %.3f\n", kWireSeconds / std::max(s, g));
    rs232con = InitRS232(0);
    bench::StopSim();
    return 0;
}
