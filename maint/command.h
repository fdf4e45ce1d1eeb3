// One request to the controller and the checks the maintenance commands
// make of its reply: a lost link or a garbled reply gives the link up, an
// unacknowledged command only says so.
#pragma once

#include "link/frame.h"

enum CommandOutcome { COMMAND_LOST, COMMAND_GARBLED, COMMAND_ANSWERED };

inline constexpr char kConnectionLostText[] = "Error! Connection lost.";
inline constexpr char kEchoIncorrectText[] = "Error! Sensor echo incorrect.";

// Sends `command` with `payload` and unpacks the reply into `reply` (which
// may be the payload array itself). Reports nothing.
int ExchangeCommand(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]);
// The link is no longer trusted: the message in the status line, any
// measuring loop asked to end, the main panel's commands dimmed.
void GiveUpLink(const char *message);
// ExchangeCommand that gives the link up on a lost or garbled reply.
// True when the controller answered.
bool ExchangeOrGiveUp(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]);
// An all-zero request that the controller must acknowledge with 0x00AA in
// word 0. Shows `text` first and appends "OK." on the acknowledge; an answer
// without it reads "Error! Sensor echo incorrect." and leaves the link be.
bool AcknowledgedCommand(int command, const char *text);
