// libFuzzer target for the INI store. The input is read as a file's text into
// a plain and a sorted store; every getter is asked about every section and
// tag found (and some fixed names), each valid value is put back and read
// again, and the store is written and read back, after which the getters must
// answer as before. Built and run by scripts/fuzz.
#include "ini/inifile.h"
#include "ini/inistore_p.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

#define FUZZ_CHECK(cond)                                                                    \
    do {                                                                                    \
        if (!(cond)) {                                                                      \
            std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #cond);         \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

bool SameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

// What every getter says about one section and tag.
struct Answers {
    int intRc = 0, uintRc = 0, doubleRc = 0, boolRc = 0, stringRc = 0, dataRc = 0;
    int i = -7;
    unsigned u = 7;
    double d = -7.5;
    int b = -1;
    std::string s;
    std::vector<unsigned char> data;

    bool operator==(const Answers &o) const {
        return intRc == o.intRc && uintRc == o.uintRc && doubleRc == o.doubleRc && boolRc == o.boolRc &&
               stringRc == o.stringRc && dataRc == o.dataRc && i == o.i && u == o.u && SameDouble(d, o.d) &&
               b == o.b && s == o.s && data == o.data;
    }
};

Answers Ask(IniText ini, const char *section, const char *tag) {
    Answers a;
    a.intRc = Ini_GetInt(ini, section, tag, &a.i);
    a.uintRc = Ini_GetUInt(ini, section, tag, &a.u);
    a.doubleRc = Ini_GetDouble(ini, section, tag, &a.d);
    a.boolRc = Ini_GetBoolean(ini, section, tag, &a.b);
    a.stringRc = Ini_GetStdString(ini, section, tag, &a.s);
    FUZZ_CHECK(a.stringRc == 0 || a.stringRc == 1);
    if (a.intRc != 1) FUZZ_CHECK(a.i == -7);
    if (a.uintRc != 1) FUZZ_CHECK(a.u == 7);
    if (a.boolRc != 1) FUZZ_CHECK(a.b == -1);
    if (a.boolRc == 1) FUZZ_CHECK(a.b == 0 || a.b == 1);

    // The buffer getter gives the same text, cut, and stays inside the buffer.
    for (const std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(9), std::size_t(400)}) {
        std::vector<char> buffer(size + 16, 'Z');
        FUZZ_CHECK(Ini_GetStringIntoBuffer(ini, section, tag, buffer.data(), size) == a.stringRc);
        if (size == 0) {
            FUZZ_CHECK(buffer[0] == 'Z');
            continue;
        }
        for (std::size_t k = size; k < buffer.size(); ++k) FUZZ_CHECK(buffer[k] == 'Z');
        const std::size_t n = std::strlen(buffer.data());
        FUZZ_CHECK(n < size);
        const std::size_t expect = a.s.size() < size - 1 ? a.s.size() : size - 1;
        FUZZ_CHECK(std::memcmp(buffer.data(), a.s.data(), n) == 0);
        if (a.stringRc == 1 && a.s.find('\0') >= expect) FUZZ_CHECK(n == expect);
    }

    unsigned char *block = nullptr;
    std::size_t count = 12345;
    a.dataRc = Ini_GetData(ini, section, tag, &block, &count);
    if (a.dataRc == 1) {
        FUZZ_CHECK(block != nullptr);
        a.data.assign(block, block + count);
        std::free(block);
    } else {
        FUZZ_CHECK(block == nullptr && count == 12345);
    }
    return a;
}

// Each valid value put into a store reads back as the same value.
void CheckPutsReadBack(const Answers &a) {
    IniHolder scratch(0);
    if (a.intRc == 1) {
        int v = 0;
        FUZZ_CHECK(Ini_PutInt(scratch, "S", "T", a.i) == 0);
        FUZZ_CHECK(Ini_GetInt(scratch, "S", "T", &v) == 1 && v == a.i);
    }
    if (a.uintRc == 1) {
        unsigned v = 0;
        FUZZ_CHECK(Ini_PutUInt(scratch, "S", "T", a.u) == 0);
        FUZZ_CHECK(Ini_GetUInt(scratch, "S", "T", &v) == 1 && v == a.u);
    }
    if (a.doubleRc == 1) {
        double v = 0;
        FUZZ_CHECK(Ini_PutDouble(scratch, "S", "T", a.d) == 0);
        FUZZ_CHECK(Ini_GetDouble(scratch, "S", "T", &v) == 1);
        if (std::isnan(a.d) || std::isinf(a.d))
            FUZZ_CHECK(SameDouble(v, a.d) || (std::isnan(v) && std::isnan(a.d)));
        else
            FUZZ_CHECK(std::fabs(v - a.d) <= std::fabs(a.d) * 1e-15);
    }
    if (a.boolRc == 1) {
        int v = -1;
        FUZZ_CHECK(Ini_PutBoolean(scratch, "S", "T", a.b) == 0);
        FUZZ_CHECK(Ini_GetBoolean(scratch, "S", "T", &v) == 1 && v == a.b);
    }
    if (a.stringRc == 1) {
        const std::string text = a.s.c_str(); // what a C caller can pass on
        std::string v;
        FUZZ_CHECK(Ini_PutString(scratch, "S", "T", text.c_str()) == 0);
        FUZZ_CHECK(Ini_GetStdString(scratch, "S", "T", &v) == 1 && v == text);
        IniHolder back(0);
        std::string written;
        FUZZ_CHECK(Ini_WriteToString(scratch, &written) == 0);
        FUZZ_CHECK(Ini_ReadFromBuffer(back, written.data(), written.size()) == 0);
        FUZZ_CHECK(Ini_GetStdString(back, "S", "T", &v) == 1 && v == text);
    }
    if (a.dataRc == 1) {
        unsigned char *block = nullptr;
        std::size_t count = 0;
        FUZZ_CHECK(Ini_PutData(scratch, "S", "T", a.data.data(), a.data.size()) == 0);
        FUZZ_CHECK(Ini_GetData(scratch, "S", "T", &block, &count) == 1);
        FUZZ_CHECK(count == a.data.size() && (count == 0 || std::memcmp(block, a.data.data(), count) == 0));
        std::free(block);
    }
}

// Items whose getters must answer the same after a write and a read: all but
// those with tags longer than a put accepts, whose lines the reader may cut.
bool Comparable(const ini::Item &item) {
    return item.tag.size() <= ini::kMaxTagLength && item.tag.find('\0') == std::string::npos;
}

const ini::Section *FirstSection(const IniStore &store, const std::string &name) {
    const std::string_view wanted = ini::TrimBlanks(name);
    for (const ini::Section &section : store.sections)
        if (ini::EqualNoCase(section.name, wanted)) return &section;
    return nullptr;
}

const ini::Item *FirstItem(const IniStore &store, const std::string &name, const std::string &tag) {
    const ini::Section *section = FirstSection(store, name);
    if (!section) return nullptr;
    const std::string_view wanted = ini::TrimBlanks(tag);
    for (const ini::Item &item : section->items)
        if (ini::EqualNoCase(item.tag, wanted)) return &item;
    return nullptr;
}

void Exercise(const char *text, std::size_t size, int sorted) {
    IniHolder a(sorted);
    FUZZ_CHECK(a.get() != nullptr);
    FUZZ_CHECK(Ini_ReadFromBuffer(a, text, size) == 0);
    const IniStore &store = *a.get(); // read-only until the last step

    for (const ini::Section &section : store.sections) {
        FUZZ_CHECK(!section.name.empty() && section.name.size() <= ini::kMaxSectionNameLength);
        FUZZ_CHECK(Ini_SectionExists(a, section.name.c_str()) == 1 || section.name.find('\0') != std::string::npos);
        for (const ini::Item &item : section.items) {
            FUZZ_CHECK(!item.tag.empty());
            const Answers answers = Ask(a, section.name.c_str(), item.tag.c_str());
            CheckPutsReadBack(answers);
            // The look-up index finds what a scan for the first match finds.
            const ini::Item *first = FirstItem(store, section.name.c_str(), item.tag.c_str());
            FUZZ_CHECK((answers.stringRc == 1) == (first != nullptr));
            if (first) FUZZ_CHECK(answers.s == ini::UnescapeString(first->value));
        }
    }
    for (const char *name : {"", " ", "S", "[", "=", "a Line0001", "Line0002"})
        for (const char *tag : {"", " ", "T", "a", "x Line1", ";"}) (void)Ask(a, name, tag);

    // Written and read back: the same sections, and the same answers.
    std::string written;
    FUZZ_CHECK(Ini_WriteToString(a, &written) == 0);
    IniHolder b(sorted);
    FUZZ_CHECK(Ini_ReadFromBuffer(b, written.data(), written.size()) == 0);
    const std::size_t sectionCount = store.sections.size();
    FUZZ_CHECK(b.get()->sections.size() == sectionCount);
    for (std::size_t k = 0; k < sectionCount; ++k) {
        const ini::Section &section = store.sections[k];
        FUZZ_CHECK(b.get()->sections[k].name == section.name);
        // Only the first section of a name answers lookups.
        const std::string name = section.name.c_str();
        if (FirstSection(store, name) != &section) continue;
        for (const ini::Item &item : section.items) {
            if (!Comparable(item)) continue;
            if (!(Ask(a, name.c_str(), item.tag.c_str()) == Ask(b, name.c_str(), item.tag.c_str()))) {
                std::fprintf(stderr, "answers differ after writing: [%s] %s\n%s\n", name.c_str(), item.tag.c_str(),
                             written.c_str());
                std::abort();
            }
        }
    }

    // Once written, the text is stable: writing again what was read gives
    // the same text, as long as no line was long enough to be cut.
    std::string again, third;
    FUZZ_CHECK(Ini_WriteToString(b, &again) == 0);
    bool longLine = false;
    for (std::size_t at = 0, end; at < again.size(); at = end + 2) {
        end = again.find("\r\n", at);
        FUZZ_CHECK(end != std::string::npos);
        longLine = longLine || end - at > ini::kMaxLineLength;
    }
    if (!longLine) {
        IniHolder c(sorted);
        FUZZ_CHECK(Ini_ReadFromBuffer(c, again.data(), again.size()) == 0);
        FUZZ_CHECK(Ini_WriteToString(c, &third) == 0);
        FUZZ_CHECK(third == again);
    }

    // Changes: a put is found again, removals remove.
    if (sectionCount > 0) {
        const ini::Section &section = b.get()->sections.front();
        const std::string name = section.name.c_str();
        const std::string tag = section.items.empty() ? "T" : section.items.front().tag.c_str();
        int v = 0;
        const int rc = Ini_PutInt(b, name.c_str(), tag.c_str(), 42);
        if (rc == 0) {
            FUZZ_CHECK(Ini_GetInt(b, name.c_str(), tag.c_str(), &v) == 1 && v == 42);
            FUZZ_CHECK(Ini_RemoveItem(b, name.c_str(), tag.c_str()) == 1);
            FUZZ_CHECK(Ini_GetInt(b, name.c_str(), tag.c_str(), &v) == 0);
        } else {
            FUZZ_CHECK(rc == kIniErrInvalidName);
        }
        const int count = Ini_NumberOfSections(b);
        if (FirstSection(*b.get(), name) != nullptr) {
            FUZZ_CHECK(Ini_RemoveSection(b, name.c_str()) == 1);
            FUZZ_CHECK(Ini_NumberOfSections(b) == count - 1);
        }
    }

    // Reading the same text again adds every section a second time.
    FUZZ_CHECK(Ini_ReadFromBuffer(a, text, size) == 0);
    FUZZ_CHECK(a.get()->sections.size() == 2 * sectionCount);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const char *text = reinterpret_cast<const char *>(data);
    Exercise(text, size, 0);
    Exercise(text, size, 1);
    return 0;
}
