// qvex-ctl and the parameter journal: send and apply (one controller and a
// fleet) on record, journal list / show / verify, and an entry changed with
// the sqlite3 tool found. What the panels leave on record is checked in
// tests/journal.
#include "tests/ctl/ctl_fixture.h"
#include "tests/fixtures/postgres.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <memory>
#include <regex>

using namespace ctl_test;

namespace {

class JournalCtlTest : public CtlJobTest {
  protected:
    void SetUp() override { ASSERT_TRUE(sim.start({})); }
    QString journal() const { return path("journal.sqlite"); }
    CtlResult withJournal(const QStringList &args) { return RunCtl(QStringList{"--quiet", "--journal", journal()} + args); }
    CtlResult job(const QStringList &args) { return withJournal(QStringList{"--tcp", sim.tcp()} + args); }
    // The entries, newest first, as journal list --json gives them.
    QJsonArray entries(const QStringList &filter = {}) {
        const CtlResult r = withJournal(QStringList{"journal", "list", "--json"} + filter);
        EXPECT_EQ(r.code, 0) << Describe(r);
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object()["entries"].toArray();
    }
    // A parameter file of the controller's record with Triggerlevel of
    // both channels set to `level`.
    QString edited(const char *name, int level) {
        const CtlResult got = job({"get", "--from", "ram", "--out", path(name)});
        EXPECT_EQ(got.code, 0) << Describe(got);
        Spit(path(name), std::regex_replace(Slurp(path(name)), std::regex("Triggerlevel = [0-9]+"),
                                            "Triggerlevel = " + std::to_string(level)));
        return path(name);
    }
};

std::string What(const QJsonValue &e) {
    const QJsonObject o = e.toObject();
    return (o["kind"].toString() + " " + o["memory"].toString() + " " + o["outcome"].toString()).toStdString();
}

} // namespace

TEST_F(JournalCtlTest, SendIsOnRecordShowNamesTheChangedFieldsAndGivesTheRecordBackAsGetWritesIt) {
    const QString file = edited("target.ini", 1234);
    CtlResult r = job({"send", "--to", "ram", file});
    ASSERT_EQ(r.code, 0) << Describe(r);
    r = job({"get", "--from", "ram", "--out", path("after.ini")});
    ASSERT_EQ(r.code, 0) << Describe(r);

    // get (seen), send's own read (seen), the write, the last get (seen).
    const QJsonArray all = entries();
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(What(all[0]), "seen ram done");
    EXPECT_EQ(What(all[1]), "write ram done");
    const QString written = QString::number(all[1].toObject()["id"].toInteger());
    EXPECT_EQ(all[1].toObject()["link"].toString(), sim.tcp());
    EXPECT_FALSE(all[1].toObject()["version"].toString().isEmpty());

    r = withJournal({"journal", "show", written});
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_NE(r.out.find("changed     2 fields\n  CHANNEL A / Triggerlevel / 2000 / 1234\n"
                         "  CHANNEL B / Triggerlevel / 2000 / 1234\n"),
              std::string::npos)
        << r.out;
    // The record written, as a parameter file: the file get writes of what
    // the controller holds afterwards, byte for byte.
    r = withJournal({"journal", "show", written, "--out", path("entry.ini")});
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(Slurp(path("entry.ini")), Slurp(path("after.ini")));

    // Filters: by a part of the controller's link and version, and by date.
    EXPECT_EQ(entries({"--controller", sim.tcp()}).size(), 4);
    EXPECT_EQ(entries({"--controller", "127.0.0.1:1"}).size(), 0);
    EXPECT_EQ(entries({"--since", "2999-01-01"}).size(), 0);
    EXPECT_EQ(entries({"--since", "2000-01-01T00:00"}).size(), 4);
    EXPECT_EQ(withJournal({"journal", "list", "--since", "yesterday"}).code, 2);
}

TEST_F(JournalCtlTest, VerifyNamesTheFirstEntryChangedWithTheSqliteTool) {
    ASSERT_EQ(job({"send", "--to", "eeprom", edited("target.ini", 777)}).code, 0);
    CtlResult r = withJournal({"journal", "verify"});
    EXPECT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(r.out, "sound: 3 entries\n");

    // Entries are only ever added: the database itself refuses a change...
    QProcess sqlite;
    sqlite.start("sqlite3", {journal(), "UPDATE journal_entries SET outcome = 'done' WHERE id = 2"});
    ASSERT_TRUE(sqlite.waitForFinished(10000));
    EXPECT_NE(sqlite.exitCode(), 0);
    // ... and one who takes that guard away is found out.
    sqlite.start("sqlite3", {journal(), "DROP TRIGGER journal_no_update; "
                                        "UPDATE journal_entries SET os_user = 'someone else' WHERE id = 2"});
    ASSERT_TRUE(sqlite.waitForFinished(10000));
    ASSERT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();
    r = withJournal({"journal", "verify"});
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_EQ(r.out, "entry 2 does not fit: its content does not fit its hash (the entry was changed)\n");
}

TEST_F(JournalCtlTest, ApplyOverAnInventoryOfThreeControllersPutsEachWriteOnOneChain) {
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::string inventory;
    for (int i = 1; i <= 3; ++i) {
        sims.push_back(std::make_unique<SimProcess>());
        ASSERT_TRUE(sims.back()->start({}));
        inventory += "[line-" + std::to_string(i) + "]\ntcp = " + sims.back()->tcp().toStdString() + "\n";
    }
    Spit(path("controllers.ini"), inventory);
    const QString file = edited("target.ini", 4321);
    const CtlResult r = withJournal({"--inventory", path("controllers.ini"), "--jobs", "3", "apply", "--to", "ram", file});
    ASSERT_EQ(r.code, 0) << Describe(r);

    // Per controller: the read, the write that changed both fields, the read-back.
    std::map<QString, std::vector<QJsonObject>> byLink;
    const QJsonArray all = entries();
    for (int i = all.size() - 1; i >= 0; --i) byLink[all[i].toObject()["link"].toString()].push_back(all[i].toObject());
    for (const auto &s : sims) {
        const std::vector<QJsonObject> &mine = byLink[s->tcp()];
        ASSERT_EQ(mine.size(), 3u) << s->tcp().toStdString();
        EXPECT_EQ(What(mine[0]) + ", " + What(mine[1]) + ", " + What(mine[2]),
                  "seen ram done, write ram done, seen ram done");
        const QString id = QString::number(mine[1]["id"].toInteger());
        const CtlResult shown = withJournal({"journal", "show", id});
        EXPECT_NE(shown.out.find("changed     2 fields"), std::string::npos) << shown.out;
        // What was written is what the read-back found.
        ASSERT_EQ(withJournal({"journal", "show", id, "--out", path("written.ini")}).code, 0);
        const QString back = QString::number(mine[2]["id"].toInteger());
        ASSERT_EQ(withJournal({"journal", "show", back, "--out", path("read.ini")}).code, 0);
        EXPECT_EQ(Slurp(path("written.ini")), Slurp(path("read.ini")));
    }
    EXPECT_EQ(withJournal({"journal", "verify"}).out, "sound: 10 entries\n"); // the file's get, then 3 x 3
}

// A plant's shared journal: two programs (each on a computer of its own, so
// with a local journal of its own) and a fleet run write at once; every
// entry arrives and the server's chain stays one.
TEST_F(JournalCtlTest, TwoProgramsAndAFleetRunWritingAtOnceKeepOneSharedChain) {
    if (!PostgresServer::Installed())
        GTEST_SKIP() << "PostgreSQL 15's server programs are not in " << PostgresServer::kBin
                     << " (Debian postgresql-15): the shared journal is not tested";
    PostgresServer server;
    std::string why;
    ASSERT_TRUE(server.start(&why)) << why;
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (int i = 0; i < 5; ++i) {
        sims.push_back(std::make_unique<SimProcess>());
        ASSERT_TRUE(sims.back()->start({}));
    }
    Spit(path("fleet.ini"), "[a]\ntcp = " + sims[2]->tcp().toStdString() + "\n[b]\ntcp = " +
                                sims[3]->tcp().toStdString() + "\n[c]\ntcp = " + sims[4]->tcp().toStdString() + "\n");
    const QString file = edited("target.ini", 2222);
    const QString url = QString::fromStdString(server.url());

    auto start = [&](QProcess &p, const QString &local, const QString &script) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QVEX_JOURNAL_PASSWORD", PostgresServer::kPassword);
        env.insert("QVEX_JOURNAL_LOCAL", path(local.toUtf8().constData()));
        env.insert("CTL", QStringLiteral(QVEX_CTL_BIN));
        env.insert("URL", url);
        env.insert("FILE", file);
        p.setProcessEnvironment(env);
        p.start("bash", {"-c", script});
    };
    // Three sends each from two programs, and apply over three controllers.
    QProcess first, second, fleet;
    start(first, "first.sqlite",
          "for i in 1 2 3; do \"$CTL\" -q --journal \"$URL\" --tcp " + sims[0]->tcp() +
              " send --to ram \"$FILE\" || exit 1; done");
    start(second, "second.sqlite",
          "for i in 1 2 3; do \"$CTL\" -q --journal \"$URL\" --tcp " + sims[1]->tcp() +
              " send --to eeprom \"$FILE\" || exit 1; done");
    start(fleet, "fleet.sqlite", "\"$CTL\" -q --journal \"$URL\" --inventory " + path("fleet.ini") +
                                     " --jobs 3 apply --to ram \"$FILE\"");
    for (QProcess *p : {&first, &second, &fleet}) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    // Each send: its read and its write; each apply: read, write, read-back.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QVEX_JOURNAL_PASSWORD", PostgresServer::kPassword);
    env.insert("QVEX_JOURNAL_LOCAL", path("reader.sqlite"));
    CtlResult r = RunCtl({"--journal", url, "journal", "verify"}, 60000, env);
    EXPECT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(r.out, "sound: 21 entries\n");
    r = RunCtl({"--journal", url, "journal", "list", "--controller", sims[1]->tcp()}, 60000, env);
    EXPECT_EQ(LinesOf(r.out).size(), 6u) << r.out;
}
