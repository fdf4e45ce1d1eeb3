#include "link/reconnect.h"

#include "core/panels.h"
#include "core/status.h"
#include "link/dialog.h"
#include "link/frame.h"
#include "link/link_p.h"
#include "link/transport.h"
#include "ui/engine/engine.h"
#include "ui/engine/numbers.h"
#include "ui/panels/main_ids.h"

#include <algorithm>
#include <string>

int reconnectAutomatically = 0;

namespace {

constexpr double kBusyRetry = 0.2; // an exchange still waits: look again soon

double g_firstPause = 1.0;
double g_longestPause = 30.0;

bool g_active = false;
bool g_attemptRunning = false;
int g_call = 0; // the pending delayed call, 0 = none
int g_attempts = 0;
double g_pause = 1.0;
std::string g_deviceSerial;

void attempt(void *);

void schedule(double seconds) { g_call = PostDelayedCall(seconds, attempt, nullptr); }

// The serial port to open again: the one whose device reports the serial
// number the link was opened with, else the same number as before.
void redetectSerialPort() {
    const int found = FindComPortBySerialNumber(g_deviceSerial);
    if (found <= 0 || found == comport) return;
    comport = found;
    SetCtrlVal(panelInterf, INTERF_COMPORT, found);
}

// One attempt over the link kind last chosen; 1 when the link answered.
int reopenLink() {
    if (comprotocol == 0) {
        rs232con = InitRS232(0); // lets go of the device, so a vanished one is seen as gone
        redetectSerialPort();
        return rs232con = InitRS232(1);
    }
    return tcpcon = InitTCP_IP(1);
}

void attempt(void *) {
    g_call = 0;
    if (!g_active) return;
    if (ExchangeBusy()) {
        schedule(kBusyRetry);
        return;
    }
    ++g_attempts;
    SetStatusF("Reconnecting (attempt %d) ...", g_attempts);
    ProcessSystemEvents(); // let the status line paint before the link work starts
    g_attemptRunning = true;
    BeginLinkAttempt();
    const int flag = reopenLink();
    g_attemptRunning = false;
    if (!g_active) return; // the operator took over meanwhile
    if (flag == 1) {
        g_active = false;
        ApplyLinkState();
        SetStatusF("Connection restored (attempt %d). %s", g_attempts, szVersionShown);
        return;
    }
    const std::string why = LinkAttemptFailure().empty() ? std::string("Error! No connection found.") : LinkAttemptFailure();
    SetStatusF("Reconnecting (attempt %d) failed (%s). Next attempt in %s s.", g_attempts, why.c_str(),
               FormatShort(g_pause).c_str());
    schedule(g_pause);
    g_pause = std::min(g_pause * 2.0, g_longestPause);
}

} // namespace

void StartReconnect() {
    if (!reconnectAutomatically || g_active) return;
    g_active = true;
    g_attempts = 0;
    g_pause = g_firstPause;
    // A connection the server closed is no link any more: its commands go dim.
    if (rs232con < 1 && tcpcon < 1) ApplyLinkState();
    schedule(g_pause);
    g_pause = std::min(g_pause * 2.0, g_longestPause);
}

void StopReconnect() {
    if (!g_active) return;
    g_active = false;
    if (g_call) CancelDelayedCall(g_call);
    g_call = 0;
    if (!g_attemptRunning) SetStatus("Reconnecting stopped.");
}

bool ReconnectActive() { return g_active; }

bool ReconnectPending() { return g_call != 0; }

bool ReconnectAttemptRunning() { return g_attemptRunning; }

int ReconnectAttempts() { return g_attempts; }

void SetReconnectPauses(double first, double longest) {
    g_firstPause = first;
    g_longestPause = std::max(first, longest);
}

void RememberLinkDevice(int port) { g_deviceSerial = GetComPortSerialNumber(port); }

void ResetReconnect() {
    if (g_call) CancelDelayedCall(g_call);
    g_call = 0;
    g_active = g_attemptRunning = false;
    g_attempts = 0;
    g_firstPause = 1.0;
    g_longestPause = 30.0;
    g_pause = g_firstPause;
    g_deviceSerial.clear();
    reconnectAutomatically = 0;
}
