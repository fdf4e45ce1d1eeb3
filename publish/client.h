// The connection to the plant's MQTT broker, over libmosquitto: a hand-over
// queue the measuring loop fills without waiting, and a thread of its own
// that keeps every message in the queue on disk until the broker confirmed
// it, connects (MQTT 5, or 3.1.1 for an older broker), sends the queue in
// order with QoS 1 and reconnects after short pauses. Nothing here touches
// the panels.
#pragma once

#include "publish/store.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct mosquitto;
struct mqtt5__property;

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
    // The queue on disk: its folder ("" keeps it in memory), its name and
    // its bound in bytes.
    std::string queueFolder, queueName;
    std::size_t queueBytes = MqttStore::kDefaultBytes;
};

// Why a CA file cannot serve TLS ("" when it can): a folder, not a regular
// file, unreadable, or without a PEM certificate. Never waits (a FIFO is
// refused, not opened for good).
std::string CaFileProblem(const std::string &path);

// What the connection does now, for the panel and the status line.
enum class MqttState { Off, Connecting, Connected, Waiting };

struct MqttReport {
    MqttState state = MqttState::Off;
    // Why the last attempt failed or the connection ended; empty while none did.
    std::string problem;
    bool refused = false;          // the broker refused the login
    unsigned long dropped = 0;     // messages lost: the queue full, or refused by the broker
    unsigned long overflowed = 0;  // of those, the oldest pushed out of the full queue
    unsigned long refusedMessages = 0; // of those, refused one by one by the broker
    std::string refusal;           // the broker's reason for the first refused message, and its topic
    std::string refusedTopic;
    unsigned long acknowledged = 0; // messages the broker confirmed
    std::size_t waiting = 0;       // queued or sent but not yet confirmed
    std::size_t kept = 0;          // after a stop: left in the queue file for the next start
    unsigned long connections = 0; // successful connects since start
    int protocol = 0;              // 5 or 4 (3.1.1) once connected
    std::string queueFile;         // the queue on disk; empty while it is in memory
    std::string queueProblem;      // why the queue is not on disk
    std::string queueFailure;      // why the queue file stopped taking messages (a full disk)
};

class MqttClient {
  public:
    // Messages handed over and not yet in the queue; beyond that the oldest
    // of them go (the queue takes them within milliseconds).
    static constexpr std::size_t kHandOverCapacity = 100000;

    MqttClient();
    ~MqttClient();
    MqttClient(const MqttClient &) = delete;
    MqttClient &operator=(const MqttClient &) = delete;

    // Starts the connection thread and returns at once.
    void start(const MqttTarget &target);
    // Queues one QoS 1 message; never waits. False (and counted as dropped)
    // when the client is not started.
    bool publish(const std::string &topic, const std::string &payload, bool retained = false);
    // Replaces the retained message the client sends first on every
    // connect (the "online" status) and sends it now when connected.
    void setGreeting(const std::string &topic, const std::string &payload);
    // Sends what is queued for at most `seconds` (not after the broker
    // refused the login, and not at all while the broker is away and the
    // queue is on disk), then the goodbye (retained) when given, and
    // disconnects. What is left stays in the queue file for the next start
    // (kept), or without one is counted as dropped.
    void stop(double seconds, const std::string &goodbyeTopic = {}, const std::string &goodbyePayload = {});
    bool running() const { return thread_.joinable(); }
    MqttReport report() const;

  private:
    struct Sent {
        std::int64_t id = 0; // in the queue; 0 for the greeting and the goodbye
        std::string topic;
    };
    struct Ack {
        int mid = 0, reason = 0;
    };
    enum class Attempt { Up, Failed, OlderProtocol };
    void run();
    Attempt connectOnce(mosquitto *mosq, int protocol);
    void sendWhileConnected(mosquitto *mosq);
    void disconnect(mosquitto *mosq);
    // With mutex_ held by lock: moves handed-over messages into the queue
    // and takes confirmed ones out, with the mutex released meanwhile.
    void persist(std::unique_lock<std::mutex> &lock);
    // Counts a confirmation or refusal (with mutex_ held).
    void settle(const Sent &sent, int reason);
    // Waits with mutex_ held by lock until done(), a stop's end or seconds.
    template <typename Pred> void waitFor(std::unique_lock<std::mutex> &lock, double seconds, Pred done);
    // Waits up to seconds or until a stop is due; true when it is.
    bool pause(double seconds);
    bool flushedOrDue() const; // with mutex_ held
    std::size_t unconfirmed() const; // with mutex_ held

    static void onConnect(mosquitto *, void *self, int rc, int flags, const struct mqtt5__property *);
    static void onDisconnect(mosquitto *, void *self, int rc, const struct mqtt5__property *);
    static void onPublish(mosquitto *, void *self, int mid, int reason, const struct mqtt5__property *);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    MqttTarget target_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<QueuedMessage> handedOver_;
    MqttStore store_;          // the connection thread's alone
    std::size_t stored_ = 0;   // messages in the store, for report()
    std::pair<std::size_t, std::size_t> moving_; // into the store, out of it: while persist() writes
    std::int64_t storedUpTo_ = 0; // the newest id in the store
    std::int64_t sentUpTo_ = 0;   // the newest id sent on this connection
    std::vector<std::int64_t> done_; // confirmed or refused, still in the store
    std::map<int, Sent> inFlight_;   // sent, not yet confirmed, by message id
    std::map<int, int> earlyAcks_;   // message id -> reason, confirmed before publish() returned it
    QueuedMessage greeting_, goodbye_;
    bool greetingDue_ = false;
    MqttReport report_;
    bool stopping_ = false;
    double stopDeadline_ = 0.0;
    bool connackSeen_ = false;
    int connackCode_ = 0;
    bool linkUp_ = false;
    bool disconnected_ = false;
    bool triedOnce_ = false;  // an attempt to connect has ended (up or not)
    std::string tlsProblem_;  // what the TLS layer said during this attempt
};
