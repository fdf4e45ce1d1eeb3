// Capture of the controller's last triggered recording of both channels
// into the record file, and the print of the main panel.
#pragma once

#include "core/outcome.h"

constexpr double kCaptureSettling = 1.0; // seconds before the first request

// CAPTURE GRAPH as its button runs it: waits for the controller to settle,
// fetches both curves, re-arms the trigger and appends the curves to the
// record file. Done when all of that happened.
Outcome CaptureGraph();
int CC_CMD_CAPTURE_GRAPH(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_PRINT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
