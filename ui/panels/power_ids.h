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
// Reset-event boxes: 110 + edge number - 1, in parameter-file edge-key order.
constexpr int POWER_POWER = 100;
constexpr int POWER_TRIGGERLEVEL = 101;
constexpr int POWER_FILTER_NONE = 102;
constexpr int POWER_FILTER_1 = 103;
constexpr int POWER_FILTER_2 = 104;
constexpr int POWER_FILTER_3 = 105;
constexpr int POWER_NORM_ON = 106;
constexpr int POWER_NORM_OFF = 107;
constexpr int POWER_RESET_A_OVER = 110;
constexpr int POWER_RESET_A_UNDER = 111;
constexpr int POWER_RESET_B_OVER = 112;
constexpr int POWER_RESET_B_UNDER = 113;
constexpr int POWER_RESET_IN0_RISE = 114;
constexpr int POWER_RESET_IN0_FALL = 115;
constexpr int POWER_RESET_IN1_RISE = 116;
constexpr int POWER_RESET_IN1_FALL = 117;
constexpr int POWER_RESET_TMR0_RISE = 118;
constexpr int POWER_RESET_TMR0_FALL = 119;
constexpr int POWER_RESET_TMR1_RISE = 120;
constexpr int POWER_RESET_TMR1_FALL = 121;

// panelPOWER_B: "Channel B", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_B = 2;
constexpr int POWER_B_TAB_CHA = 10;
constexpr int POWER_B_TAB_TMR1 = 11;
constexpr int POWER_B_TAB_GEN = 12;
constexpr int POWER_B_TAB_TMR0 = 13;
constexpr int POWER_B_TAB_REC = 14;
constexpr int POWER_B_TAB_CHB = 15;
// Reset-event boxes: 110 + edge number - 1.
constexpr int POWER_B_POWER = 100;
constexpr int POWER_B_TRIGGERLEVEL = 101;
constexpr int POWER_B_FILTER_NONE = 102;
constexpr int POWER_B_FILTER_1 = 103;
constexpr int POWER_B_FILTER_2 = 104;
constexpr int POWER_B_FILTER_3 = 105;
constexpr int POWER_B_NORM_ON = 106;
constexpr int POWER_B_NORM_OFF = 107;
constexpr int POWER_B_RESET_A_OVER = 110;
constexpr int POWER_B_RESET_A_UNDER = 111;
constexpr int POWER_B_RESET_B_OVER = 112;
constexpr int POWER_B_RESET_B_UNDER = 113;
constexpr int POWER_B_RESET_IN0_RISE = 114;
constexpr int POWER_B_RESET_IN0_FALL = 115;
constexpr int POWER_B_RESET_IN1_RISE = 116;
constexpr int POWER_B_RESET_IN1_FALL = 117;
constexpr int POWER_B_RESET_TMR0_RISE = 118;
constexpr int POWER_B_RESET_TMR0_FALL = 119;
constexpr int POWER_B_RESET_TMR1_RISE = 120;
constexpr int POWER_B_RESET_TMR1_FALL = 121;

// panelPOWER_GEN: "General", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_GEN = 3;
constexpr int POWER_GEN_TAB_CHA = 11;
constexpr int POWER_GEN_TAB_TMR1 = 12;
constexpr int POWER_GEN_TAB_GEN = 13;
constexpr int POWER_GEN_TAB_TMR0 = 16;
constexpr int POWER_GEN_TAB_REC = 19;
constexpr int POWER_GEN_TAB_CHB = 20;
// Normalisation-base boxes: 110 + level number - 1, in level-key order.
constexpr int POWER_GEN_SCAN_RATE = 100;
constexpr int POWER_GEN_NORM_TIMECONSTANT = 101;
constexpr int POWER_GEN_IN1_USAGE = 102;
constexpr int POWER_GEN_TEACH_TARGET = 103;
constexpr int POWER_GEN_POTI_USAGE = 104;
constexpr int POWER_GEN_BUTTON_USAGE = 105;
constexpr int POWER_GEN_NORMBASE_ALL = 106;
constexpr int POWER_GEN_NORMBASE_A_OVER = 110;
constexpr int POWER_GEN_NORMBASE_A_UNDER = 111;
constexpr int POWER_GEN_NORMBASE_B_OVER = 112;
constexpr int POWER_GEN_NORMBASE_B_UNDER = 113;
constexpr int POWER_GEN_NORMBASE_IN0_HIGH = 114;
constexpr int POWER_GEN_NORMBASE_IN0_LOW = 115;
constexpr int POWER_GEN_NORMBASE_IN1_HIGH = 116;
constexpr int POWER_GEN_NORMBASE_IN1_LOW = 117;
constexpr int POWER_GEN_NORMBASE_TMR0_HIGH = 118;
constexpr int POWER_GEN_NORMBASE_TMR0_LOW = 119;
constexpr int POWER_GEN_NORMBASE_TMR1_HIGH = 120;
constexpr int POWER_GEN_NORMBASE_TMR1_LOW = 121;

// panelPOWER_REC: "Recording", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_REC = 4;
constexpr int POWER_REC_TAB_CHA = 3;
constexpr int POWER_REC_TAB_TMR1 = 4;
constexpr int POWER_REC_TAB_GEN = 5;
constexpr int POWER_REC_TAB_TMR0 = 8;
constexpr int POWER_REC_TAB_REC = 9;
constexpr int POWER_REC_TAB_CHB = 10;
// Trigger boxes: 110 (channel A) and 120 (channel B) + edge number - 1, edges 1 to 8.
constexpr int POWER_REC_B_FOLLOWS_A = 100;
constexpr int POWER_REC_A_FOLLOWS_B = 101;
constexpr int POWER_REC_A_PRETRIGGER = 102;
constexpr int POWER_REC_A_INTERVAL = 103;
constexpr int POWER_REC_A_INTERVAL_VALUE = 104;
constexpr int POWER_REC_B_PRETRIGGER = 105;
constexpr int POWER_REC_B_INTERVAL = 106;
constexpr int POWER_REC_B_INTERVAL_VALUE = 107;
constexpr int POWER_REC_A_TRIG_A_OVER = 110;
constexpr int POWER_REC_A_TRIG_A_UNDER = 111;
constexpr int POWER_REC_A_TRIG_B_OVER = 112;
constexpr int POWER_REC_A_TRIG_B_UNDER = 113;
constexpr int POWER_REC_A_TRIG_IN0_RISE = 114;
constexpr int POWER_REC_A_TRIG_IN0_FALL = 115;
constexpr int POWER_REC_A_TRIG_IN1_RISE = 116;
constexpr int POWER_REC_A_TRIG_IN1_FALL = 117;
constexpr int POWER_REC_B_TRIG_A_OVER = 120;
constexpr int POWER_REC_B_TRIG_A_UNDER = 121;
constexpr int POWER_REC_B_TRIG_B_OVER = 122;
constexpr int POWER_REC_B_TRIG_B_UNDER = 123;
constexpr int POWER_REC_B_TRIG_IN0_RISE = 124;
constexpr int POWER_REC_B_TRIG_IN0_FALL = 125;
constexpr int POWER_REC_B_TRIG_IN1_RISE = 126;
constexpr int POWER_REC_B_TRIG_IN1_FALL = 127;

// panelPOWER_TMR0: "Timer 0", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_TMR0 = 5;
constexpr int POWER_TMR0_TAB_CHA = 10;
constexpr int POWER_TMR0_TAB_TMR1 = 11;
constexpr int POWER_TMR0_TAB_GEN = 12;
constexpr int POWER_TMR0_TAB_TMR0 = 13;
constexpr int POWER_TMR0_TAB_REC = 14;
constexpr int POWER_TMR0_TAB_CHB = 15;
// Start boxes 110, stop boxes 130, + edge number - 1; the TMR0 edges (9, 10) are not offered.
constexpr int POWER_TMR0_OFFTIME = 100;
constexpr int POWER_TMR0_ONTIME = 101;
constexpr int POWER_TMR0_SCALING = 102;
constexpr int POWER_TMR0_WORKMODE = 103;
constexpr int POWER_TMR0_SOURCE = 104;
constexpr int POWER_TMR0_START_A_OVER = 110;
constexpr int POWER_TMR0_START_A_UNDER = 111;
constexpr int POWER_TMR0_START_B_OVER = 112;
constexpr int POWER_TMR0_START_B_UNDER = 113;
constexpr int POWER_TMR0_START_IN0_RISE = 114;
constexpr int POWER_TMR0_START_IN0_FALL = 115;
constexpr int POWER_TMR0_START_IN1_RISE = 116;
constexpr int POWER_TMR0_START_IN1_FALL = 117;
constexpr int POWER_TMR0_START_TMR1_RISE = 120;
constexpr int POWER_TMR0_START_TMR1_FALL = 121;
constexpr int POWER_TMR0_STOP_A_OVER = 130;
constexpr int POWER_TMR0_STOP_A_UNDER = 131;
constexpr int POWER_TMR0_STOP_B_OVER = 132;
constexpr int POWER_TMR0_STOP_B_UNDER = 133;
constexpr int POWER_TMR0_STOP_IN0_RISE = 134;
constexpr int POWER_TMR0_STOP_IN0_FALL = 135;
constexpr int POWER_TMR0_STOP_IN1_RISE = 136;
constexpr int POWER_TMR0_STOP_IN1_FALL = 137;
constexpr int POWER_TMR0_STOP_TMR1_RISE = 140;
constexpr int POWER_TMR0_STOP_TMR1_FALL = 141;

// panelPOWER_TMR1: "Timer 1", inside the main panel at 110,105, callback CC_POWER
constexpr int RES_POWER_TMR1 = 6;
constexpr int POWER_TMR1_TAB_CHA = 10;
constexpr int POWER_TMR1_TAB_TMR1 = 11;
constexpr int POWER_TMR1_TAB_GEN = 12;
constexpr int POWER_TMR1_TAB_TMR0 = 13;
constexpr int POWER_TMR1_TAB_REC = 14;
constexpr int POWER_TMR1_TAB_CHB = 15;
// Start boxes 110, stop boxes 130, + edge number - 1; the TMR1 edges (11, 12) are not offered.
constexpr int POWER_TMR1_OFFTIME = 100;
constexpr int POWER_TMR1_ONTIME = 101;
constexpr int POWER_TMR1_SCALING = 102;
constexpr int POWER_TMR1_WORKMODE = 103;
constexpr int POWER_TMR1_SOURCE = 104;
constexpr int POWER_TMR1_START_A_OVER = 110;
constexpr int POWER_TMR1_START_A_UNDER = 111;
constexpr int POWER_TMR1_START_B_OVER = 112;
constexpr int POWER_TMR1_START_B_UNDER = 113;
constexpr int POWER_TMR1_START_IN0_RISE = 114;
constexpr int POWER_TMR1_START_IN0_FALL = 115;
constexpr int POWER_TMR1_START_IN1_RISE = 116;
constexpr int POWER_TMR1_START_IN1_FALL = 117;
constexpr int POWER_TMR1_START_TMR0_RISE = 118;
constexpr int POWER_TMR1_START_TMR0_FALL = 119;
constexpr int POWER_TMR1_STOP_A_OVER = 130;
constexpr int POWER_TMR1_STOP_A_UNDER = 131;
constexpr int POWER_TMR1_STOP_B_OVER = 132;
constexpr int POWER_TMR1_STOP_B_UNDER = 133;
constexpr int POWER_TMR1_STOP_IN0_RISE = 134;
constexpr int POWER_TMR1_STOP_IN0_FALL = 135;
constexpr int POWER_TMR1_STOP_IN1_RISE = 136;
constexpr int POWER_TMR1_STOP_IN1_FALL = 137;
constexpr int POWER_TMR1_STOP_TMR0_RISE = 138;
constexpr int POWER_TMR1_STOP_TMR0_FALL = 139;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind POWER_UI_CTRL_KINDS[] = {
    {RES_POWER, POWER_TAB_CHA, "QPushButton"},
    {RES_POWER, POWER_TAB_TMR1, "QPushButton"},
    {RES_POWER, POWER_TAB_GEN, "QPushButton"},
    {RES_POWER, POWER_TAB_TMR0, "QPushButton"},
    {RES_POWER, POWER_TAB_REC, "QPushButton"},
    {RES_POWER, POWER_TAB_CHB, "QPushButton"},
    {RES_POWER, POWER_POWER, "QSpinBox"},
    {RES_POWER, POWER_TRIGGERLEVEL, "QSpinBox"},
    {RES_POWER, POWER_FILTER_NONE, "QRadioButton"},
    {RES_POWER, POWER_FILTER_1, "QRadioButton"},
    {RES_POWER, POWER_FILTER_2, "QRadioButton"},
    {RES_POWER, POWER_FILTER_3, "QRadioButton"},
    {RES_POWER, POWER_NORM_ON, "QRadioButton"},
    {RES_POWER, POWER_NORM_OFF, "QRadioButton"},
    {RES_POWER, POWER_RESET_A_OVER, "QCheckBox"},
    {RES_POWER, POWER_RESET_A_UNDER, "QCheckBox"},
    {RES_POWER, POWER_RESET_B_OVER, "QCheckBox"},
    {RES_POWER, POWER_RESET_B_UNDER, "QCheckBox"},
    {RES_POWER, POWER_RESET_IN0_RISE, "QCheckBox"},
    {RES_POWER, POWER_RESET_IN0_FALL, "QCheckBox"},
    {RES_POWER, POWER_RESET_IN1_RISE, "QCheckBox"},
    {RES_POWER, POWER_RESET_IN1_FALL, "QCheckBox"},
    {RES_POWER, POWER_RESET_TMR0_RISE, "QCheckBox"},
    {RES_POWER, POWER_RESET_TMR0_FALL, "QCheckBox"},
    {RES_POWER, POWER_RESET_TMR1_RISE, "QCheckBox"},
    {RES_POWER, POWER_RESET_TMR1_FALL, "QCheckBox"},
    {RES_POWER_B, POWER_B_TAB_CHA, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_TMR1, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_GEN, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_TMR0, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_REC, "QPushButton"},
    {RES_POWER_B, POWER_B_TAB_CHB, "QPushButton"},
    {RES_POWER_B, POWER_B_POWER, "QSpinBox"},
    {RES_POWER_B, POWER_B_TRIGGERLEVEL, "QSpinBox"},
    {RES_POWER_B, POWER_B_FILTER_NONE, "QRadioButton"},
    {RES_POWER_B, POWER_B_FILTER_1, "QRadioButton"},
    {RES_POWER_B, POWER_B_FILTER_2, "QRadioButton"},
    {RES_POWER_B, POWER_B_FILTER_3, "QRadioButton"},
    {RES_POWER_B, POWER_B_NORM_ON, "QRadioButton"},
    {RES_POWER_B, POWER_B_NORM_OFF, "QRadioButton"},
    {RES_POWER_B, POWER_B_RESET_A_OVER, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_A_UNDER, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_B_OVER, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_B_UNDER, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_IN0_RISE, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_IN0_FALL, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_IN1_RISE, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_IN1_FALL, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_TMR0_RISE, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_TMR0_FALL, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_TMR1_RISE, "QCheckBox"},
    {RES_POWER_B, POWER_B_RESET_TMR1_FALL, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_TAB_CHA, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_TMR1, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_GEN, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_TMR0, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_REC, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_TAB_CHB, "QPushButton"},
    {RES_POWER_GEN, POWER_GEN_SCAN_RATE, "QSpinBox"},
    {RES_POWER_GEN, POWER_GEN_NORM_TIMECONSTANT, "QSpinBox"},
    {RES_POWER_GEN, POWER_GEN_IN1_USAGE, "QComboBox"},
    {RES_POWER_GEN, POWER_GEN_TEACH_TARGET, "QComboBox"},
    {RES_POWER_GEN, POWER_GEN_POTI_USAGE, "QComboBox"},
    {RES_POWER_GEN, POWER_GEN_BUTTON_USAGE, "QComboBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_ALL, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_A_OVER, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_A_UNDER, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_B_OVER, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_B_UNDER, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_IN0_HIGH, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_IN0_LOW, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_IN1_HIGH, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_IN1_LOW, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_TMR0_HIGH, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_TMR0_LOW, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_TMR1_HIGH, "QCheckBox"},
    {RES_POWER_GEN, POWER_GEN_NORMBASE_TMR1_LOW, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_TAB_CHA, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_TMR1, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_GEN, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_TMR0, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_REC, "QPushButton"},
    {RES_POWER_REC, POWER_REC_TAB_CHB, "QPushButton"},
    {RES_POWER_REC, POWER_REC_B_FOLLOWS_A, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_FOLLOWS_B, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_PRETRIGGER, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_A_INTERVAL, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_A_INTERVAL_VALUE, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_B_PRETRIGGER, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_B_INTERVAL, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_B_INTERVAL_VALUE, "QSpinBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_A_OVER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_A_UNDER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_B_OVER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_B_UNDER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_IN0_RISE, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_IN0_FALL, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_IN1_RISE, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_A_TRIG_IN1_FALL, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_A_OVER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_A_UNDER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_B_OVER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_B_UNDER, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_IN0_RISE, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_IN0_FALL, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_IN1_RISE, "QCheckBox"},
    {RES_POWER_REC, POWER_REC_B_TRIG_IN1_FALL, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_CHA, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_TMR1, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_GEN, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_TMR0, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_REC, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_TAB_CHB, "QPushButton"},
    {RES_POWER_TMR0, POWER_TMR0_OFFTIME, "QSpinBox"},
    {RES_POWER_TMR0, POWER_TMR0_ONTIME, "QSpinBox"},
    {RES_POWER_TMR0, POWER_TMR0_SCALING, "QSpinBox"},
    {RES_POWER_TMR0, POWER_TMR0_WORKMODE, "QComboBox"},
    {RES_POWER_TMR0, POWER_TMR0_SOURCE, "QComboBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_A_OVER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_A_UNDER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_B_OVER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_B_UNDER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_IN0_RISE, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_IN0_FALL, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_IN1_RISE, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_IN1_FALL, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_TMR1_RISE, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_START_TMR1_FALL, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_A_OVER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_A_UNDER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_B_OVER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_B_UNDER, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_IN0_RISE, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_IN0_FALL, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_IN1_RISE, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_IN1_FALL, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_TMR1_RISE, "QCheckBox"},
    {RES_POWER_TMR0, POWER_TMR0_STOP_TMR1_FALL, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_CHA, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_TMR1, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_GEN, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_TMR0, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_REC, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_TAB_CHB, "QPushButton"},
    {RES_POWER_TMR1, POWER_TMR1_OFFTIME, "QSpinBox"},
    {RES_POWER_TMR1, POWER_TMR1_ONTIME, "QSpinBox"},
    {RES_POWER_TMR1, POWER_TMR1_SCALING, "QSpinBox"},
    {RES_POWER_TMR1, POWER_TMR1_WORKMODE, "QComboBox"},
    {RES_POWER_TMR1, POWER_TMR1_SOURCE, "QComboBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_A_OVER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_A_UNDER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_B_OVER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_B_UNDER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_IN0_RISE, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_IN0_FALL, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_IN1_RISE, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_IN1_FALL, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_TMR0_RISE, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_START_TMR0_FALL, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_A_OVER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_A_UNDER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_B_OVER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_B_UNDER, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_IN0_RISE, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_IN0_FALL, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_IN1_RISE, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_IN1_FALL, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_TMR0_RISE, "QCheckBox"},
    {RES_POWER_TMR1, POWER_TMR1_STOP_TMR0_FALL, "QCheckBox"},
};
// clang-format on
