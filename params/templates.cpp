#include "params/templates.h"

#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "ini/inifile.h"
#include "params/binding.h"
#include "params/origin.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/settings_ids.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

// The templates file: the list in one section, one section per template.
constexpr char kListSection[] = "TEMPLATE DATA";
constexpr char kCountTag[] = "Number of templates";
constexpr char kNameTagPrefix[] = "Template";
constexpr char kDescriptionTag[] = "Description";
constexpr char kOriginTag[] = "Origin";
constexpr char kCreatedTag[] = "Creation Date";
constexpr char kRecordTag[] = "Parameter";
constexpr std::size_t kRecordBytes = 2 * PARAM_WORDS;

constexpr char kNotFound[] = "Not found";
constexpr char kNoDescription[] = "<empty>";
constexpr char kAttention[] = "ATTENTION!";
constexpr char kReadFailed[] = "Failed to read from template file.";
constexpr char kWriteFailed[] = "Failed to write template file.";
constexpr char kDeleteFailed[] = "Template deletion failed.";
constexpr char kNoCount[] = "Error reading template file.";
constexpr char kOverwrite[] = "Do you want to overwrite existing template?";

// Section names and tags are found regardless of ASCII letter case, so two
// templates whose names differ only so would share one section.
bool sameName(const std::string &a, const std::string &b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

// "Template" followed by the list position in decimal.
bool isNameTag(const std::string &tag, long *position) {
    const std::string prefix = kNameTagPrefix;
    if (tag.size() <= prefix.size() || tag.size() > prefix.size() + 9) return false;
    if (!sameName(tag.substr(0, prefix.size()), prefix)) return false;
    long n = 0;
    for (std::size_t i = prefix.size(); i < tag.size(); ++i) {
        if (tag[i] < '0' || tag[i] > '9') return false;
        n = n * 10 + (tag[i] - '0');
    }
    *position = n;
    return true;
}

std::string nameTag(std::size_t position) {
    return kNameTagPrefix + std::to_string(position);
}

enum class FileState { Read, Missing, Unreadable };

FileState readFile(IniText ini, const char *path) {
    if (ini && Ini_ReadFromFile(ini, path) >= 0) return FileState::Read;
    return GetFileInfo(path, nullptr) == 0 ? FileState::Missing : FileState::Unreadable;
}

// Reads the templates file for loading or deleting, which need one that
// exists; otherwise shows the failure and returns false.
bool readExisting(IniText ini, const char *failure) {
    if (readFile(ini, templatesPath) == FileState::Read) return true;
    MessagePopup(kAttention, failure);
    return false;
}

// The templates a file lists, in list order. A damaged file gives what it
// can: the names are taken by their numbers whatever the count says, and a
// name without its section, a repeated name or the list section's own name
// is left out.
struct TemplateList {
    std::vector<std::string> names;
    bool hasCount = false;
};

TemplateList listedTemplates(IniText ini) {
    TemplateList list;
    int count = 0;
    list.hasCount = Ini_GetInt(ini, kListSection, kCountTag, &count) == 1;
    std::map<long, std::string> byPosition;
    const int items = Ini_NumberOfItems(ini, kListSection);
    for (int i = 0; i < items; ++i) {
        const char *tag = Ini_NthItemName(ini, kListSection, i);
        long position = 0;
        std::string name;
        if (!tag || !isNameTag(tag, &position) || byPosition.count(position)) continue;
        if (Ini_GetStdString(ini, kListSection, tag, &name) == 1) byPosition[position] = name;
    }
    for (const auto &entry : byPosition) {
        const std::string &name = entry.second;
        if (name.empty() || sameName(name, kListSection) || name == kNewTemplate) continue;
        if (!Ini_SectionExists(ini, name.c_str())) continue;
        auto same = [&](const std::string &other) { return sameName(other, name); };
        if (std::none_of(list.names.begin(), list.names.end(), same)) list.names.push_back(name);
    }
    return list;
}

// A store may take a changed list when it is a templates file, or nothing yet.
bool isTemplatesStore(IniText ini, const TemplateList &list) {
    return list.hasCount || Ini_NumberOfSections(ini) == 0;
}

int indexOf(const TemplateList &list, const std::string &name) {
    for (std::size_t i = 0; i < list.names.size(); ++i)
        if (sameName(list.names[i], name)) return static_cast<int>(i);
    return -1;
}

// Writes the list section anew: the count and the names numbered from 0.
int putList(IniText ini, const std::vector<std::string> &names) {
    std::vector<std::string> stale;
    const int items = Ini_NumberOfItems(ini, kListSection);
    for (int i = 0; i < items; ++i) {
        const char *tag = Ini_NthItemName(ini, kListSection, i);
        long position = 0;
        if (tag && (isNameTag(tag, &position) || sameName(tag, kCountTag))) stale.emplace_back(tag);
    }
    for (const std::string &tag : stale) Ini_RemoveItem(ini, kListSection, tag.c_str());
    int rc = Ini_PutInt(ini, kListSection, kCountTag, static_cast<int>(names.size()));
    for (std::size_t k = 0; k < names.size() && rc >= 0; ++k)
        rc = Ini_PutString(ini, kListSection, nameTag(k).c_str(), names[k].c_str());
    return rc;
}

// Removes every section of the template (a hand-edited file may hold two).
void removeTemplateSections(IniText ini, const std::string &name) {
    while (Ini_RemoveSection(ini, name.c_str()) == 1) {
    }
}

std::string comboText() {
    std::string name;
    GetCtrlVal(panelSETTINGS_A, SETTINGS_A_TEMPLATE, &name);
    return name;
}

// The description box's lines, each followed by a line feed.
std::string descriptionText() {
    int lines = 0;
    GetNumTextBoxLines(panelSETTINGS_A, SETTINGS_A_DESCRIPTION, &lines);
    std::string text, line;
    for (int i = 0; i < lines; ++i) {
        if (GetTextBoxLine(panelSETTINGS_A, SETTINGS_A_DESCRIPTION, i, &line) < 0) break;
        text += line + "\n";
    }
    return text;
}

// A stored description ends in a line feed; shown with it the box would
// hold one more, empty line, and every store would add another.
void showDescription(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    ResetTextBox(panelSETTINGS_A, SETTINGS_A_DESCRIPTION, text);
}

void showTemplate(IniText ini, const std::string &name) {
    std::string value;
    showDescription(Ini_GetStdString(ini, name.c_str(), kDescriptionTag, &value) == 1 ? value : kNotFound);
    SetCtrlVal(panelSETTINGS_A, SETTINGS_A_ORIGIN,
               Ini_GetStdString(ini, name.c_str(), kOriginTag, &value) == 1 ? value : kNotFound);
    SetCtrlVal(panelSETTINGS_A, SETTINGS_A_CREATED,
               Ini_GetStdString(ini, name.c_str(), kCreatedTag, &value) == 1 ? value : kNotFound);
}

// The record as the file keeps it: its 16-bit words, low byte first.
std::vector<unsigned char> recordImage(const unsigned short rec[PARAM_WORDS]) {
    std::vector<unsigned char> bytes(kRecordBytes);
    for (int i = 0; i < PARAM_WORDS; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(rec[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(rec[i] >> 8);
    }
    return bytes;
}

// Reads the template's record; false unless the item holds exactly one record.
bool readRecord(IniText ini, const std::string &name, unsigned short rec[PARAM_WORDS]) {
    unsigned char *data = nullptr;
    std::size_t count = 0;
    if (Ini_GetData(ini, name.c_str(), kRecordTag, &data, &count) != 1) return false;
    const bool whole = count == kRecordBytes;
    if (whole)
        for (int i = 0; i < PARAM_WORDS; ++i)
            rec[i] = static_cast<unsigned short>(data[2 * i] | (data[2 * i + 1] << 8));
    std::free(data);
    return whole;
}

// Puts the panels' state as the template's section.
int putTemplate(IniText ini, const std::string &name) {
    const std::string created = DateStr() + " " + TimeStr();
    SetCtrlVal(panelSETTINGS_A, SETTINGS_A_CREATED, created);
    std::string origin;
    GetCtrlVal(panelSETTINGS_A, SETTINGS_A_ORIGIN, &origin);
    GetPanelValues(param);
    const std::vector<unsigned char> image = recordImage(param);
    const char *section = name.c_str();
    int rc = Ini_PutString(ini, section, kDescriptionTag, descriptionText().c_str());
    if (rc >= 0) rc = Ini_PutString(ini, section, kOriginTag, origin.c_str());
    if (rc >= 0) rc = Ini_PutString(ini, section, kCreatedTag, created.c_str());
    if (rc >= 0) rc = Ini_PutData(ini, section, kRecordTag, image.data(), image.size());
    return rc;
}

void clearList() {
    int n = 0;
    Combo_GetNumItems(panelSETTINGS_A, SETTINGS_A_TEMPLATE, &n);
    if (n > 0) Combo_DeleteComboItem(panelSETTINGS_A, SETTINGS_A_TEMPLATE, 0, n);
}

} // namespace

const char *TemplateNameProblem(const std::string &name) {
    if (name.empty()) return "Please enter a name for the template.";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) return "A template name cannot hold line breaks or other control characters.";
    if (name.front() == ' ' || name.back() == ' ') return "A template name cannot begin or end with a blank.";
    if (name.find_first_of("[]=") != std::string::npos) return "A template name cannot hold [, ] or =.";
    if (name.size() > static_cast<std::size_t>(kTemplateNameMax))
        return "A template name cannot be longer than 99 characters.";
    if (sameName(name, kListSection)) return "\"TEMPLATE DATA\" is the name of the template list.";
    return nullptr;
}

int loadTemplatesFromFile(const char *path, int index) {
    IniHolder store(1);
    const FileState state = readFile(store, path);
    if (!store.get() || state == FileState::Unreadable) return 1;
    const TemplateList list = listedTemplates(store);
    clearList();
    for (const std::string &name : list.names)
        Combo_InsertComboItem(panelSETTINGS_A, SETTINGS_A_TEMPLATE, -1, name);
    if (index >= 0 && static_cast<std::size_t>(index) < list.names.size()) {
        SetCtrlVal(panelSETTINGS_A, SETTINGS_A_TEMPLATE, list.names[index]);
        showTemplate(store, list.names[index]);
    } else {
        Combo_InsertComboItem(panelSETTINGS_A, SETTINGS_A_TEMPLATE, -1, kNewTemplate);
        SetCtrlVal(panelSETTINGS_A, SETTINGS_A_TEMPLATE, kNewTemplate);
        showDescription(kNoDescription);
        SetCtrlVal(panelSETTINGS_A, SETTINGS_A_ORIGIN, "");
        SetCtrlVal(panelSETTINGS_A, SETTINGS_A_CREATED, "");
    }
    return list.hasCount || state == FileState::Missing ? 1 : -1;
}

int CC_STRING_TEMPLATE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const std::string name = comboText();
    if (name == kNewTemplate) return 0;
    IniHolder store(1);
    if (readFile(store, templatesPath) != FileState::Read) return 0;
    // A name the file does not hold is a template being made: what the
    // operator wrote for it stays (leaving the box commits the name, just
    // before a click on SAVE), but its creation date is not in the file, so
    // it reads "Not found" rather than the date of the template named before.
    const TemplateList list = listedTemplates(store);
    if (list.names.empty()) return 0;
    if (indexOf(list, name) >= 0) showTemplate(store, name);
    else SetCtrlVal(panelSETTINGS_A, SETTINGS_A_CREATED, kNotFound);
    return 0;
}

int CC_CMD_SAVE_TEMPLATE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const std::string name = comboText();
    if (name == kNewTemplate) return 0;
    if (const char *problem = TemplateNameProblem(name)) {
        MessagePopup(kAttention, problem);
        return 0;
    }
    IniHolder store(1);
    if (!store.get() || readFile(store, templatesPath) == FileState::Unreadable) {
        MessagePopup(kAttention, kReadFailed);
        return 0;
    }
    TemplateList list = listedTemplates(store);
    const int existing = indexOf(list, name);
    if (existing >= 0 && !ConfirmPopup(kAttention, kOverwrite)) return 0;
    if (!isTemplatesStore(store, list)) {
        MessagePopup("ERROR", kNoCount);
        return 0;
    }
    // A stored name goes to the end of the list; its old section, and any
    // section of that name the list does not know, goes.
    if (existing >= 0) {
        removeTemplateSections(store, list.names[existing]);
        list.names.erase(list.names.begin() + existing);
    }
    removeTemplateSections(store, name);
    list.names.push_back(name);
    if (putList(store, list.names) < 0 || putTemplate(store, name) < 0 ||
        Ini_WriteToFile(store, templatesPath) < 0) {
        MessagePopup(kAttention, kWriteFailed);
        return 0;
    }
    loadTemplatesFromFile(templatesPath, static_cast<int>(list.names.size()) - 1);
    return 0;
}

int CC_CMD_LOAD_TEMPLATE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const std::string name = comboText();
    if (name == kNewTemplate) return 0;
    IniHolder store(1);
    if (!readExisting(store, kReadFailed)) return 0;
    if (sameName(name, kListSection) || !Ini_SectionExists(store, name.c_str())) return 0;
    unsigned short rec[PARAM_WORDS];
    if (!readRecord(store, name, rec)) {
        MessagePopup(kAttention, kReadFailed);
        return 0;
    }
    std::copy(rec, rec + PARAM_WORDS, param);
    SetPanelValues(param);
    NoteRecordOrigin(RecordSource::Template, name, param);
    SetStatusF("Template \"%s\" loaded. Parameter adjusted.", name.c_str());
    return 0;
}

int CC_CMD_DELETE_TEMPLATE(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const std::string name = comboText();
    if (name == kNewTemplate) return 0;
    IniHolder store(1);
    if (!readExisting(store, kDeleteFailed)) return 0;
    TemplateList list = listedTemplates(store);
    const int i = indexOf(list, name);
    if (i < 0) return 0;
    if (!list.hasCount) {
        MessagePopup("ERROR", kNoCount);
        return 0;
    }
    removeTemplateSections(store, list.names[i]);
    list.names.erase(list.names.begin() + i);
    if (putList(store, list.names) < 0 || Ini_WriteToFile(store, templatesPath) < 0) {
        MessagePopup(kAttention, kDeleteFailed);
        return 0;
    }
    loadTemplatesFromFile(templatesPath, 0);
    return 0;
}

void RegisterTemplateCallbacks() {
    static const CallbackEntry callbacks[] = {
        {"CC_STRING_TEMPLATE", CC_STRING_TEMPLATE},
        {"CC_CMD_SAVE_TEMPLATE", CC_CMD_SAVE_TEMPLATE},
        {"CC_CMD_LOAD_TEMPLATE", CC_CMD_LOAD_TEMPLATE},
        {"CC_CMD_DELETE_TEMPLATE", CC_CMD_DELETE_TEMPLATE},
    };
    RegisterCallbacks(callbacks);
}
