// Capture of the controller's last triggered recording of both channels
// into the record file, and the print of the main panel.
#pragma once

constexpr double kCaptureSettling = 1.0; // seconds before the first request

// Whether the last CAPTURE GRAPH put both curves into the record file and
// re-armed the trigger; a refused one did not.
bool LastCaptureDone();
int CC_CMD_CAPTURE_GRAPH(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_PRINT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
