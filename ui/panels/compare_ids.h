// Control ids of the panel in "Compare.ui".
//
// The compare view has no controller numbering; all its ids are our own.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char COMPARE_UI_FILE[] = "Compare.ui";

// panelCOMPARE: "Compare", top-level window, callback CC_COMPARE
constexpr int RES_COMPARE = 1;
constexpr int COMPARE_TITLE = 100;
constexpr int COMPARE_MESSAGE = 101;        // how many fields differ, and from which memory
constexpr int COMPARE_TABLE = 102;          // section, key, panel value, controller value, keep controller
constexpr int COMPARE_ALL_PANEL = 103;      // untick every row
constexpr int COMPARE_ALL_CONTROLLER = 104; // tick every row
constexpr int COMPARE_SEND = 105;
constexpr int COMPARE_UPDATE = 106;
constexpr int COMPARE_CLOSE = 107;

// The table's columns (1-based, as the table calls count them).
constexpr int COMPARE_COL_SECTION = 1;
constexpr int COMPARE_COL_KEY = 2;
constexpr int COMPARE_COL_PANEL = 3;
constexpr int COMPARE_COL_CONTROLLER = 4;
constexpr int COMPARE_COL_KEEP = 5;

inline constexpr PanelCtrlKind COMPARE_UI_CTRL_KINDS[] = {
    {RES_COMPARE, COMPARE_TITLE, "QLabel"},
    {RES_COMPARE, COMPARE_MESSAGE, "QLabel"},
    {RES_COMPARE, COMPARE_TABLE, "QTableWidget"},
    {RES_COMPARE, COMPARE_ALL_PANEL, "QPushButton"},
    {RES_COMPARE, COMPARE_ALL_CONTROLLER, "QPushButton"},
    {RES_COMPARE, COMPARE_SEND, "QPushButton"},
    {RES_COMPARE, COMPARE_UPDATE, "QPushButton"},
    {RES_COMPARE, COMPARE_CLOSE, "QPushButton"},
};
