// The controller's filter memory: 256 words of flash at address 0x1100
// holding the coefficients of four filters (45 words each, words 0-179) and
// their parameter triples (count, setting, 32767; words 180-191). Erasing
// sets every word to 0xFFFF; programming can only clear bits, as flash does,
// so a write that was not preceded by an erase leaves a mix of old and new.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr uint16_t kFilterBase = 0x1100;
constexpr int kFilterWords = 256;
constexpr int kFilters = 4;
constexpr int kFilterTaps = 45;
constexpr int kFilterTriples = 180;   // memory word of filter 1's triple
constexpr uint16_t kFilterOff = 0xFFFF; // setting of a filter that is off
constexpr int kFilterPackageMax = 14; // data words one write request carries
constexpr uint16_t kFilterReadRequest = 0x6401; // word 0 of command 21

using FilterImage = std::array<uint16_t, kFilterWords>;

// One erase (command 180) or write (command 182) request as the controller
// took it, or refused it (an address or count outside the memory, or
// sampling still running).
struct FilterWrite {
    uint16_t command = 0;
    uint16_t address = 0;
    std::vector<uint16_t> words; // written words; empty for an erase
    bool accepted = false;
    bool operator==(const FilterWrite &o) const {
        return command == o.command && address == o.address && words == o.words && accepted == o.accepted;
    }
};
// One line of text: "erase 1100", "write 1100: 7fff 0000 ...", with
// " refused" after a request the controller did not take.
std::string describe(const FilterWrite &write);

class FilterMemory {
  public:
    // As delivered: filter 1 a 45-tap moving average with setting 100,
    // filters 2-4 pass-through and off.
    FilterMemory();
    static FilterImage factoryImage();

    const FilterImage &image() const { return image_; }
    void setImage(const FilterImage &image) { image_ = image; }
    // The setting word of filter k (0..3); kFilterOff = off.
    uint16_t setting(int filter) const;
    void setSetting(int filter, uint16_t value);

    // Commands 180 and 182; `allowed` is false while sampling runs. True when
    // the memory was changed. Every request is logged.
    bool erase(uint16_t address, bool allowed);
    bool write(uint16_t address, const std::vector<uint16_t> &words, bool allowed);

    const std::vector<FilterWrite> &log() const { return log_; }
    void clearLog() { log_.clear(); }

  private:
    FilterImage image_{};
    std::vector<FilterWrite> log_;
};

} // namespace sim
