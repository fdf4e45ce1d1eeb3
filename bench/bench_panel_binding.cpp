// Time to read all sixteen parameter panels into a record and show a record
// on them again (GetPanelValues + SetPanelValues), with the program's panels
// loaded and the main panel and one parameter panel on screen. Two records
// that differ in every bound field take turns, so each pass changes every
// control. For comparison, the bare engine calls: one GetCtrlVal and one
// SetCtrlVal on every control of the parameter panels.
//
//   bench_panel_binding [--rounds N] [--passes P]
//
// Last line: "ms_per_get_set <figure>" (median of the rounds' means).
#include "bench/common.h"

#include "core/panels.h"
#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "params/binding.h"
#include "ui/engine/engine.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Ctrl {
    int panel, id, kind;
};

int HandleOf(const char *file, int resource) {
    for (const PanelTableEntry &e : kPanelTable)
        if (std::string(e.file) == file && e.resource == resource) return *e.handle;
    return 0;
}

template <std::size_t N>
void Collect(std::vector<Ctrl> &out, const char *file, const PanelCtrlKind (&kinds)[N]) {
    for (const PanelCtrlKind &k : kinds) {
        const std::string cls = k.qtClass;
        if (cls == "QPushButton" || cls == "QvGraph" || cls == "QPlainTextEdit" || cls == "QLabel") continue;
        if (cls == "QComboBox" && std::string(file) == SETTINGS_UI_FILE && k.ctrlId == SETTINGS_A_TEMPLATE)
            continue;
        const int h = HandleOf(file, k.panelResource);
        int kind = 0;
        GetCtrlAttribute(h, k.ctrlId, ATTR_CTRL_KIND, &kind);
        out.push_back({h, k.ctrlId, kind});
    }
}

// The second record: every bound field moved away from the first one.
void Alternate(const unsigned short *a, unsigned short *b) {
    for (int i = 0; i < PARAM_WORDS; ++i)
        b[i] = a[i];
    for (int w : {PW_CHA_POWER, PW_CHA_TRIGGERLEVEL, PW_CHA_PRETRIGGER, PW_CHB_POWER, PW_CHB_TRIGGERLEVEL,
                  PW_CHB_PRETRIGGER, PW_TMR0_OFFTIME, PW_TMR0_ONTIME, PW_TMR0_SCALING, PW_TMR1_OFFTIME,
                  PW_TMR1_ONTIME, PW_TMR1_SCALING, PW_ANA_MIN, PW_NORM_TIMECONSTANT, PW_OUT_TIMING_0,
                  PW_OUT_TIMING_0 + 1, PW_OUT_TIMING_0 + 2, PW_CHA_REC_INTERVAL, PW_CHB_REC_INTERVAL})
        b[w] = static_cast<unsigned short>(a[w] + 1);
    b[PW_SCANRATE] = static_cast<unsigned short>(a[PW_SCANRATE] + 1);
    b[PW_CHA_FILTER] = b[PW_CHB_FILTER] = 5;
    b[PW_CHA_NORM] = b[PW_CHB_NORM] = static_cast<unsigned short>(a[PW_CHA_NORM] ^ 1);
    for (int w : {PW_CHA_RESET, PW_CHB_RESET, PW_CHA_REC_TRIGGER, PW_CHB_REC_TRIGGER, PW_TMR0_START,
                  PW_TMR0_STOP, PW_TMR1_START, PW_TMR1_STOP})
        SetField32(b, w, ~GetField32(a, w));
    b[PW_TMR0_MODE] = b[PW_TMR1_MODE] = 0x0201;
    b[PW_IN1_TEACH] = 0x0102, b[PW_POTI] = 1, b[PW_BUTTON] = 2, b[PW_ANA_SOURCE] = 13;
    for (int e = 0; e < EVAL_COUNT; ++e) {
        b[PW_EVAL_MODE[e]] = 3, b[PW_EVAL_AVERAGING[e]] = 4;
        SetField32(b, PW_EVAL_REFERENCE[e],
                   FixedFromValue(ValueFromFixed(GetField32(a, PW_EVAL_REFERENCE[e])) + 1.5));
        SetField32(b, PW_EVAL_UPPER_TOL[e], FixedFromValue(-2.25));
        for (int g = 0; g < CG_COMBINATION; ++g)
            b[PW_EVAL_GROUP[e] + g] = static_cast<unsigned short>(~a[PW_EVAL_GROUP[e] + g]);
        b[PW_EVAL_GROUP[e] + CG_COMBINATION] = COMB_AND;
    }
    for (int o = 0; o < OUTPUT_COUNT; ++o)
        for (int g = 0; g < CG_WORDS; ++g)
            b[PW_OUT_GROUP[o] + g] = static_cast<unsigned short>(~a[PW_OUT_GROUP[o] + g]);
    for (int g = 0; g < CG_WORDS; ++g)
        b[PW_NORMBASE_GROUP + g] = static_cast<unsigned short>(~a[PW_NORMBASE_GROUP + g]);
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_panel_binding");
    const int rounds = bench::OptInt(argc, argv, "--rounds", 7);
    const int passes = bench::OptInt(argc, argv, "--passes", 200);
    if (rounds < 1 || passes < 1) bench::Fail("--rounds and --passes must be at least 1");

    bench::StartProgram(argc, argv);
    SetPanelResourceDir(QVEX_BUILD_DIR);
    RegisterAllCallbacks();
    if (LoadAllPanels() < 0) bench::Fail("the panels did not load from %s", QVEX_BUILD_DIR);
    DisplayPanel(panelMAIN);
    DisplayPanel(panelSETTINGS);
    ProcessSystemEvents();

    std::vector<Ctrl> ctrls;
    Collect(ctrls, POWER_UI_FILE, POWER_UI_CTRL_KINDS);
    Collect(ctrls, SETTINGS_UI_FILE, SETTINGS_UI_CTRL_KINDS);
    Collect(ctrls, OUTPUTS_UI_FILE, OUTPUTS_UI_CTRL_KINDS);

    unsigned short recA[PARAM_WORDS], recB[PARAM_WORDS], out[PARAM_WORDS];
    GetPanelValues(recA);
    Alternate(recA, recB);
    SetPanelValues(recB);
    GetPanelValues(out);
    int changed = 0;
    for (int i = 0; i < PARAM_WORDS; ++i)
        changed += out[i] != recA[i];
    if (changed < 100) bench::Fail("the second record changes only %d words on the panels", changed);

    std::vector<double> binding, bare;
    for (int r = 0; r < rounds; ++r) {
        // Bare engine calls: every control read and written once per pass.
        double t0 = bench::Now();
        for (int p = 0; p < passes; ++p) {
            for (const Ctrl &c : ctrls) {
                if (c.kind == CTRL_KIND_NUMERIC_DOUBLE) {
                    double v = 0;
                    GetCtrlVal(c.panel, c.id, &v);
                    SetCtrlVal(c.panel, c.id, v + ((p & 1) ? -1.0 : 1.0));
                } else {
                    int v = 0;
                    GetCtrlVal(c.panel, c.id, &v);
                    SetCtrlVal(c.panel, c.id, c.kind == CTRL_KIND_RING ? v : v ^ 1);
                }
            }
        }
        bare.push_back(1e3 * (bench::Now() - t0) / passes);
        ProcessSystemEvents();

        t0 = bench::Now();
        for (int p = 0; p < passes; ++p) {
            GetPanelValues(out);
            SetPanelValues((p & 1) ? recA : recB);
        }
        binding.push_back(1e3 * (bench::Now() - t0) / passes);
        ProcessSystemEvents();
        std::printf("round %d: get+set %.3f ms, bare calls %.3f ms\n", r + 1, binding.back(), bare.back());
    }
    if (bench::PopupsShown() > 0) bench::Fail("the panels raised %d pop-up(s)", bench::PopupsShown());

    const double ms = bench::Median(binding);
    const double ref = bench::Median(bare);
    std::printf("controls on the parameter panels: %zu\n", ctrls.size());
    std::printf("reference_ms_per_bare_calls %.3f\n", ref);
    std::printf("ratio_to_bare_calls %.2f\n", ms / ref);
    std::printf("ms_per_get_set %.3f\n", ms);
    DiscardAllPanels();
    return 0;
}
