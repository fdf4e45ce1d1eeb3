// The commissioning report: a PDF of a few A4 pages that a technician hands
// over with a controller set up at a machine. A summary page names the
// controller, the link, the program and where the parameters came from, and
// lists the parameters that are not off or zero; then the last DATA curves
// of both channels, the analog output characteristic, every parameter of the
// record the panels show (in the parameter file's section and key names and
// forms), and at the end the operator's note, whole, with a sign-off block.
#pragma once

#include "core/outcome.h"

#include <string>

// Longest operator note a report takes: a note is kept whole, on as many
// pages as it needs; this only bounds an accident (a file pasted in).
constexpr int kReportNoteMax = 1 << 20;
// Title of the report's file dialog and note question.
extern const char kReportTitle[];

// Writes the report of the record the panels show to path. Returns the
// number of pages, or 0 with the reason in *error (the file is then as it was).
int WriteReport(const std::string &path, const std::string &note, std::string *error);

// REPORT as its button runs it: asks for the file, checks that its folder
// takes it, asks for the note, writes the report of the panels and says so.
// Done with the page count in count; Cancelled when the operator gave no file
// or no note; Failed (said in an error box) when it cannot be written.
Outcome ReportFromPanels();

int CC_CMD_REPORT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
