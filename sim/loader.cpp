#include "sim/loader.h"

#include "sim/model.h"

#include <QFile>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {

namespace {

constexpr char kBanner[] = "\r\nQ-VEX-MOD7-ARC loader V1.2\r\n";
constexpr char kReady[] = "Waiting for application S-Record.\r\n";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Address bytes of each record type; 0 for types the loader does not know.
int addressBytes(char type) {
    switch (type) {
    case '0': case '1': case '5': case '9': return 2;
    case '2': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
    }
}

bool inFlash(uint32_t address, std::size_t bytes) {
    return address >= kFlashBase && uint64_t(address) + bytes <= uint64_t(kFlashBase) + kFlashSize;
}

} // namespace

bool isHandOverPayload(const uint8_t *request) {
    for (int i = 0; i < kPayloadWords; ++i)
        if (frameWord(request, i) != (i % 2 == 0 ? 0x5555 : 0xAAAA)) return false;
    return true;
}

bool LoaderSettings::operator==(const LoaderSettings &o) const {
    return readyDelayMs == o.readyDelayMs && readyPieces == o.readyPieces && readyGapMs == o.readyGapMs &&
           busyMs == o.busyMs && fifoBytes == o.fifoBytes && silent == o.silent &&
           checksumError == o.checksumError && imageFile == o.imageFile && verbose == o.verbose;
}

std::string checkLoaderRecord(const std::string &line, char *type, uint32_t *address, std::size_t *dataBytes) {
    if (line.size() < 4 || line[0] != 'S') return "record error";
    const char t = line[1];
    const int width = addressBytes(t);
    if (width == 0) return "unknown record type";
    if (line.size() % 2 != 0) return "record error";
    std::vector<uint8_t> bytes;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int hi = hexDigit(line[i]), lo = hexDigit(line[i + 1]);
        if (hi < 0 || lo < 0) return "record error";
        bytes.push_back(uint8_t(hi * 16 + lo));
    }
    const std::size_t count = bytes[0];
    if (count + 1 != bytes.size() || count < std::size_t(width) + 1) return "record error";
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
    if (uint8_t(~sum) != bytes.back()) return "checksum error";
    uint32_t a = 0;
    for (int i = 0; i < width; ++i) a = (a << 8) | bytes[std::size_t(1 + i)];
    const std::size_t data = count - std::size_t(width) - 1;
    if ((t == '1' || t == '2' || t == '3') && !inFlash(a, data)) return "address error";
    if ((t == '7' || t == '8' || t == '9') && !inFlash(a, 1)) return "address error";
    if (type) *type = t;
    if (address) *address = a;
    if (dataBytes) *dataBytes = data;
    return {};
}

LoaderSession::LoaderSession(const LoaderSettings &settings, Writer writer, LineQuery line, QObject *parent)
    : QObject(parent), settings_(settings), writer_(std::move(writer)), line_(std::move(line)) {
    busyTimer_.setSingleShot(true);
    connect(&busyTimer_, &QTimer::timeout, this, &LoaderSession::resume);
    QTimer::singleShot(std::max(0, settings_.readyDelayMs), this, &LoaderSession::announce);
}

void LoaderSession::announce() {
    QByteArray text = kBanner;
    if (settings_.verbose)
        for (int sector = 0; sector < 64; ++sector)
            text += QByteArray("Checking flash sector ") + QByteArray::number(sector).rightJustified(3) +
                    " ... blank\r\n";
    text += kReady;
    const int pieces = std::clamp(settings_.readyPieces, 1, int(text.size()));
    const int size = int(text.size()) / pieces;
    for (int i = 0; i < pieces; ++i) {
        const QByteArray piece = i == pieces - 1 ? text.mid(i * size) : text.mid(i * size, size);
        const bool last = i == pieces - 1;
        QTimer::singleShot(i * std::max(0, settings_.readyGapMs), this, [this, piece, last] {
            say(piece);
            if (!last) return;
            ready_ = true;
            processLines();
        });
    }
}

void LoaderSession::receive(const char *data, qint64 size) {
    if (failed_ || image_.started) return;
    for (qint64 i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == kXoff) {
            outputHeld_ = true;
        } else if (c == kXon) {
            outputHeld_ = false;
            flushOutput();
        } else {
            input_ += c;
            if (busy_ && pausedAt_.elapsed() >= kXoffGraceMs) ++afterXoff_;
        }
    }
    maxAfterXoff_ = std::max(maxAfterXoff_, afterXoff_);
    if (afterXoff_ > settings_.fifoBytes) {
        fail("receive buffer overflow", std::string());
        return;
    }
    processLines();
}

void LoaderSession::processLines() {
    while (ready_ && !busy_ && !failed_ && !image_.started) {
        const qsizetype end = input_.indexOf('\n');
        if (end < 0) return;
        std::string line = input_.left(end).toStdString();
        input_.remove(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (++lineNumber_ == 1 && line_) {
            const LineSettings l = line_();
            image_.senderBaud = l.baud;
            image_.senderXonXoff = l.xonXoff;
        }
        takeLine(line);
    }
}

void LoaderSession::takeLine(const std::string &line) {
    char type = 0;
    uint32_t address = 0;
    std::size_t data = 0;
    std::string problem = checkLoaderRecord(line, &type, &address, &data);
    const bool dataRecord = type == '1' || type == '2' || type == '3';
    if (problem.empty() && dataRecord && settings_.checksumError && dataRecords_ == 0) problem = "checksum error";
    if (!problem.empty()) {
        fail(problem, line);
        return;
    }
    image_.lines.push_back(line);
    if (dataRecord) ++dataRecords_;
    if (type == '7' || type == '8' || type == '9') {
        image_.started = true;
        image_.startAddress = address;
        char text[64];
        std::snprintf(text, sizeof text, "\r\nApplication started from address 0x%08X\r\n", unsigned(address));
        say(text);
        saveImage();
        emit applicationStarted();
        return;
    }
    if (settings_.verbose) say("Record " + QByteArray::number(lineNumber_) + " programmed\r\n");
    if (settings_.busyMs > 0) {
        busy_ = true;
        afterXoff_ = 0;
        writer_(QByteArray(1, kXoff));
        pausedAt_.start();
        busyTimer_.start(settings_.busyMs);
    }
}

void LoaderSession::resume() {
    busy_ = false;
    if (failed_) return;
    writer_(QByteArray(1, kXon));
    processLines();
}

void LoaderSession::fail(const std::string &problem, const std::string &line) {
    failed_ = true;
    input_.clear();
    if (busy_) {
        busyTimer_.stop();
        busy_ = false;
        writer_(QByteArray(1, kXon)); // the sender must not stay blocked
    }
    image_.note = "line " + std::to_string(lineNumber_) + ": " + problem + (line.empty() ? "" : ": " + line);
    std::string text = problem;
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    say(QByteArray::fromStdString("\r\n" + text + " in line " + std::to_string(lineNumber_) +
                                  "!\r\nDownload aborted.\r\n"));
    saveImage();
}

void LoaderSession::say(const QByteArray &text) {
    output_ += text;
    flushOutput();
}

void LoaderSession::flushOutput() {
    if (outputHeld_ || output_.isEmpty()) return;
    writer_(output_);
    output_.clear();
}

void LoaderSession::saveImage() const {
    if (settings_.imageFile.isEmpty()) return;
    QFile f(settings_.imageFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "qvex-sim: cannot write the loader image to %s\n", qPrintable(settings_.imageFile));
        return;
    }
    if (!image_.note.empty()) {
        f.write(QByteArray::fromStdString(image_.note + "\n"));
        return;
    }
    for (const std::string &line : image_.lines) f.write(QByteArray::fromStdString(line + "\n"));
}

} // namespace sim
