#include "link/command.h"

#include "core/owner.h"
#include "core/status.h"
#include "ui/engine/engine.h"

namespace {
constexpr int kStopSamplingCommand = 10;
constexpr int kRestartSamplingCommand = 11;
} // namespace

CommandOutcome ExchangeOrGiveUp(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]) {
    const ExchangeResult result = Exchange(command, payload, reply);
    GiveUpLink(result);
    return OutcomeOf(result);
}

CommandOutcome ExchangeStep(const char *step, int command, const unsigned short payload[PNUM],
                            unsigned short reply[PNUM]) {
    SetStatus(step);
    ProcessSystemEvents();
    return ExchangeOrGiveUp(command, payload, reply);
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

const char *CommandOutcomeText(CommandOutcome outcome) {
    switch (outcome) {
    case CommandOutcome::Done: return "";
    case CommandOutcome::Refused: return ExchangeErrorText(EXCHANGE_BUSY);
    case CommandOutcome::LinkLost: return ExchangeErrorText(EXCHANGE_LOST);
    case CommandOutcome::EchoIncorrect:
    case CommandOutcome::NotAcknowledged: return ExchangeErrorText(EXCHANGE_BAD_ECHO);
    }
    return ExchangeErrorText(EXCHANGE_LOST);
}

CommandOutcome AcknowledgedCommand(int command, const char *text) {
    const unsigned short request[PNUM] = {};
    unsigned short reply[PNUM] = {};
    const CommandOutcome outcome = ExchangeStep(text, command, request, reply);
    if (outcome != CommandOutcome::Done) return outcome;
    if (reply[0] != kAcknowledge) {
        SetStatus(ExchangeErrorText(EXCHANGE_BAD_ECHO));
        return CommandOutcome::NotAcknowledged;
    }
    StatusStepDone(text, "OK.");
    // Stop and restart of sampling, whichever panel sent them (STOP SAMPLING,
    // SEND FILTER and ENTER TEST stop it; RESTART SAMPLING and EXIT TEST
    // start it again).
    if (command == kStopSamplingCommand) NoteControllerSampling(false);
    if (command == kRestartSamplingCommand) NoteControllerSampling(true);
    return CommandOutcome::Done;
}
