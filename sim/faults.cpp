#include "sim/faults.h"

#include "sim/model.h"

#include <algorithm>

namespace sim {

bool Faults::operator==(const Faults &o) const {
    return startAfter == o.startAfter && dropNext == o.dropNext && dropAll == o.dropAll && delayMs == o.delayMs &&
           split == o.split && splitGapMs == o.splitGapMs && strayBytes == o.strayBytes && swapSync == o.swapSync &&
           wrongAck == o.wrongAck && garbage == o.garbage && disconnectAfter == o.disconnectAfter &&
           disconnectMidReply == o.disconnectMidReply && pace == o.pace && oneBehind == o.oneBehind &&
           wrongSetAt == o.wrongSetAt && badActivation == o.badActivation && intermittent == o.intermittent;
}

void FaultSwitch::set(const Faults &faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = faults;
    ++generation_;
    intermittentCount_ = intermittentTurn_ = 0;
}

Faults FaultSwitch::get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

uint64_t FaultSwitch::generation() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
}

FaultSwitch::Turn FaultSwitch::nextReply() {
    std::lock_guard<std::mutex> lock(mutex_);
    Turn t;
    if (faults_.startAfter > 0) {
        --faults_.startAfter;
        return t; // no faults yet
    }
    if (faults_.dropAll) {
        t.drop = true;
    } else if (faults_.dropNext > 0) {
        --faults_.dropNext;
        t.drop = true;
    } else if (faults_.disconnectMidReply) {
        faults_.disconnectMidReply = false;
        t.cutMidReply = true;
    }
    t.faults = faults_;
    if (faults_.intermittent > 0 && !t.drop && ++intermittentCount_ % uint64_t(faults_.intermittent) == 0) {
        switch (static_cast<IntermittentKind>(intermittentTurn_++ % kIntermittentKinds)) {
        case IntermittentKind::Drop: t.drop = true; break;
        case IntermittentKind::ShortDelay: t.faults.delayMs += kIntermittentShortDelayMs; break;
        case IntermittentKind::Split:
            t.faults.split = kIntermittentSplit;
            t.faults.splitGapMs = kIntermittentSplitGapMs;
            break;
        case IntermittentKind::LongDelay: t.faults.delayMs += kIntermittentLongDelayMs; break;
        }
    }
    return t;
}

std::vector<uint8_t> strayPattern(int count) {
    static const uint8_t cycle[] = {0x11, 0x22, 0x33, 0x44, 0x66, 0x77, 0x88,
                                    0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i)
        out.push_back(cycle[std::size_t(i) % sizeof cycle]);
    return out;
}

std::vector<uint8_t> garbageBytes(uint32_t seed) {
    std::vector<uint8_t> out(kFrameBytes);
    uint32_t x = seed * 2654435761u + 0x9E3779B9u;
    for (auto &b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = uint8_t(x >> 24);
        if (b == kSync1) b = 0x56;
    }
    return out;
}

namespace {

// Set replies are the only command 1/2 replies with a first word of 1..12,
// activations the only command 1/3 replies with 0; refusals (0xFFFF) and the
// preparation replies stay as they are.
void falsifyParamReply(uint8_t *reply, const Faults &faults) {
    const uint16_t command = frameCommand(reply);
    const uint16_t first = frameWord(reply, 0);
    if (faults.wrongSetAt > 0 && first == faults.wrongSetAt &&
        (command == CmdParamWrite || command == CmdParamRead))
        setFrameWord(reply, 0, uint16_t(first + 1));
    else if (faults.badActivation && first == 0 && (command == CmdParamWrite || command == CmdParamStore))
        setFrameWord(reply, 0, 1);
}

// Measurement replies carry data in word 0; a sample that happens to be 170
// is not an acknowledge.
bool carriesAck(const uint8_t *reply) {
    const uint16_t command = frameCommand(reply);
    return frameWord(reply, 0) == kAck && command != CmdMeasure && command != CmdCurve;
}

} // namespace

std::vector<std::vector<uint8_t>> shapeReply(const std::vector<uint8_t> &reply, bool isFrame,
                                             const Faults &faults, bool cutMidReply, uint32_t seed) {
    std::vector<uint8_t> body;
    if (faults.garbage) {
        body = garbageBytes(seed);
    } else {
        body = reply;
        if (isFrame && body.size() >= kFrameBytes) {
            falsifyParamReply(body.data(), faults);
            if (faults.wrongAck && carriesAck(body.data())) setFrameWord(body.data(), 0, kAck + 1);
            if (faults.swapSync) std::swap(body[0], body[1]);
        }
    }
    if (cutMidReply && body.size() > kMidReplyBytes) body.resize(kMidReplyBytes);

    std::vector<std::vector<uint8_t>> pieces;
    std::size_t at = 0;
    for (int size : faults.split) {
        if (at >= body.size()) break;
        if (size <= 0) continue;
        const std::size_t n = std::min(std::size_t(size), body.size() - at);
        pieces.emplace_back(body.begin() + std::ptrdiff_t(at), body.begin() + std::ptrdiff_t(at + n));
        at += n;
    }
    if (at < body.size() || pieces.empty())
        pieces.emplace_back(body.begin() + std::ptrdiff_t(at), body.end());

    const std::vector<uint8_t> stray = strayPattern(faults.strayBytes);
    pieces.front().insert(pieces.front().begin(), stray.begin(), stray.end());
    return pieces;
}

} // namespace sim
