// The shared journal on a PostgreSQL server the test starts itself: the
// panels' writes reach it through the local journal, and while the server is
// away they wait there and arrive in order once it is back. Many programs
// writing at once are checked in tests/ctl/test_ctl_journal.cpp.
#include "tests/fixtures/postgres.h"
#include "tests/fixtures/program.h"

#include "journal/journal.h"
#include "journal/store.h"
#include "params/transfer.h"
#include "sim/runner.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/power_ids.h"

#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

class SharedJournalTest : public ProgramTest {
  protected:
    sim::SimThread sim;
    PostgresServer server;
    QTemporaryDir dir;
    int sends = 0;

    void SetUp() override {
        if (!PostgresServer::Installed())
            GTEST_SKIP() << "PostgreSQL 15's server programs are not in " << PostgresServer::kBin
                         << " (Debian postgresql-15): the shared journal is not tested";
        ProgramTest::SetUp();
        std::string why;
        ASSERT_TRUE(server.start(&why)) << why;
        ASSERT_TRUE(sim.start(true, false));
        ASSERT_TRUE(openTcpLink(sim.tcpPort()));
        JournalSettings settings;
        settings.url = server.url();
        settings.password = PostgresServer::kPassword;
        settings.localUrl = dir.filePath("local.sqlite").toStdString();
        ASSERT_TRUE(OpenJournal(settings, &why)) << why;
    }
    void TearDown() override {
        CloseJournal(0);
        if (!IsSkipped()) ProgramTest::TearDown();
    }
    // One SEND to RAM from the panels with a power value of its own.
    void send() {
        SetCtrlVal(panelPOWER, POWER_POWER, 100 + ++sends);
        set_main_buttons(1, 1, 1);
        OperateCtrl(panelMAIN, MAIN_RADIO_RAM);
        ASSERT_TRUE(SendPanels().done());
    }
    std::vector<JournalEntry> entries(const std::string &url, std::string *error) {
        JournalStore store;
        JournalFilter all;
        all.withRecords = true;
        if (!store.open(url, PostgresServer::kPassword, error)) return {};
        return store.list(all, error);
    }
};

} // namespace

TEST_F(SharedJournalTest, WritesMadeWhileTheServerIsAwayWaitLocallyAndArriveInOrder) {
    send();
    send();
    ASSERT_TRUE(FlushJournal());
    std::string error;
    EXPECT_EQ(entries(server.url(), &error).size(), 2u) << error;

    // Ten seconds without the server: the writes go out as ever, one a second.
    server.stop();
    const double away = Timer();
    while (Timer() - away < 10.0) {
        send();
        WaitForSystemEvents(1.0);
    }
    ASSERT_TRUE(FlushJournal(10));
    EXPECT_NE(JournalSharedProblem(), "");
    const std::vector<JournalEntry> local = entries(dir.filePath("local.sqlite").toStdString(), &error);
    ASSERT_EQ(local.size(), std::size_t(sends)) << error;

    ASSERT_TRUE(server.start(&error)) << error;
    std::vector<JournalEntry> shared;
    EXPECT_TRUE(WaitUntil(
        [&] {
            shared = entries(server.url(), &error);
            return shared.size() == local.size();
        },
        20.0))
        << shared.size() << " of " << local.size() << ": " << error;
    ASSERT_EQ(shared.size(), local.size());
    for (std::size_t i = 0; i < local.size(); ++i) {
        EXPECT_EQ(shared[i].time, local[i].time) << i;
        EXPECT_EQ(shared[i].record, local[i].record) << i;
    }
    EXPECT_TRUE(WaitUntil([] { return JournalSharedProblem().empty(); }, 5.0)) << JournalSharedProblem();
    JournalStore store;
    ASSERT_TRUE(store.open(server.url(), PostgresServer::kPassword, &error)) << error;
    const JournalCheck check = store.verify(&error);
    EXPECT_TRUE(check.sound) << check.firstBad << ": " << check.why;
    EXPECT_EQ(check.entries, sends);
}
