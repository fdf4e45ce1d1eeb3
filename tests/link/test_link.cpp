// The link to the controller, driven against the simulator over real
// loopback TCP and a real pty: opening and verifying, frame exchange with its
// retries, realignment, and the failures an operator meets.
#include "tests/fixtures/program.h"

#include "sim/runner.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

class LinkTest : public ProgramTest {
  protected:
    sim::SimThread sim;
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(sim.start(true, true));
    }
    void faults(const sim::Faults &f) { sim.setFaults(f); }
    bool connectTcp() {
        useTcp(sim.tcpPort());
        tcpcon = InitTCP_IP(1);
        return tcpcon == 1;
    }
    bool connectSerial() {
        useSerial(sim.ptyPath());
        rs232con = InitRS232(1);
        return rs232con == 1;
    }
    // One line check over the open link; returns GetRxBuf's result or 0
    // when the exchange failed.
    int lineCheck() {
        std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
        order = 5;
        FillTxBuf(order, emptyframe);
        if (!ExchangeFrame()) return 0;
        return GetRxBuf(emptyframe);
    }
};

TEST_F(LinkTest, RequestBytesAndReplyUnpacking) {
    unsigned short payload[PNUM] = {};
    payload[0] = 0x6401;
    payload[15] = 0xBEEF;
    frame::sync = 0x55;
    FillTxBuf(0x00BE, payload);
    const unsigned char *b = LastRequest();
    const unsigned char head[] = {0x00, 0x55, 0x00, 0xBE, 0x64, 0x01, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(b, head, sizeof head), 0);
    EXPECT_EQ(b[34], 0xBE);
    EXPECT_EQ(b[35], 0xEF);

    // The controller echoes test data word for word.
    sim.setFixedTime(0); // nothing recorded yet
    ASSERT_TRUE(connectTcp());
    unsigned short dest[PNUM] = {};
    ASSERT_EQ(Exchange(12, payload, dest), EXCHANGE_OK);
    EXPECT_EQ(order, 12);
    EXPECT_EQ(dest[0], 0x6401);
    EXPECT_EQ(dest[15], 0xBEEF);
    // A curve request with no recording is answered 0x09FF.
    payload[15] = 0;
    ASSERT_EQ(Exchange(9, payload, dest), EXCHANGE_OK);
    EXPECT_EQ(order, kNoNewData);
    EXPECT_EQ(GetRxBuf(dest), 2559);

    // A swapped sync word is invalid and changes nothing.
    sim::Faults f;
    f.swapSync = true;
    faults(f);
    unsigned short untouched[PNUM] = {7};
    payload[0] = 0x1234;
    EXPECT_EQ(Exchange(12, payload, untouched), EXCHANGE_BAD_ECHO);
    EXPECT_EQ(LastReply()[0], 0x55);
    EXPECT_EQ(untouched[0], 7);
    EXPECT_EQ(order, 12) << "still the request's command word";
}

TEST_F(LinkTest, TcpAndSerialLinksVerifyAndShowTheVersion) {
    ASSERT_TRUE(connectTcp());
    EXPECT_EQ(StatusLine(), std::string(szVersion));
    EXPECT_FALSE(std::string(szVersion).empty());
    EXPECT_EQ(lineCheck(), 5);
    EXPECT_EQ(emptyframe[0], kAcknowledge);

    ASSERT_TRUE(connectSerial());
    EXPECT_EQ(StatusLine(), std::string(szVersion));
    EXPECT_EQ(lineCheck(), 5);
}

TEST_F(LinkTest, VersionTextIsCutTo35Characters) {
    const std::string longText = "Q-VEX-MOD7-ARC firmware 2.17 b0042x"; // 35
    sim.setVersionText(longText + "Z");                              // 36, no zero byte
    ASSERT_TRUE(connectTcp());
    EXPECT_EQ(std::string(szVersion), longText);
    EXPECT_EQ(StatusLine(), longText);
    ASSERT_TRUE(connectSerial());
    EXPECT_EQ(std::string(szVersion), longText);

    // The version is text: a 'U' in it is no frame start.
    const std::string withU = "UNIT V2 Q-VEX-MOD7-ARC BUILD U";
    sim.setVersionText(withU);
    ASSERT_TRUE(connectTcp());
    EXPECT_EQ(std::string(szVersion), withU);
    ASSERT_TRUE(connectSerial());
    EXPECT_EQ(std::string(szVersion), withU);
}

// Whatever bytes the controller's text holds, it is its version: kept whole,
// and the status line shows its printable characters.
TEST_F(LinkTest, AVersionTextWithAnyBytesConnectsAndShowsItsPrintablePart) {
    const std::string raw = "Q-VEX \"7\"\t\xB5m, 2 ch\x7F\x01";
    sim.setVersionText(raw);
    ASSERT_TRUE(connectTcp()) << StatusLine();
    EXPECT_EQ(std::string(szVersion), raw);
    EXPECT_EQ(StatusLine(), "Q-VEX \"7\"m, 2 ch");
    EXPECT_EQ(std::string(szVersionShown), "Q-VEX \"7\"m, 2 ch");
    EXPECT_EQ(lineCheck(), 5);
    ASSERT_TRUE(connectSerial()) << StatusLine();
    EXPECT_EQ(std::string(szVersion), raw);
    EXPECT_EQ(StatusLine(), "Q-VEX \"7\"m, 2 ch");

    // Nothing printable in it: still the controller's version.
    sim.setVersionText("\t\xB5\xB5");
    ASSERT_TRUE(connectTcp()) << StatusLine();
    EXPECT_EQ(std::string(szVersion), "\t\xB5\xB5");
    EXPECT_EQ(StatusLine(), "");
}

std::vector<unsigned> g_tcpEventHandles;
int CountTcpEvents(unsigned handle, int, int, void *) {
    g_tcpEventHandles.push_back(handle);
    return 0;
}

TEST_F(LinkTest, ConversationsEndingWithTheProgramCallNobody) {
    unsigned handle = 0;
    ASSERT_EQ(ConnectToTCPServer(&handle, sim.tcpPort(), "127.0.0.1", CountTcpEvents, nullptr, 2000), 0);
    g_tcpEventHandles.clear();
    CloseAllTCPConversations();
    // A later conversation's reply comes after anything the closed one
    // could still have raised.
    unsigned later = 0;
    ASSERT_EQ(ConnectToTCPServer(&later, sim.tcpPort(), "127.0.0.1", CountTcpEvents, nullptr, 2000), 0);
    char lineCheck[kFrameSize] = {};
    lineCheck[0] = static_cast<char>((frame::sync >> 8) & 0xFF);
    lineCheck[1] = static_cast<char>(frame::sync & 0xFF);
    lineCheck[3] = static_cast<char>(kLineCheckCommand);
    ASSERT_EQ(ClientTCPWrite(later, lineCheck, kFrameSize, 2000), kFrameSize);
    ASSERT_TRUE(WaitUntil([&] {
        return std::count(g_tcpEventHandles.begin(), g_tcpEventHandles.end(), later) > 0;
    }));
    EXPECT_EQ(std::count(g_tcpEventHandles.begin(), g_tcpEventHandles.end(), handle), 0);
    EXPECT_EQ(ClientTCPWrite(handle, LastRequest(), kFrameSize, 100), -12);
    DisconnectFromTCPServer(later);
}

TEST_F(LinkTest, StrayBytesBeforeAReplyAreRealigned) {
    // An echoed request with a distinctive tail shows the whole reply was
    // moved into place, its last bytes included.
    auto echoTail = [] {
        unsigned short payload[PNUM] = {0x6400};
        payload[14] = 0x1357;
        payload[15] = 0xBEEF;
        unsigned short reply[PNUM] = {};
        // Test data: the controller echoes it.
        if (Exchange(12, payload, reply) != EXCHANGE_OK || order != 12) return false;
        return reply[0] == 0x6400 && reply[14] == 0x1357 && reply[15] == 0xBEEF;
    };
    sim::Faults f;
    f.strayBytes = 3;
    ASSERT_TRUE(connectTcp());
    faults(f);
    EXPECT_TRUE(echoTail());
    // The next exchange is not confused by anything left over.
    EXPECT_TRUE(echoTail());
    EXPECT_EQ(lineCheck(), 5);

    faults(sim::Faults{});
    ASSERT_TRUE(connectSerial());
    faults(f);
    EXPECT_TRUE(echoTail());
    EXPECT_TRUE(echoTail());
}

TEST_F(LinkTest, SwappedSyncIsRejectedWithoutAStatusMessage) {
    ASSERT_TRUE(connectTcp());
    sim::Faults f;
    f.swapSync = true;
    faults(f);
    EXPECT_EQ(lineCheck(), -1);
    SetStatus("before");
    EXPECT_EQ(CheckComLine(), 0);
    EXPECT_EQ(StatusLine(), "before");
}

TEST_F(LinkTest, SilentControllerFailsAfterNineAttemptsWhileTheProgramStaysResponsive) {
    ASSERT_TRUE(connectTcp());
    sim::Faults f;
    f.dropAll = true;
    faults(f);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(100);
    const double t0 = Timer();
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    FillTxBuf(5, emptyframe);
    EXPECT_EQ(ExchangeFrame(), 0);
    const double took = Timer() - t0;
    EXPECT_EQ(StatusLine(), "Read failure! Retrying for 1 times.");
    EXPECT_GT(took, 9 * 0.5 - 0.1);
    EXPECT_LT(took, 9 * 0.5 + 1.0);
    EXPECT_GE(ticks, 35) << "events must be delivered during the wait";
}

TEST_F(LinkTest, TcpReplyInPiecesCompletesOnlyWithTheLastByte) {
    ASSERT_TRUE(connectTcp());
    sim::Faults f;
    f.split = {10, 26};
    f.splitGapMs = 150;
    faults(f);
    int missingBetween = -1, flagBetween = -1;
    QTimer::singleShot(75, [&] {
        missingBetween = ReplyBytesMissing();
        flagBetween = rx_flag;
    });
    EXPECT_EQ(lineCheck(), 5);
    EXPECT_EQ(missingBetween, 26);
    EXPECT_EQ(flagBetween, 0);
    EXPECT_EQ(rx_flag, 1);
    EXPECT_EQ(ReplyBytesMissing(), 0);
    EXPECT_EQ(emptyframe[0], kAcknowledge);
}

// The program's conversation callback, counting the data events it handled.
int g_dataEventsHandled = 0;
int countingTcpCB(unsigned handle, int event, int error, void *data) {
    const int rc = ClientTCPCB(handle, event, error, data);
    if (event == TCP_DATAREADY) ++g_dataEventsHandled;
    return rc;
}

TEST_F(LinkTest, TcpDataNobodyAskedForIsReadAndDropped) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    g_dataEventsHandled = 0;
    ASSERT_EQ(ConnectToTCPServer(&g_hconversation, server.serverPort(), "127.0.0.1", countingTcpCB, nullptr, 2000),
              0);
    ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket *peer = server.nextPendingConnection();
    unsigned char before[kFrameSize];
    std::memcpy(before, LastReply(), kFrameSize);
    rx_flag = 0;
    peer->write(QByteArray(1500, '\x55'));
    peer->flush();
    char probe[16];
    // One write of 1500 bytes over loopback arrives as one data event, which
    // the callback drains.
    ASSERT_TRUE(WaitUntil([&] { return g_dataEventsHandled > 0; }));
    EXPECT_EQ(ClientTCPRead(g_hconversation, probe, sizeof probe, 0), 0) << "everything was dropped";
    EXPECT_EQ(rx_flag, 0);
    EXPECT_EQ(std::memcmp(LastReply(), before, kFrameSize), 0);
    tcpcon = 1;
    EXPECT_EQ(InitTCP_IP(0), 0);
    EXPECT_EQ(g_hconversation, 0u);
}

TEST_F(LinkTest, SerialPortThatFailedVerificationOpensAgain) {
    sim::Faults f;
    f.wrongAck = true;
    faults(f);
    EXPECT_FALSE(connectSerial());
    EXPECT_EQ(StatusLine(), "Answer incorrect. Check Sensor.");
    EXPECT_GE(GetInQLen(comport), 0) << "the port stays open";
    faults(sim::Faults{});
    EXPECT_TRUE(connectSerial());
}

TEST_F(LinkTest, ClosingWithNoLinkOpenLeavesEverythingAlone) {
    // A port opened behind the flag's back stays open: closing made no call.
    useSerial(sim.ptyPath());
    ASSERT_EQ(OpenComConfig(comportold, "", 19200, 0, 8, 1, 4096, 4096), 0);
    rs232con = 0;
    EXPECT_EQ(InitRS232(0), 0);
    EXPECT_GE(GetInQLen(comportold), 0);

    ASSERT_EQ(ConnectToTCPServer(&g_hconversation, sim.tcpPort(), "127.0.0.1", ClientTCPCB, nullptr, 2000), 0);
    tcpcon = 0;
    EXPECT_EQ(InitTCP_IP(0), 0);
    EXPECT_NE(g_hconversation, 0u);
    EXPECT_EQ(ClientTCPWrite(g_hconversation, LastRequest(), kFrameSize, 2000), kFrameSize);
}

TEST_F(LinkTest, LoaderLinkOpensWithoutSendingAFrame) {
    useSerial(sim.ptyPath());
    sim.clearRequestLog();
    rs232con = InitRS232_PL(1);
    EXPECT_EQ(rs232con, 1);
    EXPECT_EQ(InitRS232_PL(0), 0);
    // The normal link's line check comes after anything the loader link
    // could have sent: it must be the first request the controller saw.
    ASSERT_TRUE(connectSerial()) << StatusLine();
    const auto log = sim.requestLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front()[3], kLineCheckCommand);
}

TEST_F(LinkTest, SecondExchangeDuringAWaitIsRefusedWithoutTouchingTheBuffers) {
    ASSERT_TRUE(connectTcp());
    sim::Faults f;
    f.delayMs = 200;
    faults(f);
    std::fill(std::begin(emptyframe), std::end(emptyframe), 0);
    order = 5;
    FillTxBuf(order, emptyframe);
    unsigned char sent[kFrameSize];
    std::memcpy(sent, LastRequest(), kFrameSize);
    int nested = -1;
    bool unchanged = false;
    QTimer::singleShot(50, [&] {
        unsigned short other[PNUM] = {0x1234};
        FillTxBuf(14, other);
        nested = ExchangeFrame();
        unchanged = std::memcmp(sent, LastRequest(), kFrameSize) == 0;
    });
    EXPECT_NE(ExchangeFrame(), 0);
    EXPECT_EQ(nested, 0);
    EXPECT_TRUE(unchanged);
    EXPECT_EQ(GetRxBuf(emptyframe), 5);
}

// Bad input gets a clear message and the program answers at once.
TEST_F(LinkTest, BadInputIsReportedPromptly) {
    double t0 = Timer();
    comprotocol = 0;
    comport = 200;
    EXPECT_EQ(InitRS232(1), 0);
    const std::string serialText = StatusLine();
    EXPECT_TRUE(serialText == "Invalid port number" || serialText == "No serial port found") << serialText;

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    useTcp(closedPort);
    EXPECT_EQ(InitTCP_IP(1), 0);
    EXPECT_EQ(StatusLine(), "Failed to connect");
    EXPECT_LT(Timer() - t0, 1.0);

    sim::Faults f;
    f.garbage = true;
    faults(f);
    t0 = Timer();
    EXPECT_FALSE(connectTcp());
    EXPECT_LT(Timer() - t0, 1.0);

    // The controller hangs up in the middle of a reply.
    faults(sim::Faults{});
    ASSERT_TRUE(connectTcp());
    f = sim::Faults{};
    f.disconnectMidReply = true;
    faults(f);
    t0 = Timer();
    EXPECT_EQ(lineCheck(), 0);
    EXPECT_LT(Timer() - t0, 2.0);
    EXPECT_EQ(tcpcon, 0);
    EXPECT_EQ(g_hconversation, 0u);
    EXPECT_EQ(popups->lastMessage("TCP Client"), "Server has closed connection!");
}

// The version read takes text; a frame in its place is no version.
TEST_F(LinkTest, AVersionReplyThatIsABinaryFrameFailsTheConnect) {
    sim.setVersionText(std::string("\x00\x55\x00\x05\x00\xAA", 6));
    EXPECT_FALSE(connectTcp());
    EXPECT_EQ(StatusLine(), "Answer incorrect. Check Sensor.");
    EXPECT_FALSE(connectSerial());
    EXPECT_EQ(StatusLine(), "Answer incorrect. Check Sensor.");
}

// Each reply lags one request: the line check's own acknowledge and the
// version text still reach the requests they answer.
TEST_F(LinkTest, AOneBehindControllerConnectsWithItsOwnVersion) {
    sim::Faults f;
    f.oneBehind = true;
    faults(f);
    ASSERT_TRUE(connectTcp()) << StatusLine();
    EXPECT_EQ(std::string(szVersion), sim::Controller::defaultVersionText());
    EXPECT_EQ(lineCheck(), 5);
    EXPECT_EQ(emptyframe[0], kAcknowledge);
    ASSERT_TRUE(connectSerial());
    EXPECT_EQ(std::string(szVersion), sim::Controller::defaultVersionText());
}

// The same over the pty, request by request: test data is echoed, so each
// reply names the request it answers; all share one command word.
TEST_F(LinkTest, OverSerialEachLateReplyIsTakenForItsOwnRequest) {
    sim::Faults slow, behind;
    slow.delayMs = 550;
    behind.oneBehind = true;
    for (const sim::Faults &f : {slow, behind}) {
        // Each mode on a controller of its own: a new link owes nothing to
        // the last one's requests, so a reply still coming from those would
        // answer this link's line check.
        sim::SimThread controller;
        ASSERT_TRUE(controller.start(false, true));
        useSerial(controller.ptyPath());
        rs232con = InitRS232(1);
        ASSERT_EQ(rs232con, 1) << StatusLine();
        controller.setFaults(f);
        for (unsigned short i = 1; i <= 2; ++i) {
            unsigned short payload[PNUM] = {static_cast<unsigned short>(0x1000 + i)};
            unsigned short reply[PNUM] = {};
            ASSERT_EQ(Exchange(12, payload, reply), EXCHANGE_OK) << f.delayMs << " request " << i;
            EXPECT_EQ(reply[0], payload[0]) << f.delayMs << " request " << i;
        }
        EXPECT_GE(RepliesOwed(), 1) << "the last retry's reply is still to come";
        rs232con = InitRS232(0);
    }
}

} // namespace
