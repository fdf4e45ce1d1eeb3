// Control ids of the panel in "RecordViewer.ui".
//
// The record viewer has no controller numbering; all its ids are our own.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char RECVIEW_UI_FILE[] = "RecordViewer.ui";

// panelRECVIEW: "Record viewer", top-level window, callback CC_RECVIEW
constexpr int RES_RECVIEW = 1;
constexpr int RECVIEW_FILE_NAME = 100;     // the file shown, with its row and section counts
constexpr int RECVIEW_OPEN = 101;          // chooses a record file
constexpr int RECVIEW_CLOSE = 102;
constexpr int RECVIEW_GRAPH = 103;         // the rows over time or ROW, a curve per chosen column
constexpr int RECVIEW_XAXIS = 104;         // ring: 0 time stamps, 1 ROW (the row's place in the file)
constexpr int RECVIEW_RANGE = 105;         // the rows the graph shows
constexpr int RECVIEW_SHOW_FIRST = 106;    // check boxes of the ten columns, in file order,
constexpr int RECVIEW_SHOW_LAST = 115;     // RESULT A (106) ... EVAL 2 (115)
constexpr int RECVIEW_STATS = 116;         // a row per column over the rows shown
constexpr int RECVIEW_FACTS = 117;         // the header block
constexpr int RECVIEW_MESSAGES = 118;      // damaged lines and cut-off sections
constexpr int RECVIEW_SECTION = 119;       // ring of the graph sections
constexpr int RECVIEW_SECTION_GRAPH = 120; // the chosen section's curves, as the DATA graph shows them
constexpr int RECVIEW_FOLLOW = 121;        // check box: read on as the file grows

// The x axis ring's values.
constexpr int RECVIEW_X_TIME = 0;
constexpr int RECVIEW_X_INDEX = 1;

// The statistics table's columns (1-based, as the table calls count them).
constexpr int RECVIEW_COL_NAME = 1;
constexpr int RECVIEW_COL_COUNT = 2;
constexpr int RECVIEW_COL_MIN = 3;
constexpr int RECVIEW_COL_MAX = 4;
constexpr int RECVIEW_COL_MEAN = 5;
constexpr int RECVIEW_COL_STD = 6;
constexpr int RECVIEW_COL_MIN_AT = 7;
constexpr int RECVIEW_COL_MAX_AT = 8;

// clang-format off
inline constexpr PanelCtrlKind RECVIEW_UI_CTRL_KINDS[] = {
    {RES_RECVIEW, RECVIEW_FILE_NAME, "QLabel"},
    {RES_RECVIEW, RECVIEW_OPEN, "QPushButton"},
    {RES_RECVIEW, RECVIEW_CLOSE, "QPushButton"},
    {RES_RECVIEW, RECVIEW_GRAPH, "QvGraph"},
    {RES_RECVIEW, RECVIEW_XAXIS, "QComboBox"},
    {RES_RECVIEW, RECVIEW_RANGE, "QLabel"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 1, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 2, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 3, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 4, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 5, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 6, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 7, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_FIRST + 8, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_SHOW_LAST, "QCheckBox"},
    {RES_RECVIEW, RECVIEW_STATS, "QTableWidget"},
    {RES_RECVIEW, RECVIEW_FACTS, "QPlainTextEdit"},
    {RES_RECVIEW, RECVIEW_MESSAGES, "QPlainTextEdit"},
    {RES_RECVIEW, RECVIEW_SECTION, "QComboBox"},
    {RES_RECVIEW, RECVIEW_SECTION_GRAPH, "QvGraph"},
    {RES_RECVIEW, RECVIEW_FOLLOW, "QCheckBox"},
};
// clang-format on
