// Control ids of the panels in "Update.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char UPDATE_UI_FILE[] = "Update.ui";

// panelUPDATE: "Firmware Update", inside the main panel at 110,105, callback CC_PANEL_UPDT
constexpr int RES_UPDATE = 1;
constexpr int UPDATE_FW_VERSION = 100;
constexpr int UPDATE_FILE = 101;
constexpr int UPDATE_BROWSE = 102;
constexpr int UPDATE_FILE_INFO = 103;
constexpr int UPDATE_START = 104;
constexpr int UPDATE_CANCEL = 105;
constexpr int UPDATE_BOOTLOADER = 106;
constexpr int UPDATE_PROGRESS = 107;
constexpr int UPDATE_LOG = 108;
constexpr int UPDATE_MESSAGE = 109;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind UPDATE_UI_CTRL_KINDS[] = {
    {RES_UPDATE, UPDATE_FW_VERSION, "QLabel"},
    {RES_UPDATE, UPDATE_FILE, "QLineEdit"},
    {RES_UPDATE, UPDATE_BROWSE, "QPushButton"},
    {RES_UPDATE, UPDATE_FILE_INFO, "QLabel"},
    {RES_UPDATE, UPDATE_START, "QPushButton"},
    {RES_UPDATE, UPDATE_CANCEL, "QPushButton"},
    {RES_UPDATE, UPDATE_BOOTLOADER, "QvLed"},
    {RES_UPDATE, UPDATE_PROGRESS, "QProgressBar"},
    {RES_UPDATE, UPDATE_LOG, "QPlainTextEdit"},
    {RES_UPDATE, UPDATE_MESSAGE, "QLabel"},
};
// clang-format on
