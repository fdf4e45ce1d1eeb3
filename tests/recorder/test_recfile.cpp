// The record file byte for byte, the file choice and the recording type,
// manual rows, and writes the file system refuses. The automatic run and
// the graph capture have suites of their own.
#include "tests/recorder/recorder_fixture.h"

#include "recorder/recdata.h"

#include <csignal>
#include <optional>
#include <sys/resource.h>

namespace {

// Lets this process's files grow only to `bytes` while it lives, as a full
// disk would; a write past it fails instead of killing the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = old_;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

void setWord32(int word, uint32_t v) {
    rawdata[word] = static_cast<unsigned short>(v & 0xFFFF);
    rawdata[word + 1] = static_cast<unsigned short>(v >> 16);
}

// Live values with every sign and fixed-point case the row format knows.
void setKnownRawdata() {
    std::fill(std::begin(rawdata), std::end(rawdata), 0);
    rawdata[18] = 1234;   // RESULT A
    rawdata[1] = 0x8000;  // NORM A: top bit set
    rawdata[5] = 0xFFFF;  // RAW A
    rawdata[9] = 32767;   // MAX{ RAW A }
    rawdata[19] = 0;      // RESULT B
    rawdata[2] = 0xFF9C;  // NORM B
    rawdata[6] = 7;       // RAW B
    rawdata[10] = 40000;  // MAX{ RAW B }
    setWord32(22, 0x00018000); // EVAL 1: 1.5 x 65536
    setWord32(24, 0xFFFF0000); // EVAL 2: -65536
}
constexpr char kKnownRowValues[] = "1234,-32768,-1,32767,0,-100,7,-25536,1.500,-1.000,";

using RecordFileTest = RecorderTest;

TEST_F(RecordFileTest, ACaptureAfterKeepingAnExistingFileReplacesItWithHeaderAndRowZero) {
    const std::string file = path("kept.csv");
    WriteWholeFile(file, "old content\r\nthat must go\r\n");
    chooseFile(file);
    ASSERT_EQ(popups->shown.size(), 3u);
    EXPECT_EQ(popups->shown[1].kind, "confirm");
    EXPECT_EQ(popups->shown[1].text, "File already exist! \nDo you want to select existing file?");
    EXPECT_EQ(popups->shown[2].text,
              "Make sure, that the file is not opened by any other program.\nOtherwise it can not be saved.");
    EXPECT_EQ(text(panelRECORDER, RECORDER_FILE_NAME), file);
    EXPECT_EQ(ReadWholeFile(file), "old content\r\nthat must go\r\n") << "nothing happens before the first row";

    setKnownRawdata();
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    EXPECT_EQ(shown(panelRECORDER, RECORDER_RECORDED), 1);

    const std::string written = ReadWholeFile(file);
    const RecordText t(written);
    ASSERT_EQ(t.lines.size(), 13u);
    const std::string date = t.lines[1].substr(6), time = t.lines[2].substr(6), rowTime = t.lines[12].substr(2, 8);
    EXPECT_EQ(date.size(), 10u);
    EXPECT_TRUE(IsTime(time) && IsTime(rowTime)) << time << " " << rowTime;
    const std::string expected = "Logfile for recorded data.\r\n"
                                 "Date:," + date + "\r\n"
                                 "Time:," + time + "\r\n"
                                 "Type of sensor:," + std::string(szVersion) + "\r\n"
                                 "Type of software:,Q-VEX-MOD7-ARC Scope \r\n"
                                 "Software version:,v1.0x (Build 01/2010)\r\n"
                                 "Type of connection:,TCP/IP\r\n"
                                 "Connection details:,IP 127.0.0.1\r\n"
                                 "Connection details:,PORT " + std::to_string(sim.tcpPort()) + "\r\n"
                                 "Recording type:,Manual\r\n"
                                 "\r\n" +
                                 kColumnLine + "\r\n0," + rowTime + "," + kKnownRowValues;
    EXPECT_EQ(written, expected);

    // The next capture appends row 1 and nothing else.
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    EXPECT_EQ(ReadWholeFile(file).substr(0, written.size()), written);
    EXPECT_EQ(RecordText(ReadWholeFile(file)).lines.back().substr(0, 2), "1,");
    EXPECT_EQ(shown(panelRECORDER, RECORDER_RECORDED), 2);
}

TEST_F(RecordFileTest, ASerialLinkAndAControllerVersionWithControlCharactersGiveCleanHeaderLines) {
    char savedVersion[sizeof szVersion];
    std::memcpy(savedVersion, szVersion, sizeof szVersion);
    const int savedTcp = tcpcon, savedPort = comport;
    const short savedBaud = baud;
    std::snprintf(szVersion, sizeof szVersion, "QVEX\x1b 7.1\r\nbeta\a");
    tcpcon = 0;
    rs232con = 1;
    comport = 3;
    baud = 4;
    SetCtrlVal(panelRECORDER, RECORDER_TYPE, REC_TYPE_AUTOMATIC);
    anzwerte = 250;
    zeitint = 2.5;
    std::snprintf(file_name, sizeof file_name, "%s", path("serial.csv").c_str());
    const int rc = WriteHeaderToFile();
    std::memcpy(szVersion, savedVersion, sizeof szVersion);
    tcpcon = savedTcp;
    rs232con = 0;
    comport = savedPort;
    baud = savedBaud;
    ASSERT_EQ(rc, 0);
    const RecordText t(ReadWholeFile(file_name));
    EXPECT_FALSE(t.bareLineEnd);
    const std::vector<std::string> tail(t.lines.begin() + 3, t.lines.end());
    const std::vector<std::string> expected = {"Type of sensor:,QVEX 7.1beta",
                                               "Type of software:,Q-VEX-MOD7-ARC Scope ",
                                               "Software version:,v1.0x (Build 01/2010)",
                                               "Type of connection:,RS232",
                                               "Connection details:,COM 3",
                                               "Connection details:,BAUDRATE 115200 bps",
                                               "Recording type:,Automatic",
                                               "Number of data sets:,250",
                                               "Recording interval in sec:,2.500000",
                                               "",
                                               kColumnLine};
    EXPECT_EQ(tail, expected);
}

// The file's records and fields as an RFC 4180 reader finds them: fields in
// quotes may hold commas, doubled quotes and line breaks.
std::vector<std::vector<std::string>> CsvRecords(const std::string &text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool inQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string &field = records.back().back();
        if (inQuotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
            else if (c == '"') inQuotes = false;
            else field += c;
        } else if (c == '"' && field.empty()) {
            inQuotes = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.emplace_back(1);
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

TEST_F(RecordFileTest, AnyControllerVersionTextReadsBackAsOneHeaderField) {
    auto header = [this](const std::string &version, const char *name) {
        sim.setVersionText(version);
        EXPECT_TRUE(openTcpLink(sim.tcpPort())) << StatusLine();
        std::snprintf(file_name, sizeof file_name, "%s", path(name).c_str());
        EXPECT_EQ(WriteHeaderToFile(), 0);
        return CsvRecords(ReadWholeFile(file_name));
    };
    const std::string saved = szVersion;
    const auto plain = header("Q-VEX 7 2 ch", "plain.csv");
    const auto odd = header("Q-VEX \"7\"\t\xB5, 2 ch", "odd.csv");
    sim.setVersionText(saved);
    EXPECT_TRUE(openTcpLink(sim.tcpPort()));
    ASSERT_EQ(odd.size(), plain.size());
    for (std::size_t r = 0; r < plain.size(); ++r) {
        if (r == 3) continue; // the sensor line
        EXPECT_EQ(odd[r], plain[r]) << "record " << r;
    }
    EXPECT_EQ(plain[3], (std::vector<std::string>{"Type of sensor:", "Q-VEX 7 2 ch"}));
    // Control characters leave the text as before; the rest is the field.
    EXPECT_EQ(odd[3], (std::vector<std::string>{"Type of sensor:", "Q-VEX \"7\"\xB5, 2 ch"}));
    EXPECT_NE(ReadWholeFile(file_name).find("\r\nType of sensor:,\"Q-VEX \"\"7\"\"\xB5, 2 ch\"\r\n"), std::string::npos)
        << ReadWholeFile(file_name);
    // The program's own reader finds the text whole as well.
    RecordData data;
    std::string error;
    ASSERT_TRUE(ReadRecordFile(file_name, &data, &error)) << error;
    EXPECT_EQ(data.fact("Type of sensor"), "Q-VEX \"7\"\xB5, 2 ch");
}

TEST_F(RecordFileTest, ACancelledOrDeclinedChoiceLeavesNoFileAndCaptureRefuses) {
    const std::string file = path("declined.csv");
    WriteWholeFile(file, "keep me");
    popups->confirmAnswers = {0};
    chooseFile(file);
    EXPECT_EQ(recorder_status, 0);
    EXPECT_STREQ(file_name, "") << "a declined file is never written to";
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    EXPECT_EQ(popups->lastMessage(), "Cannot record data. Please check file settings.");
    EXPECT_EQ(popups->shown.back().title, "ATTENTION!");
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE_GRAPH);
    EXPECT_EQ(popups->lastMessage(), "Cannot record data. Please check file settings.");
    EXPECT_EQ(ReadWholeFile(file), "keep me");
    EXPECT_TRUE(frames().empty());

    chooseFile(""); // cancelled
    EXPECT_EQ(popups->lastMessage("ATTENTION!"), "No file was choosen! \nRecording cannot be started! ");
    EXPECT_EQ(recorder_status, 0);
    EXPECT_EQ(text(panelRECORDER, RECORDER_FILE_NAME), "");
}

TEST_F(RecordFileTest, ChangingTheTypeAfterRowsStartsTheFileAgainWithANewHeader) {
    const std::string file = path("typechange.csv");
    chooseFile(file);
    EXPECT_EQ(popups->shown.size(), 1u) << "a new file asks nothing";
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    ASSERT_EQ(RecordText(ReadWholeFile(file)).lines.back().substr(0, 2), "1,");

    setType(REC_TYPE_AUTOMATIC);
    setType(REC_TYPE_MANUAL);
    setKnownRawdata();
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    const RecordText t(ReadWholeFile(file));
    EXPECT_EQ(t.lines.front(), "Logfile for recorded data.");
    EXPECT_EQ(t.find("Logfile for recorded data.", 1), -1) << "one header, at the top";
    ASSERT_EQ(t.lines[t.lines.size() - 2], kColumnLine);
    EXPECT_EQ(t.lines.back().substr(0, 2), "0,");
    EXPECT_EQ(t.lines.back().substr(11), kKnownRowValues);
}

TEST_F(RecordFileTest, FileAndTypeChoicesSetTheRecorderGroups) {
    auto state = [&](int id) { return Attr(panelRECORDER, id, ATTR_VISIBLE) * 10 + !Attr(panelRECORDER, id, ATTR_DIMMED); };
    setType(REC_TYPE_AUTOMATIC);
    EXPECT_EQ(state(RECORDER_START), 10) << "no file yet: start shown dimmed";
    EXPECT_EQ(state(RECORDER_NUM_SETS), 10);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_CAPTURE, ATTR_VISIBLE), 0);
    chooseFile(path("groups.csv"));
    EXPECT_EQ(state(RECORDER_START), 11);
    EXPECT_EQ(state(RECORDER_STOP), 11);
    EXPECT_EQ(state(RECORDER_INTERVAL), 11);
    EXPECT_EQ(state(RECORDER_TYPE), 11);
    setType(REC_TYPE_MANUAL);
    EXPECT_EQ(state(RECORDER_CAPTURE), 11);
    EXPECT_EQ(state(RECORDER_CAPTURE_GRAPH), 11);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_START, ATTR_VISIBLE), 0);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_PROGRESS, ATTR_VISIBLE), 0);

    tcpcon = 0; // the link as the panels see it once it is closed
    setType(REC_TYPE_AUTOMATIC);
    EXPECT_EQ(state(RECORDER_TYPE), 10);
    EXPECT_EQ(state(RECORDER_CAPTURE), 10);
    EXPECT_EQ(Attr(panelRECORDER, RECORDER_START, ATTR_VISIBLE), 0);
    tcpcon = 1;
}

TEST_F(RecordFileTest, ARowTheDiskRefusesIsReportedNotCountedAndLeavesNoHalfLine) {
    const std::string file = path("full.csv");
    chooseFile(file);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    const std::string before = ReadWholeFile(file);
    {
        FileSizeLimit limit(before.size() + 20); // room for a third of a row
        OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    }
    EXPECT_EQ(ReadWholeFile(file), before);
    EXPECT_EQ(StatusLine(), "Error! Record file not written: Dsik is full!");
    EXPECT_EQ(shown(panelRECORDER, RECORDER_RECORDED), 1);
    // With room again, the next row carries the next index.
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    EXPECT_EQ(RecordText(ReadWholeFile(file)).lines.back().substr(0, 2), "1,");
}

TEST_F(RecordFileTest, AFileThatCannotBeOpenedIsReportedByItsErrorText) {
    const std::string file = path("no/such/folder/x.csv");
    chooseFile(file);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    std::vector<std::string> texts;
    for (const auto &s : popups->shown) texts.push_back(s.title + "|" + s.text);
    const std::vector<std::string> expected = {"Select Record File Name|", "ERROR!|Specified file could not be found!",
                                               "ATTENTION!|No file selected!\nRecording can not be started."};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(file_handle, -1);
    EXPECT_EQ(shown(panelRECORDER, RECORDER_RECORDED), 0);
}

} // namespace
