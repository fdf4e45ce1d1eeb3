// RUN cycles per second over loopback TCP with every cycle published to a
// real mosquitto broker (started here on a free loopback port), against the
// same RUN with publishing off, in turns on the same simulator. Publishing
// hands each cycle to a queue; the connection's own thread sends it, so the
// loop should barely notice. After the rounds the publisher's queue is
// flushed and the share of cycles the broker confirmed is printed.
//
//   bench_mqtt [--rounds N] [--seconds S]
//
// Last line: "ratio <median cycles per second publishing / not publishing>".
#include "bench/common.h"
#include "bench/live.h"

#include "core/panels.h"
#include "publish/publish.h"
#include "ui/engine/engine.h"
#include "ui/panels/recorder_ids.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

QProcess g_broker;

void stopBroker() {
    if (g_broker.state() == QProcess::NotRunning) return;
    g_broker.terminate();
    if (!g_broker.waitForFinished(3000)) g_broker.kill();
    g_broker.waitForFinished(1000);
}

// mosquitto on 127.0.0.1 with a configuration of its own; its port.
int startBroker() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost)) bench::Fail("no free loopback port");
    const int port = probe.serverPort();
    probe.close();
    const std::string conf = bench::TempFile("mqtt-broker", ".conf");
    std::ofstream out(conf);
    out << "listener " << port << " 127.0.0.1\nallow_anonymous true\nlog_dest none\n";
    // Started by root, mosquitto would change to its own user.
    if (const passwd *me = getpwuid(geteuid())) out << "user " << me->pw_name << "\n";
    out.close();
    g_broker.start("mosquitto", {"-c", QString::fromStdString(conf)});
    if (!g_broker.waitForStarted(5000)) bench::Fail("mosquitto does not start (is it installed?)");
    for (int i = 0; i < 250; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        if (s.waitForConnected(200)) return port;
        QThread::msleep(20);
    }
    bench::Fail("mosquitto does not listen on port %d", port);
}

void publishing(bool on) {
    OperateCtrl(panelRECORDER, RECORDER_MQTT_ON, on ? 1 : 0);
    if (on && !Publishing()) bench::Fail("publishing did not start");
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_mqtt");
    const int rounds = bench::OptInt(argc, argv, "--rounds", 3);
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 2.0);

    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();
    const int brokerPort = startBroker();
    const std::string log = bench::TempFrameLog("mqtt");
    const bench::Sim sim = bench::StartSim({"--tcp", "0", "--log-frames", log});
    std::printf("simulator on 127.0.0.1:%d, mosquitto on 127.0.0.1:%d\n", sim.tcpPort, brokerPort);
    bench::OpenTcpLink(sim.tcpPort);

    OperateCtrl(panelRECORDER, RECORDER_MQTT_HOST, std::string("127.0.0.1"));
    OperateCtrl(panelRECORDER, RECORDER_MQTT_PORT, brokerPort);
    OperateCtrl(panelRECORDER, RECORDER_MQTT_PREFIX, std::string("bench"));
    OperateCtrl(panelRECORDER, RECORDER_MQTT_RATE, 0.0);

    bench::TimedRun(0.3, log); // warm-up
    std::vector<double> ratios;
    long published = 0;
    for (int r = 0; r < rounds; ++r) {
        publishing(false);
        const bench::RunFigures off = bench::TimedRun(seconds, log);
        publishing(true);
        const double wait = bench::Now();
        while (PublisherReport().state != MqttState::Connected && bench::Now() - wait < 5.0) WaitForSystemEvents(0.05);
        const unsigned long before = PublisherReport().acknowledged;
        const bench::RunFigures on = bench::TimedRun(seconds, log);
        published += on.cycles;
        StopPublishing(10.0);
        const MqttReport report = PublisherReport();
        const double delivered = static_cast<double>(report.acknowledged - before) / static_cast<double>(on.cycles);
        ratios.push_back(on.rate() / off.rate());
        std::printf("round %d: %.0f cycles/s off, %.0f cycles/s publishing (%.1f %% confirmed, %lu dropped)\n", r + 1,
                    off.rate(), on.rate(), 100.0 * delivered, report.dropped);
    }
    bench::CloseLink();
    publishing(false);
    stopBroker();
    bench::StopSim();
    std::printf("cycles_published %ld\n", published);
    std::printf("ratio %.3f\n", bench::Median(ratios));
    return 0;
}
