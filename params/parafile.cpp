#include "params/parafile.h"

#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "params/binding.h"
#include "params/words.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

const char kParaFileDialogTitle[] = "Q-VEX-MOD7-ARC Parameter File";

namespace {

constexpr std::size_t kLabelBuffer = 100;

// ---- the file layout ----------------------------------------------------------------
// Sections and keys in file order, made from the table of params/words.cpp.

struct Ring {
    int *panel;
    int control;
};

struct Field {
    FileHolds kind;
    const char *key;
    int word;
    int shift;
    unsigned mask;
    Ring ring; // the control showing the field; its items name the labels
};

// A boolean key naming one bit of a mask or group.
struct BitKey {
    const char *key;
    int word; // relative to the section's first word
    int bit;
};

struct Section {
    std::string name;
    std::vector<Field> fields;
    // Bit sections: the mask or group they build, rebuilt from all bits clear.
    int bitsWord = -1;
    int bitsSpan = 0;
    std::vector<BitKey> bits;
};

BitKey edgeKey(int index) {
    const EventCondition &e = kEdgeConditions[index];
    return {e.text, EventWord(e.bit), EventWordBit(e.bit)};
}
BitKey levelKey(int index) {
    const GroupCondition &c = kLevelConditions[index];
    return {c.text, c.word, c.bit};
}

// The boolean keys of a bit section, in file order.
std::vector<BitKey> bitKeys(const ParamWord &w) {
    std::vector<BitKey> keys;
    switch (w.file) {
    case FileHolds::Events:
        for (int i = 0; i < EDGE_COUNT; ++i)
            if (w.offered & (1u << kEdgeConditions[i].bit)) keys.push_back(edgeKey(i));
        break;
    case FileHolds::EvalGroup: // four edges, four levels, in turn
        for (int block = 0; block < 3; ++block) {
            for (int i = 0; i < 4; ++i)
                keys.push_back(edgeKey(4 * block + i));
            for (int i = 0; i < 4; ++i)
                keys.push_back(levelKey(4 * block + i));
        }
        break;
    case FileHolds::Levels:
    case FileHolds::LevelsEvals:
        for (int i = 0; i < LEVEL_COUNT; ++i)
            keys.push_back(levelKey(i));
        if (w.file == FileHolds::LevelsEvals)
            for (const GroupCondition &c : kEvalConditions)
                keys.push_back({c.text, c.word, c.bit});
        break;
    case FileHolds::Combination: // bits of the combination word itself
        keys.push_back({kCombinationAndText, 0, 4});
        keys.push_back({kCombinationNegateText, 0, 0});
        break;
    default:
        break;
    }
    return keys;
}

std::vector<Section> buildLayout() {
    std::vector<Section> sections;
    for (std::size_t n = 0; n < kParamWordCount; ++n) {
        const ParamWord &w = kParamWords[n];
        if (w.file == FileHolds::None) continue;
        if (sections.empty() || sections.back().name != w.section) {
            sections.emplace_back();
            sections.back().name = w.section;
        }
        Section &s = sections.back();
        if (w.key) {
            s.fields.push_back({w.file, w.key, w.word, w.shift, w.mask, {w.handle, w.control}});
        } else {
            s.bitsWord = w.word;
            s.bitsSpan = ParamWordSpan(w);
            s.bits = bitKeys(w);
        }
    }
    return sections;
}

const std::vector<Section> &layout() {
    static const std::vector<Section> sections = buildLayout();
    return sections;
}

// ---- rings --------------------------------------------------------------------------

// The label of the ring item holding value; false when the ring has none.
bool ringLabel(const Ring &ring, int value, std::string *label) {
    int index = -1;
    return GetIndexFromValue(*ring.panel, ring.control, &index, value) >= 0 &&
           GetLabelFromIndex(*ring.panel, ring.control, index, label) >= 0;
}

// The value of the first ring item whose label equals text exactly; false
// when no label matches.
bool ringValue(const Ring &ring, const char *text, int *value) {
    int count = 0;
    if (GetNumListItems(*ring.panel, ring.control, &count) < 0) return false;
    for (int i = 0; i < count; ++i) {
        std::string label;
        if (GetLabelFromIndex(*ring.panel, ring.control, i, &label) < 0 || label != text) continue;
        return GetValueFromIndex(*ring.panel, ring.control, i, value) >= 0;
    }
    return false;
}

// ---- values -------------------------------------------------------------------------

constexpr long long kFieldMin = -2147483648LL, kFieldMax = 2147483647LL;
constexpr std::size_t kShownValueLength = 40;
// Lines of refused values one message lists.
constexpr std::size_t kRefusedShown = 20;

std::string numberText(double v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

std::string allowedText(double min, double max) { return "allowed: " + numberText(min) + " ... " + numberText(max); }

// Reads the keys of one store. Only a value that is of its key's kind and
// that the panel control showing the field accepts is taken; every other one
// is noted and counts as missing, so nothing is wrapped, cut or dropped
// without a word.
class Reader {
  public:
    Reader(IniText ini, std::vector<RefusedParaValue> *refused) : ini_(ini), refused_(refused) {}
    void section(const char *name) { section_ = name; }

    // A whole number for the field at word (part: the byte of a packed word,
    // 0xFFFF the whole word).
    bool whole(const char *key, int word, unsigned short part, unsigned *value) {
        std::string text;
        if (!present(key, &text)) return false;
        long long lo = 0, hi = part == 0xFFFF ? 0xFFFF : 0xFF;
        unsigned bits = 0;
        PanelRange r;
        if (PanelRangeOf(word, part, &r)) {
            if (r.bits) {
                bits = r.bits;
                hi = std::min<long long>(hi, bits);
            } else {
                lo = std::max(lo, static_cast<long long>(std::ceil(r.min)));
                hi = std::min(hi, static_cast<long long>(std::floor(r.max)));
            }
        }
        int v = 0;
        double d = 0.0;
        if (Ini_GetInt(ini_, section_, key, &v) != 1) {
            const bool number = Ini_GetDouble(ini_, section_, key, &d) == 1 && std::isfinite(d) && d == std::trunc(d);
            return refuse(key, text, number ? allowedText(lo, hi) : "not a whole number");
        }
        if (v < lo || v > hi || (bits && (static_cast<unsigned>(v) & ~bits)))
            return refuse(key, text, allowedText(lo, hi));
        *value = static_cast<unsigned>(v);
        return true;
    }

    bool flag(const char *key, bool *on) {
        std::string text;
        if (!present(key, &text)) return false;
        int v = 0;
        if (Ini_GetBoolean(ini_, section_, key, &v) != 1) return refuse(key, text, "not True or False");
        *on = v != 0;
        return true;
    }

    // A real as a 16.16 field: value x 65536 in double precision, truncated
    // toward zero. A real is written with 16 significant digits, which may
    // round the last digit of an exact k / 65536 down; a product within 1e-5
    // of a whole number is therefore taken as that number, so what was
    // written reads back unchanged. The field is read as a signed 32-bit
    // value, so the panel control's range (in whole field steps) and those 32
    // bits bound it: nothing from 2^31 up is kept as an unsigned number.
    bool fixed(const char *key, int word, unsigned int *field) {
        std::string text;
        if (!present(key, &text)) return false;
        double v = 0.0;
        if (Ini_GetDouble(ini_, section_, key, &v) != 1 || !std::isfinite(v)) return refuse(key, text, "not a number");
        double scaled = v * 65536.0;
        const double nearest = std::round(scaled);
        if (std::fabs(scaled - nearest) < 1e-5) scaled = nearest;
        const double whole = std::trunc(scaled);
        double lo = kFieldMin, hi = kFieldMax;
        double shownMin = kFieldMin / 65536.0, shownMax = kFieldMax / 65536.0;
        PanelRange r;
        if (PanelRangeOf(word, 0xFFFF, &r) && !r.bits) {
            lo = std::max(lo, std::round(r.min * 65536.0));
            hi = std::min(hi, std::round(r.max * 65536.0));
            shownMin = r.min;
            shownMax = r.max;
        }
        if (whole < lo || whole > hi) return refuse(key, text, allowedText(shownMin, shownMax));
        *field = static_cast<unsigned int>(static_cast<long long>(whole));
        return true;
    }

    // The value of the first ring item whose label equals the text exactly
    // (as read into a buffer of kLabelBuffer characters).
    bool label(const char *key, const Ring &ring, int *value) {
        std::string text;
        if (!present(key, &text)) return false;
        char cut[kLabelBuffer];
        Ini_GetStringIntoBuffer(ini_, section_, key, cut, sizeof cut);
        if (!ringValue(ring, cut, value)) return refuse(key, text, "not an item of the panel's list");
        return true;
    }

  private:
    bool present(const char *key, std::string *text) { return Ini_GetStdString(ini_, section_, key, text) == 1; }
    bool refuse(const char *key, const std::string &text, const std::string &reason) {
        if (refused_) refused_->push_back({section_, key, text, reason});
        return false;
    }
    IniText ini_;
    std::vector<RefusedParaValue> *refused_;
    const char *section_ = "";
};

// ---- writing --------------------------------------------------------------------------

class Writer {
  public:
    explicit Writer(IniText ini) : ini_(ini) {}
    int result() const { return rc_; }

    void uint(const char *section, const char *key, unsigned value) {
        keep(Ini_PutUInt(ini_, section, key, value));
    }
    void sint(const char *section, const char *key, int value) {
        keep(Ini_PutInt(ini_, section, key, value));
    }
    void flag(const char *section, const char *key, bool on) {
        keep(Ini_PutBoolean(ini_, section, key, on ? 1 : 0));
    }
    void real(const char *section, const char *key, double value) {
        keep(Ini_PutDouble(ini_, section, key, value));
    }
    // Written only when the ring has an item with the value.
    void label(const char *section, const char *key, const Ring &ring, unsigned value) {
        std::string text;
        if (ringLabel(ring, static_cast<int>(value), &text))
            keep(Ini_PutRawString(ini_, section, key, text.c_str()));
    }

  private:
    void keep(int rc) {
        if (rc < 0 && rc_ == 0) rc_ = rc;
    }
    IniText ini_;
    int rc_ = 0;
};

// The part of the word a field holds.
unsigned partOf(const Field &f, unsigned short word) {
    return (word & f.mask) >> f.shift;
}

void putField(Writer &w, const char *section, const Field &f, const unsigned short *rec) {
    const unsigned short word = rec[f.word];
    switch (f.kind) {
    case FileHolds::Uint:
        w.uint(section, f.key, word);
        break;
    case FileHolds::Int:
        w.sint(section, f.key, word);
        break;
    case FileHolds::Flag:
        w.flag(section, f.key, (word & 1u) != 0);
        break;
    case FileHolds::Real:
        w.real(section, f.key, ValueFromFixed(GetField32(rec, f.word)));
        break;
    case FileHolds::Byte:
        w.uint(section, f.key, partOf(f, word));
        break;
    case FileHolds::Label:
    case FileHolds::LabelLeads:
    case FileHolds::LabelRebuilt:
        w.label(section, f.key, f.ring, partOf(f, word));
        break;
    default:
        break;
    }
}

// ---- reading --------------------------------------------------------------------------

// Puts value into the field's part of the word; the rest stays.
void setPart(const Field &f, unsigned short &word, unsigned value) {
    word = static_cast<unsigned short>((word & ~f.mask) | ((value << f.shift) & f.mask));
}

void getField(Reader &in, const Field &f, unsigned short *rec) {
    unsigned short &word = rec[f.word];
    unsigned u = 0;
    int v = 0;
    bool on = false;
    switch (f.kind) {
    case FileHolds::Uint:
    case FileHolds::Int:
        if (in.whole(f.key, f.word, 0xFFFF, &u)) word = static_cast<unsigned short>(u);
        break;
    case FileHolds::Flag:
        if (in.flag(f.key, &on)) word = static_cast<unsigned short>(on ? (word | 1u) : (word & ~1u));
        break;
    case FileHolds::Real: {
        unsigned int field = 0;
        if (in.fixed(f.key, f.word, &field)) SetField32(rec, f.word, field);
        break;
    }
    case FileHolds::Byte:
        // Files written by this program hold every byte of the word; where
        // one is missing (or refused) its byte keeps the value it had.
        if (in.whole(f.key, f.word, static_cast<unsigned short>(f.mask), &u)) setPart(f, word, u);
        break;
    case FileHolds::Label:
    case FileHolds::LabelRebuilt: // a rebuilt word was cleared before the keys are read
        if (in.label(f.key, f.ring, &v)) setPart(f, word, static_cast<unsigned>(v));
        break;
    case FileHolds::LabelLeads:
        // The timer's working mode replaces the whole word, so a timing
        // source from before does not mix with the one the file names next.
        if (in.label(f.key, f.ring, &v)) word = static_cast<unsigned short>(v);
        break;
    default:
        break;
    }
}

bool holdsParameterSection(IniText ini) {
    for (const Section &s : layout())
        if (Ini_SectionExists(ini, s.name.c_str()) == 1) return true;
    return false;
}

} // namespace

// ---- the sections -----------------------------------------------------------------------

int PutParaSections(IniText ini, const unsigned short rec[PARAM_WORDS]) {
    if (!ini || !rec) return kIniErrInvalidArgument;
    Writer w(ini);
    for (const Section &s : layout()) {
        const char *name = s.name.c_str();
        for (const Field &f : s.fields)
            putField(w, name, f, rec);
        for (const BitKey &k : s.bits)
            w.flag(name, k.key, (rec[s.bitsWord + k.word] >> k.bit) & 1u);
    }
    return w.result();
}

int GetParaSections(IniText ini, unsigned short rec[PARAM_WORDS], std::vector<RefusedParaValue> *refused) {
    if (!ini || !rec || !holdsParameterSection(ini)) return 0;
    unsigned short work[PARAM_WORDS];
    std::memcpy(work, rec, sizeof work);

    // Masks, groups and the words built from label keys start all clear and
    // are stored whole, whether their keys are present or not.
    for (const Section &s : layout()) {
        for (int i = 0; i < s.bitsSpan; ++i)
            work[s.bitsWord + i] = 0;
        for (const Field &f : s.fields)
            if (f.kind == FileHolds::LabelRebuilt) work[f.word] = 0;
    }
    Reader in(ini, refused);
    for (const Section &s : layout()) {
        in.section(s.name.c_str());
        for (const Field &f : s.fields)
            getField(in, f, work);
        for (const BitKey &k : s.bits) {
            bool on = false;
            if (in.flag(k.key, &on) && on)
                work[s.bitsWord + k.word] = static_cast<unsigned short>(work[s.bitsWord + k.word] | (1u << k.bit));
        }
    }
    std::memcpy(rec, work, sizeof work);
    return 1;
}

namespace {

// A real as the parameter file writes it: through the store's own writer.
std::string realAsWritten(double value) {
    IniHolder ini(0);
    std::string text;
    if (Ini_PutDouble(ini, "R", "v", value) < 0 || Ini_GetStdString(ini, "R", "v", &text) != 1)
        return FormatFixed(value, FIXED_DECIMALS);
    return text;
}

// What the panels show for one label key: the ring's label, or the value
// that no item of the list names.
std::string shownLabel(const Ring &ring, unsigned value) {
    std::string text;
    if (ringLabel(ring, static_cast<int>(value), &text)) return text;
    return std::to_string(value) + " (no item of the panel's list)";
}

void shownField(const Field &f, const unsigned short *rec, ShownParaSection *out) {
    const unsigned short word = rec[f.word];
    auto add = [&](const char *key, const std::string &text, bool set) {
        out->keys.emplace_back(key, text);
        out->set.push_back(set);
    };
    switch (f.kind) {
    case FileHolds::Uint:
    case FileHolds::Int: add(f.key, std::to_string(word), word != 0); break;
    case FileHolds::Flag: add(f.key, (word & 1u) ? kIniTrue : kIniFalse, (word & 1u) != 0); break;
    case FileHolds::Real: {
        const uint32_t raw = GetField32(rec, f.word);
        add(f.key, realAsWritten(ValueFromFixed(raw)), raw != 0);
        break;
    }
    case FileHolds::Byte: add(f.key, std::to_string(partOf(f, word)), partOf(f, word) != 0); break;
    case FileHolds::Label:
    case FileHolds::LabelLeads:
    case FileHolds::LabelRebuilt: add(f.key, shownLabel(f.ring, partOf(f, word)), partOf(f, word) != 0); break;
    default: break;
    }
}

} // namespace

std::vector<ShownParaSection> ShownParaValues(const unsigned short rec[PARAM_WORDS]) {
    std::vector<ShownParaSection> out;
    for (const Section &s : layout()) {
        ShownParaSection shown;
        shown.name = s.name;
        for (const Field &f : s.fields)
            shownField(f, rec, &shown);
        for (const BitKey &k : s.bits) {
            const bool on = ((rec[s.bitsWord + k.word] >> k.bit) & 1u) != 0;
            shown.keys.emplace_back(k.key, on ? kIniTrue : kIniFalse);
            shown.set.push_back(on);
        }
        out.push_back(std::move(shown));
    }
    return out;
}

std::vector<std::string> MissingParaKeys(IniText ini) {
    std::vector<std::string> missing;
    std::string text;
    auto check = [&](const Section &s, const char *key) {
        if (key && Ini_GetStdString(ini, s.name.c_str(), key, &text) != 1) missing.push_back("[" + s.name + "] " + key);
    };
    for (const Section &s : layout()) {
        for (const Field &f : s.fields)
            check(s, f.key);
        for (const BitKey &k : s.bits)
            check(s, k.key);
    }
    return missing;
}

std::vector<std::string> UnknownOrRepeatedParaKeys(IniText ini) {
    std::vector<std::string> found;
    auto same = [](std::string a, std::string b) {
        for (std::string *t : {&a, &b}) {
            const std::size_t first = t->find_first_not_of(" \t");
            *t = first == std::string::npos ? "" : t->substr(first, t->find_last_not_of(" \t") - first + 1);
            std::transform(t->begin(), t->end(), t->begin(), [](unsigned char c) { return std::tolower(c); });
        }
        return a == b;
    };
    std::vector<std::string> sectionsSeen;
    for (int i = 0; i < Ini_NumberOfSections(ini); ++i) {
        const std::string name = Ini_NthSectionName(ini, i);
        const bool again = std::any_of(sectionsSeen.begin(), sectionsSeen.end(),
                                       [&](const std::string &seen) { return same(seen, name); });
        if (again) {
            found.push_back("[" + name + "] given twice: the first counts");
            continue;
        }
        sectionsSeen.push_back(name);
        const auto layoutSection = std::find_if(layout().begin(), layout().end(),
                                                [&](const Section &s) { return same(s.name, name); });
        if (layoutSection == layout().end()) {
            found.push_back("[" + name + "]: no such section; its keys are not read");
            continue;
        }
        std::vector<std::string> keysSeen;
        for (int k = 0; k < Ini_NumberOfItems(ini, name.c_str()); ++k) {
            const std::string key = Ini_NthItemName(ini, name.c_str(), k);
            const bool known =
                std::any_of(layoutSection->fields.begin(), layoutSection->fields.end(),
                            [&](const Field &f) { return f.key && same(f.key, key); }) ||
                std::any_of(layoutSection->bits.begin(), layoutSection->bits.end(),
                            [&](const BitKey &b) { return same(b.key, key); });
            if (!known) {
                found.push_back("[" + name + "] " + key + ": no such key; not read");
            } else if (std::any_of(keysSeen.begin(), keysSeen.end(),
                                   [&](const std::string &seen) { return same(seen, key); })) {
                found.push_back("[" + name + "] " + key + " given twice: the first value counts");
            } else {
                keysSeen.push_back(key);
            }
        }
    }
    return found;
}

std::string RefusedParaValuesText(const std::vector<RefusedParaValue> &refused, std::size_t maxLines) {
    std::string text;
    for (std::size_t i = 0; i < refused.size() && i < maxLines; ++i) {
        const RefusedParaValue &r = refused[i];
        std::string value;
        for (char c : r.value)
            value += c >= ' ' && c <= '~' ? c : '?';
        if (value.size() > kShownValueLength) value = value.substr(0, kShownValueLength) + "...";
        if (!text.empty()) text += "\n";
        text += "[" + r.section + "] " + r.key + " = " + value + " (" + r.reason + ")";
    }
    if (refused.size() > maxLines) text += "\nand " + std::to_string(refused.size() - maxLines) + " more";
    return text;
}

// ---- the operations ----------------------------------------------------------------------

namespace {

// The file dialog of both operations; false when cancelled.
bool askForFile(int button, std::string *pathName) {
    // Default directory, file pattern, filter, title, button; the directory free,
    // the extension restricted, cancel and new folders allowed.
    const int chosen =
        FileSelectPopup(dirName, "*.ini", "*.ini", kParaFileDialogTitle, button, 0, 1, 1, 1, pathName);
    return chosen >= 1;
}

} // namespace

int SendParaToFile(unsigned short rec[PARAM_WORDS], IniText ini) {
    GetPanelValues(rec);
    if (ini) return PutParaSections(ini, rec) < 0 ? 0 : 1;

    std::string pathName;
    if (!askForFile(VAL_SAVE_BUTTON, &pathName)) return 0;
    IniHolder store(0);
    if (!store.get() || PutParaSections(store, rec) < 0) return 0;
    return Ini_WriteToFile(store, pathName.c_str()) < 0 ? 0 : 1;
}

int ReadParaFromFile(unsigned short rec[PARAM_WORDS], IniText ini) {
    if (ini) {
        if (GetParaSections(ini, rec) != 1) return -1;
        SetPanelValues(rec);
        return 1;
    }

    std::string pathName;
    if (!askForFile(VAL_LOAD_BUTTON, &pathName)) return 0;
    IniHolder store(0);
    if (!store.get() || Ini_ReadFromFile(store, pathName.c_str()) < 0) return -1;
    // Any file reads as INI text; one without a single parameter section
    // (empty, binary, some other program's file) would clear every mask and
    // group and still count as loaded.
    std::vector<RefusedParaValue> refused;
    if (GetParaSections(store, rec, &refused) != 1) return -1;
    SetPanelValues(rec);
    if (!refused.empty())
        MessagePopup("ATTENTION!", ("These values of the parameter file were not taken; each counts as a missing "
                                    "key:\n" + pathName + "\n" + RefusedParaValuesText(refused, kRefusedShown))
                                       .c_str());
    return 1;
}
