// The connection to the plant's MQTT broker, over libmosquitto: a queue the
// measuring loop fills without waiting, and a thread of its own that
// connects, sends the queue in order with QoS 1 and reconnects after
// growing pauses. Nothing here touches the panels.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

struct mosquitto;

struct MqttTarget {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string caFile; // with tls: the certificate authority the broker's certificate must come from
    std::string user, password;
    std::string clientId;
    // Published retained by the broker when the connection ends without a
    // goodbye (the program killed, the network gone).
    std::string willTopic, willPayload;
};

// What the connection does now, for the panel and the status line.
enum class MqttState { Off, Connecting, Connected, Waiting };

struct MqttReport {
    MqttState state = MqttState::Off;
    // Why the last attempt failed or the connection ended; empty while none did.
    std::string problem;
    bool refused = false;          // the broker refused the login
    unsigned long dropped = 0;     // messages thrown away because the queue was full
    unsigned long acknowledged = 0; // messages the broker confirmed
    std::size_t waiting = 0;       // queued or sent but not yet confirmed
    unsigned long connections = 0; // successful connects since start
};

class MqttClient {
  public:
    // Messages kept while the broker is away; beyond that new ones are dropped.
    static constexpr std::size_t kQueueCapacity = 1000;

    MqttClient();
    ~MqttClient();
    MqttClient(const MqttClient &) = delete;
    MqttClient &operator=(const MqttClient &) = delete;

    // Starts the connection thread and returns at once.
    void start(const MqttTarget &target);
    // Queues one QoS 1 message; never waits. False (and counted as dropped)
    // when the queue is full or the client is not started.
    bool publish(const std::string &topic, const std::string &payload, bool retained = false);
    // Replaces the retained message the client sends first on every
    // connect (the "online" status) and sends it now when connected.
    void setGreeting(const std::string &topic, const std::string &payload);
    // Sends what is queued for at most `seconds` (not after the broker
    // refused the login), then the goodbye (retained) when given, and
    // disconnects. What is left is counted as dropped.
    void stop(double seconds, const std::string &goodbyeTopic = {}, const std::string &goodbyePayload = {});
    bool running() const { return thread_.joinable(); }
    MqttReport report() const;

  private:
    struct Message {
        std::string topic, payload;
        bool retained = false;
        bool counted = true; // a value message; the greeting and goodbye are not counted or sent again
    };
    void run();
    // One connection from connect to its end; false when it never came up.
    bool connectOnce(mosquitto *mosq);
    void sendWhileConnected(mosquitto *mosq);
    void disconnect(mosquitto *mosq);
    // Waits with mutex_ held by lock until done(), a stop's end or seconds.
    template <typename Pred> void waitFor(std::unique_lock<std::mutex> &lock, double seconds, Pred done);
    // Waits up to seconds or until a stop is due; true when it is.
    bool pause(double seconds);
    bool flushedOrDue() const; // with mutex_ held

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);

    MqttTarget target_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Message> queue_;
    std::map<int, Message> inFlight_; // sent, not yet confirmed, by message id
    std::map<int, unsigned long> order_; // message id -> sequence, to put them back in order
    std::set<int> earlyAcks_;         // confirmed before publish() handed back the id
    unsigned long sequence_ = 0;
    Message greeting_, goodbye_;
    bool greetingDue_ = false;
    MqttReport report_;
    bool stopping_ = false;
    double stopDeadline_ = 0.0;
    bool connackSeen_ = false;
    int connackCode_ = 0;
    bool linkUp_ = false;
    bool disconnected_ = false;
};
