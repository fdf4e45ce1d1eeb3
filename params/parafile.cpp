#include "params/parafile.h"

#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "params/binding.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/outputs_ids.h"
#include "ui/panels/power_ids.h"
#include "ui/panels/settings_ids.h"

#include <algorithm>
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

enum Kind {
    F_UINT,       // unsigned integer, the whole word
    F_INT,        // signed-integer item holding 0..65535 (the analog limits)
    F_FLAG,       // boolean, bit 0 of the word
    F_REAL,       // 16.16 field in this word and the next, written as a real
    F_LABEL_WORD, // ring label; the item value is the whole word
    F_LABEL_HIGH, // ring label; the item value is the high byte of a rebuilt word
    F_LABEL_LOW,  // ring label; the item value is the low byte of a rebuilt word
    F_TIMER_MODE, // two ring labels: working mode (low byte), timing source (high byte, unshifted)
    F_TIMING,     // two integers: on-time (low byte), off-time (high byte)
};

struct Ring {
    int *panel;
    int control;
};

struct Field {
    Kind kind;
    const char *key;
    const char *key2; // second key of F_TIMER_MODE and F_TIMING
    int word;
    Ring ring, ring2;
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

BitKey edgeKey(int number) {
    const EventCondition &e = kEdgeConditions[number - 1];
    return {e.text, EventWord(e.bit), EventWordBit(e.bit)};
}
BitKey levelKey(int number) {
    const GroupCondition &c = kLevelConditions[number - 1];
    return {c.text, c.word, c.bit};
}
BitKey evalKey(int number) {
    const GroupCondition &c = kEvalConditions[number - 1];
    return {c.text, c.word, c.bit};
}

Field plainField(Kind kind, const char *key, int word) {
    return {kind, key, nullptr, word, {}, {}};
}
Field uintField(const char *key, int word) {
    return plainField(F_UINT, key, word);
}
Field labelField(Kind kind, const char *key, int word, int *panel, int control) {
    return {kind, key, nullptr, word, {panel, control}, {}};
}

class LayoutBuilder {
  public:
    std::vector<Section> sections;

    void scalars(const std::string &name, std::vector<Field> fields) {
        Section s;
        s.name = name;
        s.fields = std::move(fields);
        sections.push_back(std::move(s));
    }
    void events(const std::string &name, int word, std::initializer_list<int> edges) {
        Section s = bitSection(name, word, 2);
        for (int n : edges)
            s.bits.push_back(edgeKey(n));
        sections.push_back(std::move(s));
    }
    // Normalisation base and output set conditions: level keys, then
    // (outputs) evaluation keys.
    void levelConditions(const std::string &name, int group, bool withEvaluations) {
        Section s = bitSection(name, group, CG_WORDS);
        for (int n = 1; n <= LEVEL_COUNT; ++n)
            s.bits.push_back(levelKey(n));
        if (withEvaluations)
            for (int n = 1; n <= EVAL_CONDITION_COUNT; ++n)
                s.bits.push_back(evalKey(n));
        sections.push_back(std::move(s));
    }
    // Evaluation conditions: four edges, four levels, in turn.
    void evaluationConditions(const std::string &name, int group) {
        Section s = bitSection(name, group, CG_WORDS);
        for (int block = 0; block < 3; ++block) {
            for (int i = 1; i <= 4; ++i)
                s.bits.push_back(edgeKey(4 * block + i));
            for (int i = 1; i <= 4; ++i)
                s.bits.push_back(levelKey(4 * block + i));
        }
        sections.push_back(std::move(s));
    }
    void combination(const std::string &name, int group) {
        Section s = bitSection(name, group, CG_WORDS);
        s.bits.push_back({kCombinationAndText, CG_COMBINATION, 4});
        s.bits.push_back({kCombinationNegateText, CG_COMBINATION, 0});
        sections.push_back(std::move(s));
    }

  private:
    static Section bitSection(const std::string &name, int word, int span) {
        Section s;
        s.name = name;
        s.bitsWord = word;
        s.bitsSpan = span;
        return s;
    }
};

std::vector<Section> buildLayout() {
    LayoutBuilder b;
    struct Channel {
        const char *suffix;
        int power, triggerLevel, pretrigger, filter, norm, interval, reset, record;
    };
    const Channel channels[2] = {
        {"A", PW_CHA_POWER, PW_CHA_TRIGGERLEVEL, PW_CHA_PRETRIGGER, PW_CHA_FILTER, PW_CHA_NORM,
         PW_CHA_REC_INTERVAL, PW_CHA_RESET, PW_CHA_REC_TRIGGER},
        {"B", PW_CHB_POWER, PW_CHB_TRIGGERLEVEL, PW_CHB_PRETRIGGER, PW_CHB_FILTER, PW_CHB_NORM,
         PW_CHB_REC_INTERVAL, PW_CHB_RESET, PW_CHB_REC_TRIGGER},
    };
    for (const Channel &c : channels) {
        const std::string ch = std::string("CHANNEL ") + c.suffix;
        b.scalars(ch,
                  {uintField("Power", c.power), uintField("Triggerlevel", c.triggerLevel),
                   uintField("Pretrigger", c.pretrigger), uintField("Filtermode", c.filter),
                   plainField(F_FLAG, "Normalisation", c.norm), uintField("Recording Interval", c.interval)});
        b.events("RESET " + ch, c.reset, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        b.events("RECORD " + ch, c.record, {1, 2, 3, 4, 5, 6, 7, 8});
    }

    struct Timer {
        int *panel;
        int workMode, source;
        int wMode, wOff, wOn, wScaling, wStart, wStop;
    };
    const Timer timers[2] = {
        {&panelPOWER_TMR0, POWER_TMR0_WORKMODE, POWER_TMR0_SOURCE, PW_TMR0_MODE, PW_TMR0_OFFTIME,
         PW_TMR0_ONTIME, PW_TMR0_SCALING, PW_TMR0_START, PW_TMR0_STOP},
        {&panelPOWER_TMR1, POWER_TMR1_WORKMODE, POWER_TMR1_SOURCE, PW_TMR1_MODE, PW_TMR1_OFFTIME,
         PW_TMR1_ONTIME, PW_TMR1_SCALING, PW_TMR1_START, PW_TMR1_STOP},
    };
    for (int t = 0; t < 2; ++t) {
        const Timer &m = timers[t];
        const std::string n = std::to_string(t);
        Field mode = {F_TIMER_MODE, "Working Mode", "Timing Source", m.wMode, {}, {}};
        mode.ring = {m.panel, m.workMode};
        mode.ring2 = {m.panel, m.source};
        b.scalars("TIMER " + n,
                  {mode, uintField("Preset Off-time", m.wOff), uintField("Preset On-time", m.wOn),
                   uintField("Time scaling factor", m.wScaling)});
        // A timer's start and stop masks do not offer its own edges.
        if (t == 0) {
            b.events("START TIMER 0", m.wStart, {1, 2, 3, 4, 5, 6, 7, 8, 11, 12});
            b.events("STOPP TIMER 0", m.wStop, {1, 2, 3, 4, 5, 6, 7, 8, 11, 12});
        } else {
            b.events("START TIMER 1", m.wStart, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
            b.events("STOPP TIMER 1", m.wStop, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        }
    }

    b.scalars("NORMALISATION", {uintField("Timeconstant", PW_NORM_TIMECONSTANT)});
    b.levelConditions("RESET NORM BASE", PW_NORMBASE_GROUP, false);

    struct Evaluation {
        int *panel;
        int mode, averaging;
    };
    const Evaluation evaluations[2] = {
        {&panelSETTINGS, SETTINGS_MODE, SETTINGS_AVERAGING},
        {&panelSETTINGS_2, SETTINGS_2_MODE, SETTINGS_2_AVERAGING},
    };
    for (int e = 0; e < 2; ++e) {
        const Evaluation &p = evaluations[e];
        const std::string name = "EVALUATION " + std::to_string(e + 1);
        b.scalars(name, {labelField(F_LABEL_WORD, "Mode", PW_EVAL_MODE[e], p.panel, p.mode),
                         labelField(F_LABEL_WORD, "Averaging", PW_EVAL_AVERAGING[e], p.panel, p.averaging),
                         plainField(F_REAL, "Reference value", PW_EVAL_REFERENCE[e]),
                         plainField(F_REAL, "Upper tolerance", PW_EVAL_UPPER_TOL[e]),
                         plainField(F_REAL, "Lower tolerance", PW_EVAL_LOWER_TOL[e])});
        b.evaluationConditions(name + " CONDITION", PW_EVAL_GROUP[e]);
        b.combination(name + " COMBINATION", PW_EVAL_GROUP[e]);
    }

    for (int o = 0; o < OUTPUT_COUNT; ++o) {
        const std::string name = "OUTPUT " + std::to_string(o);
        b.scalars(name, {Field{F_TIMING, "Minimum ON-time", "Minimum OFF-time", PW_OUT_TIMING[o], {}, {}}});
        b.levelConditions(name + " SET CONDITION", PW_OUT_GROUP[o], true);
        b.combination(name + " SET COMBINATION", PW_OUT_GROUP[o]);
    }

    b.scalars("ANALOG OUT", {labelField(F_LABEL_WORD, "Analog output source", PW_ANA_SOURCE, &panelOUTPUT_ANA,
                                        OUTPUT_ANA_SOURCE),
                             plainField(F_INT, "Analog output min. value", PW_ANA_MIN),
                             plainField(F_INT, "Analog output max. value", PW_ANA_MAX)});
    b.scalars(
        "SPECIAL FUNCTION",
        {labelField(F_LABEL_HIGH, "Input IN1 usage", PW_IN1_TEACH, &panelPOWER_GEN, POWER_GEN_IN1_USAGE),
         labelField(F_LABEL_LOW, "Teach target", PW_IN1_TEACH, &panelPOWER_GEN, POWER_GEN_TEACH_TARGET),
         labelField(F_LABEL_LOW, "Usage of Poti", PW_POTI, &panelPOWER_GEN, POWER_GEN_POTI_USAGE),
         labelField(F_LABEL_LOW, "Usage of Button", PW_BUTTON, &panelPOWER_GEN, POWER_GEN_BUTTON_USAGE),
         labelField(F_LABEL_WORD, "Baudrate", PW_BAUD, &panelInterf, INTERF_BAUD)});
    return b.sections;
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

void putField(Writer &w, const char *section, const Field &f, const unsigned short *rec) {
    const unsigned short word = rec[f.word];
    switch (f.kind) {
    case F_UINT:
        w.uint(section, f.key, word);
        break;
    case F_INT:
        w.sint(section, f.key, word);
        break;
    case F_FLAG:
        w.flag(section, f.key, (word & 1u) != 0);
        break;
    case F_REAL:
        w.real(section, f.key, ValueFromFixed(GetField32(rec, f.word)));
        break;
    case F_LABEL_WORD:
        w.label(section, f.key, f.ring, word);
        break;
    case F_LABEL_HIGH:
        w.label(section, f.key, f.ring, HighByte(word));
        break;
    case F_LABEL_LOW:
        w.label(section, f.key, f.ring, LowByte(word));
        break;
    case F_TIMER_MODE:
        w.label(section, f.key, f.ring, LowByte(word));
        w.label(section, f.key2, f.ring2, word & 0xFF00u);
        break;
    case F_TIMING:
        w.uint(section, f.key, LowByte(word));
        w.uint(section, f.key2, HighByte(word));
        break;
    }
}

// ---- reading --------------------------------------------------------------------------

void getField(Reader &in, const Field &f, unsigned short *rec) {
    unsigned short &word = rec[f.word];
    unsigned u = 0;
    int v = 0;
    bool on = false;
    switch (f.kind) {
    case F_UINT:
    case F_INT:
        if (in.whole(f.key, f.word, 0xFFFF, &u)) word = static_cast<unsigned short>(u);
        break;
    case F_FLAG:
        if (in.flag(f.key, &on)) word = static_cast<unsigned short>(on ? (word | 1u) : (word & ~1u));
        break;
    case F_REAL: {
        unsigned int field = 0;
        if (in.fixed(f.key, f.word, &field)) SetField32(rec, f.word, field);
        break;
    }
    case F_LABEL_WORD:
        if (in.label(f.key, f.ring, &v)) word = static_cast<unsigned short>(v);
        break;
    case F_LABEL_HIGH: // the word was cleared before the keys are read
        if (in.label(f.key, f.ring, &v))
            word = static_cast<unsigned short>(word | ((static_cast<unsigned>(v) & 0xFFu) << 8));
        break;
    case F_LABEL_LOW:
        if (in.label(f.key, f.ring, &v)) word = static_cast<unsigned short>(word | (static_cast<unsigned>(v) & 0xFFu));
        break;
    case F_TIMER_MODE: {
        // The working mode replaces the whole word, the timing source is ORed
        // into it. Without a matching working mode the word keeps its mode
        // byte and the timing source replaces the high byte: ORing it into
        // the old high byte would mix two sources into a value no ring item has.
        const bool mode = in.label(f.key, f.ring, &v);
        if (mode) word = static_cast<unsigned short>(v);
        if (in.label(f.key2, f.ring2, &v)) {
            const unsigned base = mode ? word : (word & 0x00FFu);
            word = static_cast<unsigned short>(base | static_cast<unsigned>(v));
        }
        break;
    }
    case F_TIMING: {
        // On-time in the low byte, off-time in the high byte, stored after
        // both keys. Files written by this program hold both; where one is
        // missing (or refused) its byte keeps the value it had.
        unsigned low = LowByte(word), high = HighByte(word);
        if (in.whole(f.key, f.word, 0x00FF, &u)) low = u;
        if (in.whole(f.key2, f.word, 0xFF00, &u)) high = u;
        word = BytePair(high, low);
        break;
    }
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
            if (f.kind == F_LABEL_HIGH || f.kind == F_LABEL_LOW) work[f.word] = 0;
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

// What the panels show for one label key: the ring's label, or the value
// that no item of the list names.
std::string shownLabel(const Ring &ring, unsigned value) {
    std::string text;
    if (ringLabel(ring, static_cast<int>(value), &text)) return text;
    return std::to_string(value) + " (no item of the panel's list)";
}

void shownField(const Field &f, const unsigned short *rec, ShownParaSection *out) {
    const unsigned short word = rec[f.word];
    auto add = [&](const char *key, const std::string &text) { out->keys.emplace_back(key, text); };
    switch (f.kind) {
    case F_UINT:
    case F_INT: add(f.key, std::to_string(word)); break;
    case F_FLAG: add(f.key, (word & 1u) ? kIniTrue : kIniFalse); break;
    case F_REAL: add(f.key, FormatFixed(ValueFromFixed(GetField32(rec, f.word)), FIXED_DECIMALS)); break;
    case F_LABEL_WORD: add(f.key, shownLabel(f.ring, word)); break;
    case F_LABEL_HIGH: add(f.key, shownLabel(f.ring, HighByte(word))); break;
    case F_LABEL_LOW: add(f.key, shownLabel(f.ring, LowByte(word))); break;
    case F_TIMER_MODE:
        add(f.key, shownLabel(f.ring, LowByte(word)));
        add(f.key2, shownLabel(f.ring2, word & 0xFF00u));
        break;
    case F_TIMING:
        add(f.key, std::to_string(LowByte(word)));
        add(f.key2, std::to_string(HighByte(word)));
        break;
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
        for (const BitKey &k : s.bits)
            shown.keys.emplace_back(k.key, (rec[s.bitsWord + k.word] >> k.bit) & 1u ? kIniTrue : kIniFalse);
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
        for (const Field &f : s.fields) {
            check(s, f.key);
            check(s, f.key2);
        }
        for (const BitKey &k : s.bits)
            check(s, k.key);
    }
    return missing;
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
