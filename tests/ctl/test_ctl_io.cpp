// qvex-ctl at the edges of the system it runs on: a file-size limit, a FIFO
// where a file was meant, SIGINT and SIGTERM, arguments that would be left
// unused. The jobs' ordinary results are test_ctl.cpp's.
#include "tests/ctl/ctl_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <csignal>
#include <regex>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace ctl_test;

namespace {

// The child as a shell's `ulimit -f` leaves it: a file-size limit, and
// SIGXFSZ with its default action. Set explicitly, since an ignored signal
// is inherited and some test programs ignore this one.
std::function<void()> fileSizeLimit(rlim_t bytes) {
    return [bytes] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
}

// The data rows of a record file; every line below the column line must be
// a whole row or one of the closing lines.
int completeRows(const std::string &text, std::string *badLine) {
    static const std::regex row("^[0-9]+,[0-9]{2}:[0-9]{2}:[0-9]{2},(-?[0-9]+,){8}-?[0-9]+\\.[0-9]{3},-?[0-9]+\\.[0-9]{3},$");
    const std::vector<std::string> lines = LinesOf(text);
    int rows = 0;
    bool below = false;
    for (const std::string &l : lines) {
        if (!below) {
            below = l.rfind("INDEX,TIMESTAMP,", 0) == 0;
            continue;
        }
        if (std::regex_match(l, row)) ++rows;
        else if (l != "Error while recording data." && l != "Recording interrupted prior to completion.")
            *badLine = l;
    }
    return rows;
}

class CtlIoTest : public CtlJobTest {
  protected:
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden); }

    // Starts a job and waits until ready() holds; the job must still run.
    void startJob(QProcess &p, const QStringList &job, const std::function<bool()> &ready) {
        p.start(QStringLiteral(QVEX_CTL_BIN), tcp(job));
        ASSERT_TRUE(p.waitForStarted(5000));
        QElapsedTimer t;
        t.start();
        while (!ready() && t.elapsed() < 20000) ASSERT_FALSE(p.waitForFinished(20)) << p.readAllStandardError().toStdString();
        ASSERT_TRUE(ready()) << "the job never got going";
    }
    // Sends sig and returns the milliseconds until the job ended.
    qint64 signalJob(QProcess &p, int sig) {
        QElapsedTimer t;
        t.start();
        ::kill(pid_t(p.processId()), sig);
        if (!p.waitForFinished(10000)) p.kill();
        return t.elapsed();
    }
};

TEST_F(CtlIoTest, AFileSizeLimitEndsTheJobWithAMessageAndLeavesOnlyCompleteLines) {
    ASSERT_TRUE(sim.start({}));
    constexpr rlim_t kLimit = 1024; // the header block and a few rows
    for (const char *job : {"record", "live"}) {
        SCOPED_TRACE(job);
        const QString file = path(job) + ".csv";
        const QStringList args = QString(job) == "record"
                                     ? QStringList{"record", "--rows", "200", "--interval", "0", "--out", file}
                                     : QStringList{"live", "--count", "200", "--out", file};
        const CtlResult r = RunCtl(tcp(args), 60000, fileSizeLimit(kLimit));
        EXPECT_EQ(r.code, 1) << Describe(r);
        EXPECT_NE(r.err.find("Error! Record file not written: Dsik is full!"), std::string::npos) << r.err;
        const std::string text = Slurp(file);
        EXPECT_LE(text.size(), kLimit);
        std::string bad;
        EXPECT_GT(completeRows(text, &bad), 3);
        EXPECT_EQ(bad, "") << "a row cut short";
    }

    // The curves do not fit: the section's head stays, no sample line.
    CtlResult r = RunCtl(tcp({"capture", "--out", path("graph.csv")}), 60000, fileSizeLimit(kLimit));
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_EQ(LinesOf(Slurp(path("graph.csv"))).back(), "INDEX,Channel A:,Channel B:,");

    // A parameter file is replaced whole or not at all.
    r = RunCtl(tcp({"get", "--from", "ram", "--out", path("p.ini")}), 60000, fileSizeLimit(kLimit));
    EXPECT_EQ(r.code, 2) << Describe(r);
    EXPECT_EQ(entries(), (QStringList{"graph.csv", "live.csv", "record.csv"}));
}

TEST_F(CtlIoTest, SigtermOrSigintEndsTheJobWithinASecondSayingInterrupted) {
    const QString log = path("frames.log");
    ASSERT_TRUE(sim.start({"--log-frames", log}));
    const QString file = path("rec.csv");
    QProcess p;
    startJob(p, {"record", "--rows", "100000", "--interval", "0", "--out", file}, [&] {
        std::string bad;
        return completeRows(Slurp(file), &bad) >= 3;
    });
    EXPECT_LT(signalJob(p, SIGTERM), 1000);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130);
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_EQ(err, "qvex-ctl: Interrupted.\n");
    const std::string text = Slurp(file);
    std::string bad;
    completeRows(text, &bad);
    EXPECT_EQ(bad, "");
    EXPECT_EQ(LinesOf(text).back(), "Recording interrupted prior to completion.");

    // A controller that does not answer: Ctrl+C during the connect's retries.
    SimProcess silent;
    const QString silentLog = path("silent.log");
    ASSERT_TRUE(silent.start({"--drop-all", "--log-frames", silentLog}));
    QProcess get;
    get.start(QStringLiteral(QVEX_CTL_BIN),
              {"--quiet", "--tcp", silent.tcp(), "get", "--from", "ram", "--out", path("x.ini")});
    QElapsedTimer t;
    t.start();
    while (Slurp(silentLog).size() < 2 && t.elapsed() < 20000) ASSERT_FALSE(get.waitForFinished(20));
    EXPECT_LT(signalJob(get, SIGINT), 1000);
    EXPECT_EQ(get.exitCode(), 130);
    EXPECT_EQ(get.readAllStandardError().toStdString(), "qvex-ctl: Interrupted.\n");
    EXPECT_FALSE(QFile::exists(path("x.ini")));
}

// The broker's password file and CA file are inputs like any other: a FIFO
// is refused at once, before the controller's link is opened.
TEST_F(CtlIoTest, MqttPasswordOrCaFileThatIsAFifoIsRefusedWithinASecondBeforeTheLinkOpens) {
    const QString frames = path("frames.log");
    ASSERT_TRUE(sim.start({"--log-frames", frames}));
    ASSERT_EQ(::mkfifo(path("pipe").toLocal8Bit().constData(), 0600), 0);
    for (const char *flag : {"--mqtt-password-file", "--mqtt-cafile"}) {
        QElapsedTimer t;
        t.start();
        const CtlResult r = RunCtl({"--quiet", "--tcp", sim.tcp(), "live", "--count", "3", "--mqtt",
                                    "mqtt://127.0.0.1:1/line3", "--mqtt-user", "u", flag, path("pipe")},
                                   5000);
        EXPECT_EQ(r.code, 2) << flag << "\n" << Describe(r);
        EXPECT_LT(t.elapsed(), 1000) << flag;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
        EXPECT_EQ(QFileInfo(frames).size(), 0) << flag << ": the link was opened";
    }
}

TEST_F(CtlIoTest, OnlyRegularFilesAreReadOrWrittenAndAFifoIsRefusedAtOnce) {
    ASSERT_TRUE(sim.start({}));
    for (const char *fifo : {"pipe.ini", "pipe.csv"})
        ASSERT_EQ(::mkfifo(path(fifo).toLocal8Bit().constData(), 0600), 0);
    const QStringList refused[] = {
        {"--settings", path("pipe.ini"), "--tcp", sim.tcp(), "version"},
        {"--tcp", sim.tcp(), "send", "--to", "ram", path("pipe.ini")},
        {"--tcp", sim.tcp(), "get", "--from", "ram", "--out", path("pipe.ini")},
        {"--tcp", sim.tcp(), "record", "--rows", "3", "--interval", "0", "--out", path("pipe")}, // pipe.csv
        {"--tcp", sim.tcp(), "capture", "--out", path("pipe.csv")},
        {"--tcp", sim.tcp(), "live", "--count", "3", "--out", path("no/such/folder.csv")},
    };
    for (const QStringList &args : refused) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QElapsedTimer t;
        t.start();
        const CtlResult r = RunCtl(args, 10000);
        EXPECT_EQ(r.code, 2) << Describe(r);
        EXPECT_LT(t.elapsed(), 5000);
    }
    EXPECT_EQ(entries(), (QStringList{"pipe.csv", "pipe.ini"})) << "nothing created beside them";

    // The file a name without ".csv" gets is the one named in the result.
    const CtlResult r = RunCtl(tcp({"record", "--rows", "2", "--interval", "0", "--out", path("hour")}));
    ASSERT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(r.out, "2 rows recorded in " + path("hour.csv").toStdString() + "\n");
    EXPECT_TRUE(QFile::exists(path("hour.csv")));
}

TEST_F(CtlIoTest, RepeatedOrLeftOverArgumentsAreUsageErrors) {
    ASSERT_TRUE(sim.start({}));
    const QString out = path("f.csv");
    const QStringList bad[] = {
        {"--tcp", sim.tcp(), "--tcp", sim.tcp(), "version"},
        {"--tcp", sim.tcp(), "--serial", "1", "version"},
        {"--quiet", "-q", "--tcp", sim.tcp(), "version"},
        {"--tcp", sim.tcp(), "version", "now"},
        {"--tcp", sim.tcp(), "trigger", "twice"},
        {"--tcp", sim.tcp(), "record", "--rows", "5", "--rows", "6", "--interval", "0", "--out", out},
        {"--tcp", sim.tcp(), "live", "--count", "1", "--out", out, "--out", path("g.csv")},
        {"--json", "--tcp", sim.tcp(), "--json", "version"},
        {"--json", "--tcp", sim.tcp(), "version", "--json"},
        {"--tcp", sim.tcp(), "version", "--json", "--json"},
        {"--tcp", sim.tcp(), "--bogus", "version"},
        {"--tcp", sim.tcp(), "get", "--from", "ram", "--out"},
        {"--tcp", sim.tcp(), "get", "--from", "ram", "--out", out, "-x"},
    };
    for (const QStringList &args : bad) {
        const CtlResult r = RunCtl(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString() << "\n" << Describe(r);
    }
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(CtlIoTest, MessagesShowControlCharactersOfNamesAndFilesAsQuestionMarks) {
    const CtlResult r = RunCtl({"--tcp", "127.0.0.1:1", "send", "--to", "ram", path("a\x1b]0;title\x07\r.ini")});
    EXPECT_EQ(r.code, 2) << Describe(r);
    EXPECT_NE(r.err.find("a?]0;title??.ini"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find_first_of("\x1b\x07\r"), std::string::npos);
}

} // namespace
