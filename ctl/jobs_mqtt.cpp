// live's publishing: the broker named on the command line goes into the
// MQTT publisher panel, whose switch starts the program's own
// publisher; at the end the queue gets its time to go out and what did not
// reach the broker is reported.
#include "ctl/jobs.h"

#include "core/panels.h"
#include "publish/publish.h"
#include "ui/engine/engine.h"
#include "ui/panels/recorder_ids.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ctl {

namespace {

// Time the messages still queued after the last cycle may take.
constexpr double kFlushSeconds = 10.0;
constexpr char kPasswordVariable[] = "QVEX_MQTT_PASSWORD";

// mqtt://HOST:PORT/PREFIX or mqtts://HOST:PORT/PREFIX; the port defaults to
// 1883 (8883 with TLS); the prefix may hold further slashes. Credentials in
// the URL (user:password@host) are refused: the message never repeats them.
std::string parseUrl(const std::string &url, LiveMqtt *out) {
    const std::string form = "--mqtt takes mqtt://HOST:PORT/PREFIX (mqtts:// for TLS)";
    std::string rest;
    if (StartsWith(url, "mqtt://")) {
        rest = url.substr(7);
    } else if (StartsWith(url, "mqtts://")) {
        rest = url.substr(8);
        out->tls = true;
    } else {
        return form + ", not " + Printable(url);
    }
    const std::size_t slash = rest.find('/');
    std::string hostPort = rest.substr(0, slash);
    if (hostPort.find('@') != std::string::npos)
        return "--mqtt: leave user and password out of the URL; give --mqtt-user USER and the password in "
               "--mqtt-password-file FILE or QVEX_MQTT_PASSWORD";
    if (slash == std::string::npos || slash + 1 >= rest.size()) return form + ", not " + Printable(url);
    out->prefix = rest.substr(slash + 1);
    out->port = out->tls ? 8883 : 1883;
    const std::size_t colon = hostPort.rfind(':');
    if (colon != std::string::npos && hostPort.find(']', colon) == std::string::npos) {
        char *end = nullptr;
        const long port = std::strtol(hostPort.c_str() + colon + 1, &end, 10);
        if (colon + 1 == hostPort.size() || *end != '\0' || port < 1 || port > 65535)
            return form + ", not " + Printable(url);
        out->port = static_cast<int>(port);
        hostPort.resize(colon);
    }
    if (hostPort.size() > 2 && hostPort.front() == '[' && hostPort.back() == ']')
        hostPort = hostPort.substr(1, hostPort.size() - 2);
    out->host = hostPort;
    return out->host.empty() ? form + ", not " + Printable(url) : "";
}

// The first line of the file, without its line end; the file is read as
// every input file is, so a FIFO or a folder is refused at once.
std::string readPassword(const std::string &path, std::string *password) {
    std::string problem;
    const int fd = OpenPlainFile(path, &problem);
    if (fd < 0) return problem;
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while (text.find('\n') == std::string::npos && (n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (n < 0) return std::strerror(errno);
    *password = text.substr(0, text.find('\n'));
    if (!password->empty() && password->back() == '\r') password->pop_back();
    return "";
}

} // namespace

std::string LiveInputProblem(const Args &args) {
    const CommandArgs a(args, {"--count", "--out", "--mqtt", "--mqtt-user", "--mqtt-password-file", "--mqtt-cafile",
                               "--mqtt-queue-mb"});
    for (const char *flag : {"--mqtt-password-file", "--mqtt-cafile"}) {
        if (!a.has(flag)) continue;
        std::string problem;
        const int fd = OpenPlainFile(a.value(flag), &problem);
        if (fd < 0) return std::string("cannot read ") + flag + " " + Printable(a.value(flag)) + ": " + problem;
        ::close(fd);
    }
    return "";
}

std::string TopicNameProblem(const std::string &name) {
    if (name.empty() || name.find_first_of("/+#") != std::string::npos || Printable(name) != name)
        return "the name " + Printable(name) + " cannot be a topic level: no /, + or #, printable UTF-8";
    return "";
}

int PrepareLiveMqtt(Session &s, const CommandArgs &a, LiveMqtt *m) {
    if (!a.has("--mqtt")) {
        for (const char *flag : {"--mqtt-user", "--mqtt-password-file", "--mqtt-cafile", "--mqtt-queue-mb"})
            if (a.has(flag)) return s.usage(std::string(flag) + " needs --mqtt mqtt://HOST:PORT/PREFIX");
        return EXIT_DONE;
    }
    m->on = true;
    if (std::string problem = parseUrl(a.value("--mqtt"), m); !problem.empty()) return s.usage(problem);
    // Each controller of an inventory (or one given --name) publishes under
    // its own name, so that their values and retained statuses stay apart.
    if (!s.options.name.empty()) {
        if (std::string problem = TopicNameProblem(s.options.name); !problem.empty()) return s.usage(problem);
        m->prefix += "/" + s.options.name;
    }
    m->user = a.value("--mqtt-user");
    if (a.has("--mqtt-password-file")) {
        if (m->user.empty()) return s.usage("--mqtt-password-file needs --mqtt-user USER");
        if (std::string problem = readPassword(a.value("--mqtt-password-file"), &m->password); !problem.empty())
            return s.usage("cannot read the password file " + a.value("--mqtt-password-file") + ": " + problem);
    } else if (const char *env = std::getenv(kPasswordVariable)) {
        m->password = env;
    }
    m->caFile = a.value("--mqtt-cafile");
    m->tls = m->tls || a.has("--mqtt-cafile");
    if (a.has("--mqtt-cafile"))
        if (std::string problem = CaFileProblem(m->caFile); !problem.empty())
            return s.usage("--mqtt-cafile " + Printable(m->caFile) + ": " + problem);
    if (a.has("--mqtt-queue-mb")) {
        char *end = nullptr;
        const std::string text = a.value("--mqtt-queue-mb");
        const long mb = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || mb < 1 || mb > 100000)
            return s.usage("--mqtt-queue-mb takes megabytes, 1 ... 100000, not " + Printable(text));
        m->queueMB = static_cast<int>(mb);
    }
    return EXIT_DONE;
}

int StartLiveMqtt(Session &s, const LiveMqtt &m) {
    if (!m.on) return EXIT_DONE;
    OperateCtrl(panelMQTT, MQTT_HOST, m.host);
    OperateCtrl(panelMQTT, MQTT_PORT, m.port);
    OperateCtrl(panelMQTT, MQTT_PREFIX, m.prefix);
    OperateCtrl(panelMQTT, MQTT_USER, m.user);
    OperateCtrl(panelMQTT, MQTT_PASSWORD, m.password);
    OperateCtrl(panelMQTT, MQTT_TLS, m.tls ? 1 : 0);
    OperateCtrl(panelMQTT, MQTT_CAFILE, m.caFile);
    OperateCtrl(panelMQTT, MQTT_RATE, 0.0);
    MqttSettings settings = GetMqttPanel();
    settings.queueMB = m.queueMB;
    SetMqttPanel(settings);
    SetCtrlVal(panelMQTT, MQTT_ON, 1);
    const Outcome started = s.click(panelMQTT, MQTT_ON, StartPublishing);
    return started.done() ? EXIT_DONE : s.usage(started.reason);
}

int EndLiveMqtt(Session &s) {
    if (!Publishing()) return EXIT_DONE;
    StopPublishing(kFlushSeconds);
    for (const std::string &line : PublisherMessages()) std::fprintf(stderr, "qvex-ctl: %s\n", Printable(line).c_str());
    const MqttReport r = PublisherReport();
    if (r.dropped == 0 && r.kept == 0) return EXIT_DONE;
    std::string what = "MQTT: " + std::to_string(r.acknowledged) + " messages delivered";
    if (r.dropped > 0) what += ", " + std::to_string(r.dropped) + " not delivered";
    if (r.kept > 0)
        what += ", " + std::to_string(r.kept) + " waiting in " + r.queueFile + " for the next start";
    // Said after an interrupt too: where the rows wait is worth knowing then.
    if (Interrupted()) std::fprintf(stderr, "qvex-ctl: %s\n", Printable(what).c_str());
    return s.linkFailed(what);
}

} // namespace ctl
