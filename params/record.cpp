#include "params/record.h"

#include <cmath>
#include <cstdint>

unsigned short param[PARAM_WORDS];
unsigned short param_alt[PARAM_WORDS];

const EventCondition kEdgeConditions[EDGE_COUNT] = {
    {29, "On channel A triggerlevel overshoot"},
    {28, "On channel A triggerlevel undershoot"},
    {25, "On channel B triggerlevel overshoot"},
    {24, "On channel B triggerlevel undershoot"},
    {13, "On digital input IN0 rising edge"},
    {12, "On digital input IN0 falling edge"},
    {9, "On digital input IN1 rising edge"},
    {8, "On digital input IN1 falling edge"},
    {5, "On timer TMR0 rising edge"},
    {4, "On timer TMR0 falling edge"},
    {1, "On timer TMR1 rising edge"},
    {0, "On timer TMR1 falling edge"},
};

const GroupCondition kLevelConditions[LEVEL_COUNT] = {
    {4, 9, "While channel A over triggerlevel"},
    {4, 8, "While channel A under triggerlevel"},
    {4, 5, "While channel B over triggerlevel"},
    {4, 4, "While channel B unde triggerlevel"},
    {3, 9, "While digital input IN0 high"},
    {3, 8, "While digital input IN0 low"},
    {3, 5, "While digital input IN1 high"},
    {3, 4, "While digital input IN1 low"},
    {3, 1, "While timer TMR0 high"},
    {3, 0, "While timer TMR0 low"},
    {4, 13, "While timer TMR1 high"},
    {4, 12, "While timer TMR1 low"},
};

const GroupCondition kEvalConditions[EVAL_CONDITION_COUNT] = {
    {5, 10, "While EVALUATION 1 over tolerance band"}, {5, 9, "While EVALUATION 1 in tolerance band"},
    {5, 8, "While EVALUATION 1 under tolerance band"}, {5, 6, "While EVALUATION 2 over tolerance band"},
    {5, 5, "While EVALUATION 2 in tolerance band"},    {5, 4, "While EVALUATION 2 under tolerance band"},
};
const char *const kCombinationAndText = "Logical AND (instead of OR)";
const char *const kCombinationNegateText = "Negate";

int ConditionGroupContradictory(const unsigned short group[CG_WORDS]) {
    // One entry per source: the group word and the bits of all its
    // alternatives (TMR0, IN1 and IN0 in g3; channel B, channel A and TMR1 in
    // g4; evaluations 2 and 1 in g5; the other sets name no condition the
    // panels or the parameter file offer).
    struct Source {
        int word;
        unsigned short bits;
    };
    static constexpr Source kSources[] = {
        {3, 0x0003}, {3, 0x0030}, {3, 0x0300},              //
        {4, 0x0003}, {4, 0x0030}, {4, 0x0300}, {4, 0x3000}, //
        {5, 0x0003}, {5, 0x0070}, {5, 0x0700}, {5, 0x3000}, //
        {6, 0x0700}, {6, 0x7000},
    };
    for (const Source &s : kSources)
        if ((group[s.word] & s.bits) == s.bits) return 1;
    return 0;
}

unsigned int FixedFromValue(double value) {
    constexpr double kTwo31 = 2147483648.0;
    constexpr double kTwo32 = 4294967296.0;
    const double scaled = std::trunc(value * 65536.0);
    if (std::isnan(scaled)) return 0;
    if (scaled >= kTwo32) return 0xFFFFFFFFu;
    if (scaled >= kTwo31) return static_cast<unsigned int>(scaled - kTwo31) + 0x80000000u;
    if (scaled < -kTwo31) return 0x80000000u;
    return static_cast<unsigned int>(static_cast<std::int32_t>(scaled));
}

double ValueFromFixed(unsigned int field) {
    return static_cast<std::int32_t>(field) / 65536.0;
}

unsigned int FixedFromShownValue(double value) {
    // Half a unit of the last place shown, with room for the binary error of
    // a decimal value; neighbouring fields are three times as far apart.
    const double halfPlace = 0.5 * std::pow(10.0, -FIXED_DECIMALS) + 1e-9;
    const double nearest = std::round(value * 65536.0);
    if (nearest >= -2147483648.0 && nearest <= 2147483647.0 && std::fabs(nearest / 65536.0 - value) <= halfPlace)
        return static_cast<unsigned int>(static_cast<std::int32_t>(nearest));
    return FixedFromValue(value);
}

int FixedIntegerPart(unsigned int field) {
    // Arithmetic shift (GCC and Clang shift signed values arithmetically).
    return static_cast<std::int32_t>(field) >> 16;
}
