// Parameter transfer at the byte level: the controller model answering the
// program's sequences, the parameter faults, and the EEPROM image format.
#include "sim/eeprom.h"
#include "sim/faults.h"
#include "sim/model.h"
#include "sim_client.h"

#include <gtest/gtest.h>

using namespace sim;
using namespace simtest;

namespace {

std::vector<uint8_t> control(uint16_t command, uint16_t word0 = kParamBase) {
    Words w{};
    w[0] = word0;
    return makeFrame(command, w);
}

// Writes all 12 sets, checking each echo, then sends the activation frame
// (command 1 or 3) and returns its reply.
std::vector<uint8_t> sendRecord(Controller &c, const ParamRecord &record, uint16_t activation) {
    for (int n = 1; n <= kParamSets; ++n) {
        const auto req = makeFrame(CmdParamWrite, setWords(record, n));
        auto want = req;
        setFrameWord(want.data(), 0, uint16_t(n));
        EXPECT_EQ(c.handleRequest(req.data()), want) << "set " << n;
    }
    return c.handleRequest(control(activation).data());
}

// Prepares the read copy with command 2 or 4, then reads the 12 sets the way
// the program does (its own, here unrelated, values in words 1..15).
ParamRecord readRecord(Controller &c, uint16_t prepare) {
    EXPECT_EQ(c.handleRequest(control(prepare).data()), control(prepare, 0));
    ParamRecord got{};
    const ParamRecord junk = sampleRecord(9);
    for (int n = 1; n <= kParamSets; ++n) {
        const auto reply = c.handleRequest(makeFrame(CmdParamRead, setWords(junk, n)).data());
        EXPECT_EQ(frameCommand(reply.data()), CmdParamRead);
        for (int i = 0; i < kSetWords; ++i)
            got[std::size_t((n - 1) * kSetWords + i)] = frameWord(reply.data(), i);
    }
    return got;
}

// The first reply word of a whole send-and-read round under some faults.
std::vector<uint16_t> roundFirstWords(const Faults &f, uint16_t activation, uint16_t prepare) {
    Controller c;
    const ParamRecord x = sampleRecord(1);
    std::vector<std::vector<uint8_t>> requests;
    for (int n = 1; n <= kParamSets; ++n)
        requests.push_back(makeFrame(CmdParamWrite, setWords(x, n)));
    requests.push_back(control(activation));
    requests.push_back(control(prepare));
    for (int n = 1; n <= kParamSets; ++n)
        requests.push_back(makeFrame(CmdParamRead, setWords(x, n)));
    requests.push_back(control(CmdParamWrite, 0x1234)); // refused
    std::vector<uint16_t> first;
    for (const auto &req : requests) {
        const auto pieces = shapeReply(c.handleRequest(req.data()), true, f, false, 1);
        first.push_back(frameWord(pieces.front().data(), 0));
    }
    return first;
}

} // namespace

TEST(ParamModel, DefaultsArePlausibleAndRamStartsFromEeprom) {
    Controller c;
    const ParamRecord d = Controller::defaultParams();
    EXPECT_EQ(c.eeprom(), d);
    EXPECT_EQ(c.ram(), d);
    EXPECT_EQ(d[75], 0x0203);
    EXPECT_EQ(d[77], 0x0202);
    EXPECT_GE(d[74], 1) << "the program divides recording intervals by the scan rate";
    for (int w : {1, 17, 10, 26, 14, 30})
        EXPECT_NE(d[std::size_t(w)], 0) << "word " << w;
    for (int n = 1; n <= kParamSets; ++n)
        EXPECT_EQ(d[std::size_t((n - 1) * kSetWords)], n);
}

TEST(ParamModel, SetsTakeEffectWithTheActivationAndCommand3AlsoStores) {
    Controller c;
    const ParamRecord x = sampleRecord(1), y = sampleRecord(2);
    for (int n = 1; n <= kParamSets; ++n)
        c.handleRequest(makeFrame(CmdParamWrite, setWords(x, n)).data());
    EXPECT_EQ(c.ram(), Controller::defaultParams()) << "staged sets must not reach RAM yet";

    EXPECT_EQ(sendRecord(c, x, CmdParamWrite), control(CmdParamWrite, 0));
    EXPECT_EQ(c.ram(), x);
    EXPECT_EQ(c.eeprom(), Controller::defaultParams());
    EXPECT_EQ(c.eepromWrites(), 0u);

    EXPECT_EQ(sendRecord(c, y, CmdParamStore), control(CmdParamStore, 0));
    EXPECT_EQ(c.ram(), y);
    EXPECT_EQ(c.eeprom(), y);
    EXPECT_EQ(c.eepromWrites(), 1u);
}

TEST(ParamModel, SetsNotWrittenKeepRamAndSettingRamDropsStagedSets) {
    Controller c;
    const ParamRecord x = sampleRecord(3);
    c.handleRequest(makeFrame(CmdParamWrite, setWords(x, 4)).data());
    c.handleRequest(control(CmdParamWrite).data());
    ParamRecord want = Controller::defaultParams();
    std::copy_n(x.begin() + 48, kSetWords, want.begin() + 48);
    EXPECT_EQ(c.ram(), want);

    c.handleRequest(makeFrame(CmdParamWrite, setWords(x, 7)).data());
    const ParamRecord y = sampleRecord(4);
    c.setRam(y);
    c.handleRequest(control(CmdParamWrite).data());
    EXPECT_EQ(c.ram(), y);
}

TEST(ParamModel, ReadsComeFromTheCopyPreparedFromRamOrEeprom) {
    Controller c;
    const ParamRecord x = sampleRecord(5), y = sampleRecord(6), z = sampleRecord(7);
    c.setRam(z);
    EXPECT_EQ(readRecord(c, CmdParamRead), z);
    // Before any preparation sets come from RAM.
    Controller fresh;
    fresh.setRam(z);
    const auto set3 = fresh.handleRequest(makeFrame(CmdParamRead, setWords(x, 3)).data());
    EXPECT_EQ(frameWord(set3.data(), 0), 3);
    EXPECT_EQ(frameWord(set3.data(), 15), z[47]);

    sendRecord(c, x, CmdParamStore);
    sendRecord(c, y, CmdParamWrite);
    EXPECT_EQ(readRecord(c, CmdParamReadEeprom), x);
    EXPECT_EQ(readRecord(c, CmdParamRead), y);

    // The copy is a snapshot: a later activation does not show through.
    c.handleRequest(control(CmdParamReadEeprom).data());
    sendRecord(c, z, CmdParamStore);
    const auto set12 = c.handleRequest(makeFrame(CmdParamRead, setWords(z, 12)).data());
    EXPECT_EQ(frameWord(set12.data(), 0), 12);
    EXPECT_EQ(frameWord(set12.data(), 1), x[177]);
}

TEST(ParamModel, MalformedRequestsAreRefusedAndChangeNothing) {
    Controller c;
    const ParamRecord x = sampleRecord(8);
    Words activateWithData{};
    activateWithData[0] = kParamBase;
    activateWithData[9] = 1;
    Words set13 = setWords(x, 1);
    set13[0] = kParamBase + 13;
    Words bareNumber = setWords(x, 2);
    bareNumber[0] = 2;
    const std::vector<std::pair<uint16_t, Words>> bad = {
        {CmdParamWrite, activateWithData},
        {CmdParamStore, activateWithData},
        {CmdParamRead, activateWithData},
        {CmdParamReadEeprom, activateWithData},
        {CmdParamWrite, set13},
        {CmdParamRead, set13},
        {CmdParamWrite, bareNumber},
        {CmdParamRead, bareNumber},
        {CmdParamStore, setWords(x, 1)},
        {CmdParamReadEeprom, setWords(x, 1)},
        {CmdParamWrite, Words{}},
        {CmdParamStore, Words{}},
    };
    for (const auto &[command, words] : bad) {
        const auto reply = c.handleRequest(makeFrame(command, words).data());
        EXPECT_EQ(reply, control(command, kParamRefused)) << "command " << command << " word0 " << words[0];
    }
    // Had any of them been taken, this would show sample words.
    c.handleRequest(control(CmdParamStore).data());
    EXPECT_EQ(c.ram(), Controller::defaultParams());
    EXPECT_EQ(readRecord(c, CmdParamRead), Controller::defaultParams());
}

TEST(ParamFaults, WrongSetAtFalsifiesThatSetsWriteAndReadEchoOnly) {
    Faults f;
    f.wrongSetAt = 5;
    const std::vector<uint16_t> sets = {1, 2, 3, 4, 6, 6, 7, 8, 9, 10, 11, 12};
    std::vector<uint16_t> want = sets;
    want.insert(want.end(), {0, 0});
    want.insert(want.end(), sets.begin(), sets.end());
    want.push_back(kParamRefused);
    EXPECT_EQ(roundFirstWords(f, CmdParamStore, CmdParamReadEeprom), want);
    const auto other = control(9, 5); // an echoed command that happens to carry 5
    EXPECT_EQ(shapeReply(other, true, f, false, 1).front(), other);

    f.wrongSetAt = 12;
    const auto last = roundFirstWords(f, CmdParamWrite, CmdParamRead);
    EXPECT_EQ(last[11], 13);
    EXPECT_EQ(last[25], 13);
}

TEST(ParamFaults, BadActivationTouchesActivationRepliesOnly) {
    Faults f;
    f.badActivation = true;
    for (uint16_t activation : {CmdParamWrite, CmdParamStore}) {
        const auto first = roundFirstWords(f, activation, CmdParamRead);
        EXPECT_EQ(first[11], 12);
        EXPECT_EQ(first[12], 1) << "activation by command " << activation;
        EXPECT_EQ(first[13], 0) << "preparing the read copy is no activation";
        EXPECT_EQ(first.back(), kParamRefused);
    }
    EXPECT_EQ(roundFirstWords(f, CmdParamStore, CmdParamReadEeprom)[13], 0);
    const auto ack = shapeReply(control(CmdLineCheck, kAck), true, f, false, 1);
    EXPECT_EQ(frameWord(ack.front().data(), 0), kAck);
}

// Writing and reading the file, and damaged files, are covered with the
// simulator in test_eeprom.cpp; here what a person may write by hand.
TEST(EepromImage, HandWrittenImagesAndTheirMistakes) {
    std::string hand = "#no space after the hash\n1 A\tbeef # trailing comment\n";
    for (int i = 3; i < kParamWords; ++i)
        hand += "0 ";
    ParamRecord record{};
    std::string problem;
    ASSERT_TRUE(parseEepromImage(hand, record, problem)) << problem;
    EXPECT_EQ(record[0], 1);
    EXPECT_EQ(record[1], 0x000A);
    EXPECT_EQ(record[2], 0xBEEF);

    for (const std::string &bad :
         {hand + "0", hand.substr(0, hand.size() - 2), hand + " 12345",
          hand.substr(0, hand.size() - 2) + "0x12", hand.substr(0, hand.size() - 2) + "zz"}) {
        const ParamRecord before = record;
        problem.clear();
        EXPECT_FALSE(parseEepromImage(bad, record, problem)) << bad.substr(bad.size() - 8);
        EXPECT_FALSE(problem.empty());
        EXPECT_EQ(record, before);
    }
}
