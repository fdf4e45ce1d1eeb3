#include "publish/client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// Messages sent and not yet confirmed; more wait in the queue, where the
// order and the drop count stay in this client's hands.
constexpr int kWindow = 256;
// A message that finds the hand-over short waits this long for company: at
// wire speed the thread then wakes, writes the queue and hears the broker
// once for a batch instead of once a cycle, which leaves the processor to
// the measuring loop.
constexpr double kGatherSeconds = 0.002;
constexpr std::size_t kBatch = 64;
constexpr int kKeepAliveSeconds = 30;
// How long a connect may take until the broker has answered the login.
constexpr double kConnectSeconds = 10.0;
// Pauses between attempts while the broker is away: short, so that the
// queue goes out within a second or two of the broker's return; a refused
// login waits longer, doubling up to the last, so as not to hammer a broker
// that has said no.
constexpr double kFirstPause = 0.25;
constexpr double kAwayPause = 1.0;
constexpr double kRefusedPause = 16.0;
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
    return mosquitto_strerror(rc);
}

// The broker's certificate as the TLS layer judged it, in the operator's terms.
std::string certificateProblem(long verify, bool caFileGiven) {
    switch (verify) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
    // What libmosquitto's own host name check leaves behind: it refuses a
    // certificate the chain check passed without naming a reason.
    case X509_V_ERR_UNSPECIFIED:
        return "TLS: the broker's certificate is for another host name";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return caFileGiven ? "TLS: the broker's certificate is not from the CA file's authority"
                           : "TLS: the broker's certificate is from no authority this system trusts; give its CA file";
    case X509_V_ERR_CERT_HAS_EXPIRED: return "TLS: the broker's certificate has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID: return "TLS: the broker's certificate is not valid yet";
    default: return std::string("TLS: broker's certificate refused: ") + X509_verify_cert_error_string(verify);
    }
}

} // namespace

std::string CaFileProblem(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? "a folder, not a certificate file" : "not a regular file";
    }
    constexpr std::size_t kMaxBytes = 4u << 20; // far beyond any bundle of authorities
    std::string text;
    char buffer[16384];
    ssize_t n = 0;
    while (text.size() <= kMaxBytes && (n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const int readErrno = errno;
    ::close(fd);
    if (n < 0) return std::strerror(readErrno);
    BIO *bio = BIO_new_mem_buf(text.data(), static_cast<int>(std::min(text.size(), kMaxBytes)));
    X509 *cert = bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr;
    const bool holds = cert != nullptr;
    X509_free(cert);
    BIO_free(bio);
    ERR_clear_error();
    return holds ? "" : "holds no PEM certificate";
}

MqttClient::MqttClient() { initLibrary(); }

MqttClient::~MqttClient() { stop(0.0); }

void MqttClient::start(const MqttTarget &target) {
    stop(0.0);
    std::lock_guard<std::mutex> lock(mutex_);
    target_ = target;
    stopping_ = false;
    report_ = MqttReport{};
    report_.state = MqttState::Connecting;
    handedOver_.clear();
    done_.clear();
    stored_ = 0;
    storedUpTo_ = sentUpTo_ = 0;
    triedOnce_ = false;
    thread_ = std::thread([this] { run(); });
}

bool MqttClient::publish(const std::string &topic, const std::string &payload, bool retained) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable() || stopping_) {
        ++report_.dropped;
        return false;
    }
    if (handedOver_.size() >= kHandOverCapacity) {
        handedOver_.erase(handedOver_.begin());
        ++report_.dropped;
        ++report_.overflowed;
    }
    handedOver_.push_back({0, topic, payload, retained});
    if (handedOver_.size() == 1 || handedOver_.size() == kBatch) wake_.notify_all();
    return true;
}

void MqttClient::setGreeting(const std::string &topic, const std::string &payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (greeting_.topic == topic && greeting_.payload == payload) return;
    greeting_ = {0, topic, payload, true};
    greetingDue_ = linkUp_;
    wake_.notify_all();
}

void MqttClient::stop(double seconds, const std::string &goodbyeTopic, const std::string &goodbyePayload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!thread_.joinable()) return;
        stopping_ = true;
        stopDeadline_ = now() + seconds;
        goodbye_ = {0, goodbyeTopic, goodbyePayload, true};
        wake_.notify_all();
    }
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    report_.state = MqttState::Off;
    report_.waiting = 0;
}

std::size_t MqttClient::unconfirmed() const {
    // A confirmation may name a message the full queue already pushed out.
    const std::size_t in = handedOver_.size() + moving_.first + stored_;
    const std::size_t out = done_.size() + moving_.second;
    return in > out ? in - out : 0;
}

MqttReport MqttClient::report() const {
    std::lock_guard<std::mutex> lock(mutex_);
    MqttReport r = report_;
    if (thread_.joinable()) r.waiting = unconfirmed();
    return r;
}

bool MqttClient::flushedOrDue() const {
    if (!stopping_) return false;
    // A broker that refused the login will not take the rest either; one
    // that is away gets the queue file at the next start.
    const bool away = !linkUp_ && triedOnce_ && store_.onDisk();
    return unconfirmed() == 0 || now() >= stopDeadline_ || report_.refused || away;
}

void MqttClient::persist(std::unique_lock<std::mutex> &lock) {
    if (handedOver_.empty() && done_.empty()) return;
    std::vector<QueuedMessage> incoming;
    incoming.swap(handedOver_);
    std::vector<std::int64_t> done;
    done.swap(done_);
    // Counted while the mutex is released, so that nobody sees an empty
    // queue while messages are on their way into the file.
    moving_ = {incoming.size(), done.size()};
    lock.unlock();
    store_.remove(done);
    unsigned long failed = 0;
    std::string problem;
    const unsigned long pushedOut = store_.append(incoming, &failed, &problem);
    const std::size_t stored = store_.count();
    const std::int64_t upTo = store_.lastId();
    lock.lock();
    moving_ = {0, 0};
    stored_ = stored;
    storedUpTo_ = upTo;
    report_.dropped += pushedOut + failed;
    report_.overflowed += pushedOut;
    if (failed > 0 && report_.queueFailure.empty())
        report_.queueFailure = "the queue file " + store_.path() + " takes no more (" + problem + ")";
}

template <typename Pred>
void MqttClient::waitFor(std::unique_lock<std::mutex> &lock, double seconds, Pred done) {
    // In short steps: a stop's deadline passes without anybody waking us.
    const double until = now() + seconds;
    for (;;) {
        persist(lock);
        if (done() || flushedOrDue()) return;
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
    {
        std::string problem;
        const bool onDisk = !target_.queueFolder.empty() &&
                            store_.open(target_.queueFolder, target_.queueName, target_.queueBytes, &problem);
        if (!onDisk) store_.open("", "", target_.queueBytes, &problem); // in memory, with its bound
        std::lock_guard<std::mutex> lock(mutex_);
        stored_ = store_.count();
        storedUpTo_ = store_.lastId();
        report_.queueFile = store_.path();
        report_.queueProblem = onDisk || target_.queueFolder.empty() ? std::string() : problem;
    }
    double pauseSeconds = kFirstPause;
    int protocol = MQTT_PROTOCOL_V5;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (flushedOrDue()) break;
            report_.state = MqttState::Connecting;
        }
        mosquitto *mosq = mosquitto_new(target_.clientId.empty() ? nullptr : target_.clientId.c_str(), true, this);
        Attempt attempt = Attempt::Failed;
        if (mosq) {
            attempt = connectOnce(mosq, protocol);
            if (attempt == Attempt::Up) {
                pauseSeconds = kFirstPause;
                sendWhileConnected(mosq);
            }
            disconnect(mosq);
        } else {
            std::lock_guard<std::mutex> lock(mutex_);
            report_.problem = "out of memory";
        }
        // A broker that does not speak MQTT 5 is asked again at once in 3.1.1.
        if (attempt == Attempt::OlderProtocol && protocol == MQTT_PROTOCOL_V5) {
            protocol = MQTT_PROTOCOL_V311;
            continue;
        }
        bool refused = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            triedOnce_ = true;
            if (flushedOrDue()) break;
            report_.state = MqttState::Waiting;
            refused = report_.refused;
        }
        if (pause(pauseSeconds)) break;
        pauseSeconds = std::min(pauseSeconds * 2.0, refused ? kRefusedPause : kAwayPause);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    persist(lock);
    // What the broker has not confirmed stays in the queue file for the
    // next start; a queue in memory ends here.
    if (store_.onDisk()) report_.kept = store_.count();
    else report_.dropped += store_.count();
    store_.close();
    stored_ = 0;
    report_.state = MqttState::Off;
}

MqttClient::Attempt MqttClient::connectOnce(mosquitto *mosq, int protocol) {
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, protocol);
    mosquitto_max_inflight_messages_set(mosq, kWindow);
    mosquitto_connect_v5_callback_set(mosq, onConnect);
    mosquitto_disconnect_v5_callback_set(mosq, onDisconnect);
    mosquitto_publish_v5_callback_set(mosq, onPublish);
    mosquitto_log_callback_set(mosq, onLog);
    auto fail = [this](const std::string &problem) {
        std::lock_guard<std::mutex> lock(mutex_);
        report_.problem = problem;
        report_.refused = false;
        return Attempt::Failed;
    };
    if (!target_.user.empty() &&
        mosquitto_username_pw_set(mosq, target_.user.c_str(),
                                  target_.password.empty() ? nullptr : target_.password.c_str()) != MOSQ_ERR_SUCCESS)
        return fail("the user name cannot be used");
    if (target_.tls &&
        mosquitto_tls_set(mosq, target_.caFile.empty() ? nullptr : target_.caFile.c_str(),
                          target_.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                          nullptr) != MOSQ_ERR_SUCCESS)
        return fail("TLS: the CA file " + target_.caFile + " cannot be read");
    if (!target_.willTopic.empty())
        mosquitto_will_set(mosq, target_.willTopic.c_str(), static_cast<int>(target_.willPayload.size()),
                           target_.willPayload.data(), 1, true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connackSeen_ = false;
        connackCode_ = 0;
        linkUp_ = false;
        disconnected_ = false;
        tlsProblem_.clear();
    }
    // The socket connects without blocking; the network thread completes
    // it (and the TLS handshake) and delivers the broker's answer.
    errno = 0;
    const int rc = mosquitto_connect_async(mosq, target_.host.c_str(), target_.port, kKeepAliveSeconds);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        // The handshake may fail at once, with the TLS layer's word said already.
        std::unique_lock<std::mutex> lock(mutex_);
        const std::string tls = tlsProblem_;
        lock.unlock();
        return fail(tls.empty() ? describe(rc, savedErrno) : tls);
    }
    if (mosquitto_loop_start(mosq) != MOSQ_ERR_SUCCESS) return fail("no network thread");

    std::unique_lock<std::mutex> lock(mutex_);
    // A handshake the TLS layer refused ends the attempt at once: the
    // broker will not answer it.
    waitFor(lock, kConnectSeconds, [&] { return connackSeen_ || disconnected_ || !tlsProblem_.empty(); });
    if (!connackSeen_) {
        report_.problem = !tlsProblem_.empty() ? tlsProblem_
                          : disconnected_     ? "connection refused or lost"
                          : target_.tls       ? "no answer; a broker without TLS on this port?"
                                              : "no answer";
        report_.refused = false;
        return Attempt::Failed;
    }
    if (connackCode_ == CONNACK_REFUSED_PROTOCOL_VERSION || connackCode_ == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION)
        return Attempt::OlderProtocol;
    if (connackCode_ != 0) {
        const bool badLogin = connackCode_ == CONNACK_REFUSED_BAD_USERNAME_PASSWORD ||
                              connackCode_ == MQTT_RC_BAD_USERNAME_OR_PASSWORD;
        const bool notAuthorised = connackCode_ == CONNACK_REFUSED_NOT_AUTHORIZED || connackCode_ == MQTT_RC_NOT_AUTHORIZED;
        report_.problem = badLogin        ? "bad user name or password"
                          : notAuthorised ? "not authorised"
                          : protocol == MQTT_PROTOCOL_V5 ? mosquitto_reason_string(connackCode_)
                                                         : mosquitto_connack_string(connackCode_);
        report_.refused = badLogin || notAuthorised;
        return Attempt::Failed;
    }
    linkUp_ = true;
    greetingDue_ = !greeting_.topic.empty();
    sentUpTo_ = 0; // what the broker did not confirm goes out again, in its order
    report_.problem.clear();
    report_.refused = false;
    report_.protocol = protocol == MQTT_PROTOCOL_V5 ? 5 : 4;
    ++report_.connections;
    report_.state = MqttState::Connected;
    return Attempt::Up;
}

void MqttClient::settle(const Sent &sent, int reason) {
    if (sent.id == 0) return;
    done_.push_back(sent.id);
    if (reason < 0x80) {
        ++report_.acknowledged;
        return;
    }
    // Refused by the broker (MQTT 5 says so; 3.1.1 cannot): counted as
    // dropped and never sent again.
    ++report_.dropped;
    if (report_.refusedMessages++ == 0) {
        report_.refusal = mosquitto_reason_string(reason);
        report_.refusedTopic = sent.topic;
    }
}

void MqttClient::sendWhileConnected(mosquitto *mosq) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto send = [&](const QueuedMessage &m) {
        int mid = 0;
        lock.unlock();
        const int rc = mosquitto_publish_v5(mosq, &mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                                            m.payload.data(), 1, m.retained, nullptr);
        lock.lock();
        if (rc != MOSQ_ERR_SUCCESS) {
            linkUp_ = false;
            return false;
        }
        const Sent sent{m.id, m.topic};
        if (auto early = earlyAcks_.find(mid); early != earlyAcks_.end()) {
            settle(sent, early->second);
            earlyAcks_.erase(early);
        } else {
            inFlight_[mid] = sent;
        }
        return true;
    };
    auto unsent = [&] { return sentUpTo_ < storedUpTo_; };
    auto room = [&] { return static_cast<int>(inFlight_.size()) < kWindow; };
    for (;;) {
        waitFor(lock, 1.0, [&] { return !linkUp_ || greetingDue_ || (unsent() && room()) || !handedOver_.empty(); });
        if (!linkUp_) return;
        if (flushedOrDue()) break;
        if (greetingDue_) {
            greetingDue_ = false;
            if (!send(greeting_)) return;
            continue;
        }
        if (!handedOver_.empty() && handedOver_.size() < kBatch) {
            lock.unlock();
            std::this_thread::sleep_for(span(kGatherSeconds));
            lock.lock();
            persist(lock);
        }
        if (!unsent() || !room()) continue;
        const std::size_t want = static_cast<std::size_t>(kWindow) - inFlight_.size();
        const std::int64_t from = sentUpTo_;
        lock.unlock();
        const std::vector<QueuedMessage> next = store_.after(from, want);
        lock.lock();
        // Messages pushed out of a full queue meanwhile are skipped.
        if (next.empty()) sentUpTo_ = storedUpTo_;
        for (const QueuedMessage &m : next) {
            if (!send(m)) return;
            sentUpTo_ = m.id;
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
    // What the broker did not confirm stays in the queue and goes out again
    // first on the next connection; the broker may have it already (at
    // least once).
    inFlight_.clear();
    earlyAcks_.clear();
    linkUp_ = false;
}

void MqttClient::onConnect(mosquitto *, void *self, int rc, int, const mosquitto_property *) {
    yieldToTheLoop(); // called on the network thread
    auto *c = static_cast<MqttClient *>(self);
    std::lock_guard<std::mutex> lock(c->mutex_);
    c->connackSeen_ = true;
    c->connackCode_ = rc;
    c->wake_.notify_all();
}

void MqttClient::onDisconnect(mosquitto *, void *self, int rc, const mosquitto_property *) {
    auto *c = static_cast<MqttClient *>(self);
    std::lock_guard<std::mutex> lock(c->mutex_);
    if (c->linkUp_ && rc != 0) c->report_.problem = "connection lost";
    c->linkUp_ = false;
    c->disconnected_ = true;
    c->wake_.notify_all();
}

void MqttClient::onPublish(mosquitto *, void *self, int mid, int reason, const mosquitto_property *) {
    auto *c = static_cast<MqttClient *>(self);
    std::lock_guard<std::mutex> lock(c->mutex_);
    auto it = c->inFlight_.find(mid);
    if (it == c->inFlight_.end()) {
        c->earlyAcks_[mid] = reason;
    } else {
        c->settle(it->second, reason);
        c->inFlight_.erase(it);
    }
    c->wake_.notify_all();
}

// The TLS layer's complaint, called on the network thread while the failed
// handshake's state still exists: the certificate check's own verdict says
// which way it failed.
void MqttClient::onLog(mosquitto *mosq, void *self, int level, const char *text) {
    if (level != MOSQ_LOG_ERR || !text) return;
    auto *c = static_cast<MqttClient *>(self);
    std::string problem;
    auto *ssl = static_cast<SSL *>(mosquitto_ssl_get(mosq));
    const long verify = ssl ? SSL_get_verify_result(ssl) : X509_V_OK;
    if (verify != X509_V_OK) problem = certificateProblem(verify, !c->target_.caFile.empty());
    else if (std::strstr(text, "wrong version number") || std::strstr(text, "record layer failure") ||
             std::strstr(text, "packet length too long") || std::strstr(text, "unexpected eof"))
        problem = "TLS: no TLS handshake with the broker; does this port speak TLS?";
    else if (std::strstr(text, "OpenSSL Error")) problem = std::string("TLS: ") + text;
    if (problem.empty()) return;
    std::lock_guard<std::mutex> lock(c->mutex_);
    if (c->tlsProblem_.empty()) c->tlsProblem_ = problem;
    c->wake_.notify_all();
}
