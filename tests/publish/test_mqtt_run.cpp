// The publisher inside the program, set up on the recorder panel: RUN's pace
// while the broker is away, every cycle kept until the broker is back,
// DATA's curves, and the [MQTT] section of the settings file. What qvex-ctl
// sends is test_mqtt_ctl's.
#include "tests/measure/measure_fixture.h"
#include "tests/publish/broker.h"

#include "app/settings.h"
#include "publish/publish.h"
#include "ui/panels/main_ids.h"
#include "ui/panels/recorder_ids.h"

#include <sys/stat.h>

#include <cstdio>
#include <set>

using namespace mqtt_test;

namespace {

std::string ReadWholeFileText(const std::string &path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
}

class MqttRunTest : public MeasureTest {
  protected:
    QTemporaryDir dir;
    DataHome dataHome{dir.path()};
    Broker broker;
    Subscriber subscriber;

    void TearDown() override {
        StopPublishing(0.0);
        OperateCtrl(panelMQTT, MQTT_ON, 0);
        runHooks.cycleDone = nullptr;
        MeasureTest::TearDown();
    }
    void usePanel(quint16 port, const char *prefix) {
        OperateCtrl(panelMQTT, MQTT_HOST, std::string("127.0.0.1"));
        OperateCtrl(panelMQTT, MQTT_PORT, int(port));
        OperateCtrl(panelMQTT, MQTT_PREFIX, std::string(prefix));
        OperateCtrl(panelMQTT, MQTT_USER, std::string());
        OperateCtrl(panelMQTT, MQTT_PASSWORD, std::string());
        OperateCtrl(panelMQTT, MQTT_TLS, 0);
        OperateCtrl(panelMQTT, MQTT_RATE, 0.0);
    }
    // RUN for `seconds` from its first cycle: cycles a second.
    double runRate(double seconds) {
        int cycles = 0;
        double first = -1.0;
        runHooks.cycleDone = [&] {
            const double now = Timer();
            if (first < 0) first = now;
            ++cycles;
            if (now - first >= seconds) OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        };
        OperateCtrl(panelMAIN, MAIN_CMD_RUN);
        runHooks.cycleDone = nullptr;
        return cycles / seconds;
    }
};

// Twenty seconds without the broker at about 100 cycles a second: the queue
// on disk keeps every cycle, the publisher is back within 2 s of the
// broker, and the plant receives every cycle in order.
TEST_F(MqttRunTest, ABrokerAwayForTwentySecondsLosesNoCycleAndCostsTheLoopNothing) {
    Broker::Options options;
    options.persistence = true; // the plant's subscriber misses nothing the broker took
    ASSERT_TRUE(broker.start(dir.path(), options));
    ASSERT_TRUE(subscriber.start(broker.port(), "plant", true));
    usePanel(broker.port(), "plant");
    // Replies held back 5 ms: about 100 cycles a second, at the
    // controller's pace rather than whatever else the machine runs.
    sim::Faults faults;
    faults.delayMs = 5;
    sim.setFaults(faults);
    const double reference = runRate(2.0); // publishing off

    OperateCtrl(panelMQTT, MQTT_ON, 1);
    ASSERT_TRUE(WaitUntil([] { return PublisherReport().state == MqttState::Connected; }, 10.0));
    int cycles = 0, outageCycles = 0;
    double first = -1.0, outageBegin = -1.0, outageSeconds = 0.0, back = -1.0, firstAfter = -1.0;
    unsigned long confirmedBefore = 0;
    runHooks.cycleDone = [&] {
        const double now = Timer();
        if (first < 0) first = now;
        ++cycles;
        const MqttReport r = PublisherReport();
        if (outageBegin < 0 && now - first > 2.0) {
            broker.stop();
            outageBegin = Timer();
            outageCycles = -cycles;
        } else if (outageBegin >= 0 && back < 0 && now - outageBegin >= 20.0) {
            outageCycles += cycles;
            outageSeconds = now - outageBegin;
            confirmedBefore = r.acknowledged;
            back = Timer(); // from the broker's start: the time it takes to listen counts too
            ASSERT_TRUE(broker.restart());
        } else if (back >= 0) {
            if (firstAfter < 0 && r.acknowledged > confirmedBefore) firstAfter = now;
            if ((firstAfter >= 0 && r.waiting < 50) || now - back > 30.0) OperateCtrl(panelMAIN, MAIN_CMD_STOP);
        }
    };
    OperateCtrl(panelMAIN, MAIN_CMD_RUN);
    runHooks.cycleDone = nullptr;
    ASSERT_GE(back, 0.0);
    const double rate = outageCycles / outageSeconds;
    std::printf("cycles a second: %.0f without publishing, %.0f with the broker away; first message %.2f s "
                "after the broker's return\n",
                reference, rate, firstAfter - back);
    EXPECT_GE(firstAfter, back);
    EXPECT_LE(firstAfter - back, 2.0) << "the queue goes out within 2 s of the broker's return";
#ifndef __SANITIZE_ADDRESS__
    // The cost is judged in the normal build: under the sanitizers the
    // publisher's thread does several times its work on the same two cores.
    EXPECT_GE(rate, 0.9 * reference) << "cycles a second: " << rate << " with the broker away, " << reference
                                     << " without publishing";
#endif
    StopPublishing(10.0);
    const MqttReport r = PublisherReport();
    EXPECT_EQ(r.dropped, 0u);
    EXPECT_EQ(r.kept, 0u);

    // Every cycle arrived, in order; an index seen again is a message sent
    // again after the break, which the broker had already taken (the one
    // repetition QoS 1 allows): never more than one window back.
    Subscriber::waitFor([&] { return subscriber.payloads("plant/live").size() >= std::size_t(cycles); }, 20.0);
    std::vector<int> order;
    std::set<int> seen;
    int highest = -1;
    for (const std::string &m : subscriber.payloads("plant/live")) {
        const int index = std::stoi(JsonField(m, "index"));
        if (seen.insert(index).second) order.push_back(index);
        else EXPECT_GT(index, highest - 300) << "a repetition from far back";
        highest = std::max(highest, index);
    }
    ASSERT_EQ(order.size(), std::size_t(cycles)) << outageCycles << " cycles during the outage";
    for (std::size_t i = 1; i < order.size(); ++i) ASSERT_EQ(order[i], order[i - 1] + 1) << "at " << i;
    std::printf("%d cycles, %d during the outage, all arrived in order\n", cycles, outageCycles);
}

// The publisher's state beside the RECORD lamp and its message on its own
// panel, which RUN's status texts every cycle leave alone.
TEST_F(MqttRunTest, TheLampFollowsTheBrokerAndTheMessageOutlastsTheMeasuringLoop) {
    auto lamp = [] {
        int on = 0, colour = 0;
        GetCtrlVal(panelMAIN, MAIN_LED_MQTT, &on);
        GetCtrlAttribute(panelMAIN, MAIN_LED_MQTT, ATTR_ON_COLOR, &colour);
        return on ? colour : -1;
    };
    auto message = [] {
        std::string text;
        GetCtrlVal(panelMQTT, MQTT_MESSAGE, &text);
        return text;
    };
    ASSERT_TRUE(broker.start(dir.path(), {}));
    usePanel(broker.port(), "plant");
    broker.stop(); // the port is known, nobody listens
    EXPECT_EQ(lamp(), -1) << "dark while off";
    OperateCtrl(panelMQTT, MQTT_ON, 1);
    ASSERT_TRUE(WaitUntil([&] { return message().find("not reachable") != std::string::npos; }, 10.0));
    EXPECT_NE(lamp(), -1);
    EXPECT_NE(lamp(), VAL_GREEN) << "amber while the broker is away";
    const std::string away = message();
    runRate(0.5);
    EXPECT_EQ(message(), away) << "RUN's texts go to the status line only";
    std::string state;
    GetCtrlVal(panelMQTT, MQTT_STATE, &state);
    EXPECT_NE(state.find("waiting"), std::string::npos) << state << ": the cycles wait in the queue";

    ASSERT_TRUE(broker.restart());
    ASSERT_TRUE(WaitUntil([&] { return lamp() == VAL_GREEN; }, 5.0)) << "green within a second or two";
    EXPECT_NE(message().find("publishing to"), std::string::npos) << message();
    OperateCtrl(panelMQTT, MQTT_ON, 0);
    EXPECT_EQ(lamp(), -1);
}

TEST_F(MqttRunTest, ADataReadPublishesBothCurvesAsTheRecordFileWritesThem) {
    ASSERT_TRUE(broker.start(dir.path(), {}));
    ASSERT_TRUE(subscriber.start(broker.port(), "plant"));
    usePanel(broker.port(), "plant");
    OperateCtrl(panelMQTT, MQTT_ON, 1);
    // The curves as the first pass left them; STOP ends the loop there.
    std::vector<unsigned short> a0, b0;
    const auto publishCurves = runHooks.curvesRead;
    runHooks.curvesRead = [&](int samples) {
        publishCurves(samples);
        a0.assign(yArrayA, yArrayA + samples);
        b0.assign(yArrayB, yArrayB + samples);
        OperateCtrl(panelMAIN, MAIN_CMD_STOP);
    };
    OperateCtrl(panelMAIN, MAIN_CMD_DATA);
    runHooks.curvesRead = publishCurves;
    StopPublishing(5.0);
    ASSERT_EQ(a0.size(), 128u);
    ASSERT_TRUE(Subscriber::waitFor([&] { return !subscriber.payloads("plant/curve").empty(); }, 5.0));
    const std::string curve = subscriber.payloads("plant/curve").front();
    EXPECT_EQ(JsonField(curve, "samples"), "128");
    std::string a = "[", b = "[";
    for (int k = 0; k < 128; ++k) {
        a += (k ? "," : "") + std::to_string(int16_t(a0[std::size_t(k)]));
        b += (k ? "," : "") + std::to_string(int16_t(b0[std::size_t(k)]));
    }
    EXPECT_NE(curve.find("\"Channel A\": " + a + "]"), std::string::npos) << curve;
    EXPECT_NE(curve.find("\"Channel B\": " + b + "]"), std::string::npos) << curve;
}

TEST_F(MqttRunTest, MaxRateThinsRunCyclesButNeverRecordedRows) {
    ASSERT_TRUE(broker.start(dir.path(), {}));
    ASSERT_TRUE(subscriber.start(broker.port(), "plant"));
    usePanel(broker.port(), "plant");
    OperateCtrl(panelMQTT, MQTT_RATE, 10.0);
    OperateCtrl(panelMQTT, MQTT_ON, 1);
    const double rate = runRate(1.5);
    // A manual row while idle goes out whatever the rate: the operator asked for it.
    popups->fileAnswers.push_back(dir.filePath("rows.csv").toStdString());
    OperateCtrl(panelRECORDER, RECORDER_TYPE, REC_TYPE_MANUAL);
    OperateCtrl(panelRECORDER, RECORDER_FILE_SELECT);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    OperateCtrl(panelRECORDER, RECORDER_CAPTURE);
    StopPublishing(5.0);
    Subscriber::waitFor([&] { return subscriber.payloads("plant/live").size() >= 10; }, 5.0);
    const auto live = subscriber.payloads("plant/live");
    ASSERT_GT(rate * 1.5, 100.0) << "the loop ran much faster than the rate";
    EXPECT_GE(live.size(), 10u);
    EXPECT_LE(live.size(), 2u + 16u + 2u) << "at most 10 a second over 1.5 s, plus the two rows";
    ASSERT_GE(live.size(), 2u);
    EXPECT_EQ(JsonField(live[live.size() - 2], "index"), "0");
    EXPECT_EQ(JsonField(live.back(), "index"), "1");
}

// The publisher's settings live on a panel of their own, so the recorder
// panel keeps clear of the main panel's command rows; MQTT ... brings it up,
// CLOSE and the window's close box put it away with the settings kept.
TEST_F(MqttRunTest, MqttOnTheRecorderPanelBringsThePublishersPanelUpAndCloseKeepsItsSettings) {
    auto visible = [] {
        int v = 0;
        GetPanelAttribute(panelMQTT, ATTR_VISIBLE, &v);
        return v;
    };
    ASSERT_EQ(visible(), 0);
    OperateCtrl(panelRECORDER, RECORDER_MQTT_PANEL);
    EXPECT_EQ(visible(), 1);
    OperateCtrl(panelMQTT, MQTT_HOST, std::string("broker.plant.example"));
    OperateCtrl(panelMQTT, MQTT_CLOSE);
    EXPECT_EQ(visible(), 0);
    EXPECT_EQ(GetMqttPanel().host, "broker.plant.example");
    OperateCtrl(panelRECORDER, RECORDER_MQTT_PANEL);
    EXPECT_EQ(visible(), 1);
    OperateClosePanel(panelMQTT);
    EXPECT_EQ(visible(), 0);
}

TEST_F(MqttRunTest, TheSettingsFileKeepsThePasswordOnlyWhenRememberedAndThenOnlyForItsOwner) {
    const std::string path = dir.filePath("settings.ini").toStdString();
    usePanel(8883, "line 1/scope");
    OperateCtrl(panelMQTT, MQTT_HOST, std::string("broker.plant.example"));
    OperateCtrl(panelMQTT, MQTT_TLS, 1);
    OperateCtrl(panelMQTT, MQTT_CAFILE, std::string("/etc/plant/ca.pem"));
    OperateCtrl(panelMQTT, MQTT_USER, std::string("scope"));
    OperateCtrl(panelMQTT, MQTT_PASSWORD, std::string("s3cret \"x\""));
    OperateCtrl(panelMQTT, MQTT_RATE, 2.5);
    OperateCtrl(panelMQTT, MQTT_REMEMBER, 0);
    const MqttSettings typed = GetMqttPanel();

    auto mode = [&] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);
    std::string text = ReadWholeFileText(path);
    EXPECT_NE(text.find("[MQTT]"), std::string::npos);
    EXPECT_NE(text.find("Host = \"broker.plant.example\""), std::string::npos) << text;
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << "not remembered: not written";

    OperateCtrl(panelMQTT, MQTT_REMEMBER, 1);
    ASSERT_EQ(writeApplicationVarsToIni(path.c_str()), 0);
    text = ReadWholeFileText(path);
    EXPECT_NE(text.find("s3cret"), std::string::npos);
    EXPECT_EQ(mode(), 0600);

    SetMqttPanel(MqttSettings{});
    readApplicationVarsFromIni(path.c_str());
    const MqttSettings read = GetMqttPanel();
    EXPECT_EQ(read.host, typed.host);
    EXPECT_EQ(read.port, 8883);
    EXPECT_EQ(read.tls, 1);
    EXPECT_EQ(read.caFile, typed.caFile);
    EXPECT_EQ(read.user, "scope");
    EXPECT_EQ(read.password, typed.password);
    EXPECT_EQ(read.prefix, "line 1/scope");
    EXPECT_DOUBLE_EQ(read.maxRate, 2.5);
    EXPECT_EQ(read.on, 0);
}

} // namespace
