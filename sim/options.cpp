#include "sim/options.h"

#include "sim/model.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace sim {

namespace {

bool toInt(const QString &text, int min, int max, int &out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < min || v > max) return false;
    out = v;
    return true;
}

// The version text's bytes: "\xHH" is the byte HH (a byte a command line
// cannot carry as it is, such as 0xB5 alone), "\\" one backslash; the rest
// is the text's UTF-8. False on a backslash that starts neither.
bool versionBytes(const QString &text, std::string &out) {
    const QByteArray utf8 = text.toUtf8();
    out.clear();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '\\') {
            out += utf8[i];
        } else if (i + 1 < utf8.size() && utf8[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else {
            bool ok = false;
            const int byte = utf8.mid(i + 2, 2).toInt(&ok, 16);
            if (i + 3 >= utf8.size() || utf8[i + 1] != 'x' || !ok) return false;
            out += static_cast<char>(byte);
            i += 3;
        }
    }
    return true;
}

} // namespace

ParseOutcome parseOptions(const QStringList &args, SimOptions &options, QString &message) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Simulated Q-VEX-MOD7-ARC controller. Answers 36-byte requests on 127.0.0.1\n"
                       "and/or a pseudo-terminal, optionally with line faults. Prints\n"
                       "'TCP 127.0.0.1:<port>' and 'PTY <path>' once ready; runs until SIGINT/SIGTERM."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption programVersion(QStringLiteral("version"),
                                            QStringLiteral("Show the simulator's version and exit."));
    const QCommandLineOption tcp(QStringLiteral("tcp"),
                                 QStringLiteral("Listen on 127.0.0.1:<port> (0 picks a free port). "
                                                "Default when neither --tcp nor --pty is given: 10001."),
                                 QStringLiteral("port"));
    const QCommandLineOption pty(QStringLiteral("pty"),
                                 QStringLiteral("Open a pseudo-terminal; its slave path is printed."));
    const QCommandLineOption startAfter(
        QStringLiteral("start-after"),
        QStringLiteral("Answer the first <n> requests without any of the faults."), QStringLiteral("n"));
    const QCommandLineOption dropNext(QStringLiteral("drop-next"),
                                      QStringLiteral("Do not answer the next <n> requests."),
                                      QStringLiteral("n"));
    const QCommandLineOption intermittent(
        QStringLiteral("intermittent"),
        QStringLiteral("Make every <n>th reply faulty, in turn: lost, held back 150 ms, sent in pieces of 7 and "
                       "13 bytes and the rest, held back 700 ms."),
        QStringLiteral("n"));
    const QCommandLineOption dropAll(QStringLiteral("drop-all"), QStringLiteral("Never answer."));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Hold every reply back <ms> milliseconds."),
                                   QStringLiteral("ms"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send each reply in pieces of these sizes, e.g. 10,26; "
                                                  "bytes left over go as one last piece."),
                                   QStringLiteral("sizes"));
    const QCommandLineOption splitGap(
        QStringLiteral("split-gap"),
        QStringLiteral("Pause between two pieces of a split reply (default 20)."), QStringLiteral("ms"));
    const QCommandLineOption stray(QStringLiteral("stray"),
                                   QStringLiteral("Put <n> stray bytes (never 0x55) before every reply."),
                                   QStringLiteral("n"));
    const QCommandLineOption swapSync(
        QStringLiteral("swap-sync"),
        QStringLiteral("Start reply frames with 0x55 0x00 instead of 0x00 0x55."));
    const QCommandLineOption wrongAck(QStringLiteral("wrong-ack"),
                                      QStringLiteral("Send acknowledges as 0x00AB instead of 0x00AA."));
    const QCommandLineOption garbage(
        QStringLiteral("garbage"),
        QStringLiteral("Answer with 36 junk bytes (no 0x55) instead of the reply."));
    const QCommandLineOption disconnectAfter(
        QStringLiteral("disconnect-after"),
        QStringLiteral("After <n> replies: TCP closes the connection (a new one counts afresh); "
                       "the pty falls silent."),
        QStringLiteral("n"));
    const QCommandLineOption midReply(
        QStringLiteral("disconnect-mid-reply"),
        QStringLiteral("Send only the first 10 bytes of the next reply, then close "
                       "the connection (pty: fall silent)."));
    const QCommandLineOption pace(QStringLiteral("pace"),
                                  QStringLiteral("Send replies at the current baud rate, 10 bits a byte. "
                                                 "Command 190 changes the rate from the next frame on."));
    const QCommandLineOption oneBehind(
        QStringLiteral("one-behind"),
        QStringLiteral("Answer every request with the reply to the request before it "
                       "(the first request after a connect gets none)."));
    const QCommandLineOption baudIndex(QStringLiteral("baud-index"),
                                       QStringLiteral("Initial baud index: 0=9600 1=19200 (default) 2=38400 "
                                                      "3=57600 4=115200."),
                                       QStringLiteral("i"));
    const QCommandLineOption version(QStringLiteral("version-text"),
                                     QStringLiteral("Text of the version reply, up to 36 bytes; \\xHH is the byte HH, "
                                                    "\\\\ a backslash."),
                                     QStringLiteral("text"));
    const QCommandLineOption wrongSetAt(
        QStringLiteral("wrong-set-at"),
        QStringLiteral("Answer the write and the read of parameter set <n> (1-12) as set n+1. "
                       "The set is still taken."),
        QStringLiteral("n"));
    const QCommandLineOption badActivation(
        QStringLiteral("bad-activation"),
        QStringLiteral("Answer parameter activations (command 1/3 with 0x6400) with 1 instead of 0. "
                       "The parameters are still activated."));
    const QCommandLineOption logReplies(
        QStringLiteral("log-replies"),
        QStringLiteral("Append every reply that goes out whole to <file>: its request and the reply, "
                       "72 hex digits each, on one line. Lost and cut-off replies are left out."),
        QStringLiteral("file"));
    const QCommandLineOption eeprom(
        QStringLiteral("eeprom"),
        QStringLiteral("Keep the EEPROM parameters in <file>: loaded at start (RAM starts from them), "
                       "replaced on every store (command 3). Text, one parameter set of 16 hex words "
                       "a line, '#' comments. A missing file means the defaults; a damaged one too, "
                       "with a warning."),
        QStringLiteral("file"));
    const QCommandLineOption logFrames(
        QStringLiteral("log-frames"),
        QStringLiteral("Append every request received to <file>, one line of 72 hex digits each."),
        QStringLiteral("file"));
    const QCommandLineOption filterSettings(
        QStringLiteral("filter-settings"),
        QStringLiteral("Settings filters 1 to 4 report, e.g. 100,off,250,off: a number from 0 to 65534, "
                       "or 'off'. Default: filter 1 at 100, the others off."),
        QStringLiteral("list"));
    const QCommandLineOption filterLog(
        QStringLiteral("filter-log"),
        QStringLiteral("Append a line for every erase and write of the filter memory to <file>."),
        QStringLiteral("file"));
    const QCommandLineOption testInputs(
        QStringLiteral("test-inputs"),
        QStringLiteral("State of the inputs in test mode, reported in word 6 of every test-record "
                       "answer: bit 0 = IN0, bit 1 = IN1 (0 to 3, default 0)."),
        QStringLiteral("bits"));
    const QCommandLineOption forgetSet(
        QStringLiteral("forget-set"),
        QStringLiteral("Acknowledge the write of parameter set <n> (1-12) as taken, but keep the set "
                       "as it was."),
        QStringLiteral("n"));
    const QCommandLineOption loaderImage(
        QStringLiteral("loader-image"),
        QStringLiteral("Save what the programming loader (command 187 on the pty) receives to <file>: "
                       "the S-records as received, or a note of the first bad line."),
        QStringLiteral("file"));
    const QCommandLineOption loaderSilent(
        QStringLiteral("loader-silent"),
        QStringLiteral("Acknowledge the hand-over (command 187) but start no loader."));
    const QCommandLineOption loaderChecksum(
        QStringLiteral("loader-checksum-error"),
        QStringLiteral("The loader reports a checksum error for the first data record."));
    const QCommandLineOption loaderPieces(
        QStringLiteral("loader-ready-pieces"),
        QStringLiteral("Send the loader's announcement in <n> writes (default 1)."), QStringLiteral("n"));
    const QCommandLineOption loaderBusy(
        QStringLiteral("loader-busy"),
        QStringLiteral("Programming time per record; the loader holds the sender off with XOFF "
                       "meanwhile (default 1)."),
        QStringLiteral("ms"));
    const QCommandLineOption loaderVerbose(
        QStringLiteral("loader-verbose"),
        QStringLiteral("The loader prints a start-up log of some 2.5 KB before its announcement and "
                       "confirms every record."));
    p.addOptions({loaderImage, loaderSilent, loaderChecksum, loaderPieces, loaderBusy, loaderVerbose});
    p.addOption(intermittent);
    p.addOption(logReplies);
    p.addOption(forgetSet);
    p.addOptions({help, programVersion});
    p.addOptions({tcp,           pty,        startAfter,    dropNext,   dropAll,   delay,
                  split,         splitGap,   stray,         swapSync,   wrongAck,  garbage,         disconnectAfter,
                  midReply,      pace,       oneBehind,     wrongSetAt, badActivation, baudIndex,   version,
                  eeprom,        logFrames,  filterSettings, filterLog, testInputs});

    if (!p.parse(args)) {
        message = p.errorText();
        return ParseOutcome::Error;
    }
    if (p.isSet(help)) {
        message = p.helpText();
        return ParseOutcome::Help;
    }
    if (p.isSet(programVersion)) {
        message = QStringLiteral("qvex-sim " QVEX_VERSION "\n" QVEX_COPYRIGHT "\n\n" QVEX_LICENSE_NOTE "\n");
        return ParseOutcome::Help;
    }
    if (!p.positionalArguments().isEmpty()) {
        message = QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first());
        return ParseOutcome::Error;
    }

    SimOptions o;
    Faults &f = o.faults;
    auto number = [&](const QCommandLineOption &opt, int min, int max, int &out) {
        if (!p.isSet(opt) || toInt(p.value(opt), min, max, out)) return true;
        message = QStringLiteral("--%1: expected a number from %2 to %3, got '%4'")
                      .arg(opt.names().constLast())
                      .arg(min)
                      .arg(max)
                      .arg(p.value(opt));
        return false;
    };

    int port = o.tcpPort;
    if (!number(tcp, 0, 65535, port) || !number(startAfter, 0, 1000000, f.startAfter) ||
        !number(dropNext, 0, 1000000, f.dropNext) || !number(intermittent, 0, 1000000, f.intermittent) ||
        !number(delay, 0, 600000, f.delayMs) || !number(splitGap, 0, 600000, f.splitGapMs) ||
        !number(stray, 0, 4096, f.strayBytes) || !number(disconnectAfter, 0, 1000000, f.disconnectAfter) ||
        !number(wrongSetAt, 1, kParamSets, f.wrongSetAt) ||
        !number(baudIndex, 0, kBaudIndexCount - 1, o.baudIndex) ||
        !number(loaderPieces, 1, 64, o.loader.readyPieces) || !number(loaderBusy, 0, 10000, o.loader.busyMs))
        return ParseOutcome::Error;
    int inputs = 0;
    if (!number(testInputs, 0, 3, inputs) || !number(forgetSet, 1, kParamSets, o.forgottenSet))
        return ParseOutcome::Error;
    o.testInputs = uint16_t(inputs);
    o.tcpPort = quint16(port);
    o.tcp = p.isSet(tcp);
    o.pty = p.isSet(pty);
    if (!o.tcp && !o.pty) o.tcp = true;

    if (p.isSet(split)) {
        for (const QString &part : p.value(split).split(QLatin1Char(','))) {
            int size = 0;
            if (!toInt(part, 1, 4096, size)) {
                message = QStringLiteral("--split: expected sizes like 10,26, got '%1'").arg(p.value(split));
                return ParseOutcome::Error;
            }
            f.split.push_back(size);
        }
    }
    f.dropAll = p.isSet(dropAll);
    f.swapSync = p.isSet(swapSync);
    f.wrongAck = p.isSet(wrongAck);
    f.garbage = p.isSet(garbage);
    f.disconnectMidReply = p.isSet(midReply);
    f.pace = p.isSet(pace);
    f.oneBehind = p.isSet(oneBehind);
    f.badActivation = p.isSet(badActivation);
    o.eepromFile = p.value(eeprom);
    o.frameLogFile = p.value(logFrames);
    o.replyLogFile = p.value(logReplies);
    o.filterLogFile = p.value(filterLog);
    o.loader.imageFile = p.value(loaderImage);
    o.loader.silent = p.isSet(loaderSilent);
    o.loader.checksumError = p.isSet(loaderChecksum);
    o.loader.verbose = p.isSet(loaderVerbose);
    for (const auto *file : {&eeprom, &logFrames, &logReplies, &filterLog, &loaderImage}) {
        if (p.isSet(*file) && p.value(*file).isEmpty()) {
            message = QStringLiteral("--%1: expected a file name").arg(file->names().constLast());
            return ParseOutcome::Error;
        }
        // Opening a FIFO waits for its other end, and a device would take the
        // image or log as its input: only regular files, or new ones.
        const QFileInfo info(p.value(*file));
        if (p.isSet(*file) && info.exists() && !info.isFile()) {
            message = QStringLiteral("--%1: %2 is not a regular file").arg(file->names().constLast(), p.value(*file));
            return ParseOutcome::Error;
        }
    }

    if (p.isSet(filterSettings)) {
        const QStringList parts = p.value(filterSettings).split(QLatin1Char(','));
        for (const QString &part : parts) {
            int value = 0;
            if (part.trimmed() == QLatin1String("off")) value = kFilterOff;
            else if (!toInt(part, 0, kFilterOff - 1, value)) value = -1;
            if (value < 0 || parts.size() != kFilters) {
                message = QStringLiteral("--filter-settings: expected four settings (0 to 65534 or 'off'), "
                                         "got '%1'")
                              .arg(p.value(filterSettings));
                return ParseOutcome::Error;
            }
            o.filterSettings.push_back(uint16_t(value));
        }
    }

    if (p.isSet(version)) {
        std::string text;
        if (!versionBytes(p.value(version), text)) {
            message = QStringLiteral("--version-text: a backslash starts \\xHH or \\\\");
            return ParseOutcome::Error;
        }
        if (text.size() > kFrameBytes) {
            message = QStringLiteral("--version-text: at most %1 bytes").arg(kFrameBytes);
            return ParseOutcome::Error;
        }
        o.versionText = text;
    }
    options = o;
    return ParseOutcome::Run;
}

} // namespace sim
