// Comparing two parameter records field by field, in the terms of the
// parameter file: the section and key of every field that differs, with the
// text each record gives it. qvex-ctl's diff and the compare view share it.
#pragma once

#include "params/record.h"

#include <string>
#include <vector>

struct FieldDifference {
    std::string section;
    std::string key;
    std::string left;  // as the first record gives the field
    std::string right; // as the second record gives it
};

// The fields whose parameter-file text differs between a and b, in file order.
std::vector<FieldDifference> CompareRecords(const unsigned short a[PARAM_WORDS], const unsigned short b[PARAM_WORDS]);
