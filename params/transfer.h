// Moving the parameter record between the panels and the controller's RAM,
// its EEPROM or a parameter file.
#pragma once

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
int SendParameter(unsigned short rec[192]);
// Reads the record from the place in target; words not loaded keep the
// panel state. Reports through the status line. Returns 1 when the whole
// record arrived; otherwise 0 and rec holds the panel state.
int GetParameter(unsigned short rec[192]);

int CC_RADIO_MEMORY(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// Whether the last SEND or GET of the main panel did all it was asked (a
// refused one did not), for a caller that acts on the outcome rather than
// on the status text.
bool LastTransferDone();
int CC_BTNSend(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_BTNGet(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterTransferCallbacks();
