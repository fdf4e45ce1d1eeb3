// The parameter file: one parameter record as named INI sections, one key per
// setting, every condition bit as its own boolean key and ring selections by
// their labels. The same sections carry the panel state in the application
// settings file.
#pragma once

#include "ini/inifile.h"
#include "params/record.h"

#include <string>
#include <utility>
#include <vector>

// Title of the file dialog of both operations.
extern const char kParaFileDialogTitle[];

// Reads the panels into rec, then puts rec's parameter sections into ini; with
// ini == nullptr it asks for a file ("*.ini", Save button), writes the sections
// to it and disposes of its own store.
// Returns 1 when the store or the file was written, 0 when the operator
// cancelled the dialog or writing failed (the file then stays as it was).
int SendParaToFile(unsigned short rec[PARAM_WORDS], IniText ini = nullptr);

// A value of a parameter file that was not taken: outside what its panel
// control accepts, or not of its key's kind. It counts as a missing key.
struct RefusedParaValue {
    std::string section, key;
    std::string value; // as the file holds it
    std::string reason;
};

// Overlays rec with the parameter sections of ini (with ini == nullptr: of a
// file the operator picks, Load button) and shows rec on the panels. The
// caller has read the panels into rec first: scalar words the file does not
// carry keep those values, while every event mask and condition group (and
// the words packed from rings of the special functions) is built afresh from
// the keys present. Values that were not taken are listed in one message.
// Returns 1 when read; 0 when the operator cancelled the dialog; -1 when the
// file cannot be read as an INI file or holds no parameter section. On 0 and
// -1 neither rec nor the panels change.
int ReadParaFromFile(unsigned short rec[PARAM_WORDS], IniText ini = nullptr);

// The two halves without panels and dialogs.
// Puts every section and key of rec in file order. Returns 0, or the first
// negative store code.
int PutParaSections(IniText ini, const unsigned short rec[PARAM_WORDS]);
// Overlays rec with the sections of ini. Returns 1, or 0 (rec unchanged) when
// ini holds none of the parameter sections. Values that are not taken are
// added to refused when given.
int GetParaSections(IniText ini, unsigned short rec[PARAM_WORDS], std::vector<RefusedParaValue> *refused = nullptr);

// The record as a parameter file names it, section by section and key by
// key in file order, each value as the file writes it: numbers in decimal,
// reals in the file's shortest form (2000, 1234.56789), booleans True or
// False, ring selections by their labels. A label key the file would omit
// (no ring item has the value) shows the value and says so.
struct ShownParaSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
    std::vector<bool> set; // per key: its value is not off or zero
};
std::vector<ShownParaSection> ShownParaValues(const unsigned short rec[PARAM_WORDS]);

// The keys a complete parameter file holds and ini lacks, as "[SECTION] key"
// in file order.
std::vector<std::string> MissingParaKeys(IniText ini);
// What a parameter file holds that loading it passes over: sections and
// keys it does not know, and a key or section given again (the first
// counts), one text each ("[Power] Powr: no such key; not read").
std::vector<std::string> UnknownOrRepeatedParaKeys(IniText ini);

// One line per value, "[SECTION] key = value (reason)", at most maxLines of
// them and then a line with the count of the rest. The value shows only
// printable characters.
std::string RefusedParaValuesText(const std::vector<RefusedParaValue> &refused, std::size_t maxLines);
