// The controller's parameter record as it keeps it (RAM and EEPROM alike).
#pragma once

#include <array>
#include <cstdint>

namespace sim {

constexpr int kParamWords = 192; // one parameter record (RAM or EEPROM)
constexpr int kParamSets = 12;   // the record travels as 12 sets ...
constexpr int kSetWords = 16;    // ... of 16 words; word 0 of a set is its number slot

using ParamRecord = std::array<uint16_t, kParamWords>;

} // namespace sim
