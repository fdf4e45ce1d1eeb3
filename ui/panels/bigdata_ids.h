// Control ids of the panels in "Bigdata.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char BIGDATA_UI_FILE[] = "Bigdata.ui";

// panelBIGDATA: "Big Data", inside the main panel at 110,105, callback CC_BIGDATA
constexpr int RES_BIGDATA = 1;
constexpr int BIGDATA_VALUE_A = 100;
constexpr int BIGDATA_VALUE_B = 101;
constexpr int BIGDATA_EVAL1 = 102;
constexpr int BIGDATA_EVAL2 = 103;
constexpr int BIGDATA_EVAL3 = 104;
constexpr int BIGDATA_EVAL4 = 105;
constexpr int BIGDATA_EVAL5 = 106;
constexpr int BIGDATA_OUT0 = 107;
constexpr int BIGDATA_OUT1 = 108;
constexpr int BIGDATA_OUT2 = 109;
constexpr int BIGDATA_MESSAGE = 110;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind BIGDATA_UI_CTRL_KINDS[] = {
    {RES_BIGDATA, BIGDATA_VALUE_A, "QLabel"},
    {RES_BIGDATA, BIGDATA_VALUE_B, "QLabel"},
    {RES_BIGDATA, BIGDATA_EVAL1, "QvLamp"},
    {RES_BIGDATA, BIGDATA_EVAL2, "QvLamp"},
    {RES_BIGDATA, BIGDATA_EVAL3, "QvLamp"},
    {RES_BIGDATA, BIGDATA_EVAL4, "QvLamp"},
    {RES_BIGDATA, BIGDATA_EVAL5, "QvLamp"},
    {RES_BIGDATA, BIGDATA_OUT0, "QvLed"},
    {RES_BIGDATA, BIGDATA_OUT1, "QvLed"},
    {RES_BIGDATA, BIGDATA_OUT2, "QvLed"},
    {RES_BIGDATA, BIGDATA_MESSAGE, "QLabel"},
};
// clang-format on
