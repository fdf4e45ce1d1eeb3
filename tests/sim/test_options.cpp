// qvex-sim's command line, parsed without starting anything.
#include "sim/options.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {

ParseOutcome parse(const QString &line, SimOptions &o, QString *message = nullptr) {
    QStringList args = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    args.prepend(QStringLiteral("qvex-sim"));
    QString m;
    const auto r = parseOptions(args, o, m);
    if (message) *message = m;
    return r;
}

} // namespace

TEST(Options, NoTransportMeansTcp10001) {
    SimOptions o;
    ASSERT_EQ(parse("", o), ParseOutcome::Run);
    EXPECT_TRUE(o.tcp && !o.pty);
    EXPECT_EQ(o.tcpPort, 10001);
    EXPECT_EQ(o.faults, Faults{});
    EXPECT_EQ(o.baudIndex, 1);
    EXPECT_TRUE(o.eepromFile.isEmpty() && o.frameLogFile.isEmpty());

    ASSERT_EQ(parse("--pty", o), ParseOutcome::Run);
    EXPECT_TRUE(!o.tcp && o.pty);
    ASSERT_EQ(parse("--tcp 0 --pty", o), ParseOutcome::Run);
    EXPECT_TRUE(o.tcp && o.pty && o.tcpPort == 0);
}

TEST(Options, EveryFaultSwitchReachesTheFaults) {
    SimOptions o;
    ASSERT_EQ(parse("--tcp 4000 --drop-next 3 --drop-all --delay 250 --split 10,26 --split-gap 7 --stray 5 "
                    "--swap-sync --wrong-ack --garbage --disconnect-after 4 --disconnect-mid-reply --pace "
                    "--baud-index 4 --version-text V9 --wrong-set-at 12 --bad-activation --eeprom /tmp/e.txt "
                    "--log-frames /tmp/f.log --log-replies /tmp/r.log --intermittent 25",
                    o),
              ParseOutcome::Run);
    Faults want;
    want.dropNext = 3;
    want.dropAll = true;
    want.delayMs = 250;
    want.split = {10, 26};
    want.splitGapMs = 7;
    want.strayBytes = 5;
    want.swapSync = want.wrongAck = want.garbage = true;
    want.disconnectAfter = 4;
    want.disconnectMidReply = want.pace = true;
    want.wrongSetAt = 12;
    want.badActivation = true;
    want.intermittent = 25;
    EXPECT_EQ(o.faults, want);
    EXPECT_EQ(o.replyLogFile, "/tmp/r.log");
    EXPECT_EQ(o.eepromFile, "/tmp/e.txt");
    EXPECT_EQ(o.frameLogFile, "/tmp/f.log");
    EXPECT_EQ(o.tcpPort, 4000);
    EXPECT_EQ(o.baudIndex, 4);
    EXPECT_EQ(o.versionText.value_or(""), "V9");
}

TEST(Options, OneBehindAndStartAfterReachTheFaults) {
    SimOptions o;
    ASSERT_EQ(parse("--one-behind --delay 550 --start-after 13", o), ParseOutcome::Run);
    Faults want;
    want.oneBehind = true;
    want.delayMs = 550;
    want.startAfter = 13;
    EXPECT_EQ(o.faults, want);
    want.oneBehind = false;
    EXPECT_NE(o.faults, want);
}

TEST(Options, VersionTextEscapesGiveAnyByte) {
    auto parseVersion = [](const char *arg, SimOptions &o, QString &message) {
        return parseOptions({QStringLiteral("qvex-sim"), QStringLiteral("--version-text"), QString::fromUtf8(arg)}, o,
                            message);
    };
    const std::pair<const char *, std::string> cases[] = {
        {"Q\\xB5\\x00Z", std::string("Q\xB5\0Z", 4)},
        {"a\\\\xB5", "a\\xB5"},
        {"\\x22\\x2C", "\","},
        {"\u00B5", "\xC2\xB5"},
    };
    for (const auto &[arg, bytes] : cases) {
        SimOptions o;
        QString message;
        ASSERT_EQ(parseVersion(arg, o, message), ParseOutcome::Run) << arg;
        EXPECT_EQ(o.versionText.value_or(""), bytes) << arg;
    }
    for (const char *arg : {"a\\", "\\xB", "\\xZZ", "\\q", "\\x4"}) {
        SimOptions o;
        QString message;
        EXPECT_EQ(parseVersion(arg, o, message), ParseOutcome::Error) << arg;
        EXPECT_FALSE(message.isEmpty()) << arg;
    }
}

TEST(Options, BadValuesAreRejectedWithAReason) {
    for (const char *line :
         {"--tcp 70000", "--tcp x", "--split 10,,26", "--split 10,-1", "--baud-index 5", "--delay -1",
          "--stray many", "--no-such-option", "positional", "--wrong-set-at 0", "--wrong-set-at 13",
          "--eeprom", "--log-frames", "--version-text 0123456789012345678901234567890123456"}) {
        SimOptions o;
        QString message;
        EXPECT_EQ(parse(QLatin1String(line), o, &message), ParseOutcome::Error) << line;
        EXPECT_FALSE(message.isEmpty()) << line;
    }
}

TEST(Options, FilterSettingsTestInputsAndFilterLog) {
    SimOptions o;
    ASSERT_EQ(parse("", o), ParseOutcome::Run);
    EXPECT_TRUE(o.filterSettings.empty() && o.filterLogFile.isEmpty());
    EXPECT_EQ(o.testInputs, 0);
    ASSERT_EQ(parse("--filter-settings 10,off,65534,0 --test-inputs 2 --filter-log /tmp/f.log", o),
              ParseOutcome::Run);
    EXPECT_EQ(o.filterSettings, (std::vector<uint16_t>{10, 0xFFFF, 65534, 0}));
    EXPECT_EQ(o.testInputs, 2);
    EXPECT_EQ(o.filterLogFile, "/tmp/f.log");
    QString message;
    for (const char *bad : {"--filter-settings 1,2,3", "--filter-settings 1,2,3,65535", "--filter-settings a,b,c,d",
                            "--test-inputs 4"}) {
        EXPECT_EQ(parse(bad, o, &message), ParseOutcome::Error) << bad;
        EXPECT_TRUE(message.contains(QString(bad).section(' ', 0, 0))) << message.toStdString();
    }
}
