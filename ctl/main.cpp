// qvex-ctl needs no display: the panels live offscreen.
#include "ctl/ctl.h"

#include <QByteArray>
#include <QtGlobal>

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    return ctl::Main(argc, argv);
}
