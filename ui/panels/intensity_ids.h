// Control ids of the panels in "Intensity.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char INTENSITY_UI_FILE[] = "Intensity.ui";

// panelINTENSITY: "Intensity", inside the main panel at 520,125, callback CC_INTENSITY
constexpr int RES_INTENSITY = 1;
constexpr int INTENSITY_BAR_A = 100;
constexpr int INTENSITY_BAR_B = 101;
constexpr int INTENSITY_VALUE_A = 102;
constexpr int INTENSITY_VALUE_B = 103;
constexpr int INTENSITY_OVERLOAD_A = 104;
constexpr int INTENSITY_OVERLOAD_B = 105;
constexpr int INTENSITY_DISPLAY = 106;
constexpr int INTENSITY_HOLD = 107;
constexpr int INTENSITY_RESET_PEAK = 108;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind INTENSITY_UI_CTRL_KINDS[] = {
    {RES_INTENSITY, INTENSITY_BAR_A, "QProgressBar"},
    {RES_INTENSITY, INTENSITY_BAR_B, "QProgressBar"},
    {RES_INTENSITY, INTENSITY_VALUE_A, "QLabel"},
    {RES_INTENSITY, INTENSITY_VALUE_B, "QLabel"},
    {RES_INTENSITY, INTENSITY_OVERLOAD_A, "QvLed"},
    {RES_INTENSITY, INTENSITY_OVERLOAD_B, "QvLed"},
    {RES_INTENSITY, INTENSITY_DISPLAY, "QComboBox"},
    {RES_INTENSITY, INTENSITY_HOLD, "QPushButton"},
    {RES_INTENSITY, INTENSITY_RESET_PEAK, "QPushButton"},
};
// clang-format on
