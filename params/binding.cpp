#include "params/binding.h"

#include "core/panels.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <vector>

BindingHooks bindingHooks;

namespace {

// ---- the panels' bound controls -------------------------------------------------
// clang-format off

struct ChannelPanel {
    int *panel;
    int power, triggerLevel, filterNone, filter[3], normOn, normOff, resetFirst;
    int wPower, wTriggerLevel, wFilter, wNorm, wReset;
};
const ChannelPanel kChannels[2] = {
    {&panelPOWER, POWER_POWER, POWER_TRIGGERLEVEL, POWER_FILTER_NONE,
     {POWER_FILTER_1, POWER_FILTER_2, POWER_FILTER_3}, POWER_NORM_ON, POWER_NORM_OFF, POWER_RESET_A_OVER,
     PW_CHA_POWER, PW_CHA_TRIGGERLEVEL, PW_CHA_FILTER, PW_CHA_NORM, PW_CHA_RESET},
    {&panelPOWER_B, POWER_B_POWER, POWER_B_TRIGGERLEVEL, POWER_B_FILTER_NONE,
     {POWER_B_FILTER_1, POWER_B_FILTER_2, POWER_B_FILTER_3}, POWER_B_NORM_ON, POWER_B_NORM_OFF,
     POWER_B_RESET_A_OVER, PW_CHB_POWER, PW_CHB_TRIGGERLEVEL, PW_CHB_FILTER, PW_CHB_NORM, PW_CHB_RESET},
};

struct TimerPanel {
    int *panel;
    int offTime, onTime, scaling, workMode, source, startFirst, stopFirst;
    unsigned int offered;
    int wOffTime, wOnTime, wScaling, wMode, wStart, wStop;
};
const TimerPanel kTimers[2] = {
    {&panelPOWER_TMR0, POWER_TMR0_OFFTIME, POWER_TMR0_ONTIME, POWER_TMR0_SCALING, POWER_TMR0_WORKMODE,
     POWER_TMR0_SOURCE, POWER_TMR0_START_A_OVER, POWER_TMR0_STOP_A_OVER, EVMASK_TMR0, PW_TMR0_OFFTIME,
     PW_TMR0_ONTIME, PW_TMR0_SCALING, PW_TMR0_MODE, PW_TMR0_START, PW_TMR0_STOP},
    {&panelPOWER_TMR1, POWER_TMR1_OFFTIME, POWER_TMR1_ONTIME, POWER_TMR1_SCALING, POWER_TMR1_WORKMODE,
     POWER_TMR1_SOURCE, POWER_TMR1_START_A_OVER, POWER_TMR1_STOP_A_OVER, EVMASK_TMR1, PW_TMR1_OFFTIME,
     PW_TMR1_ONTIME, PW_TMR1_SCALING, PW_TMR1_MODE, PW_TMR1_START, PW_TMR1_STOP},
};

// The recording panel's two channel groups.
struct RecordingGroup {
    int pretrigger, interval, intervalValue, triggerFirst;
    int wPretrigger, wInterval, wTrigger;
};
const RecordingGroup kRecording[2] = {
    {POWER_REC_A_PRETRIGGER, POWER_REC_A_INTERVAL, POWER_REC_A_INTERVAL_VALUE, POWER_REC_A_TRIG_A_OVER,
     PW_CHA_PRETRIGGER, PW_CHA_REC_INTERVAL, PW_CHA_REC_TRIGGER},
    {POWER_REC_B_PRETRIGGER, POWER_REC_B_INTERVAL, POWER_REC_B_INTERVAL_VALUE, POWER_REC_B_TRIG_A_OVER,
     PW_CHB_PRETRIGGER, PW_CHB_REC_INTERVAL, PW_CHB_REC_TRIGGER},
};
constexpr int kRecTriggerCount = 8; // edges 1 to 8: the channel and input events

struct EvaluationPanel {
    int *panel;
    int mode, averaging, reference, upperTol, lowerTol, combination, allConditions, edgeFirst, levelFirst;
};
const EvaluationPanel kEvaluations[EVAL_COUNT] = {
    {&panelSETTINGS, SETTINGS_MODE, SETTINGS_AVERAGING, SETTINGS_REFERENCE, SETTINGS_UPPER_TOL,
     SETTINGS_LOWER_TOL, SETTINGS_COMBINATION, SETTINGS_ALL_CONDITIONS, SETTINGS_EDGE_A_OVER,
     SETTINGS_LEVEL_A_OVER},
    {&panelSETTINGS_2, SETTINGS_2_MODE, SETTINGS_2_AVERAGING, SETTINGS_2_REFERENCE, SETTINGS_2_UPPER_TOL,
     SETTINGS_2_LOWER_TOL, SETTINGS_2_COMBINATION, SETTINGS_2_ALL_CONDITIONS, SETTINGS_2_EDGE_A_OVER,
     SETTINGS_2_LEVEL_A_OVER},
    {&panelSETTINGS_3, SETTINGS_3_MODE, SETTINGS_3_AVERAGING, SETTINGS_3_REFERENCE, SETTINGS_3_UPPER_TOL,
     SETTINGS_3_LOWER_TOL, SETTINGS_3_COMBINATION, SETTINGS_3_ALL_CONDITIONS, SETTINGS_3_EDGE_A_OVER,
     SETTINGS_3_LEVEL_A_OVER},
    {&panelSETTINGS_4, SETTINGS_4_MODE, SETTINGS_4_AVERAGING, SETTINGS_4_REFERENCE, SETTINGS_4_UPPER_TOL,
     SETTINGS_4_LOWER_TOL, SETTINGS_4_COMBINATION, SETTINGS_4_ALL_CONDITIONS, SETTINGS_4_EDGE_A_OVER,
     SETTINGS_4_LEVEL_A_OVER},
    {&panelSETTINGS_5, SETTINGS_5_MODE, SETTINGS_5_AVERAGING, SETTINGS_5_REFERENCE, SETTINGS_5_TOLERANCE, 0,
     SETTINGS_5_COMBINATION, SETTINGS_5_ALL_CONDITIONS, SETTINGS_5_EDGE_A_OVER, SETTINGS_5_LEVEL_A_OVER},
};

struct OutputPanel {
    int *panel;
    int onTime, offTime, combination, levelFirst, evalFirst;
};
const OutputPanel kOutputs[OUTPUT_COUNT] = {
    {&panelOUTPUT, OUTPUT_ON_TIME, OUTPUT_OFF_TIME, OUTPUT_COMBINATION, OUTPUT_LEVEL_A_OVER, OUTPUT_EVAL_E1_OVER},
    {&panelOUTPUT_1, OUTPUT_1_ON_TIME, OUTPUT_1_OFF_TIME, OUTPUT_1_COMBINATION, OUTPUT_1_LEVEL_A_OVER,
     OUTPUT_1_EVAL_E1_OVER},
    {&panelOUTPUT_2, OUTPUT_2_ON_TIME, OUTPUT_2_OFF_TIME, OUTPUT_2_COMBINATION, OUTPUT_2_LEVEL_A_OVER,
     OUTPUT_2_EVAL_E1_OVER},
};

// clang-format on

// Bits of a condition group the panels show, per group word.
constexpr unsigned short kEvalGroupShown[CG_WORDS] = {0x3333, 0x3300, 0, 0x0333, 0x3330, 0, 0x00FF};
constexpr unsigned short kNormBaseShown[CG_WORDS] = {0, 0, 0, 0x0333, 0x3330, 0, 0};

// ---- the binding table ------------------------------------------------------------

enum Kind : unsigned char {
    K_ZERO,        // panels -> record: the word starts clear (mask, group, packed word)
    K_WORD,        // the control's value is the word
    K_BIT,         // a box or button sets or clears one bit
    K_NOT_BIT,     // shown as the inverse of one bit; not read (normalisation off)
    K_CLEARS,      // set: the word reads 0; shown set when the word is 0 (no filter)
    K_PART,        // a byte of a packed word: value << shift, within mask
    K_COMBINATION, // combination ring: the whole word; shown from the low byte
    K_FIXED,       // 16.16 value in this word and the next, shown with FIXED_DECIMALS places
    K_PER_SCANRATE // interval display: word / scan rate; not read
};

struct Binding {
    int *panel; // panel handle global; null for K_ZERO
    short control;
    unsigned char word;
    Kind kind;
    unsigned char shift; // K_BIT, K_NOT_BIT: bit number; K_PART: shift
    unsigned short mask; // K_PART: the field's bits
};

class TableBuilder {
  public:
    std::vector<Binding> rows;

    void zero(int word) { rows.push_back({nullptr, 0, u8(word), K_ZERO, 0, 0}); }
    void add(int *panel, int control, int word, Kind kind, int shift = 0, unsigned short mask = 0) {
        rows.push_back({panel, static_cast<short>(control), u8(word), kind, u8(shift), mask});
    }
    // Event mask: boxes firstId + edge index, for the offered events.
    void eventMask(int *panel, int firstId, int word, unsigned int offered) {
        zero(word);
        zero(word + 1);
        for (int i = 0; i < EDGE_COUNT; ++i) {
            const int bitE = kEdgeConditions[i].bit;
            if (offered & (1u << bitE))
                add(panel, firstId + i, word + EventWord(bitE), K_BIT, EventWordBit(bitE));
        }
    }
    // Condition group; an id of 0 leaves that part out (its words stay 0).
    void group(int *panel, int word, int edgeFirst, int levelFirst, int evalFirst, int combination) {
        for (int g = 0; g < CG_WORDS; ++g)
            zero(word + g);
        if (edgeFirst) {
            for (int i = 0; i < EDGE_COUNT; ++i) {
                const int bitE = kEdgeConditions[i].bit;
                add(panel, edgeFirst + i, word + CG_EDGE + EventWord(bitE), K_BIT, EventWordBit(bitE));
            }
        }
        for (int i = 0; i < LEVEL_COUNT; ++i)
            add(panel, levelFirst + i, word + kLevelConditions[i].word, K_BIT, kLevelConditions[i].bit);
        if (evalFirst) {
            for (int i = 0; i < EVAL_CONDITION_COUNT; ++i)
                add(panel, evalFirst + i, word + kEvalConditions[i].word, K_BIT, kEvalConditions[i].bit);
        }
        if (combination) add(panel, combination, word + CG_COMBINATION, K_COMBINATION);
    }

  private:
    static unsigned char u8(int v) { return static_cast<unsigned char>(v); }
};

std::vector<Binding> buildTable() {
    TableBuilder t;
    for (const ChannelPanel &c : kChannels) {
        t.add(c.panel, c.power, c.wPower, K_WORD);
        t.add(c.panel, c.triggerLevel, c.wTriggerLevel, K_WORD);
        t.zero(c.wFilter);
        for (int i = 0; i < 3; ++i)
            t.add(c.panel, c.filter[i], c.wFilter, K_BIT, i);
        t.add(c.panel, c.filterNone, c.wFilter, K_CLEARS); // after the filter bits: it overrides them
        t.zero(c.wNorm);
        t.add(c.panel, c.normOn, c.wNorm, K_BIT, 0);
        t.add(c.panel, c.normOff, c.wNorm, K_NOT_BIT, 0);
        t.eventMask(c.panel, c.resetFirst, c.wReset, EVMASK_ALL);
    }
    for (const RecordingGroup &r : kRecording) {
        t.add(&panelPOWER_REC, r.pretrigger, r.wPretrigger, K_WORD);
        t.add(&panelPOWER_REC, r.intervalValue, r.wInterval, K_WORD);
        t.add(&panelPOWER_REC, r.interval, r.wInterval, K_PER_SCANRATE);
        t.eventMask(&panelPOWER_REC, r.triggerFirst, r.wTrigger, EVMASK_REC_TRIGGER);
    }
    for (const TimerPanel &m : kTimers) {
        t.add(m.panel, m.offTime, m.wOffTime, K_WORD);
        t.add(m.panel, m.onTime, m.wOnTime, K_WORD);
        t.add(m.panel, m.scaling, m.wScaling, K_WORD);
        t.zero(m.wMode);
        t.add(m.panel, m.workMode, m.wMode, K_PART, 0, 0x00FF);
        t.add(m.panel, m.source, m.wMode, K_PART, 0, 0xFF00); // ring values are multiples of 256
        t.eventMask(m.panel, m.startFirst, m.wStart, m.offered);
        t.eventMask(m.panel, m.stopFirst, m.wStop, m.offered);
    }
    int *gen = &panelPOWER_GEN;
    t.add(gen, POWER_GEN_SCAN_RATE, PW_SCANRATE, K_WORD);
    t.add(gen, POWER_GEN_NORM_TIMECONSTANT, PW_NORM_TIMECONSTANT, K_WORD);
    t.zero(PW_IN1_TEACH);
    t.add(gen, POWER_GEN_IN1_USAGE, PW_IN1_TEACH, K_PART, 8, 0xFF00);
    t.add(gen, POWER_GEN_TEACH_TARGET, PW_IN1_TEACH, K_PART, 0, 0x00FF);
    t.zero(PW_POTI);
    t.add(gen, POWER_GEN_POTI_USAGE, PW_POTI, K_PART, 0, 0x00FF);
    t.zero(PW_BUTTON);
    t.add(gen, POWER_GEN_BUTTON_USAGE, PW_BUTTON, K_PART, 0, 0x00FF);
    t.group(gen, PW_NORMBASE_GROUP, 0, POWER_GEN_NORMBASE_A_OVER, 0, 0);

    for (int e = 0; e < EVAL_COUNT; ++e) {
        const EvaluationPanel &p = kEvaluations[e];
        t.add(p.panel, p.mode, PW_EVAL_MODE[e], K_WORD);
        t.add(p.panel, p.averaging, PW_EVAL_AVERAGING[e], K_WORD);
        t.add(p.panel, p.reference, PW_EVAL_REFERENCE[e], K_FIXED);
        t.add(p.panel, p.upperTol, PW_EVAL_UPPER_TOL[e], K_FIXED);
        if (p.lowerTol) t.add(p.panel, p.lowerTol, PW_EVAL_LOWER_TOL[e], K_FIXED);
        t.group(p.panel, PW_EVAL_GROUP[e], p.edgeFirst, p.levelFirst, 0, p.combination);
    }
    for (int o = 0; o < OUTPUT_COUNT; ++o) {
        const OutputPanel &p = kOutputs[o];
        t.zero(PW_OUT_TIMING[o]);
        t.add(p.panel, p.onTime, PW_OUT_TIMING[o], K_PART, 0, 0x00FF);
        t.add(p.panel, p.offTime, PW_OUT_TIMING[o], K_PART, 8, 0xFF00);
        t.group(p.panel, PW_OUT_GROUP[o], 0, p.levelFirst, p.evalFirst, p.combination);
    }
    t.add(&panelOUTPUT_ANA, OUTPUT_ANA_SOURCE, PW_ANA_SOURCE, K_WORD);
    t.add(&panelOUTPUT_ANA, OUTPUT_ANA_MIN, PW_ANA_MIN, K_WORD);
    t.add(&panelOUTPUT_ANA, OUTPUT_ANA_MAX, PW_ANA_MAX, K_WORD);
    t.add(&panelInterf, INTERF_BAUD, PW_BAUD, K_WORD);
    return t.rows;
}

const std::vector<Binding> &table() {
    static const std::vector<Binding> rows = buildTable();
    return rows;
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
    for (const Binding &b : table()) {
        unsigned short &w = rec[b.word];
        int v = 0;
        switch (b.kind) {
        case K_ZERO:
            w = 0;
            break;
        case K_WORD:
        case K_COMBINATION:
            if (GetCtrlVal(*b.panel, b.control, &v) >= 0) w = static_cast<unsigned short>(v);
            break;
        case K_BIT:
            if (GetCtrlVal(*b.panel, b.control, &v) < 0) break;
            if (v)
                w = static_cast<unsigned short>(w | (1u << b.shift));
            else
                w = static_cast<unsigned short>(w & ~(1u << b.shift));
            break;
        case K_CLEARS:
            if (GetCtrlVal(*b.panel, b.control, &v) >= 0 && v) w = 0;
            break;
        case K_PART:
            if (GetCtrlVal(*b.panel, b.control, &v) >= 0)
                w = static_cast<unsigned short>(w | ((static_cast<unsigned int>(v) << b.shift) & b.mask));
            break;
        case K_FIXED: {
            double d = 0.0;
            if (GetCtrlVal(*b.panel, b.control, &d) >= 0) SetField32(rec, b.word, FixedFromShownValue(d));
            break;
        }
        case K_NOT_BIT:
        case K_PER_SCANRATE:
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
    for (const Binding &b : table()) {
        const unsigned int w = rec[b.word];
        switch (b.kind) {
        case K_ZERO:
            break;
        case K_WORD:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(w));
            break;
        case K_BIT:
            SetCtrlVal(*b.panel, b.control, static_cast<int>((w >> b.shift) & 1u));
            break;
        case K_NOT_BIT:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(((w >> b.shift) & 1u) ^ 1u));
            break;
        case K_CLEARS:
            SetCtrlVal(*b.panel, b.control, w == 0 ? 1 : 0);
            break;
        case K_PART:
            SetCtrlVal(*b.panel, b.control, static_cast<int>((w & b.mask) >> b.shift));
            break;
        case K_COMBINATION:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(w & 0xFFu));
            break;
        case K_FIXED:
            SetCtrlVal(*b.panel, b.control, ValueFromFixed(GetField32(rec, b.word)));
            break;
        case K_PER_SCANRATE:
            SetCtrlVal(*b.panel, b.control, static_cast<int>(w / rate));
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
    for (const Binding &b : table()) {
        if (b.word != word) continue;
        const bool whole = part == 0xFFFF && (b.kind == K_WORD || b.kind == K_FIXED);
        const bool byte = b.kind == K_PART && b.mask == part;
        if ((whole || byte) && GetCtrlAttribute(*b.panel, b.control, ATTR_MIN_VALUE, &range->min) >= 0 &&
            GetCtrlAttribute(*b.panel, b.control, ATTR_MAX_VALUE, &range->max) >= 0) {
            range->bits = 0;
            return true;
        }
        if (b.kind == K_BIT && part == 0xFFFF) bits |= 1u << b.shift;
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
