// The parameter record's arithmetic: 16.16 fixed point, 32-bit fields and
// the contradiction check of condition groups.
#include "params/record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

TEST(Record, FixedPointFromPanelValues) {
    EXPECT_EQ(FixedFromValue(1.5), 0x00018000u);
    EXPECT_EQ(FixedFromValue(-1.0), 0xFFFF0000u);
    // Truncated toward zero, on both sides.
    EXPECT_EQ(FixedFromValue(0.1), 6553u);
    EXPECT_EQ(FixedFromValue(-0.1), static_cast<unsigned int>(-6553));
    // Double precision: the low bits of large values survive.
    EXPECT_EQ(FixedFromValue(1000.0001), 65536006u);
    EXPECT_EQ(FixedFromValue(30000.12345), 1966088090u);
    // From 2^31 up the field is stored unsigned.
    EXPECT_EQ(FixedFromValue(32768.0), 0x80000000u);
    EXPECT_EQ(FixedFromValue(40000.0), 0x9C400000u);
    // Beyond 32 bits: saturated, not undefined.
    EXPECT_EQ(FixedFromValue(70000.0), 0xFFFFFFFFu);
    EXPECT_EQ(FixedFromValue(-40000.0), 0x80000000u);
    EXPECT_EQ(FixedFromValue(std::nan("")), 0u);
}

TEST(Record, FixedPointToPanelValuesIsSignedAndExact) {
    EXPECT_EQ(ValueFromFixed(0x00018000u), 1.5);
    EXPECT_EQ(ValueFromFixed(0xFFFF0000u), -1.0);
    EXPECT_EQ(ValueFromFixed(0x9C400000u), -25536.0);
    EXPECT_EQ(ValueFromFixed(0x7FFFFFFFu), 2147483647.0 / 65536.0);
    EXPECT_EQ(FixedIntegerPart(0x00018000u), 1);
    EXPECT_EQ(FixedIntegerPart(FixedFromValue(-1.5)), -2);
    for (double v : {0.0, 1.5, -1.0, 12.25, -300.5, 32000.0, -32768.0})
        EXPECT_EQ(ValueFromFixed(FixedFromValue(v)), v) << v;
}

// What a panel shows at five places names its field again; what the
// operator types in between is truncated as before.
TEST(Record, AShownValueNamesItsFieldAndATypedOneIsTruncated) {
    auto shown = [](unsigned int field) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", FIXED_DECIMALS, ValueFromFixed(field));
        return std::strtod(text, nullptr);
    };
    std::mt19937 random(9);
    std::vector<unsigned int> fields = {0u, 1u, 2u, 0x400u, 0xC00u, 0x0000FFFFu, 0x00010001u,
                                        0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu};
    for (int i = 0; i < 20000; ++i) fields.push_back(static_cast<unsigned int>(random()));
    for (unsigned int f : fields) EXPECT_EQ(FixedFromShownValue(shown(f)), f) << std::hex << f;
    EXPECT_EQ(FixedFromShownValue(0.1), 6553u);
    EXPECT_EQ(FixedFromShownValue(-0.1), static_cast<unsigned int>(-6553));
    EXPECT_EQ(FixedFromShownValue(1.5), 0x00018000u);
}

TEST(Record, ThirtyTwoBitFieldsAreLowWordFirst) {
    unsigned short rec[PARAM_WORDS] = {};
    SetField32(rec, 82, FixedFromValue(1.5));
    EXPECT_EQ(rec[82], 0x8000);
    EXPECT_EQ(rec[83], 0x0001);
    EXPECT_EQ(GetField32(rec, 82), 0x00018000u);
    EXPECT_EQ(BytePair(0x12, 0x34), 0x1234);
    EXPECT_EQ(HighByte(0x1234), 0x12u);
    EXPECT_EQ(LowByte(0x1234), 0x34u);
}

TEST(Record, EventMasksOfferTheEventsOfTheirKeys) {
    // Edge key numbers (1-based) each mask offers.
    auto offered = [](unsigned int mask) {
        std::vector<int> keys;
        for (int i = 0; i < EDGE_COUNT; ++i)
            if (mask & (1u << kEdgeConditions[i].bit)) keys.push_back(i + 1);
        return keys;
    };
    EXPECT_EQ(offered(EVMASK_ALL), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(offered(EVMASK_REC_TRIGGER), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(offered(EVMASK_TMR0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 11, 12}));
    EXPECT_EQ(offered(EVMASK_TMR1), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_STREQ(kLevelConditions[3].text, "While channel B unde triggerlevel");
}

TEST(Record, AGroupIsContradictoryWhenOneSourceHasAllAlternatives) {
    struct Set {
        int word;
        unsigned short bits;
    };
    const Set sets[] = {{3, 0x0003}, {3, 0x0030}, {3, 0x0300}, {4, 0x0003}, {4, 0x0030},
                        {4, 0x0300}, {4, 0x3000}, {5, 0x0003}, {5, 0x0070}, {5, 0x0700},
                        {5, 0x3000}, {6, 0x0700}, {6, 0x7000}};
    // Every alternative of every source but one, and all edges: not contradictory.
    unsigned short almost[CG_WORDS] = {0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0};
    for (const Set &s : sets) {
        unsigned short g[CG_WORDS] = {};
        g[s.word] = s.bits;
        EXPECT_EQ(ConditionGroupContradictory(g), 1) << "word " << s.word << " bits " << s.bits;
        const unsigned short lowest = static_cast<unsigned short>(s.bits & (~s.bits + 1));
        almost[s.word] |= static_cast<unsigned short>(s.bits & ~lowest);
    }
    EXPECT_EQ(ConditionGroupContradictory(almost), 0);
}

} // namespace
