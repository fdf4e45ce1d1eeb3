// The synthetic process behind the measurement commands: what the sensor
// heads see, as pure functions of the signal time and the parameter record.
//
// Signal time counts microseconds of sampling (it stands still while
// sampling is stopped, see Measurement). Channels A and B watch objects
// passing the beam: a train of trapezoid pulses with a slight ripple, each
// pulse a little higher or lower than the one before. Channels C and D (the
// third and fourth entry of each row) drift slowly. Evaluations swing slowly
// around their reference, one and a half tolerances either way, so they
// pass under, through and over their tolerance band.
#pragma once

#include "sim/record.h"

#include <array>
#include <cstdint>

namespace sim {

constexpr int kLiveChannels = 4; // A, B, C, D
constexpr int kChannelA = 0;
constexpr int kChannelB = 1;
constexpr int kEvaluations = 5;
constexpr int kCurveSamples = 512;
constexpr int kRawDataWords = 48;
constexpr int64_t kScanUnitUs = 100;  // one scan takes scan rate x 100 us
constexpr double kNormScale = 2048.0; // normalised value of a signal equal to its base
constexpr uint16_t kMaxLevel = 4095;
// First word of each rawdata block: what command 8 asks for with it.
constexpr uint16_t kRawPart1 = 0x6401;
constexpr uint16_t kRawPart2 = 0x6402;
constexpr uint16_t kRawTrigger = 0x6411;

using RawData = std::array<uint16_t, kRawDataWords>;
using Curve = std::array<uint16_t, kCurveSamples>;

// Parameter words the measurement follows.
namespace pw {
constexpr int kResetMask[2] = {2, 18};  // channel reset events, two words
constexpr int kRecordMask[2] = {4, 20}; // recording trigger events
constexpr int kTriggerLevel[2] = {10, 26};
constexpr int kNormalise[2] = {11, 27}; // bit 0
constexpr int kFilter[2] = {12, 28};    // 0, 1, 2, 4
constexpr int kPretrigger[2] = {13, 29};
constexpr int kInterval[2] = {14, 30};
constexpr int kAnalogMin = 45;
constexpr int kAnalogMax = 46;
constexpr int kEvalMode[kEvaluations] = {65, 66, 67, 68, 69};
constexpr int kAnalogSource = 73;
constexpr int kScanRate = 74;
constexpr int kTeach = 78; // low byte: teach target
constexpr int kReference[kEvaluations] = {82, 84, 86, 88, 90};
constexpr int kTolUpper[kEvaluations] = {92, 98, 102, 106, 110};
constexpr int kTolLower[kEvaluations] = {94, 100, 104, 108, 110};
constexpr int kEvalCondition[kEvaluations] = {120, 129, 136, 145, 152};
constexpr int kEvalAveraging[kEvaluations] = {127, 143, 159, 175, 191};
constexpr int kOutputCondition[3] = {161, 168, 177};
} // namespace pw

// Event bits of a 32-bit event mask (high word x 65536 + low word).
namespace ev {
constexpr uint32_t kAOver = 1u << 29;
constexpr uint32_t kAUnder = 1u << 28;
constexpr uint32_t kBOver = 1u << 25;
constexpr uint32_t kBUnder = 1u << 24;
constexpr uint32_t kLevelEvents = kAOver | kAUnder | kBOver | kBUnder;
} // namespace ev

uint32_t read32(const ParamRecord &p, int word);
void write32(ParamRecord &p, int word, uint32_t value);
inline int32_t readS32(const ParamRecord &p, int word) {
    return int32_t(read32(p, word));
}

// Raw intensity of channel 0..3 (unclamped, roughly 0..4095).
double rawLevel(int channel, int64_t tauUs);
// Rounded and clamped to 0..4095.
uint16_t levelWord(double value);

// Channels A and B as the record sets them up. base is the normalisation
// base last acquired (command 14).
double normLevel(const ParamRecord &p, int channel, double base, int64_t tauUs);
// The normalised signal after the channel's filter: what the trigger level
// is compared with and what a recording shows.
double resultLevel(const ParamRecord &p, int channel, double base, int64_t tauUs);
// Filter mode 1, 2, 4 average 4, 8, 16 samples 250 us apart; anything else none.
int filterTaps(uint16_t filterMode);

// Scans per recorded sample (recording interval / scan rate, truncated), 0
// when the scan rate is 0: the q of the program's event marker position.
int scansPerSample(const ParamRecord &p, int channel);
// Time between two recorded samples; never 0.
int64_t samplePeriodUs(const ParamRecord &p, int channel);

// Evaluation 0..4 as 16.16; 0 while its mode is 0 (off).
int32_t evaluationValue(const ParamRecord &p, int eval, int64_t tauUs);
enum class Band { Under, In, Over };
// Under: below reference - lower tolerance; Over: above reference + upper tolerance.
Band evaluationBand(const ParamRecord &p, int eval, int32_t value);

// Everything a switching output or the analog output can look at.
struct ProcessState {
    std::array<double, 2> result{}; // channels A, B
    std::array<double, 2> raw{};
    std::array<double, 2> norm{};
    std::array<int32_t, kEvaluations> eval{};
};

// A condition group (7 words from `first`) of an output: level conditions on
// the channels and the evaluation bands; inputs and timers count as low.
// Nothing selected: false (before the negation).
bool outputConditionMet(const ParamRecord &p, int first, const ProcessState &s);
// 0..4095 from the source the record selects, mapped through the analog
// output limits; an unknown source gives 0.
uint16_t analogOutput(const ParamRecord &p, const ProcessState &s);

} // namespace sim
