// Serial and TCP links to the controller: opening, closing, the settings
// the connection dialog chooses, and the reply-complete flag.
#pragma once

// What the connection dialog chooses. The links use linkSettings; the
// dialog keeps the values it found when it was opened in linkSettingsOld
// and restores them whole on discard.
struct LinkSettings {
    int comprotocol = 0; // 0 = RS-232, 1 = TCP/IP
    int comport = 0;     // serial port number, 1-based
    short baud = 1;      // index into kBaudRates
    char ipBuf[256] = {};
    char portNumStr[32] = {};
    int portNum = 0;
};
extern LinkSettings linkSettings, linkSettingsOld;

// The names the program knows them by.
extern int &comprotocol, &comprotocolold;
extern int &comport, &comportold;
extern short &baud, &baudold;
extern char (&ipBuf)[256], (&ipBufOld)[256];
extern char (&portNumStr)[32], (&portNumStrOld)[32];
extern int &portNum, &portNumOld;

extern int rs232con, tcpcon;     // 1 = open and verified
extern unsigned g_hconversation; // TCP conversation, 0 = none
// Set by the serial notification when a reply's worth of bytes waits, and
// when the awaited reply has been taken; the loops clear it when they end.
extern volatile int rx_flag;

constexpr int kBaudRateCount = 5;
extern const long kBaudRates[kBaudRateCount]; // 9600 ... 115200
constexpr int INTERF_BAUD_RING = 2;

// Result codes of the engine's serial operations (texts: SerialErrorText).
enum SerialError {
    kSerialUnknownSystemError = -1,
    kSerialInvalidPortNumber = -2,
    kSerialPortNotOpen = -3,
    kSerialUnknownIoError = -4,
    kSerialNoPortFound = -6,
    kSerialCannotOpenPort = -7,
    kSerialInvalidParameter = -13,
    kSerialTimeout = -99,
};
// Result codes of the engine's TCP operations (texts: TcpErrorText).
enum TcpError {
    kTcpUnableToRegisterService = -1,
    kTcpUnableToEstablishConnection = -2,
    kTcpExistingServer = -3,
    kTcpFailedToConnect = -4,
    kTcpServerNotRegistered = -5,
    kTcpTooManyConversations = -6,
    kTcpReadFailed = -7,
    kTcpWriteFailed = -8,
    kTcpInvalidParameter = -9,
    kTcpOutOfMemory = -10,
    kTcpTimeOut = -11,
    kTcpNoConnectionEstablished = -12,
    kTcpGeneralIoError = -13,
    kTcpConnectionClosed = -14,
    kTcpUnableToLoadWinsock = -15,
    kTcpIncorrectWinsockVersion = -16,
    kTcpNetworkNotReady = -17,
    kTcpConnectionsStillOpen = -18,
    kTcpDisconnectPending = -19,
    kTcpInfoNotAvailable = -20,
};
// The status-line texts for those codes.
const char *SerialErrorText(int code);
const char *TcpErrorText(int code);

// Opening (mode 1, verified by the line check and the version read) and
// closing (mode 0) the links; each returns the new value of its flag.
// Opening while an exchange waits is refused: the link stays as it is and
// the flag keeps its value.
int InitRS232(int mode);
int InitRS232_PL(int mode);
int InitTCP_IP(int mode);
// Forgets what the link's exchanges left behind: replies owed to earlier
// requests, bytes received and not taken, the byte counters. A new link, the
// port handed back by the loader and a link given up start from here.
void ResetLinkState();

void RX_Receive_Function(int port, int eventMask, void *callbackData);
int ClientTCPCB(unsigned handle, int event, int error, void *callbackData);
