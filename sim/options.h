// The qvex-sim command line.
#pragma once

#include "sim/faults.h"
#include "sim/loader.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct SimOptions {
    bool tcp = false;
    quint16 tcpPort = 10001;
    bool pty = false;
    Faults faults;
    int baudIndex = 1;
    std::optional<std::string> versionText;
    QString eepromFile;   // empty: the EEPROM lives only as long as the process
    QString frameLogFile; // empty: requests are not logged
    QString replyLogFile; // empty: replies are not logged
    // Settings filters 1..4 report (0xFFFF = off); empty: as delivered.
    std::vector<uint16_t> filterSettings;
    QString filterLogFile; // empty: filter-memory writes are not logged
    uint16_t testInputs = 0; // word 6 of every test-record answer
    int forgottenSet = 0;    // a parameter set the controller acknowledges but does not take
    LoaderSettings loader;
};

enum class ParseOutcome { Run, Help, Error };

// args as from QCoreApplication::arguments() (program name first). On Help,
// message is the help text (the version text for --version); on Error, what
// was wrong. Without --tcp and --pty, listens on TCP port 10001.
ParseOutcome parseOptions(const QStringList &args, SimOptions &options, QString &message);

} // namespace sim
