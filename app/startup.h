// Life of the process: start-up, the event loop and shutdown.
#pragma once

extern int main_left, main_top, main_zoom;

constexpr int MAIN_FIRST_FOCUS = 24;

// Process entry: initialises the engine, runs WinMain and returns its result.
int ProcessEntry(int argc, char **argv);
int WinMain(int argc, char **argv);
void InitVars();
// Puts the program's working state back as it is at start-up, panels aside:
// no link (links closed, nothing owed, no retries), no long operation and
// no test mode, the loops stopped and the send/get group free. A new
// session of qvex-ctl and every test start from here.
void ResetProgramState();
// Registers the callbacks of every module with the engine and fills the
// hooks of the lower layers.
void RegisterAllCallbacks();

int CC_MAIN_PANEL(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_INTERFACEP(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_VDROP(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
