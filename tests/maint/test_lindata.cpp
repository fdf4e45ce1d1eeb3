// Merging linearisation tables into a firmware file from the update panel:
// the window rule, the byte order and checksums of rebuilt records, what is
// copied unchanged, and the merges that are refused before anything is
// written. The download of the result is in test_firmware.cpp.
#include "update_fixture.h"

#include <QProcess>
#include <QStandardPaths>

using namespace maint_test;

namespace {

class LinData : public UpdatePanelTest {
  protected:
    std::vector<std::string> firmware = syntheticFirmware();
    std::vector<int16_t> a = tableValues(-1500, 3);
    std::vector<int16_t> b = tableValues(10000, 1);

    void SetUp() override {
        UpdatePanelTest::SetUp();
        a[0] = 4660;
        chooseFirmware(writeLines("fw.S", firmware));
    }

    // What the merge must make of the firmware: the k-th word inside the
    // window takes words[k] while there are any.
    std::vector<std::string> expected(const std::vector<int16_t> &words, uint32_t first = kFirstInWindow) const {
        std::vector<std::string> out = firmware;
        std::size_t next = 0;
        for (uint32_t addr = first; addr + 8 <= kWindowEnd; addr += 16) {
            std::vector<uint8_t> data = firmwareBytes(addr, 16);
            for (int w = 0; w < 8 && next < words.size(); ++w, ++next) {
                data[2 * w] = static_cast<uint8_t>(words[next] & 0xFF);
                data[2 * w + 1] = static_cast<uint8_t>((static_cast<uint16_t>(words[next]) >> 8) & 0xFF);
            }
            out[(addr - 8) / 16 + 1] = s3(kProgramMemoryBase + addr, data);
        }
        return out;
    }
};

} // namespace

TEST_F(LinData, TableAFillsTheWindowFirstLowByteFirstAndTheRestIsCopiedUnchanged) {
    useTable(UPDATE_CHK_USE_A, writeLines("a.dat", tableLines(a)));
    merge(path("merged.S"));
    EXPECT_TRUE(popups->shown.size() == 3) << lastError(); // three file dialogs, no message
    EXPECT_EQ(onColor(UPDATE_LED_MERGED), VAL_GREEN);
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_YELLOW);
    EXPECT_EQ(std::string(mergedFilePath), path("merged.S"));

    const std::string bytes = readBytes(path("merged.S"));
    EXPECT_EQ(bytes, joined(expected(a), "\r\n"));
    const std::vector<std::string> merged = crlfLines(bytes);
    ASSERT_EQ(merged.size(), firmware.size());
    // 4660 is 0x1234: the first word of the window reads 34 12.
    const std::size_t first = (kFirstInWindow - 8) / 16 + 1;
    EXPECT_EQ(merged[first].substr(12, 4), "3412");
    // A rebuilt record is upper case (the second one in the window was
    // not); S0, the record straddling the window start and the lower-case
    // record outside the window are copied character for character.
    EXPECT_NE(firmware[first + 1], merged[first + 1]);
    EXPECT_EQ(merged[first + 1].find_first_of("abcdef"), std::string::npos);
    EXPECT_EQ(merged.front(), firmware.front());
    EXPECT_EQ(merged[first - 1], firmware[first - 1]);
    EXPECT_EQ(merged[merged.size() - 3], firmware[firmware.size() - 3]);
    EXPECT_NE(merged[merged.size() - 3].find_first_of("abcdef"), std::string::npos);
}

TEST_F(LinData, ARecordStartingExactlyAtTheWindowStartIsInsideAndOneByteLaterIsOutside) {
    useTable(UPDATE_CHK_USE_A, writeLines("a.dat", tableLines(a)));
    merge(path("merged.S"), kFirstInWindow);
    EXPECT_EQ(readBytes(path("merged.S")), joined(expected(a), "\r\n"));
    merge(path("merged.S"), kFirstInWindow + 1);
    EXPECT_EQ(readBytes(path("merged.S")), joined(expected(a, kFirstInWindow + 16), "\r\n"));
}

TEST_F(LinData, InputsWithBareLineFeedsMergeAsThoseWithCrLf) {
    auto spit = [&](const char *name, const std::vector<std::string> &lines) {
        std::ofstream(path(name), std::ios::binary) << joined(lines, "\n");
        return path(name);
    };
    chooseFirmware(spit("fw-lf.S", firmware));
    useTable(UPDATE_CHK_USE_A, spit("a-lf.dat", tableLines(a)));
    merge(path("merged.S"));
    EXPECT_EQ(readBytes(path("merged.S")), joined(expected(a), "\r\n"));
}

TEST_F(LinData, BothTablesFillTheWindowAThenBAndTheMergedFileIsPreferredForTheDownload) {
    useTable(UPDATE_CHK_USE_A, writeLines("a.dat", tableLines(a)));
    useTable(UPDATE_CHK_USE_B, writeLines("b.dat", tableLines(b)));
    EXPECT_EQ(lit(UPDATE_LED_A), 1);
    EXPECT_EQ(lit(UPDATE_LED_MERGED), 1);
    merge(path("merged.S"));
    std::vector<int16_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_EQ(readBytes(path("merged.S")), joined(expected(both), "\r\n"));
    EXPECT_TRUE(MergedFileReady());

    // A new firmware choice makes the merged file out of date.
    chooseFirmware(path("fw.S"));
    EXPECT_FALSE(MergedFileReady());
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_YELLOW);
}

TEST_F(LinData, UseBoxesSwitchTheirCommandsLedsAndTheMergeCommand) {
    auto dimmed = [](int id) {
        int d = 0;
        GetCtrlAttribute(panelUPDATE, id, ATTR_DIMMED, &d);
        return d;
    };
    EXPECT_EQ(dimmed(UPDATE_CMD_LOAD_A), 1);
    EXPECT_EQ(dimmed(UPDATE_CMD_MERGE), 1);
    OperateCtrl(panelUPDATE, UPDATE_CHK_USE_B, 1);
    EXPECT_EQ(dimmed(UPDATE_CMD_LOAD_B), 0);
    EXPECT_EQ(dimmed(UPDATE_CMD_LOAD_A), 1);
    EXPECT_EQ(lit(UPDATE_LED_B), 1);
    EXPECT_EQ(lit(UPDATE_LED_A), 0);
    EXPECT_EQ(dimmed(UPDATE_CMD_MERGE), 0);
    EXPECT_EQ(lit(UPDATE_LED_MERGED), 1);

    // Merging without table B's file chosen is refused.
    merge(path("merged.S"));
    EXPECT_EQ(lastError(), "Please select all necessary files first!");
    EXPECT_EQ(onColor(UPDATE_LED_MERGED), VAL_RED);
    EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_RED);
    EXPECT_EQ(dimmed(UPDATE_CMD_MERGE), 0);

    OperateCtrl(panelUPDATE, UPDATE_CHK_USE_B, 0);
    EXPECT_EQ(dimmed(UPDATE_CMD_LOAD_B), 1);
    EXPECT_EQ(lit(UPDATE_LED_MERGED), 0);
    EXPECT_EQ(dimmed(UPDATE_CMD_MERGE), 1);
}

TEST_F(LinData, UnsoundInputsAreRefusedNamingTheFileAndLineAndNothingIsWritten) {
    std::vector<std::string> shortTable = tableLines(a);
    shortTable.resize(2000);
    std::vector<std::string> badValue = tableLines(a);
    badValue[41] = "40000";
    std::vector<std::string> odd = firmware;
    const std::size_t inWindow = (kFirstInWindow + 16 * 3 - 8) / 16 + 1;
    odd[inWindow] = s3(kProgramMemoryBase + kFirstInWindow + 48, firmwareBytes(0, 15));
    std::vector<std::string> damaged = firmware;
    damaged[5][20] = damaged[5][20] == '0' ? '1' : '0';

    struct Case {
        const char *name;
        std::vector<std::string> firmware, table;
        uint32_t windowEnd;
        std::string says;
    };
    const Case cases[] = {
        {"short table", firmware, shortTable, kWindowEnd, "a.dat\r\nline 2000: the table ends after 2000 lines"},
        {"value out of range", firmware, badValue, kWindowEnd, "a.dat\r\nline 42: '40000' is not a whole number"},
        {"odd record in the window", odd, tableLines(a), kWindowEnd,
         "fw.S\r\nline " + std::to_string(inWindow + 1) + ": the record lies inside the table window but holds an odd"},
        {"damaged firmware", damaged, tableLines(a), kWindowEnd, "fw.S\r\nline 6: checksum error"},
        {"window too small", firmware, tableLines(a), kWindowStart + 0x400,
         "the table window holds 512 words of S3 records; the tables need 1024"},
    };
    for (const Case &c : cases) {
        resetUpdatePanel();
        chooseFirmware(writeLines("fw.S", c.firmware));
        useTable(UPDATE_CHK_USE_A, writeLines("a.dat", c.table));
        const std::size_t dialogs = popups->shown.size();
        merge(path("merged.S"), kWindowStart, c.windowEnd);
        EXPECT_NE(lastError().find(c.says), std::string::npos) << c.name << ": " << lastError();
        // Refused before the destination was asked for.
        EXPECT_EQ(popups->shown.size(), dialogs + 1) << c.name;
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("merged.S")))) << c.name;
        EXPECT_EQ(onColor(UPDATE_LED_MERGED), VAL_RED) << c.name;
        EXPECT_EQ(onColor(UPDATE_LED_READY), VAL_RED) << c.name;
    }

    // The destination must not be one of the inputs; a cancelled dialog
    // writes nothing either.
    resetUpdatePanel();
    chooseFirmware(writeLines("fw.S", firmware));
    useTable(UPDATE_CHK_USE_A, writeLines("a.dat", tableLines(a)));
    merge(path("fw.S"));
    EXPECT_NE(lastError().find("must not replace the firmware file"), std::string::npos) << lastError();
    EXPECT_EQ(readBytes(path("fw.S")), joined(firmware, "\r\n"));
    merge("");
    EXPECT_EQ(lastError(), "Invalid file or no file selected. Please select correct file!");
    EXPECT_EQ(onColor(UPDATE_LED_MERGED), VAL_RED);
}

// srecord's own tools read the merged file: no checksum error, and the
// window reads back as A's 1024 values, then B's.
TEST_F(LinData, SrecordToolsReadTheMergedWindowAsTableAThenTableB) {
    const QString srecCat = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
    const QString srecInfo = QStandardPaths::findExecutable(QStringLiteral("srec_info"));
    if (srecCat.isEmpty() || srecInfo.isEmpty()) GTEST_SKIP() << "srec_cat/srec_info (Debian package srecord) not installed";
    useTable(UPDATE_CHK_USE_A, writeLines("a.dat", tableLines(a)));
    useTable(UPDATE_CHK_USE_B, writeLines("b.dat", tableLines(b)));
    merge(path("merged.S"));
    const QString merged = QString::fromStdString(path("merged.S"));

    QProcess info;
    info.start(srecInfo, {merged});
    ASSERT_TRUE(info.waitForFinished(10000));
    const QString infoText = info.readAllStandardOutput() + info.readAllStandardError();
    EXPECT_EQ(info.exitCode(), 0) << infoText.toStdString();
    EXPECT_FALSE(infoText.contains(QStringLiteral("checksum"), Qt::CaseInsensitive)) << infoText.toStdString();

    const uint32_t from = kProgramMemoryBase + kFirstInWindow;
    const uint32_t to = from + 2 * 2 * kLinTableValues;
    QProcess cat;
    cat.start(srecCat, {merged, QStringLiteral("-crop"), QString::number(from), QString::number(to),
                        QStringLiteral("-offset"), QStringLiteral("-%1").arg(from), QStringLiteral("-o"),
                        QStringLiteral("-"), QStringLiteral("-binary")});
    ASSERT_TRUE(cat.waitForFinished(10000));
    const QByteArray window = cat.readAllStandardOutput();
    ASSERT_EQ(window.size(), 4 * kLinTableValues) << cat.readAllStandardError().toStdString();
    std::vector<int16_t> words;
    for (int i = 0; i < window.size(); i += 2)
        words.push_back(static_cast<int16_t>(uint8_t(window[i]) | (uint8_t(window[i + 1]) << 8)));
    std::vector<int16_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_EQ(words, both);
}
