// RUN cycles per second over loopback TCP with every cycle published to a
// real mosquitto broker (started here on a free loopback port), against the
// same RUN with publishing off, in turns on the same simulator. Publishing
// hands each cycle to a queue; the connection's own threads send it, so the
// loop should barely notice. After every publishing round the queue is
// flushed and the share of cycles the broker confirmed is printed.
//
// Two simulators in turn: (a) answering at once, where the processors are
// the limit and the publisher's threads and the broker compete with the
// loop and the simulator for them ("flat_out_ratio", for information; on a
// machine with two busy cores it swings with the load); (b) holding every
// reply back --delay ms (1), as a controller takes its time; then (c) the
// same with the broker stopped, every cycle going into the queue on disk
// ("outage_ratio"), and the time the queue takes to go out once the broker
// is back.
//
//   bench_mqtt [--rounds N] [--seconds S] [--delay MS]
//
// Last line: "ratio <median cycles per second publishing / not publishing>"
// of (b).
#include "bench/common.h"
#include "bench/live.h"

#include "core/panels.h"
#include "publish/publish.h"
#include "ui/engine/engine.h"
#include "ui/panels/recorder_ids.h"

#include <QDir>
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

QProcess *g_broker = nullptr;
std::string g_brokerConf;
int g_brokerPort = 0;

void stopBroker() {
    if (!g_broker) return;
    g_broker->terminate();
    if (!g_broker->waitForFinished(3000)) g_broker->kill();
    g_broker->waitForFinished(1000);
    delete g_broker;
    g_broker = nullptr;
}

// mosquitto on 127.0.0.1 with a configuration of its own (the port it had
// before when started again); its port.
int startBroker() {
    if (g_brokerPort == 0) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost)) bench::Fail("no free loopback port");
        g_brokerPort = probe.serverPort();
        probe.close();
        g_brokerConf = bench::TempFile("mqtt-broker", ".conf");
        std::ofstream out(g_brokerConf);
        out << "listener " << g_brokerPort << " 127.0.0.1\nallow_anonymous true\nlog_dest none\n";
        // Started by root, mosquitto would change to its own user.
        if (const passwd *me = getpwuid(geteuid())) out << "user " << me->pw_name << "\n";
    }
    const int port = g_brokerPort;
    g_broker = new QProcess;
    g_broker->start("mosquitto", {"-c", QString::fromStdString(g_brokerConf)});
    if (!g_broker->waitForStarted(5000)) bench::Fail("mosquitto does not start (is it installed?)");
    for (int i = 0; i < 250; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        if (s.waitForConnected(200)) return port;
        QThread::msleep(20);
    }
    bench::Fail("mosquitto does not listen on port %d", port);
}

void publishing(bool on) {
    OperateCtrl(panelMQTT, MQTT_ON, on ? 1 : 0);
    if (on && !Publishing()) bench::Fail("publishing did not start");
}

// Rounds of RUN on the simulator at 127.0.0.1:simPort, publishing off and
// on in turns (the order alternating); the median ratio on / off.
double rounds(int count, double seconds, const std::string &log) {
    bench::TimedRun(0.3, log); // warm-up
    std::vector<double> ratios;
    for (int r = 0; r < count; ++r) {
        bench::RunFigures off, on;
        MqttReport report;
        double delivered = 0.0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (r % 2 == 0)) {
                publishing(false);
                off = bench::TimedRun(seconds, log);
                continue;
            }
            publishing(true);
            const double wait = bench::Now();
            while (PublisherReport().state != MqttState::Connected && bench::Now() - wait < 5.0)
                WaitForSystemEvents(0.05);
            on = bench::TimedRun(seconds, log);
            StopPublishing(10.0);
            report = PublisherReport();
            delivered = static_cast<double>(report.acknowledged) / static_cast<double>(on.cycles);
        }
        ratios.push_back(on.rate() / off.rate());
        std::printf("round %d: %.0f cycles/s off, %.0f cycles/s publishing (%.1f %% confirmed, %lu dropped); "
                    "CPU us a cycle %.1f off, %.1f publishing\n",
                    r + 1, off.rate(), on.rate(), 100.0 * delivered, report.dropped, 1e6 * off.cpu / off.cycles,
                    1e6 * on.cpu / on.cycles);
    }
    publishing(false);
    return bench::Median(ratios);
}

// Rounds of RUN with the broker stopped: publishing on (every cycle into
// the queue on disk) against off. After each, the broker starts again and
// the time until the queue is out is printed. The median ratio on / off.
double outageRounds(int count, double seconds, const std::string &log) {
    std::vector<double> ratios;
    for (int r = 0; r < count; ++r) {
        publishing(false);
        const bench::RunFigures off = bench::TimedRun(seconds, log);
        stopBroker();
        publishing(true);
        const bench::RunFigures on = bench::TimedRun(seconds, log);
        const std::size_t queued = PublisherReport().waiting;
        startBroker();
        const double back = bench::Now();
        double connected = -1.0;
        while (bench::Now() - back < 30.0) {
            const MqttReport report = PublisherReport();
            if (connected < 0 && report.state == MqttState::Connected) connected = bench::Now() - back;
            if (report.waiting == 0) break;
            WaitForSystemEvents(0.01);
        }
        const double drained = bench::Now() - back;
        StopPublishing(10.0);
        const MqttReport report = PublisherReport();
        ratios.push_back(on.rate() / off.rate());
        std::printf("outage round %d: %.0f cycles/s off, %.0f cycles/s publishing into the queue; %zu queued, "
                    "connected %.2f s and all sent %.2f s after the broker's return, %lu dropped\n",
                    r + 1, off.rate(), on.rate(), queued, connected, drained, report.dropped);
    }
    publishing(false);
    return bench::Median(ratios);
}

} // namespace

int main(int argc, char **argv) {
    bench::SetName("bench_mqtt");
    const int count = bench::OptInt(argc, argv, "--rounds", 5);
    const double seconds = bench::OptDouble(argc, argv, "--seconds", 2.0);
    const int delayMs = bench::OptInt(argc, argv, "--delay", 1);

    // The publisher's queue files go to a folder of the benchmark's own.
    const std::string data = bench::TempFile("mqtt-data");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
    bench::StartProgram(argc, argv);
    bench::LoadProgramPanels();
    const int brokerPort = startBroker();
    OperateCtrl(panelMQTT, MQTT_HOST, std::string("127.0.0.1"));
    OperateCtrl(panelMQTT, MQTT_PORT, brokerPort);
    OperateCtrl(panelMQTT, MQTT_PREFIX, std::string("bench"));
    OperateCtrl(panelMQTT, MQTT_RATE, 0.0);

    // Flat out: the simulator answers at once, the machine's processors are
    // the limit and the broker competes for them; for information.
    std::string log = bench::TempFrameLog("mqtt-flat");
    bench::Sim sim = bench::StartSim({"--tcp", "0", "--log-frames", log});
    std::printf("flat out: simulator on 127.0.0.1:%d, mosquitto on 127.0.0.1:%d\n", sim.tcpPort, brokerPort);
    bench::OpenTcpLink(sim.tcpPort);
    const double flat = rounds(3, seconds, log);
    bench::CloseLink();
    bench::StopSim();
    std::printf("flat_out_ratio %.3f\n", flat);

    // As a controller answers: every reply held back delayMs.
    log = bench::TempFrameLog("mqtt");
    sim = bench::StartSim({"--tcp", "0", "--delay", std::to_string(delayMs), "--log-frames", log});
    std::printf("replies held back %d ms: simulator on 127.0.0.1:%d\n", delayMs, sim.tcpPort);
    bench::OpenTcpLink(sim.tcpPort);
    const double paced = rounds(count, seconds, log);
    const double outage = outageRounds(3, seconds, log);
    std::printf("outage_ratio %.3f\n", outage);
    bench::CloseLink();
    bench::StopSim();
    stopBroker();
    QDir(QString::fromStdString(data)).removeRecursively();
    std::printf("ratio %.3f\n", paced);
    return 0;
}
