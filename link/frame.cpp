#include "link/frame.h"

#include "core/program.h"
#include "core/status.h"
#include "link/transport.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace frame {
int sync = 0x55;
}
int order = 1;
unsigned short emptyframe[PNUM];
double tstart = 0.0, tdiff = 0.0;
char szVersion[72];

namespace {

constexpr double kReplyWait = 0.5;
constexpr char kBusyText[] = "Busy! The sensor is still answering another request.";
constexpr int kAttempts = 10; // counter start: attempts run 9 .. 1
bool g_busy = false;

void attemptFailed(const char *format, int counter) {
    std::snprintf(szStatus, sizeof szStatus, format, counter);
    ShowStatus();
}

// Waits until rx_flag is set or the reply time has run out.
// Every pass of the loop delivers pending events before it looks at the flag.
bool waitForReply() {
    tstart = Timer();
    for (;;) {
        if (rx_flag) return true;
        tdiff = Timer() - tstart;
        if (tdiff > kReplyWait) return false;
        WaitForSystemEvents(kReplyWait - tdiff + 0.001);
    }
}

constexpr int kVersionCommand = 7;

// Moves a reply preceded by stray bytes into place. Returns how many bytes
// of the reply are still missing after the move. The version reply is text,
// not a frame: a 'U' (0x55) in it is no frame start, so it stays as it came.
int realign(int received) {
    const unsigned char *w = reinterpret_cast<unsigned char *>(szWriteBuf);
    if (w[2] * 256 + w[3] == kVersionCommand) return 0;
    const unsigned char *b = reinterpret_cast<unsigned char *>(szReadBuf);
    const unsigned char *hit = std::find(b, b + received, 0x55);
    if (hit == b + received || hit == b) return 0;
    const int start = static_cast<int>(hit - b) - 1;
    if (start == 0) return 0;
    const int have = received - start;
    const int keep = std::min(have, kFrameSize);
    std::memmove(szReadBuf, szReadBuf + start, keep);
    return kFrameSize - keep;
}

// Reads the missing tail of a realigned reply.
bool completeSerial(int missing) {
    const double until = Timer() + kReplyWait;
    int have = kFrameSize - missing;
    while (have < kFrameSize) {
        int waiting = GetInQLen(comport);
        if (waiting < 0) return false;
        if (waiting > 0) {
            int n = ComRd(comport, szReadBuf + have, std::min(waiting, kFrameSize - have));
            if (n < 0) return false;
            have += n;
            continue;
        }
        if (Timer() > until) return false;
        WaitForSystemEvents(0.01);
    }
    return true;
}

bool completeTcp(int missing) {
    bytesToRead = missing; // the data-ready callback fills szReadBuf up to 36 bytes
    rx_flag = 0;
    ClientTCPCB(g_hconversation, TCP_DATAREADY, 0, nullptr); // what is already waiting
    return waitForReply();
}

bool serialAttempt(int counter) {
    FlushOutQ(comport);
    FlushInQ(comport);
    // Cleared before writing, so a reply that arrives during the first event
    // delivery is not lost.
    rx_flag = 0;
    nBytesW = ComWrt(comport, szWriteBuf, kFrameSize);
    if (nBytesW != kFrameSize) {
        attemptFailed("Write failure! Retrying for %i times.", counter);
        return false;
    }
    if (!waitForReply()) {
        attemptFailed("Read failure! Retrying for %i times.", counter);
        return false;
    }
    int waiting = std::min(GetInQLen(comport), static_cast<int>(sizeof szReadBuf));
    if (waiting < 0) waiting = 0;
    nBytesR = ComRd(comport, szReadBuf, waiting);
    if (nBytesR < waiting || nBytesR <= 0) {
        attemptFailed("Data failure! Retrying for %i times.", counter);
        return false;
    }
    const int missing = realign(nBytesR);
    if (missing > 0 && !completeSerial(missing)) {
        attemptFailed("Data failure! Retrying for %i times.", counter);
        return false;
    }
    return true;
}

bool tcpAttempt(int counter) {
    // Whatever is still waiting belongs to no request: drop it first.
    bytesToRead = 0;
    if (g_hconversation) ClientTCPCB(g_hconversation, TCP_DATAREADY, 0, nullptr);
    bytesToRead = kFrameSize;
    bytesRead = 0;
    rx_flag = 0;
    nBytesW = g_hconversation ? ClientTCPWrite(g_hconversation, szWriteBuf, kFrameSize, 2000) : -12;
    if (nBytesW != kFrameSize) {
        bytesToRead = 0;
        attemptFailed("Write failure! Retrying for %i times.", counter);
        return false;
    }
    if (!waitForReply()) {
        bytesToRead = 0;
        attemptFailed("Read failure! Retrying for %i times.", counter);
        return false;
    }
    const int missing = realign(kFrameSize);
    if (missing > 0 && !completeTcp(missing)) {
        bytesToRead = 0;
        attemptFailed("Read failure! Retrying for %i times.", counter);
        return false;
    }
    return true;
}

} // namespace

bool ExchangeBusy() { return g_busy; }

bool ExchangeRefusedWhileBusy() {
    if (!g_busy) return false;
    SetStatus(kBusyText);
    return true;
}

void FillTxBuf(int command, const unsigned short payload[PNUM]) {
    if (g_busy) return; // the waiting exchange still owns szWriteBuf
    auto *b = reinterpret_cast<unsigned char *>(szWriteBuf);
    b[0] = static_cast<unsigned char>((frame::sync >> 8) & 0xFF);
    b[1] = static_cast<unsigned char>(frame::sync & 0xFF);
    b[2] = static_cast<unsigned char>((command >> 8) & 0xFF);
    b[3] = static_cast<unsigned char>(command & 0xFF);
    for (int i = 0; i < PNUM; ++i) {
        b[4 + 2 * i] = static_cast<unsigned char>(payload[i] >> 8);
        b[5 + 2 * i] = static_cast<unsigned char>(payload[i] & 0xFF);
    }
}

int ExchangeFrame() {
    if (ExchangeRefusedWhileBusy()) return 0;
    g_busy = true;
    int counter = kAttempts;
    int result = 0;
    while (--counter != 0) {
        const bool ok = comprotocol == 0 ? serialAttempt(counter) : tcpAttempt(counter);
        if (ok) {
            result = counter;
            break;
        }
    }
    bytesToRead = 0;
    g_busy = false;
    return result;
}

int GetRxBuf(unsigned short destination[PNUM]) {
    const auto *b = reinterpret_cast<const unsigned char *>(szReadBuf);
    if (b[0] != 0x00 || b[1] != 0x55) return -1;
    order = b[2] * 256 + b[3];
    for (int i = 0; i < PNUM; ++i) destination[i] = static_cast<unsigned short>(b[4 + 2 * i] * 256 + b[5 + 2 * i]);
    return order;
}

int CheckComLine() {
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    order = 5;
    FillTxBuf(order, emptyframe);
    int result;
    if (!ExchangeFrame()) {
        std::snprintf(szStatus, sizeof szStatus, "Error! No connection found.");
        result = 0;
    } else if (GetRxBuf(emptyframe) == -1) {
        return 0;
    } else if (emptyframe[0] == kAcknowledge) {
        std::snprintf(szStatus, sizeof szStatus, "Connection found. Line OK.");
        result = 1;
    } else {
        std::snprintf(szStatus, sizeof szStatus, "Answer incorrect. Check Sensor.");
        result = 0;
    }
    ShowStatus();
    return result;
}

int GetVERSIONInfo() {
    if (comprotocol == 0) {
        FlushInQ(comport);
        FlushOutQ(comport);
    }
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    order = 7;
    FillTxBuf(order, emptyframe);
    int result;
    if (ExchangeFrame()) {
        // The reply is text up to its first zero byte, shown at most 35 long.
        const std::size_t len = strnlen(szReadBuf, 35);
        std::memcpy(szVersion, szReadBuf, len);
        szVersion[len] = '\0';
        std::memcpy(szStatus, szVersion, len + 1);
        result = 1;
    } else {
        std::snprintf(szStatus, sizeof szStatus, "Error! Connection lost.");
        result = 0;
    }
    ShowStatus();
    return result;
}
