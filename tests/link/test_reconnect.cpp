// A lost link that comes back by itself when the operator asked for it:
// through the connection dialog and the main panel, against simulators that
// stop, fall silent and come back.
#include "tests/fixtures/locale.h"
#include "tests/fixtures/program.h"

#include "link/reconnect.h"
#include "sim/runner.h"
#include "ui/panels/main_ids.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <set>

namespace {

class ReconnectTest : public ProgramTest {
  protected:
    std::unique_ptr<sim::SimThread> sim = std::make_unique<sim::SimThread>();

    void SetUp() override {
        ProgramTest::SetUp();
        SetReconnectPauses(0.05, 0.2);
        Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, 0, -1);
        SetCtrlVal(panelInterf, INTERF_BAUD, 1);
    }
    void TearDown() override {
        RemovePopup(panelInterf);
        SetComPortSerialNumber(firstPty, "");
        SetComPortSerialNumber(secondPty, "");
        ProgramTest::TearDown();
    }

    // Opens the dialog, sets the option as the operator would, connects and
    // accepts.
    void connectByDialog(bool tcp, bool reconnect) {
        OperateCtrl(panelMAIN, MAIN_CONNECT);
        OperateCtrl(panelInterf, INTERF_RECONNECT, reconnect ? 1 : 0);
        if (tcp) {
            OperateCtrl(panelInterf, INTERF_PROTOCOL, 1);
            OperateCtrl(panelInterf, INTERF_ADDRESS, std::string("127.0.0.1"));
            OperateCtrl(panelInterf, INTERF_TCPPORT, std::to_string(sim->tcpPort()));
        } else {
            OperateCtrl(panelInterf, INTERF_PROTOCOL, 0);
            OperateCtrl(panelInterf, INTERF_COMPORT, 3);
        }
        OperateCtrl(panelInterf, INTERF_TRY);
        OperateCtrl(panelInterf, INTERF_ACCEPT);
        ASSERT_EQ(tcp ? tcpcon : rs232con, 1);
        ASSERT_FALSE(dimmed(MAIN_CMD_TRIGGER));
    }
    bool dimmed(int id) {
        int v = -1;
        GetCtrlAttribute(panelMAIN, id, ATTR_DIMMED, &v);
        return v != 0;
    }
    // The command words the simulator received since the last clear.
    std::set<int> commandsReceived(const sim::SimThread &s) {
        std::set<int> words;
        for (const auto &r : s.requestLog()) words.insert(r[2] * 256 + r[3]);
        return words;
    }
    // The operator's one-shot command: over a dead link it gives the link up.
    void triggerFails() {
        OperateCtrl(panelMAIN, MAIN_CMD_TRIGGER);
        EXPECT_TRUE(dimmed(MAIN_CMD_TRIGGER));
    }
    // How the last pop-up with this title was shown ("message", "note"...).
    std::string kindShown(const std::string &title) const {
        for (auto it = popups->shown.rbegin(); it != popups->shown.rend(); ++it)
            if (it->title == title) return it->kind;
        return "";
    }
    bool restored() { return !ReconnectActive() && StatusLine().rfind("Connection restored", 0) == 0; }
    void expectBackWithGroupsEnabled() {
        EXPECT_FALSE(dimmed(MAIN_CMD_TRIGGER));
        EXPECT_FALSE(dimmed(MAIN_CMD_RUN));
        OperateCtrl(panelMAIN, MAIN_CMD_TRIGGER);
        EXPECT_NE(StatusLine().find("OK."), std::string::npos) << StatusLine();
    }

    std::string firstPty, secondPty;
};

const std::set<int> kCheckAndVersion = {kLineCheckCommand, kVersionCommand};

// Keeps a pty's number from being given to another pty while the test runs:
// when its simulator goes, its path vanishes, but a test program running at
// the same time must not get that number for a pty of its own, which the
// reconnect would then open and find a controller on.
class PtyNumberHeld {
  public:
    explicit PtyNumberHeld(const std::string &path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~PtyNumberHeld() {
        if (fd_ >= 0) ::close(fd_);
    }
    PtyNumberHeld(const PtyNumberHeld &) = delete;
    PtyNumberHeld &operator=(const PtyNumberHeld &) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_;
};

TEST_F(ReconnectTest, TcpServerThatClosesIsReconnectedWithOnlyLineCheckAndVersion) {
    SetReconnectPauses(0.3, 0.3); // time to take the fault away before the first attempt
    ASSERT_TRUE(sim->start());
    connectByDialog(true, true);
    sim->clearRequestLog();
    sim::Faults cut;
    cut.disconnectAfter = 1;
    sim->setFaults(cut);
    OperateCtrl(panelMAIN, MAIN_CMD_TRIGGER); // answered, then the server closes
    ASSERT_TRUE(WaitUntil([] { return ReconnectActive(); }));
    EXPECT_EQ(popups->lastMessage("TCP Client"), "Server has closed connection!");
    EXPECT_EQ(kindShown("TCP Client"), "note"); // it waits for no answer
    sim->setFaults(sim::Faults{});
    sim->clearRequestLog();
    ASSERT_TRUE(WaitUntil([this] { return restored(); }, 5.0)) << StatusLine();
    EXPECT_EQ(commandsReceived(*sim), kCheckAndVersion);
    EXPECT_EQ(tcpcon, 1);
    expectBackWithGroupsEnabled();
}

// A message that must be answered (a modal dialog) holds its caller until
// somebody answers it; here nobody does for three seconds. The wait is the
// absent operator, not a guess at how long something takes.
class AbsentOperator : public ScriptedPopups {
  public:
    int modalMessages = 0;
    int message(const std::string &title, const std::string &text) override {
        ++modalMessages;
        WaitUntil([] { return false; }, 3.0);
        return ScriptedPopups::message(title, text);
    }
};

// A controller that goes away and is back on the same port a moment later,
// while the program records overnight with nobody at the screen: the link
// comes back by itself, with only line checks and version reads.
TEST_F(ReconnectTest, ServerBackOnTheSamePortIsReconnectedWhileNobodyIsAtTheScreen) {
    ASSERT_TRUE(sim->start());
    const quint16 port = sim->tcpPort();
    connectByDialog(true, true);
    popups.reset();
    auto absent = std::make_unique<AbsentOperator>();
    sim.reset(); // the server goes away ...
    sim = std::make_unique<sim::SimThread>();
    ASSERT_TRUE(sim->start(true, false, port)); // ... and is back at once
    const double t0 = Timer();
    ASSERT_TRUE(WaitUntil([this] { return restored(); }, 2.5)) << StatusLine();
    EXPECT_LT(Timer() - t0, 2.5);
    EXPECT_EQ(absent->modalMessages, 0);
    EXPECT_EQ(commandsReceived(*sim), kCheckAndVersion);
    absent.reset();
    popups = std::make_unique<ScriptedPopups>();
    expectBackWithGroupsEnabled();
}

TEST_F(ReconnectTest, TcpServerGoneForAWhileIsRetriedWithGrowingPausesUntilItIsBack) {
    // Something that sets the C library's locale again behind the program's
    // back must not bring a decimal comma into the status line.
    ASSERT_LOCALE_INSTALLED(kCommaLocale);
    const ProcessLocale comma(LC_NUMERIC, kCommaLocale);
    ASSERT_TRUE(comma.ok());
    ASSERT_TRUE(sim->start());
    const quint16 port = sim->tcpPort();
    connectByDialog(true, true);
    sim.reset(); // the server goes away
    ASSERT_TRUE(WaitUntil([] { return ReconnectActive() && ReconnectAttempts() >= 3; }, 5.0)) << StatusLine();
    EXPECT_TRUE(dimmed(MAIN_CMD_TRIGGER));
    EXPECT_TRUE(std::regex_search(StatusLine(), std::regex("^Reconnecting \\(attempt [0-9]+\\) failed \\(.*\\)\\. "
                                                           "Next attempt in 0\\.(05|1|2) s\\.$")))
        << StatusLine();
    // The pauses grow: 0.05, 0.1, 0.2, 0.2 s ... so five attempts take a while.
    const double t0 = Timer();
    const int before = ReconnectAttempts();
    ASSERT_TRUE(WaitUntil([&] { return ReconnectAttempts() >= before + 2; }, 5.0));
    EXPECT_GE(Timer() - t0, 0.2);

    sim = std::make_unique<sim::SimThread>();
    ASSERT_TRUE(sim->start(true, false, port));
    ASSERT_TRUE(WaitUntil([this] { return restored(); }, 5.0)) << StatusLine();
    EXPECT_EQ(commandsReceived(*sim), kCheckAndVersion);
    expectBackWithGroupsEnabled();
}

TEST_F(ReconnectTest, OptionOffGivesUpAsBeforeAndSwitchingItOffStopsRetries) {
    ASSERT_TRUE(sim->start());
    connectByDialog(true, false);
    sim.reset();
    ASSERT_TRUE(WaitUntil([this] { return !popups->lastMessage("TCP Client").empty(); }));
    EXPECT_EQ(kindShown("TCP Client"), "message"); // without retries the operator must hear of it
    EXPECT_FALSE(ReconnectActive());
    EXPECT_FALSE(ReconnectPending()) << "no attempt can come";
    EXPECT_EQ(StatusLine().find("Reconnecting"), std::string::npos) << StatusLine();

    // The option switched on and off again in the dialog: nothing retries.
    OperateCtrl(panelMAIN, MAIN_CONNECT);
    OperateCtrl(panelInterf, INTERF_RECONNECT, 1);
    EXPECT_EQ(reconnectAutomatically, 1);
    OperateCtrl(panelInterf, INTERF_RECONNECT, 0);
    EXPECT_EQ(reconnectAutomatically, 0);
    OperateCtrl(panelInterf, INTERF_ACCEPT);
    EXPECT_FALSE(ReconnectActive());
    EXPECT_FALSE(ReconnectPending()) << "no attempt can come";
}

TEST_F(ReconnectTest, OpeningTheDialogStopsTheRetries) {
    ASSERT_TRUE(sim->start());
    connectByDialog(true, true);
    sim.reset();
    ASSERT_TRUE(WaitUntil([] { return ReconnectActive() && ReconnectAttempts() >= 1; }, 5.0));
    OperateCtrl(panelMAIN, MAIN_CONNECT);
    EXPECT_FALSE(ReconnectActive());
    EXPECT_EQ(StatusLine(), "Reconnecting stopped.");
    int shown = 0;
    GetCtrlVal(panelInterf, INTERF_RECONNECT, &shown);
    EXPECT_EQ(shown, 1); // the option itself stays on
    EXPECT_FALSE(ReconnectPending()) << "no further attempt can come";
}

// A pty that disappears and comes back under another path, found again
// under the same port number once the port's mapping names it.
TEST_F(ReconnectTest, SilentPtyThatComesBackElsewhereIsFoundUnderItsPortNumber) {
    ASSERT_TRUE(sim->start(false, true));
    firstPty = sim->ptyPath().toStdString();
    SetComPortDevice(3, firstPty);
    connectByDialog(false, true);
    sim::Faults silent;
    silent.dropAll = true;
    sim->setFaults(silent);
    triggerFails(); // the controller falls silent: the link is given up
    ASSERT_TRUE(ReconnectActive());

    auto next = std::make_unique<sim::SimThread>();
    ASSERT_TRUE(next->start(false, true));
    secondPty = next->ptyPath().toStdString();
    const PtyNumberHeld firstNumber(firstPty);
    ASSERT_TRUE(firstNumber.held());
    sim.reset(); // the first device vanishes
    ASSERT_TRUE(WaitUntil([] { return ReconnectAttempts() >= 2; }, 15.0)) << StatusLine();
    EXPECT_NE(StatusLine().find("failed (No serial port found)"), std::string::npos) << StatusLine();
    SetComPortDevice(3, secondPty);
    ASSERT_TRUE(WaitUntil([this] { return restored(); }, 5.0)) << StatusLine();
    EXPECT_EQ(commandsReceived(*next), kCheckAndVersion);
    EXPECT_EQ(comport, 3);
    sim = std::move(next);
    expectBackWithGroupsEnabled();
}

// A USB converter that comes back as another device, at another port
// number, is found again by its serial number.
TEST_F(ReconnectTest, ConverterThatComesBackUnderAnotherNameIsFoundBySerialNumber) {
    ASSERT_TRUE(sim->start(false, true));
    firstPty = sim->ptyPath().toStdString();
    SetComPortDevice(3, firstPty);
    SetComPortSerialNumber(firstPty, "FT4711");
    connectByDialog(false, true);

    auto next = std::make_unique<sim::SimThread>();
    ASSERT_TRUE(next->start(false, true));
    secondPty = next->ptyPath().toStdString();
    SetComPortDevice(5, secondPty);
    SetComPortSerialNumber(secondPty, "FT4711");
    next->clearRequestLog();
    const PtyNumberHeld firstNumber(firstPty);
    ASSERT_TRUE(firstNumber.held());
    sim.reset(); // unplugged: the old device is gone, the new one is there
    triggerFails();
    ASSERT_TRUE(WaitUntil([this] { return restored(); }, 5.0)) << StatusLine();
    EXPECT_EQ(comport, 5);
    int shown = 0;
    GetCtrlVal(panelInterf, INTERF_COMPORT, &shown);
    EXPECT_EQ(shown, 5);
    EXPECT_EQ(commandsReceived(*next), kCheckAndVersion);
    sim = std::move(next);
    expectBackWithGroupsEnabled();
}

} // namespace
