// qvex-ctl as scripts use it: the executable run as a process against
// qvex-sim started as a process, over loopback TCP or its pty.
#pragma once

#include "sim/eeprom.h"
#include "tests/sim/sim_client.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace ctl_test {

// qvex-sim as a process, with its announcement read.
class SimProcess {
  public:
    ~SimProcess() { stop(); }
    bool start(const QStringList &extra, bool pty = false) {
        QStringList args{"--tcp", "0"};
        if (pty) args << "--pty";
        proc_.start(QStringLiteral(QVEX_SIM_BIN), args + extra);
        QStringList lines;
        const int wanted = pty ? 2 : 1;
        while (lines.size() < wanted && (proc_.canReadLine() || proc_.waitForReadyRead(5000)))
            while (proc_.canReadLine())
                lines << QString::fromLocal8Bit(proc_.readLine()).trimmed();
        if (lines.size() < wanted || !lines[0].startsWith("TCP 127.0.0.1:")) return false;
        tcp_ = "127.0.0.1:" + lines[0].section(':', 1);
        if (pty) pty_ = lines[1].mid(4);
        return true;
    }
    // Ends the simulator, so that the files it keeps are complete.
    void stop() {
        if (proc_.state() == QProcess::NotRunning) return;
        proc_.terminate();
        if (!proc_.waitForFinished(3000)) proc_.kill();
    }
    const QString &tcp() const { return tcp_; }
    const QString &pty() const { return pty_; }

  private:
    QProcess proc_;
    QString tcp_, pty_;
};

struct CtlResult {
    int code = -1;
    std::string out, err;
};

// Runs qvex-ctl with the arguments; a run that does not end within the
// time-out counts as a hang. env is the environment it runs in; childSetup
// runs in the child before qvex-ctl starts (a resource limit, a signal's
// disposition).
inline CtlResult RunCtl(const QStringList &args, int timeoutMs = 60000,
                        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                        const std::function<void()> &childSetup = {}) {
    QProcess p;
    p.setProcessEnvironment(env);
    if (childSetup) p.setChildProcessModifier(childSetup);
    p.start(QStringLiteral(QVEX_CTL_BIN), args);
    CtlResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        r.err = "qvex-ctl did not end";
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

inline CtlResult RunCtl(const QStringList &args, int timeoutMs, const std::function<void()> &childSetup) {
    return RunCtl(args, timeoutMs, QProcessEnvironment::systemEnvironment(), childSetup);
}

// The environment of an operator whose desktop runs in the given locale:
// the C library and Qt both take it from there.
inline QProcessEnvironment OperatorLocale(const char *name) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", name);
    env.insert("LC_ALL", name);
    return env;
}

inline std::string Slurp(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

inline void Spit(const QString &path, const std::string &text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.data(), qint64(text.size()));
}

// The simulator's default record with fractions in the tolerances of
// evaluations 1 and 2 (16.16 words, low word first), the values a parameter
// file writes as reals.
inline sim::ParamRecord WithFractionalTolerances() {
    sim::ParamRecord record = sim::Controller::defaultParams();
    const std::pair<int, uint16_t> words[] = {{92, 0x0001}, {93, 0x0001}, {94, 0xFFFF},  {95, 0xFFFF},
                                              {98, 0x8000}, {99, 0x0000}, {100, 0x0001}, {101, 0x7FFF}};
    for (auto [index, value] : words)
        record[std::size_t(index)] = value;
    return record;
}

// A text's lines without their line ends (LF or CR LF).
inline std::vector<std::string> LinesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

inline std::string Describe(const CtlResult &r) {
    return "exit " + std::to_string(r.code) + "\nstderr: " + r.err + "\nstdout: " + r.out;
}

// A test of qvex-ctl jobs: a folder of its own and a simulator to talk to.
class CtlJobTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    SimProcess sim;

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList tcp(const QStringList &job) const { return QStringList{"--quiet", "--tcp", sim.tcp()} + job; }
    CtlResult ctl(const QStringList &job) { return RunCtl(tcp(job)); }
};

} // namespace ctl_test
