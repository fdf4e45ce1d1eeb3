// The record file: a comma-separated text file a spreadsheet opens, with a
// header block, one row of live values per data set, the closing lines of an
// automatic run and the sections of captured curves.
//
// Every routine opens the file, writes and closes it again. Each line after
// the first goes out with a leading CR LF, so the file ends without one.
// Every row is on the disk when its routine returns. A failed opening is
// reported in a message box; a failed write in the status line. Either way
// the routine returns the file error code (1 to 10) and the file keeps every
// whole line written before.
#pragma once

#include "core/outcome.h"

#include <array>
#include <functional>
#include <string>

extern char file_name[260]; // the record file chosen by the operator
extern int file_handle;     // handle of its last opening; -1 when that failed or none was made
extern int recorder_status; // 1 = a record file is chosen
extern int headerwritten;   // 0 = the header block comes before the next row
extern int recwerte;        // rows written since the last header or start: the next row's INDEX
extern int anzwerte;        // data sets of an automatic run
extern double zeitint;      // seconds between two rows of an automatic run

constexpr int kFileErrorCount = 10;
// Text of a file error code 1 to 10 ("Dsik is full!" for 9).
const char *FileErrorText(int code);
// The outcome of a write to the record file from its result code: Done for
// 0; Rejected when no usable file exists or it could not be opened (the
// recorder says so in a message box); otherwise Failed, with the error the
// status line shows and the file's name.
Outcome RecordFileOutcome(int code);

// The names of the record file's columns, in the file's order.
constexpr int kRecordColumns = 12;
extern const char *const kRecordColumnNames[kRecordColumns];
using RecordRow = std::array<std::string, kRecordColumns>;
// One data row's fields as the file holds them, from rawdata: INDEX and
// TIMESTAMP as given, the eight 16-bit words as signed decimals, the two
// evaluations with three decimals.
RecordRow RecordRowFields(int index, const std::string &time);

// Called after every data row that reached the file, with its INDEX and the
// time of writing as HH:MM:SS.mmm (the file holds its first eight
// characters); rawdata still holds the row's values. Empty: nobody listens.
struct RecordHooks {
    std::function<void(int index, const std::string &time)> rowStored;
};
extern RecordHooks recordHooks;

// Truncates the record file and writes the header block with the
// column-header line. 0 or the file error code.
int WriteHeaderToFile();
// The header step before a row or curve: when headerwritten is 0 writes the
// header, starts INDEX at 0 again and marks the header as written (also
// after a failed opening; after a failed write it stays pending, so the next
// attempt starts the file afresh). Returns WriteHeaderToFile's result, or 0
// when no header was due.
int WriteHeaderIfPending();
// Appends one row from rawdata with INDEX recwerte, the header first when it
// is pending. 0, -1 when no usable file exists, or the file error code.
// recwerte is left to the caller.
int StoreRecorderDATA();
// Appends the closing lines: status 0 the run finished, -1 it was
// interrupted, any other negative value an unknown error; positive values
// write nothing. 0, -1 when no usable file exists, or the file error code.
int WriteCloserToFile(int status);
// Appends the start of a captured-curve section and its column header.
int WriteGraphHeaderToFile();
// Appends the 512 samples of both curves and the section's end.
int StoreGraphToFile();
