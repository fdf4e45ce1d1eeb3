#include "publish/messages.h"

#include "core/jsontext.h"

#include <cstdint>

std::string LiveJson(const RecordRow &row, const std::string &time) {
    std::string out = "{\"index\": " + row[0] + ", \"time\": " + JsonString(time);
    for (int i = 2; i < kRecordColumns; ++i)
        out += ", " + JsonString(kRecordColumnNames[i]) + ": " + row[static_cast<std::size_t>(i)];
    return out + "}";
}

std::string StatusJson(const char *state, const std::string &version, const std::string &link) {
    return std::string("{\"state\": \"") + state + "\", \"version\": " + JsonString(version) +
           ", \"link\": " + JsonString(link) + "}";
}

namespace {
std::string samples(int n, const unsigned short *curve) {
    std::string out = "[";
    for (int k = 0; k < n; ++k) {
        if (k) out += ",";
        out += std::to_string(static_cast<int16_t>(curve[k]));
    }
    return out + "]";
}
} // namespace

std::string CurveJson(const std::string &time, int n, const unsigned short *a, const unsigned short *b) {
    return "{\"time\": " + JsonString(time) + ", \"samples\": " + std::to_string(n) +
           ", \"Channel A\": " + samples(n, a) + ", \"Channel B\": " + samples(n, b) + "}";
}
