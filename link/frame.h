// Request/reply frames: every exchange with the controller is one 36-byte
// request answered by one 36-byte reply.
#pragma once

constexpr int kFrameSize = 36;
constexpr int PNUM = 16;           // payload words per frame
constexpr int kAcknowledge = 0x00AA;
constexpr int kNoNewData = 0x09FF; // reply command word: no new data

// The leading word of every request. It lives in a namespace of its own
// because POSIX declares a function sync() in the global one.
namespace frame {
extern int sync;
}
extern int order;
extern unsigned short emptyframe[PNUM];
extern double tstart, tdiff;
extern char szVersion[72];

// Builds the request in szWriteBuf.
void FillTxBuf(int command, const unsigned short payload[PNUM]);
// Sends szWriteBuf and waits for the reply in szReadBuf. Returns the attempt
// counter (9 down to 1) on success, 0 when all attempts failed or another
// exchange is still in progress.
int ExchangeFrame();
// Checks and unpacks the reply: returns its command word, or -1 when the
// reply does not start with 0x00 0x55 (destination and order unchanged).
int GetRxBuf(unsigned short destination[PNUM]);
int CheckComLine();
int GetVERSIONInfo();

// True while an exchange waits for its reply. Commands started meanwhile
// (by a callback run inside the wait) must not touch the frame buffers.
bool ExchangeBusy();
// The same check for a command about to start: when an exchange is waiting
// it says so in the status line and returns true (the command must not run).
bool ExchangeRefusedWhileBusy();
