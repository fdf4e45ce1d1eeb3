// Line faults the simulator can put between the controller and the program:
// lost, late, torn, corrupted and cut-off replies, replies that lag one
// request behind, and parameter replies that report a failure the controller
// did not have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace sim {

struct Faults {
    int startAfter = 0;              // the next N replies go out clean (counts down)
    int dropNext = 0;                // drop the next N replies (counts down)
    bool dropAll = false;            // never answer
    int delayMs = 0;                 // hold every reply back this long
    std::vector<int> split;          // send the reply in pieces of these sizes
    int splitGapMs = 20;             // pause between two pieces
    int strayBytes = 0;              // junk bytes (never 0x55) before every reply
    bool swapSync = false;           // frames start 0x55 0x00
    bool wrongAck = false;           // an acknowledge 0x00AA goes out as 0x00AB
    bool garbage = false;            // 36 junk bytes (no 0x55) instead of the reply
    int disconnectAfter = 0;         // TCP: close after N replies; pty: fall silent
    bool disconnectMidReply = false; // next reply: 10 bytes, then close / fall silent
    bool pace = false;               // send at the current baud rate, 10 bits a byte
    // Every request is answered with the reply to the one before it; the
    // first request after a connect (or after the faults change) gets none.
    bool oneBehind = false;
    // Parameter replies. The controller still does what was asked; only the
    // reply says otherwise.
    int wrongSetAt = 0;         // write/read of set n (1..12) is answered as set n+1
    bool badActivation = false; // activation replies (command 1/3) carry 1, not 0
    // Intermittent faults: every Nth reply is faulty, the kinds taking turns
    // (see IntermittentKind); the replies in between go out as the other
    // switches say.
    int intermittent = 0;

    bool operator==(const Faults &o) const;
    bool operator!=(const Faults &o) const { return !(*this == o); }
};

// The turns of the intermittent fault: lost; held back less than the
// program's reply wait; sent in two pieces; held back longer than the reply
// wait, so it arrives after the program has asked again.
enum class IntermittentKind { Drop, ShortDelay, Split, LongDelay };
constexpr int kIntermittentKinds = 4;
constexpr int kIntermittentShortDelayMs = 150;
constexpr int kIntermittentLongDelayMs = 700;
inline const std::vector<int> kIntermittentSplit = {7, 13};
constexpr int kIntermittentSplitGapMs = 15;

// The faults in force, shared between the thread that sets them (a test, the
// command line) and the simulator thread that reads them at every reply.
class FaultSwitch {
  public:
    // What happens to one reply, decided under the lock so that the one-shot
    // switches (startAfter, dropNext, disconnectMidReply) are used up exactly
    // once.
    struct Turn {
        Faults faults;
        bool drop = false;
        bool cutMidReply = false;
    };

    // Replaces the faults and starts a new generation: links restart their
    // reply counts and a pty that fell silent answers again.
    void set(const Faults &faults);
    Faults get() const;
    uint64_t generation() const;
    Turn nextReply();

  private:
    mutable std::mutex mutex_;
    Faults faults_;
    uint64_t generation_ = 0;
    uint64_t intermittentCount_ = 0; // replies since the faults were set
    uint64_t intermittentTurn_ = 0;  // faulty replies so far
};

// N stray bytes: 0x11, 0x22, ... 0xFF cycling, 0x55 left out.
std::vector<uint8_t> strayPattern(int count);
// 36 junk bytes derived from seed; never a 0x55 among them.
std::vector<uint8_t> garbageBytes(uint32_t seed);

// The reply as it goes on the wire, in the pieces it is sent in (at least one
// piece, none empty). isFrame is false for the version text, which
// swapSync/wrongAck/wrongSetAt/badActivation leave alone. Stray bytes lead the first piece; the split
// sizes cut the reply itself, bytes left over go out as one last piece.
std::vector<std::vector<uint8_t>> shapeReply(const std::vector<uint8_t> &reply, bool isFrame,
                                             const Faults &faults, bool cutMidReply, uint32_t seed);

constexpr std::size_t kMidReplyBytes = 10;

} // namespace sim
