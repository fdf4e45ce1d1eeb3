// The controller's parameter record: 192 unsigned 16-bit words, carried as
// 12 sets of 16 words. This header names the words of every field, the bits
// of the event masks and condition groups with their condition texts, and
// the conversions the panels, the parameter file and the graphs share.
// Plain data and arithmetic only: no panels, no Qt.
#pragma once

constexpr int PARAM_WORDS = 192;
constexpr int PARAM_SETS = 12;
constexpr int PARAM_SET_WORDS = 16;

// The working record and the one the settings file restores the panels
// through. Both start all zero.
extern unsigned short param[PARAM_WORDS];
extern unsigned short param_alt[PARAM_WORDS];

// ---- field layout (word numbers) --------------------------------------------
// Set-number slots: word 16 * n holds n + 1 in a record read from the controller.
constexpr int PW_SET_SLOT(int set) {
    return set * PARAM_SET_WORDS;
}

// Channel A
constexpr int PW_CHA_POWER = 1;
constexpr int PW_CHA_RESET = 2;       // event mask, words 2-3
constexpr int PW_CHA_REC_TRIGGER = 4; // event mask, words 4-5
constexpr int PW_CHA_TRIGGERLEVEL = 10;
constexpr int PW_CHA_NORM = 11;   // bit 0: normalisation on
constexpr int PW_CHA_FILTER = 12; // 0 none, else bits 0..2 = filters 1..3
constexpr int PW_CHA_PRETRIGGER = 13;
constexpr int PW_CHA_REC_INTERVAL = 14; // interval factor x scan rate
// Timer 0 events
constexpr int PW_TMR0_START = 6; // event mask, words 6-7
constexpr int PW_TMR0_STOP = 8;  // event mask, words 8-9
// Channel B
constexpr int PW_CHB_POWER = 17;
constexpr int PW_CHB_RESET = 18;
constexpr int PW_CHB_REC_TRIGGER = 20;
constexpr int PW_CHB_TRIGGERLEVEL = 26;
constexpr int PW_CHB_NORM = 27;
constexpr int PW_CHB_FILTER = 28;
constexpr int PW_CHB_PRETRIGGER = 29;
constexpr int PW_CHB_REC_INTERVAL = 30;
// Timer 1 events
constexpr int PW_TMR1_START = 22;
constexpr int PW_TMR1_STOP = 24;
// Timer 0
constexpr int PW_TMR0_OFFTIME = 38;
constexpr int PW_TMR0_ONTIME = 39;
constexpr int PW_TMR0_SCALING = 40;
constexpr int PW_TMR0_MODE = 41; // low byte working mode, high byte timing source
// Analog output limits
constexpr int PW_ANA_MIN = 45;
constexpr int PW_ANA_MAX = 46;
// Timer 1
constexpr int PW_TMR1_OFFTIME = 54;
constexpr int PW_TMR1_ONTIME = 55;
constexpr int PW_TMR1_SCALING = 56;
constexpr int PW_TMR1_MODE = 57;
// Fixed words written on every read of the panels
constexpr int PW_MARKER = 61;
constexpr unsigned short PW_MARKER_VALUE = 1;
constexpr int PW_FIXED_75 = 75;
constexpr unsigned short PW_FIXED_75_VALUE = 0x0203;
constexpr int PW_FIXED_77 = 77;
constexpr unsigned short PW_FIXED_77_VALUE = 0x0202;
// General
constexpr int PW_NORM_TIMECONSTANT = 62;
constexpr int PW_OUT_TIMING_0 = 70; // outputs 0..2: words 70..72, low byte on-time, high byte off-time
constexpr int PW_ANA_SOURCE = 73;
constexpr int PW_SCANRATE = 74;
constexpr int PW_IN1_TEACH = 78; // high byte IN1 usage, low byte teach target
constexpr int PW_BAUD = 79;
constexpr int PW_POTI = 81;   // low byte; high byte 0
constexpr int PW_BUTTON = 97; // low byte; high byte 0
// Normalisation-base reset condition group, words 113-119
constexpr int PW_NORMBASE_GROUP = 113;

// Evaluations 1..5 (index 0..4). Tolerance words are 32-bit 16.16 fields.
constexpr int EVAL_COUNT = 5;
constexpr int PW_EVAL_MODE[EVAL_COUNT] = {65, 66, 67, 68, 69};
constexpr int PW_EVAL_REFERENCE[EVAL_COUNT] = {82, 84, 86, 88, 90};
// Evaluation 5 has one tolerance only (words 110-111), listed as its upper one.
constexpr int PW_EVAL_UPPER_TOL[EVAL_COUNT] = {92, 98, 102, 106, 110};
constexpr int PW_EVAL_LOWER_TOL[EVAL_COUNT] = {94, 100, 104, 108, -1};
constexpr int PW_EVAL_GROUP[EVAL_COUNT] = {120, 129, 136, 145, 152};
constexpr int PW_EVAL_AVERAGING[EVAL_COUNT] = {127, 143, 159, 175, 191};

// Switching outputs 0..2
constexpr int OUTPUT_COUNT = 3;
constexpr int PW_OUT_TIMING[OUTPUT_COUNT] = {70, 71, 72};
constexpr int PW_OUT_GROUP[OUTPUT_COUNT] = {161, 168, 177};

// ---- event masks ----------------------------------------------------------
// Two words, low word first: E = high word x 65536 + low word.
struct EventCondition {
    int bit; // bit of E
    const char *text;
};
constexpr int EDGE_COUNT = 12;
// The twelve events in parameter-file key order (edge keys 1..12).
extern const EventCondition kEdgeConditions[EDGE_COUNT];

// Which events a mask offers, as bits of E.
constexpr unsigned int EVMASK_ALL = 0x33003333u;         // channel reset: all twelve
constexpr unsigned int EVMASK_REC_TRIGGER = 0x33003300u; // channel and input events
constexpr unsigned int EVMASK_TMR0 = 0x33003303u;        // all but the TMR0 events
constexpr unsigned int EVMASK_TMR1 = 0x33003330u;        // all but the TMR1 events

// Word (0 low, 1 high) and bit within that word of an E bit.
constexpr int EventWord(int bitE) {
    return bitE / 16;
}
constexpr int EventWordBit(int bitE) {
    return bitE % 16;
}

// ---- condition groups -----------------------------------------------------
// Seven words g0..g6: edge mask (g0-g1), level mask L (g2-g3), level mask T
// (g4-g5), combination word g6.
constexpr int CG_WORDS = 7;
constexpr int CG_EDGE = 0;
constexpr int CG_L = 2;
constexpr int CG_T = 4;
constexpr int CG_COMBINATION = 6;
constexpr unsigned short COMB_AND = 0x0010;    // "Logical AND (instead of OR)"
constexpr unsigned short COMB_NEGATE = 0x0001; // "Negate"
extern const char *const kCombinationAndText;
extern const char *const kCombinationNegateText;

struct GroupCondition {
    int word; // g index 0..6
    int bit;  // bit within that word
    const char *text;
};
constexpr int LEVEL_COUNT = 12;
constexpr int EVAL_CONDITION_COUNT = 6;
// Level conditions in parameter-file key order (level keys 1..12).
extern const GroupCondition kLevelConditions[LEVEL_COUNT];
// Evaluation conditions (evaluation keys 1..6).
extern const GroupCondition kEvalConditions[EVAL_CONDITION_COUNT];

// A condition group is contradictory when one source has all of its
// alternatives selected (both levels of an input, timer or channel, all three
// tolerance states of an evaluation, ...). Returns 1 or 0.
int ConditionGroupContradictory(const unsigned short group[CG_WORDS]);

// ---- words, bytes and 32-bit fields ----------------------------------------
constexpr unsigned int LowByte(unsigned short w) {
    return w & 0xFFu;
}
constexpr unsigned int HighByte(unsigned short w) {
    return (w >> 8) & 0xFFu;
}
constexpr unsigned short BytePair(unsigned int high, unsigned int low) {
    return static_cast<unsigned short>(((high & 0xFFu) << 8) | (low & 0xFFu));
}

// 32-bit fields are held low word first.
inline unsigned int GetField32(const unsigned short *rec, int word) {
    return static_cast<unsigned int>(rec[word]) | (static_cast<unsigned int>(rec[word + 1]) << 16);
}
inline void SetField32(unsigned short *rec, int word, unsigned int value) {
    rec[word] = static_cast<unsigned short>(value & 0xFFFFu);
    rec[word + 1] = static_cast<unsigned short>(value >> 16);
}

// ---- 16.16 fixed point ----------------------------------------------------------
// Value to field: v x 65536 in double precision, truncated toward zero.
// Negative results are two's complement; results from 2^31 up are stored as
// unsigned values. Results beyond the 32-bit range saturate (0x80000000 below,
// 0xFFFFFFFF above); NaN gives 0.
unsigned int FixedFromValue(double value);
// Field to value: the field as a signed 32-bit number / 65536, exact.
double ValueFromFixed(unsigned int field);
// Decimal places a panel shows a 16.16 value with. Fields lie 1/65536
// (0.0000153) apart, so at five places every field shows as a value of its
// own and the shown value names the field again.
constexpr int FIXED_DECIMALS = 5;
// A value read from a panel that shows FIXED_DECIMALS places: a value that
// is some field rounded to those places reads back as exactly that field;
// any other value (typed by the operator) as FixedFromValue.
unsigned int FixedFromShownValue(double value);
// The integer part the scope graphs use (signed field shifted right by 16).
int FixedIntegerPart(unsigned int field);
