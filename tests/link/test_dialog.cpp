// The connection dialog as an operator uses it, against the simulator.
#include "tests/fixtures/program.h"

#include "link/dialog.h"
#include "sim/runner.h"
#include "ui/panels/main_ids.h"

#include <QTcpServer>

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
};

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

} // namespace
