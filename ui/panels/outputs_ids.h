// Control ids of the panels in "Outputs.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char OUTPUTS_UI_FILE[] = "Outputs.ui";

// panelOUTPUT: "Output 0", inside the main panel at 110,105, callback CC_OUTPUT
constexpr int RES_OUTPUT = 1;
constexpr int OUTPUT_TAB_OUT1 = 5;
constexpr int OUTPUT_TAB_OUT0 = 6;
constexpr int OUTPUT_TAB_ANALOG = 7;
constexpr int OUTPUT_TAB_OUT2 = 8;
// Condition boxes: levels 110, evaluation conditions 130, + key number - 1.
constexpr int OUTPUT_ON_TIME = 100;
constexpr int OUTPUT_OFF_TIME = 101;
constexpr int OUTPUT_COMBINATION = 102;
constexpr int OUTPUT_LEVEL_A_OVER = 110;
constexpr int OUTPUT_LEVEL_A_UNDER = 111;
constexpr int OUTPUT_LEVEL_B_OVER = 112;
constexpr int OUTPUT_LEVEL_B_UNDER = 113;
constexpr int OUTPUT_LEVEL_IN0_HIGH = 114;
constexpr int OUTPUT_LEVEL_IN0_LOW = 115;
constexpr int OUTPUT_LEVEL_IN1_HIGH = 116;
constexpr int OUTPUT_LEVEL_IN1_LOW = 117;
constexpr int OUTPUT_LEVEL_TMR0_HIGH = 118;
constexpr int OUTPUT_LEVEL_TMR0_LOW = 119;
constexpr int OUTPUT_LEVEL_TMR1_HIGH = 120;
constexpr int OUTPUT_LEVEL_TMR1_LOW = 121;
constexpr int OUTPUT_EVAL_E1_OVER = 130;
constexpr int OUTPUT_EVAL_E1_IN = 131;
constexpr int OUTPUT_EVAL_E1_UNDER = 132;
constexpr int OUTPUT_EVAL_E2_OVER = 133;
constexpr int OUTPUT_EVAL_E2_IN = 134;
constexpr int OUTPUT_EVAL_E2_UNDER = 135;

// panelOUTPUT_1: "Output 1", inside the main panel at 110,105, callback CC_OUTPUT
constexpr int RES_OUTPUT_1 = 2;
constexpr int OUTPUT_1_TAB_OUT1 = 5;
constexpr int OUTPUT_1_TAB_OUT0 = 6;
constexpr int OUTPUT_1_TAB_ANALOG = 7;
constexpr int OUTPUT_1_TAB_OUT2 = 8;
// Condition boxes: levels 110, evaluation conditions 130, + key number - 1.
constexpr int OUTPUT_1_ON_TIME = 100;
constexpr int OUTPUT_1_OFF_TIME = 101;
constexpr int OUTPUT_1_COMBINATION = 102;
constexpr int OUTPUT_1_LEVEL_A_OVER = 110;
constexpr int OUTPUT_1_LEVEL_A_UNDER = 111;
constexpr int OUTPUT_1_LEVEL_B_OVER = 112;
constexpr int OUTPUT_1_LEVEL_B_UNDER = 113;
constexpr int OUTPUT_1_LEVEL_IN0_HIGH = 114;
constexpr int OUTPUT_1_LEVEL_IN0_LOW = 115;
constexpr int OUTPUT_1_LEVEL_IN1_HIGH = 116;
constexpr int OUTPUT_1_LEVEL_IN1_LOW = 117;
constexpr int OUTPUT_1_LEVEL_TMR0_HIGH = 118;
constexpr int OUTPUT_1_LEVEL_TMR0_LOW = 119;
constexpr int OUTPUT_1_LEVEL_TMR1_HIGH = 120;
constexpr int OUTPUT_1_LEVEL_TMR1_LOW = 121;
constexpr int OUTPUT_1_EVAL_E1_OVER = 130;
constexpr int OUTPUT_1_EVAL_E1_IN = 131;
constexpr int OUTPUT_1_EVAL_E1_UNDER = 132;
constexpr int OUTPUT_1_EVAL_E2_OVER = 133;
constexpr int OUTPUT_1_EVAL_E2_IN = 134;
constexpr int OUTPUT_1_EVAL_E2_UNDER = 135;

// panelOUTPUT_2: "Output 2", inside the main panel at 110,105, callback CC_OUTPUT
constexpr int RES_OUTPUT_2 = 3;
constexpr int OUTPUT_2_TAB_OUT0 = 5;
constexpr int OUTPUT_2_TAB_ANALOG = 6;
constexpr int OUTPUT_2_TAB_OUT2 = 7;
constexpr int OUTPUT_2_TAB_OUT1 = 8;
// Condition boxes: levels 110, evaluation conditions 130, + key number - 1.
constexpr int OUTPUT_2_ON_TIME = 100;
constexpr int OUTPUT_2_OFF_TIME = 101;
constexpr int OUTPUT_2_COMBINATION = 102;
constexpr int OUTPUT_2_LEVEL_A_OVER = 110;
constexpr int OUTPUT_2_LEVEL_A_UNDER = 111;
constexpr int OUTPUT_2_LEVEL_B_OVER = 112;
constexpr int OUTPUT_2_LEVEL_B_UNDER = 113;
constexpr int OUTPUT_2_LEVEL_IN0_HIGH = 114;
constexpr int OUTPUT_2_LEVEL_IN0_LOW = 115;
constexpr int OUTPUT_2_LEVEL_IN1_HIGH = 116;
constexpr int OUTPUT_2_LEVEL_IN1_LOW = 117;
constexpr int OUTPUT_2_LEVEL_TMR0_HIGH = 118;
constexpr int OUTPUT_2_LEVEL_TMR0_LOW = 119;
constexpr int OUTPUT_2_LEVEL_TMR1_HIGH = 120;
constexpr int OUTPUT_2_LEVEL_TMR1_LOW = 121;
constexpr int OUTPUT_2_EVAL_E1_OVER = 130;
constexpr int OUTPUT_2_EVAL_E1_IN = 131;
constexpr int OUTPUT_2_EVAL_E1_UNDER = 132;
constexpr int OUTPUT_2_EVAL_E2_OVER = 133;
constexpr int OUTPUT_2_EVAL_E2_IN = 134;
constexpr int OUTPUT_2_EVAL_E2_UNDER = 135;

// panelOUTPUT_ANA: "Analog Output", inside the main panel at 110,105, callback CC_OUTPUT
constexpr int RES_OUTPUT_ANA = 4;
constexpr int OUTPUT_ANA_TAB_OUT1 = 6;
constexpr int OUTPUT_ANA_TAB_OUT0 = 7;
constexpr int OUTPUT_ANA_TAB_ANALOG = 8;
constexpr int OUTPUT_ANA_TAB_OUT2 = 9;
constexpr int OUTPUT_ANA_SOURCE = 100;
constexpr int OUTPUT_ANA_MIN = 101;
constexpr int OUTPUT_ANA_MAX = 102;
constexpr int OUTPUT_ANA_GRAPH = 103;
constexpr int OUTPUT_ANA_PRESET = 104;    // preset ring, values 1 to 7
constexpr int OUTPUT_ANA_SETPRESET = 105; // writes the preset's limits

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind OUTPUTS_UI_CTRL_KINDS[] = {
    {RES_OUTPUT, OUTPUT_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT, OUTPUT_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT, OUTPUT_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT, OUTPUT_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT, OUTPUT_ON_TIME, "QSpinBox"},
    {RES_OUTPUT, OUTPUT_OFF_TIME, "QSpinBox"},
    {RES_OUTPUT, OUTPUT_COMBINATION, "QComboBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_A_OVER, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_A_UNDER, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_B_OVER, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_B_UNDER, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_IN0_HIGH, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_IN0_LOW, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_IN1_HIGH, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_IN1_LOW, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_TMR0_HIGH, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_TMR0_LOW, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_TMR1_HIGH, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_LEVEL_TMR1_LOW, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_EVAL_E1_OVER, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_EVAL_E1_IN, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_EVAL_E1_UNDER, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_EVAL_E2_OVER, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_EVAL_E2_IN, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_EVAL_E2_UNDER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_ON_TIME, "QSpinBox"},
    {RES_OUTPUT_1, OUTPUT_1_OFF_TIME, "QSpinBox"},
    {RES_OUTPUT_1, OUTPUT_1_COMBINATION, "QComboBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_A_OVER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_A_UNDER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_B_OVER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_B_UNDER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_IN0_HIGH, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_IN0_LOW, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_IN1_HIGH, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_IN1_LOW, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_TMR0_HIGH, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_TMR0_LOW, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_TMR1_HIGH, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_LEVEL_TMR1_LOW, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_EVAL_E1_OVER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_EVAL_E1_IN, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_EVAL_E1_UNDER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_EVAL_E2_OVER, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_EVAL_E2_IN, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_EVAL_E2_UNDER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_ON_TIME, "QSpinBox"},
    {RES_OUTPUT_2, OUTPUT_2_OFF_TIME, "QSpinBox"},
    {RES_OUTPUT_2, OUTPUT_2_COMBINATION, "QComboBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_A_OVER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_A_UNDER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_B_OVER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_B_UNDER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_IN0_HIGH, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_IN0_LOW, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_IN1_HIGH, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_IN1_LOW, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_TMR0_HIGH, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_TMR0_LOW, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_TMR1_HIGH, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_LEVEL_TMR1_LOW, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_EVAL_E1_OVER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_EVAL_E1_IN, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_EVAL_E1_UNDER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_EVAL_E2_OVER, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_EVAL_E2_IN, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_EVAL_E2_UNDER, "QCheckBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_SOURCE, "QComboBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_MIN, "QSpinBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_MAX, "QSpinBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_GRAPH, "QvGraph"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_PRESET, "QComboBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_SETPRESET, "QPushButton"},
};
// clang-format on
