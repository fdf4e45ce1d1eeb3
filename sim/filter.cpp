#include "sim/filter.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr uint16_t kUnity = 32767;
constexpr int kCommandErase = 180;
constexpr int kCommandWrite = 182;

int tripleWord(int filter) {
    return kFilterTriples + 3 * filter;
}

} // namespace

std::string describe(const FilterWrite &write) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04x", unsigned(write.address));
    std::string line = write.command == kCommandErase ? "erase " : "write ";
    line += buf;
    if (write.command != kCommandErase) {
        line += ":";
        for (uint16_t w : write.words) {
            std::snprintf(buf, sizeof buf, " %04x", unsigned(w));
            line += buf;
        }
    }
    if (!write.accepted) line += " refused";
    return line;
}

FilterImage FilterMemory::factoryImage() {
    FilterImage image{};
    for (int k = 0; k < kFilters; ++k) {
        image[std::size_t(kFilterTaps * k)] = kUnity;
        image[std::size_t(tripleWord(k))] = 2;
        image[std::size_t(tripleWord(k) + 1)] = kFilterOff;
        image[std::size_t(tripleWord(k) + 2)] = kUnity;
    }
    // Filter 1: the mean of the last 45 samples.
    std::fill_n(image.begin(), kFilterTaps, uint16_t(kUnity / kFilterTaps));
    image[std::size_t(tripleWord(0))] = kFilterTaps;
    image[std::size_t(tripleWord(0) + 1)] = 100;
    return image;
}

FilterMemory::FilterMemory() : image_(factoryImage()) {}

uint16_t FilterMemory::setting(int filter) const {
    return image_[std::size_t(tripleWord(filter) + 1)];
}

void FilterMemory::setSetting(int filter, uint16_t value) {
    if (filter >= 0 && filter < kFilters) image_[std::size_t(tripleWord(filter) + 1)] = value;
}

bool FilterMemory::erase(uint16_t address, bool allowed) {
    FilterWrite entry;
    entry.command = kCommandErase;
    entry.address = address;
    entry.accepted = allowed && address == kFilterBase;
    log_.push_back(entry);
    if (entry.accepted) image_.fill(0xFFFF);
    return entry.accepted;
}

bool FilterMemory::write(uint16_t address, const std::vector<uint16_t> &words, bool allowed) {
    FilterWrite entry;
    entry.command = kCommandWrite;
    entry.address = address;
    entry.words = words;
    const int offset = int(address) - kFilterBase;
    const int count = int(words.size());
    entry.accepted = allowed && count >= 1 && count <= kFilterPackageMax && offset >= 0 &&
                     offset + count <= kFilterWords;
    log_.push_back(entry);
    if (!entry.accepted) return false;
    for (int i = 0; i < count; ++i)
        image_[std::size_t(offset + i)] &= words[std::size_t(i)];
    return true;
}

} // namespace sim
