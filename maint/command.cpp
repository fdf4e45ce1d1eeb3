#include "maint/command.h"

#include "core/groups.h"
#include "core/status.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <iterator>

int ExchangeCommand(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]) {
    order = command;
    FillTxBuf(order, payload);
    if (!ExchangeFrame()) return COMMAND_LOST;
    return GetRxBuf(reply) == -1 ? COMMAND_GARBLED : COMMAND_ANSWERED;
}

void GiveUpLink(const char *message) {
    SetStatus(message);
    stop_flag = 1;
    set_main_buttons(0, 0, 0);
}

bool ExchangeOrGiveUp(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]) {
    switch (ExchangeCommand(command, payload, reply)) {
    case COMMAND_LOST: GiveUpLink(kConnectionLostText); return false;
    case COMMAND_GARBLED: GiveUpLink(kEchoIncorrectText); return false;
    default: return true;
    }
}

bool AcknowledgedCommand(int command, const char *text) {
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    SetStatus(text);
    ProcessSystemEvents();
    if (!ExchangeOrGiveUp(command, emptyframe, emptyframe)) return false;
    if (emptyframe[0] != kAcknowledge) {
        SetStatus(kEchoIncorrectText);
        return false;
    }
    AppendStatus("OK.");
    return true;
}
