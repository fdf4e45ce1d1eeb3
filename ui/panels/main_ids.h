// Control ids of the panels in "Q-VEX-MOD7-ARC.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char MAIN_UI_FILE[] = "Q-VEX-MOD7-ARC.ui";

// panelInterf: "Interface", top-level modal dialog, callback CC_INTERFACEP
constexpr int RES_INTERF = 1;
constexpr int INTERF_BAUD = 2;
constexpr int INTERF_PROTOCOL = 3;
constexpr int INTERF_ACCEPT = 4;
constexpr int INTERF_TRY = 5;
constexpr int INTERF_DISCARD = 6;
constexpr int INTERF_SEND_BAUD = 7;
constexpr int INTERF_COMPORT = 8;
constexpr int INTERF_TCPPORT = 9;
constexpr int INTERF_ADDRESS = 10;
constexpr int INTERF_MESSAGE = 11;
constexpr int INTERF_DEVICE = 12;
constexpr int INTERF_RECONNECT = 13;
constexpr int INTERF_LBL_PROTOCOL = 100;
constexpr int INTERF_LBL_COMPORT = 101;
constexpr int INTERF_LBL_BAUD = 102;
constexpr int INTERF_LBL_ADDRESS = 103;
constexpr int INTERF_LBL_TCPPORT = 104;

// panelMAIN: "Q-VEX-MOD7-ARC Scope", top-level main window, callback CC_MAIN_PANEL
constexpr int RES_MAIN = 2;
constexpr int MAIN_TOG_MEASURE = 8;
constexpr int MAIN_TOG_TEST = 10;
constexpr int MAIN_TOG_RECORDER = 12;
constexpr int MAIN_TOG_INTENSITY = 13;
constexpr int MAIN_TOG_VECTORS = 14;
constexpr int MAIN_TOG_SETTINGS = 15;
constexpr int MAIN_TOG_POWER = 16;
constexpr int MAIN_TOG_OUTPUTS = 17;
constexpr int MAIN_TOG_FILTER = 18;
constexpr int MAIN_TOG_TEMPLATES = 19;
constexpr int MAIN_TOG_UPDATE = 20;
constexpr int MAIN_STATUS = 21;
constexpr int MAIN_CONNECT = 24;
constexpr int MAIN_TOG_EXPERT = 45;
constexpr int MAIN_STRIPCHART = 100;
constexpr int MAIN_GRAPH = 101;
constexpr int MAIN_PICTURE = 102; // the panel's own title; brandings hide it
constexpr int MAIN_HEADER = 103;  // the banner behind the branding
constexpr int MAIN_NUM_POINTS = 104; // strip chart point count
constexpr int MAIN_RNG_XSCALE = 105; // DATA graph x scale
constexpr int MAIN_NUM_EVAL1 = 106;  // evaluation 1 value display
constexpr int MAIN_FRAME_TRANSFER = 107;
constexpr int MAIN_LBL_MEMORY = 108;
constexpr int MAIN_RADIO_RAM = 109;   // memory selector: controller RAM
constexpr int MAIN_RADIO_EEPROM = 110; // memory selector: controller EEPROM
constexpr int MAIN_RADIO_FILE = 111;  // memory selector: parameter file
constexpr int MAIN_BTN_SEND = 112;
constexpr int MAIN_BTN_GET = 113;
constexpr int MAIN_BTN_COMPARE = 134; // opens the compare view
constexpr int MAIN_PROGRESS = 114;
constexpr int MAIN_CMD_RUN = 115;              // group a: measurement commands
constexpr int MAIN_CMD_STOP = 116;
constexpr int MAIN_CMD_DATA = 117;
constexpr int MAIN_CMD_TRIGGER = 118;          // group b: sensor commands
constexpr int MAIN_CMD_RESET = 119;
constexpr int MAIN_CMD_TEACH = 120;
constexpr int MAIN_CMD_STOP_SAMPLING = 121;
constexpr int MAIN_CMD_RESTART_SAMPLING = 122;
constexpr int MAIN_CMD_VERSION = 123;
constexpr int MAIN_NUM_EVAL1_INT = 124;        // evaluation 1, integer part
constexpr int MAIN_NUM_EVAL2_INT = 125;        // evaluation 2, integer part
constexpr int MAIN_NUM_EVAL2 = 126;            // evaluation 2 value display
constexpr int MAIN_NUM_VALUE3 = 127;           // values 3 to 5, integer parts
constexpr int MAIN_NUM_VALUE4 = 128;
constexpr int MAIN_NUM_VALUE5 = 129;
constexpr int MAIN_NUM_MARGIN = 130;           // strip-chart margin
constexpr int MAIN_TOG_SHOW = 131;             // trace selection popup
constexpr int MAIN_LOGO = 140;                 // the branding's logo
constexpr int MAIN_LED_RECORD = 132;           // lit with the recorder's store indicator
constexpr int MAIN_LED_MQTT = 141;             // the MQTT publisher: off, connected (green), away (amber)
constexpr int MAIN_CMD_PRINT = 133;            // prints the main panel
constexpr int MAIN_CMD_REPORT = 135;           // writes the commissioning report

// panelSHOW: "Show", inside the main panel at 125,175
constexpr int RES_SHOW = 3;
constexpr int SHOW_FRAME = 100;
// One check box per strip-chart trace: trace t has id SHOW_EVAL1 - 1 + t.
constexpr int SHOW_EVAL1 = 101;
constexpr int SHOW_EVAL1_UPPER = 102;
constexpr int SHOW_EVAL1_REF = 103;
constexpr int SHOW_EVAL1_LOWER = 104;
constexpr int SHOW_EVAL2 = 105;
constexpr int SHOW_EVAL2_UPPER = 106;
constexpr int SHOW_EVAL2_REF = 107;
constexpr int SHOW_EVAL2_LOWER = 108;
constexpr int SHOW_RESULT_A = 109;
constexpr int SHOW_RAW_A = 110;
constexpr int SHOW_NORM_A = 111;
constexpr int SHOW_MAXRAW_A = 112;
constexpr int SHOW_TRIG_A = 113;
constexpr int SHOW_RESULT_B = 114;
constexpr int SHOW_RAW_B = 115;
constexpr int SHOW_NORM_B = 116;
constexpr int SHOW_MAXRAW_B = 117;
constexpr int SHOW_TRIG_B = 118;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind MAIN_UI_CTRL_KINDS[] = {
    {RES_INTERF, INTERF_BAUD, "QComboBox"},
    {RES_INTERF, INTERF_PROTOCOL, "QComboBox"},
    {RES_INTERF, INTERF_ACCEPT, "QPushButton"},
    {RES_INTERF, INTERF_TRY, "QPushButton"},
    {RES_INTERF, INTERF_DISCARD, "QPushButton"},
    {RES_INTERF, INTERF_SEND_BAUD, "QPushButton"},
    {RES_INTERF, INTERF_COMPORT, "QSpinBox"},
    {RES_INTERF, INTERF_TCPPORT, "QLineEdit"},
    {RES_INTERF, INTERF_ADDRESS, "QComboBox"},
    {RES_INTERF, INTERF_MESSAGE, "QLabel"},
    {RES_INTERF, INTERF_DEVICE, "QLabel"},
    {RES_INTERF, INTERF_RECONNECT, "QCheckBox"},
    {RES_INTERF, INTERF_LBL_PROTOCOL, "QLabel"},
    {RES_INTERF, INTERF_LBL_COMPORT, "QLabel"},
    {RES_INTERF, INTERF_LBL_BAUD, "QLabel"},
    {RES_INTERF, INTERF_LBL_ADDRESS, "QLabel"},
    {RES_INTERF, INTERF_LBL_TCPPORT, "QLabel"},
    {RES_MAIN, MAIN_TOG_MEASURE, "QPushButton"},
    {RES_MAIN, MAIN_TOG_TEST, "QPushButton"},
    {RES_MAIN, MAIN_TOG_RECORDER, "QPushButton"},
    {RES_MAIN, MAIN_TOG_INTENSITY, "QPushButton"},
    {RES_MAIN, MAIN_TOG_VECTORS, "QPushButton"},
    {RES_MAIN, MAIN_TOG_SETTINGS, "QPushButton"},
    {RES_MAIN, MAIN_TOG_POWER, "QPushButton"},
    {RES_MAIN, MAIN_TOG_OUTPUTS, "QPushButton"},
    {RES_MAIN, MAIN_TOG_FILTER, "QPushButton"},
    {RES_MAIN, MAIN_TOG_TEMPLATES, "QPushButton"},
    {RES_MAIN, MAIN_TOG_UPDATE, "QPushButton"},
    {RES_MAIN, MAIN_STATUS, "QLabel"},
    {RES_MAIN, MAIN_CONNECT, "QPushButton"},
    {RES_MAIN, MAIN_TOG_EXPERT, "QPushButton"},
    {RES_MAIN, MAIN_STRIPCHART, "QvStripChart"},
    {RES_MAIN, MAIN_GRAPH, "QvGraph"},
    {RES_MAIN, MAIN_PICTURE, "QLabel"},
    {RES_MAIN, MAIN_HEADER, "QFrame"},
    {RES_MAIN, MAIN_NUM_POINTS, "QSpinBox"},
    {RES_MAIN, MAIN_RNG_XSCALE, "QComboBox"},
    {RES_MAIN, MAIN_NUM_EVAL1, "QDoubleSpinBox"},
    {RES_MAIN, MAIN_FRAME_TRANSFER, "QFrame"},
    {RES_MAIN, MAIN_LBL_MEMORY, "QLabel"},
    {RES_MAIN, MAIN_RADIO_RAM, "QRadioButton"},
    {RES_MAIN, MAIN_RADIO_EEPROM, "QRadioButton"},
    {RES_MAIN, MAIN_RADIO_FILE, "QRadioButton"},
    {RES_MAIN, MAIN_BTN_SEND, "QPushButton"},
    {RES_MAIN, MAIN_BTN_GET, "QPushButton"},
    {RES_MAIN, MAIN_BTN_COMPARE, "QPushButton"},
    {RES_MAIN, MAIN_PROGRESS, "QProgressBar"},
    {RES_MAIN, MAIN_CMD_RUN, "QPushButton"},
    {RES_MAIN, MAIN_CMD_STOP, "QPushButton"},
    {RES_MAIN, MAIN_CMD_DATA, "QPushButton"},
    {RES_MAIN, MAIN_CMD_TRIGGER, "QPushButton"},
    {RES_MAIN, MAIN_CMD_RESET, "QPushButton"},
    {RES_MAIN, MAIN_CMD_TEACH, "QPushButton"},
    {RES_MAIN, MAIN_CMD_STOP_SAMPLING, "QPushButton"},
    {RES_MAIN, MAIN_CMD_RESTART_SAMPLING, "QPushButton"},
    {RES_MAIN, MAIN_CMD_VERSION, "QPushButton"},
    {RES_MAIN, MAIN_NUM_EVAL1_INT, "QSpinBox"},
    {RES_MAIN, MAIN_NUM_EVAL2_INT, "QSpinBox"},
    {RES_MAIN, MAIN_NUM_EVAL2, "QDoubleSpinBox"},
    {RES_MAIN, MAIN_NUM_VALUE3, "QSpinBox"},
    {RES_MAIN, MAIN_NUM_VALUE4, "QSpinBox"},
    {RES_MAIN, MAIN_NUM_VALUE5, "QSpinBox"},
    {RES_MAIN, MAIN_NUM_MARGIN, "QSpinBox"},
    {RES_MAIN, MAIN_TOG_SHOW, "QPushButton"},
    {RES_MAIN, MAIN_LOGO, "QvCanvas"},
    {RES_MAIN, MAIN_LED_RECORD, "QvLed"},
    {RES_MAIN, MAIN_LED_MQTT, "QvLed"},
    {RES_MAIN, MAIN_CMD_PRINT, "QPushButton"},
    {RES_MAIN, MAIN_CMD_REPORT, "QPushButton"},
    {RES_SHOW, SHOW_FRAME, "QFrame"},
    {RES_SHOW, SHOW_EVAL1, "QCheckBox"},
    {RES_SHOW, SHOW_EVAL1_UPPER, "QCheckBox"},
    {RES_SHOW, SHOW_EVAL1_REF, "QCheckBox"},
    {RES_SHOW, SHOW_EVAL1_LOWER, "QCheckBox"},
    {RES_SHOW, SHOW_EVAL2, "QCheckBox"},
    {RES_SHOW, SHOW_EVAL2_UPPER, "QCheckBox"},
    {RES_SHOW, SHOW_EVAL2_REF, "QCheckBox"},
    {RES_SHOW, SHOW_EVAL2_LOWER, "QCheckBox"},
    {RES_SHOW, SHOW_RESULT_A, "QCheckBox"},
    {RES_SHOW, SHOW_RAW_A, "QCheckBox"},
    {RES_SHOW, SHOW_NORM_A, "QCheckBox"},
    {RES_SHOW, SHOW_MAXRAW_A, "QCheckBox"},
    {RES_SHOW, SHOW_TRIG_A, "QCheckBox"},
    {RES_SHOW, SHOW_RESULT_B, "QCheckBox"},
    {RES_SHOW, SHOW_RAW_B, "QCheckBox"},
    {RES_SHOW, SHOW_NORM_B, "QCheckBox"},
    {RES_SHOW, SHOW_MAXRAW_B, "QCheckBox"},
    {RES_SHOW, SHOW_TRIG_B, "QCheckBox"},
};
// clang-format on
