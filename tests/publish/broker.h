// A real mosquitto broker for the publisher's tests, started on a free
// loopback port with a configuration of the test's own and stopped by it,
// and a subscriber (libmosquitto) that keeps every message it receives.
#pragma once

#include <mosquitto.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <chrono>
#include <pwd.h>
#include <unistd.h>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mqtt_test {

inline bool Exec(const QString &program, const QStringList &args, QString *output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(30000)) return false;
    if (output) *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A certificate authority made for the test, and a server certificate it
// signed for 127.0.0.1 (or for the names `san` gives).
struct TestCa {
    QString caCert, caKey, serverCert, serverKey;
    bool make(const QString &dir, const QString &name = "ca", const QString &san = "IP:127.0.0.1") {
        caKey = dir + "/" + name + ".key";
        caCert = dir + "/" + name + ".crt";
        serverKey = dir + "/" + name + "-server.key";
        serverCert = dir + "/" + name + "-server.crt";
        const QString csr = dir + "/" + name + "-server.csr", ext = dir + "/" + name + "-server.ext";
        QFile e(ext);
        if (!e.open(QIODevice::WriteOnly)) return false;
        e.write(("subjectAltName=" + san + "\n").toUtf8());
        e.close();
        return Exec("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", caKey, "-out", caCert,
                                "-days", "2", "-subj", "/CN=Test CA " + name}) &&
               Exec("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", serverKey, "-out", csr, "-subj",
                                "/CN=127.0.0.1"}) &&
               Exec("openssl", {"x509", "-req", "-in", csr, "-CA", caCert, "-CAkey", caKey, "-CAcreateserial",
                                "-out", serverCert, "-days", "2", "-extfile", ext});
    }
};

class Broker {
  public:
    struct Options {
        QString passwordFile; // empty: anonymous logins
        const TestCa *tls = nullptr;
        bool persistence = false; // sessions and queued messages survive a restart
        QString acl;              // an access control list's text; empty: everything allowed
    };
    ~Broker() { stop(); }

    bool start(const QString &dir, const Options &options) {
        dir_ = dir;
        if (port_ == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost)) return false;
            port_ = probe.serverPort();
        }
        QString conf = QString("listener %1 127.0.0.1\n").arg(port_);
        // Started by root, mosquitto would change to its own user, who cannot
        // read the test's files.
        if (const passwd *me = getpwuid(geteuid())) conf += QString("user %1\n").arg(me->pw_name);
        conf += options.passwordFile.isEmpty() ? "allow_anonymous true\n"
                                               : "allow_anonymous false\npassword_file " + options.passwordFile + "\n";
        if (options.tls)
            conf += "cafile " + options.tls->caCert + "\ncertfile " + options.tls->serverCert + "\nkeyfile " +
                    options.tls->serverKey + "\n";
        if (options.persistence) conf += "persistence true\npersistence_location " + dir + "/\n";
        if (!options.acl.isEmpty()) {
            QFile acl(dir + "/broker.acl");
            if (!acl.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
            acl.write(options.acl.toUtf8());
            conf += "acl_file " + dir + "/broker.acl\n";
        }
        // No limit on what the broker keeps for a subscriber that is away
        // (a broker so configured drops a client whose retained message it
        // refused, so the access list tests go without).
        if (options.persistence) conf += "max_queued_messages 0\n";
        conf += "log_dest file " + dir + "/broker.log\n";
        const QString path = dir + "/broker.conf";
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
        f.write(conf.toUtf8());
        f.close();
        return launch(path);
    }
    // Starts it again where it listened before, with the same configuration.
    bool restart() { return launch(dir_ + "/broker.conf"); }
    // SIGTERM: the broker saves what it keeps and ends.
    void stop() {
        if (proc_.state() == QProcess::NotRunning) return;
        proc_.terminate();
        if (!proc_.waitForFinished(5000)) proc_.kill();
        proc_.waitForFinished(1000);
    }
    quint16 port() const { return port_; }
    std::string url(const char *prefix, const char *scheme = "mqtt") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + "/" + prefix;
    }

  private:
    bool launch(const QString &conf) {
        proc_.setProcessChannelMode(QProcess::MergedChannels);
        proc_.start("mosquitto", {"-c", conf});
        if (!proc_.waitForStarted(5000)) return false;
        for (int i = 0; i < 250; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            if (s.waitForConnected(200)) return true;
            if (proc_.state() == QProcess::NotRunning) return false;
            QThread::msleep(20);
        }
        return false;
    }
    QProcess proc_;
    QString dir_;
    quint16 port_ = 0;
};

// The per-user data folder (where the publisher keeps its queue files) in
// the test's own folder while the test runs; programs it starts inherit it.
class DataHome {
  public:
    explicit DataHome(const QString &dir) : saved_(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", (dir + "/data").toLocal8Bit());
    }
    ~DataHome() { qputenv("XDG_DATA_HOME", saved_); }
    DataHome(const DataHome &) = delete;
    DataHome &operator=(const DataHome &) = delete;

  private:
    QByteArray saved_;
};

struct Received {
    std::string topic, payload;
    bool retained = false;
    std::chrono::steady_clock::time_point at; // when it arrived
};

// Subscribes to PREFIX/# with QoS 1 and keeps what arrives. persistent: the
// broker keeps the session while the subscriber is away (a broker restart).
class Subscriber {
  public:
    Subscriber() { mosquitto_lib_init(); }
    ~Subscriber() { stop(); }

    bool start(quint16 port, const std::string &prefix, bool persistent = false, const TestCa *tls = nullptr,
               const std::string &user = {}, const std::string &password = {}) {
        topic_ = prefix + "/#";
        mosq_ = mosquitto_new(persistent ? "qvex-test-subscriber" : nullptr, !persistent, this);
        if (!mosq_) return false;
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
        if (!user.empty()) mosquitto_username_pw_set(mosq_, user.c_str(), password.c_str());
        if (tls) mosquitto_tls_set(mosq_, tls->caCert.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
        mosquitto_connect_callback_set(mosq_, [](mosquitto *m, void *self, int rc) {
            auto *s = static_cast<Subscriber *>(self);
            if (rc == 0) mosquitto_subscribe(m, nullptr, s->topic_.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(mosq_, [](mosquitto *, void *self, int, int, const int *) {
            ++static_cast<Subscriber *>(self)->subscribed_;
        });
        mosquitto_message_callback_set(mosq_, [](mosquitto *, void *self, const mosquitto_message *m) {
            auto *s = static_cast<Subscriber *>(self);
            std::lock_guard<std::mutex> lock(s->mutex_);
            s->messages_.push_back(
                {m->topic, std::string(static_cast<const char *>(m->payload), std::size_t(m->payloadlen)), m->retain,
                 std::chrono::steady_clock::now()});
        });
        if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return false;
        if (mosquitto_loop_start(mosq_) != MOSQ_ERR_SUCCESS) return false;
        return waitFor([this] { return subscribed_ > 0; }, 10.0);
    }
    void stop() {
        if (!mosq_) return;
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }
    std::vector<Received> messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    std::vector<std::string> payloads(const std::string &topic) const {
        std::vector<std::string> out;
        for (const Received &m : messages())
            if (m.topic == topic) out.push_back(m.payload);
        return out;
    }
    // Waits (without delivering the program's events) until cond() holds.
    template <typename F> static bool waitFor(F cond, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            if (cond()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

  private:
    mosquitto *mosq_ = nullptr;
    std::string topic_;
    mutable std::mutex mutex_;
    std::vector<Received> messages_;
    std::atomic<int> subscribed_{0};
};

// The number after "key": in a flat JSON object, as text.
inline std::string JsonField(const std::string &json, const std::string &key) {
    const std::string tag = "\"" + key + "\": ";
    const std::size_t at = json.find(tag);
    if (at == std::string::npos) return "<none>";
    std::size_t from = at + tag.size(), to = from;
    if (json[from] == '"') {
        to = json.find('"', from + 1);
        return json.substr(from + 1, to - from - 1);
    }
    while (to < json.size() && json[to] != ',' && json[to] != '}') ++to;
    return json.substr(from, to - from);
}

} // namespace mqtt_test
