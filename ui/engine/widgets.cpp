#include "ui/engine/widgets.h"

#include <QPainter>

QvLed::QvLed(QWidget *parent) : QWidget(parent) {}

void QvLed::setOn(bool on) {
    if (on_ == on) return;
    on_ = on;
    update();
}

void QvLed::setOnColor(const QColor &c) {
    onColor_ = c;
    update();
}

void QvLed::setOffColor(const QColor &c) {
    offColor_ = c;
    update();
}

void QvLed::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(on_ ? onColor_ : offColor_);
    QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (round()) {
        qreal d = qMin(r.width(), r.height());
        p.drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
    } else {
        p.drawRect(r);
    }
}

QvGraph::QvGraph(QWidget *parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

void QvGraph::paintEvent(QPaintEvent *e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    p.setPen(QPen(QColor(60, 60, 60), 1, Qt::DotLine));
    const QRect r = contentsRect();
    for (int i = 1; i < 10; ++i) {
        int x = r.left() + r.width() * i / 10;
        int y = r.top() + r.height() * i / 10;
        p.drawLine(x, r.top(), x, r.bottom());
        p.drawLine(r.left(), y, r.right(), y);
    }
}
