// The controller model and the reply shaping, without any transport.
#include "sim/faults.h"
#include "sim/model.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace sim;

namespace {

std::vector<uint8_t> frame(uint16_t command, uint16_t word0 = 0, uint16_t word15 = 0) {
    Words w{};
    w[0] = word0;
    w[15] = word15;
    return makeFrame(command, w);
}

std::vector<uint8_t> flat(const std::vector<std::vector<uint8_t>> &pieces) {
    std::vector<uint8_t> all;
    for (const auto &p : pieces)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<size_t> sizes(const std::vector<std::vector<uint8_t>> &pieces) {
    std::vector<size_t> s;
    for (const auto &p : pieces)
        s.push_back(p.size());
    return s;
}

} // namespace

TEST(Controller, LineCheckAcknowledgesWithZeroPayload) {
    Controller c;
    const auto reply = c.handleRequest(frame(CmdLineCheck, 0x1234, 0x5678).data());
    EXPECT_EQ(reply, frame(CmdLineCheck, kAck));
}

TEST(Controller, VersionReplyIsZeroPaddedTextOfUpTo36Bytes) {
    Controller c;
    const std::string text = Controller::defaultVersionText();
    EXPECT_LE(text.size(), 35u);
    EXPECT_EQ(text.find('U'), std::string::npos) << "0x55 in the version text would look like a sync";
    auto reply = c.handleRequest(frame(CmdVersion).data());
    EXPECT_EQ(std::string(reply.begin(), reply.end()), text + std::string(36 - text.size(), '\0'));

    const std::string full(36, 'V');
    ASSERT_TRUE(c.setVersionText(full));
    reply = c.handleRequest(frame(CmdVersion).data());
    EXPECT_EQ(std::string(reply.begin(), reply.end()), full);
    EXPECT_FALSE(c.setVersionText(std::string(37, 'V')));
    EXPECT_EQ(c.versionText(), full);
}

TEST(Controller, BaudChangeAcceptsOnlyIndicesZeroToFour) {
    Controller c;
    EXPECT_EQ(c.baudIndex(), 1);
    for (uint16_t index : {0, 4, 5, 0xFFFF}) {
        const bool valid = index <= 4;
        EXPECT_EQ(c.handleRequest(frame(CmdBaudChange, index).data()),
                  frame(CmdBaudChange, valid ? kAck : 0));
        EXPECT_EQ(c.baudIndex(), valid ? index : 4);
    }
    EXPECT_EQ(baudRateForIndex(0), 9600);
    EXPECT_EQ(baudRateForIndex(4), 115200);
}

TEST(Controller, UnhandledCommandsAreEchoedByteForByte) {
    Controller c;
    // 8 and 9 only know their own first words (0x64xx).
    for (uint16_t command : {8, 9, 187, 0xBEEF}) {
        const auto req = frame(command, 0x00AA, 0x0155);
        EXPECT_EQ(c.handleRequest(req.data()), req) << "command " << command;
    }
}

TEST(RequestFramer, SkipsJunkAndReassemblesByteByByte) {
    RequestFramer f;
    const auto a = frame(12, 0x0055, 0x0055); // sync-like bytes inside must not cut it
    const auto b = frame(9, 2);
    std::vector<uint8_t> stream = {0x55, 0x12, 0x00, 0x00, 0x33, 0x00};
    stream.insert(stream.end(), a.begin(), a.end());
    stream.insert(stream.end(), b.begin(), b.end());

    std::array<uint8_t, kFrameBytes> out{};
    std::vector<std::vector<uint8_t>> got;
    for (uint8_t byte : stream) {
        f.append(&byte, 1);
        while (f.next(out))
            got.emplace_back(out.begin(), out.end());
    }
    EXPECT_EQ(got, (std::vector<std::vector<uint8_t>>{a, b}));
    EXPECT_EQ(f.buffered(), 0u);
}

TEST(ShapeReply, SplitAndStrayBytes) {
    const auto reply = frame(CmdLineCheck, kAck);
    Faults f;
    f.split = {10, 26};
    EXPECT_EQ(sizes(shapeReply(reply, true, f, false, 1)), (std::vector<size_t>{10, 26}));
    f.split = {1, 1, 100, 5}; // oversize pieces stop at the end of the reply
    EXPECT_EQ(sizes(shapeReply(reply, true, f, false, 1)), (std::vector<size_t>{1, 1, 34}));

    f.split = {10};
    f.strayBytes = 20;
    const auto pieces = shapeReply(reply, true, f, false, 1);
    EXPECT_EQ(sizes(pieces), (std::vector<size_t>{30, 26})); // the rest goes as one last piece
    const auto all = flat(pieces);
    EXPECT_EQ(std::count(all.begin(), all.begin() + 20, uint8_t(0x55)), 0);
    EXPECT_EQ(std::count(all.begin(), all.begin() + 20, uint8_t(0x00)), 0);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), all.begin() + 20));
}

TEST(ShapeReply, SwapSyncAndWrongAckTouchAcknowledgedFramesOnly) {
    Faults f;
    f.swapSync = true;
    f.wrongAck = true;
    const auto acked = flat(shapeReply(frame(CmdLineCheck, kAck), true, f, false, 1));
    EXPECT_EQ(std::vector<uint8_t>(acked.begin(), acked.begin() + 6),
              (std::vector<uint8_t>{0x55, 0x00, 0x00, 0x05, 0x00, 0xAB}));
    EXPECT_EQ(frameWord(flat(shapeReply(frame(9, 0x0123), true, f, false, 1)).data(), 0), 0x0123);

    const auto version = Controller().handleRequest(frame(CmdVersion).data());
    EXPECT_EQ(flat(shapeReply(version, false, f, false, 1)), version);
}

TEST(ShapeReply, GarbageHasNoSyncByteAndVaries) {
    Faults f;
    f.garbage = true;
    const auto reply = frame(CmdLineCheck, kAck);
    std::vector<uint8_t> previous;
    for (uint32_t seed = 0; seed < 200; ++seed) {
        const auto g = flat(shapeReply(reply, true, f, false, seed));
        ASSERT_EQ(g.size(), kFrameBytes);
        ASSERT_EQ(std::count(g.begin(), g.end(), uint8_t(0x55)), 0) << "seed " << seed;
        EXPECT_NE(g, previous);
        previous = g;
    }
}

TEST(ShapeReply, MidReplyCutKeepsTenBytes) {
    const auto reply = frame(CmdLineCheck, kAck);
    Faults f;
    f.split = {4};
    const auto pieces = shapeReply(reply, true, f, true, 1);
    EXPECT_EQ(sizes(pieces), (std::vector<size_t>{4, 6}));
    EXPECT_EQ(flat(pieces), std::vector<uint8_t>(reply.begin(), reply.begin() + 10));
}

TEST(FaultSwitch, StartAfterLetsTheFirstRepliesThroughClean) {
    FaultSwitch s;
    Faults f;
    f.startAfter = 2;
    f.dropNext = 1;
    f.delayMs = 550;
    s.set(f);
    for (int i = 0; i < 2; ++i) {
        const auto t = s.nextReply();
        EXPECT_FALSE(t.drop);
        EXPECT_EQ(t.faults, Faults{});
    }
    EXPECT_TRUE(s.nextReply().drop);
    const auto late = s.nextReply();
    EXPECT_FALSE(late.drop);
    EXPECT_EQ(late.faults.delayMs, 550);
}

TEST(FaultSwitch, DropsCountDownAndTheMidReplyCutIsOneShot) {
    FaultSwitch s;
    Faults f;
    f.dropNext = 2;
    f.disconnectMidReply = true;
    s.set(f);
    for (int i = 0; i < 2; ++i) {
        const auto t = s.nextReply();
        EXPECT_TRUE(t.drop);
        EXPECT_FALSE(t.cutMidReply) << "a dropped reply must not use up the cut";
    }
    EXPECT_EQ(s.get().dropNext, 0);
    const auto cut = s.nextReply();
    EXPECT_FALSE(cut.drop);
    EXPECT_TRUE(cut.cutMidReply);
    const auto after = s.nextReply();
    EXPECT_FALSE(after.drop || after.cutMidReply);

    f = Faults{};
    f.dropAll = true;
    s.set(f);
    EXPECT_TRUE(s.nextReply().drop && s.nextReply().drop);
}
