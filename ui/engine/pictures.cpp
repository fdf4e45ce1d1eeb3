// Text messages made at run time, text fonts, decoration colours, canvases
// and pictures.
#include "ui/engine/engine_p.h"
#include "ui/engine/widgets.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <vector>

using namespace engine;

namespace {

QColor rgb(int value) { return QColor::fromRgb(static_cast<QRgb>(value) & 0xFFFFFF); }

// The family a font name stands for: one of the meta fonts, or a family.
QString familyFor(const QString &name) {
    if (name == VAL_EDITOR_META_FONT) return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    if (name.isEmpty() || name == VAL_APP_META_FONT || name == VAL_DIALOG_META_FONT || name == VAL_SYSTEM_META_FONT)
        return QApplication::font().family();
    return name;
}

QvCanvas *canvasOf(int panelHandle, int id, int &rc) {
    ControlRec *c = control(panelHandle, id);
    if (!c) {
        rc = panel(panelHandle) ? UIE_InvalidControl : UIE_InvalidPanel;
        return nullptr;
    }
    if (c->kind != CTRL_KIND_CANVAS) {
        rc = UIE_TypeMismatch;
        return nullptr;
    }
    rc = 0;
    return static_cast<QvCanvas *>(c->widget.data());
}

int penWidthOf(QWidget *w) {
    const QVariant v = w->property("pen_width");
    return v.isValid() ? v.toInt() : 1;
}

// A painter on the canvas surface with the canvas's pen and fill for the
// draw mode. Lines of odd width sit on pixel centres, so a 1-pixel line is
// one pixel wide and not two half-tone ones.
struct CanvasPainter {
    QvCanvas *canvas;
    QPainter p;
    CanvasPainter(QvCanvas *c, int drawMode) : canvas(c), p(&c->surface()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const int width = penWidthOf(c);
        if (drawMode == VAL_DRAW_INTERIOR || width <= 0) p.setPen(Qt::NoPen);
        else p.setPen(QPen(rgb(c->property("pen_color").toInt()), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        if (drawMode == VAL_DRAW_FRAME) p.setBrush(Qt::NoBrush);
        else p.setBrush(rgb(c->property("pen_fill_color").toInt()));
        if (width % 2 == 1) p.translate(0.5, 0.5);
    }
    ~CanvasPainter() {
        p.end();
        canvas->update();
    }
    // The area of a rectangle a frame of the pen's width stays inside.
    QRectF inside(Rect r) const {
        const qreal inset = p.pen().style() == Qt::NoPen ? 0.0 : p.pen().widthF() / 2.0;
        const qreal shift = penWidthOf(canvas) % 2 == 1 ? 0.5 : 0.0; // undo the pixel-centre shift
        return QRectF(r.left, r.top, r.width, r.height).adjusted(inset - shift, inset - shift, -inset - shift,
                                                                   -inset - shift);
    }
};

bool validDrawMode(int mode) { return mode >= VAL_DRAW_FRAME && mode <= VAL_DRAW_FRAME_AND_INTERIOR; }

// Draws on a canvas with its pen, once the control and the mode are checked.
template <typename Draw> int drawOn(int panelHandle, int id, int drawMode, Draw draw) {
    int rc;
    QvCanvas *c = canvasOf(panelHandle, id, rc);
    if (!c) return rc;
    if (!validDrawMode(drawMode)) return UIE_InvalidArgument;
    CanvasPainter cp(c, drawMode);
    draw(cp);
    return 0;
}

} // namespace

namespace engine {

void followText(QWidget *w) {
    if (w->property("sizeToText").toBool()) w->adjustSize();
}

int textSetCtrlAttribute(ControlRec *c, int attribute, int value) {
    QWidget *w = c->widget;
    switch (attribute) {
    case ATTR_TEXT_BOLD: {
        QFont f = w->font();
        f.setBold(value != 0);
        w->setFont(f);
        followText(w);
        return 0;
    }
    case ATTR_TEXT_POINT_SIZE: {
        if (value <= 0) return UIE_InvalidArgument;
        QFont f = w->font();
        f.setPixelSize(value);
        w->setFont(f);
        followText(w);
        return 0;
    }
    case ATTR_SIZE_TO_TEXT:
        if (c->kind != CTRL_KIND_TEXTMSG) return UIE_InvalidAttribute;
        w->setProperty("sizeToText", value != 0);
        followText(w);
        return 0;
    case ATTR_FRAME_COLOR: {
        if (c->kind != CTRL_KIND_DECORATION && c->kind != CTRL_KIND_CANVAS) return UIE_InvalidAttribute;
        w->setProperty("rgb_frame", value);
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, rgb(value));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
        w->update();
        return 0;
    }
    case ATTR_PEN_COLOR:
    case ATTR_PEN_FILL_COLOR:
    case ATTR_PEN_WIDTH:
        if (c->kind != CTRL_KIND_CANVAS) return UIE_InvalidAttribute;
        if (attribute == ATTR_PEN_WIDTH && value < 0) return UIE_InvalidArgument;
        w->setProperty(attribute == ATTR_PEN_COLOR       ? "pen_color"
                       : attribute == ATTR_PEN_FILL_COLOR ? "pen_fill_color"
                                                          : "pen_width",
                       value);
        return 0;
    default: return UIE_InvalidAttribute;
    }
}

int textGetCtrlAttribute(ControlRec *c, int attribute, int *value) {
    QWidget *w = c->widget;
    int v = 0;
    switch (attribute) {
    case ATTR_TEXT_BOLD: v = w->font().bold() ? 1 : 0; break;
    case ATTR_TEXT_POINT_SIZE: {
        const QFont f = w->font();
        v = f.pixelSize() > 0 ? f.pixelSize() : static_cast<int>(f.pointSizeF() * w->logicalDpiY() / 72.0 + 0.5);
        break;
    }
    case ATTR_SIZE_TO_TEXT: v = w->property("sizeToText").toBool() ? 1 : 0; break;
    case ATTR_FRAME_COLOR: v = w->property("rgb_frame").toInt(); break;
    case ATTR_PEN_COLOR: v = w->property("pen_color").toInt(); break;
    case ATTR_PEN_FILL_COLOR: v = w->property("pen_fill_color").toInt(); break;
    case ATTR_PEN_WIDTH: v = penWidthOf(w); break;
    default: return UIE_InvalidAttribute;
    }
    if (value) *value = v;
    return 0;
}

int setTextFont(ControlRec *c, const std::string &name) {
    QFont f = c->widget->font();
    f.setFamily(familyFor(QString::fromStdString(name)));
    c->widget->setFont(f);
    c->widget->setProperty("fontName", QString::fromStdString(name));
    followText(c->widget);
    return 0;
}

} // namespace engine

int NewCtrl(int panelHandle, int kind, const char *label, int top, int left) {
    PanelRec *p = panel(panelHandle);
    if (!p) return UIE_InvalidPanel;
    if (kind != CTRL_KIND_TEXTMSG) return UIE_InvalidArgument;
    int id = 1;
    if (!p->controls.empty()) id = p->controls.rbegin()->first + 1;
    auto *l = new QLabel(QString::fromUtf8(label ? label : ""), p->widget);
    l->setObjectName(QString("ctrl%1").arg(id));
    l->setProperty("ctrlId", id);
    l->setProperty("sizeToText", true);
    l->move(left, top);
    l->adjustSize();
    l->raise();
    l->show();
    ControlRec rec;
    rec.widget = l;
    rec.kind = CTRL_KIND_TEXTMSG;
    p->controls[id] = rec;
    return id;
}

int CanvasClear(int panelHandle, int id, Rect r) {
    int rc;
    QvCanvas *c = canvasOf(panelHandle, id, rc);
    if (!c) return rc;
    c->clear(r.height > 0 && r.width > 0 ? QRect(r.left, r.top, r.width, r.height) : QRect());
    return 0;
}

int CanvasDrawRect(int panelHandle, int id, Rect r, int drawMode) {
    return drawOn(panelHandle, id, drawMode, [&](CanvasPainter &cp) {
        QPen square = cp.p.pen();
        square.setJoinStyle(Qt::MiterJoin); // a rectangle keeps its corners
        cp.p.setPen(square);
        cp.p.drawRect(cp.inside(r));
    });
}

int CanvasDrawOval(int panelHandle, int id, Rect r, int drawMode) {
    return drawOn(panelHandle, id, drawMode, [&](CanvasPainter &cp) { cp.p.drawEllipse(cp.inside(r)); });
}

int CanvasDrawLine(int panelHandle, int id, Point start, Point end) {
    return drawOn(panelHandle, id, VAL_DRAW_FRAME,
                  [&](CanvasPainter &cp) { cp.p.drawLine(QPointF(start.x, start.y), QPointF(end.x, end.y)); });
}

int CanvasDrawPoly(int panelHandle, int id, std::size_t numPoints, const Point points[], int wrap, int drawMode) {
    if (numPoints > 0 && !points) return UIE_InvalidArgument;
    std::vector<QPointF> pts;
    pts.reserve(numPoints);
    for (std::size_t i = 0; i < numPoints; ++i) pts.emplace_back(points[i].x, points[i].y);
    return drawOn(panelHandle, id, drawMode, [&](CanvasPainter &cp) {
        if (pts.size() < 2) return;
        const int n = static_cast<int>(pts.size());
        if (drawMode != VAL_DRAW_FRAME) {
            // The interior is always the closed shape; the outline only when wrapped.
            const QPen pen = cp.p.pen();
            cp.p.setPen(Qt::NoPen);
            cp.p.drawPolygon(pts.data(), n);
            cp.p.setPen(pen);
            cp.p.setBrush(Qt::NoBrush);
        }
        if (drawMode == VAL_DRAW_INTERIOR) return;
        if (wrap) cp.p.drawPolygon(pts.data(), n);
        else cp.p.drawPolyline(pts.data(), n);
    });
}

int CanvasDrawText(int panelHandle, int id, const char *text, const char *fontName, int pointSize, int bold,
                   Rect bounds, int alignment) {
    int rc;
    QvCanvas *c = canvasOf(panelHandle, id, rc);
    if (!c) return rc;
    if (pointSize <= 0 || alignment < VAL_LEFT_ALIGN || alignment > VAL_RIGHT_ALIGN) return UIE_InvalidArgument;
    QFont f(familyFor(QString::fromUtf8(fontName ? fontName : "")));
    f.setPixelSize(pointSize);
    f.setBold(bold != 0);
    QPainter p(&c->surface());
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(f);
    p.setPen(rgb(c->property("pen_color").toInt()));
    const Qt::Alignment h = alignment == VAL_CENTER_ALIGN  ? Qt::AlignHCenter
                            : alignment == VAL_RIGHT_ALIGN ? Qt::AlignRight
                                                           : Qt::AlignLeft;
    p.drawText(QRectF(bounds.left, bounds.top, bounds.width, bounds.height), h | Qt::AlignVCenter,
               QString::fromUtf8(text ? text : ""));
    p.end();
    c->update();
    return 0;
}

int DisplayImageFile(int panelHandle, int id, const char *fileName) {
    ControlRec *c = control(panelHandle, id);
    if (!c) return panel(panelHandle) ? UIE_InvalidControl : UIE_InvalidPanel;
    if (c->kind != CTRL_KIND_CANVAS && c->kind != CTRL_KIND_PICTURE) return UIE_TypeMismatch;
    const QString path = QString::fromUtf8(fileName ? fileName : "");
    if (!QFileInfo(path).isFile()) return UIE_FileNotFound; // never wait on a FIFO
    const QImage image(path);
    if (image.isNull()) return UIE_FileNotFound;
    QWidget *w = c->widget;
    if (c->kind == CTRL_KIND_PICTURE) {
        const qreal ratio = w->devicePixelRatioF();
        QPixmap pm = QPixmap::fromImage(
            image.scaled((QSizeF(w->size()) * ratio).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pm.setDevicePixelRatio(ratio);
        auto *l = static_cast<QLabel *>(w);
        l->setPixmap(pm);
        l->setAlignment(Qt::AlignCenter);
        return 0;
    }
    auto *canvas = static_cast<QvCanvas *>(w);
    canvas->clear(QRect());
    QPainter p(&canvas->surface());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF fitted = QSizeF(image.size()).scaled(QSizeF(canvas->size()), Qt::KeepAspectRatio);
    const QPointF at((canvas->width() - fitted.width()) / 2.0, (canvas->height() - fitted.height()) / 2.0);
    p.drawImage(QRectF(at, fitted), image);
    p.end();
    canvas->update();
    return 0;
}
