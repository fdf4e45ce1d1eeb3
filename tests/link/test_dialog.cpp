// The connection dialog as an operator uses it, against the simulator.
#include "tests/fixtures/program.h"

#include "link/dialog.h"
#include "sim/runner.h"
#include "sim/server.h"
#include "ui/panels/main_ids.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>
#include <functional>

namespace {

class DialogTest : public ProgramTest {
  protected:
    sim::SimThread sim;
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(sim.start(true, true));
        SetComPortDevice(3, sim.ptyPath().toStdString());
        Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, 0, -1);
        SetCtrlVal(panelInterf, INTERF_PROTOCOL, 0);
        SetCtrlVal(panelInterf, INTERF_COMPORT, 3);
        SetCtrlVal(panelInterf, INTERF_BAUD, 1);
        SetCtrlVal(panelInterf, INTERF_TCPPORT, std::to_string(sim.tcpPort()));
        SetCtrlVal(panelInterf, INTERF_ADDRESS, "127.0.0.1");
    }
    void TearDown() override {
        RemovePopup(panelInterf);
        ProgramTest::TearDown();
    }
    std::string message() {
        std::string s;
        GetCtrlVal(panelInterf, INTERF_MESSAGE, &s);
        return s;
    }
    int attr(int id, int attribute) {
        int v = -1;
        GetCtrlAttribute(panelInterf, id, attribute, &v);
        return v;
    }
    bool dialogVisible() {
        int v = 0;
        GetPanelAttribute(panelInterf, ATTR_VISIBLE, &v);
        return v != 0;
    }
    std::vector<std::string> history() { return AddressHistory(); }
    void openDialog() { OperateCtrl(panelMAIN, MAIN_CONNECT); }
    void chooseTcp() {
        OperateCtrl(panelInterf, INTERF_PROTOCOL, 1);
        OperateCtrl(panelInterf, INTERF_ADDRESS, std::string("127.0.0.1"));
    }
    void connectTcpAndAccept() {
        openDialog();
        chooseTcp();
        OperateCtrl(panelInterf, INTERF_TRY);
        OperateCtrl(panelInterf, INTERF_ACCEPT);
        ASSERT_EQ(tcpcon, 1);
    }
    // A one-shot command over whatever link is in force.
    std::string trigger() {
        OperateCtrl(panelMAIN, MAIN_CMD_TRIGGER);
        return StatusLine();
    }
    int mainAttr(int id, int attribute) {
        int v = -1;
        GetCtrlAttribute(panelMAIN, id, attribute, &v);
        return v;
    }
};

constexpr char kBusy[] = "Busy! The sensor is still answering another request.";

TEST_F(DialogTest, TcpConnectAcceptAndTheFieldsOfEachProtocol) {
    openDialog();
    EXPECT_TRUE(dialogVisible());
    EXPECT_EQ(message(), "NO CONNECTION ESTABLISHED");
    EXPECT_EQ(attr(INTERF_ACCEPT, ATTR_DIMMED), 1);
    EXPECT_EQ(attr(INTERF_SEND_BAUD, ATTR_DIMMED), 1);

    chooseTcp();
    EXPECT_EQ(attr(INTERF_ADDRESS, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(INTERF_TCPPORT, ATTR_VISIBLE), 1);
    EXPECT_EQ(attr(INTERF_COMPORT, ATTR_VISIBLE), 0);
    EXPECT_EQ(attr(INTERF_BAUD, ATTR_VISIBLE), 0);
    EXPECT_EQ(attr(INTERF_SEND_BAUD, ATTR_VISIBLE), 0) << "goes with the baud rate";

    OperateCtrl(panelInterf, INTERF_TRY);
    EXPECT_EQ(message(), "CONNECTING SUCCEEDED");
    EXPECT_EQ(tcpcon, 1);
    EXPECT_EQ(StatusLine(), std::string(szVersion));
    EXPECT_EQ(attr(INTERF_ACCEPT, ATTR_DIMMED), 0);
    OperateCtrl(panelInterf, INTERF_ACCEPT);
    EXPECT_FALSE(dialogVisible());
    EXPECT_EQ(tcpcon, 1);

    // Opened again with a link: it says so, and closing the window keeps it.
    openDialog();
    EXPECT_EQ(message(), "CONNECTION ESTABLISHED");
    OperateClosePanel(panelInterf);
    EXPECT_FALSE(dialogVisible());
    EXPECT_EQ(tcpcon, 1);
}

TEST_F(DialogTest, AddressHistoryIsNewestFirstWithoutDuplicatesAndAtMostTen) {
    openDialog();
    OperateCtrl(panelInterf, INTERF_PROTOCOL, 1);
    for (int i = 1; i <= 10; ++i) OperateCtrl(panelInterf, INTERF_ADDRESS, "127.0.1." + std::to_string(i));
    ASSERT_EQ(history().size(), 10u);
    EXPECT_EQ(history().front(), "127.0.1.10");
    EXPECT_EQ(history().back(), "127.0.1.1");

    OperateCtrl(panelInterf, INTERF_ADDRESS, std::string("127.0.1.8")); // third from the top
    ASSERT_EQ(history().size(), 10u);
    EXPECT_EQ(history()[0], "127.0.1.8");
    EXPECT_EQ(history()[1], "127.0.1.10");
    EXPECT_EQ(history()[2], "127.0.1.9");

    OperateCtrl(panelInterf, INTERF_ADDRESS, std::string("127.0.1.11")); // an eleventh
    ASSERT_EQ(history().size(), 10u);
    EXPECT_EQ(history()[0], "127.0.1.11");
    EXPECT_EQ(history().back(), "127.0.1.2");
    EXPECT_EQ(std::string(ipBuf), "127.0.1.11");
}

TEST_F(DialogTest, SwitchingToTcpClosesTheSerialPortEvenWhenTcpFails) {
    openDialog();
    OperateCtrl(panelInterf, INTERF_TRY);
    ASSERT_EQ(rs232con, 1);
    OperateCtrl(panelInterf, INTERF_ACCEPT);

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const std::string closedPort = std::to_string(probe.serverPort());
    probe.close();
    openDialog();
    chooseTcp();
    SetCtrlVal(panelInterf, INTERF_TCPPORT, closedPort);
    OperateCtrl(panelInterf, INTERF_TRY);
    EXPECT_EQ(message(), "CONNECTING FAILED");
    EXPECT_EQ(rs232con, 0);
    EXPECT_EQ(tcpcon, 0);
    EXPECT_EQ(GetInQLen(3), -3) << "the serial port was closed";
    EXPECT_EQ(StatusLine(), "Failed to connect");
    EXPECT_EQ(attr(INTERF_ACCEPT, ATTR_DIMMED), 1);
}

TEST_F(DialogTest, DiscardAfterAFailedTryReconnectsTheOldSettings) {
    openDialog();
    chooseTcp();
    OperateCtrl(panelInterf, INTERF_TRY);
    OperateCtrl(panelInterf, INTERF_ACCEPT);
    ASSERT_EQ(tcpcon, 1);

    openDialog();
    SetCtrlVal(panelInterf, INTERF_TCPPORT, "1");
    OperateCtrl(panelInterf, INTERF_TRY);
    EXPECT_EQ(tcpcon, 0);
    OperateCtrl(panelInterf, INTERF_DISCARD);
    EXPECT_FALSE(dialogVisible());
    EXPECT_EQ(tcpcon, 1);
    EXPECT_EQ(portNum, sim.tcpPort());
    std::string port;
    GetCtrlVal(panelInterf, INTERF_TCPPORT, &port);
    EXPECT_EQ(port, std::to_string(sim.tcpPort()));
    EXPECT_EQ(message(), "CONNECTING SUCCEEDED");
}

TEST_F(DialogTest, BaudRateChangeIsSentAsTheRingIndexAndAsksForAReconnect) {
    openDialog();
    OperateCtrl(panelInterf, INTERF_TRY);
    ASSERT_EQ(rs232con, 1);
    OperateCtrl(panelInterf, INTERF_BAUD, 4);
    OperateCtrl(panelInterf, INTERF_SEND_BAUD);
    EXPECT_EQ(message(), "BAUDRATE CHANGED. PLEASE RE-CONNECT!");
    EXPECT_EQ(StatusLine(), "Baudrate changed!");
    EXPECT_EQ(sim.baudIndex(), 4);
    EXPECT_EQ(attr(INTERF_ACCEPT, ATTR_DIMMED), 1);
    EXPECT_EQ(attr(INTERF_SEND_BAUD, ATTR_DIMMED), 1);

    // The controller refuses an index it does not know.
    baud = 9;
    EXPECT_EQ(ChangeBaudrate(), 0);
    EXPECT_EQ(StatusLine(), "Answer incorrect. Check Sensor.");

    // Without a controller behind the link.
    rs232con = InitRS232(0);
    SetCtrlAttribute(panelInterf, INTERF_SEND_BAUD, ATTR_DIMMED, 0);
    const double t0 = Timer();
    OperateCtrl(panelInterf, INTERF_SEND_BAUD);
    EXPECT_EQ(message(), "BAUDRATE CHANGE FAILED. PLEASE RE-CONNECT!");
    EXPECT_EQ(StatusLine(), "Error! No connection found.");
    EXPECT_LT(Timer() - t0, 1.0);
}

TEST_F(DialogTest, PortNumberShowsItsDevice) {
    openDialog();
    std::string device;
    GetCtrlVal(panelInterf, INTERF_DEVICE, &device);
    EXPECT_EQ(device, sim.ptyPath().toStdString());
    OperateCtrl(panelInterf, INTERF_COMPORT, 200);
    GetCtrlVal(panelInterf, INTERF_DEVICE, &device);
    EXPECT_EQ(device, "(no device)");
}

TEST_F(DialogTest, ChoosingAnotherProtocolWithoutATryLeavesTheWorkingLinkWorking) {
    connectTcpAndAccept();
    const struct {
        const char *how;
        std::function<void()> leave;
    } ways[] = {
        {"window closed", [] { OperateClosePanel(panelInterf); }},
        {"discard", [] { OperateCtrl(panelInterf, INTERF_DISCARD); }},
        {"accept", [] { OperateCtrl(panelInterf, INTERF_ACCEPT); }},
    };
    for (const auto &way : ways) {
        openDialog();
        // Accept needs a connection tried first: the same TCP link again.
        if (std::string(way.how) == "accept") {
            chooseTcp();
            OperateCtrl(panelInterf, INTERF_TRY);
        }
        const int before = sim.requestsReceived();
        OperateCtrl(panelInterf, INTERF_PROTOCOL, 0); // RS-232 chosen, never tried
        way.leave();
        EXPECT_FALSE(dialogVisible()) << way.how;
        EXPECT_EQ(tcpcon, 1) << way.how;
        EXPECT_EQ(trigger(), "Aquiring normalisation base ... OK.") << way.how;
        EXPECT_EQ(mainAttr(MAIN_CMD_RUN, ATTR_DIMMED), 0) << way.how;
        EXPECT_EQ(sim.requestsReceived(), before + 1) << way.how << ": nothing but the command, no reconnect";
    }
}

TEST_F(DialogTest, TryToConnectWhileRunWaitsIsRefusedAndTheLinkKept) {
    connectTcpAndAccept();
    int reconnects = 0;
    QObject::connect(sim.simulator(), &sim::Simulator::tcpClientConnected, [&] { ++reconnects; });
    sim::Faults slow;
    slow.delayMs = 300;
    sim.setFaults(slow);
    std::string statusAfterTry, messageAfterTry, statusAfterBaud;
    int baudIndexAfter = -1;
    QTimer::singleShot(100, [&] {
        openDialog(); // ends the loop after its present request
        OperateCtrl(panelInterf, INTERF_TRY);
        statusAfterTry = StatusLine();
        messageAfterTry = message();
        // A baud change is refused the same way, and says so.
        SetCtrlAttribute(panelInterf, INTERF_SEND_BAUD, ATTR_DIMMED, 0);
        OperateCtrl(panelInterf, INTERF_BAUD, 4);
        OperateCtrl(panelInterf, INTERF_SEND_BAUD);
        statusAfterBaud = StatusLine();
        baudIndexAfter = sim.baudIndex();
        OperateClosePanel(panelInterf);
    });
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    EXPECT_EQ(statusAfterTry, kBusy);
    EXPECT_EQ(messageAfterTry, kBusy);
    EXPECT_EQ(statusAfterBaud, kBusy);
    EXPECT_EQ(baudIndexAfter, 1);
    EXPECT_EQ(reconnects, 0) << "the good conversation was not dropped";
    EXPECT_EQ(tcpcon, 1);
    EXPECT_NE(StatusLine(), "Error! Connection lost.");
    sim.setFaults(sim::Faults{});
    EXPECT_EQ(trigger(), "Aquiring normalisation base ... OK.");
}

TEST_F(DialogTest, ALineCheckRefusedWhileAnotherExchangeWaitsSaysBusy) {
    connectTcpAndAccept();
    sim::Faults slow;
    slow.delayMs = 200;
    sim.setFaults(slow);
    int nested = -1;
    std::string status;
    QTimer::singleShot(50, [&] {
        nested = CheckComLine();
        status = StatusLine();
    });
    EXPECT_EQ(CheckComLine(), 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(status, kBusy);
}

TEST_F(DialogTest, ShutdownClosesThePortThatIsOpen) {
    SetComPortDevice(4, sim.ptyPath().toStdString());
    openDialog(); // shows port 3
    SetCtrlVal(panelInterf, INTERF_COMPORT, 4);
    OperateCtrl(panelInterf, INTERF_TRY);
    ASSERT_EQ(rs232con, 1);
    OperateCtrl(panelInterf, INTERF_ACCEPT);
    ASSERT_GE(GetInQLen(4), 0);

    OperateClosePanel(panelMAIN);
    EXPECT_EQ(rs232con, 0);
    EXPECT_EQ(GetInQLen(4), -3) << "port 4 was closed";
    EXPECT_NE(StatusLine(), "Port is not open");
}

// Controllers that answer a reconnect with nothing a controller would say.
TEST_F(DialogTest, AFailedReconnectNoLongerNamesThePreviousController) {
    sim.setVersionText("Q-VEX-MOD7-ARC Old unit 4711");
    connectTcpAndAccept();
    ASSERT_EQ(StatusLine(), "Q-VEX-MOD7-ARC Old unit 4711");

    sim::SimThread wrong;
    ASSERT_TRUE(wrong.start(true, false));
    QTcpServer flood;
    ASSERT_TRUE(flood.listen(QHostAddress::LocalHost, 0));
    QTcpSocket *peer = nullptr;
    QTimer pump;
    QObject::connect(&flood, &QTcpServer::newConnection, [&] { peer = flood.nextPendingConnection(); });
    QObject::connect(&pump, &QTimer::timeout, [&] {
        if (peer) peer->write(QByteArray(4096, 'A'));
    });
    pump.start(5);

    const struct {
        const char *how;
        sim::Faults faults;
        quint16 port;
    } cases[] = {
        {"wrong sync word", [] { sim::Faults f; f.swapSync = true; return f; }(), wrong.tcpPort()},
        {"garbage", [] { sim::Faults f; f.garbage = true; return f; }(), wrong.tcpPort()},
        {"endless stream", sim::Faults{}, flood.serverPort()},
    };
    for (const auto &c : cases) {
        wrong.setFaults(c.faults);
        openDialog();
        SetCtrlVal(panelInterf, INTERF_TCPPORT, std::to_string(c.port));
        const double t0 = Timer();
        OperateCtrl(panelInterf, INTERF_TRY);
        EXPECT_LT(Timer() - t0, 5.0) << c.how;
        EXPECT_EQ(message(), "CONNECTING FAILED") << c.how;
        EXPECT_EQ(tcpcon, 0) << c.how;
        EXPECT_EQ(StatusLine(), "Error! No sensor answered.") << c.how;
        OperateClosePanel(panelInterf);
    }
}

TEST_F(DialogTest, AVersionWithControlBytesOrQuotesConnectsAndShowsItsPrintablePart) {
    // Control bytes, a quote or a byte beyond ASCII are still the
    // controller's own version: the link is made and the status line shows
    // what of the text is printable.
    const std::pair<std::string, std::string> cases[] = {
        {"\x1b[2JQ-VEX\a V1.0\r\n", "[2JQ-VEX V1.0"},
        {"Q-VEX \"V1.0\"\t\xB5", "Q-VEX \"V1.0\""},
    };
    for (const auto &[raw, shown] : cases) {
        sim.setVersionText(raw);
        openDialog();
        chooseTcp();
        OperateCtrl(panelInterf, INTERF_TRY);
        EXPECT_EQ(message(), "CONNECTING SUCCEEDED") << shown;
        EXPECT_EQ(StatusLine(), shown);
        EXPECT_EQ(std::string(szVersion), raw);
        EXPECT_EQ(tcpcon, 1);
        OperateClosePanel(panelInterf);
    }
    sim.setVersionText("Q-VEX-MOD7-ARC V1.0, 2 channels");
    openDialog();
    chooseTcp();
    OperateCtrl(panelInterf, INTERF_TRY);
    EXPECT_EQ(tcpcon, 1);
    EXPECT_EQ(StatusLine(), "Q-VEX-MOD7-ARC V1.0, 2 channels");
}

} // namespace
