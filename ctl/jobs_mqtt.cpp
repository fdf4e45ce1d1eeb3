// live's publishing: the broker named on the command line goes into the
// MQTT publisher panel, whose switch starts the program's own
// publisher; at the end the queue gets its time to go out and what did not
// reach the broker is reported.
#include "ctl/jobs.h"

#include "core/panels.h"
#include "publish/publish.h"
#include "ui/engine/engine.h"
#include "ui/panels/recorder_ids.h"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace ctl {

namespace {

// Time the messages still queued after the last cycle may take.
constexpr double kFlushSeconds = 10.0;
constexpr char kPasswordVariable[] = "QVEX_MQTT_PASSWORD";

struct BrokerUrl {
    bool tls = false;
    std::string host;
    int port = 0;
    std::string prefix;
};

// mqtt://HOST:PORT/PREFIX or mqtts://HOST:PORT/PREFIX; the port defaults to
// 1883 (8883 with TLS); the prefix may hold further slashes.
bool parseUrl(const std::string &url, BrokerUrl *out) {
    std::string rest;
    if (StartsWith(url, "mqtt://")) {
        rest = url.substr(7);
    } else if (StartsWith(url, "mqtts://")) {
        rest = url.substr(8);
        out->tls = true;
    } else {
        return false;
    }
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos || slash + 1 >= rest.size()) return false;
    out->prefix = rest.substr(slash + 1);
    std::string hostPort = rest.substr(0, slash);
    out->port = out->tls ? 8883 : 1883;
    const std::size_t colon = hostPort.rfind(':');
    if (colon != std::string::npos && hostPort.find(']', colon) == std::string::npos) {
        char *end = nullptr;
        const long port = std::strtol(hostPort.c_str() + colon + 1, &end, 10);
        if (colon + 1 == hostPort.size() || *end != '\0' || port < 1 || port > 65535) return false;
        out->port = static_cast<int>(port);
        hostPort.resize(colon);
    }
    if (hostPort.size() > 2 && hostPort.front() == '[' && hostPort.back() == ']')
        hostPort = hostPort.substr(1, hostPort.size() - 2);
    out->host = hostPort;
    return !out->host.empty();
}

// The first line of the file, without its line end. Read as every input
// file is: a FIFO or a device is refused, never waited on.
bool readPassword(const std::string &path, std::string *password) {
    std::string problem;
    const int fd = OpenPlainFile(path, &problem);
    if (fd < 0) return false;
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while (text.find('\n') == std::string::npos && (n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    if (n < 0) return false;
    *password = text.substr(0, text.find('\n'));
    if (!password->empty() && password->back() == '\r') password->pop_back();
    return true;
}

} // namespace

std::string LiveInputProblem(const Args &args) {
    const CommandArgs a(args, {"--count", "--out", "--mqtt", "--mqtt-user", "--mqtt-password-file", "--mqtt-cafile"});
    for (const char *flag : {"--mqtt-password-file", "--mqtt-cafile"}) {
        if (!a.has(flag)) continue;
        std::string problem;
        const int fd = OpenPlainFile(a.value(flag), &problem);
        if (fd < 0) return std::string("cannot read ") + flag + " " + Printable(a.value(flag)) + ": " + problem;
        ::close(fd);
    }
    return "";
}

int StartLiveMqtt(Session &s, const CommandArgs &a) {
    if (!a.has("--mqtt")) {
        for (const char *flag : {"--mqtt-user", "--mqtt-password-file", "--mqtt-cafile"})
            if (a.has(flag)) return s.usage(std::string(flag) + " needs --mqtt mqtt://HOST:PORT/PREFIX");
        return EXIT_DONE;
    }
    BrokerUrl url;
    if (!parseUrl(a.value("--mqtt"), &url))
        return s.usage("--mqtt takes mqtt://HOST:PORT/PREFIX (mqtts:// for TLS), not " + a.value("--mqtt"));
    std::string password;
    if (a.has("--mqtt-password-file")) {
        if (!readPassword(a.value("--mqtt-password-file"), &password))
            return s.usage("cannot read the password file " + a.value("--mqtt-password-file"));
    } else if (const char *env = std::getenv(kPasswordVariable)) {
        password = env;
    }
    const bool tls = url.tls || a.has("--mqtt-cafile");
    OperateCtrl(panelMQTT, MQTT_HOST, url.host);
    OperateCtrl(panelMQTT, MQTT_PORT, url.port);
    OperateCtrl(panelMQTT, MQTT_PREFIX, url.prefix);
    OperateCtrl(panelMQTT, MQTT_USER, a.value("--mqtt-user"));
    OperateCtrl(panelMQTT, MQTT_PASSWORD, password);
    OperateCtrl(panelMQTT, MQTT_TLS, tls ? 1 : 0);
    OperateCtrl(panelMQTT, MQTT_CAFILE, a.value("--mqtt-cafile"));
    OperateCtrl(panelMQTT, MQTT_RATE, 0.0);
    SetCtrlVal(panelMQTT, MQTT_ON, 1);
    const Outcome started = s.click(panelMQTT, MQTT_ON, StartPublishing);
    return started.done() ? EXIT_DONE : s.usage(started.reason);
}

int EndLiveMqtt(Session &s) {
    if (!Publishing()) return EXIT_DONE;
    StopPublishing(kFlushSeconds);
    for (const std::string &line : StatusLog())
        if (StartsWith(line, "MQTT:")) std::fprintf(stderr, "qvex-ctl: %s\n", line.c_str());
    const MqttReport r = PublisherReport();
    if (r.dropped == 0) return EXIT_DONE;
    return s.linkFailed("MQTT: " + std::to_string(r.dropped) + " messages not delivered, " +
                        std::to_string(r.acknowledged) + " delivered");
}

} // namespace ctl
