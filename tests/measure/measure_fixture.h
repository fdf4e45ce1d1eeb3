// A program connected over TCP to the in-process simulator, with helpers to
// read its request log and to operate STOP while a loop runs.
#pragma once

#include "tests/fixtures/program.h"

#include "measure/data.h"
#include "measure/graphs.h"
#include "measure/sampling.h"
#include "params/record.h"
#include "sim/runner.h"
#include "ui/panels/main_ids.h"

#include <QTimer>

#include <array>
#include <functional>

using Request = std::array<uint8_t, 36>;

inline int word(const Request &r, int i) { return r[4 + 2 * i] * 256 + r[5 + 2 * i]; }
inline int command(const Request &r) { return r[2] * 256 + r[3]; }

inline int Attr(int panel, int control, int attribute) {
    int v = -1;
    GetCtrlAttribute(panel, control, attribute, &v);
    return v;
}

// Shows exactly the strip-chart traces listed (1..18) through the popup's
// check boxes.
inline void ShowTraces(std::initializer_list<int> traces) {
    for (int t = 1; t <= STRIP_TRACES; ++t) SetCtrlVal(panelSHOW, SHOW_EVAL1 - 1 + t, 0);
    for (int t : traces) SetCtrlVal(panelSHOW, SHOW_EVAL1 - 1 + t, 1);
    CC_SHOW_CB(panelSHOW, 0, EVENT_COMMIT, nullptr, 0, 0);
}

class MeasureTest : public ProgramTest {
  protected:
    sim::SimThread sim;
    QTimer watcher;
    std::function<void()> onTick;

    void SetUp() override {
        ProgramTest::SetUp();
        sim.setFixedTime(0);
        ASSERT_TRUE(sim.start(true, false));
        ASSERT_TRUE(openTcpLink(sim.tcpPort()));
        x_scale_preselect = x_scale = 100;
        y_scale_preselect = y_scale = 4095;
        ShowTraces({1, 9, 14});
        sim.clearRequestLog();
        QObject::connect(&watcher, &QTimer::timeout, [this] {
            if (onTick) onTick();
        });
        watcher.start(1);
    }
    void TearDown() override {
        watcher.stop();
        ProgramTest::TearDown();
    }
    // Presses STOP once the simulator has seen `requests` requests.
    void stopAfter(int requests) {
        onTick = [this, requests] {
            if (static_cast<int>(sim.requestLog().size()) >= requests && stop_flag == 0) {
                OperateCtrl(panelMAIN, MAIN_CMD_STOP);
                onTick = nullptr;
            }
        };
    }
    std::vector<Request> frames() { return sim.requestLog(); }
};
