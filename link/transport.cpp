#include "link/transport.h"

#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/link_p.h"
#include "link/reconnect.h"
#include "ui/engine/engine.h"

LinkSettings linkSettings, linkSettingsOld;
int &comprotocol = linkSettings.comprotocol, &comprotocolold = linkSettingsOld.comprotocol;
int &comport = linkSettings.comport, &comportold = linkSettingsOld.comport;
short &baud = linkSettings.baud, &baudold = linkSettingsOld.baud;
char (&ipBuf)[256] = linkSettings.ipBuf, (&ipBufOld)[256] = linkSettingsOld.ipBuf;
char (&portNumStr)[32] = linkSettings.portNumStr, (&portNumStrOld)[32] = linkSettingsOld.portNumStr;
int &portNum = linkSettings.portNum, &portNumOld = linkSettingsOld.portNum;

int rs232con = 0, tcpcon = 0;
unsigned g_hconversation = 0;
volatile int rx_flag = 1;
int g_linkKind = LINK_NONE;
int g_openPort = 0;

const long kBaudRates[kBaudRateCount] = {9600, 19200, 38400, 57600, 115200};

namespace {

constexpr int kQueueSize = 4096;
constexpr double kComTimeout = 2.0;
constexpr unsigned kConnectTimeoutMs = 5000;
constexpr long kLoaderRate = 115200;
constexpr char kTcpClientTitle[] = "TCP Client";
constexpr char kServerClosed[] = "Server has closed connection!";

struct CodeText {
    int code;
    const char *text;
};

constexpr CodeText kSerialTexts[] = {
    {kSerialUnknownSystemError, "Unknown system error"},
    {kSerialInvalidPortNumber, "Invalid port number"},
    {kSerialPortNotOpen, "Port is not open"},
    {kSerialUnknownIoError, "Unknown I/0 error"},
    {kSerialNoPortFound, "No serial port found"},
    {kSerialCannotOpenPort, "Cannot open port"},
    {kSerialInvalidParameter, "Invalid parameter"},
    {kSerialTimeout, "Timeout"},
};

// Several texts end in a blank, as the operator has always seen them.
constexpr CodeText kTcpTexts[] = {
    {kTcpUnableToRegisterService, "Unable to register service"},
    {kTcpUnableToEstablishConnection, "Unable to establish connection"},
    {kTcpExistingServer, "Existing server"},
    {kTcpFailedToConnect, "Failed to connect"},
    {kTcpServerNotRegistered, "Server not registered"},
    {kTcpTooManyConversations, "Too many conversations"},
    {kTcpReadFailed, "Read failed"},
    {kTcpWriteFailed, "Write failed"},
    {kTcpInvalidParameter, "Invalid parameter"},
    {kTcpOutOfMemory, "Out of memory"},
    {kTcpTimeOut, "Time out error "},
    {kTcpNoConnectionEstablished, "No connection established "},
    {kTcpGeneralIoError, "General IO err"},
    {kTcpConnectionClosed, "Connection closed"},
    {kTcpUnableToLoadWinsock, "Unable to load WinsockDLL"},
    {kTcpIncorrectWinsockVersion, "Incorrect WinsockDLL version"},
    {kTcpNetworkNotReady, "Network subsystem not ready "},
    {kTcpConnectionsStillOpen, "Connections still open"},
    {kTcpDisconnectPending, "Disconnect pending"},
    {kTcpInfoNotAvailable, "Info not available"},
};

template <std::size_t N> const char *lookUp(const CodeText (&table)[N], int code, const char *otherwise) {
    for (const CodeText &e : table)
        if (e.code == code) return e.text;
    return otherwise;
}

void reportSerial(int code) { SayLinkFailure(SerialErrorText(code)); }
void reportTcp(int code) { SayLinkFailure(TcpErrorText(code)); }

// The failure of the connect under way; see BeginLinkAttempt.
std::string g_attemptFailure;

// Closes the serial port in use; 1 when closing failed, else 0. The port
// closed is the one that was opened, whatever the dialog shows by now.
int closeSerial() {
    if (rs232con <= 0) return 0;
    const int rc = CloseCom(g_openPort ? g_openPort : comportold);
    if (rc < 0) {
        reportSerial(rc);
        return 1;
    }
    g_openPort = 0;
    if (g_linkKind == LINK_SERIAL) g_linkKind = LINK_NONE;
    return 0;
}

// A link opened: it starts from a known state. A controller met anew (the
// dialog's connect, the loader handing the port back, the loader's own
// link) owes nothing to requests made before, and test mode, which belongs
// to the controller on a link, is not on. Only the automatic reconnect
// opens the same serial line to the same controller again: bytes received
// so far are gone, but the replies it owed are still coming and must not
// pass for answers to new requests, so they stay owed.
void startLink() {
    EndLinkBoundHolds();
    if (ReconnectAttemptRunning() && g_linkKind == LINK_SERIAL) DropReceivedBytes();
    else ResetLinkState();
}

// Opens port comport at the given rate, 8N1, with empty queues, the
// time-out and no hardware handshake; reports a failure.
bool openSerial(long rate) {
    // A port of ours left open by a connect that failed its verification
    // is let go first.
    if (rs232con <= 0 && g_openPort) {
        CloseCom(g_openPort);
        g_openPort = 0;
    }
    const int rc = OpenComConfig(comport, "", rate, 0, 8, 1, kQueueSize, kQueueSize);
    if (rc < 0) {
        reportSerial(rc);
        return false;
    }
    g_openPort = comport;
    g_linkKind = LINK_SERIAL;
    SetComTime(comport, kComTimeout);
    FlushInQ(comport);
    startLink();
    FlushOutQ(comport);
    SetCTSMode(comport, 0);
    return true;
}

} // namespace

const char *SerialErrorText(int code) { return lookUp(kSerialTexts, code, "RS-232 error!"); }

const char *TcpErrorText(int code) { return lookUp(kTcpTexts, code, "Connection to server failed"); }

int InitRS232(int mode) {
    if (mode != 0 && ExchangeRefusedWhileBusy()) return rs232con;
    short index = 1;
    long rate = kBaudRates[1];
    if (GetCtrlVal(panelInterf, INTERF_BAUD_RING, &index) >= 0 && index >= 0 && index < kBaudRateCount) {
        rate = kBaudRates[index];
    } else {
        SetCtrlVal(panelInterf, INTERF_BAUD_RING, 1);
    }
    const int closeResult = closeSerial();
    if (mode == 0) return closeResult;

    if (!openSerial(rate)) return 0;
    InstallComCallback(comport, LWRS_RECEIVE | LWRS_RXFLAG, kFrameSize, 0x55, RX_Receive_Function, nullptr);
    RememberLinkDevice(comport);
    return VerifyLink();
}

int InitRS232_PL(int mode) {
    if (mode != 0 && ExchangeRefusedWhileBusy()) return rs232con;
    const int closeResult = closeSerial();
    if (mode == 0) return closeResult;
    if (!openSerial(kLoaderRate)) return 0;
    SetXMode(comport, 1);
    return 1;
}

int InitTCP_IP(int mode) {
    if (mode != 0 && ExchangeRefusedWhileBusy()) return tcpcon;
    int closeResult = 0;
    if (tcpcon > 0 && g_hconversation != 0) {
        const int rc = DisconnectFromTCPServer(g_hconversation);
        if (rc < 0) {
            reportTcp(rc);
            closeResult = 1;
        } else {
            g_hconversation = 0;
            if (g_linkKind == LINK_TCP) g_linkKind = LINK_NONE;
        }
    }
    if (mode == 0) return closeResult;

    // A conversation left from a connect that failed its verification is
    // released first: many controllers serve one client at a time.
    if (tcpcon <= 0 && g_hconversation != 0) {
        DisconnectFromTCPServer(g_hconversation);
        g_hconversation = 0;
    }
    SetWaitCursor(1);
    const int rc = ConnectToTCPServer(&g_hconversation, static_cast<unsigned>(portNum), ipBuf, ClientTCPCB, nullptr,
                                      kConnectTimeoutMs);
    SetWaitCursor(0);
    if (rc < 0) {
        g_hconversation = 0;
        if (g_linkKind == LINK_TCP) g_linkKind = LINK_NONE;
        reportTcp(rc);
        return 0;
    }
    g_linkKind = LINK_TCP;
    startLink();
    return VerifyLink();
}

void BeginLinkAttempt() { g_attemptFailure.clear(); }

void SayLinkFailure(const char *text) {
    g_attemptFailure = text;
    SetStatus(text);
}

const std::string &LinkAttemptFailure() { return g_attemptFailure; }

void ResetLinkState() {
    ResetReplyAccounting();
    nBytesW = nBytesR = 0;
    bytesRead = 0;
    rx_flag = 1;
}

void RX_Receive_Function(int, int eventMask, void *) {
    if (eventMask & LWRS_RECEIVE) rx_flag = 1;
}

int ClientTCPCB(unsigned handle, int event, int, void *) {
    switch (event) {
    case TCP_DISCONNECT:
        // The link is released before anybody is told, so nothing that runs
        // while the message is up takes the dead conversation for a link.
        DisconnectFromTCPServer(handle);
        g_hconversation = 0;
        tcpcon = 0;
        if (g_linkKind == LINK_TCP) {
            g_linkKind = LINK_NONE;
            ResetLinkState();
            EndLinkBoundHolds();
        }
        if (reconnectAutomatically) {
            // Nobody need be at the screen (a recording left running
            // overnight): the retries start at once and the note waits for
            // no answer.
            SetStatus(kServerClosed);
            NotePopup(kTcpClientTitle, kServerClosed);
            StartReconnect();
        } else {
            MessagePopup(kTcpClientTitle, kServerClosed);
        }
        break;
    case TCP_DATAREADY: ReceiveTcpBytes(handle); break;
    default: break;
    }
    return 0;
}
