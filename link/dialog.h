// The connection dialog: choosing and opening the link, and telling the
// controller to change its baud rate.
#pragma once

#include "core/outcome.h"

int CC_CMD_CONNECT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CBF_EditCommunicationProtocol(int panel, int control, int event, void *callbackData, int eventData1,
                                  int eventData2);
int CBF_StringIpAdress(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CBF_ButtonTryToConnect(int panel, int control, int event, void *callbackData, int eventData1,
                           int eventData2);
int CBF_ButtonAccept(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CBF_ButtonDiscard(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_SEND_NEW_BAUD(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_EDIT_COM_BAUDRATE(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// The "reconnect automatically" check box.
int CBF_ReconnectOption(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_NUM_COMPORT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// TRY TO CONNECT: opens the link the dialog's fields choose and checks that
// a controller answers on it. Done, or why not: another operation holds the
// link, the port or server would not open, or no controller answered (the
// text the status line showed when it failed).
Outcome TryConnection();

int ChangeBaudrate();
// Enables the main commands when a link is open, dims them otherwise.
void ApplyLinkState();

// At most this many server addresses are kept in the history.
constexpr int kAddressHistoryMax = 10;
// Shows the device the dialog's port number resolves to.
void ShowComPortDevice();
void RegisterLinkCallbacks();
