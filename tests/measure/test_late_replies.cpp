// RUN and DATA against controllers whose replies come late: just after the
// reply time, or always one request behind. Every value shown must be the
// controller's answer to the request that asked for it; the loops' normal
// request order is test_data.cpp's and test_sampling.cpp's.
#include "tests/measure/measure_fixture.h"

#include <algorithm>

namespace {

class LateReplyTest : public MeasureTest {
  protected:
    // A reply time of 0.5 s: 550 ms is just too late for every first attempt.
    static sim::Faults slow() {
        sim::Faults f;
        f.delayMs = 550;
        return f;
    }
    static sim::Faults oneBehind() {
        sim::Faults f;
        f.oneBehind = true;
        return f;
    }
    // rawdata words first..first+count against what the controller holds.
    ::testing::AssertionResult rawdataIsTrue(int first, int count) {
        const sim::RawData truth = sim.rawData();
        for (int i = first; i < first + count; ++i)
            if (rawdata[i] != truth[std::size_t(i)])
                return ::testing::AssertionFailure()
                       << "rawdata[" << i << "] = " << rawdata[i] << ", the controller says " << truth[std::size_t(i)];
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult curvesAreTrue(int n) {
        const auto a = sim.lastRecording(0), b = sim.lastRecording(1);
        if (!a || !b) return ::testing::AssertionFailure() << "no recording";
        for (int i = 0; i < n; ++i) {
            if (yArrayA[i] != a->samples[std::size_t(i)])
                return ::testing::AssertionFailure() << "yArrayA[" << i << "] = " << yArrayA[i] << ", recorded "
                                                     << a->samples[std::size_t(i)];
            if (yArrayB[i] != b->samples[std::size_t(i)])
                return ::testing::AssertionFailure() << "yArrayB[" << i << "] = " << yArrayB[i] << ", recorded "
                                                     << b->samples[std::size_t(i)];
        }
        return ::testing::AssertionSuccess();
    }
    void runAgainst(const sim::Faults &f) {
        std::fill(std::begin(rawdata), std::end(rawdata), 0);
        const sim::RawData truth = sim.rawData();
        ASSERT_FALSE(std::equal(truth.begin(), truth.begin() + 16, truth.begin() + 16))
            << "parts 1 and 2 must differ for a shift to show";
        sim.setFaults(f);
        stopAfter(8);
        OperateCtrl(panelMAIN, MAIN_CMD_RUN);
        EXPECT_EQ(StatusLine(), "Rawdata (part 2) received.");
        EXPECT_TRUE(rawdataIsTrue(0, 32));
        EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED), 0) << "the link is kept";
    }
    void dataAgainst(sim::Faults f) {
        sim.advanceTime(100'000); // both channels hold a recording not yet fetched
        std::fill(std::begin(yArrayA), std::end(yArrayA), 0);
        std::fill(std::begin(yArrayB), std::end(yArrayB), 0);
        std::fill(std::begin(rawdata), std::end(rawdata), 0);
        // Late from the last curve blocks of channel B on: a shift would
        // carry a curve block into rawdata and part 1 into part 2.
        f.startAfter = 13;
        sim.setFaults(f);
        stopAfter(1);
        OperateCtrl(panelMAIN, MAIN_CMD_DATA);
        // The re-arm's retry report stands before its " Trigger rearmed.".
        const std::string status = StatusLine(), tail = " Trigger rearmed.";
        EXPECT_TRUE(status.size() > tail.size() && status.compare(status.size() - tail.size(), tail.size(), tail) == 0)
            << status;
        EXPECT_TRUE(curvesAreTrue(128));
        EXPECT_TRUE(rawdataIsTrue(0, 32));
        EXPECT_EQ(Attr(panelMAIN, MAIN_CMD_DATA, ATTR_DIMMED), 0) << "the link is kept";
    }
};

TEST_F(LateReplyTest, RunAgainstASlowControllerShowsItsTrueValues) { runAgainst(slow()); }

TEST_F(LateReplyTest, RunAgainstAOneBehindControllerShowsItsTrueValues) { runAgainst(oneBehind()); }

TEST_F(LateReplyTest, DataAgainstASlowControllerKeepsEveryBlockInItsPlace) { dataAgainst(slow()); }

TEST_F(LateReplyTest, DataAgainstAOneBehindControllerKeepsEveryBlockInItsPlace) { dataAgainst(oneBehind()); }

// A reply that never comes must not make every later exchange wait for it.
TEST_F(LateReplyTest, ALostReplyCostsOneRetryNotOneForEveryLaterRequest) {
    sim::Faults f;
    f.dropNext = 1;
    sim.setFaults(f);
    stopAfter(40);
    const double t0 = Timer();
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_LT(Timer() - t0, 3.0);
    EXPECT_EQ(StatusLine(), "Rawdata (part 2) received.");
    EXPECT_TRUE(rawdataIsTrue(0, 32));
}

} // namespace
