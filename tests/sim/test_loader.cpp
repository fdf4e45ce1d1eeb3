// The simulator's programming loader, spoken to over the raw pty the way a
// terminal program would: hand-over, announcement, pacing, checks, start.
// The program's side of the download is tested in tests/maint.
#include "sim/options.h"
#include "sim/runner.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QThread>
#include <QTemporaryDir>

using namespace sim;
using namespace simtest;

namespace {

Words handOverWords() {
    Words w{};
    for (int i = 0; i < kPayloadWords; ++i) w[std::size_t(i)] = i % 2 == 0 ? 0x5555 : 0xAAAA;
    return w;
}

// An S3 record of 16 bytes at the address, with a correct checksum.
QByteArray s3(uint32_t address, uint8_t fill) {
    QByteArray bytes;
    bytes += char(21);
    for (int shift = 24; shift >= 0; shift -= 8) bytes += char((address >> shift) & 0xFF);
    for (int i = 0; i < 16; ++i) bytes += char(fill + i);
    unsigned sum = 0;
    for (char c : bytes) sum += uint8_t(c);
    bytes += char(~sum & 0xFF);
    return "S3" + bytes.toHex().toUpper();
}

class Loader : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start(true, true));
        ASSERT_TRUE(port.open(sim.ptyPath()));
    }
    void configure(LoaderSettings s) {
        s.readyDelayMs = 0;
        sim.setLoaderSettings(s);
    }
    // Hands over and reads the announcement.
    QByteArray enter() {
        port.send(request(CmdHandOver, handOverWords()));
        const QByteArray reply = port.readBytes(36);
        EXPECT_EQ(word(reply, 0), kAck);
        return readUntil("Waiting for application S-Record.\r\n");
    }
    QByteArray readUntil(const QByteArray &end, int timeoutMs = 2000) {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (!got.endsWith(end) && t.elapsed() < timeoutMs) got += port.readBytes(1, 50);
        return got;
    }
    SimThread sim;
    PtyClient port;
};

} // namespace

TEST_F(Loader, TakesCheckedRecordsWithXoffPacingAndStartsTheApplication) {
    LoaderSettings s;
    s.busyMs = 40;
    s.readyPieces = 3;
    configure(s);
    const QByteArray banner = enter();
    EXPECT_TRUE(banner.contains("Waiting for application S-Record.")) << banner.toStdString();
    EXPECT_TRUE(sim.loaderActive());

    // After a record the loader holds the sender off, and lets it go on once
    // the record is programmed.
    const QByteArray header = "S00F000068656C6C6F202020202000003C";
    port.send(header + "\r\n");
    EXPECT_EQ(port.readBytes(1), QByteArray(1, kXoff));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(port.readBytes(1), QByteArray(1, kXon));
    EXPECT_GE(t.elapsed(), 30);

    const QByteArray data = s3(kFlashBase + 0x100, 0x10);
    port.send(data + "\r\n");
    EXPECT_EQ(port.readBytes(2), QByteArray(1, kXoff) + QByteArray(1, kXon));
    port.send("S70502000100F7\r\n");
    const QByteArray end = readUntil("\r\n", 1000) + readUntil("\r\n", 1000);
    EXPECT_TRUE(end.contains("Application started from address 0x02000100")) << end.toStdString();
    EXPECT_FALSE(sim.loaderActive());

    const LoaderImage image = sim.loaderImage();
    EXPECT_TRUE(image.started);
    EXPECT_EQ(image.startAddress, 0x02000100u);
    EXPECT_EQ(image.lines, (std::vector<std::string>{header.toStdString(), data.toStdString(), "S70502000100F7"}));

    // Frames again.
    port.send(request(CmdLineCheck));
    EXPECT_EQ(word(port.readBytes(36), 0), kAck);
}

TEST_F(Loader, ASenderThatIgnoresXoffOverflowsTheLoader) {
    LoaderSettings s;
    s.busyMs = 300;
    configure(s);
    enter();
    port.send(s3(kFlashBase, 0) + "\r\n");
    EXPECT_EQ(port.readBytes(1), QByteArray(1, kXoff));
    QThread::msleep(kXoffGraceMs + 20);
    QByteArray more;
    for (uint32_t a = 16; more.size() <= s.fifoBytes; a += 16) more += s3(kFlashBase + a, 0) + "\r\n";
    port.send(more);
    EXPECT_TRUE(readUntil("Download aborted.\r\n").contains("Receive buffer overflow in line 1!"));
    EXPECT_GT(sim.loaderMaxBytesAfterXoff(), s.fifoBytes);
}

TEST_F(Loader, BadRecordsAbortTheDownloadAndTheImageNotesTheLine) {
    QTemporaryDir dir;
    const QString imageFile = dir.filePath("image.S");
    struct Case {
        QByteArray line;
        const char *said;
    };
    const Case cases[] = {
        {s3(kFlashBase, 0).replace(10, 1, "F"), "Checksum error in line 2!"},
        {s3(0x01000000, 0), "Address error in line 2!"},
        {s3(kFlashBase + kFlashSize - 8, 0), "Address error in line 2!"},
        {"S4050000000000", "Unknown record type in line 2!"},
        {"S3xx", "Record error in line 2!"},
    };
    for (const Case &c : cases) {
        sim.stop();
        SimThread fresh;
        ASSERT_TRUE(fresh.start(false, true));
        port.close();
        ASSERT_TRUE(port.open(fresh.ptyPath()));
        LoaderSettings s;
        s.readyDelayMs = 0;
        s.busyMs = 0;
        s.imageFile = imageFile;
        fresh.setLoaderSettings(s);
        port.send(request(CmdHandOver, handOverWords()));
        port.readBytes(36);
        readUntil("Record.\r\n");
        port.send(s3(kFlashBase, 0x20) + "\r\n" + c.line + "\r\n");
        const QByteArray said = readUntil("Download aborted.\r\n");
        EXPECT_TRUE(said.contains(c.said)) << c.line.toStdString() << ": " << said.toStdString();
        EXPECT_TRUE(fresh.loaderActive());
        QFile f(imageFile);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().startsWith("line 2: ")) << c.line.toStdString();
    }
}

TEST_F(Loader, FaultSwitchesAndTheTcpRefusal) {
    // Over TCP the firmware refuses to hand over.
    TcpClient tcp;
    ASSERT_TRUE(tcp.connectTo(sim.tcpPort()));
    tcp.send(request(CmdHandOver, handOverWords()));
    EXPECT_EQ(word(tcp.readBytes(36), 0), kNak);
    EXPECT_FALSE(sim.loaderActive());

    // A hand-over frame with another payload is refused on the pty too.
    Words wrong = handOverWords();
    wrong[15] = 0x5555;
    port.send(request(CmdHandOver, wrong));
    EXPECT_EQ(word(port.readBytes(36), 0), kNak);
    EXPECT_FALSE(sim.loaderActive());

    // Silent: acknowledged, but no loader ever speaks; frames still work.
    // (A reported checksum error is shown end to end in tests/maint.)
    LoaderSettings s;
    s.silent = true;
    configure(s);
    port.send(request(CmdHandOver, handOverWords()));
    EXPECT_EQ(word(port.readBytes(36), 0), kAck);
    EXPECT_TRUE(port.quietFor(200));
    port.send(request(CmdLineCheck));
    EXPECT_EQ(word(port.readBytes(36), 0), kAck);
}

TEST(LoaderOptions, CommandLineReachesTheLoader) {
    SimOptions o;
    QString message;
    const QStringList args = {"qvex-sim", "--pty", "--loader-image", "/tmp/img.S", "--loader-silent",
                              "--loader-checksum-error", "--loader-ready-pieces", "4", "--loader-busy", "7", "--loader-verbose"};
    ASSERT_EQ(parseOptions(args, o, message), ParseOutcome::Run) << message.toStdString();
    EXPECT_EQ(o.loader.imageFile, "/tmp/img.S");
    EXPECT_TRUE(o.loader.silent && o.loader.checksumError && o.loader.verbose);
    EXPECT_EQ(o.loader.readyPieces, 4);
    EXPECT_EQ(o.loader.busyMs, 7);
    for (const QStringList &bad : {QStringList{"qvex-sim", "--loader-ready-pieces", "0"},
                                   QStringList{"qvex-sim", "--loader-image"}}) {
        SimOptions b;
        EXPECT_EQ(parseOptions(bad, b, message), ParseOutcome::Error) << bad.join(' ').toStdString();
    }
}
