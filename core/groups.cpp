#include "core/groups.h"

#include "core/panels.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/test_ids.h"
#include "ui/panels/recorder_ids.h"

int stop_flag = 1;
int send_get_status = 1;

namespace {
// The main panel's command groups.
const std::vector<int> kMeasureCommands = {MAIN_CMD_RUN, MAIN_CMD_STOP, MAIN_CMD_DATA};
const std::vector<int> kSensorCommands = {MAIN_CMD_TRIGGER,       MAIN_CMD_RESET,            MAIN_CMD_TEACH,
                                          MAIN_CMD_STOP_SAMPLING, MAIN_CMD_RESTART_SAMPLING, MAIN_CMD_VERSION};
const std::vector<int> kSendGetGroup = {MAIN_RADIO_RAM, MAIN_RADIO_EEPROM, MAIN_RADIO_FILE, MAIN_BTN_SEND,
                                        MAIN_BTN_GET,   MAIN_BTN_COMPARE};

// The test panel's groups: entering test mode, and what test mode offers.
const std::vector<int> kTestEntryGroup = {TEST_CMD_ENTER, TEST_ENTER_NOTE};
const std::vector<int> kTestModeGroup = {TEST_CMD_EXIT, TEST_VALUE_1,  TEST_VALUE_2,  TEST_VALUE_3,
                                         TEST_VALUE_4,  TEST_VALUE_5,  TEST_VALUE_6,  TEST_LAMP_1,
                                         TEST_LAMP_2,   TEST_SWITCH_1, TEST_SWITCH_2, TEST_INPUT_1,
                                         TEST_INPUT_2};

// The recorder panel's groups, each with the captions that go with it.
const std::vector<int> kRecorderGroups[5] = {
    {RECORDER_TYPE, RECORDER_LBL_TYPE},
    {RECORDER_CAPTURE, RECORDER_CAPTURE_GRAPH},
    {RECORDER_PROGRESS, RECORDER_REMAINING_TIME, RECORDER_LBL_REMAINING_TIME, RECORDER_REMAINING,
     RECORDER_LBL_REMAINING},
    {RECORDER_BREAK, RECORDER_START, RECORDER_STOP, RECORDER_STORE_LED, RECORDER_LBL_STORE},
    {RECORDER_NUM_SETS, RECORDER_LBL_NUM_SETS, RECORDER_INTERVAL, RECORDER_LBL_INTERVAL},
};
} // namespace

void SetGroupState(int panel, const std::vector<int> &controls, int state) {
    if (state < GROUP_HIDDEN || state > GROUP_ENABLED) return;
    for (int id : controls) {
        SetCtrlAttribute(panel, id, ATTR_VISIBLE, state == GROUP_HIDDEN ? 0 : 1);
        if (state != GROUP_HIDDEN) SetCtrlAttribute(panel, id, ATTR_DIMMED, state == GROUP_DIMMED ? 1 : 0);
    }
}

void set_main_buttons(int a, int b, int c) {
    SetGroupState(panelMAIN, kMeasureCommands, a);
    SetGroupState(panelMAIN, kSensorCommands, b);
    SetGroupState(panelMAIN, kSendGetGroup, c);
    if (a >= GROUP_HIDDEN && a <= GROUP_ENABLED)
        for (int id : kMeasureCommands) SetCtrlAttribute(panelMAIN, id, ATTR_CMD_BUTTON_COLOR, VAL_OFFWHITE);
}

bool MainCommandsHeld() {
    int dimmed = 0;
    GetCtrlAttribute(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED, &dimmed);
    return dimmed != 0;
}

void set_test_panel_controls(int a, int b) {
    SetGroupState(panelTEST, kTestEntryGroup, a);
    SetGroupState(panelTEST, kTestModeGroup, b);
}

void set_recorder_attributes(int type, int capture, int progress, int start, int settings) {
    const int states[5] = {type, capture, progress, start, settings};
    for (int g = 0; g < 5; ++g) SetGroupState(panelRECORDER, kRecorderGroups[g], states[g]);
}

int GetRecordingType() {
    int type = -1;
    if (GetCtrlVal(panelRECORDER, RECORDER_TYPE, &type) < 0) return -1;
    return type;
}
