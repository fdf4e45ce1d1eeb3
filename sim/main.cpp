// qvex-sim: the simulated controller as a process of its own.
#include "sim/options.h"
#include "sim/server.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

bool catchStopSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return false;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

} // namespace

int main(int argc, char **argv) {
    // The EEPROM image and the logs then fail to grow past the file-size
    // limit with an error, instead of the simulator being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    // The application object took the C library's locale from the
    // environment; the EEPROM file and the loader's texts keep "C" numbers.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setApplicationName(QStringLiteral("qvex-sim"));

    sim::SimOptions options;
    QString message;
    switch (sim::parseOptions(QCoreApplication::arguments(), options, message)) {
    case sim::ParseOutcome::Help:
        std::fputs(qPrintable(message), stdout);
        return 0;
    case sim::ParseOutcome::Error:
        std::fprintf(stderr, "qvex-sim: %s\n(try --help)\n", qPrintable(message));
        return 2;
    case sim::ParseOutcome::Run:
        break;
    }

    if (!catchStopSignals()) {
        std::perror("qvex-sim: signal setup");
        return 1;
    }
    QSocketNotifier stopNotifier(qintptr(signalPipe[0]), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });

    sim::Simulator simulator;
    simulator.setFaults(options.faults);
    simulator.controller().setBaudIndex(options.baudIndex);
    simulator.setLoaderSettings(options.loader);
    if (options.versionText) simulator.controller().setVersionText(*options.versionText);
    if (!options.eepromFile.isEmpty()) simulator.setEepromFile(options.eepromFile);
    const auto cannotAppend = [](const QString &file) {
        std::fprintf(stderr, "qvex-sim: cannot append to %s\n", qPrintable(file));
        return 1;
    };
    if (!options.frameLogFile.isEmpty() && !simulator.setFrameLogFile(options.frameLogFile))
        return cannotAppend(options.frameLogFile);
    if (!options.replyLogFile.isEmpty() && !simulator.setReplyLogFile(options.replyLogFile))
        return cannotAppend(options.replyLogFile);
    if (!options.filterLogFile.isEmpty() && !simulator.setFilterLogFile(options.filterLogFile))
        return cannotAppend(options.filterLogFile);
    for (int k = 0; k < int(options.filterSettings.size()); ++k)
        simulator.controller().filterMemory().setSetting(k, options.filterSettings[std::size_t(k)]);
    simulator.controller().setTestInputs(options.testInputs);
    simulator.controller().setForgottenSet(options.forgottenSet);

    if (options.tcp) {
        const quint16 port = simulator.listenTcp(options.tcpPort);
        if (port == 0) {
            std::fprintf(stderr, "qvex-sim: cannot listen on 127.0.0.1:%u\n", unsigned(options.tcpPort));
            return 1;
        }
        std::printf("TCP 127.0.0.1:%u\n", unsigned(port));
        std::fflush(stdout);
    }
    if (options.pty) {
        const QString path = simulator.openPty();
        if (path.isEmpty()) {
            std::perror("qvex-sim: cannot open a pseudo-terminal");
            return 1;
        }
        std::printf("PTY %s\n", qPrintable(path));
        std::fflush(stdout);
    }
    app.exec();
    return 0;
}
