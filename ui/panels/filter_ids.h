// Control ids of the panels in "Filter.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char FILTER_UI_FILE[] = "Filter.ui";

// panelFILTER: "Filter", inside the main panel at 110,105, callback CC_FILTER
constexpr int RES_FILTER = 1;
constexpr int FILTER_TYPE = 100;
constexpr int FILTER_WINDOW = 101;
constexpr int FILTER_CUTOFF = 102;
constexpr int FILTER_CH_A = 103;
constexpr int FILTER_CH_B = 104;
constexpr int FILTER_APPLY = 105;
constexpr int FILTER_RESPONSE = 106;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind FILTER_UI_CTRL_KINDS[] = {
    {RES_FILTER, FILTER_TYPE, "QComboBox"},
    {RES_FILTER, FILTER_WINDOW, "QSpinBox"},
    {RES_FILTER, FILTER_CUTOFF, "QDoubleSpinBox"},
    {RES_FILTER, FILTER_CH_A, "QCheckBox"},
    {RES_FILTER, FILTER_CH_B, "QCheckBox"},
    {RES_FILTER, FILTER_APPLY, "QPushButton"},
    {RES_FILTER, FILTER_RESPONSE, "QvGraph"},
};
// clang-format on
