#include "bench/live.h"

#include "bench/common.h"

#include "core/panels.h"
#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "link/transport.h"
#include "measure/graphs.h"
#include "measure/sampling.h"
#include "params/binding.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <vector>

#ifndef QVEX_BUILD_DIR
#define QVEX_BUILD_DIR "."
#endif

namespace bench {

void LoadProgramPanels() {
    SetPanelResourceDir(QVEX_BUILD_DIR);
    RegisterAllCallbacks();
    if (LoadAllPanels() < 0) Fail("the panels did not load from %s", QVEX_BUILD_DIR);
    // As at start-up: the record from the panels, the strip-chart traces
    // from the trace-selection panel's defaults.
    GetPanelValues(param);
    CC_SHOW_CB(panelSHOW, 0, EVENT_COMMIT, nullptr, 0, 0);
    DisplayPanel(panelMAIN);
    ProcessSystemEvents();
}

void OpenPtyLink(const std::string &path) {
    comprotocol = 0;
    comport = 1;
    SetComPortDevice(1, path);
    rs232con = InitRS232(1);
    if (rs232con != 1) Fail("program link on %s failed (InitRS232; status \"%s\")", path.c_str(), szStatus);
    comportold = comport;
    set_main_buttons(1, 1, send_get_status);
}

void OpenTcpLink(int port) {
    ConnectTcp(port);
    set_main_buttons(1, 1, send_get_status);
}

void CloseLink() {
    if (rs232con > 0) rs232con = InitRS232(0);
    if (tcpcon > 0) tcpcon = InitTCP_IP(0);
}

long CountPart2Requests(const std::string &frameLog) {
    std::ifstream in(frameLog);
    if (!in) Fail("cannot read the simulator's frame log %s", frameLog.c_str());
    long n = 0;
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("005500086402", 0) == 0) ++n;
    return n;
}

RunFigures TimedRun(double seconds, const std::string &frameLog) {
    const long before = CountPart2Requests(frameLog);
    const int popups = PopupsShown();
    bool stopped = false;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), [&stopped] {
        stopped = true;
        OperateCtrl(panelMAIN, MAIN_CMD_STOP);
    });
    RunFigures r;
    const double c0 = CpuSeconds();
    const double t0 = Now();
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    r.wall = Now() - t0;
    r.cpu = CpuSeconds() - c0;
    if (!stopped) Fail("RUN returned after %.2f s before STOP was pressed (status \"%s\")", r.wall, szStatus);
    if (std::strncmp(szStatus, "Error", 5) == 0) Fail("RUN ended with \"%s\"", szStatus);
    if (stop_flag != 1) Fail("RUN returned with stop_flag %d", stop_flag);
    if (PopupsShown() != popups) Fail("RUN raised %d pop-up(s)", PopupsShown() - popups);
    if (r.wall > seconds + 1.0) Fail("RUN took %.2f s to stop after STOP at %.2f s", r.wall, seconds);
    r.cycles = CountPart2Requests(frameLog) - before;
    if (r.cycles <= 0) Fail("the simulator saw no RUN cycle");
    return r;
}

std::string TempFrameLog(const char *tag) {
    const std::string name = TempFile(tag, ".frames");
    std::ofstream(name, std::ios::trunc); // the simulator appends
    return name;
}

} // namespace bench
