#include "recorder/recfile.h"

#include "core/groups.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "measure/data.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

char file_name[260];
int file_handle = -1;
int recorder_status = 0;
int headerwritten = 0;
int recwerte = 0;
int anzwerte = 0;
double zeitint = 0.0;

namespace {

constexpr const char *kFileErrors[kFileErrorCount] = {
    "Specified file could not be found!",
    "General IO error!",
    "Invalid file handle!",
    "Insufficient memory!",
    "File already exists!",
    "Permission denied!",
    "Invalid Argument!",
    "Maximum number of files are open!",
    "Dsik is full!",
    "Filename is too long!",
};

// The column-header line: every name followed by a comma.
std::string columnLine() {
    std::string line;
    for (const char *name : kRecordColumnNames) line += std::string(name) + ",";
    return line;
}

// A failed opening with the engine's code, or a general IO error when the
// engine gave none: a failure is never taken for success.
int openErrorCode() {
    const int code = GetFmtIOError();
    return code >= 1 && code <= kFileErrorCount ? code : 2;
}

// Opens the record file for one routine's writes. A failed opening is shown
// in a message box and leaves -1 in file_handle.
class RecordFile {
  public:
    int open(int action) {
        file_handle = OpenFile(file_name, VAL_WRITE_ONLY, action, VAL_ASCII);
        if (file_handle >= 0) return 0;
        const int code = openErrorCode();
        MessagePopup("ERROR!", FileErrorText(code));
        return code;
    }
    // Writes text (line feeds become CR LF). After the first failure every
    // further write of this opening is skipped.
    void write(const std::string &text) {
        if (failed_ == 0 && FmtFile(file_handle, "%s", text.c_str()) < 0) failed_ = openErrorCode();
    }
    // Puts what was written on the disk and closes the file. Returns 0 or
    // the code of the first failed write, which the status line reports.
    int close() {
        if (failed_ == 0 && SyncFile(file_handle) < 0) failed_ = openErrorCode();
        if (CloseFile(file_handle) < 0 && failed_ == 0) failed_ = openErrorCode();
        if (failed_ != 0) SetStatusF("Error! Record file not written: %s", FileErrorText(failed_));
        return failed_;
    }

  private:
    int failed_ = 0;
};

// The routines that append need a file that opened before.
bool usableFile() {
    if (file_handle >= 0) return true;
    MessagePopup("ATTENTION!", "No file selected!\nRecording can not be started.");
    return false;
}

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...) {
    char buf[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

// The controller's version text without control characters, which would
// break the header's lines.
std::string printable(const char *text) {
    std::string out;
    for (const char *c = text; *c; ++c)
        if (static_cast<unsigned char>(*c) >= 0x20 && *c != 0x7F) out += *c;
    return out;
}

// One CSV field: a text with a comma, a quote or a line break goes in
// quotes, its quotes doubled, so a reader finds the field whole; any other
// text goes as it is.
std::string csvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string word16(int word) { return std::to_string(static_cast<int16_t>(rawdata[word])); }
std::string fixed16(int word) {
    return FormatFixed(static_cast<int32_t>(GetField32(rawdata, word)) / 65536.0, 3);
}

} // namespace

RecordHooks recordHooks;

const char *const kRecordColumnNames[kRecordColumns] = {
    "INDEX", "TIMESTAMP", "RESULT A", "NORM A", "RAW A", "MAX{ RAW A }",
    "RESULT B", "NORM B", "RAW B", "MAX{ RAW B }", "EVAL 1", "EVAL 2",
};

RecordRow RecordRowFields(int index, const std::string &time) {
    return {std::to_string(index), time,
            word16(RD_RESULT),     word16(RD_NORM),     word16(RD_RAW),     word16(RD_MAXRAW),
            word16(RD_RESULT + 1), word16(RD_NORM + 1), word16(RD_RAW + 1), word16(RD_MAXRAW + 1),
            fixed16(RD_EVAL1),     fixed16(RD_EVAL2)};
}

Outcome RecordFileOutcome(int code) {
    if (code == 0) return Outcome::Done();
    if (code == -1 || file_handle < 0)
        return Outcome::Rejected(std::string("cannot write the record file ") + file_name);
    return Outcome::Failed(std::string("Error! Record file not written: ") + FileErrorText(code) + " (" + file_name +
                           ")");
}

const char *FileErrorText(int code) {
    if (code == -1) return "No file selected!";
    return code >= 1 && code <= kFileErrorCount ? kFileErrors[code - 1] : "Unknown error.";
}

int WriteHeaderToFile() {
    RecordFile f;
    if (const int code = f.open(VAL_TRUNCATE)) return code;
    std::string text = "Logfile for recorded data.";
    text += "\nDate:," + DateStr();
    text += "\nTime:," + TimeStr();
    text += "\nType of sensor:," + csvField(printable(szVersion));
    text += std::string("\nType of software:,") + szSoftname;
    text += std::string("\nSoftware version:,") + szSoftversion;
    if (tcpcon != 0 && rs232con == 0) {
        text += "\nType of connection:,TCP/IP";
        text += std::string("\nConnection details:,IP ") + ipBuf;
        text += std::string("\nConnection details:,PORT ") + portNumStr;
    } else if (tcpcon == 0 && rs232con != 0) {
        const long rate = baud >= 0 && baud < kBaudRateCount ? kBaudRates[baud] : 0;
        text += "\nType of connection:,RS232";
        text += format("\nConnection details:,COM %i", comport);
        text += format("\nConnection details:,BAUDRATE %ld bps", rate);
    }
    switch (GetRecordingType()) {
    case REC_TYPE_MANUAL: text += "\nRecording type:,Manual"; break;
    case REC_TYPE_AUTOMATIC:
        text += "\nRecording type:,Automatic";
        text += format("\nNumber of data sets:,%i", anzwerte);
        text += "\nRecording interval in sec:," + FormatFixed(zeitint, 6);
        break;
    default: break;
    }
    text += "\n\n" + columnLine();
    f.write(text);
    return f.close();
}

int WriteHeaderIfPending() {
    if (headerwritten != 0) return 0;
    const int result = WriteHeaderToFile();
    recwerte = 0;
    if (result == 0 || file_handle < 0) headerwritten = 1;
    return result;
}

int StoreRecorderDATA() {
    const int header = WriteHeaderIfPending();
    if (header != 0 && file_handle >= 0) return header; // the header failed half-way: no row below it
    if (!usableFile()) return -1;
    RecordFile f;
    if (const int code = f.open(VAL_APPEND)) return code;
    // One clock reading for the file's seconds and the listeners' milliseconds.
    const std::string stamp = TimeStrMs();
    std::string line = "\n";
    for (const std::string &field : RecordRowFields(recwerte, stamp.substr(0, 8))) line += field + ",";
    f.write(line);
    const int result = f.close();
    if (result == 0 && recordHooks.rowStored) recordHooks.rowStored(recwerte, stamp);
    return result;
}

int WriteCloserToFile(int status) {
    if (!usableFile()) return -1;
    if (status > 0) return 0;
    RecordFile f;
    if (const int code = f.open(VAL_APPEND)) return code;
    if (status == 0) f.write("\nRecording successfully finished at " + TimeStr() + ".");
    else if (status == -1) f.write("\nError while recording data.\nRecording interrupted prior to completion.");
    else f.write("\nError while recording data.\nUnknown error.");
    return f.close();
}

int WriteGraphHeaderToFile() {
    if (!usableFile()) return -1;
    RecordFile f;
    if (const int code = f.open(VAL_APPEND)) return code;
    f.write("\n\nRecorded analog graph.\nTIMESTAMP:," + TimeStr() + "\n\nINDEX,Channel A:,Channel B:,");
    return f.close();
}

int StoreGraphToFile() {
    if (!usableFile()) return -1;
    RecordFile f;
    if (const int code = f.open(VAL_APPEND)) return code;
    std::string text;
    text.reserve(CURVE_SAMPLES * 20);
    for (int k = 0; k < CURVE_SAMPLES; ++k)
        text += format("\n%i,%i,%i", k, static_cast<int16_t>(yArrayA[k]), static_cast<int16_t>(yArrayB[k]));
    text += "\nEnd of Graph\n\n";
    f.write(text);
    return f.close();
}
