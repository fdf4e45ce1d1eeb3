// Moving the parameter record between the panels and the controller's RAM,
// its EEPROM or a parameter file.
#pragma once

#include "core/outcome.h"

constexpr int RAM = 1;
constexpr int EEPROM = 2;
constexpr int DATFILE = 3;
extern int target;

// Sets target to the place the main panel's memory selector points at.
void TargetFromSelector();

// Sends the record to the place in target; reports through the status line.
// A file target reads the panels into the record first. Returns 1 when every
// set was stored and the controller took the record (or the file was
// written), else 0.
Outcome SendRecord(unsigned short rec[192]);
int SendParameter(unsigned short rec[192]);
// Reads the record from the place in target; words not loaded keep the
// panel state. Reports through the status line. Returns 1 when the whole
// record arrived; otherwise 0 and rec holds the panel state.
Outcome GetRecord(unsigned short rec[192]);
int GetParameter(unsigned short rec[192]);

int CC_RADIO_MEMORY(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// SEND and GET of the main panel, as their buttons run them: ask for the
// link, hold it, move the record between the panels and the place the
// memory selector points at. The status line shows the outcome's reason.
Outcome SendPanels();
Outcome GetPanels();
int CC_BTNSend(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_BTNGet(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterTransferCallbacks();
