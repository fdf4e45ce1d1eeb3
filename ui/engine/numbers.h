// Reals as the program writes and reads them in its files, status texts,
// on stdout and on command lines: a decimal point and no group separators,
// whatever the operator's locale.
#pragma once

#include <string>
#include <string_view>

// Puts the C library's number formatting back to "C" after the application
// object has taken the operator's locale from the environment. InitCVIRTE
// calls it, so every program that runs the engine starts this way.
void UseLocaleFreeNumbers();

// Fixed notation with `decimals` digits after a point (0 to 60), never a
// comma or a group separator: 0.5 with 6 decimals is "0.500000".
std::string FormatFixed(double value, int decimals);
// At most 6 significant digits, trailing zeros dropped, an exponent only for
// very large or small values, always with a point: 0.2 is "0.2".
std::string FormatShort(double value);

// A decimal number as an operator types it: an optional sign, digits with
// at most one point, an optional exponent, nothing else (no blanks, no
// decimal comma, no hexadecimal, no "inf" or "nan"). False leaves *value
// unchanged.
bool ParseDecimal(std::string_view text, double *value);
