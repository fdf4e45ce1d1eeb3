// The settings file: what the program remembers from one run to the next.
#include "tests/fixtures/program.h"

#include "app/settings.h"
#include "link/reconnect.h"
#include "maint/access.h"
#include "measure/navigation.h"
#include "ui/panels/expert_ids.h"
#include "ui/panels/main_ids.h"

#include <QComboBox>
#include <QFile>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

class SettingsTest : public ProgramTest {
  protected:
    std::string path;
    void SetUp() override {
        ProgramTest::SetUp();
        path = MakePathname(ProgramDir(), "settings-under-test.ini");
        std::remove(path.c_str());
        resetPanels();
    }
    // What a freshly started program holds before the file is read.
    void resetPanels() {
        Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, 0, -1);
        SetCtrlVal(panelInterf, INTERF_ADDRESS, "");
        SetCtrlVal(panelInterf, INTERF_COMPORT, 5);
        SetCtrlVal(panelInterf, INTERF_BAUD, 3);
        std::snprintf(password, sizeof password, "%s", "unset");
        main_left = main_top = main_zoom = 0;
        ClearComPortDevices();
    }
    std::vector<std::string> history() { return AddressHistory(); }
    int port() {
        int v = 0;
        GetCtrlVal(panelInterf, INTERF_COMPORT, &v);
        return v;
    }
    std::string fileText() {
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    void writeFile(const std::string &text) { std::ofstream(path, std::ios::binary) << text; }
    void expectDefaults(const std::string &file) {
        SCOPED_TRACE(file);
        EXPECT_EQ(port(), 1);
        int baudIndex = -1;
        GetCtrlVal(panelInterf, INTERF_BAUD, &baudIndex);
        EXPECT_EQ(baudIndex, 1);
        EXPECT_EQ(history(), std::vector<std::string>{kDefaultServerAddress});
        std::string field;
        GetCtrlVal(panelInterf, INTERF_ADDRESS, &field);
        EXPECT_EQ(field, kDefaultServerAddress);
        EXPECT_STREQ(password, "4826");
        const int hidden[kSelectorCount] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
        EXPECT_EQ(std::memcmp(panelSelectorState, hidden, sizeof hidden), 0);
        EXPECT_EQ(main_left + main_top + main_zoom, 0);
    }
    // The file's lines of one section, as bytes.
    std::string sectionText(const std::string &name) {
        const std::string text = fileText();
        const std::size_t at = text.find("[" + name + "]\r\n");
        return at == std::string::npos ? std::string() : text.substr(at, text.find("\r\n\r\n", at) - at);
    }
};

TEST_F(SettingsTest, FirstStartWithoutAFileGivesTheDefaults) {
    readApplicationVarsFromIni(path.c_str());
    expectDefaults("no file");
}

// Whatever a file holds, unless it holds some setting of this file, it gives
// what a first start gives.
TEST_F(SettingsTest, EmptyOrForeignFilesGiveTheDefaultsOfAMissingOne) {
    std::string noise(4096, '\0');
    unsigned seed = 99;
    for (char &c : noise) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    const std::string files[] = {"", "\r\n  \r\n", noise, "[Other Program]\r\nLast COM Port = 9\r\n",
                                 "[SERIAL PORTS]\r\nCOM2 = \"/dev/ttyUSB0\"\r\n"};
    for (const std::string &text : files) {
        resetPanels();
        writeFile(text);
        readApplicationVarsFromIni(path.c_str());
        expectDefaults(text.substr(0, 20));
    }
    EXPECT_EQ(GetComPortDevice(2), "/dev/ttyUSB0") << "a file of port names alone still names the ports";
}

TEST_F(SettingsTest, WhatIsWrittenComesBack) {
    SetCtrlVal(panelInterf, INTERF_COMPORT, 7);
    for (const char *a : {"127.0.0.3", "127.0.0.2", "127.0.0.1"})
        Combo_InsertComboItem(panelInterf, INTERF_ADDRESS, -1, a);
    std::snprintf(password, sizeof password, "%s", "ABCDEFGHIJKLMNOPQRST"); // 20 characters
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_POWER, 1);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_VECTORS, 1);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_SENDGET, 1);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_RECORDER, 0);
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);

    const std::string text = fileText();
    EXPECT_NE(text.find("[CONNECTION]\r\nLast COM Port = 7\r\nLast Baudrate = 3\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("IP History 2 = \"127.0.0.1\"\r\nIP History 3 = \"\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("IP History 9 = \"\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("Index 0 = \"00414243\""), std::string::npos) << text;
    EXPECT_NE(text.find("Index 9 = \"00000101\""), std::string::npos) << text; // outputs 0, vectors 1, lock 1
    EXPECT_LT(text.find("[CONNECTION]"), text.find("[COLOR ARRAY]"));
    EXPECT_LT(text.find("[COLOR ARRAY]"), text.find("[APPLICATION]"));

    resetPanels();
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_POWER, 0);
    SetCtrlVal(panelEXPERT, EXPERT_HIDE_SENDGET, 0);
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(port(), 7);
    EXPECT_STREQ(password, "ABCDEFGHIJKLMNOPQRST");
    std::vector<std::string> expected = {"127.0.0.3", "127.0.0.2", "127.0.0.1", "", "", "", "", "", "", ""};
    EXPECT_EQ(history(), expected);
    std::string field;
    GetCtrlVal(panelInterf, INTERF_ADDRESS, &field);
    EXPECT_EQ(field, "127.0.0.3");
    int v = 0;
    GetCtrlVal(panelEXPERT, EXPERT_HIDE_POWER, &v);
    EXPECT_EQ(v, 1);
    GetCtrlVal(panelEXPERT, EXPERT_HIDE_SENDGET, &v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(panelSelectorState[4], 1);
    EXPECT_EQ(panelSelectorState[7], 1);
    EXPECT_EQ(panelSelectorState[2], 0);

    // Written again over the (hidden) file, a short password loses its filler.
    std::snprintf(password, sizeof password, "%s", "abcd");
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);
    resetPanels();
    readApplicationVarsFromIni(path.c_str());
    EXPECT_STREQ(password, "abcd");
    EXPECT_EQ(history().size(), 10u) << "the history is trimmed, not grown, at every start";
}

TEST_F(SettingsTest, OutOfRangePortsAndBadNumbersAreIgnored) {
    for (const char *bad : {"0", "256", "12ab"}) {
        writeFile(std::string("[CONNECTION]\r\nLast COM Port = ") + bad + "\r\n[APPLICATION]\r\nPanel pos. x = 40\r\n");
        resetPanels();
        readApplicationVarsFromIni(path.c_str());
        EXPECT_EQ(port(), 5) << bad;
        EXPECT_EQ(main_left, 40) << bad;
    }
    // Without any password in the file the current one stays: an empty
    // password would let anybody in.
    EXPECT_STREQ(password, "unset");
}

TEST_F(SettingsTest, DamagedFilesNeverCrashAndKeepWhatIsReadable) {
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    writeFile("[CONNECTION]\r\nLast COM Port = 9\r\n" + garbage + "\r\n[APPLICATION]\r\nPanel pos. y = 77\r\nPanel po");
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(port(), 9);
    EXPECT_EQ(main_top, 77);
    EXPECT_EQ(history(), std::vector<std::string>{kDefaultServerAddress}) << "a lost history still offers an address";

    std::string huge = "[CONNECTION]\r\nIP History 0 = \"" + std::string(100000, 'x') + "\"\r\n";
    for (int i = 0; i < 10000; ++i) huge += "[S" + std::to_string(i) + "]\r\n";
    huge += "[CONNECTION]\r\nLast COM Port = 4\r\n"; // a repeated section: the first one counts
    writeFile(huge);
    resetPanels();
    readApplicationVarsFromIni(path.c_str());
    ASSERT_EQ(history().size(), 1u);
    EXPECT_LE(history()[0].size(), 98u);
    EXPECT_EQ(port(), 5);
}

// Bytes that are no valid UTF-8 (a Latin-1 name, a cut character) survive a
// start, a commit of the address field and an exit unchanged.
TEST_F(SettingsTest, AddressHistoryKeepsItsBytesThroughAStartAndExit) {
    const std::string connection = "[CONNECTION]\r\nLast COM Port = 1\r\nLast Baudrate = 3\r\n"
                                "IP History 0 = \"caf\xe9.local\"\r\nIP History 1 = \"\xc3(cut\"\r\n"
                                "IP History 2 = \"r\xc3\xa9seau\"\r\nIP History 3 = \"\xed\xa0\x80\"\r\n";
    std::string empties;
    for (int i = 4; i < 10; ++i) empties += "IP History " + std::to_string(i) + " = \"\"\r\n";
    writeFile(connection + empties);
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(history().at(0), "caf\xe9.local");
    std::string field;
    GetCtrlVal(panelInterf, INTERF_ADDRESS, &field);
    EXPECT_EQ(field, "caf\xe9.local");
    OperateCtrl(panelInterf, INTERF_ADDRESS); // the operator confirms the address shown
    EXPECT_EQ(history().size(), 10u) << "found in the list by its bytes, so moved, not added";
    std::string shown = static_cast<QComboBox *>(GetCtrlWidget(panelInterf, INTERF_ADDRESS))->itemText(0).toStdString();
    EXPECT_EQ(shown, "caf\xc3\xa9.local") << "shown as Latin-1";
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);
    EXPECT_EQ(sectionText("CONNECTION"), connection + empties.substr(0, empties.size() - 2));
}

TEST_F(SettingsTest, SerialPortNamesAreUsedAndWrittenBackUnchanged) {
    writeFile("[CONNECTION]\r\nLast COM Port = 2\r\n\r\n[SERIAL PORTS]\r\nCOM2 = \"/dev/ttyUSB0\"\r\n"
              "COM17 = \"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\"\r\n");
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(GetComPortDevice(2), "/dev/ttyUSB0");
    EXPECT_EQ(GetComPortDevice(17), "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);
    EXPECT_NE(fileText().find("[SERIAL PORTS]\r\nCOM2 = \"/dev/ttyUSB0\"\r\n"
                              "COM17 = \"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\"\r\n"),
              std::string::npos)
        << fileText();
}

// The reconnect option has a section of its own: older files lack it and
// leave the option off, and the sections they know are written as before.
TEST_F(SettingsTest, ReconnectOptionComesBackAndIsOffWithoutItsKey) {
    writeFile("[CONNECTION]\r\nLast COM Port = 2\r\n");
    reconnectAutomatically = 1;
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(reconnectAutomatically, 1) << "a file without the key leaves the option as it is";
    reconnectAutomatically = 0;
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(reconnectAutomatically, 0);

    OperateCtrl(panelMAIN, MAIN_CONNECT);
    OperateCtrl(panelInterf, INTERF_RECONNECT, 1);
    OperateCtrl(panelInterf, INTERF_ACCEPT);
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);
    EXPECT_NE(fileText().find("[OPTIONS]\r\nReconnect automatically = 1"), std::string::npos) << fileText();
    EXPECT_EQ(sectionText("CONNECTION").find("Reconnect"), std::string::npos);

    reconnectAutomatically = 0;
    SetCtrlVal(panelInterf, INTERF_RECONNECT, 0);
    readApplicationVarsFromIni(path.c_str());
    EXPECT_EQ(reconnectAutomatically, 1);
    int shown = 0;
    GetCtrlVal(panelInterf, INTERF_RECONNECT, &shown);
    EXPECT_EQ(shown, 1);
    reconnectAutomatically = 0;
}

} // namespace
