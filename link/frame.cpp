#include "link/frame.h"

#include "core/groups.h"
#include "core/owner.h"
#include "core/status.h"
#include "link/link_p.h"
#include "link/reconnect.h"
#include "link/transport.h"

#include <algorithm>
#include <cstring>

namespace frame {
int sync = 0x55;
}
int order = 1;
unsigned short emptyframe[PNUM];
char szVersion[72];
char szVersionShown[72];
char szWriteBuf[1024];
char szReadBuf[1024];

namespace {

constexpr char kConnectionLost[] = "Error! Connection lost.";
constexpr char kEchoIncorrect[] = "Error! Sensor echo incorrect.";
constexpr char kNoConnection[] = "Error! No connection found.";
constexpr char kAnswerIncorrect[] = "Answer incorrect. Check Sensor.";
constexpr char kNoSensorAnswered[] = "Error! No sensor answered.";
constexpr int kVersionLength = 35;

// The line check; *result says how its exchange ended.
int lineCheck(ExchangeResult *result) {
    const unsigned short request[PNUM] = {};
    unsigned short reply[PNUM] = {};
    *result = Exchange(kLineCheckCommand, request, reply);
    switch (*result) {
    case EXCHANGE_BUSY: return 0; // the busy text stays
    case EXCHANGE_LOST: SayLinkFailure(kNoConnection); return 0;
    case EXCHANGE_BAD_ECHO: return 0;
    case EXCHANGE_OK: break;
    }
    if (reply[0] == kAcknowledge) {
        SetStatus("Connection found. Line OK.");
        return 1;
    }
    SayLinkFailure(kAnswerIncorrect);
    return 0;
}

} // namespace

void FillTxBuf(int command, const unsigned short payload[PNUM]) {
    if (ExchangeBusy()) return; // the waiting exchange still owns szWriteBuf
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

int GetRxBuf(unsigned short destination[PNUM]) {
    const auto *b = reinterpret_cast<const unsigned char *>(szReadBuf);
    if (b[0] != 0x00 || b[1] != 0x55) return -1;
    order = b[2] * 256 + b[3];
    for (int i = 0; i < PNUM; ++i) destination[i] = static_cast<unsigned short>(b[4 + 2 * i] * 256 + b[5 + 2 * i]);
    return order;
}

ExchangeResult Exchange(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]) {
    if (ExchangeRefusedWhileBusy()) return EXCHANGE_BUSY;
    order = command;
    FillTxBuf(order, payload);
    if (!ExchangeFrame()) return EXCHANGE_LOST;
    if (reply && GetRxBuf(reply) == -1) return EXCHANGE_BAD_ECHO;
    return EXCHANGE_OK;
}

const char *ExchangeErrorText(ExchangeResult result) {
    switch (result) {
    case EXCHANGE_LOST: return kConnectionLost;
    case EXCHANGE_BAD_ECHO: return kEchoIncorrect;
    case EXCHANGE_BUSY: return kExchangeBusyText;
    case EXCHANGE_OK: break;
    }
    return "";
}

void GiveUpLink(ExchangeResult why) {
    if (why == EXCHANGE_OK || why == EXCHANGE_BUSY) return;
    SetStatus(ExchangeErrorText(why));
    stop_flag = 1;
    EndLinkBoundHolds();
    set_main_buttons(0, 0, 0);
    // The automatic reconnect opens the same line to the same controller,
    // which may still send what it owes; any other next link starts anew.
    if (!reconnectAutomatically) ResetLinkState();
    StartReconnect();
}

int CheckComLine() {
    ExchangeResult result;
    return lineCheck(&result);
}

int GetVERSIONInfo() {
    const unsigned short request[PNUM] = {};
    const ExchangeResult result = Exchange(kVersionCommand, request, nullptr);
    if (result == EXCHANGE_BUSY) return 0;
    if (result != EXCHANGE_OK) {
        SayLinkFailure(kConnectionLost);
        return 0;
    }
    // The reply is text up to its first zero byte, kept at most 35 long. A
    // frame in its place (it starts with a zero byte) is no version.
    char text[kVersionLength + 1];
    const std::size_t len = strnlen(szReadBuf, kVersionLength);
    std::memcpy(text, szReadBuf, len);
    text[len] = '\0';
    // Any text is the controller's own version, whatever its bytes; the
    // status line shows only its printable characters, and each file that
    // takes the text writes it in that file's own way.
    if (len == 0) {
        SayLinkFailure(kAnswerIncorrect);
        return 0;
    }
    char shown[sizeof text];
    KeepPrintable(shown, sizeof shown, text);
    std::memcpy(szVersion, text, len + 1);
    std::memcpy(szVersionShown, shown, sizeof shown);
    SetStatus(szVersionShown);
    return 1;
}

int VerifyLink() {
    ExchangeResult result;
    if (!lineCheck(&result)) {
        if (result == EXCHANGE_BAD_ECHO) SayLinkFailure(kNoSensorAnswered);
        return 0;
    }
    return GetVERSIONInfo();
}

const unsigned char *LastRequest() { return reinterpret_cast<const unsigned char *>(szWriteBuf); }
const unsigned char *LastReply() { return reinterpret_cast<const unsigned char *>(szReadBuf); }

void KeepPrintable(char *dst, std::size_t size, const char *src) {
    if (size == 0) return;
    std::size_t n = 0;
    for (; *src && n + 1 < size; ++src)
        if (*src >= ' ' && *src <= '~') dst[n++] = *src;
    dst[n] = '\0';
}
