// Value codecs of the INI store: names, string escaping, byte blocks, numbers.
#include "ini/inistore_p.h"

#include <cfloat>
#include <charconv>
#include <cstdint>
#include <system_error>

namespace ini {

namespace {

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// Calls put(char) for every unescaped byte until it returns false.
template <class Put>
void Unescape(std::string_view text, Put &&put) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            c = text[++i];
            switch (c) {
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            case 't': c = '\t'; break;
            case 'x':
                if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
                    c = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
                    i += 2;
                }
                break;
            default: break; // the character itself
            }
        }
        if (!put(c)) return;
    }
}

} // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return TrimTrailingBlanks(text);
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::uint64_t HashNoCase(std::string_view name) {
    std::uint64_t h = 0xcbf29ce484222325ull; // FNV-1a
    for (const char c : name) {
        h ^= Lower(static_cast<unsigned char>(c));
        h *= 0x100000001b3ull;
    }
    return h;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int x = Lower(static_cast<unsigned char>(a[i]));
        const int y = Lower(static_cast<unsigned char>(b[i]));
        if (x != y) return x - y;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool ValidSectionName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxSectionNameLength && !HasLineBreak(name);
}

bool ValidTag(std::string_view tag) {
    // A tag holding "=" would be cut there, and one starting with ";" or "["
    // would read as a comment or section line.
    return !tag.empty() && tag.size() <= kMaxTagLength && !HasLineBreak(tag) &&
           tag.find('=') == std::string_view::npos && tag.front() != ';' && tag.front() != '[';
}

bool SplitPieceTag(std::string_view tag, std::string_view *base, bool *isFirst) {
    std::size_t end = tag.size();
    while (end > 0 && IsDigit(tag[end - 1])) --end;
    if (end == tag.size()) return false;
    constexpr std::string_view kLine = " Line";
    if (end < kLine.size() || tag.substr(end - kLine.size(), kLine.size()) != kLine) return false;
    const std::string_view head = TrimTrailingBlanks(tag.substr(0, end - kLine.size()));
    if (head.empty()) return false;
    std::string_view digits = tag.substr(end);
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    *base = head;
    *isFirst = digits == "1";
    return true;
}

std::string EscapeString(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += ch; // bytes of 0x80 and above pass unchanged
            }
        }
    }
    return out;
}

std::string EscapeLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string UnescapeString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    Unescape(text, [&](char c) {
        out += c;
        return true;
    });
    return out;
}

void UnescapeInto(std::string_view text, char *buffer, std::size_t capacity) {
    if (capacity == 0) return;
    std::size_t n = 0;
    Unescape(text, [&](char c) {
        if (n + 1 >= capacity) return false;
        buffer[n++] = c;
        return true;
    });
    buffer[n] = '\0';
}

std::string EncodeData(const unsigned char *data, std::size_t count) {
    std::string out;
    out.reserve(count / 3 * 4 + 4);
    std::size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const unsigned b0 = data[i], b1 = data[i + 1], b2 = data[i + 2];
        out += static_cast<char>((b0 >> 6) * 16 + (b1 >> 6) * 4 + (b2 >> 6) + 48);
        out += static_cast<char>((b0 & 63) + 48);
        out += static_cast<char>((b1 & 63) + 48);
        out += static_cast<char>((b2 & 63) + 48);
    }
    if (count - i == 1) {
        const unsigned b0 = data[i];
        out += static_cast<char>((b0 >> 6) * 16 + 48);
        out += static_cast<char>((b0 & 63) + 48);
    } else if (count - i == 2) {
        const unsigned b0 = data[i], b1 = data[i + 1];
        out += static_cast<char>((b0 >> 6) * 16 + (b1 >> 6) * 4 + 48);
        out += static_cast<char>((b0 & 63) + 48);
        out += static_cast<char>((b1 & 63) + 48);
    }
    return out;
}

std::size_t DecodedLength(std::size_t textLength) {
    const std::size_t rest = textLength % 4;
    return textLength / 4 * 3 + (rest ? rest - 1 : 0);
}

bool DecodeData(std::string_view text, unsigned char *out) {
    // A single character left over holds no byte: that text was never written
    // by the encoder, so it is reported rather than silently shortened.
    if (text.size() % 4 == 1) return false;
    for (const char c : text)
        if (c < '0' || c > 'o') return false;
    auto six = [&](std::size_t i) { return static_cast<unsigned>(text[i] - '0'); };
    std::size_t o = 0;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const unsigned high = six(i);
        const std::size_t bytes = text.size() - i >= 4 ? 3 : text.size() - i - 1;
        for (std::size_t k = 0; k < bytes; ++k) {
            const unsigned top = (high >> (4 - 2 * k)) & 3;
            out[o++] = static_cast<unsigned char>(top << 6 | six(i + 1 + k));
        }
    }
    return true;
}

ParseResult ParseInt(std::string_view text, int *value) {
    text = TrimBlanks(text);
    if (text.empty()) return ParseResult::Blank;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return ParseResult::Invalid;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t v = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return ParseResult::Invalid;
        v = v * 10 + (c - '0');
        if (v > limit) return ParseResult::Invalid;
    }
    *value = static_cast<int>(negative ? -v : v);
    return ParseResult::Ok;
}

ParseResult ParseUInt(std::string_view text, unsigned *value) {
    text = TrimBlanks(text);
    if (text.empty()) return ParseResult::Blank;
    if (text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return ParseResult::Invalid;
    std::uint64_t v = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return ParseResult::Invalid;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > 0xFFFFFFFFu) return ParseResult::Invalid;
    }
    *value = static_cast<unsigned>(v);
    return ParseResult::Ok;
}

ParseResult ParseDouble(std::string_view text, double *value) {
    text = TrimBlanks(text);
    if (text.empty()) return ParseResult::Blank;
    // from_chars takes no "+"; one is allowed before a number or "Inf".
    if (text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-') return ParseResult::Invalid;
    }
    double v = 0;
    const char *end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v, std::chars_format::general);
    if (r.ptr != end) return ParseResult::Invalid;
    if (r.ec == std::errc::result_out_of_range) {
        // "%.16g" rounds the largest double up to 1.797693134862316e+308,
        // just beyond the double range: such values read as the largest
        // double. Values too small for a double read as zero; anything
        // larger is not a number this store writes.
        long double wide = 0;
        const auto w = std::from_chars(text.data(), end, wide, std::chars_format::general);
        if (w.ec != std::errc() || w.ptr != end) return ParseResult::Invalid;
        const long double magnitude = wide < 0 ? -wide : wide;
        if (magnitude < 1)
            v = wide < 0 ? -0.0 : 0.0;
        else if (magnitude <= 1.797693134862316e308L)
            v = wide < 0 ? -DBL_MAX : DBL_MAX;
        else
            return ParseResult::Invalid;
    } else if (r.ec != std::errc()) {
        return ParseResult::Invalid;
    }
    *value = v;
    return ParseResult::Ok;
}

ParseResult ParseBoolean(std::string_view text, int *value) {
    text = TrimBlanks(text);
    if (text.empty()) return ParseResult::Blank;
    if (EqualNoCase(text, "True")) {
        *value = 1;
        return ParseResult::Ok;
    }
    if (EqualNoCase(text, "False")) {
        *value = 0;
        return ParseResult::Ok;
    }
    return ParseResult::Invalid;
}

std::string FormatInt(long long value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string FormatDouble(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 16);
    return std::string(buf, r.ptr);
}

} // namespace ini
