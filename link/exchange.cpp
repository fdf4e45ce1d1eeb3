// One exchange at a time: the request goes out over the link in force, up
// to nine times, and its reply comes back through a receive stream that
// also takes the replies still owed to attempts given up on.
//
// A late reply must never pass for the answer to a later request: RUN's two
// parts and DATA's blocks share their command words, so nothing in a reply
// tells them apart. Every attempt that times out therefore leaves its
// request on a list of replies owed, and the controller answers in order or
// not at all: a reply that could belong to an owed request is taken as that
// one's and dropped. Replies to earlier attempts of the request now being
// exchanged asked the same, so they answer it.
#include "link/frame.h"

#include "core/status.h"
#include "link/link_p.h"
#include "link/transport.h"
#include "ui/engine/engine.h"

#include <algorithm>
#include <cstring>
#include <deque>

int nBytesW = 0, nBytesR = 0;
int bytesToRead = 0, bytesRead = 0;
double tstart = 0.0, tdiff = 0.0;
const char kExchangeBusyText[] = "Busy! The sensor is still answering another request.";

namespace {

constexpr double kReplyWait = 0.5;
constexpr int kAttempts = 10; // counter start: attempts run 9 .. 1
constexpr int kCurveCommand = 9;
// An owed reply that comes this soon after a request is as fast as the
// request's own answer would be.
constexpr double kPromptReply = 0.2;
constexpr int kStreamSize = 4096;

// What the exchange keeps between and across requests. It belongs to the
// link it runs on: a new link, the loader handing the port back and a link
// given up all start from Reset().
struct ExchangeState {
    bool busy = false;
    // Bytes received and not yet taken as a reply.
    unsigned char stream[kStreamSize];
    int streamLen = 0;
    // Requests whose replies have not come, oldest first. `current` marks
    // the earlier attempts of the request being exchanged.
    struct Owed {
        int command;
        bool current;
    };
    std::deque<Owed> owed;
    int command = -1;      // command word of the request being exchanged
    bool awaiting = false; // its reply has not been taken yet
    double sentAt = 0.0;   // when the present attempt went out
    // An owed reply came back as promptly as the request's own would:
    // either the controller holds its replies back, or the owed one was
    // lost and the request's own answer was dropped in its place.
    bool doubtfulDrop = false;

    // Received bytes are gone; replies owed stay owed.
    void DropReceived() {
        streamLen = 0;
        bytesToRead = 0;
    }
    // Nothing owed, nothing buffered. An exchange in progress keeps its
    // request (a link is never opened under one: the openers refuse).
    void Reset() {
        owed.clear();
        doubtfulDrop = false;
        DropReceived();
    }
};
ExchangeState x;
using Owed = ExchangeState::Owed;

void attemptFailed(const char *format, int counter) { SetStatusF(format, counter); }

void dropFront(int n) {
    std::memmove(x.stream, x.stream + n, static_cast<std::size_t>(x.streamLen - n));
    x.streamLen -= n;
}

void append(const char *data, int n) {
    if (n > kStreamSize) {
        data += n - kStreamSize;
        n = kStreamSize;
    }
    // No reply is that long: the oldest bytes are junk.
    if (x.streamLen + n > kStreamSize) dropFront(x.streamLen + n - kStreamSize);
    std::memcpy(x.stream + x.streamLen, data, static_cast<std::size_t>(n));
    x.streamLen += n;
}

bool isText(int command) { return command == kVersionCommand; }

// Takes the next reply off the stream once all of it is in. A frame
// preceded by stray bytes starts one byte before the first 0x55; 36 bytes
// without any 0x55 go as they are (a reply that is no frame). The version
// reply is text, not a frame: a 'U' in it is no frame start.
bool takeReply(bool text, unsigned char reply[kFrameSize]) {
    if (!text) {
        const unsigned char *begin = x.stream;
        const unsigned char *end = begin + x.streamLen;
        const unsigned char *hit = std::find(begin, end, static_cast<unsigned char>(0x55));
        if (hit != end && hit - begin > 1) dropFront(static_cast<int>(hit - begin) - 1);
    }
    bytesToRead = std::max(0, kFrameSize - x.streamLen);
    if (x.streamLen < kFrameSize) return false;
    std::memcpy(reply, x.stream, kFrameSize);
    dropFront(kFrameSize);
    return true;
}

// Could this reply answer a request with this command word? Replies echo
// it (0x09FF answers a curve request without data); a reply that is no
// frame, or the version text, could answer anything.
bool mayAnswer(const unsigned char *reply, int command) {
    if (isText(command) || reply[0] != 0x00 || reply[1] != 0x55) return true;
    const int word = reply[2] * 256 + reply[3];
    return word == command || (command == kCurveCommand && word == kNoNewData);
}

// True when the reply answers the request being exchanged; false when it
// was owed to an earlier one (or nobody asked for it). An owed request that
// a later one's reply skips over will never be answered: it is forgotten.
bool isAwaitedReply(const unsigned char *reply) {
    if (x.owed.empty()) return x.awaiting;
    for (std::size_t j = 0; j < x.owed.size(); ++j) {
        if (!mayAnswer(reply, x.owed[j].command)) continue;
        const bool ours = x.owed[j].current && x.awaiting;
        if (!ours && x.awaiting && Timer() - x.sentAt < kPromptReply) x.doubtfulDrop = true;
        x.owed.erase(x.owed.begin(), x.owed.begin() + static_cast<long>(j) + 1);
        // An earlier attempt's answer: the attempt out now is owed its own.
        if (ours) x.owed.push_back({x.command, false});
        return ours;
    }
    if (x.awaiting && mayAnswer(reply, x.command)) {
        x.owed.clear();
        return true;
    }
    x.owed.pop_front();
    return false;
}

// Takes every whole reply off the stream: the awaited one goes to
// szReadBuf, owed ones are dropped, and once nothing is awaited or owed the
// rest is junk.
void settle() {
    unsigned char reply[kFrameSize];
    for (;;) {
        if (!x.awaiting && x.owed.empty()) {
            x.streamLen = 0;
            bytesToRead = 0;
            break;
        }
        if (!takeReply(isText(x.owed.empty() ? x.command : x.owed.front().command), reply)) break;
        if (!isAwaitedReply(reply)) continue;
        std::memcpy(szReadBuf, reply, kFrameSize);
        x.awaiting = false;
        for (Owed &o : x.owed) o.current = false;
        rx_flag = 1;
    }
}

void owe() { x.owed.push_back({x.command, true}); }

bool waitForReply() {
    for (;;) {
        if (!x.awaiting) return true;
        tdiff = Timer() - tstart;
        if (tdiff > kReplyWait) return false;
        WaitForSystemEvents(kReplyWait - tdiff + 0.001);
    }
}

void discardTcp() {
    char scratch[1024];
    while (ClientTCPRead(g_hconversation, scratch, sizeof scratch, 0) > 0) {
    }
    x.streamLen = 0;
}

// Reads what waits at the serial port into the stream; false on a read
// error or a short read.
bool readSerial(int port) {
    int waiting = GetInQLen(port);
    if (waiting < 0) return false;
    char chunk[kStreamSize];
    while (waiting > 0) {
        const int ask = std::min(waiting, kStreamSize);
        nBytesR = ComRd(port, chunk, ask);
        if (nBytesR < ask) return false;
        TakeReceivedBytes(chunk, nBytesR);
        waiting -= ask;
    }
    return true;
}

bool serialAttempt(int counter, const char *request) {
    const int port = g_openPort;
    FlushOutQ(port);
    // Nothing owed: whatever waits belongs to no request.
    if (x.owed.empty()) {
        FlushInQ(port);
        x.streamLen = 0;
    }
    // Cleared before writing, so a reply that arrives during the first event
    // delivery is not lost.
    rx_flag = 0;
    bytesToRead = kFrameSize;
    nBytesW = ComWrt(port, request, kFrameSize);
    if (nBytesW != kFrameSize) {
        attemptFailed("Write failure! Retrying for %i times.", counter);
        return false;
    }
    x.sentAt = tstart = Timer();
    for (;;) {
        if (!readSerial(port)) {
            owe();
            attemptFailed("Data failure! Retrying for %i times.", counter);
            return false;
        }
        if (!x.awaiting) return true;
        tdiff = Timer() - tstart;
        if (tdiff > kReplyWait) {
            owe();
            attemptFailed("Read failure! Retrying for %i times.", counter);
            return false;
        }
        // Part of a reply in: the rest may come without a notification.
        WaitForSystemEvents(bytesToRead < kFrameSize ? 0.01 : kReplyWait - tdiff + 0.001);
    }
}

bool tcpAttempt(int counter, const char *request) {
    if (x.owed.empty() && g_hconversation) discardTcp(); // belongs to no request
    bytesToRead = kFrameSize;
    bytesRead = 0;
    rx_flag = 0;
    nBytesW = g_hconversation ? ClientTCPWrite(g_hconversation, request, kFrameSize, 2000)
                              : static_cast<int>(kTcpNoConnectionEstablished);
    if (nBytesW != kFrameSize) {
        attemptFailed("Write failure! Retrying for %i times.", counter);
        return false;
    }
    x.sentAt = tstart = Timer();
    ReceiveTcpBytes(g_hconversation); // what is already waiting
    if (waitForReply()) return true;
    owe();
    attemptFailed("Read failure! Retrying for %i times.", counter);
    return false;
}

// Sends one request up to nine times; returns the counter of the attempt
// whose reply was taken, 0 when none came.
int runAttempts(const char *request, int command) {
    BeginReplyWait(command);
    int counter = kAttempts;
    int result = 0;
    while (--counter != 0) {
        bool ok = false;
        if (g_linkKind == LINK_SERIAL) ok = serialAttempt(counter, request);
        else if (g_linkKind == LINK_TCP) ok = tcpAttempt(counter, request);
        else attemptFailed("Write failure! Retrying for %i times.", counter);
        if (ok) {
            result = counter;
            break;
        }
    }
    EndReplyWait();
    return result;
}

// After a doubtful drop, an owed reply and this request's own could be
// taken for each other. A line check first sorts it out: its command word
// differs from theirs, so its reply shows whether the owed ones are still
// coming.
bool resyncFirst(int command) {
    if (!x.doubtfulDrop || command == kLineCheckCommand || isText(command)) return false;
    bool ambiguous = false;
    for (const Owed &o : x.owed) {
        if (o.command == kLineCheckCommand || isText(o.command)) return false;
        if (o.command == command) ambiguous = true;
    }
    return ambiguous;
}

} // namespace

bool ExchangeBusy() { return x.busy; }

bool ExchangeRefusedWhileBusy() {
    if (!x.busy) return false;
    ShowRefusal(kExchangeBusyText);
    return true;
}

int ExchangeFrame() {
    if (ExchangeRefusedWhileBusy()) return 0;
    x.busy = true;
    const auto *w = reinterpret_cast<const unsigned char *>(szWriteBuf);
    const int command = w[2] * 256 + w[3];
    int result = 1;
    if (resyncFirst(command)) {
        x.doubtfulDrop = false;
        char probe[kFrameSize] = {};
        probe[0] = static_cast<char>((frame::sync >> 8) & 0xFF);
        probe[1] = static_cast<char>(frame::sync & 0xFF);
        probe[3] = static_cast<char>(kLineCheckCommand);
        result = runAttempts(probe, kLineCheckCommand);
    }
    if (result) result = runAttempts(szWriteBuf, command);
    x.busy = false;
    return result;
}

void ReceiveTcpBytes(unsigned conversation) {
    if (!conversation) return;
    char chunk[1024];
    // The reply may come in pieces and several events; reads take only what
    // is waiting, so the program never blocks here.
    while ((bytesRead = ClientTCPRead(conversation, chunk, sizeof chunk, 0)) > 0)
        TakeReceivedBytes(chunk, bytesRead);
}

void TakeReceivedBytes(const char *data, int n) {
    if (!x.awaiting && x.owed.empty()) return; // nobody asked for it
    append(data, n);
    settle();
}

void BeginReplyWait(int command) {
    x.command = command;
    x.awaiting = true;
}

void ReplyAttemptGivenUp() { owe(); }

void EndReplyWait() {
    // The attempts not answered are owed by now, to a request that is over.
    for (Owed &o : x.owed) o.current = false;
    x.awaiting = false;
    x.command = -1;
    bytesToRead = 0;
}

void ResetReplyAccounting() { x.Reset(); }

void DropReceivedBytes() { x.DropReceived(); }

int ReplyBytesMissing() { return x.awaiting ? bytesToRead : 0; }

int RepliesOwed() { return static_cast<int>(x.owed.size()); }
