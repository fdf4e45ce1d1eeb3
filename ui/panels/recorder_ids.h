// Control ids of the panels in "Recorder.ui".
//
// Ids below 100 follow the controller's panel numbering; ids from 100 up
// are our own additions. Captions that hide and dim with their group carry
// an id; plain captions carry none.
#pragma once

#include "ui/panels/ctrl_kind.h"

constexpr const char RECORDER_UI_FILE[] = "Recorder.ui";

// panelRECORDER: "Recorder", inside the main panel at 520,125, callback CC_RECORDER
constexpr int RES_RECORDER = 1;
constexpr int RECORDER_TYPE = 100;           // recording type: 0 Manual, 1 Automatic
constexpr int RECORDER_FILE_SELECT = 101;    // chooses the record file; locked during an automatic run
constexpr int RECORDER_FILE_NAME = 102;      // text box with the chosen path
constexpr int RECORDER_CAPTURE = 103;        // one row from the values held
constexpr int RECORDER_CAPTURE_GRAPH = 104;  // both recorded curves
constexpr int RECORDER_RECORDED = 105;       // rows recorded (recwerte)
constexpr int RECORDER_NUM_SETS = 106;       // data sets of an automatic run
constexpr int RECORDER_INTERVAL = 107;       // seconds between two rows
constexpr int RECORDER_START = 108;
constexpr int RECORDER_STOP = 109;
constexpr int RECORDER_BREAK = 110;          // pause and continue
constexpr int RECORDER_STORE_LED = 111;      // lit for 0.5 s after each row
constexpr int RECORDER_PROGRESS = 112;       // rows of this run, maximum = data sets
constexpr int RECORDER_REMAINING = 113;      // rows still to come
constexpr int RECORDER_REMAINING_TIME = 114; // days, hours, minutes, seconds still to come
constexpr int RECORDER_LBL_TYPE = 115;
constexpr int RECORDER_LBL_RECORDED = 116;
constexpr int RECORDER_LBL_NUM_SETS = 117;
constexpr int RECORDER_LBL_INTERVAL = 118;
constexpr int RECORDER_LBL_STORE = 119;
constexpr int RECORDER_LBL_REMAINING = 120;
constexpr int RECORDER_LBL_REMAINING_TIME = 121;
constexpr int RECORDER_VIEW = 143;           // opens the record viewer
constexpr int RECORDER_MQTT_PANEL = 145;     // brings up the MQTT publisher's panel

// panelMQTT: "MQTT publisher", top-level window brought up from the recorder,
// callback CC_MQTT_PANEL: publishing live values to the plant's broker.
constexpr int RES_MQTT = 2;
constexpr int MQTT_ON = 130;
constexpr int MQTT_HOST = 131;
constexpr int MQTT_PORT = 132;
constexpr int MQTT_PREFIX = 133;
constexpr int MQTT_RATE = 134;     // live messages per second at most, 0 = every cycle
constexpr int MQTT_USER = 135;
constexpr int MQTT_PASSWORD = 136;
constexpr int MQTT_REMEMBER = 137; // the password goes into the settings file
constexpr int MQTT_TLS = 138;
constexpr int MQTT_CAFILE = 139;
constexpr int MQTT_CA_SELECT = 140;
constexpr int MQTT_DROPPED = 141;  // messages dropped while the broker was away
constexpr int MQTT_STATE = 142;    // off, connecting, connected, away, refused
constexpr int MQTT_MESSAGE = 143;  // the publisher's last message, which the measuring loop leaves alone
constexpr int MQTT_CLOSE = 144;

// Every named id with the Qt class its panel gives it.
// clang-format off
inline constexpr PanelCtrlKind RECORDER_UI_CTRL_KINDS[] = {
    {RES_RECORDER, RECORDER_TYPE, "QComboBox"},
    {RES_RECORDER, RECORDER_FILE_SELECT, "QPushButton"},
    {RES_RECORDER, RECORDER_FILE_NAME, "QPlainTextEdit"},
    {RES_RECORDER, RECORDER_CAPTURE, "QPushButton"},
    {RES_RECORDER, RECORDER_CAPTURE_GRAPH, "QPushButton"},
    {RES_RECORDER, RECORDER_RECORDED, "QSpinBox"},
    {RES_RECORDER, RECORDER_NUM_SETS, "QSpinBox"},
    {RES_RECORDER, RECORDER_INTERVAL, "QDoubleSpinBox"},
    {RES_RECORDER, RECORDER_START, "QPushButton"},
    {RES_RECORDER, RECORDER_STOP, "QPushButton"},
    {RES_RECORDER, RECORDER_BREAK, "QPushButton"},
    {RES_RECORDER, RECORDER_STORE_LED, "QvLed"},
    {RES_RECORDER, RECORDER_PROGRESS, "QProgressBar"},
    {RES_RECORDER, RECORDER_REMAINING, "QSpinBox"},
    {RES_RECORDER, RECORDER_REMAINING_TIME, "QLabel"},
    {RES_RECORDER, RECORDER_LBL_TYPE, "QLabel"},
    {RES_RECORDER, RECORDER_LBL_RECORDED, "QLabel"},
    {RES_RECORDER, RECORDER_LBL_NUM_SETS, "QLabel"},
    {RES_RECORDER, RECORDER_LBL_INTERVAL, "QLabel"},
    {RES_RECORDER, RECORDER_LBL_STORE, "QLabel"},
    {RES_RECORDER, RECORDER_LBL_REMAINING, "QLabel"},
    {RES_RECORDER, RECORDER_LBL_REMAINING_TIME, "QLabel"},
    {RES_MQTT, MQTT_ON, "QCheckBox"},
    {RES_MQTT, MQTT_HOST, "QLineEdit"},
    {RES_MQTT, MQTT_PORT, "QSpinBox"},
    {RES_MQTT, MQTT_PREFIX, "QLineEdit"},
    {RES_MQTT, MQTT_RATE, "QDoubleSpinBox"},
    {RES_MQTT, MQTT_USER, "QLineEdit"},
    {RES_MQTT, MQTT_PASSWORD, "QLineEdit"},
    {RES_MQTT, MQTT_REMEMBER, "QCheckBox"},
    {RES_MQTT, MQTT_TLS, "QCheckBox"},
    {RES_MQTT, MQTT_CAFILE, "QLineEdit"},
    {RES_MQTT, MQTT_CA_SELECT, "QPushButton"},
    {RES_MQTT, MQTT_DROPPED, "QSpinBox"},
    {RES_MQTT, MQTT_STATE, "QLabel"},
    {RES_MQTT, MQTT_MESSAGE, "QLabel"},
    {RES_RECORDER, RECORDER_VIEW, "QPushButton"},
    {RES_RECORDER, RECORDER_MQTT_PANEL, "QPushButton"},
    {RES_MQTT, MQTT_CLOSE, "QPushButton"},
};
// clang-format on
