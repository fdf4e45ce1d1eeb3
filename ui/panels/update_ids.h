// Control ids of the panels in "Update.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char UPDATE_UI_FILE[] = "Update.ui";

// panelUPDATE: "Firmware Update", inside the main panel at 110,105, callback CC_PANEL_UPDT
constexpr int RES_UPDATE = 1;
constexpr int UPDATE_FIRMWARE_TEXT = 100;     // path of the firmware file
constexpr int UPDATE_CMD_LOAD_FIRMWARE = 101; // CC_CMD_LOAD_FIRMWARE
constexpr int UPDATE_LED_FIRMWARE = 102;      // green: firmware file chosen
constexpr int UPDATE_CHK_USE_A = 103;         // CC_CHK_ENABLE
constexpr int UPDATE_CMD_LOAD_A = 104;        // CC_CMD_LOAD_LINDATA_A
constexpr int UPDATE_TEXT_A = 105;            // path of table A
constexpr int UPDATE_LED_A = 106;             // green: table A chosen; lit while used
constexpr int UPDATE_CHK_USE_B = 107;         // CC_CHK_ENABLE
constexpr int UPDATE_CMD_LOAD_B = 108;        // CC_CMD_LOAD_LINDATA_B
constexpr int UPDATE_TEXT_B = 109;
constexpr int UPDATE_LED_B = 110;
constexpr int UPDATE_NUM_WINDOW_START = 111;  // table window, relative to the program memory; CC_NUM_MERGE_WINDOW
constexpr int UPDATE_NUM_WINDOW_END = 112;    // CC_NUM_MERGE_WINDOW
constexpr int UPDATE_CMD_MERGE = 113;         // CC_CMD_MERGE_DATA
constexpr int UPDATE_MERGED_TEXT = 114;       // path of the merged file
constexpr int UPDATE_LED_MERGED = 115;        // green: merged file written; lit while a table is used
constexpr int UPDATE_CMD_PROGRAM = 116;       // CC_CMD_PROGRAM
constexpr int UPDATE_LED_READY = 117;         // yellow: something to program; red: not ready or failed
constexpr int UPDATE_LOADER_OUTPUT = 118;     // what the loader sends

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind UPDATE_UI_CTRL_KINDS[] = {
    {RES_UPDATE, UPDATE_FIRMWARE_TEXT, "QLineEdit"},
    {RES_UPDATE, UPDATE_CMD_LOAD_FIRMWARE, "QPushButton"},
    {RES_UPDATE, UPDATE_LED_FIRMWARE, "QvLed"},
    {RES_UPDATE, UPDATE_CHK_USE_A, "QCheckBox"},
    {RES_UPDATE, UPDATE_CMD_LOAD_A, "QPushButton"},
    {RES_UPDATE, UPDATE_TEXT_A, "QLineEdit"},
    {RES_UPDATE, UPDATE_LED_A, "QvLed"},
    {RES_UPDATE, UPDATE_CHK_USE_B, "QCheckBox"},
    {RES_UPDATE, UPDATE_CMD_LOAD_B, "QPushButton"},
    {RES_UPDATE, UPDATE_TEXT_B, "QLineEdit"},
    {RES_UPDATE, UPDATE_LED_B, "QvLed"},
    {RES_UPDATE, UPDATE_NUM_WINDOW_START, "QSpinBox"},
    {RES_UPDATE, UPDATE_NUM_WINDOW_END, "QSpinBox"},
    {RES_UPDATE, UPDATE_CMD_MERGE, "QPushButton"},
    {RES_UPDATE, UPDATE_MERGED_TEXT, "QLineEdit"},
    {RES_UPDATE, UPDATE_LED_MERGED, "QvLed"},
    {RES_UPDATE, UPDATE_CMD_PROGRAM, "QPushButton"},
    {RES_UPDATE, UPDATE_LED_READY, "QvLed"},
    {RES_UPDATE, UPDATE_LOADER_OUTPUT, "QPlainTextEdit"},
};
// clang-format on
