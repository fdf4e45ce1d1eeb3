#include "params/binding.h"

#include "params/words.h"

#include "core/panels.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <vector>

BindingHooks bindingHooks;

namespace {

// ---- the controls the callbacks keep consistent ----------------------------------
// What each control holds in the record is in the table of params/words.cpp;
// these name the controls that act on each other while the operator edits.
// clang-format off

struct ChannelPanel {
    int *panel;
    int filterNone, filter[3], normOn, normOff;
};
const ChannelPanel kChannels[2] = {
    {&panelPOWER, POWER_FILTER_NONE, {POWER_FILTER_1, POWER_FILTER_2, POWER_FILTER_3}, POWER_NORM_ON,
     POWER_NORM_OFF},
    {&panelPOWER_B, POWER_B_FILTER_NONE, {POWER_B_FILTER_1, POWER_B_FILTER_2, POWER_B_FILTER_3}, POWER_B_NORM_ON,
     POWER_B_NORM_OFF},
};

// The recording panel's two channel groups.
struct RecordingGroup {
    int pretrigger, interval, intervalValue, triggerFirst;
};
const RecordingGroup kRecording[2] = {
    {POWER_REC_A_PRETRIGGER, POWER_REC_A_INTERVAL, POWER_REC_A_INTERVAL_VALUE, POWER_REC_A_TRIG_A_OVER},
    {POWER_REC_B_PRETRIGGER, POWER_REC_B_INTERVAL, POWER_REC_B_INTERVAL_VALUE, POWER_REC_B_TRIG_A_OVER},
};
constexpr int kRecTriggerCount = 8; // edges 1 to 8: the channel and input events

struct EvaluationPanel {
    int *panel;
    int allConditions, edgeFirst, levelFirst;
};
const EvaluationPanel kEvaluations[EVAL_COUNT] = {
    {&panelSETTINGS, SETTINGS_ALL_CONDITIONS, SETTINGS_EDGE_A_OVER, SETTINGS_LEVEL_A_OVER},
    {&panelSETTINGS_2, SETTINGS_2_ALL_CONDITIONS, SETTINGS_2_EDGE_A_OVER, SETTINGS_2_LEVEL_A_OVER},
    {&panelSETTINGS_3, SETTINGS_3_ALL_CONDITIONS, SETTINGS_3_EDGE_A_OVER, SETTINGS_3_LEVEL_A_OVER},
    {&panelSETTINGS_4, SETTINGS_4_ALL_CONDITIONS, SETTINGS_4_EDGE_A_OVER, SETTINGS_4_LEVEL_A_OVER},
    {&panelSETTINGS_5, SETTINGS_5_ALL_CONDITIONS, SETTINGS_5_EDGE_A_OVER, SETTINGS_5_LEVEL_A_OVER},
};

// clang-format on

// Bits of a condition group the panels show, per group word.
constexpr unsigned short kEvalGroupShown[CG_WORDS] = {0x3333, 0x3300, 0, 0x0333, 0x3330, 0, 0x00FF};
constexpr unsigned short kNormBaseShown[CG_WORDS] = {0, 0, 0, 0x0333, 0x3330, 0, 0};

// ---- the binding: one row per control -------------------------------------------
// The table's rows expanded so that every box of a mask or group is a row of
// its own. Words that a box, button or packed part builds start clear.

struct Binding {
    int *panel;
    short control;
    unsigned char word;
    PanelHolds kind; // never EventBoxes or GroupBoxes
    unsigned char shift;
    unsigned short mask;
};

struct BindingTable {
    std::vector<int> cleared; // words that start clear when the panels are read
    std::vector<Binding> rows;
};

void addBox(BindingTable &t, int *panel, int control, int word, int bit) {
    t.rows.push_back({panel, static_cast<short>(control), static_cast<unsigned char>(word), PanelHolds::Bit,
                      static_cast<unsigned char>(bit), 0});
}

BindingTable buildTable() {
    BindingTable t;
    for (std::size_t n = 0; n < kParamWordCount; ++n) {
        const ParamWord &w = kParamWords[n];
        for (int i = 0; i < ParamWordSpan(w); ++i)
            t.cleared.push_back(w.word + i);
        switch (w.panel) {
        case PanelHolds::None:
            break;
        case PanelHolds::EventBoxes:
            for (int i = 0; i < EDGE_COUNT; ++i) {
                const int bitE = kEdgeConditions[i].bit;
                if (w.offered & (1u << bitE))
                    addBox(t, w.handle, w.control + i, w.word + EventWord(bitE), EventWordBit(bitE));
            }
            break;
        case PanelHolds::GroupBoxes:
            for (int i = 0; w.control && i < EDGE_COUNT; ++i) {
                const int bitE = kEdgeConditions[i].bit;
                addBox(t, w.handle, w.control + i, w.word + CG_EDGE + EventWord(bitE), EventWordBit(bitE));
            }
            for (int i = 0; w.levelBoxes && i < LEVEL_COUNT; ++i)
                addBox(t, w.handle, w.levelBoxes + i, w.word + kLevelConditions[i].word, kLevelConditions[i].bit);
            for (int i = 0; w.evalBoxes && i < EVAL_CONDITION_COUNT; ++i)
                addBox(t, w.handle, w.evalBoxes + i, w.word + kEvalConditions[i].word, kEvalConditions[i].bit);
            break;
        case PanelHolds::Bit:
        case PanelHolds::Part:
            t.cleared.push_back(w.word);
            t.rows.push_back({w.handle, w.control, w.word, w.panel, w.shift, w.mask});
            break;
        default:
            t.rows.push_back({w.handle, w.control, w.word, w.panel, w.shift, w.mask});
            break;
        }
    }
    return t;
}

const BindingTable &table() {
    static const BindingTable t = buildTable();
    return t;
}

int ctrlInt(int panel, int control) {
    int v = 0;
    GetCtrlVal(panel, control, &v);
    return v;
}

// The group as its panel shows it: only the bits a control offers.
int shownGroupContradictory(const unsigned short *group, const unsigned short shown[CG_WORDS]) {
    unsigned short g[CG_WORDS];
    for (int i = 0; i < CG_WORDS; ++i)
        g[i] = group[i] & shown[i];
    return ConditionGroupContradictory(g);
}

// Reads the twelve level boxes (first id + level index) into a group that
// starts all clear.
void readLevelBoxes(int panel, int levelFirst, unsigned short g[CG_WORDS]) {
    for (int i = 0; i < CG_WORDS; ++i)
        g[i] = 0;
    for (int i = 0; i < LEVEL_COUNT; ++i)
        if (ctrlInt(panel, levelFirst + i)) g[kLevelConditions[i].word] |= 1u << kLevelConditions[i].bit;
}

int scanRate() {
    return ctrlInt(panelPOWER_GEN, POWER_GEN_SCAN_RATE);
}

// Interval value = factor x scan rate, both 16-bit; the value control holds 16 bits.
void setIntervalValue(int control, int factor, int rate) {
    unsigned int v = static_cast<unsigned int>(factor & 0xFFFF) * static_cast<unsigned int>(rate & 0xFFFF);
    SetCtrlVal(panelPOWER_REC, control, static_cast<int>(v > 0xFFFFu ? 0xFFFFu : v));
}

// Dims or enables one channel group of the recording panel.
void dimRecordingGroup(const RecordingGroup &r, int dimmed) {
    SetCtrlAttribute(panelPOWER_REC, r.pretrigger, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(panelPOWER_REC, r.interval, ATTR_DIMMED, dimmed);
    for (int i = 0; i < kRecTriggerCount; ++i)
        SetCtrlAttribute(panelPOWER_REC, r.triggerFirst + i, ATTR_DIMMED, dimmed);
}

// Copies one channel's recording settings to the other's controls and sets
// both interval values from the leading channel's factor.
void copyRecordingGroup(const RecordingGroup &from, const RecordingGroup &to) {
    for (int i = 0; i < kRecTriggerCount; ++i)
        SetCtrlVal(panelPOWER_REC, to.triggerFirst + i, ctrlInt(panelPOWER_REC, from.triggerFirst + i));
    SetCtrlVal(panelPOWER_REC, to.pretrigger, ctrlInt(panelPOWER_REC, from.pretrigger));
    const int factor = ctrlInt(panelPOWER_REC, from.interval);
    SetCtrlVal(panelPOWER_REC, to.interval, factor);
    const int rate = scanRate();
    setIntervalValue(from.intervalValue, factor, rate);
    setIntervalValue(to.intervalValue, factor, rate);
}

} // namespace

// ---- reading and showing the record -------------------------------------------------

void GetPanelValues(unsigned short rec[PARAM_WORDS]) {
    for (int word : table().cleared)
        rec[word] = 0;
    for (const Binding &b : table().rows) {
        unsigned short &w = rec[b.word];
        int v = 0;
        switch (b.kind) {
        case PanelHolds::Word:
        case PanelHolds::Combination:
            if (GetCtrlVal(*b.panel, b.control, &v) >= 0) w = static_cast<unsigned short>(v);
            break;
        case PanelHolds::Bit:
            if (GetCtrlVal(*b.panel, b.control, &v) < 0) break;
            if (v)
                w = static_cast<unsigned short>(w | (1u << b.shift));
            else
                w = static_cast<unsigned short>(w & ~(1u << b.shift));
            break;
        case PanelHolds::Clears:
            if (GetCtrlVal(*b.panel, b.control, &v) >= 0 && v) w = 0;
            break;
        case PanelHolds::Part:
            if (GetCtrlVal(*b.panel, b.control, &v) >= 0)
                w = static_cast<unsigned short>(w | ((static_cast<unsigned int>(v) << b.shift) & b.mask));
            break;
        case PanelHolds::Fixed: {
            double d = 0.0;
            if (GetCtrlVal(*b.panel, b.control, &d) >= 0) SetField32(rec, b.word, FixedFromShownValue(d));
            break;
        }
        default: // shown only: the inverse of a bit, the interval factor
            break;
        }
    }
    rec[PW_MARKER] = PW_MARKER_VALUE;
    rec[PW_FIXED_75] = PW_FIXED_75_VALUE;
    rec[PW_FIXED_77] = PW_FIXED_77_VALUE;
}

void SetPanelValues(const unsigned short rec[PARAM_WORDS]) {
    // The scan-rate control starts at 1; a record holding 0 shows the
    // interval as it will be read back, divided by 1.
    const unsigned int rate = rec[PW_SCANRATE] ? rec[PW_SCANRATE] : 1u;
    for (const Binding &b : table().rows) {
        const unsigned int w = rec[b.word];
        switch (b.kind) {
        case PanelHolds::Word:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(w));
            break;
        case PanelHolds::Bit:
            SetCtrlVal(*b.panel, b.control, static_cast<int>((w >> b.shift) & 1u));
            break;
        case PanelHolds::NotBit:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(((w >> b.shift) & 1u) ^ 1u));
            break;
        case PanelHolds::Clears:
            SetCtrlVal(*b.panel, b.control, w == 0 ? 1 : 0);
            break;
        case PanelHolds::Part:
            SetCtrlVal(*b.panel, b.control, static_cast<int>((w & b.mask) >> b.shift));
            break;
        case PanelHolds::Combination:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(w & 0xFFu));
            break;
        case PanelHolds::Fixed:
            SetCtrlVal(*b.panel, b.control, ValueFromFixed(GetField32(rec, b.word)));
            break;
        case PanelHolds::PerScanRate:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(w / rate));
            break;
        default:
            break;
        }
    }
    for (int e = 0; e < EVAL_COUNT; ++e)
        SetCtrlVal(*kEvaluations[e].panel, kEvaluations[e].allConditions,
                   shownGroupContradictory(rec + PW_EVAL_GROUP[e], kEvalGroupShown));
    SetCtrlVal(panelPOWER_GEN, POWER_GEN_NORMBASE_ALL,
               shownGroupContradictory(rec + PW_NORMBASE_GROUP, kNormBaseShown));
    if (bindingHooks.recordShown) bindingHooks.recordShown();
}

bool PanelRangeOf(int word, unsigned short part, PanelRange *range) {
    unsigned bits = 0;
    for (const Binding &b : table().rows) {
        if (b.word != word) continue;
        const bool whole = part == 0xFFFF && (b.kind == PanelHolds::Word || b.kind == PanelHolds::Fixed);
        const bool byte = b.kind == PanelHolds::Part && b.mask == part;
        if ((whole || byte) && GetCtrlAttribute(*b.panel, b.control, ATTR_MIN_VALUE, &range->min) >= 0 &&
            GetCtrlAttribute(*b.panel, b.control, ATTR_MAX_VALUE, &range->max) >= 0) {
            range->bits = 0;
            return true;
        }
        if (b.kind == PanelHolds::Bit && part == 0xFFFF) bits |= 1u << b.shift;
    }
    range->bits = bits;
    return bits != 0;
}

// ---- callbacks --------------------------------------------------------------------------

int CC_FILTERMODES(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (const ChannelPanel &c : kChannels) {
        if (panel != *c.panel) continue;
        const int buttons[4] = {c.filterNone, c.filter[0], c.filter[1], c.filter[2]};
        for (int id : buttons)
            if (id != control) SetCtrlVal(panel, id, 0);
    }
    return 0;
}

int CC_NORMMODE(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (const ChannelPanel &c : kChannels) {
        if (panel != *c.panel) continue;
        if (control != c.normOn) SetCtrlVal(panel, c.normOn, 0);
        if (control != c.normOff) SetCtrlVal(panel, c.normOff, 0);
    }
    return 0;
}

int CC_TRIGGERMODES(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT || panel != panelPOWER_REC) return 0;
    const int follows[2] = {ctrlInt(panel, POWER_REC_B_FOLLOWS_A), ctrlInt(panel, POWER_REC_A_FOLLOWS_B)};
    for (int ch = 0; ch < 2; ++ch) {
        const RecordingGroup &own = kRecording[ch];
        const RecordingGroup &other = kRecording[1 - ch];
        const bool mirrored = follows[ch] != 0; // the other channel follows this one
        if (control >= own.triggerFirst && control < own.triggerFirst + kRecTriggerCount) {
            for (int i = 0; i < kRecTriggerCount; ++i)
                if (own.triggerFirst + i != control) SetCtrlVal(panel, own.triggerFirst + i, 0);
            if (mirrored)
                for (int i = 0; i < kRecTriggerCount; ++i)
                    SetCtrlVal(panel, other.triggerFirst + i, ctrlInt(panel, own.triggerFirst + i));
        } else if (control == own.pretrigger) {
            if (mirrored) SetCtrlVal(panel, other.pretrigger, ctrlInt(panel, own.pretrigger));
        } else if (control == own.interval) {
            const int factor = ctrlInt(panel, own.interval);
            const int rate = scanRate();
            setIntervalValue(own.intervalValue, factor, rate);
            if (mirrored) {
                SetCtrlVal(panel, other.interval, factor);
                setIntervalValue(other.intervalValue, factor, rate);
            }
        }
    }
    return 0;
}

int CC_SYNC(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT || panel != panelPOWER_REC) return 0;
    if (control != POWER_REC_B_FOLLOWS_A) SetCtrlVal(panel, POWER_REC_B_FOLLOWS_A, 0);
    if (control != POWER_REC_A_FOLLOWS_B) SetCtrlVal(panel, POWER_REC_A_FOLLOWS_B, 0);
    const int bFollowsA = ctrlInt(panel, POWER_REC_B_FOLLOWS_A);
    const int aFollowsB = ctrlInt(panel, POWER_REC_A_FOLLOWS_B);
    dimRecordingGroup(kRecording[0], aFollowsB);
    dimRecordingGroup(kRecording[1], bFollowsA);
    if (bFollowsA)
        copyRecordingGroup(kRecording[0], kRecording[1]);
    else if (aFollowsB)
        copyRecordingGroup(kRecording[1], kRecording[0]);
    return 0;
}

int CC_NUM_SCANRATE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int rate = scanRate();
    for (const RecordingGroup &r : kRecording)
        setIntervalValue(r.intervalValue, ctrlInt(panelPOWER_REC, r.interval), rate);
    return 0;
}

int CC_NORM_BASE(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT || panel != panelPOWER_GEN) return 0;
    if (control == POWER_GEN_NORMBASE_ALL) {
        const int on = ctrlInt(panel, POWER_GEN_NORMBASE_ALL) ? 1 : 0;
        for (int i = 0; i < LEVEL_COUNT; ++i)
            SetCtrlVal(panel, POWER_GEN_NORMBASE_A_OVER + i, on);
        return 0;
    }
    unsigned short g[CG_WORDS];
    readLevelBoxes(panel, POWER_GEN_NORMBASE_A_OVER, g);
    SetCtrlVal(panel, POWER_GEN_NORMBASE_ALL, ConditionGroupContradictory(g));
    return 0;
}

int CC_SETTINGS_PARA(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    for (const EvaluationPanel &p : kEvaluations) {
        if (panel == *p.panel && control == p.allConditions) {
            const int on = ctrlInt(panel, p.allConditions) ? 1 : 0;
            for (int i = 0; i < EDGE_COUNT; ++i)
                SetCtrlVal(panel, p.edgeFirst + i, on);
            for (int i = 0; i < LEVEL_COUNT; ++i)
                SetCtrlVal(panel, p.levelFirst + i, on);
            return 0;
        }
    }
    for (const EvaluationPanel &p : kEvaluations) {
        unsigned short g[CG_WORDS];
        readLevelBoxes(*p.panel, p.levelFirst, g);
        SetCtrlVal(*p.panel, p.allConditions, ConditionGroupContradictory(g));
    }
    return 0;
}

int CC_RNG_ANA_OUTMODE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    GetPanelValues(param);
    if (bindingHooks.recordShown) bindingHooks.recordShown();
    return 0;
}

int CC_OUTPUT_MODE(int, int, int, void *, int, int) {
    return 0;
}

void RegisterParamsCallbacks() {
    static const CallbackEntry callbacks[] = {
        {"CC_FILTERMODES", CC_FILTERMODES},     {"CC_NORMMODE", CC_NORMMODE},
        {"CC_TRIGGERMODES", CC_TRIGGERMODES},   {"CC_SYNC", CC_SYNC},
        {"CC_NUM_SCANRATE", CC_NUM_SCANRATE},   {"CC_NORM_BASE", CC_NORM_BASE},
        {"CC_SETTINGS_PARA", CC_SETTINGS_PARA}, {"CC_RNG_ANA_OUTMODE", CC_RNG_ANA_OUTMODE},
        {"CC_OUTPUT_MODE", CC_OUTPUT_MODE},
    };
    RegisterCallbacks(callbacks);
}
