// Control ids of the panels in "Test.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char TEST_UI_FILE[] = "Test.ui";

// panelTEST: "Test Mode", inside the main panel at 110,105, callback CC_PANEL_TEST
constexpr int RES_TEST = 1;
constexpr int TEST_TESTMODE = 100;
constexpr int TEST_ACTIVE = 101;
constexpr int TEST_LBL_OUTPUTS = 102;
constexpr int TEST_FORCE_OUT0 = 103;
constexpr int TEST_FORCE_OUT1 = 104;
constexpr int TEST_FORCE_OUT2 = 105;
constexpr int TEST_ANALOG = 106;
constexpr int TEST_LBL_INPUTS = 107;
constexpr int TEST_IN0 = 108;
constexpr int TEST_IN1 = 109;
constexpr int TEST_TRIGGER = 110;
constexpr int TEST_SELFTEST = 111;
constexpr int TEST_RESULT = 112;
constexpr int TEST_LOG = 113;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind TEST_UI_CTRL_KINDS[] = {
    {RES_TEST, TEST_TESTMODE, "QPushButton"},
    {RES_TEST, TEST_ACTIVE, "QvLamp"},
    {RES_TEST, TEST_LBL_OUTPUTS, "QLabel"},
    {RES_TEST, TEST_FORCE_OUT0, "QCheckBox"},
    {RES_TEST, TEST_FORCE_OUT1, "QCheckBox"},
    {RES_TEST, TEST_FORCE_OUT2, "QCheckBox"},
    {RES_TEST, TEST_ANALOG, "QDoubleSpinBox"},
    {RES_TEST, TEST_LBL_INPUTS, "QLabel"},
    {RES_TEST, TEST_IN0, "QvLed"},
    {RES_TEST, TEST_IN1, "QvLed"},
    {RES_TEST, TEST_TRIGGER, "QvLed"},
    {RES_TEST, TEST_SELFTEST, "QPushButton"},
    {RES_TEST, TEST_RESULT, "QLabel"},
    {RES_TEST, TEST_LOG, "QPlainTextEdit"},
};
// clang-format on
