// Exploration of graphs and strip charts by the operator. Every gesture that
// could be mistaken for a click the program reacts to needs a modifier:
// Ctrl+drag zooms to a rectangle, Ctrl+wheel zooms about the mouse, Shift+drag
// pans, Ctrl+double click shows the full view again. A small bar in the
// graph's corner, shown while the mouse is over the graph and kept while the
// view is frozen or zoomed, freezes, resets the zoom and exports (PNG, SVG,
// PDF or CSV).
#include "ui/engine/engine_p.h"
#include "ui/engine/graph_explore_p.h"
#include "ui/engine/graph_p.h"
#include "ui/engine/widgets.h"

#include <QChartView>
#include <QCoreApplication>
#include <QDir>
#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QMouseEvent>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRubberBand>
#include <QLineSeries>
#include <QSaveFile>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace engine {

std::pair<double, double> ViewState::range(const GraphModel &live, int axis) const {
    const GraphModel &m = shown(live);
    const auto base = m.range(axis);
    if (!zoomed) return base;
    if (axis != VAL_XAXIS) return {y0, y1};
    if (m.strip) return {base.first + x0, base.first + x1};
    return {x0, x1};
}

namespace {

constexpr Qt::KeyboardModifiers kExploreModifiers = Qt::ControlModifier | Qt::ShiftModifier;
constexpr int kMinBandPixels = 4; // a smaller rectangle is a slip of the hand
constexpr double kWheelStep = 0.8; // range factor per wheel notch towards the mouse

QString number(double v) { return std::isfinite(v) ? QString::number(v, 'g', 12) : QString(); }

QString csvField(const QString &s) {
    if (!s.contains(',') && !s.contains('"') && !s.contains('\n')) return s;
    return '"' + QString(s).replace('"', "\"\"") + '"';
}

bool sensibleRange(double lo, double hi) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(lo < hi)) return false;
    const double scale = std::max({1.0, std::fabs(lo), std::fabs(hi)});
    return hi - lo > scale * 1e-9 && hi - lo < 1e15;
}

QFont smallFont() {
    QFont f = QGuiApplication::font();
    f.setPixelSize(10);
    return f;
}

// Colours for the named curves of a graph: "colour=name" items.
std::map<int, QString> curveNameTable(const QString &list) {
    std::map<int, QString> names;
    for (const QString &item : list.split(',', Qt::SkipEmptyParts)) {
        const int eq = item.indexOf('=');
        if (eq < 0) continue;
        const QColor c(item.left(eq).trimmed());
        if (c.isValid()) names[static_cast<int>(c.rgb() & 0xFFFFFF)] = item.mid(eq + 1).trimmed();
    }
    return names;
}

} // namespace

namespace {

void setLook(ShownCurve &c, const Look &look) {
    c.color = colorOf(look.color);
    c.stepped = isStepped(look.plotStyle);
    c.scatter = look.plotStyle == VAL_SCATTER;
    const bool fat = look.plotStyle == VAL_FAT_LINE || look.plotStyle == VAL_FAT_STEP;
    c.width = look.lineWidth > 0 ? look.lineWidth : fat ? 2 : 1;
    c.style = penStyle(look.lineStyle);
}

} // namespace

std::vector<ShownCurve> shownCurves(const QvGraph &g, const GraphModel &m) {
    std::vector<ShownCurve> out;
    if (m.strip) {
        const auto *s = qobject_cast<const QvStripChart *>(&g);
        const QStringList names = s ? s->traceNames().split(',') : QStringList();
        const std::size_t rows = m.rowsKept();
        for (std::size_t t = 0; t < m.traces.size(); ++t) {
            const Trace &tr = m.traces[t];
            if (!tr.visible) continue;
            ShownCurve c;
            const QString name = static_cast<qsizetype>(t) < names.size() ? names[static_cast<qsizetype>(t)].trimmed()
                                                                           : QString();
            c.name = name.isEmpty() ? QString("Trace %1").arg(t + 1) : name;
            setLook(c, tr.look);
            c.points.reserve(static_cast<qsizetype>(rows));
            bool gap = false;
            for (std::size_t r = 0; r < rows; ++r) {
                const double v = m.value(r, static_cast<int>(t));
                if (!std::isfinite(v)) {
                    gap = !c.points.isEmpty();
                    continue;
                }
                if (gap) c.breaks.push_back(c.points.size());
                gap = false;
                c.points.append(QPointF(m.rowX(r), v));
            }
            out.push_back(std::move(c));
        }
        return out;
    }
    const std::map<int, QString> names = curveNameTable(g.curveNames());
    std::map<QString, int> uses;
    for (const auto &kv : m.plots) {
        const Plot &p = kv.second;
        if (!p.visible || p.kind != PlotKind::Curve) continue;
        ShownCurve c;
        auto it = names.find(p.look.color);
        c.name = it != names.end() ? it->second : QString("Curve %1").arg(out.size() + 1);
        if (const int n = ++uses[c.name]; n > 1) c.name += QString(" (%1)").arg(n);
        setLook(c, p.look);
        c.points = p.points;
        c.breaks = p.breaks;
        out.push_back(std::move(c));
    }
    return out;
}

double valueAt(const ShownCurve &c, double x) {
    for (const QPointF &p : c.points)
        if (p.x() == x) return p.y();
    for (qsizetype i = 1; i < c.points.size(); ++i) {
        if (std::find(c.breaks.begin(), c.breaks.end(), i) != c.breaks.end()) continue; // no line across a gap
        const QPointF a = c.points[i - 1], b = c.points[i];
        if (std::min(a.x(), b.x()) < x && x < std::max(a.x(), b.x())) {
            if (c.stepped) return a.y();
            return a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x());
        }
    }
    return NAN;
}

QString curvesCsv(const std::vector<ShownCurve> &curves, double x0, double x1) {
    std::set<double> xs;
    std::vector<std::map<double, double>> columns(curves.size());
    for (std::size_t k = 0; k < curves.size(); ++k)
        for (const QPointF &p : curves[k].points)
            if (p.x() >= x0 && p.x() <= x1) {
                xs.insert(p.x());
                columns[k].emplace(p.x(), p.y()); // the first point at an x
            }
    QString out = "x";
    for (const ShownCurve &c : curves) out += ',' + csvField(c.name);
    out += '\n';
    for (double x : xs) {
        out += number(x);
        for (const auto &col : columns) {
            out += ',';
            auto it = col.find(x);
            if (it != col.end()) out += number(it->second);
        }
        out += '\n';
    }
    return out;
}

// Cursor line, a dot on each curve and the readout box; never takes the mouse.
class ExploreOverlay : public QWidget {
  public:
    ExploreOverlay(GraphExplorer *explorer, QWidget *parent) : QWidget(parent), in_(explorer) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent *) override {
        if (!in_->cursorShown_) return;
        QvGraph *g = in_->g_;
        const QRectF pa = g->plotArea();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool light = g->plotColor().lightness() > 128;
        const double cx = g->toWidget(QPointF(in_->readX_, 0.0)).x();
        p.setPen(QPen(light ? QColor(64, 64, 64) : QColor(200, 200, 200), 1, Qt::DashLine));
        p.drawLine(QPointF(cx, pa.top()), QPointF(cx, pa.bottom()));
        for (const auto &r : in_->readings_) {
            if (!std::isfinite(r.value)) continue;
            const QPointF at = g->toWidget(QPointF(in_->readX_, r.value));
            if (!pa.contains(at)) continue;
            p.setPen(QPen(light ? Qt::black : Qt::white, 1));
            p.setBrush(r.color);
            p.drawEllipse(at, 3.5, 3.5);
        }

        // The box: one line for x, one per curve with a swatch of its colour.
        p.setFont(smallFont());
        const QFontMetrics fm(p.font());
        const QStringList lines = in_->readoutText().split('\n');
        int w = 0;
        for (const QString &l : lines) w = std::max(w, fm.horizontalAdvance(l));
        const int lh = fm.height(), sw = 8;
        QRect box(0, 0, w + sw + 14, lh * static_cast<int>(lines.size()) + 6);
        QPoint at = in_->mouse_ + QPoint(14, 14);
        if (at.x() + box.width() > pa.right()) at.setX(in_->mouse_.x() - 14 - box.width());
        if (at.y() + box.height() > pa.bottom()) at.setY(in_->mouse_.y() - 14 - box.height());
        at.setX(std::max(at.x(), static_cast<int>(pa.left())));
        at.setY(std::max(at.y(), static_cast<int>(pa.top())));
        box.moveTopLeft(at);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QColor(128, 128, 128));
        p.setBrush(QColor(255, 255, 240, 235));
        p.drawRect(box);
        for (int i = 0; i < lines.size(); ++i) {
            const int y = box.top() + 3 + i * lh;
            if (i > 0 && static_cast<std::size_t>(i - 1) < in_->readings_.size()) {
                p.setPen(Qt::NoPen);
                p.setBrush(in_->readings_[static_cast<std::size_t>(i - 1)].color);
                p.drawRect(box.left() + 4, y + (lh - sw) / 2, sw, sw);
            }
            p.setPen(Qt::black);
            p.drawText(QPoint(box.left() + sw + 9, y + fm.ascent()), lines[i]);
        }
    }

  private:
    GraphExplorer *in_;
};

// The bar takes every click on it, buttons or not, so none falls through
// to the graph's callback.
class ExploreBar : public QWidget {
  public:
    explicit ExploreBar(QWidget *parent) : QWidget(parent) {
        setAttribute(Qt::WA_NoMousePropagation);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, QColor(236, 236, 236));
        pal.setColor(QPalette::Button, QColor(236, 236, 236));
        pal.setColor(QPalette::ButtonText, Qt::black);
        pal.setColor(QPalette::WindowText, Qt::black);
        setPalette(pal);
    }

  protected:
    void mousePressEvent(QMouseEvent *e) override { e->accept(); }
    void mouseReleaseEvent(QMouseEvent *e) override { e->accept(); }
    void mouseDoubleClickEvent(QMouseEvent *e) override { e->accept(); }
};

GraphExplorer::GraphExplorer(QvGraph *graph) : QObject(nullptr), g_(graph) {
    overlay_ = new ExploreOverlay(this, g_);
    overlay_->hide(); // shown with the cursor only, so it costs the chart nothing otherwise
    bar_ = new ExploreBar(g_);
    bar_->setObjectName("exploreBar");
    auto *layout = new QHBoxLayout(bar_);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(1);
    // Every tip ends with the gestures, which have no button of their own.
    const QString gestures = "\nCtrl+drag: zoom to a rectangle. Ctrl+wheel: zoom. Shift+drag: pan. "
                             "Ctrl+double click: full view.";
    auto button = [&](const char *name, const QString &text, const QString &tip) {
        auto *b = new QToolButton(bar_);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(tip + gestures);
        b->setFont(smallFont());
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
        return b;
    };
    freezeButton_ = button("exploreFreeze", "Freeze",
                           "Hold the picture while measuring and recording go on; "
                           "release it to see the latest values.");
    freezeButton_->setCheckable(true);
    fullViewButton_ = button("exploreFullView", "Full view", "Show the whole range again.");
    exportButton_ = button("exploreExport", "Export",
                           "Save the graph as a PNG picture, SVG drawing or PDF page, or the curves shown as CSV.");
    connect(freezeButton_, &QToolButton::toggled, this, [this](bool on) { setFrozen(on); });
    connect(fullViewButton_, &QToolButton::clicked, this, [this] { resetZoom(); });
    connect(exportButton_, &QToolButton::clicked, this, [this] { exportWithDialog(); });

    g_->setMouseTracking(true);
    g_->installEventFilter(this);
    placeOverlays();
    updateBar();
}

GraphExplorer::~GraphExplorer() = default;

QWidget *GraphExplorer::bar() const { return bar_; }

bool GraphExplorer::frozen() const { return static_cast<bool>(g_->viewState().frozen); }
bool GraphExplorer::zoomed() const { return g_->viewState().zoomed; }

void GraphExplorer::setFrozen(bool on) {
    ViewState &st = g_->viewState();
    if (on == frozen()) return;
    if (on) {
        g_->redrawNow(); // what is frozen is the latest
        st.frozen = std::make_unique<GraphModel>(g_->model());
    } else {
        st.frozen.reset();
        g_->redrawNow();
    }
    updateBar();
}

void GraphExplorer::zoomTo(double x0, double x1, double y0, double y1, bool notify) {
    if (!sensibleRange(x0, x1) || !sensibleRange(y0, y1)) return;
    ViewState &st = g_->viewState();
    const GraphModel &m = st.shown(g_->model());
    const double base = m.strip ? m.range(VAL_XAXIS).first : 0.0;
    st.zoomed = true;
    st.x0 = x0 - base;
    st.x1 = x1 - base;
    st.y0 = y0;
    st.y1 = y1;
    g_->redrawNow();
    updateBar();
    if (notify) emit g_->viewChanged();
}

void GraphExplorer::resetZoom(bool notify) {
    g_->viewState().zoomed = false;
    g_->redrawNow();
    updateBar();
    if (notify) emit g_->viewChanged();
}

void GraphExplorer::zoomAround(const QPointF &c, double f) {
    const auto xr = g_->shownRange(VAL_XAXIS), yr = g_->shownRange(VAL_LEFT_YAXIS);
    zoomTo(c.x() + (xr.first - c.x()) * f, c.x() + (xr.second - c.x()) * f, c.y() + (yr.first - c.y()) * f,
           c.y() + (yr.second - c.y()) * f);
}

std::vector<ShownCurve> GraphExplorer::curves() const {
    return shownCurves(*g_, g_->viewState().shown(g_->model()));
}

QString GraphExplorer::csv() const {
    // The range the view shows at its next redraw, which may still be due.
    const auto xr = g_->viewState().range(g_->model(), VAL_XAXIS);
    if (g_->csvSource) return g_->csvSource(xr.first, xr.second);
    return curvesCsv(curves(), xr.first, xr.second);
}

QString GraphExplorer::readoutText() const {
    QString s = "x = " + number(readX_);
    for (const Reading &r : readings_) s += '\n' + r.name + ": " + (std::isfinite(r.value) ? number(r.value) : "-");
    return s;
}

// The legend of an exported picture: a swatch and the name of every shown
// curve, in a box in the plot area's top left corner. On the screen the
// curves' colours are known from the panel; a picture taken away is not.
void paintLegend(QPainter &painter, const QRectF &plotArea, const std::vector<ShownCurve> &curves) {
    if (curves.empty()) return;
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    const QFontMetrics fm(font);
    constexpr int kPad = 4, kSwatch = 16, kGap = 4;
    int textWidth = 0;
    for (const ShownCurve &c : curves) textWidth = std::max(textWidth, fm.horizontalAdvance(c.name));
    const int lineHeight = fm.height();
    const QRectF box(std::round(plotArea.left()) + 6, std::round(plotArea.top()) + 6, 2 * kPad + kSwatch + kGap + textWidth,
                     2 * kPad + lineHeight * static_cast<int>(curves.size()));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false); // a crisp frame
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(box);
    painter.setRenderHint(QPainter::Antialiasing);
    double y = box.top() + kPad;
    for (const ShownCurve &c : curves) {
        const double mid = y + lineHeight / 2.0;
        painter.setPen(QPen(c.color, 2));
        painter.drawLine(QPointF(box.left() + kPad, mid), QPointF(box.left() + kPad + kSwatch, mid));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(box.left() + kPad + kSwatch + kGap, y, textWidth + 1, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, c.name);
        y += lineHeight;
    }
    painter.restore();
}

QString GraphExplorer::exportTo(const QString &path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext != "png" && ext != "svg" && ext != "pdf" && ext != "csv")
        return QString("A graph is exported as a .png, .svg, .pdf or .csv file; \"%1\" is none of them.").arg(path);
    // The new file is renamed over the old one: a device or FIFO of that
    // name would be replaced by it.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) return QString("Cannot write \"%1\": not a regular file").arg(path);
    // Made in memory and written in one unbuffered write, so that a write
    // the file system cuts short (a full disk, the file-size limit) shows in
    // its count and the file is never committed half written.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool made = true;
    g_->redrawNow();
    if (ext == "csv") {
        bytes = csv().toUtf8();
    } else {
        hideMarks();
        const std::vector<ShownCurve> shown = curves();
        if (ext == "png") {
            QImage img = g_->grab().toImage();
            {
                QPainter painter(&img);
                painter.setRenderHint(QPainter::Antialiasing);
                paintLegend(painter, g_->plotArea(), shown);
            }
            made = img.save(&buffer, "PNG");
        } else if (ext == "svg") {
            made = paintSvg(&buffer, shown);
        } else {
            auto *view = static_cast<QChartView *>(g_->chartView());
            QPdfWriter pdf(&buffer);
            pdf.setResolution(72); // one point per pixel
            pdf.setPageSize(QPageSize(QSizeF(view->width(), view->height()), QPageSize::Point));
            pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
            pdf.setTitle(g_->objectName());
            pdf.setCreator(QCoreApplication::applicationName());
            QPainter painter(&pdf);
            view->render(&painter, QRectF(0, 0, view->width(), view->height()), view->viewport()->rect());
            paintLegend(painter, g_->plotArea().translated(-view->pos()), shown);
            made = painter.end();
        }
        restoreMarks();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QString("Cannot write \"%1\": %2").arg(path, file.errorString());
    if (!made || file.write(bytes) != bytes.size()) file.cancelWriting();
    if (!file.commit()) {
        const QString why = file.errorString();
        return QString("Cannot write \"%1\"%2").arg(path, why.isEmpty() ? QString() : ": " + why);
    }
    return QString();
}

void GraphExplorer::hideMarks() {
    overlayWasShown_ = overlay_->isVisible();
    barWasShown_ = bar_->isVisible();
    overlay_->hide();
    bar_->hide();
    if (band_) band_->hide();
}

void GraphExplorer::restoreMarks() {
    overlay_->setVisible(overlayWasShown_);
    bar_->setVisible(barWasShown_);
}

ExplorationMarksHidden::ExplorationMarksHidden(QWidget *root) {
    if (!root) return;
    for (QvGraph *g : root->findChildren<QvGraph *>()) {
        g->explorer().hideMarks();
        graphs_.append(g);
    }
}

ExplorationMarksHidden::~ExplorationMarksHidden() {
    for (const QPointer<QvGraph> &g : graphs_)
        if (g) g->explorer().restoreMarks();
}

void GraphExplorer::exportWithDialog() {
    static std::string lastDir;
    if (lastDir.empty()) lastDir = GetWritableDataDir();
    const std::string startIn = g_->exportDir.isEmpty() ? lastDir : g_->exportDir.toStdString();
    std::string chosen;
    if (FileSelectPopup(startIn.c_str(), "graph.png", "*.png;*.svg;*.pdf;*.csv", "Export graph", VAL_SAVE_BUTTON, 0,
                        0, 1, 1, &chosen) < 1)
        return;
    QString path = QString::fromStdString(chosen);
    if (QFileInfo(path).suffix().isEmpty()) path += ".png";
    lastDir = QFileInfo(path).absolutePath().toStdString();
    const QString error = exportTo(path);
    if (!error.isEmpty()) MessagePopup("Error", error.toUtf8().constData());
}

bool GraphExplorer::keepsMouseEvent(QObject *target, const QEvent *e) const {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: break;
    default: return false;
    }
    for (QObject *o = target; o; o = o->parent())
        if (o == bar_) return true;
        else if (o == g_) break;
    return (static_cast<const QMouseEvent *>(e)->modifiers() & kExploreModifiers) != 0;
}

bool graphKeepsMouseEvent(QObject *target, const QEvent *e) {
    for (QObject *o = target; o; o = o->parent())
        if (auto *g = qobject_cast<QvGraph *>(o)) return g->explorer().keepsMouseEvent(target, e);
    return false;
}

void GraphExplorer::updateBar() {
    const bool isFrozen = frozen();
    if (freezeButton_->isChecked() != isFrozen) {
        const QSignalBlocker block(freezeButton_);
        freezeButton_->setChecked(isFrozen);
    }
    freezeButton_->setText(isFrozen ? "Frozen" : "Freeze");
    fullViewButton_->setEnabled(zoomed());
    bar_->adjustSize();
    placeOverlays();
    bar_->setVisible(hovered_ || isFrozen || zoomed());
}

void GraphExplorer::placeOverlays() {
    overlay_->setGeometry(g_->rect());
    const int f = g_->frameWidth();
    bar_->move(std::max(f, g_->width() - f - bar_->width() - 1), f + 1);
    overlay_->raise();
    bar_->raise();
}

void GraphExplorer::hideCursor() {
    if (!cursorShown_) return;
    cursorShown_ = false;
    readings_.clear();
    overlay_->hide();
}

void GraphExplorer::track(const QPoint &pos) {
    mouse_ = pos;
    const QRectF pa = g_->plotArea();
    if (drag_ != Drag::None || !pa.contains(pos)) {
        hideCursor();
        return;
    }
    // The readout stands at the plotted x nearest to the mouse.
    const auto xr = g_->shownRange(VAL_XAXIS);
    const double mx = g_->toData(pos).x();
    const std::vector<ShownCurve> cs = curves();
    readX_ = mx;
    double nearest = INFINITY;
    for (const ShownCurve &c : cs)
        for (const QPointF &p : c.points)
            if (p.x() >= xr.first && p.x() <= xr.second && std::fabs(p.x() - mx) < nearest) {
                nearest = std::fabs(p.x() - mx);
                readX_ = p.x();
            }
    readings_.clear();
    for (const ShownCurve &c : cs)
        readings_.push_back({c.name, c.color, g_->valueSource ? g_->valueSource(c.name, readX_) : valueAt(c, readX_)});
    cursorShown_ = true;
    overlay_->show();
    overlay_->update();
}

void GraphExplorer::viewRedrawn() {
    if (cursorShown_) track(mouse_);
}

bool GraphExplorer::eventFilter(QObject *watched, QEvent *e) {
    if (watched != g_) return false;
    switch (e->type()) {
    case QEvent::Resize:
        placeOverlays();
        return false;
    case QEvent::Enter:
        hovered_ = true;
        updateBar();
        return false;
    case QEvent::Leave:
    case QEvent::Hide:
        hovered_ = false;
        hideCursor();
        updateBar();
        return false;
    case QEvent::MouseButtonPress: {
        auto *me = static_cast<QMouseEvent *>(e);
        if (!(me->modifiers() & kExploreModifiers)) return false; // the program's click
        const QPoint pos = me->position().toPoint();
        if (me->button() == Qt::LeftButton && g_->plotArea().contains(pos)) {
            dragFrom_ = pos;
            if (me->modifiers() & Qt::ControlModifier) {
                drag_ = Drag::Band;
                if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, g_);
                band_->setGeometry(QRect(pos, QSize()));
                band_->show();
                band_->raise();
            } else {
                drag_ = Drag::Pan;
                const auto xr = g_->shownRange(VAL_XAXIS), yr = g_->shownRange(VAL_LEFT_YAXIS);
                from_[0] = xr.first;
                from_[1] = xr.second;
                from_[2] = yr.first;
                from_[3] = yr.second;
            }
            hideCursor();
        }
        e->accept();
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto *me = static_cast<QMouseEvent *>(e);
        if (!(me->modifiers() & kExploreModifiers)) return false;
        if (me->button() == Qt::LeftButton && (me->modifiers() & Qt::ControlModifier)) resetZoom();
        e->accept();
        return true;
    }
    case QEvent::MouseMove: {
        auto *me = static_cast<QMouseEvent *>(e);
        const QPoint pos = me->position().toPoint();
        if (!hovered_) {
            hovered_ = true;
            updateBar();
        }
        if (drag_ == Drag::Band) {
            band_->setGeometry(QRect(dragFrom_, pos).normalized().intersected(g_->plotArea().toAlignedRect()));
            return true;
        }
        if (drag_ == Drag::Pan) {
            const QRectF pa = g_->plotArea();
            if (pa.width() <= 0 || pa.height() <= 0) return true;
            const double dx = (pos.x() - dragFrom_.x()) / pa.width() * (from_[1] - from_[0]);
            const double dy = (pos.y() - dragFrom_.y()) / pa.height() * (from_[3] - from_[2]);
            zoomTo(from_[0] - dx, from_[1] - dx, from_[2] + dy, from_[3] + dy);
            return true;
        }
        track(pos);
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto *me = static_cast<QMouseEvent *>(e);
        if (drag_ == Drag::None || me->button() != Qt::LeftButton) return keepsMouseEvent(watched, e);
        const Drag was = drag_;
        drag_ = Drag::None;
        if (was == Drag::Band) {
            const QRect r = band_->geometry();
            band_->hide();
            if (r.width() >= kMinBandPixels && r.height() >= kMinBandPixels) {
                const QPointF a = g_->toData(r.bottomLeft()), b = g_->toData(r.topRight());
                zoomTo(a.x(), b.x(), a.y(), b.y());
            }
        }
        track(me->position().toPoint());
        return true;
    }
    case QEvent::Wheel: {
        auto *we = static_cast<QWheelEvent *>(e);
        if (!(we->modifiers() & Qt::ControlModifier)) return false;
        const int delta = we->angleDelta().y();
        if (delta != 0) zoomAround(g_->toData(we->position().toPoint()), std::pow(kWheelStep, delta / 120.0));
        e->accept();
        return true;
    }
    default: return false;
    }
}

} // namespace engine

// ---- the operator's view, for the program ------------------------------------------------------
namespace {

QvGraph *viewedGraph(int panelHandle, int id, int *rc) {
    engine::ControlRec *c = engine::control(panelHandle, id);
    auto *g = c ? qobject_cast<QvGraph *>(c->widget.data()) : nullptr;
    *rc = g ? 0 : !c ? (engine::panel(panelHandle) ? UIE_InvalidControl : UIE_InvalidPanel) : UIE_TypeMismatch;
    return g;
}

} // namespace

int GetGraphViewRange(int panelHandle, int id, int axis, double *min, double *max) {
    int rc;
    QvGraph *g = viewedGraph(panelHandle, id, &rc);
    if (!g) return rc;
    if (axis != VAL_XAXIS && axis != VAL_LEFT_YAXIS) return UIE_InvalidArgument;
    const auto r = g->viewState().range(g->model(), axis);
    if (min) *min = r.first;
    if (max) *max = r.second;
    return 0;
}

int SetGraphViewRange(int panelHandle, int id, double x0, double x1, double y0, double y1) {
    int rc;
    QvGraph *g = viewedGraph(panelHandle, id, &rc);
    if (!g) return rc;
    if (!(x0 < x1) || !(y0 < y1)) return UIE_InvalidArgument;
    g->explorer().zoomTo(x0, x1, y0, y1, false);
    return 0;
}

int ResetGraphView(int panelHandle, int id) {
    int rc;
    QvGraph *g = viewedGraph(panelHandle, id, &rc);
    if (!g) return rc;
    if (g->explorer().zoomed()) g->explorer().resetZoom(false);
    return 0;
}

int SetGraphValueSource(int panelHandle, int id, GraphValueSource source, void *data) {
    int rc;
    QvGraph *g = viewedGraph(panelHandle, id, &rc);
    if (!g) return rc;
    if (!source) g->valueSource = nullptr;
    else
        g->valueSource = [source, data](const QString &name, double x) {
            return source(name.toUtf8().constData(), x, data);
        };
    return 0;
}

int SetGraphExportDirectory(int panelHandle, int id, const char *directory) {
    int rc;
    QvGraph *g = viewedGraph(panelHandle, id, &rc);
    if (!g) return rc;
    g->exportDir = QString::fromUtf8(directory ? directory : "");
    return 0;
}

int SetGraphCsvSource(int panelHandle, int id, GraphCsvSource source, void *data) {
    int rc;
    QvGraph *g = viewedGraph(panelHandle, id, &rc);
    if (!g) return rc;
    if (!source) g->csvSource = nullptr;
    else
        g->csvSource = [source, data](double x0, double x1) { return QString::fromStdString(source(x0, x1, data)); };
    return 0;
}
