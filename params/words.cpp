#include "params/words.h"

#include "core/panels.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

namespace {

using F = FileHolds;
using P = PanelHolds;

constexpr unsigned char u8(int v) { return static_cast<unsigned char>(v); }

// A field the file names and one control shows.
constexpr ParamWord field(const char *section, const char *key, F file, int word, int *handle, int control,
                          P panel = P::Word, int shift = 0, unsigned short mask = 0xFFFF) {
    return {section, key, file, panel, u8(word), u8(shift), mask, handle, static_cast<short>(control), 0, 0, 0};
}
// A further control of the field before it, or a field only the panels show.
constexpr ParamWord also(int word, int *handle, int control, P panel, int shift = 0, unsigned short mask = 0xFFFF) {
    return field(nullptr, nullptr, F::None, word, handle, control, panel, shift, mask);
}
// A byte of a packed word.
constexpr ParamWord part(const char *section, const char *key, F file, int word, int *handle, int control,
                         int shift, unsigned short mask) {
    return field(section, key, file, word, handle, control, P::Part, shift, mask);
}
constexpr ParamWord events(const char *section, int word, unsigned int offered, int *handle, int firstBox) {
    return {section, nullptr, F::Events, P::EventBoxes, u8(word), 0, 0xFFFF, handle,
            static_cast<short>(firstBox), 0, 0, offered};
}
constexpr ParamWord group(const char *section, F file, int word, int *handle, int edgeBoxes, int levelBoxes,
                          int evalBoxes) {
    return {section, nullptr, file, P::GroupBoxes, u8(word), 0, 0xFFFF, handle, static_cast<short>(edgeBoxes),
            static_cast<short>(levelBoxes), static_cast<short>(evalBoxes), 0};
}
constexpr ParamWord combination(const char *section, int groupWord, int *handle, int control) {
    return {section, nullptr, section ? F::Combination : F::None, P::Combination, u8(groupWord + CG_COMBINATION), 0,
            0xFFFF, handle, static_cast<short>(control), 0, 0, 0};
}

} // namespace

// clang-format off
const ParamWord kParamWords[] = {
    field("CHANNEL A", "Power", F::Uint, PW_CHA_POWER, &panelPOWER, POWER_POWER),
    field("CHANNEL A", "Triggerlevel", F::Uint, PW_CHA_TRIGGERLEVEL, &panelPOWER, POWER_TRIGGERLEVEL),
    field("CHANNEL A", "Pretrigger", F::Uint, PW_CHA_PRETRIGGER, &panelPOWER_REC, POWER_REC_A_PRETRIGGER),
    field("CHANNEL A", "Filtermode", F::Uint, PW_CHA_FILTER, &panelPOWER, POWER_FILTER_1, P::Bit, 0),
    also(PW_CHA_FILTER, &panelPOWER, POWER_FILTER_2, P::Bit, 1),
    also(PW_CHA_FILTER, &panelPOWER, POWER_FILTER_3, P::Bit, 2),
    also(PW_CHA_FILTER, &panelPOWER, POWER_FILTER_NONE, P::Clears), // after the filter bits: it overrides them
    field("CHANNEL A", "Normalisation", F::Flag, PW_CHA_NORM, &panelPOWER, POWER_NORM_ON, P::Bit, 0, 0x0001),
    also(PW_CHA_NORM, &panelPOWER, POWER_NORM_OFF, P::NotBit, 0, 0x0001),
    field("CHANNEL A", "Recording Interval", F::Uint, PW_CHA_REC_INTERVAL, &panelPOWER_REC, POWER_REC_A_INTERVAL_VALUE),
    also(PW_CHA_REC_INTERVAL, &panelPOWER_REC, POWER_REC_A_INTERVAL, P::PerScanRate),
    events("RESET CHANNEL A", PW_CHA_RESET, EVMASK_ALL, &panelPOWER, POWER_RESET_A_OVER),
    events("RECORD CHANNEL A", PW_CHA_REC_TRIGGER, EVMASK_REC_TRIGGER, &panelPOWER_REC, POWER_REC_A_TRIG_A_OVER),

    field("CHANNEL B", "Power", F::Uint, PW_CHB_POWER, &panelPOWER_B, POWER_B_POWER),
    field("CHANNEL B", "Triggerlevel", F::Uint, PW_CHB_TRIGGERLEVEL, &panelPOWER_B, POWER_B_TRIGGERLEVEL),
    field("CHANNEL B", "Pretrigger", F::Uint, PW_CHB_PRETRIGGER, &panelPOWER_REC, POWER_REC_B_PRETRIGGER),
    field("CHANNEL B", "Filtermode", F::Uint, PW_CHB_FILTER, &panelPOWER_B, POWER_B_FILTER_1, P::Bit, 0),
    also(PW_CHB_FILTER, &panelPOWER_B, POWER_B_FILTER_2, P::Bit, 1),
    also(PW_CHB_FILTER, &panelPOWER_B, POWER_B_FILTER_3, P::Bit, 2),
    also(PW_CHB_FILTER, &panelPOWER_B, POWER_B_FILTER_NONE, P::Clears),
    field("CHANNEL B", "Normalisation", F::Flag, PW_CHB_NORM, &panelPOWER_B, POWER_B_NORM_ON, P::Bit, 0, 0x0001),
    also(PW_CHB_NORM, &panelPOWER_B, POWER_B_NORM_OFF, P::NotBit, 0, 0x0001),
    field("CHANNEL B", "Recording Interval", F::Uint, PW_CHB_REC_INTERVAL, &panelPOWER_REC, POWER_REC_B_INTERVAL_VALUE),
    also(PW_CHB_REC_INTERVAL, &panelPOWER_REC, POWER_REC_B_INTERVAL, P::PerScanRate),
    events("RESET CHANNEL B", PW_CHB_RESET, EVMASK_ALL, &panelPOWER_B, POWER_B_RESET_A_OVER),
    events("RECORD CHANNEL B", PW_CHB_REC_TRIGGER, EVMASK_REC_TRIGGER, &panelPOWER_REC, POWER_REC_B_TRIG_A_OVER),

    // The working mode's item value replaces the whole word; the timing
    // source's items are multiples of 256 and fill the high byte.
    part("TIMER 0", "Working Mode", F::LabelLeads, PW_TMR0_MODE, &panelPOWER_TMR0, POWER_TMR0_WORKMODE, 0, 0x00FF),
    part("TIMER 0", "Timing Source", F::Label, PW_TMR0_MODE, &panelPOWER_TMR0, POWER_TMR0_SOURCE, 0, 0xFF00),
    field("TIMER 0", "Preset Off-time", F::Uint, PW_TMR0_OFFTIME, &panelPOWER_TMR0, POWER_TMR0_OFFTIME),
    field("TIMER 0", "Preset On-time", F::Uint, PW_TMR0_ONTIME, &panelPOWER_TMR0, POWER_TMR0_ONTIME),
    field("TIMER 0", "Time scaling factor", F::Uint, PW_TMR0_SCALING, &panelPOWER_TMR0, POWER_TMR0_SCALING),
    // A timer's start and stop masks do not offer its own edges.
    events("START TIMER 0", PW_TMR0_START, EVMASK_TMR0, &panelPOWER_TMR0, POWER_TMR0_START_A_OVER),
    events("STOPP TIMER 0", PW_TMR0_STOP, EVMASK_TMR0, &panelPOWER_TMR0, POWER_TMR0_STOP_A_OVER),

    part("TIMER 1", "Working Mode", F::LabelLeads, PW_TMR1_MODE, &panelPOWER_TMR1, POWER_TMR1_WORKMODE, 0, 0x00FF),
    part("TIMER 1", "Timing Source", F::Label, PW_TMR1_MODE, &panelPOWER_TMR1, POWER_TMR1_SOURCE, 0, 0xFF00),
    field("TIMER 1", "Preset Off-time", F::Uint, PW_TMR1_OFFTIME, &panelPOWER_TMR1, POWER_TMR1_OFFTIME),
    field("TIMER 1", "Preset On-time", F::Uint, PW_TMR1_ONTIME, &panelPOWER_TMR1, POWER_TMR1_ONTIME),
    field("TIMER 1", "Time scaling factor", F::Uint, PW_TMR1_SCALING, &panelPOWER_TMR1, POWER_TMR1_SCALING),
    events("START TIMER 1", PW_TMR1_START, EVMASK_TMR1, &panelPOWER_TMR1, POWER_TMR1_START_A_OVER),
    events("STOPP TIMER 1", PW_TMR1_STOP, EVMASK_TMR1, &panelPOWER_TMR1, POWER_TMR1_STOP_A_OVER),

    field("NORMALISATION", "Timeconstant", F::Uint, PW_NORM_TIMECONSTANT, &panelPOWER_GEN, POWER_GEN_NORM_TIMECONSTANT),
    group("RESET NORM BASE", F::Levels, PW_NORMBASE_GROUP, &panelPOWER_GEN, 0, POWER_GEN_NORMBASE_A_OVER, 0),

    field("EVALUATION 1", "Mode", F::Label, PW_EVAL_MODE[0], &panelSETTINGS, SETTINGS_MODE),
    field("EVALUATION 1", "Averaging", F::Label, PW_EVAL_AVERAGING[0], &panelSETTINGS, SETTINGS_AVERAGING),
    field("EVALUATION 1", "Reference value", F::Real, PW_EVAL_REFERENCE[0], &panelSETTINGS, SETTINGS_REFERENCE, P::Fixed),
    field("EVALUATION 1", "Upper tolerance", F::Real, PW_EVAL_UPPER_TOL[0], &panelSETTINGS, SETTINGS_UPPER_TOL, P::Fixed),
    field("EVALUATION 1", "Lower tolerance", F::Real, PW_EVAL_LOWER_TOL[0], &panelSETTINGS, SETTINGS_LOWER_TOL, P::Fixed),
    group("EVALUATION 1 CONDITION", F::EvalGroup, PW_EVAL_GROUP[0], &panelSETTINGS, SETTINGS_EDGE_A_OVER, SETTINGS_LEVEL_A_OVER, 0),
    combination("EVALUATION 1 COMBINATION", PW_EVAL_GROUP[0], &panelSETTINGS, SETTINGS_COMBINATION),

    field("EVALUATION 2", "Mode", F::Label, PW_EVAL_MODE[1], &panelSETTINGS_2, SETTINGS_2_MODE),
    field("EVALUATION 2", "Averaging", F::Label, PW_EVAL_AVERAGING[1], &panelSETTINGS_2, SETTINGS_2_AVERAGING),
    field("EVALUATION 2", "Reference value", F::Real, PW_EVAL_REFERENCE[1], &panelSETTINGS_2, SETTINGS_2_REFERENCE, P::Fixed),
    field("EVALUATION 2", "Upper tolerance", F::Real, PW_EVAL_UPPER_TOL[1], &panelSETTINGS_2, SETTINGS_2_UPPER_TOL, P::Fixed),
    field("EVALUATION 2", "Lower tolerance", F::Real, PW_EVAL_LOWER_TOL[1], &panelSETTINGS_2, SETTINGS_2_LOWER_TOL, P::Fixed),
    group("EVALUATION 2 CONDITION", F::EvalGroup, PW_EVAL_GROUP[1], &panelSETTINGS_2, SETTINGS_2_EDGE_A_OVER, SETTINGS_2_LEVEL_A_OVER, 0),
    combination("EVALUATION 2 COMBINATION", PW_EVAL_GROUP[1], &panelSETTINGS_2, SETTINGS_2_COMBINATION),

    // Evaluations 3 to 5 live on the panels and in the record only; the
    // parameter file carries the first two.
    also(PW_EVAL_MODE[2], &panelSETTINGS_3, SETTINGS_3_MODE, P::Word),
    also(PW_EVAL_AVERAGING[2], &panelSETTINGS_3, SETTINGS_3_AVERAGING, P::Word),
    also(PW_EVAL_REFERENCE[2], &panelSETTINGS_3, SETTINGS_3_REFERENCE, P::Fixed),
    also(PW_EVAL_UPPER_TOL[2], &panelSETTINGS_3, SETTINGS_3_UPPER_TOL, P::Fixed),
    also(PW_EVAL_LOWER_TOL[2], &panelSETTINGS_3, SETTINGS_3_LOWER_TOL, P::Fixed),
    group(nullptr, F::None, PW_EVAL_GROUP[2], &panelSETTINGS_3, SETTINGS_3_EDGE_A_OVER, SETTINGS_3_LEVEL_A_OVER, 0),
    combination(nullptr, PW_EVAL_GROUP[2], &panelSETTINGS_3, SETTINGS_3_COMBINATION),
    also(PW_EVAL_MODE[3], &panelSETTINGS_4, SETTINGS_4_MODE, P::Word),
    also(PW_EVAL_AVERAGING[3], &panelSETTINGS_4, SETTINGS_4_AVERAGING, P::Word),
    also(PW_EVAL_REFERENCE[3], &panelSETTINGS_4, SETTINGS_4_REFERENCE, P::Fixed),
    also(PW_EVAL_UPPER_TOL[3], &panelSETTINGS_4, SETTINGS_4_UPPER_TOL, P::Fixed),
    also(PW_EVAL_LOWER_TOL[3], &panelSETTINGS_4, SETTINGS_4_LOWER_TOL, P::Fixed),
    group(nullptr, F::None, PW_EVAL_GROUP[3], &panelSETTINGS_4, SETTINGS_4_EDGE_A_OVER, SETTINGS_4_LEVEL_A_OVER, 0),
    combination(nullptr, PW_EVAL_GROUP[3], &panelSETTINGS_4, SETTINGS_4_COMBINATION),
    // Evaluation 5 has one tolerance, held in the upper tolerance's words.
    also(PW_EVAL_MODE[4], &panelSETTINGS_5, SETTINGS_5_MODE, P::Word),
    also(PW_EVAL_AVERAGING[4], &panelSETTINGS_5, SETTINGS_5_AVERAGING, P::Word),
    also(PW_EVAL_REFERENCE[4], &panelSETTINGS_5, SETTINGS_5_REFERENCE, P::Fixed),
    also(PW_EVAL_UPPER_TOL[4], &panelSETTINGS_5, SETTINGS_5_TOLERANCE, P::Fixed),
    group(nullptr, F::None, PW_EVAL_GROUP[4], &panelSETTINGS_5, SETTINGS_5_EDGE_A_OVER, SETTINGS_5_LEVEL_A_OVER, 0),
    combination(nullptr, PW_EVAL_GROUP[4], &panelSETTINGS_5, SETTINGS_5_COMBINATION),

    part("OUTPUT 0", "Minimum ON-time", F::Byte, PW_OUT_TIMING[0], &panelOUTPUT, OUTPUT_ON_TIME, 0, 0x00FF),
    part("OUTPUT 0", "Minimum OFF-time", F::Byte, PW_OUT_TIMING[0], &panelOUTPUT, OUTPUT_OFF_TIME, 8, 0xFF00),
    group("OUTPUT 0 SET CONDITION", F::LevelsEvals, PW_OUT_GROUP[0], &panelOUTPUT, 0, OUTPUT_LEVEL_A_OVER, OUTPUT_EVAL_E1_OVER),
    combination("OUTPUT 0 SET COMBINATION", PW_OUT_GROUP[0], &panelOUTPUT, OUTPUT_COMBINATION),
    part("OUTPUT 1", "Minimum ON-time", F::Byte, PW_OUT_TIMING[1], &panelOUTPUT_1, OUTPUT_1_ON_TIME, 0, 0x00FF),
    part("OUTPUT 1", "Minimum OFF-time", F::Byte, PW_OUT_TIMING[1], &panelOUTPUT_1, OUTPUT_1_OFF_TIME, 8, 0xFF00),
    group("OUTPUT 1 SET CONDITION", F::LevelsEvals, PW_OUT_GROUP[1], &panelOUTPUT_1, 0, OUTPUT_1_LEVEL_A_OVER, OUTPUT_1_EVAL_E1_OVER),
    combination("OUTPUT 1 SET COMBINATION", PW_OUT_GROUP[1], &panelOUTPUT_1, OUTPUT_1_COMBINATION),
    part("OUTPUT 2", "Minimum ON-time", F::Byte, PW_OUT_TIMING[2], &panelOUTPUT_2, OUTPUT_2_ON_TIME, 0, 0x00FF),
    part("OUTPUT 2", "Minimum OFF-time", F::Byte, PW_OUT_TIMING[2], &panelOUTPUT_2, OUTPUT_2_OFF_TIME, 8, 0xFF00),
    group("OUTPUT 2 SET CONDITION", F::LevelsEvals, PW_OUT_GROUP[2], &panelOUTPUT_2, 0, OUTPUT_2_LEVEL_A_OVER, OUTPUT_2_EVAL_E1_OVER),
    combination("OUTPUT 2 SET COMBINATION", PW_OUT_GROUP[2], &panelOUTPUT_2, OUTPUT_2_COMBINATION),

    field("ANALOG OUT", "Analog output source", F::Label, PW_ANA_SOURCE, &panelOUTPUT_ANA, OUTPUT_ANA_SOURCE),
    field("ANALOG OUT", "Analog output min. value", F::Int, PW_ANA_MIN, &panelOUTPUT_ANA, OUTPUT_ANA_MIN),
    field("ANALOG OUT", "Analog output max. value", F::Int, PW_ANA_MAX, &panelOUTPUT_ANA, OUTPUT_ANA_MAX),

    part("SPECIAL FUNCTION", "Input IN1 usage", F::LabelRebuilt, PW_IN1_TEACH, &panelPOWER_GEN, POWER_GEN_IN1_USAGE, 8, 0xFF00),
    part("SPECIAL FUNCTION", "Teach target", F::LabelRebuilt, PW_IN1_TEACH, &panelPOWER_GEN, POWER_GEN_TEACH_TARGET, 0, 0x00FF),
    part("SPECIAL FUNCTION", "Usage of Poti", F::LabelRebuilt, PW_POTI, &panelPOWER_GEN, POWER_GEN_POTI_USAGE, 0, 0x00FF),
    part("SPECIAL FUNCTION", "Usage of Button", F::LabelRebuilt, PW_BUTTON, &panelPOWER_GEN, POWER_GEN_BUTTON_USAGE, 0, 0x00FF),
    field("SPECIAL FUNCTION", "Baudrate", F::Label, PW_BAUD, &panelInterf, INTERF_BAUD),

    // The scan rate is set on the panels and sent with the record; the
    // parameter file does not carry it.
    also(PW_SCANRATE, &panelPOWER_GEN, POWER_GEN_SCAN_RATE, P::Word),
};
// clang-format on
const std::size_t kParamWordCount = sizeof kParamWords / sizeof kParamWords[0];

int ParamWordSpan(const ParamWord &w) {
    switch (w.panel) {
    case PanelHolds::EventBoxes: return 2;
    case PanelHolds::GroupBoxes: return CG_WORDS;
    case PanelHolds::Combination: return 1;
    default: return 0;
    }
}
