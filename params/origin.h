// Where the record on the panels last came from: the controller's RAM or
// EEPROM, a parameter file or a template. A report names it while the panels
// still show that record.
#pragma once

#include "params/record.h"

#include <string>

enum class RecordSource { None, ControllerRam, ControllerEeprom, File, Template };

struct RecordOrigin {
    RecordSource source = RecordSource::None;
    std::string name; // the template's name
    std::string time; // DateStr and TimeStr when it was loaded
    unsigned short record[PARAM_WORDS] = {};
};

// Notes that rec, just shown on the panels, came from source.
void NoteRecordOrigin(RecordSource source, const std::string &name, const unsigned short rec[PARAM_WORDS]);
const RecordOrigin &LastRecordOrigin();
// The origin when rec still holds what it brought, field for field as the
// parameter file names them; otherwise an origin with RecordSource::None.
RecordOrigin OriginOf(const unsigned short rec[PARAM_WORDS]);
