// The recorder panel: choosing the record file and the recording type,
// manual rows from the values the program holds, and the automatic run that
// reads live values on its own and stores one row per interval.
#pragma once

#include "core/outcome.h"

extern int recstate;           // automatic run: 1 recording, 0 paused
extern int recorder_stop_flag; // 0 while the automatic run loops; 1 ends it
extern int restwerte;          // rows still to come in this run
extern char szRecorder[128];   // remaining time as the panel shows it

// Lights or darkens the recorder panel's store indicator and the main
// panel's record indicator together.
void ShowRowStored(int on);
// Shows restwerte x zeitint, rounded to whole seconds, as days, hours,
// minutes and seconds.
void ShowRemainingTime();

// The manual CAPTURE as its button runs it: one row of the values the
// program holds into the record file.
Outcome StoreRow();
// START as its button runs it: the automatic run, until its last row, a
// failed request or row, or a stop. Done when every row was stored;
// Cancelled when the run was stopped before.
Outcome StartRecording();

int CC_REC_FILE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RING_REC_TYPE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_REC_CAPTURE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_START_REC(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_STOP_REC(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_BREAK_RECORDING(int panel, int control, int event, void *callbackData, int eventData1,
                           int eventData2);

// Ends an automatic run as the stop command does (closing lines included);
// nothing when no run is in progress.
void StopRecording();
// The recorder as at start-up: a run in progress ends with its closing
// lines, no record file is chosen, the counters are back at zero.
void ResetRecorder();

// Binds the recorder panel's callbacks and the print command by name.
void RegisterRecorderCallbacks();
