// The compare view: the panels' record beside the controller's RAM or EEPROM
// record, one row per field that differs, with the operator's choice of which
// value to keep; then the chosen values go to the controller (and the panels)
// or to the panels only.
#pragma once

#include "core/outcome.h"

// COMPARE on the main panel: reads the record from the memory the selector
// points at into a scratch record (the panels stay as they are) and lists the
// differences. Done with the number of differing fields in count.
Outcome CompareWithController();
int CC_BTNCompare(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// The view's own callback: closing the window hides it.
int CC_COMPARE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_COMPARE_KEEP(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_COMPARE_SEND(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_COMPARE_UPDATE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_COMPARE_CLOSE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterCompareCallbacks();
