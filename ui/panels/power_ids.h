// Control ids of the panels in "Power.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char POWER_UI_FILE[] = "Power.ui";

// panelPOWER: "Channel A", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER = 1;
constexpr int POWER_TAB_CHA = 10;
constexpr int POWER_TAB_TMR1 = 11;
constexpr int POWER_TAB_GEN = 12;
constexpr int POWER_TAB_TMR0 = 13;
constexpr int POWER_TAB_REC = 14;
constexpr int POWER_TAB_CHB = 15;
constexpr int POWER_TX_POWER = 100;
constexpr int POWER_POWER_MODE = 101;
constexpr int POWER_INTEGRATION = 102;
constexpr int POWER_GAIN = 103;
constexpr int POWER_ENABLE = 104;
constexpr int POWER_ACTIVE = 105;
constexpr int POWER_INTENSITY = 106;

// panelPOWER_B: "Channel B", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_B = 2;
constexpr int POWER_B_TAB_CHA = 10;
constexpr int POWER_B_TAB_TMR1 = 11;
constexpr int POWER_B_TAB_GEN = 12;
constexpr int POWER_B_TAB_TMR0 = 13;
constexpr int POWER_B_TAB_REC = 14;
constexpr int POWER_B_TAB_CHB = 15;
constexpr int POWER_B_TX_POWER = 100;
constexpr int POWER_B_POWER_MODE = 101;
constexpr int POWER_B_INTEGRATION = 102;
constexpr int POWER_B_GAIN = 103;
constexpr int POWER_B_ENABLE = 104;
constexpr int POWER_B_ACTIVE = 105;
constexpr int POWER_B_INTENSITY = 106;

// panelPOWER_GEN: "General", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_GEN = 3;
constexpr int POWER_GEN_TAB_CHA = 11;
constexpr int POWER_GEN_TAB_TMR1 = 12;
constexpr int POWER_GEN_TAB_GEN = 13;
constexpr int POWER_GEN_TAB_TMR0 = 16;
constexpr int POWER_GEN_TAB_REC = 19;
constexpr int POWER_GEN_TAB_CHB = 20;
constexpr int POWER_GEN_AVERAGING = 100;
constexpr int POWER_GEN_TRIGGER = 101;
constexpr int POWER_GEN_SCAN_RATE = 102;
constexpr int POWER_GEN_TEMP_COMP = 103;
constexpr int POWER_GEN_AUTO_GAIN = 104;
constexpr int POWER_GEN_TEMPERATURE = 105;

// panelPOWER_REC: "Recording", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_REC = 4;
constexpr int POWER_REC_TAB_CHA = 3;
constexpr int POWER_REC_TAB_TMR1 = 4;
constexpr int POWER_REC_TAB_GEN = 5;
constexpr int POWER_REC_TAB_TMR0 = 8;
constexpr int POWER_REC_TAB_REC = 9;
constexpr int POWER_REC_TAB_CHB = 10;
constexpr int POWER_REC_SOURCE = 100;
constexpr int POWER_REC_SAMPLES = 101;
constexpr int POWER_REC_DECIMATION = 102;
constexpr int POWER_REC_FORMAT = 103;
constexpr int POWER_REC_ON_TRIGGER = 104;

// panelPOWER_TMR0: "Timer 0", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_TMR0 = 5;
constexpr int POWER_TMR0_TAB_CHA = 10;
constexpr int POWER_TMR0_TAB_TMR1 = 11;
constexpr int POWER_TMR0_TAB_GEN = 12;
constexpr int POWER_TMR0_TAB_TMR0 = 13;
constexpr int POWER_TMR0_TAB_REC = 14;
constexpr int POWER_TMR0_TAB_CHB = 15;
constexpr int POWER_TMR0_MODE = 100;
constexpr int POWER_TMR0_SOURCE = 101;
constexpr int POWER_TMR0_DELAY = 102;
constexpr int POWER_TMR0_PULSE = 103;
constexpr int POWER_TMR0_RETRIGGER = 104;
constexpr int POWER_TMR0_RUNNING = 105;

// panelPOWER_TMR1: "Timer 1", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_TMR1 = 6;
constexpr int POWER_TMR1_TAB_CHA = 10;
constexpr int POWER_TMR1_TAB_TMR1 = 11;
constexpr int POWER_TMR1_TAB_GEN = 12;
constexpr int POWER_TMR1_TAB_TMR0 = 13;
constexpr int POWER_TMR1_TAB_REC = 14;
constexpr int POWER_TMR1_TAB_CHB = 15;
constexpr int POWER_TMR1_MODE = 100;
constexpr int POWER_TMR1_SOURCE = 101;
constexpr int POWER_TMR1_DELAY = 102;
constexpr int POWER_TMR1_PULSE = 103;
constexpr int POWER_TMR1_RETRIGGER = 104;
constexpr int POWER_TMR1_RUNNING = 105;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind POWER_UI_CTRL_KINDS[] = {
    {RES_POWER, POWER_TAB_CHA, "QPushButton"},
    {RES_POWER, POWER_TAB_TMR1, "QPushButton"},
    {RES_POWER, POWER_TAB_GEN, "QPushButton"},
    {RES_POWER, POWER_TAB_TMR0, "QPushButton"},
    {RES_POWER, POWER_TAB_REC, "QPushButton"},
    {RES_POWER, POWER_TAB_CHB, "QPushButton"},
    {RES_POWER, POWER_TX_POWER, "QSpinBox"},
    {RES_POWER, POWER_POWER_MODE, "QComboBox"},
    {RES_POWER, POWER_INTEGRATION, "QSpinBox"},
    {RES_POWER, POWER_GAIN, "QComboBox"},
    {RES_POWER, POWER_ENABLE, "QCheckBox"},
    {RES_POWER, POWER_ACTIVE, "QvLed"},
    {RES_POWER, POWER_INTENSITY, "QProgressBar"},
    {RES_POWER_B, POWER_B_TAB_CHA, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_TMR1, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_GEN, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_TMR0, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_REC, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_CHB, "QPushButton"},
    {RES_POWER_B, POWER_B_TX_POWER, "QSpinBox"},
    {RES_POWER_B, POWER_B_POWER_MODE, "QComboBox"},
    {RES_POWER_B, POWER_B_INTEGRATION, "QSpinBox"},
    {RES_POWER_B, POWER_B_GAIN, "QComboBox"},
    {RES_POWER_B, POWER_B_ENABLE, "QCheckBox"},
    {RES_POWER_B, POWER_B_ACTIVE, "QvLed"},
    {RES_POWER_B, POWER_B_INTENSITY, "QProgressBar"},
    {RES_POWER_GEN, POWER_GEN_TAB_CHA, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_TMR1, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_GEN, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_TMR0, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_REC, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_CHB, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_AVERAGING, "QComboBox"},
    {RES_POWER_GEN, POWER_GEN_TRIGGER, "QComboBox"},
    {RES_POWER_GEN, POWER_GEN_SCAN_RATE, "QSpinBox"},
    {RES_POWER_GEN, POWER_GEN_TEMP_COMP, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_AUTO_GAIN, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_TEMPERATURE, "QLabel"},
    {RES_POWER_REC, POWER_REC_TAB_CHA, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_TMR1, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_GEN, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_TMR0, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_REC, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_CHB, "QPushButton"},
    {RES_POWER_REC, POWER_REC_SOURCE, "QComboBox"},
    {RES_POWER_REC, POWER_REC_SAMPLES, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_DECIMATION, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_FORMAT, "QComboBox"},
    {RES_POWER_REC, POWER_REC_ON_TRIGGER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_CHA, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_TMR1, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_GEN, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_TMR0, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_REC, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_CHB, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_MODE, "QComboBox"},
    {RES_POWER_TMR0, POWER_TMR0_SOURCE, "QComboBox"},
    {RES_POWER_TMR0, POWER_TMR0_DELAY, "QSpinBox"},
    {RES_POWER_TMR0, POWER_TMR0_PULSE, "QSpinBox"},
    {RES_POWER_TMR0, POWER_TMR0_RETRIGGER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_RUNNING, "QvLed"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_CHA, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_TMR1, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_GEN, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_TMR0, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_REC, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_CHB, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_MODE, "QComboBox"},
    {RES_POWER_TMR1, POWER_TMR1_SOURCE, "QComboBox"},
    {RES_POWER_TMR1, POWER_TMR1_DELAY, "QSpinBox"},
    {RES_POWER_TMR1, POWER_TMR1_PULSE, "QSpinBox"},
    {RES_POWER_TMR1, POWER_TMR1_RETRIGGER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_RUNNING, "QvLed"},
};
// clang-format on
