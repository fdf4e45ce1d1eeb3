// Firmware download from the update panel against the simulator's loader on
// a pty, the port opened by number as the settings file maps it: hand-over,
// announcement, pacing, the end of the sending, success and every failure
// with the normal link back afterwards.
#include "update_fixture.h"

#include <QFile>

#include <algorithm>

using namespace maint_test;

namespace {

class Download : public UpdatePanelTest {
  protected:
    sim::SimThread sim;
    std::vector<std::string> firmware;

    void SetUp() override {
        UpdatePanelTest::SetUp();
        ASSERT_TRUE(sim.start(true, true));
        firmware = {record('0', 2, 0, {'f', 'w'})};
        for (uint32_t a = 0; a < 0x1000; a += 16) firmware.push_back(s3(kProgramMemoryBase + a, firmwareBytes(a, 16)));
        firmware.push_back(record('7', 4, kProgramMemoryBase, {}));
    }
    void loader(sim::LoaderSettings s) {
        s.imageFile = QString::fromStdString(path("image.S"));
        sim.setLoaderSettings(s);
    }
    bool connectSerial() {
        useSerial(sim.ptyPath());
        rs232con = InitRS232(1);
        return rs232con == 1;
    }
    int handOvers() const {
        const auto log = sim.requestLog();
        return static_cast<int>(std::count_if(log.begin(), log.end(), [](const auto &r) { return r[3] == 187; }));
    }
    void program() { OperateCtrl(panelUPDATE, UPDATE_CMD_PROGRAM); }
    bool linkIsBack() const { return rs232con == 1 && StatusLine() == szVersion; }
};

} // namespace

TEST_F(Download, FirmwareGoesToTheLoaderAndTheNormalLinkComesBack) {
    sim::LoaderSettings s;
    s.readyPieces = 5; // the announcement arrives over several reads
    s.readyGapMs = 40;
    s.busyMs = 2;
    s.verbose = true; // over 2 KB before the announcement, a line per record
    loader(s);
    ASSERT_TRUE(connectSerial());
    chooseFirmware(writeLines("fw.S", firmware));
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_YELLOW);
    program();

    EXPECT_TRUE(popups->shown.size() == 1) << lastError();
    const std::string out = loaderOutput();
    EXPECT_NE(out.find("Waiting for application S-Record."), std::string::npos) << out;
    EXPECT_GT(out.find("Waiting for application S-Record."), 2048u);
    int firstVisible = 0;
    GetCtrlAttribute(panelUPDATE, UPDATE_LOADER_OUTPUT, ATTR_FIRST_VISIBLE_LINE, &firstVisible);
    EXPECT_GT(firstVisible, 300); // the view shows the end
    EXPECT_NE(out.find("Record 256 programmed\nRecord 257 programmed\n\nApplication started from address 0x02000000"),
              std::string::npos)
        << out;
    const std::string last = "\n\nFirmwareupdate was successful!";
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), last.size())), last);
    EXPECT_TRUE(linkIsBack()) << StatusLine();
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_YELLOW);
    EXPECT_EQ(handOvers(), 1);
    // The loader saved what it received: the file, line for line, sent at
    // 115200 bit/s by a line that stops on XOFF.
    EXPECT_EQ(readLines(path("image.S")), firmware);
    EXPECT_EQ(sim.loaderImage().senderBaud, 115200);
    EXPECT_TRUE(sim.loaderImage().senderXonXoff);
    int dimmed = 1;
    GetCtrlAttribute(panelUPDATE, UPDATE_CMD_PROGRAM, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 0);
}

TEST_F(Download, LongLoaderPausesHoldTheSenderBackWithoutLosingALine) {
    // Every record keeps the loader busy for 150 ms behind an XOFF: the
    // program's transmit queue stops draining and its 0.5 s drain wait runs
    // out on some lines; nothing is lost and nothing arrives after an XOFF.
    sim::LoaderSettings s;
    s.busyMs = 150;
    loader(s);
    ASSERT_TRUE(connectSerial());
    std::vector<std::string> small(firmware.begin(), firmware.begin() + 12);
    small.push_back(firmware.back());
    chooseFirmware(writeLines("fw.S", small));
    const double t0 = Timer();
    program();
    EXPECT_GE(Timer() - t0, 12 * 0.15);
    EXPECT_NE(loaderOutput().find("Firmwareupdate was successful!"), std::string::npos) << loaderOutput();
    EXPECT_EQ(readLines(path("image.S")), small);
    EXPECT_EQ(sim.loaderMaxBytesAfterXoff(), 0);
}

TEST_F(Download, MergedFileIsSentRatherThanTheFirmwareFile) {
    loader({});
    ASSERT_TRUE(connectSerial());
    chooseFirmware(writeLines("fw.S", firmware));
    useTable(UPDATE_CHK_USE_A, writeLines("a.dat", tableLines(tableValues(100, 1))));
    merge(path("merged.S"), 0, 0x800);
    ASSERT_TRUE(MergedFileReady()) << lastError();
    program();
    EXPECT_NE(loaderOutput().find("Firmwareupdate was successful!"), std::string::npos) << loaderOutput();
    const std::vector<std::string> merged = readLines(path("merged.S"));
    EXPECT_NE(merged, firmware);
    EXPECT_EQ(readLines(path("image.S")), merged);
}

TEST_F(Download, OnlyASerialLinkMayCarryADownload) {
    const std::string tcpText = "To upgrade the controller you need to establish a connection\r\n"
                                "using a RS232 COM port or an RS232-to-USB converter emulating\r\n"
                                "an virtual COM port. Upgrade is not supported using TCP/IP.";
    chooseFirmware(writeLines("fw.S", firmware));
    program(); // no link at all
    EXPECT_EQ(lastError(), tcpText);
    useTcp(sim.tcpPort());
    ASSERT_EQ(tcpcon = InitTCP_IP(1), 1);
    sim.clearRequestLog();
    program();
    EXPECT_EQ(lastError(), tcpText);
    EXPECT_TRUE(sim.requestLog().empty());
    EXPECT_EQ(tcpcon, 1);

    // Over the serial link, but with nothing chosen.
    tcpcon = InitTCP_IP(0);
    ASSERT_TRUE(connectSerial());
    resetUpdatePanel();
    program();
    EXPECT_EQ(lastError(), "Please select files first!");
    EXPECT_EQ(handOvers(), 0);
}

TEST_F(Download, DamagedFileIsRefusedNamingTheLineAndNothingIsSent) {
    ASSERT_TRUE(connectSerial());
    std::vector<std::string> damaged = firmware;
    damaged[3].replace(12, 2, "00" == damaged[3].substr(12, 2) ? "01" : "00");
    chooseFirmware(writeLines("fw.S", damaged));
    sim.clearRequestLog();
    program();
    EXPECT_NE(lastError().find("fw.S\r\nline 4: checksum error"), std::string::npos) << lastError();
    EXPECT_TRUE(sim.requestLog().empty());
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_RED);
    EXPECT_EQ(rs232con, 1);
}

TEST_F(Download, BlankLinesAreSkippedAndTheWholeImageArrives) {
    // Blank lines in the middle and at the end carry nothing: the check and
    // the download both pass over them, so every record reaches the loader.
    loader({});
    ASSERT_TRUE(connectSerial());
    std::vector<std::string> gaps = firmware;
    gaps.insert(gaps.begin() + 6, "");
    gaps.insert(gaps.begin() + 100, "");
    gaps.insert(gaps.begin() + 101, "");
    gaps.push_back("");
    chooseFirmware(writeLines("fw.S", gaps));
    program();
    const auto image = sim.loaderImage();
    EXPECT_EQ(image.lines, firmware);
    EXPECT_TRUE(image.started);
    EXPECT_NE(loaderOutput().find("Firmwareupdate was successful!"), std::string::npos) << loaderOutput();
    EXPECT_TRUE(linkIsBack()) << StatusLine();

    // A damaged record after a blank line is still found, by its own line
    // number, before anything is sent.
    gaps[120].replace(12, 2, gaps[120].substr(12, 2) == "00" ? "01" : "00");
    resetUpdatePanel();
    chooseFirmware(writeLines("fw2.S", gaps));
    sim.clearRequestLog();
    program();
    EXPECT_NE(lastError().find("fw2.S\r\nline 121: checksum error"), std::string::npos) << lastError();
    EXPECT_EQ(handOvers(), 0);
}

TEST_F(Download, LoaderFailuresAreShownAndTheNormalLinkIsRestored) {
    // A loader that reports a checksum error: its words are shown, nothing
    // counts as success.
    sim::LoaderSettings s;
    s.checksumError = true;
    loader(s);
    ASSERT_TRUE(connectSerial());
    chooseFirmware(writeLines("fw.S", firmware));
    program();
    EXPECT_NE(loaderOutput().find("Checksum error in line 2!"), std::string::npos) << loaderOutput();
    EXPECT_EQ(loaderOutput().find("successful"), std::string::npos);
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_RED);
    EXPECT_EQ(readLines(path("image.S")).front().rfind("line 2: checksum error", 0), 0u);
}

TEST_F(Download, SilentLoaderTimesOutAfterFiveSecondsAndTheNormalLinkIsBack) {
    sim::LoaderSettings s;
    s.silent = true;
    loader(s);
    ASSERT_TRUE(connectSerial());
    chooseFirmware(writeLines("fw.S", firmware));
    const double t0 = Timer();
    program();
    const double took = Timer() - t0;
    EXPECT_EQ(lastError(), "No answer from controller!");
    EXPECT_GE(took, 5.0);
    EXPECT_LT(took, 9.0);
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_RED);
    // Back on the normal link, with the usual verification.
    EXPECT_TRUE(linkIsBack()) << StatusLine();
    EXPECT_EQ(sim.loaderImage().lines.size(), 0u);
}
