#include "link/transport.h"

#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "ui/engine/engine.h"

int comprotocol = 0, comprotocolold = 0;
int comport = 0, comportold = 0;
short baud = 1, baudold = 1;
int rs232con = 0, tcpcon = 0;
unsigned g_hconversation = 0;
char ipBuf[256], ipBufOld[256];
char portNumStr[32], portNumStrOld[32];
int portNum = 0, portNumOld = 0;
char szWriteBuf[1024];
char szReadBuf[1024];
int nBytesW = 0, nBytesR = 0;
int bytesToRead = 0, bytesRead = 0;
volatile int rx_flag = 1;

const long kBaudRates[kBaudRateCount] = {9600, 19200, 38400, 57600, 115200};

namespace {

constexpr int kQueueSize = 4096;
constexpr double kComTimeout = 2.0;
constexpr unsigned kConnectTimeoutMs = 5000;
constexpr long kLoaderRate = 115200;

void reportSerial(int code) { SetStatus(SerialErrorText(code)); }
void reportTcp(int code) { SetStatus(TcpErrorText(code)); }

// Closes the serial port in use; 1 when closing failed, else 0.
int closeSerial() {
    if (rs232con <= 0) return 0;
    int rc = CloseCom(comportold);
    if (rc < 0) {
        reportSerial(rc);
        return 1;
    }
    return 0;
}

// Opens port comport at the given rate, 8N1, with empty queues, the
// time-out and no hardware handshake; reports a failure.
bool openSerial(long rate) {
    int rc = OpenComConfig(comport, "", rate, 0, 8, 1, kQueueSize, kQueueSize);
    if (rc < 0) {
        reportSerial(rc);
        return false;
    }
    SetComTime(comport, kComTimeout);
    FlushInQ(comport);
    FlushOutQ(comport);
    SetCTSMode(comport, 0);
    return true;
}

} // namespace

const char *SerialErrorText(int code) {
    switch (code) {
    case -1: return "Unknown system error";
    case -2: return "Invalid port number";
    case -3: return "Port is not open";
    case -4: return "Unknown I/0 error";
    case -6: return "No serial port found";
    case -7: return "Cannot open port";
    case -13: return "Invalid parameter";
    case -99: return "Timeout";
    default: return "RS-232 error!";
    }
}

const char *TcpErrorText(int code) {
    static const char *const texts[] = {"Unable to register service",
                                        "Unable to establish connection",
                                        "Existing server",
                                        "Failed to connect",
                                        "Server not registered",
                                        "Too many conversations",
                                        "Read failed",
                                        "Write failed",
                                        "Invalid parameter",
                                        "Out of memory",
                                        "Time out error ",
                                        "No connection established ",
                                        "General IO err",
                                        "Connection closed",
                                        "Unable to load WinsockDLL",
                                        "Incorrect WinsockDLL version",
                                        "Network subsystem not ready ",
                                        "Connections still open",
                                        "Disconnect pending",
                                        "Info not available"};
    if (code <= -1 && code >= -20) return texts[-code - 1];
    return "Connection to server failed";
}

int InitRS232(int mode) {
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
    if (!CheckComLine()) return 0;
    if (!GetVERSIONInfo()) return 0;
    return 1;
}

int InitRS232_PL(int mode) {
    const int closeResult = closeSerial();
    if (mode == 0) return closeResult;
    if (!openSerial(kLoaderRate)) return 0;
    SetXMode(comport, 1);
    return 1;
}

int InitTCP_IP(int mode) {
    int closeResult = 0;
    if (tcpcon > 0 && g_hconversation != 0) {
        int rc = DisconnectFromTCPServer(g_hconversation);
        if (rc < 0) {
            reportTcp(rc);
            closeResult = 1;
        } else {
            g_hconversation = 0;
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
    int rc = ConnectToTCPServer(&g_hconversation, static_cast<unsigned>(portNum), ipBuf, ClientTCPCB, nullptr,
                                kConnectTimeoutMs);
    SetWaitCursor(0);
    if (rc < 0) {
        g_hconversation = 0;
        reportTcp(rc);
        return 0;
    }
    if (!CheckComLine()) return 0;
    if (!GetVERSIONInfo()) return 0;
    return 1;
}

void RX_Receive_Function(int, int eventMask, void *) {
    if (eventMask & LWRS_RECEIVE) rx_flag = 1;
}

int ClientTCPCB(unsigned handle, int event, int, void *) {
    switch (event) {
    case TCP_DISCONNECT:
        MessagePopup("TCP Client", "Server has closed connection!");
        DisconnectFromTCPServer(handle); // release what is left of the conversation
        g_hconversation = 0;
        tcpcon = 0;
        break;
    case TCP_DATAREADY:
        if (bytesToRead < 1) {
            // Nothing expected: read what came and drop it.
            char scratch[1024];
            while (ClientTCPRead(handle, scratch, sizeof scratch, 0) > 0) {
            }
            break;
        }
        // The reply may come in pieces; each lands after the previous one.
        // Reads take only what is waiting, so the program never blocks here.
        while (bytesToRead > 0) {
            bytesRead = ClientTCPRead(handle, szReadBuf + kFrameSize - bytesToRead,
                                      static_cast<unsigned>(bytesToRead), 0);
            if (bytesRead <= 0) break;
            bytesToRead -= bytesRead;
        }
        if (bytesToRead == 0) rx_flag = 1;
        break;
    default:
        break;
    }
    return 0;
}
