#include "maint/command.h"

#include "core/status.h"
#include "ui/engine/engine.h"


CommandOutcome ExchangeOrGiveUp(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]) {
    const ExchangeResult result = Exchange(command, payload, reply);
    GiveUpLink(result);
    return OutcomeOf(result);
}

CommandOutcome OutcomeOf(ExchangeResult result) {
    switch (result) {
    case EXCHANGE_OK: return CommandOutcome::Done;
    case EXCHANGE_BUSY: return CommandOutcome::Refused;
    case EXCHANGE_LOST: return CommandOutcome::LinkLost;
    case EXCHANGE_BAD_ECHO: return CommandOutcome::EchoIncorrect;
    }
    return CommandOutcome::LinkLost;
}

CommandOutcome AcknowledgedCommand(int command, const char *text) {
    // The request and its reply stay in this frame's own words: the events
    // delivered below may run other commands.
    const unsigned short request[PNUM] = {};
    unsigned short reply[PNUM] = {};
    SetStatus(text);
    ProcessSystemEvents();
    const ExchangeResult result = Exchange(command, request, reply);
    if (result != EXCHANGE_OK) {
        GiveUpLink(result);
        return OutcomeOf(result);
    }
    if (reply[0] != kAcknowledge) {
        SetStatus(ExchangeErrorText(EXCHANGE_BAD_ECHO));
        return CommandOutcome::NotAcknowledged;
    }
    StatusStepDone(text, "OK.");
    return CommandOutcome::Done;
}
