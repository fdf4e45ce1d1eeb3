// Control ids of the panels in "Expert.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char EXPERT_UI_FILE[] = "Expert.ui";

// panelEXPERT: "Expert", inside the main panel at 110,105, callback CC_EXPERT
constexpr int RES_EXPERT = 1;
constexpr int EXPERT_CONFIRM_PASSWORD = 6;
constexpr int EXPERT_NEW_PASSWORD = 7;
constexpr int EXPERT_PASSWORD = 8;
constexpr int EXPERT_ENTER = 9;
constexpr int EXPERT_CHANGE_PASSWORD = 10;
constexpr int EXPERT_LOGOUT = 11;
constexpr int EXPERT_HIDE_UPDATE = 12;
constexpr int EXPERT_HIDE_TEST = 13;
constexpr int EXPERT_HIDE_FILTER = 14;
constexpr int EXPERT_HIDE_SETTINGS = 15;
constexpr int EXPERT_HIDE_POWER = 16;
constexpr int EXPERT_HIDE_SENDGET = 17;
constexpr int EXPERT_HIDE_RECORDER = 18;
constexpr int EXPERT_HIDE_OUTPUTS = 19;
constexpr int EXPERT_HIDE_VECTORS = 20;
constexpr int EXPERT_HIDE_INTENSITY = 21;
constexpr int EXPERT_ACCESS = 22;
constexpr int EXPERT_FRAME_PASSWORD = 100;
constexpr int EXPERT_LBL_PASSWORD = 101;
constexpr int EXPERT_FRAME_B = 102;
constexpr int EXPERT_LBL_B = 103;
constexpr int EXPERT_FRAME_C = 104;
constexpr int EXPERT_LBL_C = 105;
constexpr int EXPERT_FRAME_VIEW = 106;
constexpr int EXPERT_LBL_VIEW = 107;
constexpr int EXPERT_FRAME_D = 108;
constexpr int EXPERT_LBL_D = 109;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind EXPERT_UI_CTRL_KINDS[] = {
    {RES_EXPERT, EXPERT_CONFIRM_PASSWORD, "QLineEdit"},
    {RES_EXPERT, EXPERT_NEW_PASSWORD, "QLineEdit"},
    {RES_EXPERT, EXPERT_PASSWORD, "QLineEdit"},
    {RES_EXPERT, EXPERT_ENTER, "QPushButton"},
    {RES_EXPERT, EXPERT_CHANGE_PASSWORD, "QPushButton"},
    {RES_EXPERT, EXPERT_LOGOUT, "QPushButton"},
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
    {RES_EXPERT, EXPERT_ACCESS, "QLabel"},
    {RES_EXPERT, EXPERT_FRAME_PASSWORD, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_PASSWORD, "QLabel"},
    {RES_EXPERT, EXPERT_FRAME_B, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_B, "QLabel"},
    {RES_EXPERT, EXPERT_FRAME_C, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_C, "QLabel"},
    {RES_EXPERT, EXPERT_FRAME_VIEW, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_VIEW, "QLabel"},
    {RES_EXPERT, EXPERT_FRAME_D, "QFrame"},
    {RES_EXPERT, EXPERT_LBL_D, "QLabel"},
};
// clang-format on
