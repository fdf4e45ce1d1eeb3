// The HISTORY window: the parameter journal's entries, newest first, filtered
// by controller and date; for an entry the fields it changed, its record
// beside the panels or another entry, and LOAD TO PANELS, from where SEND
// writes it back (and is itself journalled).
#pragma once

#include "core/outcome.h"

// Lists the entries the filters let through. Done with their number in count.
Outcome ListHistory();
// Puts the record of the entry chosen in the table on the panels.
Outcome LoadHistoryEntryToPanels();
// Hides the window, toggles HISTORY off and forgets the list.
void ResetHistory();

int CC_TOG_HISTORY(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_HISTORY(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_HISTORY_LIST(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_HISTORY_CHANGES(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_HISTORY_COMPARE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_HISTORY_LOAD(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_HISTORY_CLOSE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterHistoryCallbacks();
