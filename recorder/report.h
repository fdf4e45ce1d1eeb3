// The commissioning report: a PDF of a few A4 pages that a technician hands
// over with a controller set up at a machine. It names the controller, the
// link and the program, holds the operator's note, every parameter of the
// record the panels show (in the parameter file's section and key names), the
// last DATA curves of both channels and the analog output characteristic.
#pragma once

#include "core/outcome.h"

#include <string>

// Longest operator note a report takes.
constexpr int kReportNoteMax = 500;
// Title of the report's file dialog and note question.
extern const char kReportTitle[];

// Writes the report of the record the panels show to path. Returns the
// number of pages, or 0 with the reason in *error (the file is then as it was).
int WriteReport(const std::string &path, const std::string &note, std::string *error);

// REPORT as its button runs it: asks for the file and the note, writes the
// report of the panels and says so. Done with the page count in count;
// Cancelled when the operator gave no file or no note.
Outcome ReportFromPanels();

int CC_CMD_REPORT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
