// Parameters over a real link: the EEPROM file across simulator restarts,
// record access from tests, and the request log.
#include "sim/runner.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace sim;
using namespace simtest;

namespace {

QByteArray exchange(TcpClient &client, const QByteArray &req) {
    client.send(req);
    return client.readBytes(36);
}

// The program's send sequence over TCP; returns the activation's first reply word.
uint16_t sendRecord(TcpClient &client, const ParamRecord &record, uint16_t activation) {
    for (int n = 1; n <= kParamSets; ++n)
        EXPECT_EQ(word(exchange(client, request(CmdParamWrite, setWords(record, n))), 0), n);
    return word(exchange(client, request(activation, kParamBase)), 0);
}

ParamRecord readRecord(TcpClient &client, uint16_t prepare) {
    EXPECT_EQ(word(exchange(client, request(prepare, kParamBase)), 0), 0);
    ParamRecord got{};
    for (int n = 1; n <= kParamSets; ++n) {
        const QByteArray reply = exchange(client, request(CmdParamRead, uint16_t(kParamBase + n)));
        for (int i = 0; i < kSetWords; ++i)
            got[std::size_t((n - 1) * kSetWords + i)] = reply.size() == 36 ? word(reply, i) : 0;
    }
    return got;
}

QByteArray fileBytes(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

TEST(SimEeprom, StoredParametersSurviveARestartThroughTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.txt");
    const ParamRecord x = sampleRecord(1), y = sampleRecord(2);
    {
        SimThread sim;
        EXPECT_EQ(sim.setEepromFile(path), EepromLoad::Missing);
        EXPECT_EQ(sim.eepromRecord(), Controller::defaultParams());
        ASSERT_TRUE(sim.start());
        TcpClient client;
        ASSERT_TRUE(client.connectTo(sim.tcpPort()));
        EXPECT_EQ(sendRecord(client, y, CmdParamWrite), 0);
        EXPECT_FALSE(QFile::exists(path)) << "an activation into RAM must not write the EEPROM";
        EXPECT_EQ(sendRecord(client, x, CmdParamStore), 0);
        // Saved before the reply went out; no temporary file left behind.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"eeprom.txt"});
    }
    SimThread sim;
    EXPECT_EQ(sim.setEepromFile(path), EepromLoad::Loaded);
    EXPECT_EQ(sim.eepromRecord(), x);
    EXPECT_EQ(sim.ramRecord(), x) << "RAM starts as a copy of the EEPROM";
    ASSERT_TRUE(sim.start());
    TcpClient client;
    ASSERT_TRUE(client.connectTo(sim.tcpPort()));
    EXPECT_EQ(readRecord(client, CmdParamReadEeprom), x);

    // Records set from a test are what the link reads, and reach the file.
    sim.setRamRecord(y);
    EXPECT_EQ(readRecord(client, CmdParamRead), y);
    sim.setEepromRecord(y);
    ParamRecord saved{};
    std::string problem;
    ASSERT_EQ(loadEepromFile(path, saved, problem), EepromLoad::Loaded) << problem;
    EXPECT_EQ(saved, y);
}

TEST(SimEeprom, ADamagedFileMeansDefaultsUntilTheNextStore) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.txt");
    const std::string good = formatEepromImage(sampleRecord(1));
    const QByteArray cases[] = {QByteArray(), QByteArray::fromStdString(good.substr(0, good.size() / 2)),
                                QByteArray(384, '\x7f')};
    for (const QByteArray &damaged : cases) {
        SimThread sim;
        sim.setEepromRecord(sampleRecord(3)); // what the EEPROM held must not survive the load
        writeFile(path, damaged);
        EXPECT_EQ(sim.setEepromFile(path), EepromLoad::Damaged);
        EXPECT_EQ(sim.eepromRecord(), Controller::defaultParams());
        EXPECT_EQ(sim.ramRecord(), Controller::defaultParams());
        EXPECT_EQ(fileBytes(path), damaged) << "kept as it was until something is stored";
    }
    SimThread sim;
    ASSERT_EQ(sim.setEepromFile(path), EepromLoad::Damaged);
    ASSERT_TRUE(sim.start());
    TcpClient client;
    ASSERT_TRUE(client.connectTo(sim.tcpPort()));
    EXPECT_EQ(sendRecord(client, sampleRecord(4), CmdParamStore), 0);
    ParamRecord saved{};
    std::string problem;
    ASSERT_EQ(loadEepromFile(path, saved, problem), EepromLoad::Loaded) << problem;
    EXPECT_EQ(saved, sampleRecord(4));

    // A directory in the way, or no directory at all: warnings, no crash,
    // and the controller carries on with its parameters in memory.
    EXPECT_EQ(sim.setEepromFile(dir.path()), EepromLoad::Damaged);
    EXPECT_EQ(sim.setEepromFile(dir.filePath("no/such/dir/eeprom.txt")), EepromLoad::Missing);
    EXPECT_EQ(sendRecord(client, sampleRecord(5), CmdParamStore), 0);
    EXPECT_EQ(sim.eepromRecord(), sampleRecord(5));
}

TEST(SimRequestLog, HoldsEveryRequestInOrderAnsweredOrNot) {
    SimThread sim;
    ASSERT_TRUE(sim.start());
    TcpClient client;
    ASSERT_TRUE(client.connectTo(sim.tcpPort()));
    Faults f;
    f.dropNext = 1;
    sim.setFaults(f);
    const QByteArray reqs[] = {request(CmdParamWrite, setWords(sampleRecord(1), 1)), request(CmdLineCheck),
                               request(CmdParamWrite, kParamBase)};
    client.send(reqs[0] + reqs[1] + reqs[2]);
    EXPECT_EQ(client.readBytes(72).size(), 72);

    const auto log = sim.requestLog();
    ASSERT_EQ(log.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(log[i].data()), 36), reqs[i]) << i;
    sim.clearRequestLog();
    EXPECT_TRUE(sim.requestLog().empty());
    client.send(request(CmdVersion));
    client.readBytes(36);
    EXPECT_EQ(sim.requestLog().size(), 1u);
}
