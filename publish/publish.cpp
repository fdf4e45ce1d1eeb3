#include "publish/publish.h"

#include "core/panels.h"
#include "core/program.h"
#include "core/status.h"
#include "link/frame.h"
#include "link/transport.h"
#include "measure/data.h"
#include "publish/messages.h"
#include "recorder/recfile.h"
#include "ui/engine/engine.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/recorder_ids.h"

#include <QCryptographicHash>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

constexpr char kSection[] = "MQTT";
constexpr int kAmber = 0xFFB000;
// How often the panel and the status line learn what the connection does.
constexpr double kPollSeconds = 0.25;
// The operator switching off or changing a setting does not wait for the
// queue: what is left counts as dropped.
constexpr double kRestartSeconds = 0.0;

MqttClient g_client;

// What one publishing run holds, from the switch turned on (or a setting
// changed) to the switch turned off: its settings, its topics, what it sent
// last and what it has said once already. A new run starts from Reset().
struct PublisherRun {
    MqttSettings active;
    std::string live, status, curve; // topics
    double lastCycleSent = -1.0;
    // LiveValuesRead() when a recorder row was sent: the RUN cycle that read
    // those values is not sent a second time.
    unsigned long rowValues = ~0ul;
    int pollCall = 0;
    bool saidAway = false, saidRefused = false;
    // What is said once a run: refused messages, the queue full, no queue file.
    unsigned long saidRefusedMessages = 0, saidOverflow = 0;
    bool saidQueue = false, saidQueueFailure = false;
    // The publisher's messages of this run, for a script to repeat.
    std::vector<std::string> messages;

    void Reset() { *this = PublisherRun(); }
};
PublisherRun g_run;
// The queue's bound lives in the settings file only; the panel has no field for it.
int g_queueMB = 100;
constexpr int kMaxQueueMB = 100000;

// One queue file for each broker and topic prefix: messages queued for one
// never go to another, and a restart with the same settings finds its own.
std::string queueName(const MqttSettings &s) {
    const QByteArray key = QByteArray::fromStdString(s.host + ":" + std::to_string(s.port) + "/" + s.prefix);
    return "queue-" + QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16).toStdString();
}

std::string brokerName() { return g_run.active.host + ":" + std::to_string(g_run.active.port); }

// How the program reaches the controller, for the status message.
std::string linkText() {
    if (tcpcon > 0) return std::string("TCP/IP ") + ipBuf + ":" + portNumStr;
    if (rs232con > 0) {
        const long rate = baud >= 0 && baud < kBaudRateCount ? kBaudRates[baud] : 0;
        return "RS232 COM" + std::to_string(comport) + " " + std::to_string(rate) + " bps";
    }
    return "none";
}

std::string statusJson(const char *state) { return StatusJson(state, szVersion, linkText()); }

std::string getText(int control) {
    std::string text;
    GetCtrlVal(panelMQTT, control, &text);
    return text;
}

int getInt(int control) {
    int v = 0;
    GetCtrlVal(panelMQTT, control, &v);
    return v;
}

// A prefix names topics: not empty, no wildcards, no slash at either end.
bool usablePrefix(std::string *prefix) {
    while (!prefix->empty() && prefix->back() == '/') prefix->pop_back();
    return !prefix->empty() && prefix->front() != '/' && prefix->find_first_of("+#") == std::string::npos;
}

// A message of the publisher: in the status line (cut to fit, and the
// measuring loop's next text replaces it), whole on the publisher's panel,
// where nothing else writes, and in the list a script reads.
__attribute__((format(printf, 1, 2))) void say(const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(static_cast<std::size_t>(std::max(n, 0)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    SetStatus(text.c_str());
    SetCtrlVal(panelMQTT, MQTT_MESSAGE, text);
    g_run.messages.push_back(text);
}

std::string stateText(const MqttReport &r) {
    const std::string waiting = r.waiting > 0 ? ", " + std::to_string(r.waiting) + " waiting" : std::string();
    switch (r.state) {
    case MqttState::Connected: return "connected (MQTT " + std::string(r.protocol == 5 ? "5" : "3.1.1") + ")" + waiting;
    case MqttState::Connecting: return "connecting" + waiting;
    case MqttState::Waiting: return (r.refused ? "login refused" : "broker away") + waiting;
    case MqttState::Off: break;
    }
    return r.kept > 0 ? "off, " + std::to_string(r.kept) + " kept for the next start" : "off";
}

// The lamp beside the main panel's RECORD lamp: dark while off, green while
// connected, amber while the broker is away (or not yet reached).
void showLamp(MqttState state) {
    SetCtrlAttribute(panelMAIN, MAIN_LED_MQTT, ATTR_ON_COLOR, state == MqttState::Connected ? VAL_GREEN : kAmber);
    SetCtrlVal(panelMAIN, MAIN_LED_MQTT, state == MqttState::Off ? 0 : 1);
}

// Brings the panel up to date and says once in the status line what
// changed: the broker away, the login refused, the broker back.
// ending: publishing has just stopped; a problem not yet told is told now.
void showReport(bool ending = false) {
    const MqttReport r = g_client.report();
    SetCtrlVal(panelMQTT, MQTT_DROPPED, static_cast<int>(std::min<unsigned long>(r.dropped, INT_MAX)));
    SetCtrlVal(panelMQTT, MQTT_STATE, stateText(r));
    showLamp(r.state);
    if (r.state == MqttState::Off && !ending) return;
    if (r.refusedMessages > 0 && g_run.saidRefusedMessages == 0)
        say(kMqttRefusedMessageText, brokerName().c_str(), r.refusedTopic.c_str(), r.refusal.c_str());
    g_run.saidRefusedMessages = r.refusedMessages;
    if (r.overflowed > 0 && g_run.saidOverflow == 0) say(kMqttQueueFullText, g_run.active.queueMB);
    g_run.saidOverflow = r.overflowed;
    if (!r.queueProblem.empty() && !g_run.saidQueue) say(kMqttQueueMemoryText, r.queueProblem.c_str());
    g_run.saidQueue = g_run.saidQueue || !r.queueProblem.empty();
    if (!r.queueFailure.empty() && !g_run.saidQueueFailure) say(kMqttQueueFailedText, r.queueFailure.c_str());
    g_run.saidQueueFailure = g_run.saidQueueFailure || !r.queueFailure.empty();
    if (r.state == MqttState::Connected) {
        if (g_run.saidAway) say(kMqttBackText, brokerName().c_str());
        g_run.saidAway = g_run.saidRefused = false;
    } else if (r.refused && !g_run.saidRefused) {
        say(kMqttRefusedText, brokerName().c_str(), r.problem.c_str());
        g_run.saidRefused = g_run.saidAway = true;
    } else if (!r.problem.empty() && !g_run.saidAway) {
        say(kMqttAwayText, brokerName().c_str(), r.problem.c_str());
        g_run.saidAway = true;
    }
}

void poll(void *) {
    g_run.pollCall = 0;
    if (!g_client.running()) return;
    showReport();
    // The status the broker keeps follows the link and the controller.
    g_client.setGreeting(g_run.status, statusJson("online"));
    g_run.pollCall = PostDelayedCall(kPollSeconds, poll, nullptr);
}

void send(const std::string &topic, const std::string &payload) {
    g_client.publish(topic, payload);
}

// Forgets the run that was: its poll, what it sent and said.
void endRun() {
    if (g_run.pollCall > 0) CancelDelayedCall(g_run.pollCall);
    g_run.Reset();
}

// Settings that cannot be used: the reason in the status line, the switch off.
Outcome refuse(const std::string &text) {
    g_run.messages.clear();
    say("%s", text.c_str());
    SetCtrlVal(panelMQTT, MQTT_ON, 0);
    return Outcome::Rejected(text);
}

} // namespace

std::string MqttQueueFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? std::string() : (data + "/mqtt-queue").toStdString();
}

MqttSettings GetMqttPanel() {
    MqttSettings s;
    s.on = getInt(MQTT_ON);
    s.host = getText(MQTT_HOST);
    s.port = getInt(MQTT_PORT);
    s.tls = getInt(MQTT_TLS);
    s.caFile = getText(MQTT_CAFILE);
    s.user = getText(MQTT_USER);
    s.password = getText(MQTT_PASSWORD);
    s.remember = getInt(MQTT_REMEMBER);
    s.prefix = getText(MQTT_PREFIX);
    GetCtrlVal(panelMQTT, MQTT_RATE, &s.maxRate);
    s.queueMB = g_queueMB;
    return s;
}

void SetMqttPanel(const MqttSettings &s) {
    SetCtrlVal(panelMQTT, MQTT_ON, s.on ? 1 : 0);
    SetCtrlVal(panelMQTT, MQTT_HOST, s.host);
    SetCtrlVal(panelMQTT, MQTT_PORT, s.port);
    SetCtrlVal(panelMQTT, MQTT_TLS, s.tls ? 1 : 0);
    SetCtrlVal(panelMQTT, MQTT_CAFILE, s.caFile);
    SetCtrlVal(panelMQTT, MQTT_USER, s.user);
    SetCtrlVal(panelMQTT, MQTT_PASSWORD, s.password);
    SetCtrlVal(panelMQTT, MQTT_REMEMBER, s.remember ? 1 : 0);
    SetCtrlVal(panelMQTT, MQTT_PREFIX, s.prefix);
    SetCtrlVal(panelMQTT, MQTT_RATE, s.maxRate);
    g_queueMB = s.queueMB;
}

void ReadMqttSettings(IniText ini) {
    if (!Ini_SectionExists(ini, kSection)) return;
    MqttSettings s = GetMqttPanel();
    int port = 0;
    double rate = 0.0;
    Ini_GetInt(ini, kSection, "Publish", &s.on);
    Ini_GetStdString(ini, kSection, "Host", &s.host);
    if (Ini_GetInt(ini, kSection, "Port", &port) == 1 && port >= 1 && port <= 65535) s.port = port;
    Ini_GetInt(ini, kSection, "TLS", &s.tls);
    Ini_GetStdString(ini, kSection, "CA file", &s.caFile);
    Ini_GetStdString(ini, kSection, "User", &s.user);
    Ini_GetInt(ini, kSection, "Remember password", &s.remember);
    s.password.clear();
    if (s.remember) Ini_GetStdString(ini, kSection, "Password", &s.password);
    Ini_GetStdString(ini, kSection, "Topic prefix", &s.prefix);
    if (Ini_GetDouble(ini, kSection, "max rate", &rate) == 1 && rate >= 0.0 && rate <= 1000.0) s.maxRate = rate;
    int mb = 0;
    if (Ini_GetInt(ini, kSection, "Queue MB", &mb) == 1 && mb >= 1 && mb <= kMaxQueueMB) s.queueMB = mb;
    SetMqttPanel(s);
}

bool WriteMqttSettings(IniText ini) {
    const MqttSettings s = GetMqttPanel();
    Ini_PutInt(ini, kSection, "Publish", s.on ? 1 : 0);
    Ini_PutString(ini, kSection, "Host", s.host.c_str());
    Ini_PutInt(ini, kSection, "Port", s.port);
    Ini_PutInt(ini, kSection, "TLS", s.tls ? 1 : 0);
    Ini_PutString(ini, kSection, "CA file", s.caFile.c_str());
    Ini_PutString(ini, kSection, "User", s.user.c_str());
    Ini_PutInt(ini, kSection, "Remember password", s.remember ? 1 : 0);
    const bool secret = s.remember && !s.password.empty();
    if (secret) Ini_PutString(ini, kSection, "Password", s.password.c_str());
    Ini_PutString(ini, kSection, "Topic prefix", s.prefix.c_str());
    Ini_PutDouble(ini, kSection, "max rate", s.maxRate);
    Ini_PutInt(ini, kSection, "Queue MB", s.queueMB);
    return secret;
}

Outcome StartPublishing() {
    StopPublishing(kRestartSeconds);
    MqttSettings s = GetMqttPanel();
    if (s.host.empty()) return refuse("MQTT: enter the broker's host name first.");
    if (!usablePrefix(&s.prefix))
        return refuse("MQTT: the topic prefix must name a topic: not empty, without + or #.");
    if (s.tls && !s.caFile.empty())
        if (const std::string problem = CaFileProblem(s.caFile); !problem.empty())
            return refuse("MQTT: the CA file " + s.caFile + " cannot be used: " + problem + ".");
    endRun();
    g_run.active = s;
    g_run.live = s.prefix + "/live";
    g_run.status = s.prefix + "/status";
    g_run.curve = s.prefix + "/curve";
    SetCtrlVal(panelMQTT, MQTT_MESSAGE, std::string());

    MqttTarget target;
    target.host = s.host;
    target.port = s.port;
    target.tls = s.tls != 0;
    target.caFile = s.caFile;
    target.user = s.user;
    target.password = s.password;
    target.clientId = "qvex-scope-" + std::to_string(getpid());
    target.willTopic = g_run.status;
    target.willPayload = statusJson("offline");
    target.queueFolder = MqttQueueFolder();
    target.queueName = queueName(s);
    target.queueBytes = static_cast<std::size_t>(s.queueMB) * 1024u * 1024u;
    g_client.start(target);
    g_client.setGreeting(g_run.status, statusJson("online"));
    g_run.pollCall = PostDelayedCall(kPollSeconds, poll, nullptr);
    showReport();
    return Outcome::Done();
}

void StopPublishing(double seconds) {
    if (!g_client.running()) return;
    if (g_run.pollCall > 0) CancelDelayedCall(g_run.pollCall);
    g_run.pollCall = 0;
    g_client.stop(seconds, g_run.status, statusJson("offline"));
    showReport(true);
}

void ResetPublisher() {
    StopPublishing(kRestartSeconds);
    endRun();
}

bool Publishing() { return g_client.running(); }

MqttReport PublisherReport() { return g_client.report(); }

const std::vector<std::string> &PublisherMessages() { return g_run.messages; }

void PublishRunCycle(int cycle) {
    if (!g_client.running() || LiveValuesRead() == g_run.rowValues) return;
    if (g_run.active.maxRate > 0.0) {
        const double now = Timer();
        if (g_run.lastCycleSent >= 0.0 && now - g_run.lastCycleSent < 1.0 / g_run.active.maxRate) return;
        g_run.lastCycleSent = now;
    }
    const std::string stamp = TimeStrMs();
    send(g_run.live, LiveJson(RecordRowFields(cycle, stamp.substr(0, 8)), stamp));
}

void PublishRecordRow(int index, const std::string &time) {
    if (!g_client.running()) return;
    g_run.rowValues = LiveValuesRead();
    send(g_run.live, LiveJson(RecordRowFields(index, time.substr(0, 8)), time));
}

void PublishCurves(int samples) {
    if (g_client.running()) send(g_run.curve, CurveJson(TimeStrMs(), samples, yArrayA, yArrayB));
}

int CC_MQTT_ON(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    if (getInt(MQTT_ON)) StartPublishing();
    else StopPublishing(kRestartSeconds);
    return 0;
}

// A changed setting takes effect at once when publishing is on.
int CC_MQTT_SETTING(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT && Publishing()) StartPublishing();
    return 0;
}

int CC_MQTT_CA_SELECT(int panel, int control, int event, void *data, int, int) {
    if (event != EVENT_COMMIT) return 0;
    std::string path;
    if (FileSelectPopup(proj_dir, "", "*.pem;*.crt", "Select the broker's CA certificate", VAL_LOAD_BUTTON, 0, 0, 1,
                        0, &path) < 1)
        return 0;
    SetCtrlVal(panelMQTT, MQTT_CAFILE, path);
    return CC_MQTT_SETTING(panel, control, event, data, 0, 0);
}

// MQTT ... on the recorder panel brings the publisher's panel up; its CLOSE
// and the window's close box put it away (the settings stay as they are).
int CC_MQTT_PANEL(int panel, int control, int event, void *, int, int) {
    if (panel == panelRECORDER && control == RECORDER_MQTT_PANEL && event == EVENT_COMMIT) {
        showReport();
        DisplayPanel(panelMQTT);
    } else if (panel == panelMQTT && ((control == MQTT_CLOSE && event == EVENT_COMMIT) || event == EVENT_CLOSE)) {
        HidePanel(panelMQTT);
    }
    return 0;
}

void RegisterPublishCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_MQTT_PANEL", CC_MQTT_PANEL},
        {"CC_MQTT_ON", CC_MQTT_ON},
        {"CC_MQTT_SETTING", CC_MQTT_SETTING},
        {"CC_MQTT_CA_SELECT", CC_MQTT_CA_SELECT},
    };
    RegisterCallbacks(table);
}
