// qvex-sim as a process: what scripts and the program's tests rely on.
#include "sim_client.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace sim;
using namespace simtest;

namespace {

// Starts qvex-sim and reads its announcement lines ("TCP 127.0.0.1:<port>", "PTY <path>").
QStringList startSim(QProcess &proc, const QStringList &args, int lines) {
    proc.start(QStringLiteral(QVEX_SIM_EXE), args);
    QStringList out;
    while (out.size() < lines && (proc.canReadLine() || proc.waitForReadyRead(5000)))
        while (proc.canReadLine())
            out << QString::fromLocal8Bit(proc.readLine()).trimmed();
    return out;
}

} // namespace

TEST(SimProcess, AnnouncesBothTransportsAnswersAndStopsOnSigterm) {
    QProcess proc;
    const QStringList lines = startSim(proc, {"--tcp", "0", "--pty"}, 2);
    ASSERT_EQ(lines.size(), 2);
    ASSERT_TRUE(lines[0].startsWith("TCP 127.0.0.1:")) << lines[0].toStdString();
    ASSERT_TRUE(lines[1].startsWith("PTY /dev/pts/")) << lines[1].toStdString();

    TcpClient tcp;
    ASSERT_TRUE(tcp.connectTo(quint16(lines[0].section(':', 1).toUInt())));
    tcp.send(request(CmdLineCheck));
    EXPECT_EQ(tcp.readBytes(36).left(6), QByteArray::fromHex("0055000500aa"));
    PtyClient pty;
    ASSERT_TRUE(pty.open(lines[1].mid(4)));
    pty.send(request(CmdLineCheck));
    EXPECT_EQ(pty.readBytes(36).left(6), QByteArray::fromHex("0055000500aa"));

    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(3000));
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 0);
}

TEST(SimProcess, CommandLineFaultsApplyAndSigintStops) {
    QProcess proc;
    const QString text = QStringLiteral("Q-VEX-MOD7-ARC Test 36 characters...");
    const QStringList lines =
        startSim(proc, {"--tcp", "0", "--stray", "2", "--wrong-ack", "--version-text", text}, 1);
    ASSERT_EQ(lines.size(), 1);
    TcpClient tcp;
    ASSERT_TRUE(tcp.connectTo(quint16(lines[0].section(':', 1).toUInt())));
    tcp.send(request(CmdLineCheck));
    EXPECT_EQ(tcp.readBytes(38), QByteArray::fromHex("11220055000500ab") + QByteArray(30, '\0'));
    tcp.send(request(CmdVersion));
    EXPECT_EQ(tcp.readBytes(38), QByteArray::fromHex("1122") + text.toLatin1());

    ::kill(pid_t(proc.processId()), SIGINT);
    ASSERT_TRUE(proc.waitForFinished(3000));
    EXPECT_EQ(proc.exitCode(), 0);
}

TEST(SimProcess, HelpExitsZeroAndBadOptionsFail) {
    QProcess help;
    help.start(QStringLiteral(QVEX_SIM_EXE), {"--help"});
    ASSERT_TRUE(help.waitForFinished(3000));
    EXPECT_EQ(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char *name : {"--drop-next", "--split-gap", "--disconnect-mid-reply", "--pace", "--baud-index",
                             "--wrong-set-at", "--bad-activation", "--eeprom", "--log-frames"})
        EXPECT_TRUE(text.contains(name)) << name;

    QProcess bad;
    bad.start(QStringLiteral(QVEX_SIM_EXE), {"--split", "ten"});
    ASSERT_TRUE(bad.waitForFinished(3000));
    EXPECT_NE(bad.exitCode(), 0);
    EXPECT_TRUE(bad.readAllStandardError().contains("--split"));
}

TEST(SimProcess, EepromFileAndFrameLogOutliveTheProcess) {
    QTemporaryDir dir;
    const QString eeprom = dir.filePath("eeprom.txt");
    const QString log = dir.filePath("frames.log");
    const ParamRecord x = sampleRecord(1);
    const QByteArray set2 = request(CmdParamWrite, setWords(x, 2));
    const QByteArray store = request(CmdParamStore, kParamBase);
    {
        QProcess proc;
        const QStringList lines = startSim(proc,
                                           {"--tcp", "0", "--eeprom", eeprom, "--log-frames", log,
                                            "--wrong-set-at", "2", "--bad-activation"},
                                           1);
        ASSERT_EQ(lines.size(), 1);
        TcpClient tcp;
        ASSERT_TRUE(tcp.connectTo(quint16(lines[0].section(':', 1).toUInt())));
        tcp.send(set2 + store);
        const QByteArray replies = tcp.readBytes(72);
        EXPECT_EQ(word(replies, 0), 3);
        EXPECT_EQ(word(replies, 0, 36), 1);
        proc.terminate();
        ASSERT_TRUE(proc.waitForFinished(3000));
    }
    QProcess proc;
    const QStringList lines = startSim(proc, {"--tcp", "0", "--eeprom", eeprom, "--log-frames", log}, 1);
    ASSERT_EQ(lines.size(), 1);
    TcpClient tcp;
    ASSERT_TRUE(tcp.connectTo(quint16(lines[0].section(':', 1).toUInt())));
    const QByteArray prepare = request(CmdParamReadEeprom, kParamBase);
    const QByteArray read2 = request(CmdParamRead, uint16_t(kParamBase + 2));
    tcp.send(prepare + read2);
    const QByteArray replies = tcp.readBytes(72);
    EXPECT_EQ(word(replies, 0, 36), 2);
    EXPECT_EQ(replies.mid(42), set2.mid(6)) << "words 1..15 of set 2 as stored before the restart";
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(3000));

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              set2.toHex() + '\n' + store.toHex() + '\n' + prepare.toHex() + '\n' + read2.toHex() + '\n');
}

TEST(SimProcess, FilterSettingsTestInputsAndFilterLogFromTheCommandLine) {
    QTemporaryDir dir;
    const QString log = dir.filePath("filter.log");
    QProcess proc;
    const QStringList lines = startSim(
        proc, {"--tcp", "0", "--filter-settings", "off,20,off,500", "--test-inputs", "1", "--filter-log", log}, 1);
    ASSERT_EQ(lines.size(), 1);
    TcpClient tcp;
    ASSERT_TRUE(tcp.connectTo(quint16(lines[0].section(':', 1).toUInt())));
    Words write{};
    write[0] = 0x11FC;
    write[1] = 4;
    tcp.send(request(CmdFilterRead, 0x6401) + request(CmdTestData) + request(CmdStopSampling) +
             request(CmdFilterErase, kFilterBase) + request(CmdFilterWrite, write));
    const QByteArray replies = tcp.readBytes(5 * 36);
    EXPECT_EQ(word(replies, 2), kFilterOff);
    EXPECT_EQ(word(replies, 5), 20);
    EXPECT_EQ(word(replies, 11), 500);
    EXPECT_EQ(word(replies, 6, 36), 1);
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(3000));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "erase 1100\nwrite 11fc: 0000 0000 0000 0000\n");
}

TEST(SimProcess, AFifoForAFileIsRefusedAtOnceAndAFileSizeLimitDoesNotEndIt) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const char *option : {"--eeprom", "--log-frames", "--loader-image"}) {
        QProcess proc;
        proc.start(QStringLiteral(QVEX_SIM_EXE), {"--tcp", "0", option, fifo});
        ASSERT_TRUE(proc.waitForFinished(3000)) << option << " waits on the FIFO";
        EXPECT_EQ(proc.exitCode(), 2) << option;
        EXPECT_TRUE(proc.readAllStandardError().contains("not a regular file")) << option;
    }

    // An EEPROM image (about 1 kB) that may not grow past 512 bytes: the
    // store is reported and the simulator answers on. SIGXFSZ is set to its
    // default action, as a shell's ulimit -f leaves it.
    QProcess proc;
    proc.setChildProcessModifier([] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{512, 512};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    const QStringList lines = startSim(proc, {"--tcp", "0", "--eeprom", dir.filePath("eeprom.txt")}, 1);
    ASSERT_EQ(lines.size(), 1);
    TcpClient tcp;
    ASSERT_TRUE(tcp.connectTo(quint16(lines[0].section(':', 1).toUInt())));
    tcp.send(request(CmdParamWrite, setWords(sampleRecord(1), 2)) + request(CmdParamStore, kParamBase));
    EXPECT_EQ(tcp.readBytes(72).size(), 72);
    tcp.send(request(CmdLineCheck));
    EXPECT_EQ(tcp.readBytes(36).left(6), QByteArray::fromHex("0055000500aa"));
    proc.terminate();
    ASSERT_TRUE(proc.waitForFinished(3000));
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(proc.readAllStandardError().contains("cannot save the EEPROM"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{}) << "no image, no temporary file";
}
