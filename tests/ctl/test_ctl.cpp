// qvex-ctl's jobs through the executable against qvex-sim: what a script
// sees (exit status, stdout, stderr, the files written) and what the
// controller received.
#include "tests/ctl/ctl_fixture.h"
#include "tests/maint/update_fixture.h"

#include "sim/eeprom.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QTcpServer>

#include <algorithm>
#include <array>
#include <regex>
#include <sstream>

using namespace ctl_test;
using namespace simtest;

namespace {

class CtlTest : public CtlJobTest {
  protected:
    // The request frames the simulator logged, as hex lines.
    std::vector<std::string> loggedFrames(const QString &log) {
        std::vector<std::string> lines;
        std::istringstream in(Slurp(log));
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }
};

TEST_F(CtlTest, GetThenSendOfTheSameFileLeavesTheRecordAsItWas) {
    const QString log = path("frames.log");
    ASSERT_TRUE(sim.start({"--log-frames", log}));
    const CtlResult got = ctl({"get", "--from", "ram", "--out", path("a.ini")});
    ASSERT_EQ(got.code, 0) << Describe(got);
    const std::size_t afterGet = loggedFrames(log).size();
    const CtlResult sent = ctl({"send", "--to", "ram", path("a.ini")});
    ASSERT_EQ(sent.code, 0) << Describe(sent);
    const CtlResult again = ctl({"get", "--from", "ram", "--out", path("b.ini")});
    ASSERT_EQ(again.code, 0) << Describe(again);
    EXPECT_EQ(Slurp(path("a.ini")), Slurp(path("b.ini")));

    // Every set the send wrote is the set the simulator started with (a
    // frame is 4 bytes of sync and command, then word 0: 12 hex digits).
    const sim::ParamRecord start = sim::Controller::defaultParams();
    int writes = 0;
    const std::vector<std::string> frames = loggedFrames(log);
    for (int set = 1; set <= 12; ++set) {
        const std::string expected = request(sim::CmdParamWrite, setWords(start, set)).toHex().toStdString();
        for (std::size_t i = afterGet; i < frames.size(); ++i) {
            if (frames[i].compare(0, 12, expected, 0, 12) != 0) continue;
            EXPECT_EQ(frames[i], expected) << "set " << set;
            ++writes;
        }
    }
    EXPECT_EQ(writes, 12);
}

TEST_F(CtlTest, DiffPrintsExactlyTheEditedFieldsAndExitsThree) {
    ASSERT_TRUE(sim.start({}));
    const CtlResult got = ctl({"get", "--from", "ram", "--out", path("a.ini")});
    ASSERT_EQ(got.code, 0) << Describe(got);
    const CtlResult same = ctl({"diff", "--from", "ram", path("a.ini")});
    EXPECT_EQ(same.code, 0) << Describe(same);
    EXPECT_EQ(same.out, "");

    // Two keys edited in place; everything else as read.
    std::string text = Slurp(path("a.ini"));
    std::vector<std::string> edited;
    std::smatch m;
    std::string rest = text;
    const std::regex numeric("\n([A-Za-z][^=\r\n]*?) = ([0-9]+)\r");
    std::string out;
    while (edited.size() < 2 && std::regex_search(rest, m, numeric)) {
        const std::string value = std::to_string(std::stoi(m[2].str()) == 1 ? 2 : 1);
        out += rest.substr(0, std::size_t(m.position(0))) + "\n" + m[1].str() + " = " + value + "\r";
        edited.push_back(m[1].str() + " / " + m[2].str() + " / " + value);
        rest = m.suffix().str();
    }
    ASSERT_EQ(edited.size(), 2u);
    Spit(path("b.ini"), out + rest);
    const CtlResult diff = ctl({"diff", "--from", "ram", path("b.ini")});
    EXPECT_EQ(diff.code, 3) << Describe(diff);
    const std::vector<std::string> lines = LinesOf(diff.out);
    ASSERT_EQ(lines.size(), 2u) << diff.out;
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_NE(lines[i].find(edited[i]), std::string::npos) << lines[i];
}

TEST_F(CtlTest, FractionalFixedPointFieldsSurviveGetAndSendWordForWord) {
    const sim::ParamRecord record = WithFractionalTolerances();
    const QString eeprom = path("eeprom.txt");
    Spit(eeprom, sim::formatEepromImage(record));
    const QString log = path("frames.log");
    ASSERT_TRUE(sim.start({"--eeprom", eeprom, "--log-frames", log}));
    const CtlResult got = ctl({"get", "--from", "eeprom", "--out", path("f.ini")});
    ASSERT_EQ(got.code, 0) << Describe(got);
    const CtlResult sent = ctl({"send", "--to", "eeprom", path("f.ini")});
    ASSERT_EQ(sent.code, 0) << Describe(sent);
    sim.stop();
    const std::string store = request(sim::CmdParamStore, sim::kParamBase).toHex().toStdString();
    const std::vector<std::string> frames = loggedFrames(log);
    ASSERT_NE(std::find(frames.begin(), frames.end(), store), frames.end()) << "the record was stored";

    sim::ParamRecord stored{};
    std::string problem;
    ASSERT_TRUE(sim::parseEepromImage(Slurp(eeprom), stored, problem)) << problem;
    for (int i = 0; i < sim::kParamWords; ++i) {
        if (i == 61 || i == 75 || i == 77) continue; // fixed by the program on every send
        EXPECT_EQ(stored[std::size_t(i)], record[std::size_t(i)]) << "word " << i;
    }
}

// The INI text with one key of one section set to value.
std::string withValue(const std::string &text, const std::string &section, const std::string &key,
                      const std::string &value) {
    const std::size_t at = text.find("[" + section + "]\r\n");
    const std::size_t line = text.find("\n" + key + " = ", at);
    if (at == std::string::npos || line == std::string::npos) return text + "<no " + section + "/" + key + ">";
    const std::size_t from = line + 1 + key.size() + 3;
    return text.substr(0, from) + value + text.substr(text.find('\r', from));
}

TEST_F(CtlTest, ValuesTheirControlsWouldNotTakeAreRefusedBeforeAnythingIsSent) {
    const QString log = path("frames.log");
    ASSERT_TRUE(sim.start({"--log-frames", log}));
    const CtlResult got = ctl({"get", "--from", "ram", "--out", path("a.ini")});
    ASSERT_EQ(got.code, 0) << Describe(got);
    const std::size_t afterGet = loggedFrames(log).size();

    // Beyond the real's 2^31 (once sent as -25536), below the control's
    // range, beyond 16 bits, negative, not a number, beyond a byte, not a
    // boolean, a label the list lacks.
    const std::vector<std::array<std::string, 3>> bad = {
        {"EVALUATION 1", "Reference value", "40000"},
        {"EVALUATION 2", "Lower tolerance", "-40000"},
        {"CHANNEL A", "Power", "99999"},
        {"CHANNEL B", "Power", "-5"},
        {"CHANNEL A", "Triggerlevel", "abc"},
        {"OUTPUT 1", "Minimum OFF-time", "256"},
        {"RESET CHANNEL A", "On digital input IN0 rising edge", "maybe"},
        {"SPECIAL FUNCTION", "Baudrate", "300000"},
    };
    std::string text = Slurp(path("a.ini"));
    for (const auto &b : bad) text = withValue(text, b[0], b[1], b[2]);
    Spit(path("bad.ini"), text);
    for (const char *job : {"send", "diff"}) {
        const CtlResult r = ctl({job, job == std::string("send") ? "--to" : "--from", "ram", path("bad.ini")});
        EXPECT_EQ(r.code, 2) << job << "\n" << Describe(r);
        EXPECT_NE(r.err.find(path("bad.ini").toStdString()), std::string::npos) << r.err;
        for (const auto &b : bad)
            EXPECT_NE(r.err.find("[" + b[0] + "] " + b[1] + " = " + b[2] + " ("), std::string::npos)
                << job << ": " << b[1] << "\n" << r.err;
    }
    EXPECT_EQ(loggedFrames(log).size(), afterGet) << "nothing went to the controller";

    // The edges of the ranges are taken.
    text = withValue(Slurp(path("a.ini")), "EVALUATION 1", "Reference value", "-32768");
    text = withValue(text, "CHANNEL A", "Power", "65535");
    text = withValue(text, "OUTPUT 1", "Minimum OFF-time", "255");
    Spit(path("edges.ini"), text);
    const CtlResult sent = ctl({"send", "--to", "ram", path("edges.ini")});
    EXPECT_EQ(sent.code, 0) << Describe(sent);
    const CtlResult same = ctl({"diff", "--from", "ram", path("edges.ini")});
    EXPECT_EQ(same.code, 0) << Describe(same);
}

// A key loading passes over (unknown, or given again) is warned of, and
// --strict refuses the file before anything is sent.
TEST_F(CtlTest, UnknownAndRepeatedKeysAreWarnedOfAndStrictRefusesThem) {
    const QString log = path("frames.log");
    ASSERT_TRUE(sim.start({"--log-frames", log}));
    const CtlResult got = ctl({"get", "--from", "ram", "--out", path("a.ini")});
    ASSERT_EQ(got.code, 0) << Describe(got);
    std::string text = Slurp(path("a.ini"));
    const std::size_t next = text.find("\r\n[", text.find("[CHANNEL A]"));
    ASSERT_NE(next, std::string::npos);
    text.insert(next + 2, "Powr = 650\r\nPower = 1\r\n");
    Spit(path("odd.ini"), text);
    const std::size_t afterGet = loggedFrames(log).size();
    for (const char *job : {"send", "apply", "diff"}) {
        const CtlResult r = ctl({job, job == std::string("diff") ? "--from" : "--to", "ram", "--strict", path("odd.ini")});
        EXPECT_EQ(r.code, 2) << job << "\n" << Describe(r);
        EXPECT_NE(r.err.find("[CHANNEL A] Powr: no such key"), std::string::npos) << r.err;
    }
    EXPECT_EQ(loggedFrames(log).size(), afterGet) << "nothing went to the controller";

    const CtlResult r = ctl({"--json", "apply", "--to", "ram", path("odd.ini")});
    EXPECT_EQ(r.code, 0) << Describe(r);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(o["status"].toString(), "unchanged") << r.out;
    EXPECT_EQ(o["warnings"].toArray(), (QJsonArray{"[CHANNEL A] Powr: no such key; not read",
                                                   "[CHANNEL A] Power given twice: the first value counts"}));
    EXPECT_NE(r.err.find("warning: " + path("odd.ini").toStdString() + ": [CHANNEL A] Power given twice"),
              std::string::npos)
        << r.err;
}

TEST_F(CtlTest, PartialFileIsSentOnlyWhenAskedForAndClearsTheConditionsItLacks) {
    const QString log = path("frames.log");
    ASSERT_TRUE(sim.start({"--log-frames", log}));
    // Some reset conditions of channel A set on the controller.
    const CtlResult got = ctl({"get", "--from", "ram", "--out", path("a.ini")});
    ASSERT_EQ(got.code, 0) << Describe(got);
    std::string full = withValue(Slurp(path("a.ini")), "RESET CHANNEL A", "On digital input IN0 rising edge", "True");
    Spit(path("full.ini"), full);
    ASSERT_EQ(ctl({"send", "--to", "ram", path("full.ini")}).code, 0);
    const std::size_t before = loggedFrames(log).size();

    Spit(path("p.ini"), "[CHANNEL A]\r\nPower = 700\r\n");
    const CtlResult refused = ctl({"send", "--to", "ram", path("p.ini")});
    EXPECT_EQ(refused.code, 2) << Describe(refused);
    EXPECT_NE(refused.err.find("p.ini lacks "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("[CHANNEL A] Triggerlevel, [CHANNEL A] Pretrigger"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--partial"), std::string::npos) << refused.err;
    EXPECT_EQ(loggedFrames(log).size(), before) << "nothing went to the controller";

    // With --partial it goes, and does what the help says: the power is
    // taken, the reset conditions the file does not name are cleared.
    const CtlResult partial = ctl({"send", "--partial", "--to", "ram", path("p.ini")});
    ASSERT_EQ(partial.code, 0) << Describe(partial);
    ASSERT_EQ(ctl({"get", "--from", "ram", "--out", path("after.ini")}).code, 0);
    const std::string after = Slurp(path("after.ini"));
    EXPECT_NE(after.find("[CHANNEL A]\r\nPower = 700\r\n"), std::string::npos) << after;
    const std::size_t reset = after.find("[RESET CHANNEL A]");
    const std::string resetSection = after.substr(reset, after.find('[', reset + 1) - reset);
    EXPECT_NE(resetSection.find("On digital input IN0 rising edge = False"), std::string::npos) << resetSection;
    EXPECT_EQ(resetSection.find("= True"), std::string::npos) << resetSection;

    const CtlResult help = RunCtl({"send", "--help"});
    EXPECT_NE(help.out.find("--partial"), std::string::npos);
    EXPECT_EQ(help.out.find("keep the controller's values"), std::string::npos) << help.out;
}

TEST_F(CtlTest, AnyVersionTextConnectsAndKeepsTheRecordFileAndTheJsonSound) {
    // Stray bytes before every reply: the line check realigns its frame, and
    // the version text starts with them (a quote among them). The record
    // file's sensor field goes in quotes, its quote doubled.
    ASSERT_TRUE(sim.start({"--stray", "5"}));
    CtlResult r = ctl({"record", "--rows", "2", "--interval", "0", "--out", path("r.csv")});
    EXPECT_EQ(r.code, 0) << Describe(r);
    std::string sensor;
    for (const std::string &l : LinesOf(Slurp(path("r.csv"))))
        if (l.rfind("Type of sensor:,", 0) == 0) sensor = l;
    EXPECT_EQ(sensor.substr(0, 22), "Type of sensor:,\"\"\"3Df") << sensor;
    EXPECT_EQ(sensor.back(), '"') << sensor;
    sim.stop();

    // A quote, a tab, a byte that is no UTF-8 and a comma.
    SimProcess odd;
    ASSERT_TRUE(odd.start({"--version-text", "Q-VEX \"7\"\t\\xB5, 2 ch"}));
    r = RunCtl({"--tcp", odd.tcp(), "version"});
    EXPECT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(r.out, "Q-VEX \"7\", 2 ch\n");
    r = RunCtl({"--tcp", odd.tcp(), "--json", "version"});
    ASSERT_EQ(r.code, 0) << Describe(r);
    const QByteArray line = QByteArray::fromStdString(r.out).trimmed();
    EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line) << "valid UTF-8";
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    EXPECT_EQ(o["version"].toString(), QStringLiteral("Q-VEX \"7\"\t\uFFFD, 2 ch")) << r.out;

    SimProcess plain;
    ASSERT_TRUE(plain.start({"--version-text", "Q-VEX-MOD7-ARC V2.01, 2 channels"}));
    r = RunCtl({"--tcp", plain.tcp(), "version"});
    EXPECT_EQ(r.code, 0) << Describe(r);
    EXPECT_EQ(r.out, "Q-VEX-MOD7-ARC V2.01, 2 channels\n");
    r = RunCtl({"--tcp", plain.tcp(), "--json", "version"});
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object()["version"].toString(),
              QStringLiteral("Q-VEX-MOD7-ARC V2.01, 2 channels"));
}

TEST_F(CtlTest, LiveFilterAndOneShotCommandsReportOnStdout) {
    const QString filterLog = path("filter.log");
    ASSERT_TRUE(sim.start({"--filter-settings", "off,20,off,500", "--filter-log", filterLog}));
    const CtlResult live = ctl({"live", "--count", "3"});
    ASSERT_EQ(live.code, 0) << Describe(live);
    const std::vector<std::string> lines = LinesOf(live.out);
    int rows = 0;
    for (const std::string &l : lines)
        if (!l.empty() && std::isdigit(static_cast<unsigned char>(l[0]))) {
            EXPECT_EQ(l.substr(0, 2), std::to_string(rows++) + ",");
        }
    EXPECT_EQ(rows, 3) << live.out;

    const CtlResult get = ctl({"filter", "get"});
    ASSERT_EQ(get.code, 0) << Describe(get);
    EXPECT_EQ(get.out, "filter 1: off\nfilter 2: 20\nfilter 3: off\nfilter 4: 500\n");
    const CtlResult send = ctl({"filter", "send"});
    ASSERT_EQ(send.code, 0) << Describe(send);
    EXPECT_EQ(Slurp(filterLog).rfind("erase 1100\n", 0), 0u) << Slurp(filterLog);

    const CtlResult trigger = ctl({"trigger"});
    EXPECT_EQ(trigger.code, 0) << Describe(trigger);
}

// A reply lost once and answered on the retry is a job done: the outcome
// comes from the exchange, never from the status line's text (which said
// "Read failure! Retrying for 9 times.OK." after such a retry).
TEST_F(CtlTest, AReplyLostOnceAndAnsweredOnTheRetryIsAJobDone) {
    const std::vector<QStringList> jobs{{"filter", "get"},
                                        {"filter", "send"},
                                        {"trigger"},
                                        {"get", "--from", "ram", "--out", path("p.ini")},
                                        {"capture", "--out", path("graph.csv")}};
    for (const QStringList &job : jobs) {
        // The connect's line check and version read go through, then the
        // job's first reply is lost.
        ASSERT_TRUE(sim.start({"--start-after", "2", "--drop-next", "1"}));
        const CtlResult r = ctl(job);
        sim.stop();
        EXPECT_EQ(r.code, 0) << job.join(' ').toStdString() << "\n" << Describe(r);
        EXPECT_EQ(r.err.find("Retrying"), std::string::npos) << job.join(' ').toStdString() << "\n" << r.err;
        if (job[0] == "filter" && job[1] == "get") {
            EXPECT_EQ(r.out, "filter 1: 100\nfilter 2: off\nfilter 3: off\nfilter 4: off\n");
        }
    }
}

// The curves as the controller sent them: every reply to a sample read
// (command 9, word 0 = 0x6401 for A, 0x6402 for B, word 1 = first index)
// in the simulator's reply log, as signed 16-bit samples.
std::array<std::vector<int>, 2> curvesSent(const std::string &log) {
    std::array<std::vector<int>, 2> curves{std::vector<int>(512, 0), std::vector<int>(512, 0)};
    auto word = [](const std::string &hex, int index) {
        return static_cast<uint16_t>(std::stoul(hex.substr(8 + 4 * index, 4), nullptr, 16));
    };
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (line.size() != 145) continue;
        const std::string request = line.substr(0, 72), reply = line.substr(73);
        const int source = word(request, 0) - 0x6400;
        if (request.substr(4, 4) != "0009" || reply.substr(4, 4) != "0009" || source < 1 || source > 2) continue;
        const int first = word(request, 1);
        for (int i = 0; i < 16 && first + i < 512; ++i)
            curves[std::size_t(source - 1)][std::size_t(first + i)] = static_cast<int16_t>(word(reply, i));
    }
    return curves;
}

TEST_F(CtlTest, CaptureWritesTheHeaderBlockAndTheGraphSectionWithTheSamplesTheControllerSent) {
    const QString log = path("replies.log");
    ASSERT_TRUE(sim.start({"--log-replies", log}));
    const CtlResult r = ctl({"capture", "--out", path("graph.csv")});
    ASSERT_EQ(r.code, 0) << Describe(r);
    sim.stop();
    const std::string text = Slurp(path("graph.csv"));

    // The header block, every line ended by CR LF.
    const std::size_t section = text.find("\r\n\r\nRecorded analog graph.\r\n");
    ASSERT_NE(section, std::string::npos) << text.substr(0, 2000);
    const std::vector<std::string> header = maint_test::crlfLines(text.substr(0, section));
    const std::string port = sim.tcp().section(':', 1).toStdString();
    const std::vector<std::string> headerPatterns{
        "Logfile for recorded data\\.", "Date:,\\d\\d-\\d\\d-\\d{4}", "Time:,\\d\\d:\\d\\d:\\d\\d",
        "Type of sensor:,.+", "Type of software:,.+", "Software version:,.+", "Type of connection:,TCP/IP",
        "Connection details:,IP 127\\.0\\.0\\.1", "Connection details:,PORT " + port, "Recording type:,Manual", "",
        "INDEX,TIMESTAMP,RESULT A,NORM A,RAW A,MAX\\{ RAW A \\},RESULT B,NORM B,RAW B,MAX\\{ RAW B \\},EVAL 1,EVAL 2,"};
    ASSERT_EQ(header.size(), headerPatterns.size()) << text.substr(0, section);
    for (std::size_t i = 0; i < header.size(); ++i)
        EXPECT_TRUE(std::regex_match(header[i], std::regex(headerPatterns[i]))) << "line " << i + 1 << ": " << header[i];

    // The graph section, byte for byte: its time stamp, then both curves as
    // the replies carried them, signed, no trailing comma.
    std::smatch stamp;
    const std::string rest = text.substr(section);
    ASSERT_TRUE(std::regex_search(rest, stamp, std::regex("TIMESTAMP:,(\\d\\d:\\d\\d:\\d\\d)\\r\\n")));
    const auto curves = curvesSent(Slurp(log));
    std::string expected = "\r\n\r\nRecorded analog graph.\r\nTIMESTAMP:," + stamp[1].str() +
                           "\r\n\r\nINDEX,Channel A:,Channel B:,";
    for (std::size_t k = 0; k < 512; ++k)
        expected += "\r\n" + std::to_string(k) + "," + std::to_string(curves[0][k]) + "," + std::to_string(curves[1][k]);
    expected += "\r\nEnd of Graph\r\n\r\n";
    EXPECT_EQ(rest, expected);
    EXPECT_NE(curves[0], curves[1]) << "both channels were read";
}

TEST_F(CtlTest, FlashOverThePtyDownloadsTheFileOrTheMergedFile) {
    using namespace maint_test;
    const QString image = path("image.S");
    // The loader's hold-off (XON/XOFF while it programs) has tests of its
    // own; here it would only make the run depend on the machine's load.
    ASSERT_TRUE(sim.start({"--loader-image", image, "--loader-busy", "0"}, true));
    const QString settings = path("settings.ini");
    Spit(settings, "[SERIAL PORTS]\r\nCOM1 = \"" + sim.pty().toStdString() + "\"\r\n");
    // A blank line among the records carries nothing: every record arrives.
    std::string firmware;
    for (const std::string &l : syntheticFirmware())
        firmware += l + (firmware.empty() ? "\r\n\r\n" : "\r\n");
    Spit(path("fw.S"), firmware);
    const QStringList serial{"--quiet", "--settings", settings, "--serial", "1"};

    const CtlResult plain = RunCtl(serial + QStringList{"flash", path("fw.S")});
    ASSERT_EQ(plain.code, 0) << Describe(plain);
    EXPECT_EQ(Slurp(image), joined(syntheticFirmware(), "\n"));

    std::string table;
    for (const std::string &l : tableLines(tableValues(-500, 1)))
        table += l + "\r\n";
    Spit(path("a.dat"), table);
    const CtlResult merged =
        RunCtl(serial + QStringList{"flash", path("fw.S"), "--lin-a", path("a.dat"), "--window", "0x1000",
                                    "0x2000", "--merged-out", path("merged.S")});
    ASSERT_EQ(merged.code, 0) << Describe(merged);
    const std::vector<std::string> sent = LinesOf(Slurp(image));
    std::vector<std::string> records = LinesOf(Slurp(path("merged.S")));
    // The merged file keeps CR LF line ends; the loader saved what it took.
    EXPECT_EQ(Slurp(path("merged.S")), joined(records, "\r\n"));
    EXPECT_EQ(Slurp(image), joined(sent, "\n"));
    records.erase(std::remove(records.begin(), records.end(), std::string()), records.end());
    EXPECT_EQ(sent, records) << "the merged file's records, its blank line left out";
    EXPECT_NE(sent, syntheticFirmware());
    EXPECT_EQ(sent.size(), syntheticFirmware().size());
}

TEST_F(CtlTest, ALinkLostMidRunEndsRecordAndLiveKeepingEveryRowWritten) {
    // Two replies for the connection dialog, then five passes of two.
    ASSERT_TRUE(sim.start({"--disconnect-after", "12"}));
    for (const char *job : {"record", "live"}) {
        const QString file = path(job) + ".csv";
        const QStringList args = QString(job) == "record"
                                     ? QStringList{"record", "--rows", "50", "--interval", "0", "--out", file}
                                     : QStringList{"live", "--count", "50", "--out", file};
        const CtlResult r = ctl(args);
        EXPECT_EQ(r.code, 1) << job << "\n" << Describe(r);
        EXPECT_NE(r.err.find("qvex-ctl: Error! Connection lost."), std::string::npos) << r.err;
        const std::vector<std::string> lines = LinesOf(Slurp(file));
        ASSERT_GE(lines.size(), 2u) << job;
        EXPECT_EQ(lines.back().substr(0, 2), "4,") << job << ": rows 0 to 4 stay, nothing after them";
    }
}

TEST_F(CtlTest, FailuresExitWithTheirStatusAndSayWhy) {
    // No controller: a port nobody listens on.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    CtlResult r = RunCtl({"--tcp", "127.0.0.1:" + port, "get", "--from", "ram", "--out", path("x.ini")});
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_NE(r.err.find("qvex-ctl: "), std::string::npos) << r.err;
    EXPECT_FALSE(QFile::exists(path("x.ini")));

    // Bad or unreadable files, before the controller is touched.
    r = RunCtl({"--tcp", "127.0.0.1:" + port, "send", "--to", "ram", path("missing.ini")});
    EXPECT_EQ(r.code, 2) << Describe(r);
    EXPECT_NE(r.err.find("missing.ini"), std::string::npos) << r.err;
    Spit(path("junk.ini"), "no sections here\r\n");
    r = RunCtl({"--tcp", "127.0.0.1:" + port, "diff", "--from", "ram", path("junk.ini")});
    EXPECT_EQ(r.code, 2) << Describe(r);
    EXPECT_NE(r.err.find("junk.ini"), std::string::npos) << r.err;
    r = RunCtl({"--tcp", "127.0.0.1:" + port, "flash", path("missing.S")});
    EXPECT_EQ(r.code, 2) << Describe(r);
    EXPECT_NE(r.err.find("missing.S"), std::string::npos) << r.err;

    // Usage.
    for (const QStringList &bad : {QStringList{"--tcp", "127.0.0.1:1", "record", "--rows", "5"},
                                   QStringList{"--tcp", "127.0.0.1:1", "fly"}, QStringList{"get"},
                                   QStringList{"--tcp", "127.0.0.1:1", "flash", "a.S", "--window", "1"}}) {
        r = RunCtl(bad);
        EXPECT_EQ(r.code, 2) << bad.join(' ').toStdString() << "\n" << Describe(r);
    }
    r = RunCtl({"record", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("--interval"), std::string::npos);

    // A controller, but flash over TCP: the program's own refusal.
    ASSERT_TRUE(sim.start({}));
    Spit(path("fw.S"), maint_test::syntheticFirmware()[0] + "\r\n");
    r = ctl({"flash", path("fw.S")});
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_NE(r.err.find("Upgrade is not supported using TCP/IP."), std::string::npos) << r.err;
    sim.stop();

    // A controller that never answers: the program's own time-outs end it.
    SimProcess silent;
    ASSERT_TRUE(silent.start({"--drop-all"}));
    r = RunCtl({"--tcp", silent.tcp(), "get", "--from", "ram", "--out", path("y.ini")}, 30000);
    EXPECT_EQ(r.code, 1) << Describe(r);
    EXPECT_FALSE(QFile::exists(path("y.ini")));
}

// What a command's outcome says reaches the script: its kind as the exit
// status, its reason as the result's, word for word as the operator read it.
class CtlOutcomeTest : public CtlTest {
  protected:
    // The one JSON line a --json run writes on stdout.
    static QJsonObject resultOf(const CtlResult &r) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out).trimmed(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << Describe(r);
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << Describe(r);
        return doc.object();
    }
    static void expectFailed(const CtlResult &r, int code, const std::string &reason) {
        EXPECT_EQ(r.code, code) << Describe(r);
        const QJsonObject o = resultOf(r);
        EXPECT_EQ(o.value("exit").toInt(-1), code);
        EXPECT_EQ(o.value("status").toString().toStdString(), "failed");
        EXPECT_EQ(o.value("reason").toString().toStdString(), reason) << Describe(r);
        EXPECT_NE(r.err.find("qvex-ctl: " + reason), std::string::npos) << r.err;
    }
};

// A connect that fails says why the link did not come up: the reason the
// connect itself returned, whatever the status line says afterwards.
TEST_F(CtlOutcomeTest, AFailedConnectGivesTheReasonTheLinkDidNotComeUp) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    expectFailed(RunCtl({"--json", "--tcp", "127.0.0.1:" + port, "version"}), 1, "Failed to connect");

    SimProcess silent;
    ASSERT_TRUE(silent.start({"--drop-all"}));
    expectFailed(RunCtl({"--json", "--tcp", silent.tcp(), "version"}, 30000), 1, "Error! No connection found.");
}

TEST_F(CtlOutcomeTest, AFailedTransferGivesExitOneAndTheStepThatFailedAsItsReason) {
    ASSERT_TRUE(sim.start({}));
    const CtlResult got = ctl({"get", "--from", "ram", "--out", path("a.ini")});
    ASSERT_EQ(got.code, 0) << Describe(got);
    sim.stop();

    // The controller takes every set but does not confirm the activation.
    ASSERT_TRUE(sim.start({"--bad-activation"}));
    expectFailed(ctl({"--json", "send", "--to", "ram", path("a.ini")}), 1, "Activating parameter ... Failed!");
    sim.stop();

    // A set the controller answers as another: the read stops there, and
    // nothing is written.
    ASSERT_TRUE(sim.start({"--wrong-set-at", "3"}));
    expectFailed(ctl({"--json", "get", "--from", "ram", "--out", path("b.ini")}), 1,
                 "Parameter set 3 of 12 loading from sensor failed");
    EXPECT_FALSE(QFile::exists(path("b.ini")));
    // The send reads the controller's record first, and stops at the same set.
    expectFailed(ctl({"--json", "send", "--to", "ram", path("a.ini")}), 1,
                 "Parameter set 3 of 12 loading from sensor failed");
}

TEST_F(CtlOutcomeTest, ARefusedDownloadAndASilentLoaderSayWhyInTheResult) {
    Spit(path("fw.S"), maint_test::syntheticFirmware()[0] + "\r\n");
    // Over TCP the program refuses the download before anything is sent.
    ASSERT_TRUE(sim.start({}));
    const CtlResult tcpRefused = ctl({"--json", "flash", path("fw.S")});
    expectFailed(tcpRefused, 1,
                 "To upgrade the controller you need to establish a connection\n"
                 "using a RS232 COM port or an RS232-to-USB converter emulating\n"
                 "an virtual COM port. Upgrade is not supported using TCP/IP.");
    sim.stop();

    // A controller that hands over but starts no loader: the download failed.
    std::string firmware;
    for (const std::string &l : maint_test::syntheticFirmware())
        firmware += l + "\r\n";
    Spit(path("fw.S"), firmware);
    ASSERT_TRUE(sim.start({"--loader-silent"}, true));
    const QString settings = path("settings.ini");
    Spit(settings, "[SERIAL PORTS]\r\nCOM1 = \"" + sim.pty().toStdString() + "\"\r\n");
    const CtlResult silent =
        RunCtl({"--quiet", "--settings", settings, "--serial", "1", "--json", "flash", path("fw.S")});
    expectFailed(silent, 1, "No answer from controller!");
}

TEST_F(CtlOutcomeTest, ACommandDonePrintsTheTextTheOperatorReads) {
    ASSERT_TRUE(sim.start({}));
    const CtlResult trigger = ctl({"trigger"});
    EXPECT_EQ(trigger.code, 0) << Describe(trigger);
    EXPECT_EQ(trigger.out, "Aquiring normalisation base ... OK.\n");
    const CtlResult filter = ctl({"filter", "send"});
    EXPECT_EQ(filter.code, 0) << Describe(filter);
    EXPECT_EQ(filter.out, "Filter data successfully written.\n");
}

TEST_F(CtlOutcomeTest, AFileTheDownloadCannotUseIsTheFilesFaultWithExitTwo) {
    ASSERT_TRUE(sim.start({}, true));
    const QString settings = path("settings.ini");
    Spit(settings, "[SERIAL PORTS]\r\nCOM1 = \"" + sim.pty().toStdString() + "\"\r\n");
    Spit(path("bad.S"), "S1130000 not a record\r\n");
    const CtlResult r = RunCtl({"--quiet", "--settings", settings, "--serial", "1", "--json", "flash", path("bad.S")});
    EXPECT_EQ(r.code, 2) << Describe(r);
    const QJsonObject o = resultOf(r);
    EXPECT_EQ(o.value("exit").toInt(-1), 2);
    EXPECT_NE(o.value("reason").toString().toStdString().find("The S-record file cannot be sent; nothing was sent."),
              std::string::npos)
        << Describe(r);
}

} // namespace
