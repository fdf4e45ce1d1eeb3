// The controller as seen from the serial line: requests in, replies out.
// No I/O here; the transports in server.cpp feed it whole requests.
//
// The frame code below (makeFrame, frameCommand, frameWord, RequestFramer)
// is the simulator's own and shares nothing with the program's link/: a
// byte-order or framing mistake made once in a shared codec would sit on
// both sides of every test and pass them all.
#pragma once

#include "sim/filter.h"
#include "sim/measure.h"
#include "sim/record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr std::size_t kFrameBytes = 36;
constexpr int kPayloadWords = 16;
constexpr uint8_t kSync0 = 0x00;
constexpr uint8_t kSync1 = 0x55;
constexpr uint16_t kAck = 0x00AA;
constexpr uint16_t kNak = 0x0000;
constexpr uint16_t kParamBase = 0x6400;    // first request word of every parameter command
constexpr uint16_t kParamRefused = 0xFFFF; // first reply word for a request we cannot take
constexpr uint16_t kNoNewData = 0x09FF;    // command word of a curve reply without a recording
constexpr int kBaudIndexCount = 5;
constexpr int kDefaultBaudIndex = 1;

// Command words the controller gives a meaning to. Everything else is echoed.
enum Command : uint16_t {
    CmdParamWrite = 1,       // 0x6400+n: stage set n; 0x6400: staged sets -> RAM
    CmdParamRead = 2,        // 0x6400: read copy from RAM; 0x6400+n: read set n of the copy
    CmdParamStore = 3,       // 0x6400: staged sets -> RAM and EEPROM
    CmdParamReadEeprom = 4,  // 0x6400: read copy from EEPROM
    CmdLineCheck = 5,        // acknowledged
    CmdTeach = 6,            // acknowledged; the teach target's reference := its present value
    CmdVersion = 7,          // the version text, not a frame
    CmdMeasure = 8,          // 0x6401 / 0x6402 / 0x6411: rawdata words 0-15 / 16-31 / 32-47
    CmdCurve = 9,            // 0x6400+s, i: samples i..i+15 of channel s; 0x6400: re-arm
    CmdStopSampling = 10,    // acknowledged; live values freeze, no triggers
    CmdRestartSampling = 11, // acknowledged
    CmdTestData = 12,        // echoed, word 6 = the state of the inputs
    CmdReset = 13,           // acknowledged; maxima start again
    CmdTrigger = 14,         // acknowledged; normalisation bases := present raw values
    CmdFilterRead = 21,      // 0x6401: words 1..12 = the four filter triples
    CmdFilterErase = 180,    // 0x1100: the filter memory to 0xFFFF
    CmdFilterWrite = 182,    // address, count (1..14), words: programmed into the filter memory
    CmdBaudChange = 190,     // 0..4: acknowledged, the new rate follows the reply
};

using Words = std::array<uint16_t, kPayloadWords>;

// ---- frame helpers (36 bytes: sync, command, 16 payload words, big-endian)
std::vector<uint8_t> makeFrame(uint16_t command, const Words &words = {});
uint16_t frameCommand(const uint8_t *frame);
uint16_t frameWord(const uint8_t *frame, int index);
void setFrameWord(uint8_t *frame, int index, uint16_t value);
bool frameHasSync(const uint8_t *frame);

// 0 -> 9600 ... 4 -> 115200; 0 for an index out of range.
int baudRateForIndex(int index);

class Controller {
  public:
    Controller();

    // One request (36 bytes, starting with the sync) in, the reply bytes out.
    std::vector<uint8_t> handleRequest(const uint8_t *request);

    // False for replies that are not frames (the version text).
    static bool replyIsFrame(uint16_t command) { return command != CmdVersion; }

    static const char *defaultVersionText() { return "Q-VEX-MOD7-ARC Sim V1.00 12/2026"; }
    const std::string &versionText() const { return version_; }
    // Up to 36 characters; anything is allowed (including 'U'). False if too long.
    bool setVersionText(const std::string &text);

    int baudIndex() const { return baudIndex_; }
    bool setBaudIndex(int index);

    // The parameters a controller leaves the factory with.
    static ParamRecord defaultParams();

    // The working parameters and the stored ones. Setting RAM also discards
    // sets staged but not yet activated; neither setter touches a read copy
    // that was already prepared.
    const ParamRecord &ram() const { return ram_; }
    const ParamRecord &eeprom() const { return eeprom_; }
    void setRam(const ParamRecord &record);
    void setEeprom(const ParamRecord &record);
    // What a power-up does: RAM (and the staging copy) from EEPROM, no read copy.
    void reloadFromEeprom();
    // Counts every change of the EEPROM (command 3, setEeprom); whoever keeps
    // the EEPROM image elsewhere compares it to know when to save.
    uint64_t eepromWrites() const { return eepromWrites_; }

    // Signals, recordings and the simulated time (sim/measure.h).
    Measurement &measurement() { return measure_; }
    // All 48 rawdata words as commands 8 would read them now.
    RawData rawData() { return measure_.rawData(ram_); }

    // The filter memory (commands 21, 180, 182) and its log of erases and writes.
    FilterMemory &filterMemory() { return filter_; }

    // Test mode: the inputs that word 6 of every test-record answer reports
    // (bit 0 = IN0, bit 1 = IN1), and the last test record received.
    uint16_t testInputs() const { return testInputs_; }
    void setTestInputs(uint16_t inputs) { testInputs_ = inputs; }
    // A controller that acknowledges the write of parameter set n (1..12)
    // but keeps the set as it was; 0: every set is taken.
    void setForgottenSet(int set) { forgottenSet_ = set; }
    const Words &testRecord() const { return testRecord_; }

  private:
    std::vector<uint8_t> lineCheck(const uint8_t *request);
    std::vector<uint8_t> versionRead();
    std::vector<uint8_t> baudChange(const uint8_t *request);
    std::vector<uint8_t> paramWrite(const uint8_t *request);
    std::vector<uint8_t> paramRead(const uint8_t *request);
    std::vector<uint8_t> paramStore(const uint8_t *request);
    std::vector<uint8_t> paramReadEeprom(const uint8_t *request);
    std::vector<uint8_t> measureRead(const uint8_t *request);
    std::vector<uint8_t> curveRead(const uint8_t *request);
    std::vector<uint8_t> oneShot(const uint8_t *request);
    std::vector<uint8_t> filterRead(const uint8_t *request);
    std::vector<uint8_t> filterErase(const uint8_t *request);
    std::vector<uint8_t> filterWrite(const uint8_t *request);
    std::vector<uint8_t> testData(const uint8_t *request);
    void teach();
    static std::vector<uint8_t> echo(const uint8_t *request);

    std::string version_;
    int baudIndex_ = kDefaultBaudIndex;
    ParamRecord ram_{};
    ParamRecord eeprom_{};
    ParamRecord staged_{};   // sets written by command 1, waiting for activation
    ParamRecord readCopy_{}; // what command 2 reads sets from, once prepared
    bool readCopyPrepared_ = false;
    uint64_t eepromWrites_ = 0;
    Measurement measure_;
    FilterMemory filter_;
    uint16_t testInputs_ = 0;
    int forgottenSet_ = 0;
    Words testRecord_{};
};

// Cuts a byte stream into requests: bytes before a 0x00 0x55 pair are thrown
// away, then 36 bytes from the sync make one request.
class RequestFramer {
  public:
    void append(const uint8_t *data, std::size_t size);
    // Takes the next complete request off the buffer, if there is one.
    bool next(std::array<uint8_t, kFrameBytes> &request);
    void clear() { buffer_.clear(); }
    std::size_t buffered() const { return buffer_.size(); }

  private:
    void resync();
    std::vector<uint8_t> buffer_;
};

} // namespace sim
