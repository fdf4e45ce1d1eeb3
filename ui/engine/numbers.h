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

// printf's "%.<decimals>f" as it reads in the "C" locale, under any locale
// (0 to 60 decimals).
std::string FormatFixed(double value, int decimals);
// printf's "%g" as it reads in the "C" locale, under any locale.
std::string FormatShort(double value);

// A decimal number as an operator types it: an optional sign, digits with
// at most one point, an optional exponent, nothing else (no blanks, no
// decimal comma, no hexadecimal, no "inf" or "nan"). False leaves *value
// unchanged.
bool ParseDecimal(std::string_view text, double *value);
