// Control ids of the panels in "Vectors.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char VECTORS_UI_FILE[] = "Vectors.ui";

// panelVECTORS: "Vectors", inside the main panel at 520,125, callback CC_VECTORS
constexpr int RES_VECTORS = 1;
constexpr int VECTORS_TABLE = 2;
constexpr int VECTORS_TEACH = 100;
constexpr int VECTORS_DELETE = 101;
constexpr int VECTORS_CLEAR = 102;
constexpr int VECTORS_MESSAGE = 103;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind VECTORS_UI_CTRL_KINDS[] = {
    {RES_VECTORS, VECTORS_TABLE, "QTableWidget"},
    {RES_VECTORS, VECTORS_TEACH, "QPushButton"},
    {RES_VECTORS, VECTORS_DELETE, "QPushButton"},
    {RES_VECTORS, VECTORS_CLEAR, "QPushButton"},
    {RES_VECTORS, VECTORS_MESSAGE, "QLabel"},
};
// clang-format on
