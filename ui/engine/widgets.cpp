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

QvCanvas::QvCanvas(QWidget *parent) : QWidget(parent) {}

QImage &QvCanvas::surface() {
    // The surface follows the widget's size and the screen's pixel ratio;
    // what was drawn is kept where the new size still holds it.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (image_.size() != pixels || image_.devicePixelRatio() != ratio) {
        QImage next(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        next.setDevicePixelRatio(ratio);
        next.fill(Qt::transparent);
        if (!image_.isNull()) {
            QPainter p(&next);
            p.drawImage(QPointF(0, 0), image_);
        }
        image_ = next;
    }
    return image_;
}

void QvCanvas::clear(const QRect &area) {
    QImage &img = surface();
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillRect(area.isEmpty() ? rect() : area, Qt::transparent);
    update();
}

void QvCanvas::paintEvent(QPaintEvent *) {
    if (image_.isNull()) return;
    QPainter p(this);
    p.drawImage(QPointF(0, 0), image_);
}
