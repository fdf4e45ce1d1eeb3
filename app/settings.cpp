#include "app/settings.h"

#include "core/panels.h"
#include "app/startup.h"
#include "core/program.h"
#include "core/status.h"
#include "ini/inifile.h"
#include "journal/journal.h"
#include "link/reconnect.h"
#include "maint/access.h"
#include "measure/navigation.h"
#include "params/binding.h"
#include "params/parafile.h"
#include "publish/publish.h"
#include "ui/engine/engine.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/main_ids.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

const char kDefaultServerAddress[] = "192.168.1.100";

namespace {

constexpr const char kConnection[] = "CONNECTION";
constexpr const char kColorArray[] = "COLOR ARRAY";
constexpr const char kApplication[] = "APPLICATION";
constexpr const char kSerialPorts[] = "SERIAL PORTS";
// Options added later live in a section of their own, so the sections older
// versions read stay exactly as they were.
constexpr const char kOptions[] = "OPTIONS";
constexpr const char kReconnectKey[] = "Reconnect automatically";
constexpr int kHistorySlots = 10;
constexpr int kHistoryChars = 98;
constexpr int kPasswordKeys = 7; // 21 bytes, three per key
constexpr int kMaxPort = 255;

// The expert-panel switch behind each panel-selector entry 2 to 10.
constexpr int kSwitchOfEntry[kSelectorCount] = {0,  0,  EXPERT_HIDE_RECORDER, EXPERT_HIDE_INTENSITY,
                                                EXPERT_HIDE_POWER, EXPERT_HIDE_SETTINGS, EXPERT_HIDE_OUTPUTS,
                                                EXPERT_HIDE_VECTORS, EXPERT_HIDE_FILTER, EXPERT_HIDE_UPDATE,
                                                EXPERT_HIDE_TEST};
constexpr int kLockSwitch = EXPERT_HIDE_SENDGET; // stored beside the selector entries

// The serial-port names read from the file, written back as they were.
std::vector<std::pair<std::string, std::string>> g_serialPorts;

std::string historyKey(int i) { return "IP History " + std::to_string(i); }
std::string indexKey(int i) { return "Index " + std::to_string(i); }

void putPacked(IniText ini, int key, int b0, int b1, int b2) {
    char text[16];
    std::snprintf(text, sizeof text, "00%02X%02X%02X", b0 & 0xFF, b1 & 0xFF, b2 & 0xFF);
    Ini_PutString(ini, kColorArray, indexKey(key).c_str(), text);
}

// Reads one packed word into its three bytes; false when missing or not hex.
bool getPacked(IniText ini, int key, unsigned char bytes[3]) {
    char text[32];
    if (Ini_GetStringIntoBuffer(ini, kColorArray, indexKey(key).c_str(), text, sizeof text) != 1) return false;
    char *end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 16);
    if (end == text || *end != '\0' || v > 0xFFFFFFFFul) return false;
    bytes[0] = static_cast<unsigned char>((v >> 16) & 0xFF);
    bytes[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
    bytes[2] = static_cast<unsigned char>(v & 0xFF);
    return true;
}

void setSwitch(int id, int on) { SetCtrlVal(panelEXPERT, id, on ? 1 : 0); }

int getSwitch(int id) {
    int v = 0;
    GetCtrlVal(panelEXPERT, id, &v);
    return v ? 1 : 0;
}

void applySelectorSwitches(int lock) {
    for (int entry = 2; entry < kSelectorCount; ++entry) setSwitch(kSwitchOfEntry[entry], panelSelectorState[entry]);
    setSwitch(kLockSwitch, lock);
}

void applyDefaults() {
    SetCtrlVal(panelInterf, INTERF_COMPORT, 1);
    SetCtrlVal(panelInterf, INTERF_BAUD, 1);
    Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, 0, -1);
    Combo_InsertComboItem(panelInterf, INTERF_ADDRESS, 0, kDefaultServerAddress);
    SetCtrlVal(panelInterf, INTERF_ADDRESS, kDefaultServerAddress);
    std::snprintf(password, sizeof password, "%s", kDefaultPassword);
    const int defaults[kSelectorCount] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
    std::memcpy(panelSelectorState, defaults, sizeof panelSelectorState);
    applySelectorSwitches(0);
    main_zoom = main_left = main_top = 0;
}

void readPassword(IniText ini) {
    unsigned char block[3 * kPasswordKeys] = {};
    bool any = false;
    for (int k = 0; k < kPasswordKeys; ++k) any = getPacked(ini, k, block + 3 * k) || any;
    char text[kPasswordMax + 1] = {};
    for (int i = 0; i < kPasswordMax && block[i]; ++i) text[i] = static_cast<char>(block[i]);
    // A file without a password keeps the current one. An empty password
    // counts only when the block is exactly what the program writes for an
    // expert who chose one (every filler byte in place): a damaged file must
    // not open expert mode to anybody.
    bool emptyAsWritten = block[kPasswordMax] == 0;
    for (int i = 1; i < kPasswordMax; ++i) emptyAsWritten = emptyAsWritten && block[i] == 8 * i;
    if (any && (text[0] || emptyAsWritten)) std::memcpy(password, text, sizeof text);
}

void readSelectorState(IniText ini) {
    unsigned char b[3];
    if (getPacked(ini, 7, b)) {
        panelSelectorState[0] = b[0];
        panelSelectorState[1] = b[1];
        panelSelectorState[2] = b[2];
    }
    if (getPacked(ini, 8, b)) {
        panelSelectorState[3] = b[0];
        panelSelectorState[4] = b[1];
        panelSelectorState[5] = b[2];
    }
    int lock = getSwitch(kLockSwitch);
    if (getPacked(ini, 9, b)) {
        panelSelectorState[6] = b[0];
        panelSelectorState[7] = b[1];
        lock = b[2];
        panelSelectorState[8] = panelSelectorState[9] = panelSelectorState[10] = 1;
    }
    applySelectorSwitches(lock);
}

// The device names of serial ports: those of the file beside an installed
// program first (its administrator's), then the program's own file. Only the
// own file's names are written back to it.
void readSerialPorts(IniText own, IniText installed) {
    g_serialPorts.clear();
    char device[260];
    for (int n = 1; n <= kMaxPort; ++n) {
        const std::string key = "COM" + std::to_string(n);
        if (installed && Ini_GetStringIntoBuffer(installed, kSerialPorts, key.c_str(), device, sizeof device) == 1) {
            SetComPortDevice(n, device);
        } else if (own && Ini_GetStringIntoBuffer(own, kSerialPorts, key.c_str(), device, sizeof device) == 1) {
            g_serialPorts.emplace_back(key, device);
            SetComPortDevice(n, device);
        }
    }
}

// The settings file beside the program when the program's files go to the
// per-user data directory instead (its own folder is not writable): read,
// never written.
std::string installedSettingsPath(const std::string &path) {
    const std::string programDir = GetProjectDir();
    if (GetWritableDataDir() == programDir) return {};
    const std::string beside = MakePathname(programDir, path.substr(path.rfind('/') + 1));
    return beside == path ? std::string() : beside;
}

bool readFile(IniText ini, const std::string &path) {
    long size = 0;
    return ini && !path.empty() && GetFileInfo(path.c_str(), &size) == 1 && Ini_ReadFromFile(ini, path.c_str()) >= 0;
}

// Whether a file holds any setting of this file at all; an empty file, noise
// or another program's file holds none and counts as no file.
bool holdsSettings(IniText ini) {
    for (const char *section : {kConnection, kColorArray, kApplication})
        if (Ini_SectionExists(ini, section)) return true;
    unsigned short probe[PARAM_WORDS] = {};
    return GetParaSections(ini, probe) == 1;
}

} // namespace

int readApplicationVarsFromIni(const char *path) {
    IniHolder own(0), installed(0);
    const bool haveOwn = readFile(own, path);
    const bool haveInstalled = readFile(installed, installedSettingsPath(path));
    readSerialPorts(haveOwn ? own.get() : nullptr, haveInstalled ? installed.get() : nullptr);
    // The program's own file; until it has written one (or should that one
    // be damaged beyond use), the file beside the installed program.
    IniText ini = haveOwn && holdsSettings(own)               ? own.get()
                  : haveInstalled && holdsSettings(installed) ? installed.get()
                                                              : nullptr;
    if (!ini) {
        applyDefaults();
        return -1;
    }

    int port = 0;
    if (Ini_GetInt(ini, kConnection, "Last COM Port", &port) == 1 && port >= 1 && port <= kMaxPort)
        SetCtrlVal(panelInterf, INTERF_COMPORT, port);

    char address[kHistoryChars + 1];
    int addresses = 0;
    for (int i = 0; i < kHistorySlots; ++i)
        if (Ini_GetStringIntoBuffer(ini, kConnection, historyKey(i).c_str(), address, sizeof address) == 1) {
            Combo_InsertComboItem(panelInterf, INTERF_ADDRESS, -1, address);
            ++addresses;
        }
    // A file that lost its history still offers the default address.
    if (addresses == 0) Combo_InsertComboItem(panelInterf, INTERF_ADDRESS, -1, kDefaultServerAddress);
    // The newest address stands in the field, ready for the next connect.
    std::string field, newest;
    GetCtrlVal(panelInterf, INTERF_ADDRESS, &field);
    if (field.empty() && Combo_GetItem(panelInterf, INTERF_ADDRESS, 0, &newest) == 0)
        SetCtrlVal(panelInterf, INTERF_ADDRESS, newest);

    // Absent in files of older versions: the option stays off.
    int reconnect = 0;
    if (Ini_GetInt(ini, kOptions, kReconnectKey, &reconnect) == 1) reconnectAutomatically = reconnect ? 1 : 0;
    SetCtrlVal(panelInterf, INTERF_RECONNECT, reconnectAutomatically);
    ReadMqttSettings(ini);

    readPassword(ini);
    readSelectorState(ini);

    int value = 0;
    if (Ini_GetInt(ini, kApplication, "Panel max", &value) == 1) main_zoom = value == 1 ? VAL_MAXIMIZE : 0;
    if (Ini_GetInt(ini, kApplication, "Panel pos. x", &value) == 1) main_left = value;
    if (Ini_GetInt(ini, kApplication, "Panel pos. y", &value) == 1) main_top = value;

    // The parameter panels as they were left: the panels' own state, overlaid
    // with the parameter sections of this file and shown again. A file
    // without parameter sections leaves the panels alone.
    GetPanelValues(param_alt);
    ReadParaFromFile(param_alt, ini);
    return 0;
}

int writeApplicationVarsToIni(const char *path) {
    IniHolder store(0);
    if (!store.get()) return kIniErrOutOfMemory;
    IniText ini = store.get();

    int port = 1, baudIndex = 1;
    GetCtrlVal(panelInterf, INTERF_COMPORT, &port);
    GetCtrlVal(panelInterf, INTERF_BAUD, &baudIndex);
    Ini_PutInt(ini, kConnection, "Last COM Port", port);
    Ini_PutInt(ini, kConnection, "Last Baudrate", baudIndex);

    int count = 0;
    Combo_GetNumItems(panelInterf, INTERF_ADDRESS, &count);
    if (count > kHistorySlots) {
        Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, kHistorySlots, -1);
        count = kHistorySlots;
    }
    for (int i = 0; i < kHistorySlots; ++i) {
        std::string entry;
        if (i < count) Combo_GetItem(panelInterf, INTERF_ADDRESS, i, &entry);
        Ini_PutString(ini, kConnection, historyKey(i).c_str(), entry.c_str());
    }

    unsigned char block[3 * kPasswordKeys];
    for (int i = 0; i < kPasswordMax; ++i) block[i] = static_cast<unsigned char>(8 * i);
    block[kPasswordMax] = 0;
    const std::size_t len = strnlen(password, kPasswordMax);
    std::memcpy(block, password, len);
    block[len] = 0;
    for (int k = 0; k < kPasswordKeys; ++k) putPacked(ini, k, block[3 * k], block[3 * k + 1], block[3 * k + 2]);

    panelSelectorState[0] = panelSelectorState[1] = 0;
    for (int entry = 2; entry <= 7; ++entry) panelSelectorState[entry] = getSwitch(kSwitchOfEntry[entry]);
    panelSelectorState[8] = panelSelectorState[9] = panelSelectorState[10] = 1;
    const int lock = getSwitch(kLockSwitch);
    putPacked(ini, 7, 0, 0, panelSelectorState[2]);
    putPacked(ini, 8, panelSelectorState[3], panelSelectorState[4], panelSelectorState[5]);
    putPacked(ini, 9, panelSelectorState[6], panelSelectorState[7], lock);

    int zoom = 0, left = 0, top = 0;
    GetPanelAttribute(panelMAIN, ATTR_WINDOW_ZOOM, &zoom);
    GetPanelAttribute(panelMAIN, ATTR_LEFT, &left);
    GetPanelAttribute(panelMAIN, ATTR_TOP, &top);
    Ini_PutInt(ini, kApplication, "Panel max", zoom == VAL_MAXIMIZE ? 1 : 0);
    Ini_PutInt(ini, kApplication, "Panel pos. x", left);
    Ini_PutInt(ini, kApplication, "Panel pos. y", top);

    SendParaToFile(param_alt, ini); // reads the panels into param_alt first

    for (const auto &kv : g_serialPorts) Ini_PutString(ini, kSerialPorts, kv.first.c_str(), kv.second.c_str());
    Ini_PutInt(ini, kOptions, kReconnectKey, reconnectAutomatically);
    // A remembered broker password makes the file its owner's alone.
    const bool secret = WriteMqttSettings(ini);
    PutJournalSection(ini);

    const int rc = secret ? Ini_WriteToFileOwnerOnly(ini, path) : Ini_WriteToFile(ini, path);
    SetFileAttrs(path, -1, -1, 1, -1);
    return rc;
}
