// Control ids of the panels in "Recorder.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Plain captions carry no id.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char RECORDER_UI_FILE[] = "Recorder.ui";

// panelRECORDER: "Recorder", inside the main panel at 520,125, callback CC_RECORDER
constexpr int RES_RECORDER = 1;
constexpr int RECORDER_RECORD = 100;
constexpr int RECORDER_RECORDING = 101;
constexpr int RECORDER_SAMPLES = 102;
constexpr int RECORDER_INTERVAL = 103;
constexpr int RECORDER_TRIGGER = 104;
constexpr int RECORDER_PRETRIGGER = 105;
constexpr int RECORDER_RING = 106;
constexpr int RECORDER_FILE = 107;
constexpr int RECORDER_SAVE = 108;
constexpr int RECORDER_CLEAR = 109;
constexpr int RECORDER_FILL = 110;
constexpr int RECORDER_MESSAGE = 111;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind RECORDER_UI_CTRL_KINDS[] = {
    {RES_RECORDER, RECORDER_RECORD, "QPushButton"},
    {RES_RECORDER, RECORDER_RECORDING, "QvLed"},
    {RES_RECORDER, RECORDER_SAMPLES, "QSpinBox"},
    {RES_RECORDER, RECORDER_INTERVAL, "QSpinBox"},
    {RES_RECORDER, RECORDER_TRIGGER, "QComboBox"},
    {RES_RECORDER, RECORDER_PRETRIGGER, "QSpinBox"},
    {RES_RECORDER, RECORDER_RING, "QCheckBox"},
    {RES_RECORDER, RECORDER_FILE, "QLineEdit"},
    {RES_RECORDER, RECORDER_SAVE, "QPushButton"},
    {RES_RECORDER, RECORDER_CLEAR, "QPushButton"},
    {RES_RECORDER, RECORDER_FILL, "QProgressBar"},
    {RES_RECORDER, RECORDER_MESSAGE, "QLabel"},
};
// clang-format on
