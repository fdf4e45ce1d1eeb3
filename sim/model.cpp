#include "sim/model.h"

#include <algorithm>
#include <cstring>

namespace sim {

std::vector<uint8_t> makeFrame(uint16_t command, const Words &words) {
    std::vector<uint8_t> f(kFrameBytes, 0);
    f[0] = kSync0;
    f[1] = kSync1;
    f[2] = uint8_t(command >> 8);
    f[3] = uint8_t(command & 0xFF);
    for (int i = 0; i < kPayloadWords; ++i)
        setFrameWord(f.data(), i, words[std::size_t(i)]);
    return f;
}

uint16_t frameCommand(const uint8_t *frame) {
    return uint16_t((frame[2] << 8) | frame[3]);
}

uint16_t frameWord(const uint8_t *frame, int index) {
    const uint8_t *p = frame + 4 + 2 * index;
    return uint16_t((p[0] << 8) | p[1]);
}

void setFrameWord(uint8_t *frame, int index, uint16_t value) {
    uint8_t *p = frame + 4 + 2 * index;
    p[0] = uint8_t(value >> 8);
    p[1] = uint8_t(value & 0xFF);
}

bool frameHasSync(const uint8_t *frame) {
    return frame[0] == kSync0 && frame[1] == kSync1;
}

int baudRateForIndex(int index) {
    static const int rates[kBaudIndexCount] = {9600, 19200, 38400, 57600, 115200};
    return index >= 0 && index < kBaudIndexCount ? rates[index] : 0;
}

// ---- Controller -------------------------------------------------------------

Controller::Controller() : version_(defaultVersionText()) {}

bool Controller::setVersionText(const std::string &text) {
    if (text.size() > kFrameBytes) return false;
    version_ = text;
    return true;
}

bool Controller::setBaudIndex(int index) {
    if (baudRateForIndex(index) == 0) return false;
    baudIndex_ = index;
    return true;
}

std::vector<uint8_t> Controller::handleRequest(const uint8_t *request) {
    switch (frameCommand(request)) {
    case CmdLineCheck:
        return lineCheck(request);
    case CmdVersion:
        return versionRead();
    case CmdBaudChange:
        return baudChange(request);
    default:
        return echo(request);
    }
}

std::vector<uint8_t> Controller::lineCheck(const uint8_t *) {
    Words w{};
    w[0] = kAck;
    return makeFrame(CmdLineCheck, w);
}

std::vector<uint8_t> Controller::versionRead() {
    std::vector<uint8_t> reply(kFrameBytes, 0);
    std::memcpy(reply.data(), version_.data(), std::min(version_.size(), kFrameBytes));
    return reply;
}

// The new rate takes effect on the wire after this reply has gone out; the
// transport samples the rate before handing the request to us.
std::vector<uint8_t> Controller::baudChange(const uint8_t *request) {
    Words w{};
    w[0] = setBaudIndex(frameWord(request, 0)) ? kAck : kNak;
    return makeFrame(CmdBaudChange, w);
}

std::vector<uint8_t> Controller::echo(const uint8_t *request) {
    return std::vector<uint8_t>(request, request + kFrameBytes);
}

// ---- RequestFramer ----------------------------------------------------------

void RequestFramer::append(const uint8_t *data, std::size_t size) {
    buffer_.insert(buffer_.end(), data, data + size);
}

void RequestFramer::resync() {
    std::size_t i = 0;
    while (i + 1 < buffer_.size() && !(buffer_[i] == kSync0 && buffer_[i + 1] == kSync1))
        ++i;
    // A lone trailing 0x00 may be the first half of a sync still on its way.
    if (i + 1 == buffer_.size() && buffer_[i] != kSync0) ++i;
    buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(i));
}

bool RequestFramer::next(std::array<uint8_t, kFrameBytes> &request) {
    resync();
    if (buffer_.size() < kFrameBytes) return false;
    std::copy_n(buffer_.begin(), kFrameBytes, request.begin());
    buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(kFrameBytes));
    return true;
}

} // namespace sim
