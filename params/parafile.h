// The parameter file: one parameter record as named INI sections, one key per
// setting, every condition bit as its own boolean key and ring selections by
// their labels. The same sections carry the panel state in the application
// settings file.
#pragma once

#include "ini/inifile.h"
#include "params/record.h"

// Title of the file dialog of both operations.
extern const char kParaFileDialogTitle[];

// Reads the panels into rec, then puts rec's parameter sections into ini; with
// ini == nullptr it asks for a file ("*.ini", Save button), writes the sections
// to it and disposes of its own store.
// Returns 1 when the store or the file was written, 0 when the operator
// cancelled the dialog or writing failed (the file then stays as it was).
int SendParaToFile(unsigned short rec[PARAM_WORDS], IniText ini = nullptr);

// Overlays rec with the parameter sections of ini (with ini == nullptr: of a
// file the operator picks, Load button) and shows rec on the panels. The
// caller has read the panels into rec first: words the file does not carry
// keep those values.
// Returns 1 when read; 0 when the operator cancelled the dialog; -1 when the
// file cannot be read as an INI file or holds no parameter section. On 0 and
// -1 neither rec nor the panels change.
int ReadParaFromFile(unsigned short rec[PARAM_WORDS], IniText ini = nullptr);

// The two halves without panels and dialogs.
// Puts every section and key of rec in file order. Returns 0, or the first
// negative store code.
int PutParaSections(IniText ini, const unsigned short rec[PARAM_WORDS]);
// Overlays rec with the sections of ini. Returns 1, or 0 (rec unchanged) when
// ini holds none of the parameter sections.
int GetParaSections(IniText ini, unsigned short rec[PARAM_WORDS]);
