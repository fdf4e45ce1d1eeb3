// Inside of the link: the frame buffers, the byte counters and the wait's
// clock, and the state the transport and the exchange share. Only link/
// includes this; everybody else reads the last request and reply through
// frame.h.
#pragma once

#include "link/frame.h"

#include <string>

extern char szWriteBuf[1024]; // the request in its first 36 bytes
extern char szReadBuf[1024];  // the reply taken, in its first 36 bytes
extern int nBytesW, nBytesR;  // last write, last serial read
extern int bytesToRead;       // bytes of the awaited reply not yet in
extern int bytesRead;         // bytes delivered by the last TCP read
extern double tstart, tdiff;  // start and elapsed time of the present wait

// The link the exchange goes over. It changes only when a link is opened
// or closed, never when the dialog's protocol selector moves.
enum LinkKind { LINK_NONE = -1, LINK_SERIAL = 0, LINK_TCP = 1 };
extern int g_linkKind;
// The serial port that is open (normal or loader link), 0 = none.
extern int g_openPort;

// What a command refused while another exchange waits says.
extern const char kExchangeBusyText[];

// A new link, or none: no reply is owed any more, nothing is buffered.
void ResetReplyAccounting();
// The same serial line opened again: bytes received so far are gone, but
// the controller on it still owes what it owed.
void DropReceivedBytes();
// Takes what arrived on the TCP conversation: a reply this exchange waits
// for, replies still owed to earlier attempts (dropped), or bytes nobody
// asked for (dropped).
void ReceiveTcpBytes(unsigned conversation);

// The receive side of one request, as the attempts drive it and as the
// fuzzer drives it without a link: a reply to command is awaited; an
// attempt given up on leaves its reply owed; bytes read from either link
// are taken (the awaited reply goes to szReadBuf with rx_flag = 1, owed
// ones are dropped); at the end the request is over.
void BeginReplyWait(int command);
void ReplyAttemptGivenUp();
void TakeReceivedBytes(const char *data, int n);
void EndReplyWait();

// Why the link being opened did not come up. Every failure on the way says
// it on the status line and keeps it here, so the connect can return it as
// its outcome's reason; a new attempt starts with none.
void BeginLinkAttempt();
void SayLinkFailure(const char *text);
const std::string &LinkAttemptFailure();

// The line check and the version read after a link opened: 1 when both
// passed. A reply that is no frame at all says that no sensor answered, so
// the status line never keeps naming a controller that is gone.
int VerifyLink();
