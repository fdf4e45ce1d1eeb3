// Live values to the plant: the MQTT publisher panel (MQTT ... on the recorder panel), its [MQTT]
// section of the settings file, and what the measuring loops and the
// recorder hand over, turned into messages on PREFIX/live, PREFIX/status and
// PREFIX/curve. Handing over never waits: a broker that is away or refuses
// costs the loop nothing but the messages it had to drop.
#pragma once

#include "core/outcome.h"

#include "ini/inifile.h"
#include "publish/client.h"

#include <string>

struct MqttSettings {
    int on = 0;
    std::string host;
    int port = 1883;
    int tls = 0;
    std::string caFile;
    std::string user, password;
    int remember = 0; // the password goes into the settings file
    std::string prefix = "qvex";
    double maxRate = 0.0; // live messages per second at most; 0 = every cycle
};

// The settings as the panel shows them.
MqttSettings GetMqttPanel();
void SetMqttPanel(const MqttSettings &settings);

// The [MQTT] section into the panel; a file without one leaves the panel
// as it is. The password is read only when "remember" was ticked.
void ReadMqttSettings(IniText ini);
// The panel into the [MQTT] section; the password only with "remember".
// True when the file then holds the password and must be the owner's alone.
bool WriteMqttSettings(IniText ini);

// (Re)starts publishing with the panel's settings. Settings that cannot be
// used are Rejected: the reason goes on the status line and the switch
// turns off.
Outcome StartPublishing();
// Sends what is queued for at most `seconds`, says "offline" and ends the
// connection.
void StopPublishing(double seconds);
bool Publishing();
MqttReport PublisherReport();

// What the loops and the recorder hand over (filled into their hooks).
void PublishRunCycle(int cycle);
void PublishRecordRow(int index, const std::string &time);
void PublishCurves(int samples);

// The status-line texts, once per event.
constexpr char kMqttRefusedText[] = "MQTT: the broker %s refused the login (%s). Check user and password.";
constexpr char kMqttAwayText[] = "MQTT: broker %s not reachable (%s); values are kept while room lasts.";
constexpr char kMqttBackText[] = "MQTT: publishing to %s again.";

int CC_MQTT_ON(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_MQTT_PANEL(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_MQTT_SETTING(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_MQTT_CA_SELECT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterPublishCallbacks();
