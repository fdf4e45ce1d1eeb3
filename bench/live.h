// The program with its panels loaded, driving the real RUN command: open a
// link, press RUN, press STOP from a timer after a while, and count the
// cycles the simulator saw in its request log.
#pragma once

#include <string>

namespace bench {

// Loads the program's panels from the build directory (callbacks bound by
// name first, the record and the strip-chart traces taken from the panels
// as at start-up) and shows the main panel. Fails the
// benchmark when they do not load.
void LoadProgramPanels();

// Opens the program's serial link on a pty / its TCP link, and enables the
// main commands as a successful connect does. Close undoes either.
void OpenPtyLink(const std::string &path);
void OpenTcpLink(int port);
void CloseLink();

// Requests in the simulator's frame log (--log-frames) that end a RUN
// cycle: command 8 with word 0 = 0x6402 (live values, part 2).
long CountPart2Requests(const std::string &frameLog);

struct RunFigures {
    long cycles = 0;    // part-2 requests the simulator received during the run
    double wall = 0;    // seconds from pressing RUN until the loop returned
    double cpu = 0;     // CPU seconds of this process in that time
    double rate() const { return cycles / wall; }
};

// Presses RUN through the operator path and STOP after `seconds` from a
// timer, so the real loop runs with live values, SetPanelDATA and PlotDATA
// every cycle. Fails the benchmark when the loop ends with an error, shows a
// pop-up or does not stop.
RunFigures TimedRun(double seconds, const std::string &frameLog);

// A fresh name for a frame log in the temporary directory; removed at exit.
std::string TempFrameLog(const char *tag);

} // namespace bench
