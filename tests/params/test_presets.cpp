// Presets on the analog output panel: the seven presets' limits, the preview
// that leaves the limits alone, the button that writes them, and sources
// that are no evaluation. The characteristic itself is test_graphs'.
#include "tests/fixtures/program.h"

#include "measure/graphs.h"
#include "params/binding.h"
#include "params/presets.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/settings_ids.h"

#include <array>
#include <utility>
#include <vector>

namespace {

using Limits = std::pair<int, int>;

unsigned int Fixed(double v) { return FixedFromValue(v); }
Limits Of(const PresetLimits &l) { return {l.minimum, l.maximum}; }

TEST(Presets, TheTableAtItsEdges) {
    PresetLimits l{};
    ASSERT_TRUE(ComputePreset(1, Fixed(100.0), Fixed(10.0), Fixed(5.0), &l));
    EXPECT_EQ(Of(l), Limits(95, 110));
    ComputePreset(1, Fixed(2.0), Fixed(10.0), Fixed(5.0), &l);
    EXPECT_EQ(Of(l), Limits(0, 12)) << "raised to 0";
    ComputePreset(1, Fixed(4090.0), Fixed(10.0), Fixed(5.0), &l);
    EXPECT_EQ(l.maximum, 4095) << "lowered to 4095";
    ComputePreset(4, Fixed(3000.5), 0, 0, &l);
    EXPECT_EQ(Of(l), Limits(2488, 3511));
    ComputePreset(5, 0, 0, 0, &l);
    EXPECT_EQ(Of(l), Limits(2048, -2047));
    // Beyond 16 bits the limits stop at the ends instead of wrapping.
    ComputePreset(5, 0x7FFFFFFFu, 0, 0, &l);
    EXPECT_EQ(Of(l), Limits(32767, 30720));
    ComputePreset(2, 0x80000000u, 0, 0, &l);
    EXPECT_EQ(l.minimum, -32768);
    ComputePreset(1, 0x7FFFFFFFu, 0, 0x80000000u, &l);
    EXPECT_EQ(l.minimum, 32767);
    EXPECT_FALSE(ComputePreset(0, 0, 0, 0, &l));
    EXPECT_FALSE(ComputePreset(8, 0, 0, 0, &l));
}

class PresetTest : public ProgramTest {
  protected:
    static inline std::vector<Limits> previews;
    static inline int redraws = 0;
    PresetHooks saved;

    void SetUp() override {
        ProgramTest::SetUp();
        saved = presetHooks;
        previews.clear();
        redraws = 0;
        presetHooks.redrawCharacteristic = [] { ++redraws; };
        presetHooks.previewCharacteristic = [](short lo, short hi) { previews.emplace_back(lo, hi); };
    }
    void TearDown() override {
        presetHooks = saved;
        ProgramTest::TearDown();
    }
    // Evaluation 1: reference 1000.75, tolerances +20.5 / -30.25;
    // evaluation 2: reference -5.5, tolerances +1.0 / -2.0.
    void showEvaluations() {
        unsigned short rec[PARAM_WORDS] = {};
        GetPanelValues(rec);
        SetField32(rec, PW_EVAL_REFERENCE[0], Fixed(1000.75));
        SetField32(rec, PW_EVAL_UPPER_TOL[0], Fixed(20.5));
        SetField32(rec, PW_EVAL_LOWER_TOL[0], Fixed(30.25));
        SetField32(rec, PW_EVAL_REFERENCE[1], Fixed(-5.5));
        SetField32(rec, PW_EVAL_UPPER_TOL[1], Fixed(1.0));
        SetField32(rec, PW_EVAL_LOWER_TOL[1], Fixed(2.0));
        rec[PW_ANA_MIN] = 11, rec[PW_ANA_MAX] = 22;
        SetPanelValues(rec);
    }
    Limits limits() {
        int lo = 0, hi = 0;
        GetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MIN, &lo);
        GetCtrlVal(panelOUTPUT_ANA, OUTPUT_ANA_MAX, &hi);
        return {lo, hi};
    }
};

TEST_F(PresetTest, EachPresetPreviewsThenTheButtonWritesTheLimits) {
    showEvaluations();
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, ANA_SOURCE_EVAL1);
    const Limits expected[PRESET_COUNT] = {
        {970, 1021}, {-1047, 3047}, {-23, 2023}, {488, 1511}, {3048, -1046}, {2024, -22}, {1512, 489},
    };
    for (int p = 1; p <= PRESET_COUNT; ++p) {
        const Limits want = expected[p - 1];
        previews.clear();
        redraws = 0;
        const Limits before = limits();
        OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_PRESET, p);
        EXPECT_EQ(previews, std::vector<Limits>(1, want)) << "preset " << p;
        EXPECT_EQ(redraws, 1);
        EXPECT_EQ(limits(), before) << "the ring alone leaves the limits";

        OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SETPRESET);
        EXPECT_EQ(limits(), want) << "preset " << p;
        EXPECT_EQ(redraws, 2);
        unsigned short rec[PARAM_WORDS] = {};
        GetPanelValues(rec);
        EXPECT_EQ(rec[PW_ANA_MIN], static_cast<unsigned short>(want.first)) << "the record keeps 16 bits";
        EXPECT_EQ(rec[PW_ANA_MAX], static_cast<unsigned short>(want.second));
    }

    // Evaluation 2 drives source 18.
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, ANA_SOURCE_EVAL2);
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_PRESET, 1);
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SETPRESET);
    EXPECT_EQ(limits(), Limits(0, -4));

    // A reference just typed on the evaluation panel counts.
    SetCtrlVal(panelSETTINGS_2, SETTINGS_2_REFERENCE, 100.0);
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SETPRESET);
    EXPECT_EQ(limits(), Limits(98, 101));
}

TEST_F(PresetTest, OtherSourcesAreNotApplicable) {
    showEvaluations();
    for (int source : {5, 6, 13, 14}) {
        OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, source);
        SetStatus("");
        redraws = 0;
        OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_PRESET, 2);
        EXPECT_EQ(StatusLine(), "Not applicable.") << source;
        SetStatus("");
        OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SETPRESET);
        EXPECT_EQ(StatusLine(), "Not applicable.") << source;
        EXPECT_EQ(redraws, 2) << "the graph is redrawn either way";
    }
    EXPECT_TRUE(previews.empty());
    EXPECT_EQ(limits(), Limits(11, 22));
}

// With the program's own hooks the preview is drawn from the preset's limits
// over the characteristic of the panel's.
TEST_F(PresetTest, ThePreviewIsTheCharacteristicOfThePresetsLimits) {
    presetHooks = saved;
    showEvaluations();
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, ANA_SOURCE_EVAL1);
    anagraph_mode = 1;
    OperateCtrl(panelOUTPUT_ANA, OUTPUT_ANA_PRESET, 1);
    for (int i = 0; i < 256; ++i) {
        const double y = std::clamp((dxArray[i] - 970.0) * 4096.0 / (1021.0 - 970.0), 0.0, 4096.0);
        EXPECT_NEAR(dyArray[i], y, 1e-9) << i;
    }
    EXPECT_EQ(limits(), Limits(11, 22));
}

} // namespace
