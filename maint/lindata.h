// Linearisation tables: merging the tables of channel A and B into a
// firmware S-record file, where they fill an address window of the
// controller's program memory.
#pragma once

#include "maint/update_files.h"

#include <cstdint>
#include <string>
#include <vector>

extern int merged_file_handle, lin_data_A_handle, lin_data_B_handle;

constexpr uint32_t kProgramMemoryBase = 33554432; // 2^25
constexpr int kLinTableValues = 1024;
constexpr int kLinTableLines = 2 * kLinTableValues; // every value takes two lines

// A table file's values: the second line of every pair, a signed 16-bit
// decimal number. False, with the 1-based line and the reason, when a value
// is not a number in range or the file holds fewer than 1024 values.
bool ParseLinTable(const std::vector<std::string> &lines, std::vector<int16_t> *values, int *badLine,
                   std::string *problem);

// Rebuilds, in place, every S3 record that lies inside the window (start and
// end relative to kProgramMemoryBase): its words take table A's values,
// then table B's (either may be null), low byte first, upper case, with a
// new checksum; once both are used up the window keeps the firmware's words.
// Every other line stays as it is. False, with the line (0: the window as a
// whole) and the reason, when a record inside the window holds an odd
// number of data bytes or the window is too small for the tables.
bool MergeLinTables(std::vector<std::string> &lines, uint32_t windowStart, uint32_t windowEnd,
                    const std::vector<int16_t> *tableA, const std::vector<int16_t> *tableB, int *badLine,
                    std::string *problem);

int CC_CMD_LOAD_LINDATA_A(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_LOAD_LINDATA_B(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CHK_ENABLE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_CMD_MERGE_DATA(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// Bound to both window numerics: a changed window makes the merged file out of date.
int CC_NUM_MERGE_WINDOW(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterLinDataCallbacks();
