// The controller's programming loader: after the hand-over frame (command
// 187) the serial line stops carrying frames and carries S-record text
// instead. The loader announces itself, takes one S-record a line, checks
// every checksum and address, pauses the sender with XOFF while it programs
// a record, and starts the application at the termination record.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

constexpr uint16_t CmdHandOver = 187;
constexpr uint32_t kFlashBase = 0x02000000; // program memory of the controller
constexpr uint32_t kFlashSize = 0x00080000; // 512 KiB
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
// A sender stops within a character or two of an XOFF on a wire; on a pty
// the XOFF and the bytes already written cross in the kernel and in the
// threads' scheduling. Bytes arriving later than this count as ignoring it.
constexpr int kXoffGraceMs = 20;

// What the hand-over frame must carry: 0x5555, 0xAAAA, ... (16 words).
bool isHandOverPayload(const uint8_t *request);

struct LoaderSettings {
    int readyDelayMs = 300;  // restart into the loader before it speaks
    int readyPieces = 1;     // the announcement goes out in this many writes
    int readyGapMs = 30;     // between two pieces of the announcement
    int busyMs = 1;          // programming time per record; input held off with XOFF
    int fifoBytes = 256;     // what may still arrive once the sender should have stopped
    bool verbose = false;    // a start-up log of some 2.5 KB before the announcement, a line per record
    // Faults.
    bool silent = false;        // the hand-over is acknowledged but no loader starts
    bool checksumError = false; // the first data record is reported as damaged
    QString imageFile;          // where the received image is saved; empty: nowhere

    bool operator==(const LoaderSettings &o) const;
};

// What the loader received: the S-records as they came (line ends removed),
// or, after a bad line, a note of it.
struct LoaderImage {
    std::vector<std::string> lines;
    std::string note;     // "line N: <problem>: <line>" once a line was refused
    bool started = false; // the termination record started the application
    uint32_t startAddress = 0;
    // The sender's line settings when the first record arrived, where the
    // line can tell (a pty can): bits per second, and whether it stops on XOFF.
    int senderBaud = 0;
    bool senderXonXoff = false;
};

struct LineSettings {
    int baud = 0;
    bool xonXoff = false;
};

// Checks one received line: empty when it is a good record for this memory,
// else the loader's reason ("checksum error", "address error", ...).
// On success type, address (start address for S7-S9) and data are filled.
std::string checkLoaderRecord(const std::string &line, char *type, uint32_t *address, std::size_t *dataBytes);

// One run of the loader on a line. Everything runs on the owner's thread and
// is timer driven; write() puts bytes on the line.
class LoaderSession : public QObject {
    Q_OBJECT
  public:
    using Writer = std::function<void(const QByteArray &)>;
    using LineQuery = std::function<LineSettings()>;
    LoaderSession(const LoaderSettings &settings, Writer writer, LineQuery line = {}, QObject *parent = nullptr);

    // Bytes from the program.
    void receive(const char *data, qint64 size);
    // True once the application was started; the line carries frames again.
    bool finished() const { return image_.started; }
    const LoaderImage &image() const { return image_; }
    // The most bytes that arrived in one pause later than kXoffGraceMs
    // after the XOFF: 0 for a sender that honours it.
    int maxBytesAfterXoff() const { return maxAfterXoff_; }

  signals:
    void applicationStarted();

  private:
    void announce();
    void processLines();
    void takeLine(const std::string &line);
    void fail(const std::string &problem, const std::string &line);
    void say(const QByteArray &text);
    void flushOutput();
    void resume();
    void saveImage() const;

    LoaderSettings settings_;
    Writer writer_;
    LineQuery line_;
    QTimer busyTimer_;
    QByteArray input_;
    QByteArray output_;     // held back while the program has sent XOFF
    bool outputHeld_ = false;
    bool ready_ = false;    // announced; records are taken
    bool busy_ = false;     // programming a record, input held off
    bool failed_ = false;   // a bad line ended the download
    int lineNumber_ = 0;
    int dataRecords_ = 0;
    QElapsedTimer pausedAt_;
    int afterXoff_ = 0;
    int maxAfterXoff_ = 0;
    LoaderImage image_;
};

} // namespace sim
