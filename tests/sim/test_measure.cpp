// The measurement commands: rawdata blocks, triggered recordings and the
// one-shot sensor commands, all under a stopped clock moved by hand.
#include "sim/faults.h"
#include "sim/model.h"
#include "sim/runner.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <utility>

using namespace sim;
using namespace simtest;

namespace {

constexpr int64_t kMs = 1000;

std::vector<uint8_t> ask(Controller &c, uint16_t command, uint16_t w0 = 0, uint16_t w1 = 0) {
    Words w{};
    w[0] = w0;
    w[1] = w1;
    return c.handleRequest(makeFrame(command, w).data());
}

uint16_t at(const std::vector<uint8_t> &frame, int index) {
    return frameWord(frame.data(), index);
}

int32_t s32(const RawData &d, int word) {
    return int32_t(uint32_t(d[std::size_t(word)]) | uint32_t(d[std::size_t(word) + 1]) << 16);
}

int32_t s32(const ParamRecord &p, int word) {
    return int32_t(uint32_t(p[std::size_t(word)]) | uint32_t(p[std::size_t(word) + 1]) << 16);
}

// The three blocks of command 8, put together as the program does.
RawData readRaw(Controller &c) {
    RawData d{};
    const uint16_t blocks[3] = {kRawPart1, kRawPart2, kRawTrigger};
    for (int b = 0; b < 3; ++b) {
        const auto reply = ask(c, CmdMeasure, blocks[b]);
        EXPECT_EQ(frameCommand(reply.data()), CmdMeasure);
        for (int i = 0; i < kPayloadWords; ++i)
            d[std::size_t(16 * b + i)] = at(reply, i);
    }
    return d;
}

// All 512 samples of source 1 (A) or 2 (B), 16 at a time; nothing when the
// first block says 0x09FF.
std::optional<Curve> readCurve(Controller &c, int source) {
    Curve curve{};
    for (int i = 0; i < kCurveSamples; i += 16) {
        const auto reply = ask(c, CmdCurve, uint16_t(kParamBase + source), uint16_t(i));
        if (frameCommand(reply.data()) == kNoNewData) {
            EXPECT_EQ(reply, makeFrame(kNoNewData));
            EXPECT_EQ(i, 0) << "a recording must not vanish half-way";
            return std::nullopt;
        }
        EXPECT_EQ(frameCommand(reply.data()), CmdCurve);
        for (int j = 0; j < kPayloadWords; ++j)
            curve[std::size_t(i + j)] = at(reply, j);
    }
    return curve;
}

std::vector<uint8_t> acknowledged(uint16_t command) {
    Words w{};
    w[0] = kAck;
    return makeFrame(command, w);
}

class Measure : public ::testing::Test {
  protected:
    void SetUp() override { c.measurement().setFixedTime(0); }
    void advance(int64_t us) { c.measurement().advanceTime(us); }
    void setWords(std::initializer_list<std::pair<int, uint16_t>> words) {
        ParamRecord p = c.ram();
        for (const auto &[word, value] : words)
            p[std::size_t(word)] = value;
        c.setRam(p);
    }
    void set32(int word, int32_t value) {
        setWords({{word, uint16_t(uint32_t(value) & 0xFFFF)}, {word + 1, uint16_t(uint32_t(value) >> 16)}});
    }
    void rearm() { EXPECT_EQ(ask(c, CmdCurve, kParamBase), makeFrame(CmdCurve, Words{kParamBase})); }
    uint16_t word(int w) const { return c.ram()[std::size_t(w)]; }
    Controller c;
};

} // namespace

// ---- live values -------------------------------------------------------------

TEST_F(Measure, RawDataBlocksHoldPlausibleLiveValues) {
    int low = 0, high = 0;
    for (int step = 0; step < 200; ++step) {
        advance(3700);
        const RawData d = readRaw(c);
        ASSERT_EQ(d, c.rawData()) << "the blocks are words 0-15, 16-31, 32-47 of one record";
        EXPECT_EQ(d[0], kRawPart1);
        EXPECT_EQ(d[16], kRawPart2);
        EXPECT_EQ(d[32], kRawTrigger);
        for (int w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 18, 19, 20, 21})
            EXPECT_LE(d[std::size_t(w)], 4095) << "word " << w;
        for (int ch = 0; ch < 4; ++ch) {
            EXPECT_GE(d[std::size_t(9 + ch)], d[std::size_t(5 + ch)]) << "MAX RAW below RAW, channel " << ch;
            EXPECT_EQ(d[std::size_t(1 + ch)], d[std::size_t(5 + ch)]) << "no normalisation: NORM = RAW";
        }
        EXPECT_EQ(d[13], (d[18] > word(10) ? 1 : 0) | (d[19] > word(26) ? 2 : 0));
        EXPECT_EQ(d[14] & ~7, 0);
        EXPECT_EQ(d[15], d[5]) << "analog output: RAW A over the limits 0..4095";
        low += d[5] < 1000;
        high += d[5] > 3000;
    }
    EXPECT_GT(low, 20);
    EXPECT_GT(high, 20);
}

TEST_F(Measure, EvaluationsSwingThroughTheirToleranceBands) {
    // Evaluation 1: 1234.5 +40 / -60; evaluation 2: 300 +25 / -10.
    set32(82, int32_t(1234.5 * 65536));
    set32(92, 40 << 16);
    set32(94, 60 << 16);
    set32(84, 300 << 16);
    set32(98, 25 << 16);
    set32(100, 10 << 16);
    setWords({{67, 0}}); // evaluation 3 off
    const struct { int value, ref, up, lo; } evals[2] = {{22, 82, 92, 94}, {24, 84, 98, 100}};
    int seen[2][3] = {};
    for (int step = 0; step < 300; ++step) {
        advance(100 * kMs);
        const RawData d = readRaw(c);
        for (int e = 0; e < 2; ++e) {
            const double v = s32(d, evals[e].value) / 65536.0;
            const double ref = s32(c.ram(), evals[e].ref) / 65536.0;
            const double up = s32(c.ram(), evals[e].up) / 65536.0;
            const double lo = s32(c.ram(), evals[e].lo) / 65536.0;
            ASSERT_LE(v, ref + 1.7 * up);
            ASSERT_GE(v, ref - 1.7 * lo);
            ++seen[e][v < ref - lo ? 0 : v > ref + up ? 2 : 1];
        }
        EXPECT_EQ(s32(d, 26), 0) << "an evaluation that is off reads 0";
    }
    for (int e = 0; e < 2; ++e)
        for (int band = 0; band < 3; ++band)
            EXPECT_GT(seen[e][band], 15) << "evaluation " << e + 1 << " band " << band;
}

TEST_F(Measure, ResetClearsTheMaxima) {
    advance(200 * kMs);
    RawData d = readRaw(c);
    while (d[5] > 1000) { // wait for a gap between two pulses
        advance(kMs);
        d = readRaw(c);
    }
    EXPECT_GT(d[9], 3000);
    EXPECT_EQ(ask(c, CmdReset), acknowledged(CmdReset));
    d = readRaw(c);
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_EQ(d[std::size_t(9 + ch)], d[std::size_t(5 + ch)]) << "channel " << ch;
    advance(60 * kMs); // the next pulse comes within 20 ms
    EXPECT_GT(readRaw(c)[9], 3000) << "the maximum follows the signal between reads";
}

TEST_F(Measure, TriggerCommandTakesTheNormalisationBase) {
    setWords({{11, 1}}); // normalisation on for channel A only
    advance(30 * kMs);
    RawData d = readRaw(c);
    EXPECT_EQ(d[1], d[5]) << "before any base is taken NORM equals RAW";
    while (d[5] > 1000) {
        advance(kMs);
        d = readRaw(c);
    }
    EXPECT_EQ(ask(c, CmdTrigger), acknowledged(CmdTrigger));
    d = readRaw(c);
    EXPECT_EQ(d[1], 2048) << "the signal at its base normalises to 2048";
    EXPECT_EQ(d[2], d[6]) << "channel B does not normalise";
    while (d[5] < 3000) {
        advance(kMs);
        d = readRaw(c);
    }
    EXPECT_EQ(d[1], 4095) << "a pulse five times the base saturates";
}

// ---- recordings ----------------------------------------------------------------

TEST_F(Measure, NoNewDataUntilRearmedAndTriggeredAgain) {
    EXPECT_FALSE(readCurve(c, 1));
    EXPECT_FALSE(readCurve(c, 2));
    advance(100 * kMs);
    const auto a = readCurve(c, 1);
    const auto b = readCurve(c, 2);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(readCurve(c, 1), a) << "reading does not use a recording up";
    advance(500 * kMs);
    EXPECT_EQ(readCurve(c, 1), a) << "later triggers do not replace it before a re-arm";
    EXPECT_EQ(readCurve(c, 2), b);

    rearm();
    EXPECT_FALSE(readCurve(c, 1));
    EXPECT_FALSE(readCurve(c, 2));
    advance(100 * kMs);
    const auto a2 = readCurve(c, 1);
    ASSERT_TRUE(a2);
    EXPECT_NE(a2, a);
    EXPECT_TRUE(readCurve(c, 2));

    // Re-armed at any moment, both channels trigger within 100 ms.
    for (int cycle = 0; cycle < 20; ++cycle) {
        advance(37 * kMs + cycle * 1300);
        rearm();
        advance(100 * kMs);
        EXPECT_TRUE(readCurve(c, 1)) << "cycle " << cycle;
        EXPECT_TRUE(readCurve(c, 2)) << "cycle " << cycle;
    }
}

TEST_F(Measure, ALevelTheSignalNeverCrossesNeverTriggers) {
    setWords({{10, 4095}});
    rearm();
    advance(2000 * kMs);
    EXPECT_FALSE(readCurve(c, 1));
    EXPECT_TRUE(readCurve(c, 2));
}

TEST_F(Measure, RecordingCrossesTheTriggerLevelAtThePretrigger) {
    const struct {
        uint16_t levelA, preA, intervalA, levelB, preB, intervalB, scanRate, filter;
    } cases[] = {
        {2000, 100, 4, 2000, 100, 4, 1, 1},
        {1500, 37, 1, 2500, 200, 10, 1, 0},
        {3000, 480, 20, 1200, 1, 6, 2, 4},
        {800, 255, 3, 2900, 16, 1, 1, 2},
    };
    for (const auto &k : cases) {
        setWords({{10, k.levelA},
                  {13, k.preA},
                  {14, k.intervalA},
                  {26, k.levelB},
                  {29, k.preB},
                  {30, k.intervalB},
                  {74, k.scanRate},
                  {12, k.filter},
                  {28, k.filter}});
        rearm();
        advance(300 * kMs);
        const auto a = readCurve(c, 1);
        const auto b = readCurve(c, 2);
        ASSERT_TRUE(a && b) << "level A " << k.levelA;
        EXPECT_LE((*a)[k.preA - 1], k.levelA);
        EXPECT_GT((*a)[k.preA], k.levelA);
        EXPECT_LE((*b)[k.preB - 1], k.levelB);
        EXPECT_GT((*b)[k.preB], k.levelB);
    }
    // Channel A recording on its undershoot instead.
    setWords({{5, 0x1000}, {10, 2000}, {13, 50}, {14, 4}, {74, 1}});
    rearm();
    advance(100 * kMs);
    const auto a = readCurve(c, 1);
    ASSERT_TRUE(a);
    EXPECT_GT((*a)[49], 2000);
    EXPECT_LE((*a)[50], 2000);
}

TEST_F(Measure, CurveBlocksBeyondTheEndAreZero) {
    advance(100 * kMs);
    const auto a = readCurve(c, 1);
    ASSERT_TRUE(a);
    const auto reply = ask(c, CmdCurve, kParamBase + 1, 504);
    for (int j = 0; j < 16; ++j)
        EXPECT_EQ(at(reply, j), j < 8 ? (*a)[std::size_t(504 + j)] : 0);
    const auto other = makeFrame(CmdCurve, Words{kParamBase + 3});
    EXPECT_EQ(c.handleRequest(other.data()), other) << "no source 3: echoed";
}

TEST_F(Measure, EventWordsMarkTheCurveWhereTheEventsHappen) {
    // Scan rate 2: q = 10 / 2 = 5 for channel A, 12 / 2 = 6 for channel B.
    setWords({{74, 2}, {14, 10}, {30, 12}, {13, 60}, {29, 90}});
    rearm();
    advance(200 * kMs);
    const auto a = readCurve(c, 1);
    const auto b = readCurve(c, 2);
    ASSERT_TRUE(a && b);
    const RawData d = readRaw(c);
    // The program's marker position: x = w / (R / S) + 512, when w < 0.
    auto markerX = [&](int w, int q) {
        const int16_t v = int16_t(d[std::size_t(w)]);
        EXPECT_LT(v, 0) << "word " << w;
        EXPECT_EQ(v % q, 0) << "word " << w << " is a whole number of samples";
        return v / q + 512;
    };
    EXPECT_EQ(markerX(37, 5), 60) << "evaluation 1 starts on channel A's overshoot: the trigger itself";

    const int resetA = markerX(33, 5);
    ASSERT_GT(resetA, 60);
    ASSERT_LT(resetA, 512);
    EXPECT_GT((*a)[std::size_t(resetA - 1)], word(10));
    EXPECT_LE((*a)[std::size_t(resetA)], word(10)) << "channel A resets on its undershoot";
    for (int j = 61; j < resetA; ++j)
        EXPECT_GT((*a)[std::size_t(j)], word(10)) << "the first undershoot after the trigger, sample " << j;

    const int resetB = markerX(34, 6);
    ASSERT_GT(resetB, 90);
    ASSERT_LT(resetB, 512);
    EXPECT_GT((*b)[std::size_t(resetB - 1)], word(26));
    EXPECT_LE((*b)[std::size_t(resetB)], word(26));

    const int eval2 = markerX(38, 5); // channel B's overshoot, on channel A's time scale
    EXPECT_GE(eval2, 60);
    EXPECT_LT(eval2, 512);

    // No reset events selected, evaluation 2 off: no markers.
    setWords({{2, 0}, {3, 0}, {66, 0}});
    rearm();
    advance(100 * kMs);
    ASSERT_TRUE(readCurve(c, 1));
    const RawData e = readRaw(c);
    EXPECT_EQ(e[33], 0);
    EXPECT_EQ(e[38], 0);
    EXPECT_LT(int16_t(e[37]), 0);
}

// ---- one-shot commands -----------------------------------------------------------

TEST_F(Measure, StopSamplingFreezesEverythingUntilRestart) {
    advance(50 * kMs);
    ASSERT_TRUE(readCurve(c, 1));
    const RawData frozen = readRaw(c);
    EXPECT_EQ(ask(c, CmdStopSampling), acknowledged(CmdStopSampling));
    EXPECT_FALSE(c.measurement().sampling());
    advance(300 * kMs);
    EXPECT_EQ(readRaw(c), frozen);
    rearm();
    advance(300 * kMs);
    EXPECT_FALSE(readCurve(c, 1)) << "no trigger while sampling is stopped";
    EXPECT_FALSE(readCurve(c, 2));

    EXPECT_EQ(ask(c, CmdRestartSampling), acknowledged(CmdRestartSampling));
    EXPECT_TRUE(c.measurement().sampling());
    EXPECT_EQ(readRaw(c), frozen) << "the signal goes on from where it stopped";
    advance(100 * kMs);
    EXPECT_NE(readRaw(c), frozen);
    EXPECT_TRUE(readCurve(c, 1));
    EXPECT_TRUE(readCurve(c, 2));
}

TEST_F(Measure, TeachSetsTheTargetReferenceToThePresentValue) {
    advance(2300 * kMs);
    const ParamRecord before = c.ram();
    const RawData d = readRaw(c);
    ASSERT_NE(s32(d, 22), s32(before, 82));
    EXPECT_EQ(ask(c, CmdTeach), acknowledged(CmdTeach));
    EXPECT_EQ(s32(c.ram(), 82), s32(d, 22));
    for (int w : {84, 86, 88, 90})
        EXPECT_EQ(s32(c.ram(), w), s32(before, w)) << "teach target 0 is evaluation 1 alone";
    // What the program reads back from RAM: set 6 holds words 80..95.
    EXPECT_EQ(at(ask(c, CmdParamRead, kParamBase), 0), 0);
    const auto set6 = ask(c, CmdParamRead, kParamBase + 6);
    EXPECT_EQ(at(set6, 2), d[22]);
    EXPECT_EQ(at(set6, 3), d[23]);
    // An activation of other sets afterwards keeps the taught reference.
    const auto set1 = makeFrame(CmdParamWrite, simtest::setWords(c.ram(), 1));
    c.handleRequest(set1.data());
    EXPECT_EQ(at(ask(c, CmdParamWrite, kParamBase), 0), 0);
    EXPECT_EQ(s32(c.ram(), 82), s32(d, 22));

    // Target 1 (the high byte is the IN1 usage): evaluation 2.
    setWords({{78, 0x0301}});
    advance(700 * kMs);
    const int32_t taught1 = s32(c.ram(), 82);
    const RawData d2 = readRaw(c);
    EXPECT_EQ(ask(c, CmdTeach), acknowledged(CmdTeach));
    EXPECT_EQ(s32(c.ram(), 84), s32(d2, 24));
    EXPECT_EQ(s32(c.ram(), 82), taught1);

    // Target 5: every evaluation that is on.
    setWords({{78, 5}, {69, 0}});
    advance(900 * kMs);
    const ParamRecord p = c.ram();
    const RawData d3 = readRaw(c);
    EXPECT_EQ(ask(c, CmdTeach), acknowledged(CmdTeach));
    for (int e = 0; e < 4; ++e)
        EXPECT_EQ(s32(c.ram(), 82 + 2 * e), s32(d3, 22 + 2 * e)) << "evaluation " << e + 1;
    EXPECT_EQ(s32(c.ram(), 90), s32(p, 90)) << "evaluation 5 is off";
}

TEST_F(Measure, OneShotCommandsAcknowledgeAndTestDataIsEchoed) {
    for (uint16_t command : {CmdTeach, CmdStopSampling, CmdRestartSampling, CmdReset, CmdTrigger}) {
        Words w{};
        w[3] = 0x1234; // whatever else the request carries comes back
        auto want = makeFrame(command, w);
        setFrameWord(want.data(), 0, kAck);
        EXPECT_EQ(c.handleRequest(makeFrame(command, w).data()), want) << "command " << command;
    }
    const auto test =
        makeFrame(CmdTestData, Words{0x0102, 0x0304, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA});
    EXPECT_EQ(c.handleRequest(test.data()), test);
}

TEST(MeasureFaults, WrongAckFalsifiesAcknowledgesButNoMeasurementData) {
    Faults f;
    f.wrongAck = true;
    Controller c;
    for (uint16_t command : {CmdTeach, CmdStopSampling, CmdRestartSampling, CmdReset, CmdTrigger}) {
        const auto reply = c.handleRequest(makeFrame(command).data());
        const auto sent = shapeReply(reply, true, f, false, 1);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(frameWord(sent[0].data(), 0), kAck + 1) << "command " << command;
    }
    // A sample or rawdata word 0 of 170 is data, not an acknowledge.
    for (uint16_t command : {CmdMeasure, CmdCurve}) {
        const auto data = makeFrame(command, Words{kAck, 2000, 3000});
        EXPECT_EQ(shapeReply(data, true, f, false, 1).front(), data);
    }
}

// ---- pure signal arithmetic --------------------------------------------------------

TEST(MeasureSignals, SamplePeriodFollowsIntervalAndScanRate) {
    ParamRecord p{};
    p[14] = 40;
    p[74] = 4;
    EXPECT_EQ(scansPerSample(p, 0), 10);
    EXPECT_EQ(samplePeriodUs(p, 0), 40 * kScanUnitUs);
    p[74] = 0;
    EXPECT_EQ(scansPerSample(p, 0), 0) << "no scan rate: no event positions";
    EXPECT_GT(samplePeriodUs(p, 0), 0);
    p[74] = 50;
    EXPECT_EQ(scansPerSample(p, 0), 0);
    EXPECT_EQ(samplePeriodUs(p, 0), 50 * kScanUnitUs) << "at least one scan per sample";
}

TEST(MeasureSignals, OutputConditionsCombineLikeTheController) {
    ParamRecord p{};
    p[10] = 2000; // channel A level
    ProcessState over, under;
    over.result = {2500.0, 0.0};
    under.result = {1500.0, 0.0};
    const int g = 161;
    EXPECT_FALSE(outputConditionMet(p, g, over)) << "nothing selected";
    p[g + 6] = 1;
    EXPECT_TRUE(outputConditionMet(p, g, over)) << "nothing selected, negated";

    p[g + 6] = 0;
    p[g + 4] = 1u << 9; // while channel A over its level
    p[g + 3] = 1u << 9; // while IN0 high (never)
    EXPECT_TRUE(outputConditionMet(p, g, over));
    EXPECT_FALSE(outputConditionMet(p, g, under));
    p[g + 6] = 0x10; // AND
    EXPECT_FALSE(outputConditionMet(p, g, over));
    p[g + 3] = 1u << 8; // while IN0 low (always)
    EXPECT_TRUE(outputConditionMet(p, g, over));
    p[g + 6] = 0x11; // AND, negated
    EXPECT_FALSE(outputConditionMet(p, g, over));
    EXPECT_TRUE(outputConditionMet(p, g, under));

    // Evaluation 1 bands: reference 100, +10 / -20.
    ParamRecord q{};
    write32(q, 82, 100u << 16);
    write32(q, 92, 10u << 16);
    write32(q, 94, 20u << 16);
    q[g + 5] = 1u << 9; // while evaluation 1 in its band
    ProcessState s;
    for (const auto &[value, in] : {std::pair{85, true}, {110, true}, {79, false}, {111, false}}) {
        s.eval[0] = value << 16;
        EXPECT_EQ(outputConditionMet(q, g, s), in) << value;
    }
}

TEST(MeasureSignals, AnalogOutputMapsItsSourceThroughTheLimits) {
    ParamRecord p{};
    p[73] = 5; // RAW A
    p[45] = 1000;
    p[46] = 3000;
    ProcessState s;
    for (const auto &[raw, out] :
         {std::pair{500.0, 0}, {1000.0, 0}, {2000.0, 2048}, {3000.0, 4095}, {3900.0, 4095}}) {
        s.raw[0] = raw;
        EXPECT_EQ(analogOutput(p, s), out) << raw;
    }
    std::swap(p[45], p[46]); // reversed limits: falling
    s.raw[0] = 1000.0;
    EXPECT_EQ(analogOutput(p, s), 4095);
    p[45] = p[46] = 2000; // equal limits: a step
    s.raw[0] = 1999.0;
    EXPECT_EQ(analogOutput(p, s), 0);
    s.raw[0] = 2000.0;
    EXPECT_EQ(analogOutput(p, s), 4095);

    p[45] = 0;
    p[46] = 4095;
    p[73] = 18; // evaluation 2
    s.eval[1] = int32_t(1234.75 * 65536);
    EXPECT_EQ(analogOutput(p, s), 1235);
    p[73] = 6; // RAW B
    s.raw[1] = 321.0;
    EXPECT_EQ(analogOutput(p, s), 321);
    p[73] = 99;
    EXPECT_EQ(analogOutput(p, s), 0) << "unknown source";
}

// ---- through the wire ----------------------------------------------------------

TEST(MeasureTcp, DataLoopCyclesGetOneRecordingPerRearm) {
    SimThread sim;
    sim.setFixedTime(0);
    ASSERT_TRUE(sim.start(true, false));
    TcpClient client;
    ASSERT_TRUE(client.connectTo(sim.tcpPort()));
    auto exchange = [&](uint16_t command, uint16_t w0, uint16_t w1 = 0) {
        Words w{};
        w[0] = w0;
        w[1] = w1;
        client.send(request(command, w));
        return client.readBytes(36);
    };

    // One cycle of the DATA loop with x scale 100: 8 + 8 curve blocks,
    // parts 1 and 2, trigger data, re-arm.
    auto cycle = [&](bool expectData) {
        for (int source : {1, 2}) {
            for (int i = 0; i < 128; i += 16) {
                const QByteArray reply = exchange(CmdCurve, uint16_t(kParamBase + source), uint16_t(i));
                ASSERT_EQ(reply.size(), 36);
                const uint16_t command = uint16_t((uchar(reply[2]) << 8) | uchar(reply[3]));
                if (!expectData) {
                    EXPECT_EQ(command, kNoNewData);
                    break;
                }
                ASSERT_EQ(command, CmdCurve);
                const auto rec = sim.lastRecording(source - 1);
                ASSERT_TRUE(rec);
                for (int j = 0; j < 16; ++j)
                    EXPECT_EQ(word(reply, j), rec->samples[std::size_t(i + j)]);
            }
        }
        const RawData d = sim.rawData();
        const uint16_t blocks[3] = {kRawPart1, kRawPart2, kRawTrigger};
        for (int b = 0; b < 3; ++b) {
            const QByteArray reply = exchange(CmdMeasure, blocks[b]);
            for (int j = 0; j < 16; ++j)
                EXPECT_EQ(word(reply, j), d[std::size_t(16 * b + j)]);
        }
        EXPECT_EQ(exchange(CmdCurve, kParamBase), request(CmdCurve, kParamBase));
    };
    cycle(false);
    sim.advanceTime(100 * kMs);
    cycle(true);
    EXPECT_FALSE(sim.newRecording(0));
    cycle(false);
    sim.advanceTime(100 * kMs);
    cycle(true);

    Faults f;
    f.wrongAck = true;
    sim.setFaults(f);
    EXPECT_EQ(word(exchange(CmdReset, 0), 0), kAck + 1);
    sim.setFaults(Faults{});
    EXPECT_EQ(word(exchange(CmdStopSampling, 0), 0), kAck);
    EXPECT_FALSE(sim.sampling());
    const qint64 t = sim.signalTime();
    sim.advanceTime(50 * kMs);
    EXPECT_EQ(sim.signalTime(), t);
}
