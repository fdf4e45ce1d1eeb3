#include "maint/command.h"

#include "core/status.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <iterator>

bool ExchangeOrGiveUp(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]) {
    const ExchangeResult result = Exchange(command, payload, reply);
    if (result == EXCHANGE_OK) return true;
    GiveUpLink(result);
    return false;
}

bool AcknowledgedCommand(int command, const char *text) {
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    SetStatus(text);
    ProcessSystemEvents();
    if (!ExchangeOrGiveUp(command, emptyframe, emptyframe)) return false;
    if (emptyframe[0] != kAcknowledge) {
        SetStatus(ExchangeErrorText(EXCHANGE_BAD_ECHO));
        return false;
    }
    AppendStatus("OK.");
    return true;
}
