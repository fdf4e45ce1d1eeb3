// Bringing a lost link back. With the option on, a link that is given up
// (the controller fell silent, the cable was pulled, the server closed the
// connection) is opened again with growing pauses until it answers the line
// check and the version read, the operator takes over, or the option goes
// off. Nothing else is sent: parameters and loops are left to the operator.
#pragma once

// The connection dialog's "reconnect automatically": 1 = on.
extern int reconnectAutomatically;

// Starts retrying the link in use, unless the option is off or retries
// already run. The first attempt follows after the first pause.
void StartReconnect();
// Stops the retries (the operator opened the dialog, connected by hand or
// switched the option off). Says so in the status line when some ran.
void StopReconnect();
bool ReconnectActive();
// True while an attempt is scheduled: every attempt starts from one.
bool ReconnectPending();
// Back to start-up: no retries pending, the option off, the pauses 1 s and
// 30 s, no device remembered.
void ResetReconnect();
// True while an attempt opens the link (its connect may wait for seconds,
// delivering events): nothing else may open or close a link meanwhile.
bool ReconnectAttemptRunning();
// Attempts made since the retries started.
int ReconnectAttempts();

// The pauses between attempts: the first one, doubled after every failed
// attempt up to the longest. 1 s and 30 s unless changed.
void SetReconnectPauses(double first, double longest);

// The USB serial number of the serial device the link was opened on ("" when
// the system gives none): the retries look for the device by it, since a
// converter that comes back may get another device name.
void RememberLinkDevice(int port);
