// Control ids of the panels in "Intensity.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char INTENSITY_UI_FILE[] = "Intensity.ui";

// panelINTENSITY: "Intensity", inside the main panel at 520,125, callback CC_INTENSITY
// Rows NORM, RAW, MAX RAW and RESULT with four channels each (A, B, C, D);
// status lamps 1-2 show rawdata word 13 bits 0-1, lamps 3-5 word 14 bits 0-2.
constexpr int RES_INTENSITY = 1;
constexpr int INTENSITY_NORM_A = 100;
constexpr int INTENSITY_NORM_B = 101;
constexpr int INTENSITY_NORM_C = 102;
constexpr int INTENSITY_NORM_D = 103;
constexpr int INTENSITY_RAW_A = 104;
constexpr int INTENSITY_RAW_B = 105;
constexpr int INTENSITY_RAW_C = 106;
constexpr int INTENSITY_RAW_D = 107;
constexpr int INTENSITY_MAXRAW_A = 108;
constexpr int INTENSITY_MAXRAW_B = 109;
constexpr int INTENSITY_MAXRAW_C = 110;
constexpr int INTENSITY_MAXRAW_D = 111;
constexpr int INTENSITY_RESULT_A = 112;
constexpr int INTENSITY_RESULT_B = 113;
constexpr int INTENSITY_RESULT_C = 114;
constexpr int INTENSITY_RESULT_D = 115;
constexpr int INTENSITY_STATUS_1 = 116;
constexpr int INTENSITY_STATUS_2 = 117;
constexpr int INTENSITY_STATUS_3 = 118;
constexpr int INTENSITY_STATUS_4 = 119;
constexpr int INTENSITY_STATUS_5 = 120;
constexpr int INTENSITY_ANALOG = 121;
constexpr int INTENSITY_DETAIL = 122;
constexpr int INTENSITY_ALL_CHANNELS = 123;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind INTENSITY_UI_CTRL_KINDS[] = {
    {RES_INTENSITY, INTENSITY_NORM_A, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_NORM_B, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_NORM_C, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_NORM_D, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RAW_A, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RAW_B, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RAW_C, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RAW_D, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_MAXRAW_A, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_MAXRAW_B, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_MAXRAW_C, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_MAXRAW_D, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RESULT_A, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RESULT_B, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RESULT_C, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_RESULT_D, "QSpinBox"},
    {RES_INTENSITY, INTENSITY_STATUS_1, "QvLamp"},
    {RES_INTENSITY, INTENSITY_STATUS_2, "QvLamp"},
    {RES_INTENSITY, INTENSITY_STATUS_3, "QvLamp"},
    {RES_INTENSITY, INTENSITY_STATUS_4, "QvLamp"},
    {RES_INTENSITY, INTENSITY_STATUS_5, "QvLamp"},
    {RES_INTENSITY, INTENSITY_ANALOG, "QDoubleSpinBox"},
    {RES_INTENSITY, INTENSITY_DETAIL, "QComboBox"},
    {RES_INTENSITY, INTENSITY_ALL_CHANNELS, "QPushButton"},
};
// clang-format on
