// qvex-ctl live --mqtt against a real mosquitto broker: what arrives, in
// which order, the retained status and last will, a refused login and TLS.
// The loop's pace during a broker outage is test_mqtt_run's.
#include "tests/ctl/ctl_fixture.h"
#include "tests/publish/broker.h"

#include <QProcess>

#include <set>

using namespace ctl_test;
using namespace mqtt_test;

namespace {

class MqttCtlTest : public CtlJobTest {
  protected:
    Broker broker;
    Subscriber subscriber;

    DataHome dataHome{dir.path()};

    void SetUp() override { ASSERT_TRUE(sim.start({})); }
    QString dirPath() const { return dir.path(); }
    QStringList live(int count, const QString &out, const std::string &url, const QStringList &extra = {}) {
        return QStringList{"live", "--count", QString::number(count), "--out", out, "--mqtt",
                           QString::fromStdString(url)} +
               extra;
    }
    // Data rows of a record file, split into fields.
    static std::vector<std::vector<std::string>> rows(const std::string &text) {
        std::vector<std::vector<std::string>> out;
        bool below = false;
        for (const std::string &line : LinesOf(text)) {
            if (below && !line.empty()) {
                out.emplace_back(1);
                for (char c : line) {
                    if (c == ',') out.back().emplace_back();
                    else out.back().back() += c;
                }
            }
            below = below || line.rfind("INDEX,", 0) == 0;
        }
        return out;
    }
};

const char *const kValueColumns[] = {"RESULT A", "NORM A", "RAW A", "MAX{ RAW A }", "RESULT B",
                                     "NORM B",   "RAW B",  "MAX{ RAW B }", "EVAL 1", "EVAL 2"};

TEST_F(MqttCtlTest, TwoHundredCyclesArriveInOrderEachEqualToTheRowRecordedForIt) {
    ASSERT_TRUE(broker.start(dirPath(), {}));
    ASSERT_TRUE(subscriber.start(broker.port(), "plant/scope"));
    const QString csv = path("live.csv");
    const CtlResult r = ctl(live(200, csv, broker.url("plant/scope")));
    ASSERT_EQ(r.code, 0) << Describe(r);

    const auto recorded = rows(Slurp(csv));
    ASSERT_EQ(recorded.size(), 200u);
    ASSERT_TRUE(Subscriber::waitFor([&] { return subscriber.payloads("plant/scope/live").size() >= 200; }, 10.0));
    const std::vector<std::string> sent = subscriber.payloads("plant/scope/live");
    ASSERT_EQ(sent.size(), 200u) << "one message a cycle, none twice";
    for (std::size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(sent[i]);
        const auto &row = recorded[i];
        EXPECT_EQ(JsonField(sent[i], "index"), row[0]);
        const std::string time = JsonField(sent[i], "time");
        EXPECT_EQ(time.size(), 12u);
        EXPECT_EQ(time.substr(0, 8), row[1]) << "the row's TIMESTAMP is the message's time to the second";
        for (std::size_t c = 0; c < 10; ++c) EXPECT_EQ(JsonField(sent[i], kValueColumns[c]), row[c + 2]);
    }

    // The status the broker keeps: online while the job ran, offline after.
    const std::vector<std::string> status = subscriber.payloads("plant/scope/status");
    ASSERT_GE(status.size(), 2u);
    EXPECT_EQ(JsonField(status.front(), "state"), "online");
    EXPECT_NE(JsonField(status.front(), "version"), "");
    EXPECT_EQ(JsonField(status.front(), "link"), "TCP/IP " + sim.tcp().toStdString());
    Subscriber late;
    ASSERT_TRUE(late.start(broker.port(), "plant/scope"));
    ASSERT_TRUE(Subscriber::waitFor([&] { return !late.payloads("plant/scope/status").empty(); }, 5.0));
    const Received kept = late.messages().front();
    EXPECT_TRUE(kept.retained);
    EXPECT_EQ(JsonField(kept.payload, "state"), "offline");
}

TEST_F(MqttCtlTest, AKilledProgramLeavesItsLastWillOfflineAsTheRetainedStatus) {
    ASSERT_TRUE(broker.start(dirPath(), {}));
    ASSERT_TRUE(subscriber.start(broker.port(), "plant"));
    QProcess program;
    program.start(QStringLiteral(QVEX_CTL_BIN), tcp(live(10000000, path("long.csv"), broker.url("plant"))));
    ASSERT_TRUE(Subscriber::waitFor([&] { return subscriber.payloads("plant/live").size() >= 20; }, 20.0))
        << program.readAllStandardError().toStdString();
    ASSERT_EQ(JsonField(subscriber.payloads("plant/status").back(), "state"), "online");
    program.kill();
    program.waitForFinished(5000);

    ASSERT_TRUE(Subscriber::waitFor(
        [&] {
            const auto s = subscriber.payloads("plant/status");
            return JsonField(s.back(), "state") == "offline";
        },
        5.0))
        << "the broker publishes the will when the connection breaks";
    Subscriber late;
    ASSERT_TRUE(late.start(broker.port(), "plant"));
    ASSERT_TRUE(Subscriber::waitFor([&] { return !late.payloads("plant/status").empty(); }, 5.0));
    EXPECT_TRUE(late.messages().front().retained);
    EXPECT_EQ(JsonField(late.payloads("plant/status").front(), "state"), "offline");
}

TEST_F(MqttCtlTest, ARefusedPasswordSaysSoOnceWhileTheMeasuringGoesOn) {
    const QString passwords = path("passwords");
    ASSERT_TRUE(Exec("mosquitto_passwd", {"-c", "-b", passwords, "plant", "right horse"}));
    ASSERT_TRUE(broker.start(dirPath(), {passwords}));
    ASSERT_TRUE(subscriber.start(broker.port(), "plant", false, nullptr, "plant", "right horse"));
    Spit(path("wrong"), "battery staple\n");
    Spit(path("right"), "right horse\n");

    const CtlResult refused =
        ctl(live(30, path("a.csv"), broker.url("plant"), {"--mqtt-user", "plant", "--mqtt-password-file", path("wrong")}));
    EXPECT_EQ(refused.code, 1) << Describe(refused);
    int said = 0;
    for (const std::string &line : LinesOf(refused.err)) said += line.find("refused the login") != std::string::npos;
    EXPECT_EQ(said, 1) << refused.err;
    EXPECT_NE(refused.err.find("30 waiting in"), std::string::npos) << refused.err;
    EXPECT_EQ(rows(Slurp(path("a.csv"))).size(), 30u) << "the broker's refusal never stops the measuring";
    EXPECT_TRUE(subscriber.payloads("plant/live").empty());

    // The rows the refused run kept go out first when the login is right.

    // The password from the environment; never from the command line.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QVEX_MQTT_PASSWORD", "right horse");
    const CtlResult fromEnv = RunCtl(tcp(live(30, path("b.csv"), broker.url("plant"), {"--mqtt-user", "plant"})),
                                     60000, env);
    EXPECT_EQ(fromEnv.code, 0) << Describe(fromEnv);
    EXPECT_TRUE(Subscriber::waitFor([&] { return subscriber.payloads("plant/live").size() == 60; }, 5.0));
    const auto kept = rows(Slurp(path("a.csv")));
    ASSERT_EQ(subscriber.payloads("plant/live").size(), 60u);
    for (std::size_t i = 0; i < 30; ++i)
        EXPECT_EQ(JsonField(subscriber.payloads("plant/live")[i], "time").substr(0, 8), kept[i][1]);
    const CtlResult onTheLine = ctl(live(3, path("c.csv"), broker.url("plant"), {"--mqtt-password", "right horse"}));
    EXPECT_EQ(onTheLine.code, 2) << Describe(onTheLine);
}

TEST_F(MqttCtlTest, TlsTrustsTheBrokerOnlyWithItsOwnCertificateAuthority) {
    TestCa ca, stranger;
    ASSERT_TRUE(ca.make(dirPath(), "ca"));
    ASSERT_TRUE(stranger.make(dirPath(), "stranger"));
    Broker::Options options;
    options.tls = &ca;
    ASSERT_TRUE(broker.start(dirPath(), options));
    ASSERT_TRUE(subscriber.start(broker.port(), "plant", false, &ca));

    const CtlResult trusted = ctl(live(20, path("a.csv"), broker.url("plant", "mqtts"),
                                      {"--mqtt-cafile", ca.caCert}));
    EXPECT_EQ(trusted.code, 0) << Describe(trusted);
    EXPECT_TRUE(Subscriber::waitFor([&] { return subscriber.payloads("plant/live").size() == 20; }, 5.0));

    // A certificate the given authority did not sign: nothing goes out.
    const std::size_t before = subscriber.messages().size();
    const CtlResult untrusted = ctl(live(5, path("b.csv"), broker.url("plant", "mqtts"),
                                        {"--mqtt-cafile", stranger.caCert}));
    EXPECT_EQ(untrusted.code, 1) << Describe(untrusted);
    EXPECT_NE(untrusted.err.find("MQTT: broker 127.0.0.1:"), std::string::npos) << untrusted.err;
    EXPECT_EQ(subscriber.messages().size(), before);
}

} // namespace
