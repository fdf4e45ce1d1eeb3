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

Controller::Controller() : version_(defaultVersionText()) {
    eeprom_ = defaultParams();
    reloadFromEeprom();
}

namespace {

int setSlot(int set) {
    return (set - 1) * kSetWords;
}

void put32(ParamRecord &p, int word, uint32_t value) {
    p[std::size_t(word)] = uint16_t(value & 0xFFFF); // low half first
    p[std::size_t(word) + 1] = uint16_t(value >> 16);
}

// Payload words 1..15 all zero: the control requests carry nothing else.
bool restIsZero(const uint8_t *request) {
    for (int i = 1; i < kPayloadWords; ++i)
        if (frameWord(request, i) != 0) return false;
    return true;
}

// 1..12 for a set request, 0 for the control request, -1 for anything else.
int setOfRequest(const uint8_t *request) {
    const uint16_t w0 = frameWord(request, 0);
    if (w0 < kParamBase || w0 > kParamBase + kParamSets) return -1;
    return w0 - kParamBase;
}

std::vector<uint8_t> firstWordOnly(uint16_t command, uint16_t word0) {
    Words w{};
    w[0] = word0;
    return makeFrame(command, w);
}

} // namespace

ParamRecord Controller::defaultParams() {
    ParamRecord p{};
    auto at = [&p](int word) -> uint16_t & { return p[std::size_t(word)]; };
    for (int n = 1; n <= kParamSets; ++n)
        at(setSlot(n)) = uint16_t(n);
    // Channels A (words 1..14) and B (17..30) alike: filter 1, no
    // normalisation, each recording on the overshoot of its own trigger level.
    for (int base : {0, 16}) {
        at(base + 1) = 500;   // power
        at(base + 10) = 2000; // trigger level
        at(base + 12) = 1;    // filter mode: filter 1
        at(base + 13) = 100;  // pretrigger
        at(base + 14) = 4;    // recording interval: a sample every 4 scans (scan rate 1)
    }
    at(3) = 0x1000;  // A resets on "channel A triggerlevel undershoot" (event bit 28)
    at(19) = 0x0100; // B resets on "channel B triggerlevel undershoot" (event bit 24)
    at(5) = 0x2000;  // A records on "channel A triggerlevel overshoot" (event bit 29)
    at(21) = 0x0200; // B records on "channel B triggerlevel overshoot" (event bit 25)
    // Timers 0 (38..41) and 1 (54..57): 100 off, 100 on, scaling 1, mode off.
    for (int base : {38, 54}) {
        at(base) = 100;
        at(base + 1) = 100;
        at(base + 2) = 1;
    }
    at(45) = 0; // analog output: raw value of channel A, full 12-bit range
    at(46) = 4095;
    at(73) = 5;
    at(61) = 1;   // marker the program writes as well
    at(62) = 100; // normalisation time constant
    for (int w : {70, 71, 72})
        at(w) = 0x0A0A; // outputs: minimum off-time 10, on-time 10
    at(74) = 1;         // scan rate
    at(75) = 0x0203;
    at(77) = 0x0202;
    at(79) = kDefaultBaudIndex; // baud-rate ring: 19200
    // Evaluations 1..5 in modes channel A, channel B, A - B, A / B and
    // (A - B) / (A + B), averaging off: reference 2000.0 and tolerances
    // 100.0, all 16.16 fixed point. Evaluation 1 starts on the overshoot of
    // channel A, evaluation 2 on that of channel B.
    for (int e = 0; e < 5; ++e)
        at(65 + e) = uint16_t(e + 1);
    for (int w : {82, 84, 86, 88, 90})
        put32(p, w, 2000u << 16);
    for (int w : {92, 94, 98, 100, 102, 104, 106, 108, 110})
        put32(p, w, 100u << 16);
    at(121) = 0x2000;
    at(130) = 0x0200;
    // Outputs 0 and 1 while evaluation 1 / 2 is in its tolerance band,
    // output 2 while channel A is over its trigger level.
    at(166) = 0x0200;
    at(173) = 0x0020;
    at(181) = 0x0200;
    return p;
}

void Controller::setRam(const ParamRecord &record) {
    ram_ = record;
    staged_ = record;
}

void Controller::setEeprom(const ParamRecord &record) {
    eeprom_ = record;
    ++eepromWrites_;
}

void Controller::reloadFromEeprom() {
    setRam(eeprom_);
    readCopyPrepared_ = false;
}

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
    case CmdParamWrite:
        return paramWrite(request);
    case CmdParamRead:
        return paramRead(request);
    case CmdParamStore:
        return paramStore(request);
    case CmdParamReadEeprom:
        return paramReadEeprom(request);
    case CmdLineCheck:
        return lineCheck(request);
    case CmdVersion:
        return versionRead();
    case CmdBaudChange:
        return baudChange(request);
    case CmdMeasure:
        return measureRead(request);
    case CmdCurve:
        return curveRead(request);
    case CmdTestData:
        return testData(request);
    case CmdFilterRead:
        return filterRead(request);
    case CmdFilterErase:
        return filterErase(request);
    case CmdFilterWrite:
        return filterWrite(request);
    case CmdTeach:
    case CmdStopSampling:
    case CmdRestartSampling:
    case CmdReset:
    case CmdTrigger:
        return oneShot(request);
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

// ---- parameter sets ---------------------------------------------------------
//
// Command 1 stages sets one by one; nothing the controller works with
// changes until the activation (command 1 or 3 with 0x6400 alone) copies the
// staging copy to RAM (command 3: to EEPROM as well). Sets never written keep
// what RAM held. Reading goes through a copy prepared from RAM (command 2) or
// EEPROM (command 4); before the first preparation sets come from RAM itself.
// A set's number slot always holds the set number.

std::vector<uint8_t> Controller::paramWrite(const uint8_t *request) {
    const int set = setOfRequest(request);
    if (set == 0) {
        if (!restIsZero(request)) return firstWordOnly(CmdParamWrite, kParamRefused);
        ram_ = staged_;
        return firstWordOnly(CmdParamWrite, 0);
    }
    if (set < 0) return firstWordOnly(CmdParamWrite, kParamRefused);
    std::vector<uint8_t> reply = echo(request);
    const int slot = setSlot(set);
    staged_[std::size_t(slot)] = uint16_t(set);
    if (set != forgottenSet_)
        for (int i = 1; i < kSetWords; ++i)
            staged_[std::size_t(slot + i)] = frameWord(request, i);
    setFrameWord(reply.data(), 0, uint16_t(set));
    return reply;
}

std::vector<uint8_t> Controller::paramStore(const uint8_t *request) {
    if (setOfRequest(request) != 0 || !restIsZero(request))
        return firstWordOnly(CmdParamStore, kParamRefused);
    ram_ = staged_;
    setEeprom(staged_);
    return firstWordOnly(CmdParamStore, 0);
}

std::vector<uint8_t> Controller::paramRead(const uint8_t *request) {
    const int set = setOfRequest(request);
    if (set == 0) {
        if (!restIsZero(request)) return firstWordOnly(CmdParamRead, kParamRefused);
        readCopy_ = ram_;
        readCopyPrepared_ = true;
        return firstWordOnly(CmdParamRead, 0);
    }
    if (set < 0) return firstWordOnly(CmdParamRead, kParamRefused);
    // The request carries the program's own values of the set; they do not matter.
    const ParamRecord &from = readCopyPrepared_ ? readCopy_ : ram_;
    Words w{};
    w[0] = uint16_t(set);
    for (int i = 1; i < kSetWords; ++i)
        w[std::size_t(i)] = from[std::size_t(setSlot(set) + i)];
    return makeFrame(CmdParamRead, w);
}

std::vector<uint8_t> Controller::paramReadEeprom(const uint8_t *request) {
    if (setOfRequest(request) != 0 || !restIsZero(request))
        return firstWordOnly(CmdParamReadEeprom, kParamRefused);
    readCopy_ = eeprom_;
    readCopyPrepared_ = true;
    return firstWordOnly(CmdParamReadEeprom, 0);
}

// ---- measurement ------------------------------------------------------------

std::vector<uint8_t> Controller::measureRead(const uint8_t *request) {
    const uint16_t block = frameWord(request, 0);
    int first = 0;
    if (block == kRawPart1)
        first = 0;
    else if (block == kRawPart2)
        first = 16;
    else if (block == kRawTrigger)
        first = 32;
    else
        return echo(request);
    const RawData d = measure_.rawData(ram_);
    Words w{};
    std::copy_n(d.begin() + first, kPayloadWords, w.begin());
    return makeFrame(CmdMeasure, w);
}

std::vector<uint8_t> Controller::curveRead(const uint8_t *request) {
    const uint16_t w0 = frameWord(request, 0);
    if (w0 == kParamBase) {
        measure_.rearm();
        return echo(request);
    }
    if (w0 != kParamBase + 1 && w0 != kParamBase + 2) return echo(request);
    const int channel = w0 - kParamBase - 1;
    if (!measure_.newRecording(ram_, channel)) return makeFrame(kNoNewData);
    const Curve &samples = measure_.lastRecording(ram_, channel)->samples;
    const int start = frameWord(request, 1);
    Words w{};
    for (int i = 0; i < kPayloadWords; ++i)
        if (start + i < kCurveSamples) w[std::size_t(i)] = samples[std::size_t(start + i)];
    return makeFrame(CmdCurve, w);
}

// The one-shot sensor commands: done at once, acknowledged in word 0.
std::vector<uint8_t> Controller::oneShot(const uint8_t *request) {
    switch (frameCommand(request)) {
    case CmdTeach:
        teach();
        break;
    case CmdStopSampling:
        measure_.stopSampling();
        break;
    case CmdRestartSampling:
        measure_.restartSampling();
        break;
    case CmdReset:
        measure_.resetMaxima();
        break;
    case CmdTrigger:
        measure_.acquireNormBase();
        break;
    default:
        break;
    }
    std::vector<uint8_t> reply = echo(request);
    setFrameWord(reply.data(), 0, kAck);
    return reply;
}

// Teach target (low byte of word 78): evaluation 1..5 (0..4) or all of them
// (5). An evaluation that is off has nothing to teach. RAM changes at once;
// so does the staging copy, or the next activation would undo the teach.
void Controller::teach() {
    const int target = ram_[std::size_t(pw::kTeach)] & 0xFF;
    for (int e = 0; e < kEvaluations; ++e) {
        if (target != e && target != kEvaluations) continue;
        if (ram_[std::size_t(pw::kEvalMode[e])] == 0) continue;
        const uint32_t value = uint32_t(measure_.evaluation(ram_, e));
        write32(ram_, pw::kReference[e], value);
        write32(staged_, pw::kReference[e], value);
    }
}

// ---- filter memory and test mode ---------------------------------------------
//
// The filter memory is flash: erasing and writing it are refused (first reply
// word 0xFFFF) while sampling runs, as are addresses outside it.

std::vector<uint8_t> Controller::filterRead(const uint8_t *request) {
    if (frameWord(request, 0) != kFilterReadRequest) return firstWordOnly(CmdFilterRead, kParamRefused);
    Words w{};
    w[0] = kFilterReadRequest;
    for (int i = 0; i < 3 * kFilters; ++i)
        w[std::size_t(1 + i)] = filter_.image()[std::size_t(kFilterTriples + i)];
    return makeFrame(CmdFilterRead, w);
}

std::vector<uint8_t> Controller::filterErase(const uint8_t *request) {
    std::vector<uint8_t> reply = echo(request);
    if (!filter_.erase(frameWord(request, 0), !measure_.sampling())) setFrameWord(reply.data(), 0, kParamRefused);
    return reply;
}

std::vector<uint8_t> Controller::filterWrite(const uint8_t *request) {
    std::vector<uint8_t> reply = echo(request);
    const int count = std::min<int>(frameWord(request, 1), kPayloadWords - 2);
    std::vector<uint16_t> words;
    for (int i = 0; i < count; ++i)
        words.push_back(frameWord(request, 2 + i));
    // A count the frame cannot carry is logged as the words it does carry and refused.
    const bool fits = frameWord(request, 1) <= kFilterPackageMax;
    if (!filter_.write(frameWord(request, 0), words, fits && !measure_.sampling()))
        setFrameWord(reply.data(), 0, kParamRefused);
    return reply;
}

std::vector<uint8_t> Controller::testData(const uint8_t *request) {
    for (int i = 0; i < kPayloadWords; ++i)
        testRecord_[std::size_t(i)] = frameWord(request, i);
    std::vector<uint8_t> reply = echo(request);
    setFrameWord(reply.data(), 6, testInputs_);
    return reply;
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
