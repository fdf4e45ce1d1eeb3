// libFuzzer target for reply realignment and unpacking. The input is a
// script: requests awaited (line check, version, curve or any command word),
// attempts given up on, requests ended, and byte streams of any length cut
// into chunks of any size, taken as the serial and TCP reads take them.
// GetRxBuf must unpack exactly the reply taken; a frame taken while earlier
// replies are still owed must be one the awaited request may get (it echoes
// its command word, 0x09FF only for a curve request: with nothing owed the
// link takes whatever frame comes); the bytes awaited stay within one frame.
#include "fuzz/fuzz_common.h"
#include "link/frame.h"
#include "link/link_p.h"
#include "link/transport.h"

#include <cstring>

namespace {

struct Script {
    const std::uint8_t *data;
    std::size_t size, at = 0;
    bool more() const { return at < size; }
    unsigned byte() { return at < size ? data[at++] : 0; }
    int word() {
        const unsigned high = byte();
        return static_cast<int>(high << 8 | byte());
    }
};

void CheckTakenReply(int command, bool mustEcho) {
    const unsigned char *b = LastReply();
    unsigned short words[PNUM];
    std::memset(words, 0xEE, sizeof words);
    const int saved = order;
    const int word = GetRxBuf(words);
    if (b[0] != 0x00 || b[1] != 0x55) {
        FUZZ_CHECK(word == -1 && order == saved);
        for (unsigned short w : words) FUZZ_CHECK(w == 0xEEEE);
        return;
    }
    FUZZ_CHECK(word == b[2] * 256 + b[3] && order == word);
    for (int i = 0; i < PNUM; ++i) FUZZ_CHECK(words[i] == b[4 + 2 * i] * 256 + b[5 + 2 * i]);
    if (mustEcho && command != kVersionCommand) FUZZ_CHECK(word == command || (command == 9 && word == kNoNewData));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    ResetReplyAccounting();
    EndReplyWait();
    rx_flag = 0;
    Script s{data, size};
    int command = -1; // the request awaited, -1 none
    bool taken = false;
    while (s.more()) {
        switch (s.byte() % 6) {
        case 0: { // a request goes out
            if (command >= 0) EndReplyWait();
            const unsigned pick = s.byte();
            command = pick < 64    ? kLineCheckCommand
                      : pick < 96  ? kVersionCommand
                      : pick < 160 ? 9
                                   : s.word();
            BeginReplyWait(command);
            rx_flag = 0;
            taken = false;
            break;
        }
        case 1: // its attempt timed out, it goes out again
            if (command >= 0 && !taken) ReplyAttemptGivenUp();
            break;
        case 2: // the request is over
            if (command >= 0) EndReplyWait();
            command = -1;
            break;
        default: { // bytes arrive, in chunks of up to 255 or up to 64 KiB
            const bool big = s.byte() & 1;
            std::size_t n = big ? s.word() : s.byte();
            n = std::min(n, s.size - s.at);
            const int owedBefore = RepliesOwed();
            TakeReceivedBytes(reinterpret_cast<const char *>(data + s.at), static_cast<int>(n));
            s.at += n;
            FUZZ_CHECK(ReplyBytesMissing() >= 0 && ReplyBytesMissing() <= kFrameSize);
            if (rx_flag == 1 && !taken) {
                FUZZ_CHECK(command >= 0);
                CheckTakenReply(command, owedBefore > 0 && RepliesOwed() > 0);
                taken = true;
                // The exchange ends once its reply is in.
                EndReplyWait();
                command = -1;
            }
            FUZZ_CHECK(RepliesOwed() >= 0 && RepliesOwed() <= static_cast<int>(size));
            break;
        }
        }
    }
    EndReplyWait();
    ResetReplyAccounting();
    return 0;
}
