// Control ids of the panel in "History.ui": the parameter journal's entries.
//
// All ids are our own.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char HISTORY_UI_FILE[] = "History.ui";

// panelHISTORY: "History", top-level window, callback CC_HISTORY
constexpr int RES_HISTORY = 1;
constexpr int HISTORY_MESSAGE = 100;
constexpr int HISTORY_CONTROLLER = 101; // filter: part of the version text or link
constexpr int HISTORY_SINCE = 102;      // filter: from this day on
constexpr int HISTORY_LIST = 103;
constexpr int HISTORY_TABLE = 104; // the entries, newest first
constexpr int HISTORY_CHANGES = 105;
constexpr int HISTORY_COMPARE_PANELS = 106;
constexpr int HISTORY_OTHER = 107; // the entry COMPARE WITH ENTRY compares with
constexpr int HISTORY_COMPARE_ENTRY = 108;
constexpr int HISTORY_LOAD = 109;
constexpr int HISTORY_FIELDS = 110; // section, key, before, after
constexpr int HISTORY_FIELDS_TITLE = 111;
constexpr int HISTORY_CLOSE = 112;

// The entries table's columns (1-based).
constexpr int HISTORY_COL_ID = 1;
constexpr int HISTORY_COL_TIME = 2;
constexpr int HISTORY_COL_BY = 3;
constexpr int HISTORY_COL_CONTROLLER = 4;
constexpr int HISTORY_COL_WHAT = 5;
constexpr int HISTORY_COL_OUTCOME = 6;

inline constexpr PanelCtrlKind HISTORY_UI_CTRL_KINDS[] = {
    {RES_HISTORY, HISTORY_MESSAGE, "QLabel"},
    {RES_HISTORY, HISTORY_CONTROLLER, "QLineEdit"},
    {RES_HISTORY, HISTORY_SINCE, "QLineEdit"},
    {RES_HISTORY, HISTORY_LIST, "QPushButton"},
    {RES_HISTORY, HISTORY_TABLE, "QTableWidget"},
    {RES_HISTORY, HISTORY_CHANGES, "QPushButton"},
    {RES_HISTORY, HISTORY_COMPARE_PANELS, "QPushButton"},
    {RES_HISTORY, HISTORY_OTHER, "QSpinBox"},
    {RES_HISTORY, HISTORY_COMPARE_ENTRY, "QPushButton"},
    {RES_HISTORY, HISTORY_LOAD, "QPushButton"},
    {RES_HISTORY, HISTORY_FIELDS, "QTableWidget"},
    {RES_HISTORY, HISTORY_FIELDS_TITLE, "QLabel"},
    {RES_HISTORY, HISTORY_CLOSE, "QPushButton"},
};
