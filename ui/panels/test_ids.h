// Control ids of the panels in "Test.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char TEST_UI_FILE[] = "Test.ui";

// panelTEST: "Test Mode", inside the main panel at 110,105, callback CC_PANEL_TEST
constexpr int RES_TEST = 1;
constexpr int TEST_CMD_ENTER = 100;
constexpr int TEST_ENTER_NOTE = 101; // dimmed and enabled with TEST_CMD_ENTER
constexpr int TEST_CMD_EXIT = 102;
// Test values 1 to 6 (test record words 0 to 5): TEST_VALUE_1 + k.
constexpr int TEST_VALUE_1 = 103;
constexpr int TEST_VALUE_2 = 104;
constexpr int TEST_VALUE_3 = 105;
constexpr int TEST_VALUE_4 = 106;
constexpr int TEST_VALUE_5 = 107;
constexpr int TEST_VALUE_6 = 108;
constexpr int TEST_LAMP_1 = 109; // two-colour lamp button, red / green
constexpr int TEST_LAMP_2 = 110; // two-colour lamp button, yellow / green
constexpr int TEST_SWITCH_1 = 111;
constexpr int TEST_SWITCH_2 = 112;
constexpr int TEST_INPUT_1 = 113; // bit 0 of the answer's word 6
constexpr int TEST_INPUT_2 = 114; // bit 1

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind TEST_UI_CTRL_KINDS[] = {
    {RES_TEST, TEST_CMD_ENTER, "QPushButton"},
    {RES_TEST, TEST_ENTER_NOTE, "QLabel"},
    {RES_TEST, TEST_CMD_EXIT, "QPushButton"},
    {RES_TEST, TEST_VALUE_1, "QSpinBox"},
    {RES_TEST, TEST_VALUE_2, "QSpinBox"},
    {RES_TEST, TEST_VALUE_3, "QSpinBox"},
    {RES_TEST, TEST_VALUE_4, "QSpinBox"},
    {RES_TEST, TEST_VALUE_5, "QSpinBox"},
    {RES_TEST, TEST_VALUE_6, "QSpinBox"},
    {RES_TEST, TEST_LAMP_1, "QvLampButton"},
    {RES_TEST, TEST_LAMP_2, "QvLampButton"},
    {RES_TEST, TEST_SWITCH_1, "QCheckBox"},
    {RES_TEST, TEST_SWITCH_2, "QCheckBox"},
    {RES_TEST, TEST_INPUT_1, "QvLed"},
    {RES_TEST, TEST_INPUT_2, "QvLed"},
};
// clang-format on
