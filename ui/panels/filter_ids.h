// Control ids of the panels in "Filter.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char FILTER_UI_FILE[] = "Filter.ui";

// panelFILTER: "Filter", inside the main panel at 110,105, callback CC_FILTER
constexpr int RES_FILTER = 1;
// Enable boxes and settings of filters 1 to 4: FILTER_ENABLE_1 + k and
// FILTER_SETTING_1 + k for filter k + 1.
constexpr int FILTER_ENABLE_1 = 100;
constexpr int FILTER_ENABLE_2 = 101;
constexpr int FILTER_ENABLE_3 = 102;
constexpr int FILTER_ENABLE_4 = 103;
constexpr int FILTER_SETTING_1 = 104;
constexpr int FILTER_SETTING_2 = 105;
constexpr int FILTER_SETTING_3 = 106;
constexpr int FILTER_SETTING_4 = 107;
constexpr int FILTER_CMD_GET = 108;
constexpr int FILTER_CMD_SEND = 109;
constexpr int FILTER_NOTE = 110; // what SEND FILTER writes

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind FILTER_UI_CTRL_KINDS[] = {
    {RES_FILTER, FILTER_ENABLE_1, "QCheckBox"},
    {RES_FILTER, FILTER_ENABLE_2, "QCheckBox"},
    {RES_FILTER, FILTER_ENABLE_3, "QCheckBox"},
    {RES_FILTER, FILTER_ENABLE_4, "QCheckBox"},
    {RES_FILTER, FILTER_SETTING_1, "QSpinBox"},
    {RES_FILTER, FILTER_SETTING_2, "QSpinBox"},
    {RES_FILTER, FILTER_SETTING_3, "QSpinBox"},
    {RES_FILTER, FILTER_SETTING_4, "QSpinBox"},
    {RES_FILTER, FILTER_CMD_GET, "QPushButton"},
    {RES_FILTER, FILTER_CMD_SEND, "QPushButton"},
    {RES_FILTER, FILTER_NOTE, "QLabel"},
};
// clang-format on
