#include "ctl/session.h"

#include "app/startup.h"
#include "core/panels.h"
#include "core/status.h"
#include "link/reconnect.h"
#include "link/transport.h"
#include "ui/panels/main_ids.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace ctl {

namespace {

// The port number a device named on the command line is given.
constexpr int kDevicePort = 1;
constexpr int kProgressIntervalMs = 200;

} // namespace

int BaudIndex(int rate) {
    for (int i = 0; i < kBaudRateCount; ++i)
        if (kBaudRates[i] == rate) return i;
    return -1;
}

// ---- pop-ups ----------------------------------------------------------------------------

int CtlPopups::message(const std::string &title, const std::string &text) {
    lastTitle = title;
    lastText = text;
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return 0;
}

int CtlPopups::confirm(const std::string &title, const std::string &text) {
    std::fprintf(stderr, "%s: %s (yes)\n", title.c_str(), text.c_str());
    return 1;
}

int CtlPopups::fileSelect(const FileSelectRequest &, std::string *path) {
    if (files.empty()) return 0;
    const std::string answer = files.front();
    files.pop_front();
    if (answer.empty()) return 0;
    // The program keeps its own working folder; a path from the command
    // line means the folder qvex-ctl was started in.
    if (path) *path = QDir(QString::fromStdString(startDir)).absoluteFilePath(QString::fromStdString(answer)).toStdString();
    return 1;
}

// ---- session ----------------------------------------------------------------------------

struct Session::Private {
    QTemporaryDir home; // the program's folder: its settings and templates never touch the GUI's
    QTimer progress;
    int lastShown = -1;
    bool terminal = isatty(STDERR_FILENO) != 0;
};

Session::Session(const Options &o) : options(o), d(new Private) {}

Session::~Session() {
    progressOff();
    if (tcpcon || g_hconversation) {
        tcpcon = 1;
        InitTCP_IP(0);
    }
    if (rs232con) InitRS232(0);
    SetPopupResponder(nullptr);
}

bool Session::start(int argc, char **argv) {
    if (!InitCVIRTE(argc, argv)) {
        std::fprintf(stderr, "qvex-ctl: the run-time engine did not start\n");
        return false;
    }
    if (!d->home.isValid()) {
        std::fprintf(stderr, "qvex-ctl: no temporary folder: %s\n", qPrintable(d->home.errorString()));
        return false;
    }
    popups.startDir = QDir::currentPath().toStdString();
    const QString home = d->home.path();
    if (!options.settingsFile.empty()) {
        const QString from = QString::fromStdString(options.settingsFile);
        if (!QFile::copy(from, home + "/Q-VEX-MOD7-ARC-Scope.ini")) {
            std::fprintf(stderr, "qvex-ctl: cannot read the settings file %s\n", options.settingsFile.c_str());
            return false;
        }
    }
    SetPopupResponder(&popups);
    SetProjectDir(home.toStdString());
    RegisterAllCallbacks();
    if (LoadAllPanels() < 0) {
        std::fprintf(stderr, "qvex-ctl: the panel files did not load\n");
        return false;
    }
    InitVars();
    // A job runs once: a link that breaks ends it with the program's own
    // message, never with retries in the job's later waits.
    reconnectAutomatically = 0;
    return true;
}

bool Session::connect() {
    if (options.link == Options::NONE) return false;
    OperateCtrl(panelMAIN, MAIN_CONNECT);
    if (options.link == Options::TCP) {
        OperateCtrl(panelInterf, INTERF_PROTOCOL, 1);
        OperateCtrl(panelInterf, INTERF_ADDRESS, options.host);
        OperateCtrl(panelInterf, INTERF_TCPPORT, std::to_string(options.tcpPort));
    } else {
        int port = options.serialPort;
        if (!options.serialDevice.empty()) {
            port = kDevicePort;
            SetComPortDevice(port, options.serialDevice);
        }
        OperateCtrl(panelInterf, INTERF_PROTOCOL, 0);
        OperateCtrl(panelInterf, INTERF_COMPORT, port);
        OperateCtrl(panelInterf, INTERF_BAUD, BaudIndex(options.baud));
    }
    OperateCtrl(panelInterf, INTERF_TRY);
    if (!linkOpen()) {
        RemovePopup(panelInterf);
        return false;
    }
    OperateCtrl(panelInterf, INTERF_ACCEPT);
    return true;
}

void Session::operate(int panel, int control) { OperateCtrl(panel, control); }

std::string Session::status() const {
    std::string s;
    GetCtrlVal(panelMAIN, MAIN_STATUS_LINE, &s);
    return s;
}

std::string Session::scratchPath(const char *name) const {
    return MakePathname(d->home.path().toStdString(), name);
}

bool Session::linkOpen() const { return rs232con == 1 || tcpcon == 1; }

int Session::linkFailed(const std::string &what) {
    progressOff();
    const std::string text = what.empty() ? status() : what;
    std::fprintf(stderr, "qvex-ctl: %s\n", text.c_str());
    return EXIT_LINK_FAILED;
}

int Session::usage(const std::string &what) {
    progressOff();
    std::fprintf(stderr, "qvex-ctl: %s\n", what.c_str());
    return EXIT_USAGE;
}

void Session::progressOn(int panel, int control, int maximum) {
    if (options.quiet) return;
    if (panel == 0) {
        panel = panelMAIN;
        control = MAIN_PROGRESS;
    }
    if (maximum < 1) maximum = 1;
    d->lastShown = -1;
    QObject::disconnect(&d->progress, nullptr, nullptr, nullptr);
    QObject::connect(&d->progress, &QTimer::timeout, [this, panel, control, maximum] {
        int shown = 0;
        GetCtrlVal(panel, control, &shown);
        const int value = static_cast<int>(std::min<long long>(100, std::max(0LL, 100LL * shown / maximum)));
        if (value == d->lastShown) return;
        d->lastShown = value;
        if (d->terminal) {
            const int filled = value * 30 / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%% ", std::string(filled, '#').c_str(),
                         std::string(30 - filled, ' ').c_str(), value);
        } else {
            std::fprintf(stderr, "%d%%\n", value);
        }
        std::fflush(stderr);
    });
    d->progress.start(kProgressIntervalMs);
}

void Session::progressOff() {
    if (!d->progress.isActive()) return;
    d->progress.stop();
    if (d->terminal && d->lastShown >= 0) std::fputs("\n", stderr);
}

} // namespace ctl
