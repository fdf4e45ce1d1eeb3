// qvex-ctl needs no display: the panels live offscreen.
#include "ctl/ctl.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <csignal>
#include <cstdio>

namespace {
// Qt's own remarks about the offscreen platform (no raise(), no runtime
// folder) mean nothing to a script; real warnings still show with
// QVEX_CTL_DEBUG set.
void quietQt(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("QVEX_CTL_DEBUG"))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}
} // namespace

int main(int argc, char **argv) {
    // A write past the file-size limit fails with EFBIG, which the job
    // reports, instead of killing the process in the middle of a row.
    std::signal(SIGXFSZ, SIG_IGN);
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    qInstallMessageHandler(quietQt);
    return ctl::Main(argc, argv);
}
