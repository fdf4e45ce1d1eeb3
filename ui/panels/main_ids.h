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
constexpr int MAIN_BRAND = 102;
constexpr int MAIN_HEADER = 103;
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
constexpr int MAIN_PROGRESS = 114;

// panelSHOW: "Show", inside the main panel at 125,175
constexpr int RES_SHOW = 3;
constexpr int SHOW_FRAME = 100;

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
    {RES_MAIN, MAIN_BRAND, "QLabel"},
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
    {RES_MAIN, MAIN_PROGRESS, "QProgressBar"},
    {RES_SHOW, SHOW_FRAME, "QFrame"},
};
// clang-format on
