// Control ids of the panel in "Vectors.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char VECTORS_UI_FILE[] = "Vectors.ui";

// panelVECTORS: "Vectors", inside the main panel at 520,125, callback CC_VECTORS
constexpr int RES_VECTORS = 1;
constexpr int VECTORS_TABLE = 2; // 7 rows x 2 columns
constexpr int VECTORS_TEACH = 100;
constexpr int VECTORS_MESSAGE = 103;
constexpr int VECTORS_AUTO_ADVANCE = 104;
constexpr int VECTORS_TITLE = 105;
constexpr int kVectorRows = 7;

inline constexpr PanelCtrlKind VECTORS_UI_CTRL_KINDS[] = {
    {RES_VECTORS, VECTORS_TABLE, "QTableWidget"},
    {RES_VECTORS, VECTORS_TEACH, "QPushButton"},
    {RES_VECTORS, VECTORS_MESSAGE, "QLabel"},
    {RES_VECTORS, VECTORS_AUTO_ADVANCE, "QCheckBox"},
    {RES_VECTORS, VECTORS_TITLE, "QLabel"},
};
