// Request/reply frames: every exchange with the controller is one 36-byte
// request answered by one 36-byte reply.
#pragma once

#include <cstddef>

constexpr int kFrameSize = 36;
constexpr int PNUM = 16;           // payload words per frame
constexpr int kAcknowledge = 0x00AA;
constexpr int kNoNewData = 0x09FF; // reply command word: no new data
constexpr int kLineCheckCommand = 5;
constexpr int kVersionCommand = 7;

// The leading word of every request. It lives in a namespace of its own
// because POSIX declares a function sync() in the global one.
namespace frame {
extern int sync;
}
extern int order;
extern unsigned short emptyframe[PNUM];
// The controller's version text as it came (record files keep it so), and
// the same with only its printable characters, for the status line.
extern char szVersion[72];
extern char szVersionShown[72];

// Builds the request in the transmit buffer.
void FillTxBuf(int command, const unsigned short payload[PNUM]);
// Sends the request and waits for its reply. Returns the attempt counter
// (9 down to 1) on success, 0 when all attempts failed or another exchange
// is still in progress. A reply is only ever taken as the answer to the
// request it belongs to: replies owed to attempts given up on are dropped
// when they come.
int ExchangeFrame();
// Checks and unpacks the reply: returns its command word, or -1 when the
// reply does not start with 0x00 0x55 (destination and order unchanged).
int GetRxBuf(unsigned short destination[PNUM]);
int CheckComLine();
int GetVERSIONInfo();

// How one checked exchange ended.
enum ExchangeResult {
    EXCHANGE_BUSY = -2,     // refused: another exchange waits (the status line says so)
    EXCHANGE_BAD_ECHO = -1, // the reply does not start with 0x00 0x55
    EXCHANGE_LOST = 0,      // no reply after every attempt
    EXCHANGE_OK = 1,
};
// One checked exchange: order = command, the request built from payload,
// exchanged, and the reply unpacked into reply (order then holds the
// reply's command word). reply may be null for a reply that is no frame
// (the version text): it is then left in the receive buffer.
ExchangeResult Exchange(int command, const unsigned short payload[PNUM], unsigned short reply[PNUM]);
// The status text of a failed exchange: "Error! Connection lost.",
// "Error! Sensor echo incorrect." or the busy text.
const char *ExchangeErrorText(ExchangeResult result);
// Gives the link up after a lost or garbled exchange: the reason in the
// status line, stop_flag = 1 and the commands that need a link dimmed. A
// refused exchange gives nothing up.
void GiveUpLink(ExchangeResult why);

// True while an exchange waits for its reply. Commands started meanwhile
// (by a callback run inside the wait) must not touch the frame buffers.
bool ExchangeBusy();
// The same check for a command about to start: when an exchange is waiting
// it says so in the status line and returns true (the command must not run).
bool ExchangeRefusedWhileBusy();

// The last request built and the last reply taken, 36 bytes each.
const unsigned char *LastRequest();
const unsigned char *LastReply();
// Bytes of the awaited reply not yet in.
int ReplyBytesMissing();
// Replies the controller still owes to attempts that were given up on;
// they are dropped when they come.
int RepliesOwed();

// Copies the printable characters (blank to '~') of src into dst.
void KeepPrintable(char *dst, std::size_t size, const char *src);
