#include "maint/update_files.h"

#include "core/panels.h"
#include "ui/engine/engine.h"
#include "ui/panels/update_ids.h"

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>

char firmwarePath[260];
char mergedFilePath[260];
char lindataAPath[260];
char lindataBPath[260];

namespace {

// What a merged file was made from: the firmware file, the use boxes, the
// table files in use, the window, and the merged file itself, each file by
// path and content. The merged file is used only while all of it is as it
// was when MERGE wrote it.
struct MergeSource {
    std::string firmware, firmwareSum;
    int useA = 0, useB = 0;
    std::string tableA, tableASum, tableB, tableBSum;
    int start = 0, end = 0;
    std::string merged, mergedSum;

    auto fields() const {
        return std::tie(firmware, firmwareSum, useA, useB, tableA, tableASum, tableB, tableBSum, start, end, merged,
                        mergedSum);
    }
    bool operator==(const MergeSource &o) const { return fields() == o.fields(); }
};

struct UpdateFiles {
    std::map<int, bool> ready;               // by file LED
    std::optional<MergeSource> mergeSource;  // of the merged file the panel shows; empty while there is none

    void reset() {
        ready.clear();
        mergeSource.reset();
        for (char *path : {firmwarePath, mergedFilePath, lindataAPath, lindataBPath}) path[0] = '\0';
    }
};

UpdateFiles g_files;

MergeSource sourceOnPanel() {
    MergeSource s;
    s.firmware = firmwarePath;
    s.firmwareSum = FileSha256Hex(firmwarePath);
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_A, &s.useA);
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_B, &s.useB);
    if (s.useA) {
        s.tableA = lindataAPath;
        s.tableASum = FileSha256Hex(lindataAPath);
    }
    if (s.useB) {
        s.tableB = lindataBPath;
        s.tableBSum = FileSha256Hex(lindataBPath);
    }
    GetCtrlVal(panelUPDATE, UPDATE_NUM_WINDOW_START, &s.start);
    GetCtrlVal(panelUPDATE, UPDATE_NUM_WINDOW_END, &s.end);
    s.merged = mergedFilePath;
    s.mergedSum = FileSha256Hex(mergedFilePath);
    return s;
}

} // namespace

bool FileReady(int led) {
    const auto it = g_files.ready.find(led);
    return it != g_files.ready.end() && it->second;
}

void SetFileReady(int led, bool ready) {
    g_files.ready[led] = ready;
    SetCtrlAttribute(panelUPDATE, led, ATTR_ON_COLOR, ready ? VAL_GREEN : VAL_RED);
}

void SetReadyLed(bool ready) {
    SetCtrlAttribute(panelUPDATE, UPDATE_LED_READY, ATTR_ON_COLOR, ready ? VAL_YELLOW : VAL_RED);
}

bool TakePath(char *buffer, unsigned size, const char *path) {
    buffer[0] = '\0';
    if (std::strlen(path) >= size) {
        MessagePopup("ERROR", (std::string("The path is too long:\r\n") + path).c_str());
        return false;
    }
    std::strcpy(buffer, path);
    return true;
}

void NoteMergedFileSource() { g_files.mergeSource = sourceOnPanel(); }

bool MergedFileStillCurrent() {
    if (!g_files.mergeSource) return false;
    if (sourceOnPanel() == *g_files.mergeSource) return true;
    DropMergedFile();
    return false;
}

// The LED and the text say so until MERGE makes a new one.
void DropMergedFile() {
    const bool shown = g_files.mergeSource.has_value();
    g_files.mergeSource.reset();
    SetFileReady(UPDATE_LED_MERGED, false);
    if (shown)
        SetCtrlVal(panelUPDATE, UPDATE_MERGED_TEXT,
                   (std::string("Out of date, press MERGE again: ") + mergedFilePath).c_str());
}

bool MergedFileReady() {
    int useA = 0, useB = 0;
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_A, &useA);
    GetCtrlVal(panelUPDATE, UPDATE_CHK_USE_B, &useB);
    return (useA || useB) && FileReady(UPDATE_LED_MERGED) && MergedFileStillCurrent();
}

void ResetUpdateFiles() { g_files.reset(); }
