#include "ui/engine/widgets.h"

#include <QPainter>

#include <algorithm>

namespace {

// A lamp in a grey bezel: on a light panel and on a dark one alike the
// bezel shows where the lamp is, and a lamp that is off still reads as a
// lamp (its own colour under a dull glass) rather than as a hole. A lit lamp
// carries a small highlight. A dimmed lamp is drawn as the toolkit draws
// dimmed controls: its rims grey and its glass faded, so that it does not
// look as if a click would act.
void paintLamp(QPainter &p, const QRectF &r, const QColor &fill, bool lit, bool round, bool dimmed) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (dimmed) p.setOpacity(0.4);
    auto shape = [&](const QRectF &area) { round ? p.drawEllipse(area) : p.drawRect(area); };
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(176, 176, 176));
    shape(r.adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal bezel = r.width() >= 12 ? 2.5 : 1.5;
    const QRectF glass = r.adjusted(bezel, bezel, -bezel, -bezel);
    QColor face = fill;
    if (!lit) {
        // An unlit glass is dull: half its colour, and a dark one lifted
        // enough to stand apart from the black rim.
        face = QColor::fromHsl(face.hslHue(), face.hslSaturation() / 2, std::max(face.lightness(), 56));
    }
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(face);
    shape(glass);
    if (lit && glass.width() >= 6) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 110));
        const qreal s = glass.width() / 3;
        shape(QRectF(glass.left() + s / 2, glass.top() + s / 2, s, s));
    }
    p.restore();
}

} // namespace

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
    paintLamp(p, lamp, isChecked() ? onColor_ : offColor_, isChecked(), false, !isEnabled());
}

void QvLed::paintEvent(QPaintEvent *) {
    QPainter p(this);
    QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (round()) {
        const qreal d = qMin(r.width(), r.height());
        r = QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d);
    }
    paintLamp(p, r, on_ ? onColor_ : offColor_, on_, round(), !isEnabled());
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
