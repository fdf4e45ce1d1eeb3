// The parameter panels and the record: reading and showing whole records,
// and the callbacks that keep related controls consistent while editing.
#include "tests/fixtures/program.h"

#include "params/binding.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <array>
#include <random>
#include <set>

namespace {

using Record = std::array<unsigned short, PARAM_WORDS>;

// Words no control is bound to: the set-number slots and the carried words.
std::set<int> UnboundWords() {
    std::set<int> w = {15, 31, 33, 34, 35, 36, 37, 42, 43, 44, 47, 49, 50, 51, 52, 53, 58, 59, 60, 63, 76};
    for (int i = 184; i <= 190; ++i)
        w.insert(i);
    for (int s = 0; s < PARAM_SETS; ++s)
        w.insert(PW_SET_SLOT(s));
    return w;
}

// The event bits of E in the pattern 0xA5A5A5A5 that a mask offers.
void PutMask(Record &r, int word, unsigned int offered) {
    SetField32(r.data(), word, offered & 0xA5A5A5A5u);
}

// A record with every bound field away from the panels' defaults and only
// offered bits set; unbound words hold 0xA500 + word number.
Record FullRecord() {
    Record r;
    for (int i = 0; i < PARAM_WORDS; ++i)
        r[i] = static_cast<unsigned short>(0xA500 + i);
    r[PW_CHA_POWER] = 1234, r[PW_CHA_TRIGGERLEVEL] = 2345, r[PW_CHA_FILTER] = 5, r[PW_CHA_NORM] = 1;
    r[PW_CHB_POWER] = 4321, r[PW_CHB_TRIGGERLEVEL] = 5432, r[PW_CHB_FILTER] = 2, r[PW_CHB_NORM] = 1;
    PutMask(r, PW_CHA_RESET, EVMASK_ALL);
    PutMask(r, PW_CHB_RESET, EVMASK_ALL & 0x0F0F0F0Fu);
    PutMask(r, PW_CHA_REC_TRIGGER, EVMASK_REC_TRIGGER);
    PutMask(r, PW_CHB_REC_TRIGGER, EVMASK_REC_TRIGGER & 0xF0F0F0F0u);
    PutMask(r, PW_TMR0_START, EVMASK_TMR0);
    PutMask(r, PW_TMR0_STOP, EVMASK_TMR0 & 0x0000FFFFu);
    PutMask(r, PW_TMR1_START, EVMASK_TMR1);
    PutMask(r, PW_TMR1_STOP, EVMASK_TMR1 & 0xFFFF0000u);
    r[PW_CHA_PRETRIGGER] = 55, r[PW_CHB_PRETRIGGER] = 66;
    r[PW_SCANRATE] = 3, r[PW_CHA_REC_INTERVAL] = 120, r[PW_CHB_REC_INTERVAL] = 90;
    r[PW_TMR0_OFFTIME] = 300, r[PW_TMR0_ONTIME] = 400, r[PW_TMR0_SCALING] = 7, r[PW_TMR0_MODE] = 0x0202;
    r[PW_TMR1_OFFTIME] = 301, r[PW_TMR1_ONTIME] = 401, r[PW_TMR1_SCALING] = 8, r[PW_TMR1_MODE] = 0x0303;
    r[PW_ANA_MIN] = 100, r[PW_ANA_MAX] = 60000, r[PW_ANA_SOURCE] = 17;
    r[PW_NORM_TIMECONSTANT] = 999, r[PW_IN1_TEACH] = 0x0204, r[PW_BAUD] = 3, r[PW_POTI] = 3, r[PW_BUTTON] = 4;
    r[PW_MARKER] = 1, r[PW_FIXED_75] = 0x0203, r[PW_FIXED_77] = 0x0202;
    const double refs[EVAL_COUNT] = {1.5, -1.0, 12.25, -300.5, 32000.0};
    for (int e = 0; e < EVAL_COUNT; ++e) {
        r[PW_EVAL_MODE[e]] = static_cast<unsigned short>(e + 1);
        r[PW_EVAL_AVERAGING[e]] = static_cast<unsigned short>(e + 2);
        SetField32(r.data(), PW_EVAL_REFERENCE[e], FixedFromValue(refs[e]));
        SetField32(r.data(), PW_EVAL_UPPER_TOL[e], FixedFromValue(0.75 + e));
        if (PW_EVAL_LOWER_TOL[e] >= 0) SetField32(r.data(), PW_EVAL_LOWER_TOL[e], FixedFromValue(-0.25 - e));
        unsigned short *g = r.data() + PW_EVAL_GROUP[e];
        g[0] = 0x2121, g[1] = 0x1200 + static_cast<unsigned short>(e % 2) * 0x2000, g[2] = 0;
        g[3] = 0x0312, g[4] = 0x2110, g[5] = 0, g[6] = e % 2 ? 0x0011 : 0x0010;
    }
    for (int o = 0; o < OUTPUT_COUNT; ++o) {
        r[PW_OUT_TIMING[o]] = BytePair(34 + o, 12 + o);
        unsigned short *g = r.data() + PW_OUT_GROUP[o];
        g[0] = g[1] = g[2] = 0;
        const unsigned short evals[OUTPUT_COUNT] = {0x0410, 0x0220, 0x0140};
        g[3] = 0x0121, g[4] = 0x1220, g[5] = evals[o], g[6] = 0x0001;
    }
    unsigned short *nb = r.data() + PW_NORMBASE_GROUP;
    nb[0] = nb[1] = nb[2] = nb[5] = nb[6] = 0;
    nb[3] = 0x0221, nb[4] = 0x1210;
    return r;
}

class BindingTest : public ProgramTest {
  protected:
    int val(int panel, int id) {
        int v = -1;
        EXPECT_EQ(GetCtrlVal(panel, id, &v), 0) << "panel " << panel << " id " << id;
        return v;
    }
    double real(int panel, int id) {
        double v = 0;
        GetCtrlVal(panel, id, &v);
        return v;
    }
    int dimmed(int panel, int id) {
        int v = -1;
        GetCtrlAttribute(panel, id, ATTR_DIMMED, &v);
        return v;
    }
    Record read() {
        Record r{};
        GetPanelValues(r.data());
        return r;
    }
    void TearDown() override {
        // Leave the recording panel uncoupled for the next test.
        SetCtrlVal(panelPOWER_REC, POWER_REC_B_FOLLOWS_A, 0);
        SetCtrlVal(panelPOWER_REC, POWER_REC_A_FOLLOWS_B, 0);
        OperateCtrl(panelPOWER_REC, POWER_REC_B_FOLLOWS_A, 0);
        ProgramTest::TearDown();
    }
};

TEST_F(BindingTest, StartUpReadsThePanelDefaultsIntoParam) {
    // A program just started: panels fresh from their files, whatever the
    // tests before this one did to them.
    DiscardAllPanels();
    EnsurePanelsLoaded();
    EXPECT_EQ(param[PW_MARKER], 1);
    EXPECT_EQ(param[PW_FIXED_75], 0x0203);
    EXPECT_EQ(param[PW_FIXED_77], 0x0202);
    EXPECT_EQ(param[PW_SCANRATE], 1);
    EXPECT_EQ(param[PW_ANA_SOURCE], 5);
}

TEST_F(BindingTest, AFullRecordSurvivesTheRoundTripAndUnboundWordsStay) {
    const Record in = FullRecord();
    SetPanelValues(in.data());
    Record out;
    for (int i = 0; i < PARAM_WORDS; ++i)
        out[i] = static_cast<unsigned short>(0x5A00 + i);
    GetPanelValues(out.data());
    const std::set<int> unbound = UnboundWords();
    for (int i = 0; i < PARAM_WORDS; ++i) {
        if (unbound.count(i))
            EXPECT_EQ(out[i], 0x5A00 + i) << "unbound word " << i;
        else
            EXPECT_EQ(out[i], in[i]) << "word " << i;
    }
}

TEST_F(BindingTest, ReadingClearsWhatNoControlOffersAndSetsTheFixedWords) {
    Record in = FullRecord();
    in[PW_MARKER] = 7, in[PW_FIXED_75] = 0x1111, in[PW_FIXED_77] = 0x2222;
    in[PW_TMR0_START] = in[PW_TMR0_START + 1] = 0xFFFF;
    in[PW_CHA_REC_TRIGGER] = in[PW_CHA_REC_TRIGGER + 1] = 0xFFFF;
    for (int g = 0; g < CG_WORDS; ++g)
        in[PW_NORMBASE_GROUP + g] = in[PW_OUT_GROUP[1] + g] = 0xFFFF;
    in[PW_OUT_GROUP[1] + CG_COMBINATION] = 0x0711;
    in[PW_EVAL_GROUP[2] + 2] = in[PW_EVAL_GROUP[2] + 5] = 0xFFFF;
    in[PW_POTI] = 0x7703;
    Record out = in;
    SetPanelValues(in.data());
    GetPanelValues(out.data());
    EXPECT_EQ(out[PW_MARKER], 1);
    EXPECT_EQ(out[PW_FIXED_75], 0x0203);
    EXPECT_EQ(out[PW_FIXED_77], 0x0202);
    EXPECT_EQ(GetField32(out.data(), PW_TMR0_START), EVMASK_TMR0);
    EXPECT_EQ(GetField32(out.data(), PW_CHA_REC_TRIGGER), EVMASK_REC_TRIGGER);
    const unsigned short normBase[CG_WORDS] = {0, 0, 0, 0x0333, 0x3330, 0, 0};
    for (int g = 0; g < CG_WORDS; ++g)
        EXPECT_EQ(out[PW_NORMBASE_GROUP + g], normBase[g]) << "g" << g;
    // Output group: levels, evaluation conditions and the combination ring;
    // the ring shows the low byte and reads back its own value.
    const unsigned short output[CG_WORDS] = {0, 0, 0, 0x0333, 0x3330, 0x0770, 0x0011};
    for (int g = 0; g < CG_WORDS; ++g)
        EXPECT_EQ(out[PW_OUT_GROUP[1] + g], output[g]) << "g" << g;
    EXPECT_EQ(out[PW_EVAL_GROUP[2] + 2], 0);
    EXPECT_EQ(out[PW_EVAL_GROUP[2] + 5], 0);
    EXPECT_EQ(out[PW_POTI], 0x0003);
}

TEST_F(BindingTest, FixedPointValuesOnTheEvaluationPanels) {
    SetCtrlVal(panelSETTINGS, SETTINGS_REFERENCE, 1.5);
    SetCtrlVal(panelSETTINGS_2, SETTINGS_2_LOWER_TOL, -1.0);
    Record r = read();
    EXPECT_EQ(r[82], 0x8000);
    EXPECT_EQ(r[83], 0x0001);
    EXPECT_EQ(r[100], 0x0000);
    EXPECT_EQ(r[101], 0xFFFF);
    SetCtrlVal(panelSETTINGS_2, SETTINGS_2_LOWER_TOL, 0.0);
    SetPanelValues(r.data());
    EXPECT_DOUBLE_EQ(real(panelSETTINGS_2, SETTINGS_2_LOWER_TOL), -1.0);
    EXPECT_DOUBLE_EQ(real(panelSETTINGS, SETTINGS_REFERENCE), 1.5);
}

// Every 16.16 field comes back from the panels bit for bit, over the whole
// 32-bit range, however many places its value needs.
TEST_F(BindingTest, EveryFixedPointFieldSurvivesThePanelsBitForBit) {
    std::vector<int> fields;
    for (int e = 0; e < EVAL_COUNT; ++e)
        for (int w : {PW_EVAL_REFERENCE[e], PW_EVAL_UPPER_TOL[e], PW_EVAL_LOWER_TOL[e]})
            if (w >= 0) fields.push_back(w);
    ASSERT_EQ(fields.size(), 14u);
    std::vector<unsigned int> values = {0x00000001u, 0x0000FFFFu, 0x00010001u, 0x7FFFFFFFu,
                                        0x80000000u, 0xFFFFFFFFu, 0x00000400u, 0x00000002u};
    std::mt19937 random(12);
    for (int i = 0; i < 300; ++i) values.push_back(static_cast<unsigned int>(random()));
    Record in = FullRecord();
    for (std::size_t i = 0; i < values.size(); ++i) {
        // Each round puts a different value into every field.
        for (std::size_t f = 0; f < fields.size(); ++f)
            SetField32(in.data(), fields[f], values[(i + f) % values.size()]);
        SetPanelValues(in.data());
        const Record out = read();
        for (int w : fields)
            ASSERT_EQ(GetField32(out.data(), w), GetField32(in.data(), w)) << "word " << w << " round " << i;
    }
}

TEST_F(BindingTest, FilterAndNormalisationButtons) {
    const int p = panelPOWER;
    auto filters = [&](int none, int f1, int f2, int f3) {
        SetCtrlVal(p, POWER_FILTER_NONE, none);
        SetCtrlVal(p, POWER_FILTER_1, f1);
        SetCtrlVal(p, POWER_FILTER_2, f2);
        SetCtrlVal(p, POWER_FILTER_3, f3);
        return read()[PW_CHA_FILTER];
    };
    EXPECT_EQ(filters(1, 0, 1, 0), 0);
    EXPECT_EQ(filters(0, 1, 0, 1), 5);

    // The operator's click leaves one filter button set.
    OperateCtrl(p, POWER_FILTER_2);
    EXPECT_EQ(val(p, POWER_FILTER_1) + val(p, POWER_FILTER_3) + val(p, POWER_FILTER_NONE), 0);
    EXPECT_EQ(read()[PW_CHA_FILTER], 2);
    OperateCtrl(panelPOWER_B, POWER_B_FILTER_NONE);
    EXPECT_EQ(read()[PW_CHB_FILTER], 0);
    EXPECT_EQ(val(p, POWER_FILTER_2), 1) << "channel A is not touched by channel B's buttons";

    OperateCtrl(p, POWER_NORM_ON);
    EXPECT_EQ(val(p, POWER_NORM_OFF), 0);
    EXPECT_EQ(read()[PW_CHA_NORM], 1);
    OperateCtrl(p, POWER_NORM_OFF);
    EXPECT_EQ(val(p, POWER_NORM_ON), 0);
    EXPECT_EQ(read()[PW_CHA_NORM], 0);
    Record r = read();
    r[PW_CHA_NORM] = 1;
    SetPanelValues(r.data());
    EXPECT_EQ(val(p, POWER_NORM_ON), 1);
    EXPECT_EQ(val(p, POWER_NORM_OFF), 0);
}

TEST_F(BindingTest, RecordingIntervalFollowsTheScanRate) {
    Record r = read();
    r[PW_CHA_REC_INTERVAL] = 100, r[PW_SCANRATE] = 3;
    SetPanelValues(r.data());
    EXPECT_EQ(val(panelPOWER_REC, POWER_REC_A_INTERVAL), 33);
    EXPECT_EQ(val(panelPOWER_REC, POWER_REC_A_INTERVAL_VALUE), 100);

    OperateCtrl(panelPOWER_REC, POWER_REC_A_INTERVAL, 10);
    EXPECT_EQ(val(panelPOWER_REC, POWER_REC_A_INTERVAL_VALUE), 30);
    SetCtrlVal(panelPOWER_REC, POWER_REC_B_INTERVAL, 4);
    OperateCtrl(panelPOWER_GEN, POWER_GEN_SCAN_RATE, 5);
    EXPECT_EQ(val(panelPOWER_REC, POWER_REC_A_INTERVAL_VALUE), 50);
    EXPECT_EQ(val(panelPOWER_REC, POWER_REC_B_INTERVAL_VALUE), 20);
    EXPECT_EQ(read()[PW_CHB_REC_INTERVAL], 20);
    OperateCtrl(panelPOWER_REC, POWER_REC_A_INTERVAL, 30000);
    EXPECT_EQ(val(panelPOWER_REC, POWER_REC_A_INTERVAL_VALUE), 65535) << "held at 16 bits, not wrapped";

    // A record with scan rate 0 shows the interval undivided, as the scan
    // rate control (which starts at 1) reads it back.
    r[PW_SCANRATE] = 0;
    SetPanelValues(r.data());
    EXPECT_EQ(val(panelPOWER_REC, POWER_REC_A_INTERVAL), 100);
    EXPECT_EQ(val(panelPOWER_GEN, POWER_GEN_SCAN_RATE), 1);
}

TEST_F(BindingTest, TimerModeKeepsTheTimingSourceInTheHighByte) {
    Record r = read();
    r[PW_TMR1_MODE] = 0x0301;
    SetPanelValues(r.data());
    EXPECT_EQ(val(panelPOWER_TMR1, POWER_TMR1_SOURCE), 0x0300);
    EXPECT_EQ(val(panelPOWER_TMR1, POWER_TMR1_WORKMODE), 1);
    OperateCtrl(panelPOWER_TMR1, POWER_TMR1_SOURCE, 0x0100);
    EXPECT_EQ(read()[PW_TMR1_MODE], 0x0101);
}

TEST_F(BindingTest, CombinationRingShowsTheLowByteOfTheRecord) {
    Record r = read();
    r[PW_OUT_GROUP[2] + CG_COMBINATION] = 0x0710;
    r[PW_EVAL_GROUP[0] + CG_COMBINATION] = 0x0011;
    SetPanelValues(r.data());
    EXPECT_EQ(val(panelOUTPUT_2, OUTPUT_2_COMBINATION), COMB_AND);
    EXPECT_EQ(val(panelSETTINGS, SETTINGS_COMBINATION), COMB_AND | COMB_NEGATE);
    EXPECT_EQ(read()[PW_OUT_GROUP[2] + CG_COMBINATION], COMB_AND);
}

TEST_F(BindingTest, EvaluationAllConditionsSwitch) {
    Record r = read();
    for (int e = 0; e < EVAL_COUNT; ++e)
        for (int g = 0; g < CG_WORDS; ++g)
            r[PW_EVAL_GROUP[e] + g] = 0;
    r[PW_EVAL_GROUP[3] + 4] = 0x3000; // TMR1 high and low
    r[PW_EVAL_GROUP[1] + 5] = 0x0700; // not shown on an evaluation panel
    SetPanelValues(r.data());
    const int switches[EVAL_COUNT][2] = {{panelSETTINGS, SETTINGS_ALL_CONDITIONS},
                                         {panelSETTINGS_2, SETTINGS_2_ALL_CONDITIONS},
                                         {panelSETTINGS_3, SETTINGS_3_ALL_CONDITIONS},
                                         {panelSETTINGS_4, SETTINGS_4_ALL_CONDITIONS},
                                         {panelSETTINGS_5, SETTINGS_5_ALL_CONDITIONS}};
    for (int e = 0; e < EVAL_COUNT; ++e)
        EXPECT_EQ(val(switches[e][0], switches[e][1]), e == 3 ? 1 : 0) << "evaluation " << e + 1;

    // IN0 high and low: lit on the next commit, off again when one is cleared.
    const int p = panelSETTINGS_2;
    OperateCtrl(p, SETTINGS_2_LEVEL_IN0_HIGH);
    EXPECT_EQ(val(p, SETTINGS_2_ALL_CONDITIONS), 0);
    OperateCtrl(p, SETTINGS_2_LEVEL_IN0_LOW);
    EXPECT_EQ(val(p, SETTINGS_2_ALL_CONDITIONS), 1);
    OperateCtrl(p, SETTINGS_2_LEVEL_IN0_HIGH);
    EXPECT_EQ(val(p, SETTINGS_2_ALL_CONDITIONS), 0);
    // A commit on any evaluation panel re-checks them all.
    SetCtrlVal(panelSETTINGS_4, SETTINGS_4_LEVEL_TMR1_HIGH, 0);
    OperateCtrl(panelSETTINGS_5, SETTINGS_5_MODE, 2);
    EXPECT_EQ(val(panelSETTINGS_4, SETTINGS_4_ALL_CONDITIONS), 0);

    // The switch itself selects or clears all 24 conditions of its panel.
    OperateCtrl(panelSETTINGS_3, SETTINGS_3_ALL_CONDITIONS);
    Record all = read();
    EXPECT_EQ(GetField32(all.data(), PW_EVAL_GROUP[2] + CG_EDGE), EVMASK_ALL);
    EXPECT_EQ(all[PW_EVAL_GROUP[2] + 3], 0x0333);
    EXPECT_EQ(all[PW_EVAL_GROUP[2] + 4], 0x3330);
    EXPECT_EQ(val(panelSETTINGS_3, SETTINGS_3_ALL_CONDITIONS), 1);
    OperateCtrl(panelSETTINGS_3, SETTINGS_3_ALL_CONDITIONS);
    Record none = read();
    for (int g = 0; g < 6; ++g)
        EXPECT_EQ(none[PW_EVAL_GROUP[2] + g], 0) << "g" << g;
}

TEST_F(BindingTest, NormalisationBaseSummaryBox) {
    const int p = panelPOWER_GEN;
    OperateCtrl(p, POWER_GEN_NORMBASE_ALL, 1);
    for (int i = 0; i < LEVEL_COUNT; ++i)
        EXPECT_EQ(val(p, POWER_GEN_NORMBASE_A_OVER + i), 1) << i;
    EXPECT_EQ(val(p, POWER_GEN_NORMBASE_ALL), 1);
    OperateCtrl(p, POWER_GEN_NORMBASE_ALL, 0);
    for (int i = 0; i < LEVEL_COUNT; ++i)
        EXPECT_EQ(val(p, POWER_GEN_NORMBASE_A_OVER + i), 0) << i;

    OperateCtrl(p, POWER_GEN_NORMBASE_TMR0_HIGH);
    EXPECT_EQ(val(p, POWER_GEN_NORMBASE_ALL), 0);
    OperateCtrl(p, POWER_GEN_NORMBASE_TMR0_LOW);
    EXPECT_EQ(val(p, POWER_GEN_NORMBASE_ALL), 1);
    OperateCtrl(p, POWER_GEN_NORMBASE_TMR0_HIGH);
    EXPECT_EQ(val(p, POWER_GEN_NORMBASE_ALL), 0);

    // Showing a record lights it for a contradictory group.
    Record r = read();
    r[PW_NORMBASE_GROUP + 4] = 0x0030; // channel B over and under
    SetPanelValues(r.data());
    EXPECT_EQ(val(p, POWER_GEN_NORMBASE_ALL), 1);
}

TEST_F(BindingTest, RecordingChannelsFollowEachOther) {
    const int p = panelPOWER_REC;
    SetCtrlVal(panelPOWER_GEN, POWER_GEN_SCAN_RATE, 4);
    for (int i = 0; i < 8; ++i)
        SetCtrlVal(p, POWER_REC_A_TRIG_A_OVER + i, i == 5);
    for (int i = 0; i < 8; ++i)
        SetCtrlVal(p, POWER_REC_B_TRIG_A_OVER + i, i == 2);
    SetCtrlVal(p, POWER_REC_A_PRETRIGGER, 11);
    SetCtrlVal(p, POWER_REC_A_INTERVAL, 6);
    SetCtrlVal(p, POWER_REC_B_PRETRIGGER, 22);
    SetCtrlVal(p, POWER_REC_B_INTERVAL, 7);

    OperateCtrl(p, POWER_REC_B_FOLLOWS_A);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(val(p, POWER_REC_B_TRIG_A_OVER + i), i == 5 ? 1 : 0) << i;
    EXPECT_EQ(val(p, POWER_REC_B_PRETRIGGER), 11);
    EXPECT_EQ(val(p, POWER_REC_B_INTERVAL), 6);
    EXPECT_EQ(val(p, POWER_REC_A_INTERVAL_VALUE), 24);
    EXPECT_EQ(val(p, POWER_REC_B_INTERVAL_VALUE), 24);
    for (int id :
         {POWER_REC_B_PRETRIGGER, POWER_REC_B_INTERVAL, POWER_REC_B_TRIG_A_OVER, POWER_REC_B_TRIG_IN1_FALL})
        EXPECT_EQ(dimmed(p, id), 1) << id;
    EXPECT_EQ(dimmed(p, POWER_REC_A_PRETRIGGER), 0);

    // While coupled, channel A's edits reach channel B.
    OperateCtrl(p, POWER_REC_A_TRIG_B_OVER);
    EXPECT_EQ(val(p, POWER_REC_A_TRIG_IN0_FALL), 0);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(val(p, POWER_REC_B_TRIG_A_OVER + i), i == 2 ? 1 : 0) << i;
    OperateCtrl(p, POWER_REC_A_PRETRIGGER, 33);
    EXPECT_EQ(val(p, POWER_REC_B_PRETRIGGER), 33);
    OperateCtrl(p, POWER_REC_A_INTERVAL, 2);
    EXPECT_EQ(val(p, POWER_REC_B_INTERVAL), 2);
    EXPECT_EQ(val(p, POWER_REC_B_INTERVAL_VALUE), 8);

    // The other coupling replaces the first one and copies B to A.
    SetCtrlVal(p, POWER_REC_B_PRETRIGGER, 44);
    OperateCtrl(p, POWER_REC_A_FOLLOWS_B);
    EXPECT_EQ(val(p, POWER_REC_B_FOLLOWS_A), 0);
    EXPECT_EQ(val(p, POWER_REC_A_PRETRIGGER), 44);
    EXPECT_EQ(dimmed(p, POWER_REC_A_PRETRIGGER), 1);
    EXPECT_EQ(dimmed(p, POWER_REC_B_PRETRIGGER), 0);

    // Uncoupled: both enabled, nothing copied; a trigger box is a one-of choice.
    OperateCtrl(p, POWER_REC_A_FOLLOWS_B);
    EXPECT_EQ(dimmed(p, POWER_REC_A_PRETRIGGER), 0);
    EXPECT_EQ(dimmed(p, POWER_REC_B_TRIG_A_OVER), 0);
    OperateCtrl(p, POWER_REC_B_PRETRIGGER, 55);
    EXPECT_EQ(val(p, POWER_REC_A_PRETRIGGER), 44);
    OperateCtrl(p, POWER_REC_B_TRIG_IN1_RISE);
    Record r = read();
    EXPECT_EQ(GetField32(r.data(), PW_CHB_REC_TRIGGER), 1u << kEdgeConditions[6].bit);
    EXPECT_EQ(GetField32(r.data(), PW_CHA_REC_TRIGGER), 1u << kEdgeConditions[2].bit);
}

TEST_F(BindingTest, AnalogSourceReadsThePanelsIntoParam) {
    std::fill(std::begin(param), std::end(param), 0);
    SetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MAX, 4000);
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, 14);
    EXPECT_EQ(param[PW_ANA_SOURCE], 14);
    EXPECT_EQ(param[PW_ANA_MAX], 4000);
    EXPECT_EQ(param[PW_FIXED_77], 0x0202);
}

} // namespace
