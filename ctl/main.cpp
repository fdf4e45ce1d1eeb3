// qvex-ctl needs no display: the panels live offscreen.
#include "ctl/ctl.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

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
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    qInstallMessageHandler(quietQt);
    return ctl::Main(argc, argv);
}
