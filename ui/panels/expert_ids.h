// Control ids of the panels in "Expert.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char EXPERT_UI_FILE[] = "Expert.ui";

// panelEXPERT: "Expert", inside the main panel at 110,105, callback CC_EXPERT
constexpr int RES_EXPERT = 1;
// Group a: the password fields, their captions and the set-new-password command.
constexpr int EXPERT_CONFIRM_PASSWORD = 6;
constexpr int EXPERT_NEW_PASSWORD = 7;
constexpr int EXPERT_PASSWORD = 8; // never dimmed
constexpr int EXPERT_LBL_NEW = 9;
constexpr int EXPERT_CHANGE_PASSWORD = 10;
constexpr int EXPERT_LBL_CONFIRM = 11;
// Group d: hide boxes of the maintenance toggles (kept hidden).
constexpr int EXPERT_HIDE_UPDATE = 12;
constexpr int EXPERT_HIDE_TEST = 13;
constexpr int EXPERT_HIDE_FILTER = 14;
// Group c.
constexpr int EXPERT_HIDE_SETTINGS = 15;
constexpr int EXPERT_HIDE_POWER = 16;
// Group b: the lock box, four hide boxes and their frame.
constexpr int EXPERT_HIDE_SENDGET = 17; // the lock box
constexpr int EXPERT_HIDE_RECORDER = 18;
constexpr int EXPERT_HIDE_OUTPUTS = 19;
constexpr int EXPERT_HIDE_VECTORS = 20;
constexpr int EXPERT_HIDE_INTENSITY = 21;
constexpr int EXPERT_FRAME_HIDE = 22; // shown and hidden with group b, never dimmed
constexpr int EXPERT_FRAME_PASSWORD = 100;
constexpr int EXPERT_LBL_PASSWORD = 101;
constexpr int EXPERT_FRAME_MODE = 102;
constexpr int EXPERT_LBL_MODE = 103;
constexpr int EXPERT_FRAME_MAINT = 104;
constexpr int EXPERT_LBL_MAINT = 105;
constexpr int EXPERT_CMD_ENTER_EXPERT = 110;
constexpr int EXPERT_CMD_ENTER_STANDARD = 111;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind EXPERT_UI_CTRL_KINDS[] = {
    {RES_EXPERT, EXPERT_CONFIRM_PASSWORD, "QLineEdit"},
    {RES_EXPERT, EXPERT_NEW_PASSWORD, "QLineEdit"},
    {RES_EXPERT, EXPERT_PASSWORD, "QLineEdit"},
    {RES_EXPERT, EXPERT_LBL_NEW, "QLabel"},
    {RES_EXPERT, EXPERT_CHANGE_PASSWORD, "QPushButton"},
    {RES_EXPERT, EXPERT_LBL_CONFIRM, "QLabel"},
    {RES_EXPERT, EXPERT_HIDE_UPDATE, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_TEST, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_FILTER, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_SETTINGS, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_POWER, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_SENDGET, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_RECORDER, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_OUTPUTS, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_VECTORS, "QCheckBox"},
    {RES_EXPERT, EXPERT_HIDE_INTENSITY, "QCheckBox"},
    {RES_EXPERT, EXPERT_FRAME_HIDE, "QFrame"},
    {RES_EXPERT, EXPERT_FRAME_PASSWORD, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_PASSWORD, "QLabel"},
    {RES_EXPERT, EXPERT_FRAME_MODE, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_MODE, "QLabel"},
    {RES_EXPERT, EXPERT_FRAME_MAINT, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_MAINT, "QLabel"},
    {RES_EXPERT, EXPERT_CMD_ENTER_EXPERT, "QPushButton"},
    {RES_EXPERT, EXPERT_CMD_ENTER_STANDARD, "QPushButton"},
};
// clang-format on
