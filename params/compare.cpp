#include "params/compare.h"

#include "ini/inifile.h"
#include "params/parafile.h"

#include <algorithm>

std::vector<FieldDifference> CompareRecords(const unsigned short a[PARAM_WORDS], const unsigned short b[PARAM_WORDS]) {
    std::vector<FieldDifference> out;
    IniHolder left(0), right(0);
    if (!left.get() || !right.get()) return out;
    PutParaSections(left.get(), a);
    PutParaSections(right.get(), b);
    // Both stores hold the same sections and keys in the same order: the
    // layout of the file does not depend on the values.
    const int sections = Ini_NumberOfSections(left.get());
    for (int s = 0; s < sections; ++s) {
        const std::string section = Ini_NthSectionName(left.get(), s);
        const int items = Ini_NumberOfItems(left.get(), section.c_str());
        for (int i = 0; i < items; ++i) {
            const std::string key = Ini_NthItemName(left.get(), section.c_str(), i);
            std::string l, r;
            Ini_GetStdString(left.get(), section.c_str(), key.c_str(), &l);
            Ini_GetStdString(right.get(), section.c_str(), key.c_str(), &r);
            if (l != r) out.push_back({section, key, l, r});
        }
    }
    return out;
}

int MergeRecords(const unsigned short a[PARAM_WORDS], const unsigned short b[PARAM_WORDS],
                 const std::vector<FieldDifference> &take, unsigned short out[PARAM_WORDS]) {
    unsigned short result[PARAM_WORDS];
    std::copy(a, a + PARAM_WORDS, result);
    std::copy(result, result + PARAM_WORDS, out);
    if (take.empty()) return 0;
    IniHolder merged(0), from(0);
    if (!merged.get() || !from.get()) return kIniErrOutOfMemory;
    if (int rc = PutParaSections(merged.get(), a)) return rc;
    if (int rc = PutParaSections(from.get(), b)) return rc;
    for (const FieldDifference &f : take) {
        std::string text;
        if (Ini_GetStdString(from.get(), f.section.c_str(), f.key.c_str(), &text) != 1) continue;
        if (int rc = Ini_PutRawString(merged.get(), f.section.c_str(), f.key.c_str(), text.c_str()); rc < 0) return rc;
    }
    // Reading the sections back rebuilds every word the file carries. A word
    // the file cannot describe exactly (a value no label names) would come
    // back changed, so only words that differ from a's own round trip take
    // the merged value.
    unsigned short roundTrip[PARAM_WORDS];
    std::copy(a, a + PARAM_WORDS, roundTrip);
    IniHolder own(0);
    if (!own.get()) return kIniErrOutOfMemory;
    if (int rc = PutParaSections(own.get(), a)) return rc;
    GetParaSections(own.get(), roundTrip);
    unsigned short read[PARAM_WORDS];
    std::copy(a, a + PARAM_WORDS, read);
    GetParaSections(merged.get(), read);
    for (int i = 0; i < PARAM_WORDS; ++i)
        if (read[i] != roundTrip[i]) result[i] = read[i];
    std::copy(result, result + PARAM_WORDS, out);
    return 0;
}
