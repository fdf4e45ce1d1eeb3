// The INI store's operations: lookup, puts and getters, reading and writing.
#include "ini/inifile.h"
#include "ini/inistore_p.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

using ini::Item;
using ini::ParseResult;
using ini::Section;

namespace {

// Runs an operation that may allocate; running out of memory gives -12 and
// leaves the store as it was before the operation.
template <class F>
int Guarded(F &&operation) {
    try {
        return operation();
    } catch (const std::bad_alloc &) {
        return kIniErrOutOfMemory;
    } catch (const std::length_error &) {
        return kIniErrOutOfMemory;
    }
}

Section *FindSection(IniText ini, const char *name) {
    if (!ini || !name) return nullptr;
    const std::size_t at = ini->index.Find(ini->sections, ini::TrimBlanks(name));
    return at == ini::NameIndex::npos ? nullptr : &ini->sections[at];
}

const Item *FindItem(IniText ini, const char *section, const char *tag) {
    const Section *s = FindSection(ini, section);
    if (!s || !tag) return nullptr;
    const std::size_t at = s->index.Find(s->items, ini::TrimBlanks(tag));
    return at == ini::NameIndex::npos ? nullptr : &s->items[at];
}

void EraseSection(IniText ini, std::vector<Section>::iterator at) {
    ini->sections.erase(at);
    ini->index.Reset();
}

bool TagLess(const Item &a, const Item &b) { return ini::CompareNoCase(a.tag, b.tag) < 0; }
bool NameLess(const Section &a, const Section &b) { return ini::CompareNoCase(a.name, b.name) < 0; }

// Replaces every item of the tag by one new item at the first one's place,
// creating the section when it is missing.
int PutItem(IniText ini, const char *sectionArg, const char *tagArg, std::string value, bool quoted) {
    if (!ini || !sectionArg || !tagArg) return kIniErrInvalidArgument;
    const std::string_view name = ini::TrimBlanks(sectionArg);
    const std::string_view tag = ini::TrimBlanks(tagArg);
    if (!ini::ValidSectionName(name) || !ini::ValidTag(tag)) return kIniErrInvalidName;
    return Guarded([&] {
        Item item{std::string(tag), std::move(value), quoted};
        auto &sections = ini->sections;
        Section *section = FindSection(ini, sectionArg);
        bool created = false;
        if (!section) {
            Section fresh{std::string(name), {}, {}};
            auto at = ini->sorted ? std::upper_bound(sections.begin(), sections.end(), fresh, NameLess)
                                  : sections.end();
            if (at != sections.end()) ini->index.Reset(); // the positions behind it move
            section = &*sections.insert(at, std::move(fresh));
            created = true;
        }
        auto &items = section->items;
        const std::size_t first = section->index.Find(items, tag);
        if (first != ini::NameIndex::npos) {
            items[first] = std::move(item); // the same name: the index stays right
            if (section->index.MayHoldDuplicates()) {
                auto same = [&](const Item &i) { return ini::EqualNoCase(i.tag, tag); };
                const auto end = std::remove_if(items.begin() + static_cast<std::ptrdiff_t>(first) + 1, items.end(), same);
                if (end != items.end()) {
                    items.erase(end, items.end());
                    section->index.Reset();
                }
            }
            return 0;
        }
        try {
            auto at = ini->sorted ? std::upper_bound(items.begin(), items.end(), item, TagLess) : items.end();
            if (at != items.end()) section->index.Reset();
            items.insert(at, std::move(item));
        } catch (...) {
            if (created) EraseSection(ini, sections.begin() + (section - sections.data()));
            throw;
        }
        return 0;
    });
}

template <class T>
int GetTyped(IniText ini, const char *section, const char *tag, T *value, ParseResult (*parse)(std::string_view, T *),
             int invalid) {
    if (!value) return kIniErrInvalidArgument;
    const Item *item = FindItem(ini, section, tag);
    if (!item) return 0;
    T parsed{};
    switch (parse(item->value, &parsed)) {
    case ParseResult::Ok: *value = parsed; return 1;
    case ParseResult::Blank: return 0;
    case ParseResult::Invalid: break;
    }
    return invalid;
}

void SortStore(IniStore &store) {
    std::stable_sort(store.sections.begin(), store.sections.end(), NameLess);
    store.index.Reset();
    for (Section &section : store.sections) {
        std::stable_sort(section.items.begin(), section.items.end(), TagLess);
        section.index.Reset();
    }
}

// Adds freshly read sections to the store (all or, out of memory, none).
int AddSections(IniText ini, std::vector<Section> &&read) {
    return Guarded([&] {
        if (ini->sections.empty()) {
            ini->sections = std::move(read); // no second copy of a large file
        } else {
            ini->sections.reserve(ini->sections.size() + read.size());
            for (Section &section : read) ini->sections.push_back(std::move(section));
        }
        if (ini->sorted) SortStore(*ini);
        return 0;
    });
}

} // namespace

IniText Ini_New(int sorted) {
    IniText ini = new (std::nothrow) IniStore;
    if (ini) ini->sorted = sorted != 0;
    return ini;
}

void Ini_Dispose(IniText ini) { delete ini; }

int Ini_ReadFromFile(IniText ini, const char *path) {
    if (!ini || !path) return kIniErrInvalidArgument;
    std::vector<Section> read;
    const int rc = Guarded([&] { return ini::ReadFile(path, &read); });
    return rc < 0 ? rc : AddSections(ini, std::move(read));
}

int Ini_ReadFromBuffer(IniText ini, const char *text, std::size_t size) {
    if (!ini || (!text && size)) return kIniErrInvalidArgument;
    std::vector<Section> read;
    const int rc = Guarded([&] {
        ini::TextParser parser;
        if (size) parser.Feed(text, size);
        read = parser.Finish();
        return 0;
    });
    return rc < 0 ? rc : AddSections(ini, std::move(read));
}

namespace {
int writeToFile(IniText ini, const char *path, bool ownerOnly) {
    if (!ini || !path || !*path) return kIniErrInvalidArgument;
    return Guarded([&] { return ini::WriteFile(*ini, path, ownerOnly); });
}
} // namespace

int Ini_WriteToFile(IniText ini, const char *path) { return writeToFile(ini, path, false); }
int Ini_WriteToFileOwnerOnly(IniText ini, const char *path) { return writeToFile(ini, path, true); }

int Ini_WriteToString(IniText ini, std::string *text) {
    if (!ini || !text) return kIniErrInvalidArgument;
    return Guarded([&] {
        std::string out;
        ini::FormatSections(ini->sections, [&](const char *data, std::size_t size) { out.append(data, size); });
        *text = std::move(out);
        return 0;
    });
}

int Ini_SectionExists(IniText ini, const char *section) { return FindSection(ini, section) ? 1 : 0; }

int Ini_RemoveSection(IniText ini, const char *section) {
    const Section *s = FindSection(ini, section);
    if (!s) return 0;
    EraseSection(ini, ini->sections.begin() + (s - ini->sections.data()));
    return 1;
}

int Ini_RemoveItem(IniText ini, const char *section, const char *tag) {
    Section *s = FindSection(ini, section);
    if (!s || !tag) return 0;
    const std::string_view wanted = ini::TrimBlanks(tag);
    auto &items = s->items;
    const auto end = std::remove_if(items.begin(), items.end(),
                                    [&](const Item &i) { return ini::EqualNoCase(i.tag, wanted); });
    if (end == items.end()) return 0;
    items.erase(end, items.end());
    s->index.Reset();
    return 1;
}

int Ini_PutInt(IniText ini, const char *section, const char *tag, int value) {
    return Guarded([&] { return PutItem(ini, section, tag, ini::FormatInt(value), false); });
}

int Ini_PutUInt(IniText ini, const char *section, const char *tag, unsigned value) {
    return Guarded([&] { return PutItem(ini, section, tag, ini::FormatInt(value), false); });
}

int Ini_PutDouble(IniText ini, const char *section, const char *tag, double value) {
    return Guarded([&] { return PutItem(ini, section, tag, ini::FormatDouble(value), false); });
}

int Ini_PutBoolean(IniText ini, const char *section, const char *tag, int value) {
    return Guarded([&] { return PutItem(ini, section, tag, value ? kIniTrue : kIniFalse, false); });
}

int Ini_PutString(IniText ini, const char *section, const char *tag, const char *value) {
    if (!value) return kIniErrInvalidArgument;
    return Guarded([&] { return PutItem(ini, section, tag, ini::EscapeString(value), true); });
}

int Ini_PutRawString(IniText ini, const char *section, const char *tag, const char *value) {
    if (!value) return kIniErrInvalidArgument;
    return Guarded([&] { return PutItem(ini, section, tag, ini::EscapeLineBreaks(value), true); });
}

int Ini_PutData(IniText ini, const char *section, const char *tag, const unsigned char *data, std::size_t count) {
    if (!data && count) return kIniErrInvalidArgument;
    return Guarded([&] { return PutItem(ini, section, tag, ini::EncodeData(data, count), true); });
}

int Ini_GetInt(IniText ini, const char *section, const char *tag, int *value) {
    return GetTyped(ini, section, tag, value, ini::ParseInt, kIniErrInvalidInt);
}

int Ini_GetUInt(IniText ini, const char *section, const char *tag, unsigned *value) {
    return GetTyped(ini, section, tag, value, ini::ParseUInt, kIniErrInvalidUInt);
}

int Ini_GetDouble(IniText ini, const char *section, const char *tag, double *value) {
    return GetTyped(ini, section, tag, value, ini::ParseDouble, kIniErrInvalidDouble);
}

int Ini_GetBoolean(IniText ini, const char *section, const char *tag, int *value) {
    return GetTyped(ini, section, tag, value, ini::ParseBoolean, kIniErrInvalidBoolean);
}

int Ini_GetStringIntoBuffer(IniText ini, const char *section, const char *tag, char *buffer,
                            std::size_t bufferSize) {
    if (!buffer && bufferSize) return kIniErrInvalidArgument;
    if (bufferSize) buffer[0] = '\0';
    const Item *item = FindItem(ini, section, tag);
    if (!item) return 0;
    ini::UnescapeInto(item->value, buffer, bufferSize);
    return 1;
}

int Ini_GetStdString(IniText ini, const char *section, const char *tag, std::string *value) {
    if (!value) return kIniErrInvalidArgument;
    const Item *item = FindItem(ini, section, tag);
    if (!item) return 0;
    return Guarded([&] {
        *value = ini::UnescapeString(item->value);
        return 1;
    });
}

int Ini_GetData(IniText ini, const char *section, const char *tag, unsigned char **data, std::size_t *count) {
    if (!data || !count) return kIniErrInvalidArgument;
    const Item *item = FindItem(ini, section, tag);
    if (!item) return 0;
    const std::size_t n = ini::DecodedLength(item->value.size());
    auto *block = static_cast<unsigned char *>(std::malloc(n ? n : 1));
    if (!block) return kIniErrOutOfMemory;
    if (!ini::DecodeData(item->value, block)) {
        std::free(block);
        return kIniErrInvalidData;
    }
    *data = block;
    *count = n;
    return 1;
}

int Ini_NumberOfSections(IniText ini) { return ini ? static_cast<int>(ini->sections.size()) : 0; }

const char *Ini_NthSectionName(IniText ini, int index) {
    if (!ini || index < 0 || static_cast<std::size_t>(index) >= ini->sections.size()) return nullptr;
    return ini->sections[static_cast<std::size_t>(index)].name.c_str();
}

int Ini_NumberOfItems(IniText ini, const char *section) {
    const Section *s = FindSection(ini, section);
    return s ? static_cast<int>(s->items.size()) : 0;
}

const char *Ini_NthItemName(IniText ini, const char *section, int index) {
    const Section *s = FindSection(ini, section);
    if (!s || index < 0 || static_cast<std::size_t>(index) >= s->items.size()) return nullptr;
    return s->items[static_cast<std::size_t>(index)].tag.c_str();
}

const char *Ini_ErrorText(int code) {
    switch (code) {
    case kIniErrOutOfMemory: return "Out Of Memory";
    case kIniErrOpenForRead: return "Could Not Open File For Reading";
    case kIniErrRead: return "Error Reading From File";
    case kIniErrNoTempName: return "Could Not Find Unused Temporary File Name";
    case kIniErrCreateTemp: return "Could Not Create Temporary File";
    case kIniErrOpenForWrite: return "Could Not Open File For Writing";
    case kIniErrWrite: return "Error Writing To File";
    case kIniErrReplace: return "Could Not Replace File";
    case kIniErrInvalidName: return "Invalid Section Or Tag Name";
    case kIniErrInvalidArgument: return "Invalid Argument";
    case kIniErrFileTooLarge: return "File Too Large";
    case kIniErrInvalidInt: return "Invalid Integer Number";
    case kIniErrInvalidUInt: return "Invalid Unsigned Integer Number";
    case kIniErrInvalidDouble: return "Invalid Floating Point Number";
    case kIniErrInvalidBoolean: return "Invalid Boolean Value";
    case kIniErrInvalidData: return "Invalid Data Block";
    default: return "";
    }
}
