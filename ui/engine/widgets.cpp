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

QvLampButton::QvLampButton(QWidget *parent) : QPushButton(parent) { setCheckable(true); }

void QvLampButton::setOnColor(const QColor &c) {
    onColor_ = c;
    update();
}

void QvLampButton::setOffColor(const QColor &c) {
    offColor_ = c;
    update();
}

void QvLampButton::paintEvent(QPaintEvent *e) {
    QPushButton::paintEvent(e);
    // The lamp sits at the left end of the button, clear of its text.
    QPainter p(this);
    const int side = qMax(6, qMin(height() - 12, 14));
    const QRect lamp(8, (height() - side) / 2, side, side);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(isChecked() ? onColor_ : offColor_);
    p.drawRect(lamp);
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
