// Where parameters are sent to or read from.
#pragma once

constexpr int RAM = 1;
constexpr int EEPROM = 2;
constexpr int DATFILE = 3;
extern int target;
