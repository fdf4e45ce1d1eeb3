// Control ids of the panels in "Bigdata.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char BIGDATA_UI_FILE[] = "Bigdata.ui";

// panelBIGDATA: "Big Data", inside the main panel at 110,105, callback CC_BIGDATA
constexpr int RES_BIGDATA = 1;
constexpr int BIGDATA_EVAL1 = 100; // evaluation 1 value in big digits
constexpr int BIGDATA_EVAL2 = 101; // evaluation 2 value in big digits

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind BIGDATA_UI_CTRL_KINDS[] = {
    {RES_BIGDATA, BIGDATA_EVAL1, "QDoubleSpinBox"},
    {RES_BIGDATA, BIGDATA_EVAL2, "QDoubleSpinBox"},
};
// clang-format on
