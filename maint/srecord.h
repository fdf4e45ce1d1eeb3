// Motorola S-record text files: reading them line by line and checking every
// record before anything is sent to the controller or merged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The longest S-record: "S3", a count of 255 and 255 bytes as hex pairs.
constexpr int kMaxSRecordChars = 4 + 2 * 255;
// Lines are read with room to spare, so a longer line is caught by the
// length check instead of being cut silently.
constexpr int kSRecordLineBuffer = 1024;

struct SRecord {
    char type = 0;        // '0' .. '9'
    int count = 0;        // the byte count field
    uint32_t address = 0; // start address for S7 to S9, record count for S5
    int addressBytes = 0; // 2, 3 or 4
    std::vector<uint8_t> data;
};

// Parses one line. On failure returns false and says why in problem.
bool ParseSRecord(const std::string &line, SRecord *record, std::string *problem);

// One's complement of the low byte of the sum of the given bytes (count,
// address and data of a record).
uint8_t SRecordChecksum(const std::vector<uint8_t> &bytes);

// Reads every line of an open text file (line ends removed). Returns false
// on a read error.
bool ReadTextLines(int fileHandle, std::vector<std::string> *lines);

// One record of a file with the 1-based number of the line it stands on.
struct SRecordLine {
    int lineNo = 0;
    std::string text;
};

// The records of a file in their order. An empty line carries nothing and is
// left out, wherever it stands, so the check and the download walk exactly
// the same records.
std::vector<SRecordLine> SRecordLinesOf(const std::vector<std::string> &lines);

// Checks every record: a record of type S0, S1 to S3, S5 or S7 to S9 with the
// right length and checksum; an S5 count that matches the data records before
// it; a termination record (S7 to S9) and no data record after it. On failure
// returns false with the 1-based line number (0 when the problem concerns the
// whole file) and the reason.
bool CheckSRecords(const std::vector<SRecordLine> &records, int *badLine, std::string *problem);
// The same for the lines of a file, empty lines left out as above.
bool CheckSRecordLines(const std::vector<std::string> &lines, int *badLine, std::string *problem);

// "<what>\r\n<path>\r\nline N: <problem>" for a message pop-up.
std::string SRecordProblemText(const char *what, const char *path, int line, const std::string &problem);
