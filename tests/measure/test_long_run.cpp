// Long runs in small: RUN and DATA started and stopped over and over through
// the operator's commands, against the simulator with intermittent faults.
// Whatever the program keeps per cycle must stay at its bound: the same
// size after twice as many cycles. bench/soak measures the hour-long figure.
#include "tests/measure/measure_fixture.h"

#include "link/frame.h"
#include "ui/engine/engine_p.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"

#include <malloc.h>

namespace {

class LongRunTest : public MeasureTest {
  protected:
    void TearDown() override {
        HidePanel(panelMAIN);
        MeasureTest::TearDown();
    }
    static const engine::GraphModel &model(int id) {
        return static_cast<QvGraph *>(GetCtrlWidget(panelMAIN, id))->model();
    }
    // Presses the loop command, lets `requests` requests through and STOP.
    void cycles(int loopCommand, int requests) {
        sim.clearRequestLog();
        stopAfter(requests);
        OperateCtrl(panelMAIN, loopCommand);
        ProcessSystemEvents(); // the panel paints itself idle again
    }
    // The highest count of replies owed to earlier attempts, sampled at
    // every tick of the fixture's timer while the loop runs.
    int owedPeak = 0;
    void runWatchingOwed(int requests) {
        sim.clearRequestLog();
        onTick = [this, requests] {
            owedPeak = std::max(owedPeak, RepliesOwed());
            if (static_cast<int>(sim.requestLog().size()) >= requests && stop_flag == 0) {
                OperateCtrl(panelMAIN, MAIN_CMD_STOP);
                onTick = nullptr;
            }
        };
        OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    }
};

// The button RUN turns red while the loop runs and white again after it. The
// style paints each look of a button once and keeps the picture; every
// change of colour is a new look, so the pictures of looks gone by (and the
// names they are filed under) would pile up for as long as the program runs.
TEST_F(LongRunTest, StartingAndStoppingRunOverAndOverKeepsTheHeapFlat) {
    if (mallinfo2().uordblks == 0) GTEST_SKIP() << "the allocator does not report what it holds";
    DisplayPanel(panelMAIN);
    for (int i = 0; i < 20; ++i) cycles(MAIN_CMD_RUN, 4); // fonts and pictures the panel needs
    const double settled = static_cast<double>(mallinfo2().uordblks);
    const std::size_t palettes = engine::sharedPaletteCount();
    for (int i = 0; i < 200; ++i) cycles(MAIN_CMD_RUN, 4);
    const double grown = (static_cast<double>(mallinfo2().uordblks) - settled) / 1024.0;
    EXPECT_LT(grown, 256.0) << "KB more on the heap after 200 runs";
    EXPECT_EQ(engine::sharedPaletteCount(), palettes) << "red and white are the same two looks every time";
}

// The strip chart keeps one screenful, the exchange only the replies of
// attempts still out: the same after twice as many cycles, with every
// 13th reply lost, late, split or too late.
TEST_F(LongRunTest, RunUnderFaultsKeepsTheHistoryAndTheOwedRepliesAtTheirBound) {
    const engine::GraphModel &strip = model(MAIN_STRIPCHART);
    ClearStripChart(panelMAIN, MAIN_STRIPCHART);
    runWatchingOwed(240);
    const std::size_t storage = strip.storageSize(), rows = strip.rowsKept();
    EXPECT_EQ(rows, 101u) << "120 cycles fill a screen of 101 rows";
    sim::Faults faults;
    faults.intermittent = 13;
    sim.setFaults(faults);
    runWatchingOwed(80);
    const int owedAfterFirst = owedPeak;
    runWatchingOwed(160);
    EXPECT_EQ(strip.storageSize(), storage);
    EXPECT_EQ(strip.rowsKept(), rows);
    EXPECT_GT(owedPeak, 0) << "the faults made the program ask again";
    EXPECT_LE(owedPeak, std::max(owedAfterFirst, 2));
}

// DATA draws both channels and their markers anew every cycle: the graph
// keeps one cycle's plots, not every cycle's.
TEST_F(LongRunTest, DataCyclesKeepOneCyclesPlotsOnTheGraph) {
    visA[0] = visB[0] = visA[4] = visB[4] = 1;
    const engine::GraphModel &graph = model(MAIN_GRAPH);
    cycles(MAIN_CMD_DATA, 4 * 10);
    const std::size_t plots = graph.plots.size();
    EXPECT_GE(plots, 6u) << "two curves and their level lines";
    cycles(MAIN_CMD_DATA, 4 * 30);
    EXPECT_EQ(graph.plots.size(), plots);
}

} // namespace
