#include "measure/sampling.h"

#include "app/groups.h"
#include "app/panels.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"

#include <vector>

int stop_flag = 1;
int send_get_status = 1;

namespace {
constexpr int kOffWhite = 0xE0E0E0; // RGB 224, 224, 224
// The main panel's command groups; they fill as the commands arrive.
const std::vector<int> kMeasureCommands = {};
const std::vector<int> kSensorCommands = {};
const std::vector<int> kSendGetGroup = {MAIN_RADIO_RAM, MAIN_RADIO_EEPROM, MAIN_RADIO_FILE, MAIN_BTN_SEND,
                                         MAIN_BTN_GET};
} // namespace

void set_main_buttons(int a, int b, int c) {
    SetGroupState(panelMAIN, kMeasureCommands, a);
    SetGroupState(panelMAIN, kSensorCommands, b);
    SetGroupState(panelMAIN, kSendGetGroup, c);
    if (a >= -1 && a <= 1)
        for (int id : kMeasureCommands) SetCtrlAttribute(panelMAIN, id, ATTR_CMD_BUTTON_COLOR, kOffWhite);
}
