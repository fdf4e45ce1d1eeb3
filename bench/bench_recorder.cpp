// Rows per second of an automatic recording at interval 0 with the
// program's own code: the panels loaded, the link open, START pressed as the
// operator would, the run ending by itself after the requested rows. Each
// pass of the run waits 0.1 s, reads the live values (two command-8
// exchanges), refreshes the display and appends one row, on the disk before
// the next pass. Every recorded file is read back and checked: header, rows
// INDEX 0 to N-1 with twelve fields each, the closing line.
//
// (a) Over loopback TCP. Reference: a plain blocking socket client doing the
//     same pass on the same simulator (0.1 s from the start of one pass to
//     the next, then the two requests), in turns with the program.
// (b) Over a pseudo-terminal, the simulator pacing its replies at 115200
//     baud. Reference: the wire limit, 0.1 s plus two exchanges of 72 bytes
//     x 10 bits a row.
//
//   bench_recorder [--rows N] [--rounds R] [--pty-rows N] [--keep FILE]
//
// Last line: "ratio <tcp rows per second / reference rows per second>".
#include "bench/common.h"
#include "bench/live.h"

#include "core/groups.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "recorder/recfile.h"
#include "recorder/recorder.h"
#include "ui/engine/engine.h"
#include "ui/panels/recorder_ids.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kPassWait = 0.1;
constexpr double kWireBaud = 115200.0;
constexpr double kWireRowSeconds = kPassWait + 2 * 2 * kFrameSize * 10 / kWireBaud;

std::string tempRecordFile(const char *tag, int round) {
    return bench::TempFile(std::string(tag) + "-" + std::to_string(round), ".csv");
}

// The file as a spreadsheet reads it: CR LF lines, comma fields.
void checkRecordFile(const std::string &path, int rows) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            lines.emplace_back();
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
            bench::Fail("%s: a bare line end at byte %zu", path.c_str(), i);
        } else {
            lines.back() += text[i];
        }
    }
    if (lines.front() != "Logfile for recorded data.") bench::Fail("%s: no header", path.c_str());
    std::size_t k = 0;
    while (k < lines.size() && lines[k].rfind("INDEX,TIMESTAMP,", 0) != 0) ++k;
    if (k + rows + 2 != lines.size()) bench::Fail("%s: %zu lines, expected %zu", path.c_str(), lines.size(), k + rows + 2);
    for (int r = 0; r < rows; ++r) {
        const std::string &l = lines[k + 1 + static_cast<std::size_t>(r)];
        const long commas = std::count(l.begin(), l.end(), ',');
        if (commas != 12 || std::atoi(l.c_str()) != r || l.rfind(std::to_string(r) + ",", 0) != 0)
            bench::Fail("%s: row %d reads \"%s\"", path.c_str(), r, l.c_str());
    }
    if (lines.back().rfind("Recording successfully finished at ", 0) != 0)
        bench::Fail("%s: ends with \"%s\"", path.c_str(), lines.back().c_str());
}

struct RecordFigures {
    double wall = 0, cpu = 0;
};

// One automatic run of `rows` rows at interval 0 into `path`, pressed
// through the operator path.
RecordFigures record(const std::string &path, int rows) {
    std::snprintf(file_name, sizeof file_name, "%s", path.c_str());
    recorder_status = 1;
    headerwritten = 0;
    OperateCtrl(panelRECORDER, RECORDER_TYPE, REC_TYPE_AUTOMATIC);
    SetCtrlVal(panelRECORDER, RECORDER_NUM_SETS, rows);
    SetCtrlVal(panelRECORDER, RECORDER_INTERVAL, 0.0);
    const int popups = bench::PopupsShown();
    RecordFigures f;
    const double c0 = bench::CpuSeconds(), t0 = bench::Now();
    OperateCtrl(panelRECORDER, RECORDER_START);
    f.wall = bench::Now() - t0;
    f.cpu = bench::CpuSeconds() - c0;
    if (bench::PopupsShown() != popups) bench::Fail("the run raised %d pop-up(s)", bench::PopupsShown() - popups);
    if (recwerte != rows) bench::Fail("the run stored %d of %d rows (status \"%s\")", recwerte, rows, szStatus);
    checkRecordFile(path, rows);
    return f;
}

// The reference pass: the same wait and the same two requests, nothing else.
double rawRate(int port, int rows) {
    bench::RawTcpClient client(port);
    const double t0 = bench::Now();
    for (int r = 0; r < rows; ++r) {
        std::this_thread::sleep_for(std::chrono::duration<double>(kPassWait));
        client.exchange(8, 0x6401);
        client.exchange(8, 0x6402);
    }
    return rows / (bench::Now() - t0);
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_recorder");
    const int rows = bench::OptInt(argc, argv, "--rows", 50);
    const int rounds = bench::OptInt(argc, argv, "--rounds", 3);
    const int ptyRows = bench::OptInt(argc, argv, "--pty-rows", 30);
    const std::string keep = bench::OptString(argc, argv, "--keep");

    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();

    // ---- (a) loopback TCP, the program and a raw client taking turns
    bench::Sim sim = bench::StartSim({"--tcp", "0"});
    std::printf("tcp: simulator pid %d on 127.0.0.1:%d; %d rounds of %d rows at interval 0\n", sim.pid,
                sim.tcpPort, rounds, rows);
    std::vector<double> programRates, rawRates, ratios;
    for (int i = 0; i < rounds; ++i) {
        double raw = 0;
        const int rawRows = std::min(rows, 100); // the reference's rate does not depend on the count
        if (i % 2 == 1) raw = rawRate(sim.tcpPort, rawRows);
        bench::OpenTcpLink(sim.tcpPort);
        const std::string path = i == 0 && !keep.empty() ? keep : tempRecordFile("rec-tcp", i);
        const RecordFigures f = record(path, rows);
        bench::CloseLink();
        if (i % 2 == 0) raw = rawRate(sim.tcpPort, rawRows);
        const double rate = rows / f.wall;
        std::printf("tcp round %d: program %.2f rows/s (cpu %.2f ms a row), reference %.2f rows/s, ratio %.3f\n",
                    i + 1, rate, 1e3 * f.cpu / rows, raw, rate / raw);
        programRates.push_back(rate);
        rawRates.push_back(raw);
        ratios.push_back(rate / raw);
    }
    bench::StopSim();

    // ---- (b) pty, replies paced at 115200 baud
    sim = bench::StartSim({"--pty", "--pace", "--baud-index", "4"});
    std::printf("pty: simulator pid %d on %s, replies paced at %.0f baud; %d rows\n", sim.pid, sim.ptyPath.c_str(),
                kWireBaud, ptyRows);
    bench::OpenPtyLink(sim.ptyPath);
    const RecordFigures p = record(tempRecordFile("rec-pty", 0), ptyRows);
    bench::CloseLink();
    bench::StopSim();
    const double ptyRate = ptyRows / p.wall;

    std::printf("pty: %.2f rows/s; wire limit %.2f rows/s (0.1 s + 2 x 72 bytes x 10 bits at %.0f baud), "
                "ratio %.3f\n",
                ptyRate, 1.0 / kWireRowSeconds, kWireBaud, ptyRate * kWireRowSeconds);
    std::printf("tcp: program median %.2f rows/s, reference median %.2f rows/s\n", bench::Median(programRates),
                bench::Median(rawRates));
    std::printf("ratio %.3f\n", bench::Median(ratios));
    return 0;
}
