// The checks the maintenance commands make of a reply: a lost link or a
// garbled reply gives the link up, an unacknowledged command only says so.
#pragma once

#include "link/frame.h"

// Exchange that gives the link up on a lost or garbled reply (a refused one
// only says so). True when the controller answered.
bool ExchangeOrGiveUp(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]);
// An all-zero request that the controller must acknowledge with 0x00AA in
// word 0. Shows `text` first and appends "OK." on the acknowledge; an answer
// without it reads "Error! Sensor echo incorrect." and leaves the link be.
bool AcknowledgedCommand(int command, const char *text);
