#include "maint/srecord.h"

#include "ui/engine/engine.h"

#include <cstdio>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Address bytes of each record type; 0 for a type the controller does not take.
int addressBytes(char type) {
    switch (type) {
    case '0': case '1': case '5': case '9': return 2;
    case '2': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
    }
}

bool isData(char type) { return type == '1' || type == '2' || type == '3'; }
bool isTermination(char type) { return type == '7' || type == '8' || type == '9'; }

std::string hex2(unsigned v) {
    char s[8];
    std::snprintf(s, sizeof s, "%02X", v & 0xFF);
    return s;
}

} // namespace

uint8_t SRecordChecksum(const std::vector<uint8_t> &bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return static_cast<uint8_t>(~sum & 0xFF);
}

bool ParseSRecord(const std::string &line, SRecord *record, std::string *problem) {
    auto bad = [problem](const std::string &why) {
        if (problem) *problem = why;
        return false;
    };
    if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9')
        return bad("not an S-record (a record starts with S0 to S9)");
    const char type = line[1];
    const int width = addressBytes(type);
    if (width == 0) return bad(std::string("record type S") + type + " is not accepted");
    if (line.size() > static_cast<std::size_t>(kMaxSRecordChars)) return bad("line too long for an S-record");
    std::vector<uint8_t> bytes;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int hi = hexDigit(line[i]);
        const int lo = i + 1 < line.size() ? hexDigit(line[i + 1]) : -1;
        if (hi < 0 || lo < 0) return bad("not a hex digit in column " + std::to_string(hi < 0 ? i + 1 : i + 2));
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    if (bytes.empty()) return bad("no byte count");
    const int count = bytes[0];
    if (static_cast<std::size_t>(count) + 1 != bytes.size())
        return bad("byte count " + hex2(count) + " does not match the length of the record");
    if (count < width + 1) return bad("byte count " + hex2(count) + " is too small for an S" + type + " record");
    const std::vector<uint8_t> summed(bytes.begin(), bytes.end() - 1);
    const uint8_t sum = SRecordChecksum(summed);
    if (sum != bytes.back()) return bad("checksum error (the record says " + hex2(bytes.back()) + ", its bytes give " + hex2(sum) + ")");
    if (record) {
        record->type = type;
        record->count = count;
        record->addressBytes = width;
        record->address = 0;
        for (int i = 0; i < width; ++i) record->address = (record->address << 8) | bytes[static_cast<std::size_t>(1 + i)];
        record->data.assign(bytes.begin() + 1 + width, bytes.end() - 1);
    }
    return true;
}

bool ReadTextLines(int fileHandle, std::vector<std::string> *lines) {
    std::vector<char> buffer(kSRecordLineBuffer + 1);
    lines->clear();
    int n;
    while ((n = ReadLine(fileHandle, buffer.data(), kSRecordLineBuffer)) >= 0) lines->emplace_back(buffer.data(), n);
    return n == -2;
}

std::vector<SRecordLine> SRecordLinesOf(const std::vector<std::string> &lines) {
    std::vector<SRecordLine> records;
    records.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].empty()) records.push_back({static_cast<int>(i) + 1, lines[i]});
    return records;
}

bool CheckSRecords(const std::vector<SRecordLine> &records, int *badLine, std::string *problem) {
    auto bad = [&](int line, const std::string &why) {
        if (badLine) *badLine = line;
        if (problem) *problem = why;
        return false;
    };
    int dataRecords = 0;
    int terminatedAt = 0;
    for (const SRecordLine &line : records) {
        SRecord r;
        std::string why;
        if (!ParseSRecord(line.text, &r, &why)) return bad(line.lineNo, why);
        if (terminatedAt && (isData(r.type) || isTermination(r.type)))
            return bad(line.lineNo, "record after the termination record in line " + std::to_string(terminatedAt));
        if (isData(r.type)) ++dataRecords;
        if (r.type == '5' && r.address != static_cast<uint32_t>(dataRecords & 0xFFFF))
            return bad(line.lineNo, "record count " + std::to_string(r.address) + " does not match the " +
                                        std::to_string(dataRecords) + " data records before it");
        if (isTermination(r.type)) terminatedAt = line.lineNo;
    }
    if (records.empty()) return bad(0, "the file holds no S-records");
    if (!terminatedAt) return bad(0, "no termination record (S7, S8 or S9) at the end");
    return true;
}

bool CheckSRecordLines(const std::vector<std::string> &lines, int *badLine, std::string *problem) {
    return CheckSRecords(SRecordLinesOf(lines), badLine, problem);
}

std::string SRecordProblemText(const char *what, const char *path, int line, const std::string &problem) {
    std::string text = std::string(what) + "\r\n" + path + "\r\n";
    if (line > 0) text += "line " + std::to_string(line) + ": ";
    return text + problem;
}
