// The JSON qvex-ctl writes, read by Python's json module as a script would:
// valid UTF-8 whatever bytes the file names and record files hold, and the
// files a job leaves behind listed under their real names. The shape of the
// results is test_ctl_fleet.cpp's.
#include "tests/ctl/ctl_fixture.h"

#include "core/jsontext.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ctl_test;

namespace {

// Python's json.tool on a file of JSON lines: its exit status and complaint.
CtlResult PythonJsonTool(const QString &file) {
    QProcess p;
    p.start("python3", {"-m", "json.tool", "--json-lines", file});
    CtlResult r;
    if (!p.waitForFinished(20000)) return r;
    r.code = p.exitCode();
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

// A file name's bytes from its percent-encoded form, as Python's
// urllib.parse.unquote_to_bytes gives them.
QByteArray Unquoted(const QJsonValue &v) { return QByteArray::fromPercentEncoding(v.toString().toLatin1()); }

class CtlJsonTest : public CtlJobTest {
  protected:
    // QTemporaryDir cannot remove names that are not UTF-8.
    void TearDown() override { std::filesystem::remove_all(dir.path().toStdString()); }

    // The path of a name in the test's folder, as bytes (not UTF-8 as given).
    std::string bytesPath(const char *name) const { return dir.path().toStdString() + "/" + name; }

    // Runs qvex-ctl with arguments that may hold any bytes (QProcess would
    // pass them through QString), stdout into outFile.
    CtlResult ctlBytes(const std::vector<std::string> &args, const std::string &outFile) {
        const std::string errFile = outFile + ".err";
        std::vector<std::string> all{QVEX_CTL_BIN};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        CtlResult r;
        QElapsedTimer clock;
        clock.start();
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (clock.elapsed() > 60000) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return r;
            }
            QThread::msleep(10);
        }
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        r.out = Slurp(QString::fromStdString(outFile));
        r.err = Slurp(QString::fromStdString(errFile));
        return r;
    }
};

TEST_F(CtlJsonTest, EveryJsonOutputParsesWhateverBytesTheNamesAndRecordLinesHold) {
    ASSERT_TRUE(sim.start({}));
    const std::string link = sim.tcp().toStdString();
    const std::string record = bytesPath("latin1_\xe4\xf6.csv");
    const std::string parameters = bytesPath("f\xff.ini");
    const std::string outDir = bytesPath("d\xff");
    Spit(path("fleet.inv"), "[a]\ntcp = " + link + "\n");
    const struct {
        std::vector<std::string> args;
        int code;
        std::string file; // the one file listed, as on disk; "" for none
    } runs[] = {
        {{"--quiet", "--tcp", link, "--json", "record", "--rows", "3", "--interval", "0", "--out", record}, 0, record},
        {{"--quiet", "--tcp", link, "--json", "get", "--from", "ram", "--out", parameters}, 0, parameters},
        {{"--inventory", path("fleet.inv").toStdString(), "--out-dir", outDir, "--json", "get", "--from", "ram"},
         0,
         outDir + "/a.ini"},
        {{"--quiet", "--tcp", link, "--json", "diff", "--from", "ram", parameters}, 0, ""},
        {{"--quiet", "--tcp", link, "--json", "send", "--to", "ram", bytesPath("missing\xfe.ini")}, 2, ""},
    };
    int n = 0;
    for (const auto &run : runs) {
        const std::string out = bytesPath("out") + std::to_string(n++) + ".json";
        const CtlResult r = ctlBytes(run.args, out);
        EXPECT_EQ(r.code, run.code) << run.args.back() << "\n" << Describe(r);
        const CtlResult python = PythonJsonTool(QString::fromStdString(out));
        EXPECT_EQ(python.code, 0) << r.out << "\n" << python.err;
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
        if (run.file.empty()) {
            EXPECT_TRUE(o["files"].toArray().isEmpty()) << r.out;
            continue;
        }
        ASSERT_EQ(o["files"].toArray().size(), 1) << r.out;
        EXPECT_EQ(Unquoted(o["files_bytes"].toArray()[0]).toStdString(), run.file) << r.out;
        EXPECT_EQ(o["files"].toArray()[0].toString(), QString::fromStdString(run.file)) << r.out;
        EXPECT_TRUE(QFile::exists(QString::fromStdString(run.file)) || ::access(run.file.c_str(), F_OK) == 0);
    }
    // The recording under its own name, with a line a Windows editor
    // damaged (cp1252 "Müller µm") appended: stats still writes valid JSON.
    {
        std::FILE *f = std::fopen(record.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        std::fputs("\r\n3,12:00:00,M\xfcller \xb5m,", f);
        std::fclose(f);
    }
    const std::string out = bytesPath("stats.json");
    const CtlResult r = ctlBytes({"stats", "--json", record}, out);
    EXPECT_EQ(r.code, 0) << Describe(r);
    const CtlResult python = PythonJsonTool(QString::fromStdString(out));
    EXPECT_EQ(python.code, 0) << r.out << "\n" << python.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(Unquoted(o["file_bytes"]).toStdString(), record);
    EXPECT_EQ(o["rows"].toInt(), 3);
    ASSERT_EQ(o["damaged_lines"].toArray().size(), 1) << r.out;
}

// A recording that failed or was interrupted keeps its rows, and the result
// says the file is there.
TEST_F(CtlJsonTest, FilesListsWhatAFailedOrAnInterruptedRecordingKept) {
    SimProcess cut;
    ASSERT_TRUE(cut.start({"--disconnect-after", "40"}));
    const QString failed = path("failed.csv");
    CtlResult r = RunCtl({"--quiet", "--tcp", cut.tcp(), "--json", "record", "--rows", "1000", "--interval", "0",
                          "--out", failed});
    EXPECT_EQ(r.code, 1) << Describe(r);
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(o["files"].toArray(), QJsonArray{failed}) << r.out;
    EXPECT_NE(Slurp(failed).find("\r\n0,"), std::string::npos);

    ASSERT_TRUE(sim.start({}));
    const QString interrupted = path("interrupted.csv");
    QProcess p;
    p.start(QStringLiteral(QVEX_CTL_BIN), tcp({"--json", "record", "--rows", "100000", "--interval", "0", "--out",
                                               interrupted}));
    QElapsedTimer clock;
    clock.start();
    while (Slurp(interrupted).find("\r\n3,") == std::string::npos && clock.elapsed() < 20000) QThread::msleep(20);
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 130);
    o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    EXPECT_EQ(o["files"].toArray(), QJsonArray{interrupted}) << QJsonDocument(o).toJson().toStdString();
    EXPECT_EQ(o["status"].toString(), "failed");

    // A file that was there and that the job did not touch is not listed.
    SimProcess silent;
    ASSERT_TRUE(silent.start({"--drop-all"}));
    r = RunCtl({"--quiet", "--tcp", silent.tcp(), "--json", "record", "--rows", "1", "--interval", "0", "--out", failed});
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(r.out))["files"].toArray().isEmpty()) << r.out;
}

// The quoter of the hand-built MQTT messages keeps UTF-8 as it is.
TEST(JsonStringTest, KeepsUtf8ReplacesOtherBytesAndEscapesControls) {
    const std::pair<std::string, QString> cases[] = {
        {"M\xc3\xbcller \xc2\xb5m", QString::fromUtf8("Müller µm")},
        {"M\xfcller", QString::fromUtf8("M\xef\xbf\xbdller")},
        {"a\"b\\c\nd\te\x01", QString::fromUtf8("a\"b\\c\nd\te\x01")},
        {"\xe2\x82", QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd")},
    };
    for (const auto &[text, expected] : cases) {
        const std::string quoted = JsonString(text);
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString("[" + quoted + "]"), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << quoted;
        EXPECT_EQ(doc.array().at(0).toString(), expected) << quoted;
        EXPECT_TRUE(IsUtf8(quoted)) << quoted;
    }
    EXPECT_NE(JsonString("M\xc3\xbcller").find("\xc3\xbc"), std::string::npos);
}

} // namespace
