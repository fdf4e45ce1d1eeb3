// Life of the process: start-up, the event loop and shutdown, and the
// program-wide texts and directories.
#pragma once

extern char proj_dir[260];
extern char dirName[260];
extern char appliniPath[260];
extern char templatesPath[260];
extern char szSoftname[72];
extern char szSoftversion[72];
extern char szStatus[128];
extern int panelSelector[11];
extern int main_left, main_top, main_zoom;

constexpr int MAIN_STATUS_LINE = 21;
constexpr int MAIN_FIRST_FOCUS = 24;

// Process entry: initialises the engine, runs WinMain and returns its result.
int ProcessEntry(int argc, char **argv);
int WinMain(int argc, char **argv);
void InitVars();
// Registers the callbacks of every module with the engine.
void RegisterAllCallbacks();

// Writes szStatus to the main panel's status line.
void ShowStatus();
// Copies text into szStatus (cut to fit) and shows it.
void SetStatus(const char *text);

int CC_MAIN_PANEL(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_INTERFACEP(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_VDROP(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
