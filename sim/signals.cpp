#include "sim/signals.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

uint16_t at(const ParamRecord &p, int word) {
    return p[std::size_t(word)];
}

// One channel's pulse train: rise, high, fall, then low until the next pulse.
struct PulseTrain {
    double periodMs;
    double offsetMs;
    double riseMs;
    double highMs;
    double fallMs;
    double base;
    double peak;
    double swing; // pulse n peaks at peak * (1 + swing * sin(0.9 n + seed))
    double seed;
    double ripple; // amplitude of a small oscillation on top
    double ripplePeriodMs;
};

const PulseTrain kTrains[2] = {
    {20.0, 3.0, 1.0, 6.0, 1.5, 600.0, 3400.0, 0.05, 0.0, 12.0, 1.7},  // A
    {28.0, 11.0, 2.0, 9.0, 3.0, 900.0, 3000.0, 0.07, 1.0, 10.0, 2.3}, // B
};

double pulseLevel(const PulseTrain &s, double tMs) {
    const double shifted = tMs + s.offsetMs;
    const double n = std::floor(shifted / s.periodMs);
    const double u = shifted - n * s.periodMs;
    const double peak = s.peak * (1.0 + s.swing * std::sin(0.9 * n + s.seed));
    double v = s.base;
    if (u < s.riseMs)
        v = s.base + (peak - s.base) * u / s.riseMs;
    else if (u < s.riseMs + s.highMs)
        v = peak;
    else if (u < s.riseMs + s.highMs + s.fallMs)
        v = peak - (peak - s.base) * (u - s.riseMs - s.highMs) / s.fallMs;
    return v + s.ripple * std::sin(kTwoPi * tMs / s.ripplePeriodMs);
}

double clampLevel(double v) {
    return std::clamp(v, 0.0, double(kMaxLevel));
}

bool over(const ParamRecord &p, int channel, double result) {
    return levelWord(result) > at(p, pw::kTriggerLevel[channel]);
}

} // namespace

uint32_t read32(const ParamRecord &p, int word) {
    return uint32_t(at(p, word)) | uint32_t(at(p, word + 1)) << 16;
}

void write32(ParamRecord &p, int word, uint32_t value) {
    p[std::size_t(word)] = uint16_t(value & 0xFFFF);
    p[std::size_t(word) + 1] = uint16_t(value >> 16);
}

double rawLevel(int channel, int64_t tauUs) {
    const double tMs = double(tauUs) / 1000.0;
    switch (channel) {
    case 0:
    case 1:
        return pulseLevel(kTrains[channel], tMs);
    case 2:
        return 2048.0 + 900.0 * std::sin(kTwoPi * tMs / 5000.0);
    default:
        return 1200.0 + 400.0 * std::sin(kTwoPi * tMs / 3300.0 + 1.0);
    }
}

uint16_t levelWord(double value) {
    return uint16_t(std::lround(clampLevel(value)));
}

double normLevel(const ParamRecord &p, int channel, double base, int64_t tauUs) {
    const double raw = rawLevel(channel, tauUs);
    if (!(at(p, pw::kNormalise[channel]) & 1)) return raw;
    return clampLevel(raw * kNormScale / std::max(base, 1.0));
}

int filterTaps(uint16_t filterMode) {
    switch (filterMode) {
    case 1:
        return 4;
    case 2:
        return 8;
    case 4:
        return 16;
    default:
        return 1;
    }
}

double resultLevel(const ParamRecord &p, int channel, double base, int64_t tauUs) {
    const int taps = filterTaps(at(p, pw::kFilter[channel]));
    double sum = 0.0;
    for (int j = 0; j < taps; ++j)
        sum += clampLevel(normLevel(p, channel, base, tauUs - int64_t(j) * 250));
    return sum / taps;
}

int scansPerSample(const ParamRecord &p, int channel) {
    const int rate = at(p, pw::kScanRate);
    return rate == 0 ? 0 : at(p, pw::kInterval[channel]) / rate;
}

int64_t samplePeriodUs(const ParamRecord &p, int channel) {
    const int64_t rate = std::max<int64_t>(at(p, pw::kScanRate), 1);
    const int64_t q = std::max(scansPerSample(p, channel), 1);
    return q * rate * kScanUnitUs;
}

int32_t evaluationValue(const ParamRecord &p, int eval, int64_t tauUs) {
    static const double periodMs[kEvaluations] = {9000.0, 13000.0, 17000.0, 23000.0, 29000.0};
    static const double phase[kEvaluations] = {0.0, 1.3, 2.1, 0.4, 2.9};
    if (at(p, pw::kEvalMode[eval]) == 0) return 0;
    const double ref = readS32(p, pw::kReference[eval]);
    const double up = readS32(p, pw::kTolUpper[eval]);
    const double lo = readS32(p, pw::kTolLower[eval]);
    const double tMs = double(tauUs) / 1000.0;
    const double s = std::sin(kTwoPi * tMs / periodMs[eval] + phase[eval]);
    // A little unrest on top, calmer the more values the evaluation averages.
    const int averaging = std::min<int>(at(p, pw::kEvalAveraging[eval]), 4);
    const double unrest = 0.08 * (std::fabs(up) + std::fabs(lo)) / 2.0 *
                          std::sin(kTwoPi * tMs / 530.0 + phase[eval]) / std::sqrt(double(1 << averaging));
    const double v = ref + 1.5 * (s >= 0.0 ? up : lo) * s + unrest;
    return int32_t(std::clamp(std::round(v), double(INT32_MIN), double(INT32_MAX)));
}

Band evaluationBand(const ParamRecord &p, int eval, int32_t value) {
    const int64_t ref = readS32(p, pw::kReference[eval]);
    if (value > ref + readS32(p, pw::kTolUpper[eval])) return Band::Over;
    if (value < ref - readS32(p, pw::kTolLower[eval])) return Band::Under;
    return Band::In;
}

bool outputConditionMet(const ParamRecord &p, int first, const ProcessState &s) {
    const uint32_t levels = read32(p, first + 2);
    const uint32_t others = read32(p, first + 4);
    const uint16_t combination = at(p, first + 6);
    const bool aOver = over(p, kChannelA, s.result[0]);
    const bool bOver = over(p, kChannelB, s.result[1]);
    const Band e1 = evaluationBand(p, 0, s.eval[0]);
    const Band e2 = evaluationBand(p, 1, s.eval[1]);
    // Inputs IN0, IN1 and the timers are not simulated: they stay low.
    const struct {
        uint32_t mask;
        int bit;
        bool state;
    } conditions[] = {
        {levels, 25, false},
        {levels, 24, true},
        {levels, 21, false},
        {levels, 20, true},
        {levels, 17, false},
        {levels, 16, true},
        {others, 13, false},
        {others, 12, true},
        {others, 9, aOver},
        {others, 8, !aOver},
        {others, 5, bOver},
        {others, 4, !bOver},
        {others, 26, e1 == Band::Over},
        {others, 25, e1 == Band::In},
        {others, 24, e1 == Band::Under},
        {others, 22, e2 == Band::Over},
        {others, 21, e2 == Band::In},
        {others, 20, e2 == Band::Under},
    };
    const bool all = combination & 0x10;
    bool any = false;
    bool result = all;
    for (const auto &c : conditions) {
        if (!(c.mask >> c.bit & 1)) continue;
        any = true;
        result = all ? result && c.state : result || c.state;
    }
    if (!any) result = false;
    return (combination & 1) ? !result : result;
}

uint16_t analogOutput(const ParamRecord &p, const ProcessState &s) {
    double x = 0.0;
    switch (at(p, pw::kAnalogSource)) {
    case 5:
        x = s.raw[0];
        break;
    case 6:
        x = s.raw[1];
        break;
    case 13:
        x = s.norm[0];
        break;
    case 14:
        x = s.norm[1];
        break;
    case 17:
        x = s.eval[0] / 65536.0;
        break;
    case 18:
        x = s.eval[1] / 65536.0;
        break;
    default:
        return 0;
    }
    const double lo = at(p, pw::kAnalogMin);
    const double hi = at(p, pw::kAnalogMax);
    if (hi == lo) return x >= hi ? kMaxLevel : 0;
    return levelWord((x - lo) * kMaxLevel / (hi - lo));
}

} // namespace sim
