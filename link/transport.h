// Serial and TCP links to the controller: opening, closing, the transmit and
// receive buffers, and the reply-complete flag the frame exchange waits on.
#pragma once

extern int comprotocol, comprotocolold; // 0 = RS-232, 1 = TCP/IP
extern int comport, comportold;         // serial port number, 1-based
extern short baud, baudold;             // index into kBaudRates
extern int rs232con, tcpcon;            // 1 = open and verified
extern unsigned g_hconversation;        // TCP conversation, 0 = none
extern char ipBuf[256], ipBufOld[256];
extern char portNumStr[32], portNumStrOld[32];
extern int portNum, portNumOld;
extern char szWriteBuf[1024];
extern char szReadBuf[1024];
extern int nBytesW, nBytesR;
extern int bytesToRead, bytesRead;
extern volatile int rx_flag;

constexpr int kBaudRateCount = 5;
extern const long kBaudRates[kBaudRateCount]; // 9600 ... 115200
constexpr int INTERF_BAUD_RING = 2;

// Texts for the result codes of the serial and TCP operations.
const char *SerialErrorText(int code);
const char *TcpErrorText(int code);

int InitRS232(int mode);
int InitRS232_PL(int mode);
int InitTCP_IP(int mode);
void RX_Receive_Function(int port, int eventMask, void *callbackData);
int ClientTCPCB(unsigned handle, int event, int error, void *callbackData);
