// The simulator behind a pseudo-terminal, opened the way a serial port is.
#include "sim/runner.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <QThread>

#include <ctime>

using namespace sim;
using namespace simtest;

namespace {

class SimPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start(false, true));
        ASSERT_TRUE(sim.ptyPath().startsWith(QStringLiteral("/dev/pts/"))) << sim.ptyPath().toStdString();
        ASSERT_TRUE(port.open(sim.ptyPath()));
    }
    SimThread sim;
    PtyClient port;
};

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

TEST_F(SimPty, AnswersRequestsWrittenInPieces) {
    const QByteArray req = QByteArray::fromHex("3300") + request(CmdLineCheck);
    ASSERT_TRUE(port.send(req.left(7)));
    QThread::msleep(20);
    ASSERT_TRUE(port.send(req.mid(7)));
    const QByteArray reply = port.readBytes(36);
    ASSERT_EQ(reply.size(), 36);
    EXPECT_EQ(reply.left(6), QByteArray::fromHex("0055000500aa"));

    port.send(request(CmdVersion));
    EXPECT_TRUE(port.readBytes(36).startsWith("Q-VEX-MOD7-ARC"));
}

TEST_F(SimPty, ReopeningTheSlaveNeitherHangsUpNorSpins) {
    port.send(request(CmdLineCheck));
    ASSERT_EQ(port.readBytes(36).size(), 36);
    port.close();

    // With nobody on the slave the simulator must sit idle, not busy-loop.
    const double before = cpuSeconds();
    QThread::msleep(300);
    EXPECT_LT(cpuSeconds() - before, 0.1);

    ASSERT_TRUE(port.open(sim.ptyPath()));
    port.send(request(CmdLineCheck));
    const QByteArray reply = port.readBytes(36, 500);
    EXPECT_EQ(reply.left(6), QByteArray::fromHex("0055000500aa"));
}

TEST_F(SimPty, SplitPiecesArriveSeparately) {
    Faults f;
    f.split = {10, 26};
    f.splitGapMs = 60;
    sim.setFaults(f);
    port.send(request(CmdLineCheck));
    const auto chunks = port.read(36);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].bytes.size(), 10);
    EXPECT_GE(chunks[1].atMs - chunks[0].atMs, 50);
}

TEST_F(SimPty, DisconnectFaultsSilenceTheLineUntilReset) {
    Faults f;
    f.disconnectAfter = 1;
    sim.setFaults(f);
    port.send(request(CmdLineCheck));
    EXPECT_EQ(port.readBytes(36).size(), 36);
    port.send(request(CmdLineCheck));
    EXPECT_TRUE(port.quietFor(100));

    Faults cut;
    cut.disconnectMidReply = true;
    sim.setFaults(cut); // also lifts the silence
    port.send(request(CmdLineCheck));
    EXPECT_EQ(port.readBytes(36, 150).size(), 10);
    port.send(request(CmdLineCheck));
    EXPECT_TRUE(port.quietFor(100));

    sim.setFaults(Faults{});
    port.send(request(CmdLineCheck));
    EXPECT_EQ(port.readBytes(36).size(), 36);
    EXPECT_EQ(sim.requestsReceived(), 5);
}
