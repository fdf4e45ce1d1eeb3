// The style the panels are painted with. It is the desktop's own style with
// one change: what it paints is filed under a palette shared by every
// widget of the same colours.
//
// The style paints a button (and other framed parts) once per look and
// keeps the picture, filed under a name made of the state, the size and the
// palette's identity. A widget whose colour changes gets a new palette, and
// a new identity, every time, even when the colours are ones it had before:
// RUN turns red when a loop starts and white again when it stops, so every
// run filed new pictures that were never used again. They stayed until the
// picture cache was full (10 MB), and the names they were filed under stay
// for good. Painting with the shared palette of the same colours makes the
// names repeat, so the pictures are found again instead of made anew.
#include "ui/engine/engine_p.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <map>
#include <string>
#include <unordered_map>

namespace engine {
namespace {

// Palettes by their colours, and palettes already looked up by identity. A
// program that used ever new colours would start both afresh now and then.
constexpr std::size_t kMaxSharedPalettes = 256;
constexpr std::size_t kMaxKnownIdentities = 1024;

std::map<std::string, QPalette> g_shared;
std::unordered_map<qint64, QPalette> g_byIdentity;

// The colours of every group and role; empty for a palette with a gradient
// or a texture, which is painted as it is.
std::string coloursOf(const QPalette &p) {
    std::string key;
    key.reserve(QPalette::NColorGroups * QPalette::NColorRoles * 5);
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const QBrush &b = p.brush(QPalette::ColorGroup(g), QPalette::ColorRole(r));
            if (b.style() != Qt::SolidPattern && b.style() != Qt::NoBrush) return {};
            const QRgb c = b.color().rgba();
            key.push_back(static_cast<char>(b.style()));
            for (int shift = 0; shift < 32; shift += 8) key.push_back(static_cast<char>((c >> shift) & 0xFF));
        }
    return key;
}

const QPalette &sharedPalette(const QPalette &p) {
    const qint64 identity = p.cacheKey();
    auto known = g_byIdentity.find(identity);
    if (known != g_byIdentity.end()) return known->second;
    if (g_byIdentity.size() >= kMaxKnownIdentities) g_byIdentity.clear();
    const std::string colours = coloursOf(p);
    if (colours.empty()) return g_byIdentity.emplace(identity, p).first->second;
    if (g_shared.size() >= kMaxSharedPalettes && !g_shared.count(colours)) g_shared.clear();
    const QPalette &shared = g_shared.emplace(colours, p).first->second;
    return g_byIdentity.emplace(identity, shared).first->second;
}

// Puts the shared palette into a style option for one painting call. The
// options are the caller's own objects on the stack, handed over as const.
class SharedPaletteFor {
  public:
    explicit SharedPaletteFor(const QStyleOption *o)
        : option_(const_cast<QStyleOption *>(o)), own_(o ? o->palette : QPalette()) {
        if (!option_) return;
        option_->palette = sharedPalette(own_);
        // The colour group in use (active, inactive, disabled) is the
        // option's own, not part of the colours the palette is shared by:
        // the shared palette keeps the group it was first filed with, and a
        // dimmed button painted with the group of an enabled one showed its
        // text and frame in black, as if a click would act.
        option_->palette.setCurrentColorGroup(own_.currentColorGroup());
    }
    ~SharedPaletteFor() {
        if (option_) option_->palette = own_;
    }
    SharedPaletteFor(const SharedPaletteFor &) = delete;
    SharedPaletteFor &operator=(const SharedPaletteFor &) = delete;

  private:
    QStyleOption *option_;
    QPalette own_;
};

class SteadyLooksStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement e, const QStyleOption *o, QPainter *p, const QWidget *w) const override {
        const SharedPaletteFor shared(o);
        QProxyStyle::drawPrimitive(e, o, p, w);
    }
    void drawControl(ControlElement e, const QStyleOption *o, QPainter *p, const QWidget *w) const override {
        const SharedPaletteFor shared(o);
        QProxyStyle::drawControl(e, o, p, w);
    }
    void drawComplexControl(ComplexControl c, const QStyleOptionComplex *o, QPainter *p,
                            const QWidget *w) const override {
        const SharedPaletteFor shared(o);
        QProxyStyle::drawComplexControl(c, o, p, w);
        if (c == CC_ScrollBar && o && (o->subControls & SC_ScrollBarSlider)) markScrollBarHandle(o, p, w);
    }

  private:
    // The style paints a scroll bar's handle lighter than its groove, which
    // reads as an empty track with a dark handle at the other end: a scroll
    // bar upside down. The handle is painted over, darker than the groove.
    void markScrollBarHandle(const QStyleOptionComplex *o, QPainter *p, const QWidget *w) const {
        const QRect handle = subControlRect(CC_ScrollBar, o, SC_ScrollBarSlider, w);
        if (!handle.isValid() || handle.width() < 6 || handle.height() < 6) return;
        const bool held = (o->activeSubControls & SC_ScrollBarSlider) && (o->state & State_Sunken);
        const QColor fill = o->palette.color(QPalette::Window).darker(held ? 160 : 140);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(QPen(fill.darker(125), 1));
        p->setBrush(fill);
        p->drawRoundedRect(QRectF(handle).adjusted(2.5, 1.5, -2.5, -1.5), 2, 2);
        p->restore();
    }
};

} // namespace

void useSteadyLooks() {
    if (dynamic_cast<SteadyLooksStyle *>(QApplication::style())) return;
    QApplication::setStyle(new SteadyLooksStyle(QStyleFactory::create(QApplication::style()->name())));
}

std::size_t sharedPaletteCount() { return g_shared.size(); }

} // namespace engine
