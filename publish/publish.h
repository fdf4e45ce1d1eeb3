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
#include <vector>

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
    int queueMB = 100;    // the queue on disk while the broker is away, at most
};

// Where the publisher keeps its queue files: the per-user data folder.
std::string MqttQueueFolder();

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
// Back to start-up: publishing stopped (what waits stays in the queue file
// for the next start) and nothing of the last run remembered.
void ResetPublisher();
MqttReport PublisherReport();
// Everything the publisher said since it last started, whole (the status
// line cuts long texts and the measuring loop overwrites them; the panel's
// message line keeps the last).
const std::vector<std::string> &PublisherMessages();

// What the loops and the recorder hand over (filled into their hooks).
void PublishRunCycle(int cycle);
void PublishRecordRow(int index, const std::string &time);
void PublishCurves(int samples);

// The status-line texts, once per event.
constexpr char kMqttRefusedText[] = "MQTT: the broker %s refused the login (%s). Check user and password.";
constexpr char kMqttAwayText[] = "MQTT: broker %s not reachable (%s); values wait in the queue.";
constexpr char kMqttBackText[] = "MQTT: publishing to %s again.";
constexpr char kMqttRefusedMessageText[] =
    "MQTT: the broker %s refused a message on %s (%s); refused messages are counted as dropped.";
constexpr char kMqttQueueFullText[] = "MQTT: the queue is full (%d MB); the oldest messages are dropped.";
constexpr char kMqttQueueMemoryText[] = "MQTT: %s; messages wait in memory and are lost at exit.";
constexpr char kMqttQueueFailedText[] = "MQTT: %s; messages that do not fit are dropped.";

int CC_MQTT_ON(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_MQTT_PANEL(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_MQTT_SETTING(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
int CC_MQTT_CA_SELECT(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

void RegisterPublishCallbacks();
