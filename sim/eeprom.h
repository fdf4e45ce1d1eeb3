// The controller's EEPROM kept in a file, so that stored parameters survive
// a restart of the simulator.
//
// The file is text: 192 hexadecimal words of 1 to 4 digits, separated by
// white space, in record order. '#' starts a comment that runs to the end of
// the line. What we write is a comment line and then one line per parameter
// set (16 words, the set-number slot first), e.g.
//
//   # qvex-sim EEPROM: 192 words, one parameter set a line, hex
//   0001 01f4 0000 0000 0000 2000 0000 0000 0000 0000 07d0 0000 0001 0064 03e8 0000
//   ...
//
// Anything else (too few or too many words, a word that is not 1 to 4 hex
// digits) makes the file damaged.
#pragma once

#include "sim/model.h"

#include <QString>

#include <string>

namespace sim {

std::string formatEepromImage(const ParamRecord &record);
// False with the reason in problem when text is not an image as above.
bool parseEepromImage(const std::string &text, ParamRecord &record, std::string &problem);

enum class EepromLoad { Loaded, Missing, Damaged };
// Missing: no such file, record untouched. Damaged: not readable or not an
// image, record untouched, the reason in problem.
EepromLoad loadEepromFile(const QString &path, ParamRecord &record, std::string &problem);
// Writes a temporary file next to path and renames it over path, so the file
// holds either the old image or the new one, never a part of either.
bool saveEepromFile(const QString &path, const ParamRecord &record, std::string &problem);

} // namespace sim
