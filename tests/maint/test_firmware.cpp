// Firmware download from the update panel against the simulator's loader on
// a pty, the port opened by number as the settings file maps it: hand-over,
// announcement, pacing, the end of the sending, success and every failure
// with the normal link back afterwards.
#include "update_fixture.h"

#include "ui/panels/main_ids.h"

#include <QFile>
#include <QTest>

#include <algorithm>
#include <functional>

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
    EXPECT_EQ(readBytes(path("image.S")), joined(firmware, "\n"));
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
    EXPECT_EQ(readBytes(path("image.S")), joined(small, "\n"));
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
    const std::vector<std::string> merged = crlfLines(readBytes(path("merged.S")));
    EXPECT_EQ(merged.size(), firmware.size()); // every line ends in CR LF
    EXPECT_NE(merged, firmware);
    EXPECT_EQ(readBytes(path("image.S")), joined(merged, "\n"));
}

TEST_F(Download, AMergedFileGoesOutOnlyWhileEverythingItWasMadeFromIsUnchanged) {
    loader({});
    ASSERT_TRUE(connectSerial());
    const std::string fw = writeLines("fw.S", firmware);
    const std::string tableA = writeLines("a.dat", tableLines(tableValues(100, 1)));
    const std::string mergeFirst = "The linearisation tables are in use, but no merged file matches the firmware "
                                   "file, the tables and the table window chosen now.\r\nPlease press MERGE first; "
                                   "nothing was sent.";
    auto mergedText = [] {
        std::string t;
        GetCtrlVal(panelUPDATE, UPDATE_MERGED_TEXT, &t);
        return t;
    };
    // Each change after the merge, then PROGRAM: refused with the tables in
    // use, the LED and text saying why, nothing sent to the controller.
    struct Change {
        const char *name;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"table A untaken, table B taken without a file",
         [] {
             OperateCtrl(panelUPDATE, UPDATE_CHK_USE_A, 0);
             OperateCtrl(panelUPDATE, UPDATE_CHK_USE_B, 1);
         }},
        {"window end moved", [] { OperateCtrl(panelUPDATE, UPDATE_NUM_WINDOW_END, 0x900); }},
        {"table file rewritten", [&] { writeLines("a.dat", tableLines(tableValues(-7, 2))); }},
        {"firmware file rewritten",
         [&] {
             std::vector<std::string> other = firmware;
             other[1] = s3(kProgramMemoryBase, firmwareBytes(0x77, 16));
             writeLines("fw.S", other);
         }},
        {"merged file edited", [&] { writeLines("merged.S", {firmware.front()}); }},
    };
    for (const Change &c : changes) {
        SCOPED_TRACE(c.name);
        resetUpdatePanel();
        writeLines("fw.S", firmware);
        writeLines("a.dat", tableLines(tableValues(100, 1)));
        chooseFirmware(fw);
        useTable(UPDATE_CHK_USE_A, tableA);
        merge(path("merged.S"), 0, 0x800);
        ASSERT_TRUE(MergedFileReady()) << lastError();
        c.apply();
        program();
        EXPECT_EQ(lastError(), mergeFirst);
        EXPECT_EQ(handOvers(), 0);
        EXPECT_EQ(onColor(UPDATE_LED_MERGED), VAL_RED);
        EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_RED);
        EXPECT_EQ(mergedText(), "Out of date, press MERGE again: " + path("merged.S"));
        EXPECT_FALSE(QFile::exists(QString::fromStdString(path("image.S"))));
    }

    // MERGE again makes a file from the present choices, and that one goes out.
    popups->shown.clear();
    merge(path("merged.S"), 0, 0x800);
    ASSERT_TRUE(MergedFileReady()) << lastError();
    EXPECT_EQ(mergedText(), path("merged.S"));
    program();
    EXPECT_NE(loaderOutput().find("Firmwareupdate was successful!"), std::string::npos) << loaderOutput();
    const std::vector<std::string> merged = crlfLines(readBytes(path("merged.S")));
    EXPECT_EQ(readBytes(path("image.S")), joined(merged, "\n"));
    EXPECT_EQ(handOvers(), 1);

    // Tables in use that were never merged are refused the same way: the
    // plain firmware file would go out without them.
    resetUpdatePanel();
    chooseFirmware(fw);
    useTable(UPDATE_CHK_USE_B, tableA);
    program();
    EXPECT_EQ(lastError(), mergeFirst);
    EXPECT_EQ(handOvers(), 1);
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
    EXPECT_EQ(readBytes(path("image.S")).rfind("line 2: checksum error", 0), 0u);
}

// A loader that refuses a line stays in the loader, so the line checks after
// the hand-back go unanswered. The operator powers the controller off and on
// and connects again through the dialog, with real clicks: the new link owes
// nothing to those checks, and the controller's answers count.
TEST_F(Download, AfterAFailedDownloadAPowerCycleAndASerialConnectFindTheController) {
    sim::LoaderSettings s;
    s.checksumError = true;
    loader(s);
    ASSERT_TRUE(connectSerial());
    chooseFirmware(writeLines("fw.S", firmware));
    program();
    ASSERT_NE(loaderOutput().find("Checksum error in line 2!"), std::string::npos) << loaderOutput();
    ASSERT_TRUE(sim.loaderActive()) << "the loader stayed";
    ASSERT_NE(rs232con, 1);

    sim.powerCycle();
    sim.clearRequestLog();
    const auto click = [](int panel, int control) {
        QTest::mouseClick(static_cast<QWidget *>(GetCtrlWidget(panel, control)), Qt::LeftButton);
    };
    click(panelMAIN, MAIN_CONNECT);
    SetCtrlVal(panelInterf, INTERF_PROTOCOL, 0);
    SetCtrlVal(panelInterf, INTERF_COMPORT, 3);
    click(panelInterf, INTERF_TRY);
    std::string message;
    GetCtrlVal(panelInterf, INTERF_MESSAGE, &message);
    EXPECT_EQ(message, "CONNECTING SUCCEEDED") << StatusLine();
    click(panelInterf, INTERF_ACCEPT);
    EXPECT_EQ(rs232con, 1);
    EXPECT_EQ(StatusLine(), szVersion);
    EXPECT_EQ(RepliesOwed(), 0);
    EXPECT_GE(sim.requestLog().size(), 2u) << "line check and version read";
    RemovePopup(panelInterf);
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

// The hand-over frame is the last request before the port changes hands: a
// lost link, a garbled reply or an answer other than 170 ends the download
// there, with nothing sent to a loader and the port still on the normal link.
TEST_F(Download, AHandOverThatFailsSendsNothingToTheLoaderAndSaysWhy) {
    struct Case {
        const char *what;
        sim::Faults faults;
        const char *status;
        bool linkKept;
    };
    sim::Faults garbled, unaccepted, lost;
    garbled.swapSync = true;
    unaccepted.wrongAck = true;
    lost.dropAll = true;
    sim::LoaderSettings s;
    s.silent = true; // a controller that took the frame would start no loader
    loader(s);
    ASSERT_TRUE(connectSerial());
    chooseFirmware(writeLines("fw.S", firmware));
    for (const Case &c : {Case{"garbled", garbled, "Error! Sensor echo incorrect.", false},
                          Case{"not 170", unaccepted, "Error! Sensor echo incorrect.", true},
                          Case{"lost", lost, "Error! Connection lost.", false}}) {
        SCOPED_TRACE(c.what);
        set_main_buttons(1, 1, 1);
        stop_flag = 1;
        SetReadyLed(true);
        sim.setFaults(c.faults);
        sim.clearRequestLog();
        program();
        sim.setFaults({});
        EXPECT_GE(handOvers(), 1);
        for (const auto &r : sim.requestLog()) EXPECT_EQ(r[3], 187) << "nothing but the hand-over";
        EXPECT_EQ(StatusLine(), c.status);
        EXPECT_EQ(loaderOutput(), "");
        EXPECT_EQ(sim.loaderImage().lines.size(), 0u);
        EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_RED);
        EXPECT_EQ(rs232con, 1) << "the port stays open on the normal link";
        EXPECT_EQ(stop_flag, 1);
        int runDimmed = -1, programDimmed = -1;
        GetCtrlAttribute(panelMAIN, MAIN_CMD_RUN, ATTR_DIMMED, &runDimmed);
        GetCtrlAttribute(panelUPDATE, UPDATE_CMD_PROGRAM, ATTR_DIMMED, &programDimmed);
        EXPECT_EQ(runDimmed, c.linkKept ? 0 : 1);
        EXPECT_EQ(programDimmed, 0) << "PROGRAM can be pressed again";
    }
}
