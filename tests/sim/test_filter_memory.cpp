// The controller's filter memory (commands 21, 180, 182) and test record
// (command 12) in the model; their command-line switches are in
// test_options.cpp and test_process.cpp, the program's side in tests/maint.
#include "sim/model.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {

std::vector<uint8_t> frame(uint16_t command, std::initializer_list<uint16_t> words) {
    Words w{};
    std::copy(words.begin(), words.end(), w.begin());
    return makeFrame(command, w);
}

uint16_t replyWord(const std::vector<uint8_t> &reply, int i) { return frameWord(reply.data(), i); }

// The frame that writes `count` words of `image` from word `first`.
std::vector<uint8_t> package(const FilterImage &image, int first, int count) {
    Words w{};
    w[0] = uint16_t(kFilterBase + first);
    w[1] = uint16_t(count);
    for (int i = 0; i < count; ++i) w[std::size_t(2 + i)] = image[std::size_t(first + i)];
    return makeFrame(CmdFilterWrite, w);
}

FilterImage sampleImage() {
    FilterImage image{};
    for (int i = 0; i < kFilterWords; ++i) image[std::size_t(i)] = uint16_t(0x8000 + 0x0101 * i);
    return image;
}

} // namespace

TEST(FilterMemory, CommandTwentyOneReportsTheFourTriplesAndRefusesOtherRequests) {
    Controller c;
    auto reply = c.handleRequest(frame(CmdFilterRead, {0x6401}).data());
    EXPECT_EQ(frameCommand(reply.data()), CmdFilterRead);
    EXPECT_EQ(replyWord(reply, 0), 0x6401);
    EXPECT_EQ(replyWord(reply, 1), 45) << "filter 1 as delivered: 45 taps";
    EXPECT_EQ(replyWord(reply, 2), 100);
    EXPECT_EQ(replyWord(reply, 3), 32767);
    for (int w : {5, 8, 11}) EXPECT_EQ(replyWord(reply, w), kFilterOff) << w;

    c.filterMemory().setSetting(2, 250);
    reply = c.handleRequest(frame(CmdFilterRead, {0x6401}).data());
    EXPECT_EQ(replyWord(reply, 8), 250);
    EXPECT_EQ(replyWord(c.handleRequest(frame(CmdFilterRead, {0x6400}).data()), 0), 0xFFFF);
}

TEST(FilterMemory, EraseAndWriteNeedSamplingStoppedAndStayInsideTheMemory) {
    Controller c;
    const FilterImage before = c.filterMemory().image();
    const auto erase = frame(CmdFilterErase, {kFilterBase});
    EXPECT_EQ(replyWord(c.handleRequest(erase.data()), 0), 0xFFFF) << "refused while sampling";
    EXPECT_EQ(c.filterMemory().image(), before);

    c.handleRequest(frame(CmdStopSampling, {}).data());
    EXPECT_EQ(c.handleRequest(erase.data()), erase) << "accepted: echoed";
    FilterImage erased;
    erased.fill(0xFFFF);
    EXPECT_EQ(c.filterMemory().image(), erased);

    const FilterImage image = sampleImage();
    for (int first = 0; first < 252; first += 14) c.handleRequest(package(image, first, 14).data());
    const auto last = package(image, 252, 4);
    EXPECT_EQ(c.handleRequest(last.data()), last);
    EXPECT_EQ(c.filterMemory().image(), image);

    // Outside the memory, too many words, no erase of another address.
    for (const auto &bad : {frame(CmdFilterWrite, {0x11FD, 4, 1, 2, 3, 4}), frame(CmdFilterWrite, {0x10FF, 1, 0}),
                            frame(CmdFilterWrite, {0x1100, 15}), frame(CmdFilterWrite, {0x1100, 0}),
                            frame(CmdFilterErase, {0x1000})})
        EXPECT_EQ(replyWord(c.handleRequest(bad.data()), 0), 0xFFFF);
    EXPECT_EQ(c.filterMemory().image(), image);

    // Programming without an erase only clears bits.
    c.handleRequest(frame(CmdFilterWrite, {0x1100, 1, 0x0F0F}).data());
    EXPECT_EQ(c.filterMemory().image()[0], image[0] & 0x0F0F);

    const auto &log = c.filterMemory().log();
    ASSERT_EQ(log.size(), 1u + 1 + 19 + 5 + 1);
    EXPECT_FALSE(log[0].accepted);
    EXPECT_EQ(describe(log[1]), "erase 1100");
    EXPECT_EQ(describe(log[20]), "write 11fc: 7cfc 7dfd 7efe 7fff");
    EXPECT_EQ(describe(log[21]), "write 11fd: 0001 0002 0003 0004 refused");
}

TEST(TestRecord, AnswerEchoesTheRecordWithTheInputsInWordSix) {
    Controller c;
    const auto record = frame(CmdTestData, {1, 2, 3, 4, 5, 6, 0x7777, 0, 0, 0, 1, 0, 0, 1, 1, 0});
    auto reply = c.handleRequest(record.data());
    EXPECT_EQ(replyWord(reply, 6), 0);
    c.setTestInputs(3);
    reply = c.handleRequest(record.data());
    for (int i = 0; i < kPayloadWords; ++i)
        EXPECT_EQ(replyWord(reply, i), i == 6 ? 3 : frameWord(record.data(), i)) << i;
    EXPECT_EQ(c.testRecord()[13], 1);
    EXPECT_EQ(c.testRecord()[6], 0x7777) << "the record as received";
}
