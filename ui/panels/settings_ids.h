// Control ids of the panels in "Settings.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char SETTINGS_UI_FILE[] = "Settings.ui";

// panelSETTINGS: "Evaluation 1", inside the main panel at 110,105, callback CC_SETTINGS
constexpr int RES_SETTINGS = 1;
constexpr int SETTINGS_TAB_TEMPL = 4;
constexpr int SETTINGS_TAB_EVAL2 = 5;
constexpr int SETTINGS_TAB_EVAL1 = 6;
constexpr int SETTINGS_TAB_EVAL5 = 8;
constexpr int SETTINGS_TAB_EVAL4 = 9;
constexpr int SETTINGS_TAB_EVAL3 = 10;
constexpr int SETTINGS_MODE = 100;
constexpr int SETTINGS_CHANNEL = 101;
constexpr int SETTINGS_LOWER = 102;
constexpr int SETTINGS_UPPER = 103;
constexpr int SETTINGS_HYSTERESIS = 104;
constexpr int SETTINGS_TOLERANCE = 105;
constexpr int SETTINGS_INVERT = 106;
constexpr int SETTINGS_RESULT = 107;
constexpr int SETTINGS_VALUE = 108;
constexpr int SETTINGS_TEACH = 109;

// panelSETTINGS_2: "Evaluation 2", inside the main panel at 110,105, callback CC_SETTINGS
constexpr int RES_SETTINGS_2 = 2;
constexpr int SETTINGS_2_TAB_TEMPL = 4;
constexpr int SETTINGS_2_TAB_EVAL2 = 5;
constexpr int SETTINGS_2_TAB_EVAL1 = 6;
constexpr int SETTINGS_2_TAB_EVAL5 = 8;
constexpr int SETTINGS_2_TAB_EVAL4 = 9;
constexpr int SETTINGS_2_TAB_EVAL3 = 10;
constexpr int SETTINGS_2_MODE = 100;
constexpr int SETTINGS_2_CHANNEL = 101;
constexpr int SETTINGS_2_LOWER = 102;
constexpr int SETTINGS_2_UPPER = 103;
constexpr int SETTINGS_2_HYSTERESIS = 104;
constexpr int SETTINGS_2_TOLERANCE = 105;
constexpr int SETTINGS_2_INVERT = 106;
constexpr int SETTINGS_2_RESULT = 107;
constexpr int SETTINGS_2_VALUE = 108;
constexpr int SETTINGS_2_TEACH = 109;

// panelSETTINGS_3: "Evaluation 3", inside the main panel at 110,105, callback CC_SETTINGS
constexpr int RES_SETTINGS_3 = 3;
constexpr int SETTINGS_3_TAB_TEMPL = 4;
constexpr int SETTINGS_3_TAB_EVAL2 = 5;
constexpr int SETTINGS_3_TAB_EVAL1 = 6;
constexpr int SETTINGS_3_TAB_EVAL5 = 8;
constexpr int SETTINGS_3_TAB_EVAL4 = 9;
constexpr int SETTINGS_3_TAB_EVAL3 = 10;
constexpr int SETTINGS_3_MODE = 100;
constexpr int SETTINGS_3_CHANNEL = 101;
constexpr int SETTINGS_3_LOWER = 102;
constexpr int SETTINGS_3_UPPER = 103;
constexpr int SETTINGS_3_HYSTERESIS = 104;
constexpr int SETTINGS_3_TOLERANCE = 105;
constexpr int SETTINGS_3_INVERT = 106;
constexpr int SETTINGS_3_RESULT = 107;
constexpr int SETTINGS_3_VALUE = 108;
constexpr int SETTINGS_3_TEACH = 109;

// panelSETTINGS_4: "Evaluation 4", inside the main panel at 110,105, callback CC_SETTINGS
constexpr int RES_SETTINGS_4 = 4;
constexpr int SETTINGS_4_TAB_TEMPL = 4;
constexpr int SETTINGS_4_TAB_EVAL2 = 5;
constexpr int SETTINGS_4_TAB_EVAL1 = 6;
constexpr int SETTINGS_4_TAB_EVAL5 = 8;
constexpr int SETTINGS_4_TAB_EVAL4 = 9;
constexpr int SETTINGS_4_TAB_EVAL3 = 10;
constexpr int SETTINGS_4_MODE = 100;
constexpr int SETTINGS_4_CHANNEL = 101;
constexpr int SETTINGS_4_LOWER = 102;
constexpr int SETTINGS_4_UPPER = 103;
constexpr int SETTINGS_4_HYSTERESIS = 104;
constexpr int SETTINGS_4_TOLERANCE = 105;
constexpr int SETTINGS_4_INVERT = 106;
constexpr int SETTINGS_4_RESULT = 107;
constexpr int SETTINGS_4_VALUE = 108;
constexpr int SETTINGS_4_TEACH = 109;

// panelSETTINGS_5: "Evaluation 5", inside the main panel at 110,105, callback CC_SETTINGS
constexpr int RES_SETTINGS_5 = 5;
constexpr int SETTINGS_5_TAB_TEMPL = 4;
constexpr int SETTINGS_5_TAB_EVAL2 = 5;
constexpr int SETTINGS_5_TAB_EVAL1 = 6;
constexpr int SETTINGS_5_TAB_EVAL5 = 8;
constexpr int SETTINGS_5_TAB_EVAL4 = 9;
constexpr int SETTINGS_5_TAB_EVAL3 = 10;
constexpr int SETTINGS_5_MODE = 100;
constexpr int SETTINGS_5_CHANNEL = 101;
constexpr int SETTINGS_5_LOWER = 102;
constexpr int SETTINGS_5_UPPER = 103;
constexpr int SETTINGS_5_HYSTERESIS = 104;
constexpr int SETTINGS_5_TOLERANCE = 105;
constexpr int SETTINGS_5_INVERT = 106;
constexpr int SETTINGS_5_RESULT = 107;
constexpr int SETTINGS_5_VALUE = 108;
constexpr int SETTINGS_5_TEACH = 109;

// panelSETTINGS_A: "Templates", inside the main panel at 110,105, callback CC_SETTINGS
constexpr int RES_SETTINGS_A = 6;
constexpr int SETTINGS_A_TAB_TEMPL = 4;
constexpr int SETTINGS_A_TAB_EVAL2 = 5;
constexpr int SETTINGS_A_TAB_EVAL1 = 6;
constexpr int SETTINGS_A_TAB_EVAL5 = 8;
constexpr int SETTINGS_A_TAB_EVAL4 = 9;
constexpr int SETTINGS_A_TAB_EVAL3 = 10;
constexpr int SETTINGS_A_TEMPLATE = 15;
constexpr int SETTINGS_A_LOAD = 100;
constexpr int SETTINGS_A_SAVE = 101;
constexpr int SETTINGS_A_DELETE = 102;
constexpr int SETTINGS_A_ALL_EVALS = 103;
constexpr int SETTINGS_A_COMMENT = 104;
constexpr int SETTINGS_A_MESSAGE = 105;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind SETTINGS_UI_CTRL_KINDS[] = {
    {RES_SETTINGS, SETTINGS_TAB_TEMPL, "QPushButton"},
    {RES_SETTINGS, SETTINGS_TAB_EVAL2, "QPushButton"},
    {RES_SETTINGS, SETTINGS_TAB_EVAL1, "QPushButton"},
    {RES_SETTINGS, SETTINGS_TAB_EVAL5, "QPushButton"},
    {RES_SETTINGS, SETTINGS_TAB_EVAL4, "QPushButton"},
    {RES_SETTINGS, SETTINGS_TAB_EVAL3, "QPushButton"},
    {RES_SETTINGS, SETTINGS_MODE, "QComboBox"},
    {RES_SETTINGS, SETTINGS_CHANNEL, "QComboBox"},
    {RES_SETTINGS, SETTINGS_LOWER, "QSpinBox"},
    {RES_SETTINGS, SETTINGS_UPPER, "QSpinBox"},
    {RES_SETTINGS, SETTINGS_HYSTERESIS, "QSpinBox"},
    {RES_SETTINGS, SETTINGS_TOLERANCE, "QDoubleSpinBox"},
    {RES_SETTINGS, SETTINGS_INVERT, "QCheckBox"},
    {RES_SETTINGS, SETTINGS_RESULT, "QvLamp"},
    {RES_SETTINGS, SETTINGS_VALUE, "QLabel"},
    {RES_SETTINGS, SETTINGS_TEACH, "QPushButton"},
    {RES_SETTINGS_2, SETTINGS_2_TAB_TEMPL, "QPushButton"},
    {RES_SETTINGS_2, SETTINGS_2_TAB_EVAL2, "QPushButton"},
    {RES_SETTINGS_2, SETTINGS_2_TAB_EVAL1, "QPushButton"},
    {RES_SETTINGS_2, SETTINGS_2_TAB_EVAL5, "QPushButton"},
    {RES_SETTINGS_2, SETTINGS_2_TAB_EVAL4, "QPushButton"},
    {RES_SETTINGS_2, SETTINGS_2_TAB_EVAL3, "QPushButton"},
    {RES_SETTINGS_2, SETTINGS_2_MODE, "QComboBox"},
    {RES_SETTINGS_2, SETTINGS_2_CHANNEL, "QComboBox"},
    {RES_SETTINGS_2, SETTINGS_2_LOWER, "QSpinBox"},
    {RES_SETTINGS_2, SETTINGS_2_UPPER, "QSpinBox"},
    {RES_SETTINGS_2, SETTINGS_2_HYSTERESIS, "QSpinBox"},
    {RES_SETTINGS_2, SETTINGS_2_TOLERANCE, "QDoubleSpinBox"},
    {RES_SETTINGS_2, SETTINGS_2_INVERT, "QCheckBox"},
    {RES_SETTINGS_2, SETTINGS_2_RESULT, "QvLamp"},
    {RES_SETTINGS_2, SETTINGS_2_VALUE, "QLabel"},
    {RES_SETTINGS_2, SETTINGS_2_TEACH, "QPushButton"},
    {RES_SETTINGS_3, SETTINGS_3_TAB_TEMPL, "QPushButton"},
    {RES_SETTINGS_3, SETTINGS_3_TAB_EVAL2, "QPushButton"},
    {RES_SETTINGS_3, SETTINGS_3_TAB_EVAL1, "QPushButton"},
    {RES_SETTINGS_3, SETTINGS_3_TAB_EVAL5, "QPushButton"},
    {RES_SETTINGS_3, SETTINGS_3_TAB_EVAL4, "QPushButton"},
    {RES_SETTINGS_3, SETTINGS_3_TAB_EVAL3, "QPushButton"},
    {RES_SETTINGS_3, SETTINGS_3_MODE, "QComboBox"},
    {RES_SETTINGS_3, SETTINGS_3_CHANNEL, "QComboBox"},
    {RES_SETTINGS_3, SETTINGS_3_LOWER, "QSpinBox"},
    {RES_SETTINGS_3, SETTINGS_3_UPPER, "QSpinBox"},
    {RES_SETTINGS_3, SETTINGS_3_HYSTERESIS, "QSpinBox"},
    {RES_SETTINGS_3, SETTINGS_3_TOLERANCE, "QDoubleSpinBox"},
    {RES_SETTINGS_3, SETTINGS_3_INVERT, "QCheckBox"},
    {RES_SETTINGS_3, SETTINGS_3_RESULT, "QvLamp"},
    {RES_SETTINGS_3, SETTINGS_3_VALUE, "QLabel"},
    {RES_SETTINGS_3, SETTINGS_3_TEACH, "QPushButton"},
    {RES_SETTINGS_4, SETTINGS_4_TAB_TEMPL, "QPushButton"},
    {RES_SETTINGS_4, SETTINGS_4_TAB_EVAL2, "QPushButton"},
    {RES_SETTINGS_4, SETTINGS_4_TAB_EVAL1, "QPushButton"},
    {RES_SETTINGS_4, SETTINGS_4_TAB_EVAL5, "QPushButton"},
    {RES_SETTINGS_4, SETTINGS_4_TAB_EVAL4, "QPushButton"},
    {RES_SETTINGS_4, SETTINGS_4_TAB_EVAL3, "QPushButton"},
    {RES_SETTINGS_4, SETTINGS_4_MODE, "QComboBox"},
    {RES_SETTINGS_4, SETTINGS_4_CHANNEL, "QComboBox"},
    {RES_SETTINGS_4, SETTINGS_4_LOWER, "QSpinBox"},
    {RES_SETTINGS_4, SETTINGS_4_UPPER, "QSpinBox"},
    {RES_SETTINGS_4, SETTINGS_4_HYSTERESIS, "QSpinBox"},
    {RES_SETTINGS_4, SETTINGS_4_TOLERANCE, "QDoubleSpinBox"},
    {RES_SETTINGS_4, SETTINGS_4_INVERT, "QCheckBox"},
    {RES_SETTINGS_4, SETTINGS_4_RESULT, "QvLamp"},
    {RES_SETTINGS_4, SETTINGS_4_VALUE, "QLabel"},
    {RES_SETTINGS_4, SETTINGS_4_TEACH, "QPushButton"},
    {RES_SETTINGS_5, SETTINGS_5_TAB_TEMPL, "QPushButton"},
    {RES_SETTINGS_5, SETTINGS_5_TAB_EVAL2, "QPushButton"},
    {RES_SETTINGS_5, SETTINGS_5_TAB_EVAL1, "QPushButton"},
    {RES_SETTINGS_5, SETTINGS_5_TAB_EVAL5, "QPushButton"},
    {RES_SETTINGS_5, SETTINGS_5_TAB_EVAL4, "QPushButton"},
    {RES_SETTINGS_5, SETTINGS_5_TAB_EVAL3, "QPushButton"},
    {RES_SETTINGS_5, SETTINGS_5_MODE, "QComboBox"},
    {RES_SETTINGS_5, SETTINGS_5_CHANNEL, "QComboBox"},
    {RES_SETTINGS_5, SETTINGS_5_LOWER, "QSpinBox"},
    {RES_SETTINGS_5, SETTINGS_5_UPPER, "QSpinBox"},
    {RES_SETTINGS_5, SETTINGS_5_HYSTERESIS, "QSpinBox"},
    {RES_SETTINGS_5, SETTINGS_5_TOLERANCE, "QDoubleSpinBox"},
    {RES_SETTINGS_5, SETTINGS_5_INVERT, "QCheckBox"},
    {RES_SETTINGS_5, SETTINGS_5_RESULT, "QvLamp"},
    {RES_SETTINGS_5, SETTINGS_5_VALUE, "QLabel"},
    {RES_SETTINGS_5, SETTINGS_5_TEACH, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_TAB_TEMPL, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_TAB_EVAL2, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_TAB_EVAL1, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_TAB_EVAL5, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_TAB_EVAL4, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_TAB_EVAL3, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_TEMPLATE, "QComboBox"},
    {RES_SETTINGS_A, SETTINGS_A_LOAD, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_SAVE, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_DELETE, "QPushButton"},
    {RES_SETTINGS_A, SETTINGS_A_ALL_EVALS, "QCheckBox"},
    {RES_SETTINGS_A, SETTINGS_A_COMMENT, "QPlainTextEdit"},
    {RES_SETTINGS_A, SETTINGS_A_MESSAGE, "QLabel"},
};
// clang-format on
