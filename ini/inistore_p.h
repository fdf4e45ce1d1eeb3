// Internals of the INI store shared by its source files and its tests: the
// data model, name rules, value codecs and the text format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace ini {

// Reading keeps this many bytes of a line and drops the rest of it.
constexpr std::size_t kMaxLineLength = 255;
// Values longer than this are written as numbered pieces of this length.
constexpr std::size_t kPieceLength = 80;
// Longest names a put accepts: with them every line written (also a piece
// line "Tag Line0001 = \"...\"") stays within kMaxLineLength.
constexpr std::size_t kMaxTagLength = 150;
constexpr std::size_t kMaxSectionNameLength = kMaxLineLength - 2;

// Where the first entry of each name (letter case ignored) stands in a list
// of sections or items, so that a look-up in a large file does not scan the
// whole list. The index follows entries appended to the list by itself; after
// any other change (insert, erase, sort) the owner calls Reset. Short lists
// are scanned instead. The index is only a cache of the list: a copy starts
// empty and builds itself again.
class NameIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    NameIndex() = default;
    NameIndex(const NameIndex &) noexcept {}
    NameIndex &operator=(const NameIndex &) noexcept {
        Reset();
        return *this;
    }
    NameIndex(NameIndex &&) noexcept = default;
    NameIndex &operator=(NameIndex &&) noexcept = default;

    void Reset() noexcept { table_.reset(); }
    // Position of the first entry of that name (already trimmed), or npos.
    template <class Entry>
    std::size_t Find(const std::vector<Entry> &list, std::string_view name) const;
    // False only when the last Find saw every name of the list just once.
    bool MayHoldDuplicates() const { return !table_ || table_->duplicates; }

private:
    // Lists shorter than this are scanned.
    static constexpr std::size_t kIndexFrom = 16;
    struct Table {
        std::vector<std::uint32_t> slots; // position + 1 of a first entry, 0 = free
        unsigned bits = 0;                // slots.size() == 1 << bits
        std::size_t covered = 0;          // entries of the list already in the table
        bool duplicates = false;
    };
    template <class Entry>
    void CatchUp(const std::vector<Entry> &list) const;
    template <class Entry>
    std::size_t Probe(const std::vector<Entry> &list, std::string_view name, std::size_t add) const;

    mutable std::unique_ptr<Table> table_;
};

struct Item {
    std::string tag;
    std::string value;
    bool quoted = false;
};

struct Section {
    std::string name;
    std::vector<Item> items;
    NameIndex index; // of items by tag
};

inline std::string_view NameOf(const Section &section) { return section.name; }
inline std::string_view NameOf(const Item &item) { return item.tag; }
// A hash of the name with ASCII letters folded to lower case.
std::uint64_t HashNoCase(std::string_view name);

// Blanks are spaces and tabs.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
std::string_view TrimBlanks(std::string_view text);
std::string_view TrimTrailingBlanks(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 comparing bytes with ASCII letters folded to lower case.
int CompareNoCase(std::string_view a, std::string_view b);

// Names (already trimmed) that a put may store and that read back the same.
bool ValidSectionName(std::string_view name);
bool ValidTag(std::string_view tag);
// A piece tag ends in " Line" and digits; *base is the text before " Line"
// (trailing blanks removed), *isFirst whether the digits give 1.
bool SplitPieceTag(std::string_view tag, std::string_view *base, bool *isFirst);

// String escaping as stored by Ini_PutString.
std::string EscapeString(std::string_view text);
// Escapes only carriage return and line feed (and backslashes are left).
std::string EscapeLineBreaks(std::string_view text);
std::string UnescapeString(std::string_view text);
// Unescapes into buffer (capacity bytes incl. the terminating NUL).
void UnescapeInto(std::string_view text, char *buffer, std::size_t capacity);

// Byte blocks: three bytes to four characters between '0' and 'o'.
std::string EncodeData(const unsigned char *data, std::size_t count);
std::size_t DecodedLength(std::size_t textLength);
// False when the text is not a valid encoding; out gets DecodedLength bytes.
bool DecodeData(std::string_view text, unsigned char *out);

enum class ParseResult { Ok, Blank, Invalid };
ParseResult ParseInt(std::string_view text, int *value);
ParseResult ParseUInt(std::string_view text, unsigned *value);
ParseResult ParseDouble(std::string_view text, double *value);
ParseResult ParseBoolean(std::string_view text, int *value);
std::string FormatInt(long long value);
// The shortest form with up to 16 significant digits, as C's "%.16g" in the
// "C" locale, whatever the process locale is.
std::string FormatDouble(double value);

// Splits text into sections. Feed it the bytes in any chunks, then Finish()
// to get the sections, with the split values already joined.
class TextParser {
public:
    TextParser() { line_.reserve(kMaxLineLength); }
    void Feed(const char *data, std::size_t size);
    std::vector<Section> Finish();

private:
    void EndLine();
    void ParseLine(std::string_view line);

    std::string line_;
    std::vector<Section> sections_;
    bool firstLine_ = true; // may start with a UTF-8 byte-order mark
};

// Joins each run of piece items ("Tag Line0001", "Tag Line0002", ...) into
// one item "Tag".
void JoinPieces(Section &section);

// Calls emit(const char *, size_t) with the text of all sections.
template <class Emit>
void FormatSections(const std::vector<Section> &sections, Emit &&emit);

} // namespace ini

struct IniStore {
    bool sorted = false;
    std::vector<ini::Section> sections;
    ini::NameIndex index; // of sections by name
};

namespace ini {
// Replaces the file at path with the store's text (see Ini_WriteToFile).
// ownerOnly: the file is created and kept with mode 0600.
int WriteFile(const IniStore &store, const char *path, bool ownerOnly = false);
// Parses a whole file into *sections; a negative code on failure. Only a
// plain file of at most kIniMaxFileSize bytes is read.
int ReadFile(const char *path, std::vector<Section> *sections);
} // namespace ini

// ---- template definitions ---------------------------------------------------

namespace ini {

template <class Entry>
std::size_t NameIndex::Find(const std::vector<Entry> &list, std::string_view name) const {
    if (list.size() >= kIndexFrom) {
        try {
            CatchUp(list);
            return Probe(list, name, npos);
        } catch (const std::bad_alloc &) {
            table_.reset(); // no memory for the table: scan as for a short list
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i)
        if (EqualNoCase(NameOf(list[i]), name)) return i;
    return npos;
}

template <class Entry>
void NameIndex::CatchUp(const std::vector<Entry> &list) const {
    if (list.size() >= UINT32_MAX) throw std::bad_alloc(); // positions are held in 32 bits
    if (!table_) table_ = std::make_unique<Table>();
    Table &t = *table_;
    // At most half the slots in use keeps the probe runs short. A larger
    // table is filled again from the start, which keeps the first of each
    // name; so is one whose list shrank (an owner that missed a Reset).
    if (t.slots.size() < 2 * list.size() || t.covered > list.size()) {
        unsigned bits = 5;
        while ((std::size_t{1} << bits) < 2 * list.size()) ++bits;
        std::vector<std::uint32_t>(std::size_t{1} << bits, 0).swap(t.slots);
        t.bits = bits;
        t.covered = 0;
        t.duplicates = false;
    }
    for (; t.covered < list.size(); ++t.covered) Probe(list, NameOf(list[t.covered]), t.covered);
}

// Finds the name's slot; with add != npos, enters that position when the name
// is not there yet.
template <class Entry>
std::size_t NameIndex::Probe(const std::vector<Entry> &list, std::string_view name, std::size_t add) const {
    Table &t = *table_;
    const std::size_t mask = t.slots.size() - 1;
    std::size_t at = static_cast<std::size_t>((HashNoCase(name) * 0x9E3779B97F4A7C15ull) >> (64 - t.bits));
    for (;; at = (at + 1) & mask) {
        const std::uint32_t slot = t.slots[at];
        if (slot == 0) {
            if (add != npos) t.slots[at] = static_cast<std::uint32_t>(add + 1);
            return npos;
        }
        if (EqualNoCase(NameOf(list[slot - 1]), name)) {
            if (add != npos) t.duplicates = true;
            return slot - 1;
        }
    }
}

// A value that reading would change (cut blanks at its ends, or take two
// double quotes around it for quoting) is written quoted even when unquoted.
inline bool NeedsQuotes(std::string_view value) {
    if (value.empty()) return false;
    if (IsBlank(value.front()) || IsBlank(value.back())) return true;
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

template <class Emit>
void FormatSections(const std::vector<Section> &sections, Emit &&emit) {
    std::string line;
    auto itemLine = [&](std::string_view tag, std::string_view piece, bool quoted) {
        quoted = quoted || NeedsQuotes(piece);
        line.assign(tag);
        line += " = ";
        if (quoted) line += '"';
        line += piece;
        if (quoted) line += '"';
        line += "\r\n";
        emit(line.data(), line.size());
    };
    for (const Section &section : sections) {
        line = "[" + section.name + "]\r\n";
        emit(line.data(), line.size());
        for (const Item &item : section.items) {
            const std::string_view value = item.value;
            // A tag that itself ends in " Line" and digits (read from a file
            // as "Tag Line0001 Line1", or a loose "Tag Line0003") is always
            // written as pieces: written plainly it would be read back under
            // another name, or be joined to the item before it.
            std::string_view base;
            bool first = false;
            if (value.size() <= kPieceLength && !SplitPieceTag(item.tag, &base, &first)) {
                itemLine(item.tag, value, item.quoted);
                continue;
            }
            std::string tag;
            std::size_t at = 0, n = 1;
            do {
                std::string number = std::to_string(n++);
                if (number.size() < 4) number.insert(0, 4 - number.size(), '0');
                tag = item.tag + " Line" + number;
                itemLine(tag, value.substr(at, kPieceLength), item.quoted);
                at += kPieceLength;
            } while (at < value.size());
        }
        emit("\r\n", 2);
    }
}

} // namespace ini
