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

// Builds out from a, with every field that take names (by section and key;
// the values in take are not used) given the value b gives it. A field is
// moved as its parameter-file text, so a condition bit moves alone and a
// label moves with its whole value. Words no taken field touches keep a's
// values exactly. Returns 0, or a negative store code (out then holds a).
int MergeRecords(const unsigned short a[PARAM_WORDS], const unsigned short b[PARAM_WORDS],
                 const std::vector<FieldDifference> &take, unsigned short out[PARAM_WORDS]);
