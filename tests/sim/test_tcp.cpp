// The simulator over loopback TCP, running in its own thread as the
// program's tests will use it.
#include "sim/runner.h"
#include "sim/server.h"
#include "sim_client.h"

#include <gtest/gtest.h>

using namespace sim;
using namespace simtest;

namespace {

class SimTcp : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start(true, false));
        ASSERT_NE(sim.tcpPort(), 0);
        ASSERT_TRUE(client.connectTo(sim.tcpPort()));
    }
    void setFaults(const std::function<void(Faults &)> &edit) {
        Faults f;
        edit(f);
        sim.setFaults(f);
    }
    SimThread sim;
    TcpClient client;
};

} // namespace

TEST_F(SimTcp, FramesRequestsTrickledInAfterJunkAndAnswersThem) {
    sim.setVersionText("Bench unit 7");
    const QByteArray stream =
        QByteArray::fromHex("5511aa00") + request(9, 0x0042) + request(CmdLineCheck) + request(CmdVersion);
    for (char byte : stream)
        client.send(QByteArray(1, byte));
    const QByteArray replies = client.readBytes(108);
    ASSERT_EQ(replies.size(), 108);
    EXPECT_EQ(replies.left(36), request(9, 0x0042));
    EXPECT_EQ(replies.mid(36, 36), request(CmdLineCheck, kAck));
    EXPECT_EQ(replies.mid(72), QByteArray("Bench unit 7").leftJustified(36, '\0'));
    EXPECT_EQ(sim.requestsReceived(), 3);
}

TEST_F(SimTcp, SplitPiecesArriveSeparatelyWithTheGap) {
    setFaults([](Faults &f) {
        f.split = {10, 26};
        f.splitGapMs = 60;
    });
    client.send(request(CmdLineCheck));
    const auto chunks = client.read(36);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].bytes.size(), 10);
    EXPECT_EQ(chunks[1].bytes.size(), 26);
    EXPECT_GE(chunks[1].atMs - chunks[0].atMs, 50);
    EXPECT_EQ(word(joined(chunks), 0), kAck);
}

TEST_F(SimTcp, DelayHoldsEveryReplyBack) {
    setFaults([](Faults &f) { f.delayMs = 120; });
    client.send(request(CmdLineCheck) + request(CmdLineCheck));
    const auto chunks = client.read(72);
    ASSERT_EQ(joined(chunks).size(), 72);
    EXPECT_GE(chunks.front().atMs, 110);
    // Both were waiting at once: the second is not a further 120 ms late.
    EXPECT_LT(chunks.back().atMs, 230);
}

TEST_F(SimTcp, DroppedRepliesAreStillCounted) {
    setFaults([](Faults &f) { f.dropNext = 2; });
    client.send(request(CmdLineCheck));
    client.send(request(CmdLineCheck));
    EXPECT_TRUE(client.quietFor(100));
    EXPECT_EQ(sim.faults().dropNext, 0);
    client.send(request(CmdLineCheck));
    EXPECT_EQ(client.readBytes(36).size(), 36);
    EXPECT_EQ(sim.requestsReceived(), 3);

    setFaults([](Faults &f) { f.dropAll = true; });
    client.send(request(CmdLineCheck));
    EXPECT_TRUE(client.quietFor(100));
}

// Every third reply is faulty, the kinds in turn: lost, 150 ms late, in
// pieces of 7, 13 and 16 bytes, 700 ms late. The replies between are clean.
TEST_F(SimTcp, IntermittentFaultsTakeTurnsOnEveryNthReply) {
    setFaults([](Faults &f) { f.intermittent = 3; });
    auto exchange = [&](int n) {
        for (int i = 0; i < n; ++i) client.send(request(CmdLineCheck));
    };
    exchange(2);
    EXPECT_EQ(client.readBytes(72).size(), 72);
    exchange(1); // 3rd: lost
    EXPECT_TRUE(client.quietFor(100));
    exchange(3); // 4th, 5th clean, 6th 150 ms late
    auto chunks = client.read(108);
    ASSERT_EQ(joined(chunks).size(), 108);
    EXPECT_LT(chunks.front().atMs, 100);
    EXPECT_GE(chunks.back().atMs, 140);
    exchange(3); // 9th in pieces
    chunks = client.read(108);
    ASSERT_EQ(joined(chunks).size(), 108);
    ASSERT_GE(chunks.size(), 3u); // the first piece may come with the clean replies
    EXPECT_EQ(chunks[chunks.size() - 2].bytes.size(), 13);
    EXPECT_EQ(chunks.back().bytes.size(), 16);
    exchange(3); // 12th 700 ms late
    chunks = client.read(108);
    ASSERT_EQ(joined(chunks).size(), 108);
    EXPECT_GE(chunks.back().atMs, 690);
    EXPECT_EQ(sim.requestsReceived(), 12);
}

TEST_F(SimTcp, OneBehindAnswersEachRequestWithThePreviousReply) {
    setFaults([](Faults &f) { f.oneBehind = true; });
    client.send(request(CmdTestData, 0x1111));
    EXPECT_TRUE(client.quietFor(100)) << "the first request has nothing before it";
    client.send(request(CmdTestData, 0x2222));
    EXPECT_EQ(client.readBytes(36), request(CmdTestData, 0x1111));
    client.send(request(CmdLineCheck));
    EXPECT_EQ(client.readBytes(36), request(CmdTestData, 0x2222));
    client.send(request(CmdVersion));
    EXPECT_EQ(client.readBytes(36), request(CmdLineCheck, kAck));
    EXPECT_TRUE(client.quietFor(100));

    // Switched off, the held reply is forgotten and answers are in step.
    setFaults([](Faults &) {});
    client.send(request(CmdLineCheck));
    EXPECT_EQ(client.readBytes(36), request(CmdLineCheck, kAck));
    EXPECT_TRUE(client.quietFor(100));
}

TEST_F(SimTcp, DisconnectAfterClosesAndCountsAfreshOnReconnect) {
    setFaults([](Faults &f) { f.disconnectAfter = 2; });
    for (int round = 0; round < 2; ++round) {
        client.send(request(CmdLineCheck));
        EXPECT_EQ(client.readBytes(36).size(), 36);
        client.send(request(CmdLineCheck));
        EXPECT_EQ(client.readBytes(36).size(), 36) << "round " << round;
        EXPECT_TRUE(client.waitClosed(1000)) << "round " << round;
        client.socket.abort();
        ASSERT_TRUE(client.connectTo(sim.tcpPort()));
    }
}

TEST_F(SimTcp, MidReplyDisconnectSendsTenBytesOnce) {
    setFaults([](Faults &f) { f.disconnectMidReply = true; });
    client.send(request(CmdLineCheck));
    const QByteArray part = client.readBytes(36, 500);
    EXPECT_EQ(part, request(CmdLineCheck).left(4) + QByteArray::fromHex("00aa00000000"));
    EXPECT_TRUE(client.waitClosed(1000));

    client.socket.abort();
    ASSERT_TRUE(client.connectTo(sim.tcpPort()));
    client.send(request(CmdLineCheck));
    EXPECT_EQ(client.readBytes(36).size(), 36);
}

TEST_F(SimTcp, NewClientReplacesTheOld) {
    TcpClient second;
    ASSERT_TRUE(second.connectTo(sim.tcpPort()));
    EXPECT_TRUE(client.waitClosed(1000));
    second.send(request(CmdLineCheck));
    EXPECT_EQ(second.readBytes(36).size(), 36);
}

TEST_F(SimTcp, PacingFollowsTheBaudRateAndItsChange) {
    ASSERT_TRUE(sim.setBaudIndex(0)); // 9600: 36 bytes take 37.5 ms
    setFaults([](Faults &f) { f.pace = true; });

    client.send(request(CmdLineCheck));
    auto chunks = client.read(36);
    ASSERT_EQ(joined(chunks).size(), 36);
    EXPECT_GE(chunks.back().atMs, 35);
    EXPECT_GE(chunks.size(), 3u) << "paced bytes should trickle in";

    // The acknowledge of the change still goes out at the old rate ...
    client.send(request(CmdBaudChange, 4));
    chunks = client.read(36);
    ASSERT_EQ(joined(chunks).size(), 36);
    EXPECT_EQ(word(joined(chunks), 0), kAck);
    EXPECT_GE(chunks.back().atMs, 35);
    EXPECT_EQ(sim.baudIndex(), 4);

    // ... the next frame at 115200 (3.1 ms).
    client.send(request(CmdLineCheck));
    chunks = client.read(36);
    ASSERT_EQ(joined(chunks).size(), 36);
    EXPECT_LT(chunks.back().atMs, 25);
}
