// The checks a command makes of its reply: a lost link or a garbled reply
// gives the link up, an unacknowledged command only says so.
#pragma once

#include "link/frame.h"

// How a command ended, from what the exchange brought back.
enum class CommandOutcome {
    Done,            // answered (and acknowledged where an acknowledge is due)
    Refused,         // another operation held the link; nothing was sent
    LinkLost,        // no reply after every attempt: the link is given up
    EchoIncorrect,   // the reply did not start with 0x00 0x55: the link is given up
    NotAcknowledged, // answered without 0x00AA in word 0: the link is kept
};
CommandOutcome OutcomeOf(ExchangeResult result);
// The text the status line shows for an outcome that is not Done.
const char *CommandOutcomeText(CommandOutcome outcome);

// Exchange that gives the link up on a lost or garbled reply (a refused one
// only says so). Done when the controller answered.
CommandOutcome ExchangeOrGiveUp(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]);
// One step the status line names: shows `step`, delivers pending events, then
// exchanges as ExchangeOrGiveUp does. The payload and reply are the caller's
// own, so the commands the events run cannot change them. The caller ends a
// step that went well (StatusStepDone).
CommandOutcome ExchangeStep(const char *step, int command, const unsigned short payload[PNUM],
                            unsigned short reply[PNUM]);
// An all-zero request that the controller must acknowledge with 0x00AA in
// word 0. Shows `text` first and appends "OK." on the acknowledge; an answer
// without it reads "Error! Sensor echo incorrect." and leaves the link be.
// The caller holds the link (core/owner.h) for the whole command.
CommandOutcome AcknowledgedCommand(int command, const char *text);
