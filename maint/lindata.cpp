#include "maint/lindata.h"

#include "core/panels.h"
#include "core/program.h"
#include "maint/srecord.h"
#include "maint/update_files.h"
#include "ui/engine/engine.h"
#include "ui/panels/update_ids.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

int merged_file_handle = -1, lin_data_A_handle = -1, lin_data_B_handle = -1;

namespace {

void putHex2(std::string &line, std::size_t at, unsigned value) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", value & 0xFF);
    line[at] = digits[0];
    line[at + 1] = digits[1];
}

struct Channel {
    char *path;
    int *handle;
    int useBox, command, text, led;
    const char *title;
};

Channel channelA() {
    return {lindataAPath, &lin_data_A_handle, UPDATE_CHK_USE_A, UPDATE_CMD_LOAD_A, UPDATE_TEXT_A, UPDATE_LED_A,
            "Select Linearisation Data for Channel A"};
}

Channel channelB() {
    return {lindataBPath, &lin_data_B_handle, UPDATE_CHK_USE_B, UPDATE_CMD_LOAD_B, UPDATE_TEXT_B, UPDATE_LED_B,
            "Select Linearisation Data for Channel B"};
}

void chooseTable(const Channel &ch) {
    std::string path;
    const int chosen = FileSelectPopup(dirName, "*.dat", "*.dat", ch.title, VAL_LOAD_BUTTON, 0, 1, 1, 0, &path);
    // A merged file made from other tables no longer fits.
    DropMergedFile();
    if (chosen > 0 && TakePath(ch.path, 260, path.c_str())) {
        SetCtrlVal(panelUPDATE, ch.text, ch.path);
        SetFileReady(ch.led, true);
    } else {
        SetCtrlVal(panelUPDATE, ch.text, "");
        SetFileReady(ch.led, false);
    }
}

// Reads one file into lines through the given handle global.
bool readLines(const char *path, int *handle, std::vector<std::string> *lines) {
    *handle = OpenFile(path, VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    if (*handle < 0) {
        *handle = -1;
        return false;
    }
    const bool ok = ReadTextLines(*handle, lines);
    CloseFile(*handle);
    *handle = -1;
    return ok;
}

bool refuse(const char *what, const char *path, int line, const std::string &problem) {
    MessagePopup("ERROR", SRecordProblemText(what, path, line, problem).c_str());
    return false;
}

bool readTable(const Channel &ch, std::vector<int16_t> *values) {
    std::vector<std::string> lines;
    if (!readLines(ch.path, ch.handle, &lines))
        return refuse("The table file could not be read; no merged file was written.", ch.path, 0, "");
    int line = 0;
    std::string problem;
    if (!ParseLinTable(lines, values, &line, &problem))
        return refuse("The table file cannot be used; no merged file was written.", ch.path, line, problem);
    return true;
}

bool samePath(const std::string &a, const char *b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Steps 2 to 6 of the merge; true when the merged file was written.
bool merge(int useA, int useB, uint32_t start, uint32_t end) {
    const bool firmwareReady = FileReady(UPDATE_LED_FIRMWARE);
    const bool aReady = !useA || FileReady(UPDATE_LED_A);
    const bool bReady = !useB || FileReady(UPDATE_LED_B);
    if (!firmwareReady || !aReady || !bReady) {
        MessagePopup("ERROR", "Please select all necessary files first!");
        return false;
    }

    // Everything is read, checked and merged before the destination is
    // asked for, so a refused merge writes nothing.
    std::vector<std::string> lines;
    int fwHandle = -1;
    if (!readLines(firmwarePath, &fwHandle, &lines))
        return refuse("The firmware file could not be read; no merged file was written.", firmwarePath, 0, "");
    int line = 0;
    std::string problem;
    if (!CheckSRecordLines(lines, &line, &problem))
        return refuse("The firmware file is damaged; no merged file was written.", firmwarePath, line, problem);
    std::vector<int16_t> a, b;
    if (useA && !readTable(channelA(), &a)) return false;
    if (useB && !readTable(channelB(), &b)) return false;
    if (!MergeLinTables(lines, start, end, useA ? &a : nullptr, useB ? &b : nullptr, &line, &problem))
        return refuse("The tables do not fit the firmware file; no merged file was written.", firmwarePath, line,
                      problem);

    std::string path;
    if (FileSelectPopup(dirName, "*.S", "*.S", "Select destination for merged file", VAL_SAVE_BUTTON, 0, 1, 1, 1,
                        &path) == VAL_NO_FILE_SELECTED) {
        MessagePopup("ERROR", "Invalid file or no file selected. Please select correct file!");
        return false;
    }
    // Writing over an input would destroy it before it is read.
    if (samePath(path, firmwarePath) || (useA && samePath(path, lindataAPath)) ||
        (useB && samePath(path, lindataBPath))) {
        MessagePopup("ERROR", ("The merged file must not replace the firmware file or a table file:\r\n" + path).c_str());
        return false;
    }
    if (!TakePath(mergedFilePath, sizeof mergedFilePath, path.c_str())) return false;
    SetCtrlVal(panelUPDATE, UPDATE_MERGED_TEXT, mergedFilePath);

    merged_file_handle = OpenFile(mergedFilePath, VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    if (merged_file_handle < 0) {
        merged_file_handle = -1;
        return refuse("Could not open file!", mergedFilePath, 0, "");
    }
    bool written = true;
    for (const std::string &l : lines)
        if (WriteLine(merged_file_handle, l.c_str(), static_cast<int>(l.size())) < 0) {
            written = false;
            break;
        }
    if (CloseFile(merged_file_handle) < 0) written = false;
    merged_file_handle = -1;
    if (!written) return refuse("The merged file could not be written completely.", mergedFilePath, 0, "");
    return true;
}

} // namespace

bool ParseLinTable(const std::vector<std::string> &lines, std::vector<int16_t> *values, int *badLine,
                   std::string *problem) {
    auto bad = [&](int line, const std::string &why) {
        if (badLine) *badLine = line;
        if (problem) *problem = why;
        return false;
    };
    values->clear();
    for (int i = 1; i < kLinTableLines; i += 2) {
        if (static_cast<std::size_t>(i) >= lines.size())
            return bad(static_cast<int>(lines.size()),
                       "the table ends after " + std::to_string(lines.size()) + " lines; it must hold " +
                           std::to_string(kLinTableValues) + " values in " + std::to_string(kLinTableLines) +
                           " lines");
        const std::string &text = lines[static_cast<std::size_t>(i)];
        const char *begin = text.c_str();
        char *stop = nullptr;
        errno = 0;
        const long v = std::strtol(begin, &stop, 10);
        while (stop && (*stop == ' ' || *stop == '\t')) ++stop;
        if (stop == begin || *stop != '\0' || errno == ERANGE || v < -32768 || v > 32767)
            return bad(i + 1, "'" + text + "' is not a whole number from -32768 to 32767");
        values->push_back(static_cast<int16_t>(v));
    }
    return true;
}

bool MergeLinTables(std::vector<std::string> &lines, uint32_t windowStart, uint32_t windowEnd,
                    const std::vector<int16_t> *tableA, const std::vector<int16_t> *tableB, int *badLine,
                    std::string *problem) {
    auto bad = [&](int line, const std::string &why) {
        if (badLine) *badLine = line;
        if (problem) *problem = why;
        return false;
    };
    const uint64_t low = uint64_t(kProgramMemoryBase) + windowStart;
    const uint64_t high = uint64_t(kProgramMemoryBase) + windowEnd;
    std::size_t usedA = 0, usedB = 0, windowWords = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string &line = lines[i];
        SRecord r;
        if (line.empty() || !ParseSRecord(line, &r, nullptr) || r.type != '3') continue;
        const std::size_t dataBytes = r.data.size();
        const std::size_t words = dataBytes / 2;
        // The window test compares the record's address plus its word count
        // with the window end, as the controller's tables are laid out.
        if (r.address < low || r.address + uint64_t(words) > high) continue;
        if (dataBytes % 2 != 0)
            return bad(static_cast<int>(i) + 1, "the record lies inside the table window but holds an odd number (" +
                                                    std::to_string(dataBytes) + ") of data bytes");
        windowWords += words;
        unsigned sum = static_cast<unsigned>(r.count) + (r.address >> 24) + ((r.address >> 16) & 0xFF) +
                       ((r.address >> 8) & 0xFF) + (r.address & 0xFF);
        std::size_t p = 12;
        for (std::size_t w = 0; w < words; ++w, p += 4) {
            unsigned value;
            if (tableA && usedA < tableA->size()) value = static_cast<uint16_t>((*tableA)[usedA++]);
            else if (tableB && usedB < tableB->size()) value = static_cast<uint16_t>((*tableB)[usedB++]);
            else value = r.data[2 * w] | (r.data[2 * w + 1] << 8);
            const unsigned lo = value & 0xFF, hi = value >> 8;
            sum += lo + hi;
            putHex2(line, p, lo);
            putHex2(line, p + 2, hi);
        }
        putHex2(line, p, ~sum);
        StringUpperCase(line.data());
    }
    const std::size_t needed = (tableA ? tableA->size() : 0) + (tableB ? tableB->size() : 0);
    if ((tableA && usedA < tableA->size()) || (tableB && usedB < tableB->size()))
        return bad(0, "the table window holds " + std::to_string(windowWords) + " words of S3 records; the tables need " +
                          std::to_string(needed));
    return true;
}

int CC_CMD_LOAD_LINDATA_A(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) chooseTable(channelA());
    return 0;
}

int CC_CMD_LOAD_LINDATA_B(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) chooseTable(channelB());
    return 0;
}

int CC_CHK_ENABLE(int, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int useA = 0, useB = 0;
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_A, &useA);
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_B, &useB);
    for (const Channel &ch : {channelA(), channelB()}) {
        if (control != ch.useBox) continue;
        const int use = ch.useBox == UPDATE_CHK_USE_A ? useA : useB;
        SetCtrlVal(panelUPDATE, ch.led, use);
        SetCtrlAttribute(panelUPDATE, ch.command, ATTR_DIMMED, use ? 0 : 1);
    }
    const int any = useA || useB ? 1 : 0;
    SetCtrlVal(panelUPDATE, UPDATE_LED_MERGED, any);
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_MERGE, ATTR_DIMMED, any ? 0 : 1);
    MergedFileStillCurrent();
    return 0;
}

int CC_NUM_MERGE_WINDOW(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) MergedFileStillCurrent();
    return 0;
}

int CC_CMD_MERGE_DATA(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_MERGE, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_MERGE, ATTR_CMD_BUTTON_COLOR, VAL_RED);
    int useA = 0, useB = 0, start = 0, end = 0;
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_A, &useA);
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_B, &useB);
    GetCtrlVal(panelUPDATE, UPDATE_NUM_WINDOW_START, &start);
    GetCtrlVal(panelUPDATE, UPDATE_NUM_WINDOW_END, &end);
    const bool written = merge(useA, useB, static_cast<uint32_t>(start), static_cast<uint32_t>(end));
    if (written) NoteMergedFileSource();
    SetFileReady(UPDATE_LED_MERGED, written);
    SetReadyLed(written);
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_MERGE, ATTR_CMD_BUTTON_COLOR, VAL_OFFWHITE);
    SetCtrlAttribute(panelUPDATE, UPDATE_CMD_MERGE, ATTR_DIMMED, 0);
    return 0;
}

void RegisterLinDataCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_CMD_LOAD_LINDATA_A", CC_CMD_LOAD_LINDATA_A},
        {"CC_CMD_LOAD_LINDATA_B", CC_CMD_LOAD_LINDATA_B},
        {"CC_CHK_ENABLE", CC_CHK_ENABLE},
        {"CC_CMD_MERGE_DATA", CC_CMD_MERGE_DATA},
        {"CC_NUM_MERGE_WINDOW", CC_NUM_MERGE_WINDOW},
    };
    RegisterCallbacks(table);
}
