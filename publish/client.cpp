#include "publish/client.h"

#include <mosquitto.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

// Messages sent and not yet confirmed; more wait in the queue, where the
// order and the drop count stay in this client's hands.
constexpr int kWindow = 256;
// A message that finds the queue short waits this long for company: at
// wire speed the thread then wakes and the broker answers once for a batch
// instead of once a cycle, which leaves the processor to the measuring loop.
constexpr double kGatherSeconds = 0.002;
constexpr std::size_t kBatch = 64;
constexpr int kKeepAliveSeconds = 30;
// How long a connect may take until the broker has answered the login.
constexpr double kConnectSeconds = 10.0;
// Pauses between attempts: doubled after every failed one, up to the last.
constexpr double kFirstPause = 0.5;
constexpr double kLastPause = 16.0;
// After the queue: time the goodbye may take to be confirmed.
constexpr double kGoodbyeSeconds = 1.0;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::chrono::steady_clock::duration span(double seconds) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(std::max(0.0, seconds)));
}

// The connection's threads yield the processor to the measuring loop: on a
// busy machine the queue waits, the loop does not.
constexpr int kThreadNice = 10;
void yieldToTheLoop() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kThreadNice);
}

void initLibrary() {
    static const int once = mosquitto_lib_init();
    (void)once;
}

std::string describe(int rc, int savedErrno) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(savedErrno);
    if (rc == MOSQ_ERR_EAI) return "host name not found";
    if (rc == MOSQ_ERR_TLS) return "TLS handshake failed; is the broker's certificate from the CA file?";
    return mosquitto_strerror(rc);
}

} // namespace

MqttClient::MqttClient() { initLibrary(); }

MqttClient::~MqttClient() { stop(0.0); }

void MqttClient::start(const MqttTarget &target) {
    stop(0.0);
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = target;
    stopping_ = false;
    report_ = MqttReport{};
    report_.state = MqttState::Connecting;
    queue_.clear();
    thread_ = std::thread([this] { run(); });
}

bool MqttClient::publish(const std::string &topic, const std::string &payload, bool retained) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable() || stopping_ || queue_.size() >= kQueueCapacity) {
        ++report_.dropped;
        return false;
    }
    queue_.push_back({topic, payload, retained, true});
    wake_.notify_all();
    return true;
}

void MqttClient::setGreeting(const std::string &topic, const std::string &payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (greeting_.topic == topic && greeting_.payload == payload) return;
    greeting_ = {topic, payload, true, false};
    greetingDue_ = linkUp_;
    wake_.notify_all();
}

void MqttClient::stop(double seconds, const std::string &goodbyeTopic, const std::string &goodbyePayload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!thread_.joinable()) return;
        stopping_ = true;
        stopDeadline_ = now() + seconds;
        goodbye_ = {goodbyeTopic, goodbyePayload, true, false};
        wake_.notify_all();
    }
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    report_.dropped += queue_.size();
    queue_.clear();
    report_.state = MqttState::Off;
}

MqttReport MqttClient::report() const {
    std::lock_guard<std::mutex> lock(mutex_);
    MqttReport r = report_;
    r.waiting = queue_.size() + static_cast<std::size_t>(std::count_if(
                                    inFlight_.begin(), inFlight_.end(), [](const auto &m) { return m.second.counted; }));
    return r;
}

bool MqttClient::flushedOrDue() const {
    // A broker that refused the login will not take the rest either.
    return stopping_ && ((queue_.empty() && inFlight_.empty()) || now() >= stopDeadline_ || report_.refused);
}

template <typename Pred>
void MqttClient::waitFor(std::unique_lock<std::mutex> &lock, double seconds, Pred done) {
    // In short steps: a stop's deadline passes without anybody waking us.
    const double until = now() + seconds;
    while (!done() && !flushedOrDue()) {
        const double left = until - now();
        if (left <= 0.0) return;
        wake_.wait_for(lock, span(std::min(left, 0.1)));
    }
}

bool MqttClient::pause(double seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    waitFor(lock, seconds, [] { return false; });
    return flushedOrDue();
}

void MqttClient::run() {
    yieldToTheLoop();
    double pauseSeconds = kFirstPause;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (flushedOrDue()) break;
            report_.state = MqttState::Connecting;
        }
        mosquitto *mosq = mosquitto_new(target_.clientId.empty() ? nullptr : target_.clientId.c_str(), true, this);
        if (mosq) {
            if (connectOnce(mosq)) {
                pauseSeconds = kFirstPause;
                sendWhileConnected(mosq);
            }
            disconnect(mosq);
        } else {
            std::lock_guard<std::mutex> lock(mutex_);
            report_.problem = "out of memory";
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (flushedOrDue()) break;
            report_.state = MqttState::Waiting;
        }
        if (pause(pauseSeconds)) break;
        pauseSeconds = std::min(pauseSeconds * 2.0, kLastPause);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    report_.state = MqttState::Off;
}

bool MqttClient::connectOnce(mosquitto *mosq) {
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(mosq, kWindow);
    mosquitto_connect_callback_set(mosq, onConnect);
    mosquitto_disconnect_callback_set(mosq, onDisconnect);
    mosquitto_publish_callback_set(mosq, onPublish);
    auto fail = [this](const std::string &problem) {
        std::lock_guard<std::mutex> lock(mutex_);
        report_.problem = problem;
        report_.refused = false;
        return false;
    };
    if (!target_.user.empty() &&
        mosquitto_username_pw_set(mosq, target_.user.c_str(),
                                  target_.password.empty() ? nullptr : target_.password.c_str()) != MOSQ_ERR_SUCCESS)
        return fail("the user name cannot be used");
    if (target_.tls &&
        mosquitto_tls_set(mosq, target_.caFile.empty() ? nullptr : target_.caFile.c_str(),
                          target_.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                          nullptr) != MOSQ_ERR_SUCCESS)
        return fail("the CA file " + target_.caFile + " cannot be read");
    if (!target_.willTopic.empty())
        mosquitto_will_set(mosq, target_.willTopic.c_str(), static_cast<int>(target_.willPayload.size()),
                           target_.willPayload.data(), 1, true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connackSeen_ = false;
        connackCode_ = 0;
        linkUp_ = false;
        disconnected_ = false;
    }
    // The socket connects without blocking; the network thread completes
    // it (and the TLS handshake) and delivers the broker's answer.
    errno = 0;
    const int rc = mosquitto_connect_async(mosq, target_.host.c_str(), target_.port, kKeepAliveSeconds);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) return fail(describe(rc, savedErrno));
    if (mosquitto_loop_start(mosq) != MOSQ_ERR_SUCCESS) return fail("no network thread");

    std::unique_lock<std::mutex> lock(mutex_);
    waitFor(lock, kConnectSeconds, [&] { return connackSeen_ || disconnected_; });
    if (!connackSeen_) {
        report_.problem = disconnected_ ? "connection refused or lost" : "no answer";
        report_.refused = false;
        return false;
    }
    if (connackCode_ != 0) {
        report_.problem = connackCode_ == 4   ? "bad user name or password"
                          : connackCode_ == 5 ? "not authorised"
                                              : mosquitto_connack_string(connackCode_);
        report_.refused = connackCode_ == 4 || connackCode_ == 5;
        return false;
    }
    linkUp_ = true;
    greetingDue_ = !greeting_.topic.empty();
    report_.problem.clear();
    report_.refused = false;
    ++report_.connections;
    report_.state = MqttState::Connected;
    return true;
}

void MqttClient::sendWhileConnected(mosquitto *mosq) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto send = [&](const Message &m) {
        const unsigned long seq = ++sequence_;
        int mid = 0;
        lock.unlock();
        const int rc = mosquitto_publish(mosq, &mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                                         m.payload.data(), 1, m.retained);
        lock.lock();
        if (rc != MOSQ_ERR_SUCCESS) {
            linkUp_ = false;
            return false;
        }
        if (earlyAcks_.erase(mid) != 0) {
            if (m.counted) ++report_.acknowledged;
        } else {
            inFlight_[mid] = m;
            order_[mid] = seq;
        }
        return true;
    };
    bool batching = false; // sending what a gathering pause collected
    for (;;) {
        waitFor(lock, 1.0, [&] {
            return !linkUp_ || greetingDue_ || (!queue_.empty() && static_cast<int>(inFlight_.size()) < kWindow);
        });
        if (!linkUp_) return;
        if (flushedOrDue()) break;
        if (greetingDue_) {
            greetingDue_ = false;
            if (!send(greeting_)) return;
            continue;
        }
        if (queue_.empty() || static_cast<int>(inFlight_.size()) >= kWindow) continue;
        if (queue_.size() < kBatch && !batching) {
            batching = true;
            lock.unlock();
            std::this_thread::sleep_for(span(kGatherSeconds));
            lock.lock();
            continue;
        }
        batching = queue_.size() > 1; // until this batch is out
        Message m = std::move(queue_.front());
        queue_.pop_front();
        if (!send(m)) {
            queue_.push_front(std::move(m));
            return;
        }
    }
    // Stopping: the goodbye replaces the greeting the broker keeps.
    if (goodbye_.topic.empty() || !send(goodbye_)) return;
    const double until = now() + kGoodbyeSeconds;
    while (linkUp_ && !inFlight_.empty() && now() < until) wake_.wait_for(lock, span(0.05));
}

void MqttClient::disconnect(mosquitto *mosq) {
    // A clean goodbye: the broker forgets the last will.
    mosquitto_disconnect(mosq);
    mosquitto_loop_stop(mosq, false);
    mosquitto_destroy(mosq);
    std::lock_guard<std::mutex> lock(mutex_);
    // What the broker did not confirm goes out again first, in its order;
    // the broker may have it already (at least once).
    std::vector<std::pair<unsigned long, Message>> unconfirmed;
    for (auto &kv : inFlight_)
        if (kv.second.counted) unconfirmed.emplace_back(order_[kv.first], std::move(kv.second));
    std::sort(unconfirmed.begin(), unconfirmed.end(),
              [](const auto &a, const auto &b) { return a.first > b.first; });
    for (auto &u : unconfirmed) queue_.push_front(std::move(u.second));
    inFlight_.clear();
    order_.clear();
    earlyAcks_.clear();
    linkUp_ = false;
}

void MqttClient::onConnect(mosquitto *, void *self, int rc) {
    yieldToTheLoop(); // called on the network thread
    auto *c = static_cast<MqttClient *>(self);
    std::lock_guard<std::mutex> lock(c->mutex_);
    c->connackSeen_ = true;
    c->connackCode_ = rc;
    c->wake_.notify_all();
}

void MqttClient::onDisconnect(mosquitto *, void *self, int rc) {
    auto *c = static_cast<MqttClient *>(self);
    std::lock_guard<std::mutex> lock(c->mutex_);
    if (c->linkUp_ && rc != 0) c->report_.problem = "connection lost";
    c->linkUp_ = false;
    c->disconnected_ = true;
    c->wake_.notify_all();
}

void MqttClient::onPublish(mosquitto *, void *self, int mid) {
    auto *c = static_cast<MqttClient *>(self);
    std::lock_guard<std::mutex> lock(c->mutex_);
    auto it = c->inFlight_.find(mid);
    if (it == c->inFlight_.end()) {
        c->earlyAcks_.insert(mid);
    } else {
        if (it->second.counted) ++c->report_.acknowledged;
        c->inFlight_.erase(it);
        c->order_.erase(mid);
    }
    c->wake_.notify_all();
}
