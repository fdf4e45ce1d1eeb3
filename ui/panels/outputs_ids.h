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
constexpr int OUTPUT_FUNCTION = 100;
constexpr int OUTPUT_SOURCE = 101;
constexpr int OUTPUT_SWITCHING = 102;
constexpr int OUTPUT_HOLD = 103;
constexpr int OUTPUT_INVERT = 104;
constexpr int OUTPUT_STATE = 105;

// panelOUTPUT_1: "Output 1", inside the main panel at 110,105, callback CC_OUTPUT
constexpr int RES_OUTPUT_1 = 2;
constexpr int OUTPUT_1_TAB_OUT1 = 5;
constexpr int OUTPUT_1_TAB_OUT0 = 6;
constexpr int OUTPUT_1_TAB_ANALOG = 7;
constexpr int OUTPUT_1_TAB_OUT2 = 8;
constexpr int OUTPUT_1_FUNCTION = 100;
constexpr int OUTPUT_1_SOURCE = 101;
constexpr int OUTPUT_1_SWITCHING = 102;
constexpr int OUTPUT_1_HOLD = 103;
constexpr int OUTPUT_1_INVERT = 104;
constexpr int OUTPUT_1_STATE = 105;

// panelOUTPUT_2: "Output 2", inside the main panel at 110,105, callback CC_OUTPUT
constexpr int RES_OUTPUT_2 = 3;
constexpr int OUTPUT_2_TAB_OUT0 = 5;
constexpr int OUTPUT_2_TAB_ANALOG = 6;
constexpr int OUTPUT_2_TAB_OUT2 = 7;
constexpr int OUTPUT_2_TAB_OUT1 = 8;
constexpr int OUTPUT_2_FUNCTION = 100;
constexpr int OUTPUT_2_SOURCE = 101;
constexpr int OUTPUT_2_SWITCHING = 102;
constexpr int OUTPUT_2_HOLD = 103;
constexpr int OUTPUT_2_INVERT = 104;
constexpr int OUTPUT_2_STATE = 105;

// panelOUTPUT_ANA: "Analog Output", inside the main panel at 110,105, callback CC_OUTPUT
constexpr int RES_OUTPUT_ANA = 4;
constexpr int OUTPUT_ANA_TAB_OUT1 = 6;
constexpr int OUTPUT_ANA_TAB_OUT0 = 7;
constexpr int OUTPUT_ANA_TAB_ANALOG = 8;
constexpr int OUTPUT_ANA_TAB_OUT2 = 9;
constexpr int OUTPUT_ANA_MODE = 100;
constexpr int OUTPUT_ANA_SOURCE = 101;
constexpr int OUTPUT_ANA_SCALE_MIN = 102;
constexpr int OUTPUT_ANA_SCALE_MAX = 103;
constexpr int OUTPUT_ANA_OFFSET = 104;
constexpr int OUTPUT_ANA_VALUE = 105;
constexpr int OUTPUT_ANA_LEVEL = 106;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind OUTPUTS_UI_CTRL_KINDS[] = {
    {RES_OUTPUT, OUTPUT_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT, OUTPUT_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT, OUTPUT_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT, OUTPUT_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT, OUTPUT_FUNCTION, "QComboBox"},
    {RES_OUTPUT, OUTPUT_SOURCE, "QComboBox"},
    {RES_OUTPUT, OUTPUT_SWITCHING, "QComboBox"},
    {RES_OUTPUT, OUTPUT_HOLD, "QSpinBox"},
    {RES_OUTPUT, OUTPUT_INVERT, "QCheckBox"},
    {RES_OUTPUT, OUTPUT_STATE, "QvLed"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT_1, OUTPUT_1_FUNCTION, "QComboBox"},
    {RES_OUTPUT_1, OUTPUT_1_SOURCE, "QComboBox"},
    {RES_OUTPUT_1, OUTPUT_1_SWITCHING, "QComboBox"},
    {RES_OUTPUT_1, OUTPUT_1_HOLD, "QSpinBox"},
    {RES_OUTPUT_1, OUTPUT_1_INVERT, "QCheckBox"},
    {RES_OUTPUT_1, OUTPUT_1_STATE, "QvLed"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT_2, OUTPUT_2_FUNCTION, "QComboBox"},
    {RES_OUTPUT_2, OUTPUT_2_SOURCE, "QComboBox"},
    {RES_OUTPUT_2, OUTPUT_2_SWITCHING, "QComboBox"},
    {RES_OUTPUT_2, OUTPUT_2_HOLD, "QSpinBox"},
    {RES_OUTPUT_2, OUTPUT_2_INVERT, "QCheckBox"},
    {RES_OUTPUT_2, OUTPUT_2_STATE, "QvLed"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_OUT1, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_OUT0, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_ANALOG, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_TAB_OUT2, "QPushButton"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_MODE, "QComboBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_SOURCE, "QComboBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_SCALE_MIN, "QSpinBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_SCALE_MAX, "QSpinBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_OFFSET, "QDoubleSpinBox"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_VALUE, "QLabel"},
    {RES_OUTPUT_ANA, OUTPUT_ANA_LEVEL, "QProgressBar"},
};
// clang-format on
