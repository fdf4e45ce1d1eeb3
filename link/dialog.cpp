#include "link/dialog.h"

#include "link/link_p.h"

#include "core/groups.h"
#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/link_p.h"
#include "link/reconnect.h"
#include "link/transport.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kBaudChangeCommand = 190;

// A connection was tried since the dialog was opened.
bool g_tried = false;

void showMessage(const char *text) { SetCtrlVal(panelInterf, INTERF_MESSAGE, text); }

void dimLinkButtons(int dimmed) {
    SetCtrlAttribute(panelInterf, INTERF_SEND_BAUD, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(panelInterf, INTERF_ACCEPT, ATTR_DIMMED, dimmed);
}

std::string getText(int control) {
    std::string s;
    GetCtrlVal(panelInterf, control, &s);
    return s;
}

void copyText(char *dst, std::size_t size, const std::string &src) { std::snprintf(dst, size, "%s", src.c_str()); }

// The values the dialog shows.
LinkSettings dialogSettings() {
    LinkSettings s;
    GetCtrlVal(panelInterf, INTERF_PROTOCOL, &s.comprotocol);
    GetCtrlVal(panelInterf, INTERF_BAUD, &s.baud);
    GetCtrlVal(panelInterf, INTERF_COMPORT, &s.comport);
    copyText(s.ipBuf, sizeof s.ipBuf, getText(INTERF_ADDRESS));
    copyText(s.portNumStr, sizeof s.portNumStr, getText(INTERF_TCPPORT));
    s.portNum = std::atoi(s.portNumStr);
    return s;
}

void showSettings(const LinkSettings &s) {
    SetCtrlVal(panelInterf, INTERF_PROTOCOL, s.comprotocol);
    SetCtrlVal(panelInterf, INTERF_COMPORT, s.comport);
    SetCtrlVal(panelInterf, INTERF_BAUD, static_cast<int>(s.baud));
    SetCtrlVal(panelInterf, INTERF_ADDRESS, s.ipBuf);
    SetCtrlVal(panelInterf, INTERF_TCPPORT, s.portNumStr);
}

// A connect must not run while another exchange waits, or while a
// reconnect attempt opens the link: it would drop the conversation that one
// is on. Says so in the dialog too.
// Why the link may not be changed now ("" when it may), shown on the
// dialog: another operation holds the controller, or an exchange or an
// automatic reconnect is under way.
std::string refusedWhileBusy() {
    if (CommandRefused(Command::Connect)) {
        const std::string why = RefusalReason(Command::Connect);
        showMessage(why.c_str());
        return why;
    }
    if (ReconnectAttemptRunning()) ShowRefusal(ExchangeErrorText(EXCHANGE_BUSY));
    else if (!ExchangeRefusedWhileBusy()) return {};
    showMessage(ExchangeErrorText(EXCHANGE_BUSY));
    return ExchangeErrorText(EXCHANGE_BUSY);
}

// Shows the fields of the selected link kind and hides the others.
void showProtocolFields(int protocol) {
    const int serial = protocol == 0 ? 1 : 0;
    // The baud rate and its send command belong to the serial link alone.
    for (int id : {INTERF_COMPORT, INTERF_DEVICE, INTERF_LBL_COMPORT, INTERF_BAUD, INTERF_LBL_BAUD, INTERF_SEND_BAUD})
        SetCtrlAttribute(panelInterf, id, ATTR_VISIBLE, serial);
    for (int id : {INTERF_ADDRESS, INTERF_LBL_ADDRESS, INTERF_TCPPORT, INTERF_LBL_TCPPORT})
        SetCtrlAttribute(panelInterf, id, ATTR_VISIBLE, 1 - serial);
}

// Opens the link of the selected kind, first closing a link of the other
// kind that is open; returns the new link flag.
int openSelectedLink() {
    if (comprotocol == 0) {
        tcpcon = InitTCP_IP(0);
        return rs232con = InitRS232(1);
    }
    rs232con = InitRS232(0);
    return tcpcon = InitTCP_IP(1);
}

} // namespace

void ApplyLinkState() {
    if (rs232con < 1 && tcpcon < 1) {
        set_main_buttons(0, 0, 0);
        set_test_panel_controls(0, -2);
    } else {
        set_main_buttons(1, 1, send_get_status);
        set_test_panel_controls(1, -2);
    }
}

void ShowComPortDevice() {
    int port = 0;
    GetCtrlVal(panelInterf, INTERF_COMPORT, &port);
    const std::string dev = GetComPortDevice(port);
    SetCtrlVal(panelInterf, INTERF_DEVICE, dev.empty() ? std::string("(no device)") : dev);
}

int CC_CMD_CONNECT(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    StopReconnect(); // the operator takes the link in hand
    SetCtrlVal(panelInterf, INTERF_RECONNECT, reconnectAutomatically);
    stop_flag = 1;
    showMessage(rs232con < 1 && tcpcon < 1 ? "NO CONNECTION ESTABLISHED" : "CONNECTION ESTABLISHED");
    linkSettingsOld = dialogSettings();
    g_tried = false;
    dimLinkButtons(1);
    showProtocolFields(comprotocolold);
    ShowComPortDevice();
    InstallPopup(panelInterf);
    return 0;
}

// Only the fields change: the link in use keeps its kind until a
// connection is tried.
int CBF_EditCommunicationProtocol(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int protocol = 0;
    GetCtrlVal(panelInterf, INTERF_PROTOCOL, &protocol);
    showProtocolFields(protocol);
    return 0;
}

int CBF_StringIpAdress(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    dimLinkButtons(1);
    const std::string text = getText(INTERF_ADDRESS);
    copyText(ipBuf, sizeof ipBuf, text);
    int index = -1;
    Combo_GetIndex(panelInterf, INTERF_ADDRESS, text, &index);
    if (index >= 0) Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, index, 1);
    Combo_InsertComboItem(panelInterf, INTERF_ADDRESS, 0, text);
    int count = 0;
    Combo_GetNumItems(panelInterf, INTERF_ADDRESS, &count);
    if (count > kAddressHistoryMax) Combo_DeleteComboItem(panelInterf, INTERF_ADDRESS, kAddressHistoryMax, -1);
    return 0;
}

Outcome TryConnection() {
    if (const std::string why = refusedWhileBusy(); !why.empty()) return Outcome::Refused(why);
    StopReconnect();
    showMessage("TRYING TO CONNECT");
    ProcessSystemEvents(); // let the message paint before the link work starts
    linkSettings = dialogSettings();
    g_tried = true;
    BeginLinkAttempt();
    const int flag = openSelectedLink();
    dimLinkButtons(flag == 1 ? 0 : 1);
    showMessage(flag == 1 ? "CONNECTING SUCCEEDED" : "CONNECTING FAILED");
    if (flag == 1) return Outcome::Done();
    return Outcome::Failed(LinkAttemptFailure().empty() ? "CONNECTING FAILED" : LinkAttemptFailure());
}

int CBF_ButtonTryToConnect(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    TryConnection();
    return 0;
}

int CBF_ButtonAccept(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    ApplyLinkState();
    RemovePopup(panelInterf);
    return 0;
}

// Back to the settings found when the dialog was opened. The link is
// reconnected with them when a try changed it, or when none works; a link
// nothing was tried on since is still the one found, and stays.
int CBF_ButtonDiscard(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const bool reconnect = g_tried || (rs232con < 1 && tcpcon < 1);
    if (reconnect && !refusedWhileBusy().empty()) return 0;
    showSettings(linkSettingsOld);
    linkSettings = linkSettingsOld;
    showProtocolFields(comprotocol);
    ShowComPortDevice();
    const int flag = reconnect ? openSelectedLink() : rs232con > 0 || tcpcon > 0 ? 1 : 0;
    showMessage(flag == 1 ? "CONNECTING SUCCEEDED" : "CONNECTING FAILED");
    ApplyLinkState();
    RemovePopup(panelInterf);
    return 0;
}

int CC_SEND_NEW_BAUD(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (!refusedWhileBusy().empty()) return 0;
    GetCtrlVal(panelInterf, INTERF_BAUD, &baud);
    const int changed = ChangeBaudrate();
    dimLinkButtons(1);
    showMessage(changed == 1 ? "BAUDRATE CHANGED. PLEASE RE-CONNECT!" : "BAUDRATE CHANGE FAILED. PLEASE RE-CONNECT!");
    return 0;
}

int CC_EDIT_COM_BAUDRATE(int, int, int, void *, int, int) { return 0; }

int CBF_ReconnectOption(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    GetCtrlVal(panelInterf, INTERF_RECONNECT, &reconnectAutomatically);
    if (!reconnectAutomatically) StopReconnect();
    return 0;
}

int CC_NUM_COMPORT(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) ShowComPortDevice();
    return 0;
}

int ChangeBaudrate() {
    unsigned short request[PNUM] = {};
    unsigned short reply[PNUM] = {};
    request[0] = static_cast<unsigned short>(baud);
    switch (Exchange(kBaudChangeCommand, request, reply)) {
    case EXCHANGE_BUSY: return 0; // the status line says why
    case EXCHANGE_LOST:
        SetStatus("Error! No connection found.");
        set_main_buttons(0, 0, 0);
        return 0;
    case EXCHANGE_BAD_ECHO: return 0;
    case EXCHANGE_OK: break;
    }
    if (reply[0] == kAcknowledge) {
        SetStatus("Baudrate changed!");
        set_main_buttons(0, 0, 0);
        return 1;
    }
    SetStatus("Answer incorrect. Check Sensor.");
    return 0;
}

void RegisterLinkCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_CMD_CONNECT", CC_CMD_CONNECT},
        {"CBF_EditCommunicationProtocol", CBF_EditCommunicationProtocol},
        {"CBF_StringIpAdress", CBF_StringIpAdress},
        {"CBF_ButtonTryToConnect", CBF_ButtonTryToConnect},
        {"CBF_ButtonAccept", CBF_ButtonAccept},
        {"CBF_ButtonDiscard", CBF_ButtonDiscard},
        {"CC_SEND_NEW_BAUD", CC_SEND_NEW_BAUD},
        {"CC_EDIT_COM_BAUDRATE", CC_EDIT_COM_BAUDRATE},
        {"CC_NUM_COMPORT", CC_NUM_COMPORT},
        {"CBF_ReconnectOption", CBF_ReconnectOption},
    };
    RegisterCallbacks(table);
}
