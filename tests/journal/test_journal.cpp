// The parameter journal in the program: what the panels' SEND and GET, SEND
// FILTER and a firmware download leave on record, against the simulator.
// The frame sequences themselves are checked in tests/params and tests/maint;
// qvex-ctl's journal commands in tests/ctl/test_ctl_journal.cpp.
#include "tests/maint/update_fixture.h"

#include "tests/fixtures/filter_image.h"

#include "app/settings.h"
#include "journal/history.h"
#include "journal/journal.h"
#include "journal/store.h"
#include "maint/filter.h"
#include "params/binding.h"
#include "params/compare.h"
#include "params/record.h"
#include "params/transfer.h"
#include "sim/runner.h"
#include "ui/panels/filter_ids.h"
#include "ui/panels/history_ids.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/power_ids.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

using namespace maint_test;

namespace {

std::vector<unsigned short> Words(const sim::ParamRecord &r) { return {r.begin(), r.end()}; }

// A journal of the test's own, open while the test runs.
class JournalOnRecord {
  public:
    explicit JournalOnRecord(bool required = false, std::string url = {}) {
        JournalSettings settings;
        settings.url = url.empty() ? file() : url;
        settings.required = required;
        OpenJournal(settings, &problem);
    }
    ~JournalOnRecord() { CloseJournal(); }
    std::string file() const { return dir_.filePath("journal.sqlite").toStdString(); }
    // Every entry written so far, oldest first, records included.
    std::vector<JournalEntry> entries() const {
        EXPECT_TRUE(FlushJournal());
        JournalStore store;
        std::string error;
        EXPECT_TRUE(store.open(file(), "", &error)) << error;
        JournalFilter all;
        all.withRecords = true;
        return store.list(all, &error);
    }
    std::string problem;

  private:
    QTemporaryDir dir_;
};

class JournalTest : public UpdatePanelTest {
  protected:
    sim::SimThread sim;
    JournalOnRecord journal;

    void SetUp() override {
        UpdatePanelTest::SetUp();
        ASSERT_TRUE(journal.problem.empty()) << journal.problem;
        ASSERT_TRUE(sim.start(true, false));
        ASSERT_TRUE(openTcpLink(sim.tcpPort()));
    }
    Outcome click(int memory, int button) {
        OperateCtrl(panelMAIN, memory);
        return button == MAIN_BTN_SEND ? SendPanels() : GetPanels();
    }
};

} // namespace

TEST_F(JournalTest, SendToRamAndEepromAreOnRecordWithWhatTheControllerHoldsAndTheFieldsThatChanged) {
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_GET).done());
    const std::vector<unsigned short> got = Words(sim.ramRecord());
    int power = 0;
    GetCtrlVal(panelPOWER, POWER_POWER, &power);
    SetCtrlVal(panelPOWER, POWER_POWER, power + 7);
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_SEND).done());
    SetCtrlVal(panelPOWER, POWER_POWER, power + 9);
    ASSERT_TRUE(click(MAIN_RADIO_EEPROM, MAIN_BTN_SEND).done());

    const std::vector<JournalEntry> e = journal.entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].kind + " " + e[0].memory + " " + e[0].outcome, "seen ram done");
    EXPECT_EQ(e[0].record, got);
    EXPECT_FALSE(e[0].beforeKnown);

    EXPECT_EQ(e[1].kind + " " + e[1].memory + " " + e[1].outcome, "write ram done");
    ASSERT_TRUE(e[1].beforeKnown);
    EXPECT_EQ(e[1].before, got);
    const std::vector<FieldDifference> changed = CompareRecords(e[1].before.data(), e[1].record.data());
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].right, std::to_string(power + 7));

    EXPECT_EQ(e[2].kind + " " + e[2].memory + " " + e[2].outcome, "write eeprom done");
    EXPECT_EQ(e[2].record, Words(sim.eepromRecord()));
    EXPECT_EQ(e[2].record, Words(sim.ramRecord()));
    EXPECT_FALSE(e[2].beforeKnown); // the EEPROM was never read

    for (const JournalEntry &x : e) {
        EXPECT_EQ(x.link, "127.0.0.1:" + std::to_string(sim.tcpPort()));
        EXPECT_EQ(x.version, szVersion);
        EXPECT_FALSE(x.user.empty());
        EXPECT_EQ(x.time.back(), 'Z');
    }
    EXPECT_EQ(e[1].prevHash, e[0].hash);
    EXPECT_EQ(e[2].prevHash, e[1].hash);
}

TEST_F(JournalTest, ASendTheControllerDidNotTakeIsOnRecordAsFailedWithItsReason) {
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_GET).done());
    sim::Faults f;
    f.badActivation = true;
    sim.setFaults(f);
    const Outcome sent = click(MAIN_RADIO_RAM, MAIN_BTN_SEND);
    ASSERT_EQ(sent.kind, OutcomeKind::Failed);
    sim.setFaults({});
    f.disconnectAfter = 4;
    sim.setFaults(f);
    set_main_buttons(1, 1, 1);
    const Outcome lost = click(MAIN_RADIO_EEPROM, MAIN_BTN_SEND);
    ASSERT_EQ(lost.kind, OutcomeKind::Failed);

    const std::vector<JournalEntry> e = journal.entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[1].outcome, "failed");
    EXPECT_EQ(e[1].reason, sent.reason);
    EXPECT_EQ(e[2].outcome, "failed");
    EXPECT_EQ(e[2].reason, lost.reason);
    // A failed write says nothing about what the memory holds: a later
    // write still compares with the record read.
    sim.setFaults({});
    ASSERT_TRUE(openTcpLink(sim.tcpPort()));
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_SEND).done());
    const std::vector<JournalEntry> after = journal.entries();
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[3].before, e[0].record);
}

TEST_F(JournalTest, AFilterWriteIsOnRecordWithTheImageWritten) {
    OperateCtrl(panelFILTER, FILTER_CMD_SEND);
    const std::vector<JournalEntry> e = journal.entries();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].kind + " " + e[0].memory + " " + e[0].outcome, "write filter done");
    const sim::FilterImage image = sim.filterImage();
    EXPECT_EQ(e[0].record, std::vector<unsigned short>(image.begin(), image.end()));
    EXPECT_EQ(sim.filterImage(), PassThroughImage());
}

TEST_F(JournalTest, AFirmwareDownloadIsOnRecordWithTheFileAndItsSha256) {
    sim::SimThread serial;
    ASSERT_TRUE(serial.start(false, true));
    sim::LoaderSettings s;
    s.imageFile = QString::fromStdString(path("image.S"));
    serial.setLoaderSettings(s);
    useSerial(serial.ptyPath());
    rs232con = InitRS232(1);
    ASSERT_EQ(rs232con, 1);
    std::vector<std::string> firmware = {record('0', 2, 0, {'f', 'w'})};
    for (uint32_t a = 0; a < 0x200; a += 16) firmware.push_back(s3(kProgramMemoryBase + a, firmwareBytes(a, 16)));
    firmware.push_back(record('7', 4, kProgramMemoryBase, {}));
    const std::string file = writeLines("fw.S", firmware);
    chooseFirmware(file);
    OperateCtrl(panelUPDATE, UPDATE_CMD_PROGRAM);

    const std::vector<JournalEntry> e = journal.entries();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].kind + " " + e[0].memory + " " + e[0].outcome, "write firmware done");
    EXPECT_EQ(e[0].file, file);
    QFile f(QString::fromStdString(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(e[0].fileSha256, QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex().toStdString());
    EXPECT_EQ(e[0].link, serial.ptyPath().toStdString());
    EXPECT_TRUE(e[0].record.empty());
}

// A site that must have every change on record: while the journal cannot
// record, a write is refused before a frame goes out; reads go on.
TEST_F(JournalTest, ARequiredJournalThatCannotRecordRefusesWritesAndSendsNothing) {
    CloseJournal();
    QTemporaryDir dir;
    const std::string blocked = dir.filePath("a-file").toStdString();
    QFile(QString::fromStdString(blocked)).open(QIODevice::WriteOnly);
    JournalSettings settings;
    settings.url = blocked + "/journal.sqlite"; // a folder that cannot be made
    settings.required = true;
    EXPECT_FALSE(OpenJournal(settings));
    sim.clearRequestLog();
    const Outcome sent = click(MAIN_RADIO_RAM, MAIN_BTN_SEND);
    EXPECT_EQ(sent.kind, OutcomeKind::Refused);
    EXPECT_NE(sent.reason.find("journal"), std::string::npos) << sent.reason;
    EXPECT_TRUE(sim.requestLog().empty());
    OperateCtrl(panelFILTER, FILTER_CMD_SEND);
    EXPECT_TRUE(sim.requestLog().empty());
    EXPECT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_GET).done());
    CloseJournal(0);
}

namespace {
std::string Cell(int panel, int control, int row, int column) {
    std::string text;
    GetTableCellVal(panel, control, row, column, &text);
    return text;
}
int Rows(int panel, int control) {
    int rows = 0;
    GetNumTableRows(panel, control, &rows);
    return rows;
}
} // namespace

// An undo: an earlier write chosen in HISTORY, LOAD TO PANELS, then SEND puts
// that very record back into the controller, and the undo is on record too.
TEST_F(JournalTest, AnEntryLoadedToThePanelsAndSentGivesTheControllerItsRecordBackWordForWord) {
    SetCtrlVal(panelPOWER, POWER_POWER, 111);
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_SEND).done());
    const sim::ParamRecord first = sim.ramRecord();
    SetCtrlVal(panelPOWER, POWER_POWER, 222);
    SetCtrlVal(panelPOWER_B, POWER_POWER, 333);
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_SEND).done());
    ASSERT_NE(sim.ramRecord(), first);
    ASSERT_TRUE(FlushJournal());

    OperateCtrl(panelMAIN, MAIN_TOG_HISTORY);
    ASSERT_EQ(Rows(panelHISTORY, HISTORY_TABLE), 2);
    EXPECT_EQ(Cell(panelHISTORY, HISTORY_TABLE, 1, HISTORY_COL_ID), "2"); // newest first
    EXPECT_EQ(Cell(panelHISTORY, HISTORY_TABLE, 1, HISTORY_COL_WHAT), "write ram");
    SetActiveTableCell(panelHISTORY, HISTORY_TABLE, 1, 1);
    OperateCtrl(panelHISTORY, HISTORY_CHANGES);
    ASSERT_EQ(Rows(panelHISTORY, HISTORY_FIELDS), 2);
    EXPECT_EQ(Cell(panelHISTORY, HISTORY_FIELDS, 1, 3), "111");
    EXPECT_EQ(Cell(panelHISTORY, HISTORY_FIELDS, 1, 4), "222");

    SetActiveTableCell(panelHISTORY, HISTORY_TABLE, 2, 1);
    OperateCtrl(panelHISTORY, HISTORY_LOAD);
    OperateCtrl(panelHISTORY, HISTORY_COMPARE_PANELS);
    EXPECT_EQ(Rows(panelHISTORY, HISTORY_FIELDS), 0); // the panels show entry 1 exactly
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_SEND).done());
    EXPECT_EQ(sim.ramRecord(), first);

    const std::vector<JournalEntry> e = journal.entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[2].kind + " " + e[2].memory + " " + e[2].outcome, "write ram done");
    EXPECT_EQ(e[2].record, Words(first));
    EXPECT_EQ(e[2].before, e[1].record);
}

TEST_F(JournalTest, TheHistoryListFiltersByControllerAndDay) {
    ASSERT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_GET).done());
    sim::SimThread other;
    ASSERT_TRUE(other.start(true, false));
    ASSERT_TRUE(openTcpLink(other.tcpPort()));
    ASSERT_TRUE(click(MAIN_RADIO_EEPROM, MAIN_BTN_GET).done());
    ASSERT_TRUE(FlushJournal());
    OperateCtrl(panelMAIN, MAIN_TOG_HISTORY);
    EXPECT_EQ(Rows(panelHISTORY, HISTORY_TABLE), 2);

    SetCtrlVal(panelHISTORY, HISTORY_CONTROLLER, ":" + std::to_string(other.tcpPort()));
    EXPECT_EQ(ListHistory().count, 1);
    EXPECT_EQ(Cell(panelHISTORY, HISTORY_TABLE, 1, HISTORY_COL_WHAT), "seen eeprom");
    SetCtrlVal(panelHISTORY, HISTORY_CONTROLLER, "");
    SetCtrlVal(panelHISTORY, HISTORY_SINCE, QDate::currentDate().addDays(1).toString(Qt::ISODate).toStdString());
    EXPECT_EQ(ListHistory().count, 0);
    SetCtrlVal(panelHISTORY, HISTORY_SINCE, QDate::currentDate().toString(Qt::ISODate).toStdString());
    EXPECT_EQ(ListHistory().count, 2);
    SetCtrlVal(panelHISTORY, HISTORY_SINCE, "last week");
    EXPECT_EQ(ListHistory().kind, OutcomeKind::Rejected);
    // Nothing chosen: nothing goes onto the panels.
    SetCtrlVal(panelHISTORY, HISTORY_SINCE, "");
    ListHistory();
    EXPECT_EQ(LoadHistoryEntryToPanels().kind, OutcomeKind::Refused);
}

namespace {
std::vector<std::string> g_shown;
void keepShown(const char *text) { g_shown.emplace_back(text); }
} // namespace

// Without `required` a journal that cannot record never holds the work up:
// the writes go out and the status line says it once.
TEST_F(JournalTest, AJournalThatCannotRecordIsSaidOnceAndTheWritesGoOut) {
    CloseJournal();
    QTemporaryDir dir;
    const std::string blocked = dir.filePath("a-file").toStdString();
    QFile(QString::fromStdString(blocked)).open(QIODevice::WriteOnly);
    JournalSettings settings;
    settings.url = blocked + "/journal.sqlite";
    g_shown.clear();
    SetStatusObserver(keepShown);
    EXPECT_FALSE(OpenJournal(settings));
    for (int i = 0; i < 3; ++i) {
        set_main_buttons(1, 1, 1);
        EXPECT_TRUE(click(MAIN_RADIO_RAM, MAIN_BTN_SEND).done());
        ProcessSystemEvents();
    }
    EXPECT_TRUE(WaitUntil([] {
        return std::count_if(g_shown.begin(), g_shown.end(),
                             [](const std::string &t) { return t.rfind("Journal: cannot record", 0) == 0; }) == 1;
    }));
    SetStatusObserver(nullptr);
    EXPECT_EQ(std::count_if(g_shown.begin(), g_shown.end(),
                            [](const std::string &t) { return t.rfind("Journal: cannot record", 0) == 0; }),
              1);
    CloseJournal(0);
}

// The settings file chooses the journal; saving the settings keeps the choice.
TEST_F(JournalTest, TheSettingsFileChoosesTheJournalAndSavingTheSettingsKeepsTheChoice) {
    QTemporaryDir dir;
    const std::string settings = dir.filePath("settings.ini").toStdString();
    {
        QFile f(QString::fromStdString(settings));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[JOURNAL]\nurl = \"postgresql://plant@127.0.0.1:5999/journal\"\npassword file = \"" +
                dir.filePath("pw").toUtf8() + "\"\nrequired = True\n");
        QFile pw(dir.filePath("pw"));
        ASSERT_TRUE(pw.open(QIODevice::WriteOnly));
        pw.write("s3cret\n");
    }
    qunsetenv("QVEX_JOURNAL");
    const JournalSettings chosen = JournalSettingsFrom(settings);
    EXPECT_EQ(chosen.url, "postgresql://plant@127.0.0.1:5999/journal");
    EXPECT_EQ(chosen.password, "s3cret");
    EXPECT_TRUE(chosen.required);

    const std::string saved = dir.filePath("saved.ini").toStdString();
    ASSERT_GE(writeApplicationVarsToIni(saved.c_str()), 0);
    const JournalSettings again = JournalSettingsFrom(saved);
    EXPECT_EQ(again.url, chosen.url);
    EXPECT_EQ(again.password, "s3cret");
    EXPECT_TRUE(again.required);
    JournalSettingsFrom(""); // forget the section for the tests after this one
}

// An entry taken out breaks the link of the one after it.
TEST(JournalChain, AnEntryTakenOutIsFoundAtTheEntryAfterIt) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("j.sqlite").toStdString();
    JournalStore store;
    std::string error;
    ASSERT_TRUE(store.open(file, "", &error)) << error;
    for (int i = 0; i < 3; ++i) {
        JournalEntry e;
        e.time = "2026-12-08T10:00:0" + std::to_string(i) + ".000Z";
        e.kind = "write";
        e.memory = "ram";
        e.outcome = "done";
        e.record.assign(PARAM_WORDS, static_cast<unsigned short>(i));
        ASSERT_TRUE(store.append(&e, &error)) << error;
    }
    EXPECT_TRUE(store.verify(&error).sound);
    QProcess sqlite;
    sqlite.start("sqlite3", {QString::fromStdString(file),
                             "DROP TRIGGER journal_no_delete; DELETE FROM journal_entries WHERE id = 2"});
    ASSERT_TRUE(sqlite.waitForFinished(10000));
    ASSERT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();
    const JournalCheck check = store.verify(&error);
    EXPECT_FALSE(check.sound);
    EXPECT_EQ(check.firstBad, 3);
    EXPECT_NE(check.why.find("taken out"), std::string::npos) << check.why;
}
