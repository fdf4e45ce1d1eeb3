#include "params/compare.h"

#include "ini/inifile.h"
#include "params/parafile.h"

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
