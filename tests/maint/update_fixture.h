// The update panel driven as an operator drives it (scripted file dialogs,
// OperateCtrl), with synthetic firmware and table files in a folder of the
// test's own and the simulator on a pty.
#pragma once

#include "tests/fixtures/program.h"

#include "maint/firmware.h"
#include "maint/lindata.h"
#include "sim/runner.h"
#include "ui/panels/update_ids.h"

#include <QTemporaryDir>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace maint_test {

// One S-record with a correct checksum, upper-case hex.
inline std::string record(char type, int addressBytes, uint32_t address, const std::vector<uint8_t> &data) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(addressBytes + data.size() + 1)};
    for (int i = addressBytes - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<uint8_t>(~sum));
    std::string line = std::string("S") + type;
    char hex[3];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

inline std::string s3(uint32_t address, const std::vector<uint8_t> &data) { return record('3', 4, address, data); }

inline std::vector<uint8_t> firmwareBytes(uint32_t address, int count) {
    std::vector<uint8_t> d;
    for (int i = 0; i < count; ++i) d.push_back(static_cast<uint8_t>((address + i) * 7 + 3));
    return d;
}

constexpr uint32_t kWindowStart = 0x1000;
constexpr uint32_t kWindowEnd = 0x2000;
constexpr uint32_t kFirstInWindow = 0x1008; // the record before it straddles the window start

// A firmware image: an S0 header, 16-byte S3 records at base + 8 + 16k up to
// base + 0x3000 (the one at 0x0FF8 straddles the window start; the second
// one inside the window is in lower-case hex), a lower-case record outside
// the window, the record count and the start record.
inline std::vector<std::string> syntheticFirmware() {
    std::vector<std::string> lines{record('0', 2, 0, {'q', 'v', 'e', 'x', '.', 's'})};
    int data = 0;
    for (uint32_t a = 8; a < 0x3000; a += 16, ++data) lines.push_back(s3(kProgramMemoryBase + a, firmwareBytes(a, 16)));
    lines.push_back(s3(kProgramMemoryBase + 0x4000, firmwareBytes(0x4000, 12)));
    for (std::string *hex : {&lines.back(), &lines[(kFirstInWindow + 16 - 8) / 16 + 1]})
        for (std::size_t i = 2; i < hex->size(); ++i) (*hex)[i] = static_cast<char>(std::tolower(static_cast<unsigned char>((*hex)[i])));
    ++data;
    lines.push_back(record('5', 2, static_cast<uint32_t>(data), {}));
    lines.push_back(record('7', 4, kProgramMemoryBase + 0x100, {}));
    return lines;
}

// A table file: 1024 pairs of an index line and a value line.
inline std::vector<std::string> tableLines(const std::vector<int16_t> &values) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < values.size(); ++i) {
        lines.push_back(std::to_string(i));
        lines.push_back(std::to_string(values[i]));
    }
    return lines;
}

inline std::vector<int16_t> tableValues(int first, int step) {
    std::vector<int16_t> v;
    for (int i = 0; i < kLinTableValues; ++i) v.push_back(static_cast<int16_t>(first + i * step));
    return v;
}

// Lines joined as a file holds them: each followed by the given line end.
inline std::string joined(const std::vector<std::string> &lines, const char *end) {
    std::string text;
    for (const std::string &l : lines) text += l + end;
    return text;
}

// The lines of a text whose every line ends in CR LF; a bare LF stays
// inside its line, so a wrong line end shows in every comparison.
inline std::vector<std::string> crlfLines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    if (from < text.size()) lines.push_back(text.substr(from));
    return lines;
}

class UpdatePanelTest : public ProgramTest {
  protected:
    QTemporaryDir dir;

    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        resetUpdatePanel();
    }

    std::string path(const std::string &name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    std::string writeLines(const std::string &name, const std::vector<std::string> &lines) {
        std::ofstream out(path(name), std::ios::binary);
        for (const std::string &l : lines) out << l << "\r\n";
        return path(name);
    }

    // A file's bytes as they are, line ends included.
    static std::string readBytes(const std::string &file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // The panel as after start-up: nothing chosen, no table in use.
    void resetUpdatePanel() {
        for (int box : {UPDATE_CHK_USE_A, UPDATE_CHK_USE_B}) {
            SetCtrlVal(panelUPDATE, box, 0);
            CC_CHK_ENABLE(panelUPDATE, box, EVENT_COMMIT, nullptr, 0, 0);
        }
        ResetUpdateFiles();
        for (int led : {UPDATE_LED_FIRMWARE, UPDATE_LED_A, UPDATE_LED_B, UPDATE_LED_MERGED}) SetFileReady(led, false);
        SetReadyLed(false);
        for (int text : {UPDATE_FIRMWARE_TEXT, UPDATE_TEXT_A, UPDATE_TEXT_B, UPDATE_MERGED_TEXT})
            SetCtrlVal(panelUPDATE, text, "");
        ResetTextBox(panelUPDATE, UPDATE_LOADER_OUTPUT, "");
        SetCtrlVal(panelUPDATE, UPDATE_NUM_WINDOW_START, 0);
        SetCtrlVal(panelUPDATE, UPDATE_NUM_WINDOW_END, 0);
    }

    void chooseFirmware(const std::string &file) {
        popups->fileAnswers.push_back(file);
        OperateCtrl(panelUPDATE, UPDATE_CMD_LOAD_FIRMWARE);
    }
    void useTable(int box, const std::string &file) {
        OperateCtrl(panelUPDATE, box, 1);
        popups->fileAnswers.push_back(file);
        OperateCtrl(panelUPDATE, box == UPDATE_CHK_USE_A ? UPDATE_CMD_LOAD_A : UPDATE_CMD_LOAD_B);
    }
    void merge(const std::string &destination, uint32_t start = kWindowStart, uint32_t end = kWindowEnd) {
        OperateCtrl(panelUPDATE, UPDATE_NUM_WINDOW_START, static_cast<int>(start));
        OperateCtrl(panelUPDATE, UPDATE_NUM_WINDOW_END, static_cast<int>(end));
        popups->fileAnswers.push_back(destination);
        OperateCtrl(panelUPDATE, UPDATE_CMD_MERGE);
        popups->fileAnswers.clear(); // a refused merge never asks for the destination
    }

    static int onColor(int led) {
        int c = 0;
        GetCtrlAttribute(panelUPDATE, led, ATTR_ON_COLOR, &c);
        return c;
    }
    static int lit(int led) {
        int v = 0;
        GetCtrlVal(panelUPDATE, led, &v);
        return v;
    }
    static std::string loaderOutput() {
        std::string s;
        GetCtrlVal(panelUPDATE, UPDATE_LOADER_OUTPUT, &s);
        return s;
    }
    std::string lastError() const { return popups->lastMessage("ERROR"); }
};

} // namespace maint_test
