// The record viewer: a record file read back and shown without a
// controller. The rows over time (or INDEX) with a curve per chosen column,
// zoomed, panned, read and exported with the graph's own tools; the
// statistics of every column over the rows shown; the captured curves of
// each graph section as the DATA graph shows them; the header block and
// what was wrong with the file. The file is only ever read.
#pragma once

// Reads the file and shows it in the viewer. 0, or -1 when nothing of it
// could be shown (the viewer and a message box say why).
int OpenRecordViewer(const char *path);
// Back to start-up: the viewer closed, no file held or followed, the traces
// and folder not yet chosen.
void ResetViewer();

// The viewer's window: closing it hides it and lets go of the rows.
int CC_RECVIEW(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RECVIEW_OPEN(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RECVIEW_CLOSE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// The operator zoomed or panned the rows (EVENT_VAL_CHANGED): the curves
// are drawn again for the range shown, and the statistics follow it.
int CC_RECVIEW_GRAPH(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RECVIEW_XAXIS(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RECVIEW_SHOW(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_RECVIEW_SECTION(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// follow: read on as the file grows (a recording still going on), or take
// the file as complete.
int CC_RECVIEW_FOLLOW(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// The recorder panel's view command: the record file chosen there, or one
// the operator picks.
int CC_CMD_VIEW_RECORD(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterViewerCallbacks();
