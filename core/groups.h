// The program's command groups and the loop flag every command that talks
// to the controller obeys.
//
// A group switch takes one state per group: -1 hide, 0 show dimmed, 1 show
// enabled; any other value (the program passes -2) leaves the group as it is.
#pragma once

#include <vector>

enum GroupState { GROUP_UNCHANGED = -2, GROUP_HIDDEN = -1, GROUP_DIMMED = 0, GROUP_ENABLED = 1 };

// 1 = no measuring loop running; every loop ends at its next check once set.
extern int stop_flag;
// Third argument the program passes to set_main_buttons (send/get group).
extern int send_get_status;

void SetGroupState(int panel, const std::vector<int> &controls, int state);

// The main panel's groups: a = RUN, STOP and DATA, b = the further sensor
// commands, c = the parameter send/get group.
void set_main_buttons(int a, int b, int c);
// True while RUN is dimmed: a measuring loop, a recording, a graph capture
// or test mode holds the main commands, or the link is lost. A change of
// mode then leaves the send/get group as that holder set it.
bool MainCommandsHeld();

// The test panel's groups: a = entering test mode (the enter command and
// its note), b = test mode itself (exit, test values, lamps, switches and
// input lamps).
void set_test_panel_controls(int a, int b);

constexpr int REC_TYPE_MANUAL = 0;
constexpr int REC_TYPE_AUTOMATIC = 1;

// The recorder panel's groups: the recording-type ring; the capture commands
// (row and graph); the progress of an automatic run (progress, remaining
// time and count); its commands (start, stop, pause) with the store
// indicator; its settings (number of data sets, interval).
void set_recorder_attributes(int type, int capture, int progress, int start, int settings);
// The recording type the recorder panel's ring is set to: REC_TYPE_MANUAL,
// REC_TYPE_AUTOMATIC, or -1 when the panel is not loaded.
int GetRecordingType();
