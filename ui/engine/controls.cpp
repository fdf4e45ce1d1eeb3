// Controls: values, attributes, list, text-box, table, combo-box and password
// operations, and the operator actions tests use.
#include "ui/engine/engine_p.h"
#include "ui/engine/widgets.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPalette>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <QScrollBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QTextBlock>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

using namespace engine;

namespace {

// Looks a control up; on failure returns the error code through rc.
ControlRec *lookup(int panelHandle, int id, int &rc) {
    ControlRec *c = control(panelHandle, id);
    rc = c ? 0 : (panel(panelHandle) ? UIE_InvalidControl : UIE_InvalidPanel);
    return c;
}

// The widget behind a control of one of the given kinds; otherwise rc says why not.
template <typename W> W *widgetOf(int panelHandle, int id, int &rc, std::initializer_list<int> kinds) {
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return nullptr;
    if (std::find(kinds.begin(), kinds.end(), c->kind) == kinds.end()) {
        rc = UIE_TypeMismatch;
        return nullptr;
    }
    return static_cast<W *>(c->widget.data());
}

void setStyleEntry(QWidget *w, const char *key, const QString &value) {
    // Keeps one style entry per key so colours can be changed independently.
    // An unchanged entry leaves the style sheet alone: setting it costs a
    // restyle of the widget, and loops set the same colour every cycle.
    if (w->property(key).toString() == value) return;
    w->setProperty(key, value);
    QString css;
    for (const char *k : {"bgcss", "fgcss", "maskcss"}) {
        QString v = w->property(k).toString();
        if (!v.isEmpty()) css += v;
    }
    w->setStyleSheet(css);
}

// A progress bar's fill colour, and its percentage readable wherever it
// stands: the part of the text on the fill is drawn in white on a dark fill
// (dark red, blue, green) or black on a light one, the part on the bar's
// light background in the usual dark colour. Qt's Fusion style draws the
// label in these two colours, split at the end of the fill; a style sheet
// would draw it in one colour only, so the fill is set through the palette.
void styleProgressBar(QProgressBar *p, int rgb) {
    static QStyle *const fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion && p->style() != fusion) p->setStyle(fusion);
    const QColor fill = QColor::fromRgb(static_cast<QRgb>(rgb) & 0xFFFFFF);
    // Perceived brightness: pure blue is as dark to the eye as dark red.
    const int luma = (299 * fill.red() + 587 * fill.green() + 114 * fill.blue()) / 1000;
    QPalette palette = p->palette();
    palette.setColor(QPalette::Highlight, fill);
    palette.setColor(QPalette::HighlightedText, luma < 140 ? Qt::white : Qt::black);
    p->setPalette(palette);
    p->setAlignment(Qt::AlignCenter);
}

// Texts pass between the program and the widgets as bytes. Bytes that are
// valid UTF-8 are shown as such; any other bytes (a Latin-1 name, a cut or
// damaged file) are shown one character per byte and kept beside the text,
// so that reading the control gives back exactly the bytes that were set.
constexpr int kRawBytesRole = Qt::UserRole + 1;  // of a combo-box item
constexpr char kRawBytesProperty[] = "rawBytes"; // of a text field: the bytes...
constexpr char kRawTextProperty[] = "rawText";   // ...and the text shown for them

bool isUtf8(const std::string &bytes) {
    const QByteArray b = QByteArray::fromStdString(bytes);
    return QString::fromUtf8(b).toUtf8() == b;
}

QString textOfBytes(const std::string &bytes) {
    if (isUtf8(bytes)) return QString::fromStdString(bytes);
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A field set from bytes remembers them for as long as it shows their text.
void setFieldBytes(QWidget *w, const std::string &bytes, const QString &shown) {
    const bool raw = !isUtf8(bytes);
    w->setProperty(kRawBytesProperty, raw ? QVariant(QByteArray::fromStdString(bytes)) : QVariant());
    w->setProperty(kRawTextProperty, raw ? QVariant(shown) : QVariant());
}

std::string fieldBytes(const QWidget *w, const QString &shown) {
    const QVariant raw = w->property(kRawBytesProperty);
    if (raw.isValid() && w->property(kRawTextProperty).toString() == shown) return raw.toByteArray().toStdString();
    return shown.toStdString();
}

std::string itemBytes(const QComboBox *c, int index) {
    const QVariant raw = c->itemData(index, kRawBytesRole);
    return raw.isValid() ? raw.toByteArray().toStdString() : c->itemText(index).toStdString();
}

// A combo box's field: the bytes it was set to, or those of the list item
// it shows (picked from the list), or the text typed.
std::string comboFieldBytes(const QComboBox *c) {
    const QString shown = c->currentText();
    const QVariant raw = c->property(kRawBytesProperty);
    if (raw.isValid() && c->property(kRawTextProperty).toString() == shown) return raw.toByteArray().toStdString();
    for (int i = 0; i < c->count(); ++i)
        if (c->itemData(i, kRawBytesRole).isValid() && c->itemText(i) == shown) return itemBytes(c, i);
    return shown.toStdString();
}

int ringIndexOfValue(QComboBox *c, int value) {
    for (int i = 0; i < c->count(); ++i)
        if (c->itemData(i, Qt::UserRole).toInt() == value) return i;
    return -1;
}

int setInt(ControlRec *c, int v) {
    QWidget *w = c->widget;
    const QSignalBlocker block(w);
    switch (c->kind) {
    case CTRL_KIND_TOGGLE:
    case CTRL_KIND_CHECKBOX:
    case CTRL_KIND_RADIO:
        static_cast<QAbstractButton *>(w)->setChecked(v != 0);
        return 0;
    case CTRL_KIND_NUMERIC:
        static_cast<QSpinBox *>(w)->setValue(v);
        return 0;
    case CTRL_KIND_NUMERIC_DOUBLE:
        static_cast<QDoubleSpinBox *>(w)->setValue(v);
        return 0;
    case CTRL_KIND_RING: {
        auto *r = static_cast<QComboBox *>(w);
        int i = ringIndexOfValue(r, v);
        if (i < 0) return UIE_ItemNotFound;
        r->setCurrentIndex(i);
        return 0;
    }
    case CTRL_KIND_PROGRESS:
        static_cast<QProgressBar *>(w)->setValue(v);
        return 0;
    case CTRL_KIND_LED:
    case CTRL_KIND_LAMP:
        static_cast<QvLed *>(w)->setOn(v != 0);
        return 0;
    default:
        return UIE_TypeMismatch;
    }
}

bool getInt(ControlRec *c, long long *out) {
    QWidget *w = c->widget;
    switch (c->kind) {
    case CTRL_KIND_TOGGLE:
    case CTRL_KIND_CHECKBOX:
    case CTRL_KIND_RADIO:
        *out = static_cast<QAbstractButton *>(w)->isChecked() ? 1 : 0;
        return true;
    case CTRL_KIND_NUMERIC:
        *out = static_cast<QSpinBox *>(w)->value();
        return true;
    case CTRL_KIND_RING: {
        auto *r = static_cast<QComboBox *>(w);
        if (r->currentIndex() < 0) return false;
        *out = r->itemData(r->currentIndex(), Qt::UserRole).toInt();
        return true;
    }
    case CTRL_KIND_PROGRESS:
        *out = static_cast<QProgressBar *>(w)->value();
        return true;
    case CTRL_KIND_LED:
    case CTRL_KIND_LAMP:
        *out = static_cast<QvLed *>(w)->isOn() ? 1 : 0;
        return true;
    default:
        return false;
    }
}

template <typename T> int getIntegral(int panelHandle, int id, T *value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    long long v = 0;
    if (!getInt(c, &v)) return UIE_TypeMismatch;
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return UIE_TypeMismatch;
    if (value) *value = static_cast<T>(v);
    return 0;
}

} // namespace

// ---- values --------------------------------------------------------------------------------
int SetCtrlVal(int panelHandle, int id, int value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    return c ? setInt(c, value) : rc;
}

int SetCtrlVal(int panelHandle, int id, double value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (c->kind == CTRL_KIND_NUMERIC_DOUBLE) {
        const QSignalBlocker block(c->widget.data());
        static_cast<QDoubleSpinBox *>(c->widget.data())->setValue(value);
        return 0;
    }
    // An integer control takes a real value only when it is a whole number.
    if (std::floor(value) != value || value < INT_MIN || value > INT_MAX) return UIE_TypeMismatch;
    return setInt(c, static_cast<int>(value));
}

int SetCtrlVal(int panelHandle, int id, const std::string &value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    QWidget *w = c->widget;
    const QSignalBlocker block(w);
    const QString s = textOfBytes(value);
    switch (c->kind) {
    case CTRL_KIND_STRING:
        static_cast<QLineEdit *>(w)->setText(s);
        static_cast<QLineEdit *>(w)->setModified(false);
        setFieldBytes(w, value, s);
        return 0;
    case CTRL_KIND_TEXTMSG:
        static_cast<QLabel *>(w)->setText(s);
        followText(w);
        return 0;
    case CTRL_KIND_TEXTBOX:
        static_cast<QPlainTextEdit *>(w)->appendPlainText(s);
        return 0;
    case CTRL_KIND_COMBO: {
        auto *cb = static_cast<QComboBox *>(w);
        cb->setEditText(s);
        if (cb->lineEdit()) cb->lineEdit()->setModified(false);
        setFieldBytes(w, value, s);
        return 0;
    }
    case CTRL_KIND_COMMAND:
    case CTRL_KIND_TOGGLE:
        return UIE_TypeMismatch;
    default:
        return UIE_TypeMismatch;
    }
}

int SetCtrlVal(int panelHandle, int id, const char *value) {
    return SetCtrlVal(panelHandle, id, std::string(value ? value : ""));
}

int GetCtrlVal(int panelHandle, int id, int *value) { return getIntegral(panelHandle, id, value); }
int GetCtrlVal(int panelHandle, int id, unsigned short *value) { return getIntegral(panelHandle, id, value); }
int GetCtrlVal(int panelHandle, int id, short *value) { return getIntegral(panelHandle, id, value); }

int GetCtrlVal(int panelHandle, int id, double *value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (c->kind == CTRL_KIND_NUMERIC_DOUBLE) {
        if (value) *value = static_cast<QDoubleSpinBox *>(c->widget.data())->value();
        return 0;
    }
    long long v = 0;
    if (!getInt(c, &v)) return UIE_TypeMismatch;
    if (value) *value = static_cast<double>(v);
    return 0;
}

int GetCtrlVal(int panelHandle, int id, std::string *value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    QWidget *w = c->widget;
    std::string s;
    switch (c->kind) {
    case CTRL_KIND_STRING: s = fieldBytes(w, static_cast<QLineEdit *>(w)->text()); break;
    case CTRL_KIND_TEXTMSG: s = static_cast<QLabel *>(w)->text().toStdString(); break;
    case CTRL_KIND_TEXTBOX: s = static_cast<QPlainTextEdit *>(w)->toPlainText().toStdString(); break;
    case CTRL_KIND_COMBO: s = comboFieldBytes(static_cast<QComboBox *>(w)); break;
    default: return UIE_TypeMismatch;
    }
    if (value) *value = std::move(s);
    return 0;
}

int GetCtrlVal(int panelHandle, int id, char *buffer, std::size_t bufferSize) {
    std::string s;
    int rc = GetCtrlVal(panelHandle, id, &s);
    if (rc < 0) return rc;
    if (buffer && bufferSize > 0) {
        std::size_t n = std::min(s.size(), bufferSize - 1);
        std::memcpy(buffer, s.data(), n);
        buffer[n] = '\0';
    }
    return 0;
}

// ---- attributes ----------------------------------------------------------------------------
int SetCtrlAttribute(int panelHandle, int id, int attribute, int value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    QWidget *w = c->widget;
    switch (attribute) {
    case ATTR_VISIBLE: w->setVisible(value != 0); return 0;
    case ATTR_DIMMED: w->setEnabled(value == 0); return 0;
    case ATTR_LEFT: w->move(value, w->y()); return 0;
    case ATTR_TOP: w->move(w->x(), value); return 0;
    case ATTR_WIDTH: w->resize(value, w->height()); return 0;
    case ATTR_HEIGHT: w->resize(w->width(), value); return 0;
    case ATTR_CALLBACK_DATA: return UIE_InvalidAttribute;
    case ATTR_CMD_BUTTON_COLOR:
        if (c->kind != CTRL_KIND_COMMAND && c->kind != CTRL_KIND_TOGGLE) return UIE_InvalidAttribute;
        w->setProperty("rgb_button", value);
        setStyleEntry(w, "bgcss", QString("background-color: %1;").arg(colorName(value)));
        return 0;
    case ATTR_ON_COLOR:
    case ATTR_OFF_COLOR: {
        const QColor colour(colorName(value));
        if (auto *b = qobject_cast<QvLampButton *>(w)) {
            attribute == ATTR_ON_COLOR ? b->setOnColor(colour) : b->setOffColor(colour);
            return 0;
        }
        if (c->kind != CTRL_KIND_LED && c->kind != CTRL_KIND_LAMP) return UIE_InvalidAttribute;
        if (attribute == ATTR_ON_COLOR) static_cast<QvLed *>(w)->setOnColor(colour);
        else static_cast<QvLed *>(w)->setOffColor(colour);
        return 0;
    }
    case ATTR_FIRST_VISIBLE_LINE: {
        if (c->kind != CTRL_KIND_TEXTBOX) return UIE_InvalidAttribute;
        QScrollBar *bar = static_cast<QPlainTextEdit *>(w)->verticalScrollBar();
        bar->setValue(std::clamp(value, 0, bar->maximum()));
        return 0;
    }
    case ATTR_FILL_COLOR:
        if (c->kind != CTRL_KIND_PROGRESS) return UIE_InvalidAttribute;
        w->setProperty("rgb_fill", value);
        styleProgressBar(static_cast<QProgressBar *>(w), value);
        return 0;
    case ATTR_TEXT_BGCOLOR:
        w->setProperty("rgb_textbg", value);
        setStyleEntry(w, "bgcss", QString("background-color: %1;").arg(colorName(value)));
        return 0;
    case ATTR_TEXT_COLOR:
        w->setProperty("rgb_text", value);
        setStyleEntry(w, "fgcss", QString("color: %1;").arg(colorName(value)));
        return 0;
    case ATTR_MAX_VALUE:
    case ATTR_MIN_VALUE: {
        const QSignalBlocker block(w);
        const bool mx = attribute == ATTR_MAX_VALUE;
        if (c->kind == CTRL_KIND_PROGRESS) {
            auto *p = static_cast<QProgressBar *>(w);
            mx ? p->setMaximum(value) : p->setMinimum(value);
        } else if (c->kind == CTRL_KIND_NUMERIC) {
            auto *s = static_cast<QSpinBox *>(w);
            mx ? s->setMaximum(value) : s->setMinimum(value);
        } else if (c->kind == CTRL_KIND_NUMERIC_DOUBLE) {
            auto *s = static_cast<QDoubleSpinBox *>(w);
            mx ? s->setMaximum(value) : s->setMinimum(value);
        } else {
            return UIE_InvalidAttribute;
        }
        return 0;
    }
    case ATTR_MAX_ENTRY_LENGTH:
        if (c->kind != CTRL_KIND_STRING) return UIE_InvalidAttribute;
        static_cast<QLineEdit *>(w)->setMaxLength(value > 0 ? value : 32767);
        return 0;
    case ATTR_CTRL_INDEX: return SetCtrlIndex(panelHandle, id, value);
    case ATTR_TABLE_RUN_STATE_1523:
    case ATTR_TABLE_RUN_STATE_1524: {
        if (c->kind != CTRL_KIND_TABLE) return UIE_InvalidAttribute;
        auto *t = static_cast<QTableWidget *>(w);
        QHeaderView *h = attribute == ATTR_TABLE_RUN_STATE_1523 ? t->verticalHeader() : t->horizontalHeader();
        h->setSectionResizeMode(value ? QHeaderView::Interactive : QHeaderView::Fixed);
        return 0;
    }
    default: {
        const int textRc = textSetCtrlAttribute(c, attribute, value);
        return textRc != UIE_InvalidAttribute ? textRc : graphSetCtrlAttribute(c, attribute, value);
    }
    }
}

int SetCtrlAttribute(int panelHandle, int id, int attribute, double value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if ((attribute == ATTR_MAX_VALUE || attribute == ATTR_MIN_VALUE) && c->kind == CTRL_KIND_NUMERIC_DOUBLE) {
        const QSignalBlocker block(c->widget.data());
        auto *s = static_cast<QDoubleSpinBox *>(c->widget.data());
        attribute == ATTR_MAX_VALUE ? s->setMaximum(value) : s->setMinimum(value);
        return 0;
    }
    if (std::floor(value) != value) return UIE_TypeMismatch;
    return SetCtrlAttribute(panelHandle, id, attribute, static_cast<int>(value));
}

int SetCtrlAttribute(int panelHandle, int id, int attribute, const std::string &value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (attribute == ATTR_TEXT_FONT) return setTextFont(c, value);
    const QString s = QString::fromStdString(value);
    if (attribute == ATTR_XNAME || attribute == ATTR_YNAME) {
        auto *g = qobject_cast<QvGraph *>(c->widget);
        if (!g) return UIE_TypeMismatch;
        if (attribute == ATTR_XNAME) g->setXName(s);
        else g->setYName(s);
        return 0;
    }
    if (attribute != ATTR_LABEL_TEXT) return UIE_InvalidAttribute;
    if (auto *b = qobject_cast<QAbstractButton *>(c->widget)) b->setText(s);
    else if (auto *l = qobject_cast<QLabel *>(c->widget)) {
        l->setText(s);
        followText(l);
    } else c->widget->setToolTip(s);
    return 0;
}

int GetCtrlAttribute(int panelHandle, int id, int attribute, int *value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    QWidget *w = c->widget;
    int v = 0;
    switch (attribute) {
    case ATTR_VISIBLE: v = w->isVisibleTo(w->parentWidget()) ? 1 : 0; break;
    case ATTR_DIMMED: v = w->isEnabled() ? 0 : 1; break;
    case ATTR_LEFT: v = w->x(); break;
    case ATTR_TOP: v = w->y(); break;
    case ATTR_WIDTH: v = w->width(); break;
    case ATTR_HEIGHT: v = w->height(); break;
    case ATTR_CTRL_KIND: v = c->kind; break;
    case ATTR_CMD_BUTTON_COLOR: v = w->property("rgb_button").toInt(); break;
    case ATTR_FILL_COLOR: v = w->property("rgb_fill").toInt(); break;
    case ATTR_FIRST_VISIBLE_LINE:
        if (c->kind != CTRL_KIND_TEXTBOX) return UIE_InvalidAttribute;
        v = static_cast<QPlainTextEdit *>(w)->verticalScrollBar()->value();
        break;
    case ATTR_TEXT_BGCOLOR: v = w->property("rgb_textbg").toInt(); break;
    case ATTR_TEXT_COLOR: v = w->property("rgb_text").toInt(); break;
    case ATTR_ON_COLOR:
    case ATTR_OFF_COLOR: {
        QColor colour;
        if (auto *b = qobject_cast<QvLampButton *>(w)) {
            colour = attribute == ATTR_ON_COLOR ? b->onColor() : b->offColor();
        } else {
            if (c->kind != CTRL_KIND_LED && c->kind != CTRL_KIND_LAMP) return UIE_InvalidAttribute;
            auto *l = static_cast<QvLed *>(w);
            colour = attribute == ATTR_ON_COLOR ? l->onColor() : l->offColor();
        }
        v = static_cast<int>(colour.rgb() & 0xFFFFFF);
        break;
    }
    case ATTR_MAX_VALUE:
    case ATTR_MIN_VALUE: {
        const bool mx = attribute == ATTR_MAX_VALUE;
        if (c->kind == CTRL_KIND_PROGRESS) {
            auto *p = static_cast<QProgressBar *>(w);
            v = mx ? p->maximum() : p->minimum();
        } else if (c->kind == CTRL_KIND_NUMERIC) {
            auto *s = static_cast<QSpinBox *>(w);
            v = mx ? s->maximum() : s->minimum();
        } else {
            return UIE_InvalidAttribute;
        }
        break;
    }
    case ATTR_MAX_ENTRY_LENGTH:
    case ATTR_PASSWORD_MAX_LENGTH:
        if (c->kind != CTRL_KIND_STRING) return UIE_InvalidAttribute;
        v = static_cast<QLineEdit *>(w)->maxLength();
        break;
    case ATTR_PASSWORD_MASK_CHARACTER:
        if (c->kind != CTRL_KIND_STRING) return UIE_InvalidAttribute;
        v = w->property("maskChar").toInt();
        break;
    case ATTR_CTRL_INDEX: return GetCtrlIndex(panelHandle, id, value);
    default: {
        const int textRc = textGetCtrlAttribute(c, attribute, value);
        return textRc != UIE_InvalidAttribute ? textRc : graphGetCtrlAttribute(c, attribute, value);
    }
    }
    if (value) *value = v;
    return 0;
}

int GetCtrlAttribute(int panelHandle, int id, int attribute, double *value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if ((attribute == ATTR_MAX_VALUE || attribute == ATTR_MIN_VALUE) && c->kind == CTRL_KIND_NUMERIC_DOUBLE) {
        auto *s = static_cast<QDoubleSpinBox *>(c->widget.data());
        if (value) *value = attribute == ATTR_MAX_VALUE ? s->maximum() : s->minimum();
        return 0;
    }
    int v = 0;
    rc = GetCtrlAttribute(panelHandle, id, attribute, &v);
    if (rc == 0 && value) *value = v;
    return rc;
}

int GetCtrlAttribute(int panelHandle, int id, int attribute, std::string *value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (attribute == ATTR_TEXT_FONT) {
        if (value) {
            const QVariant name = c->widget->property("fontName");
            *value = name.isValid() ? name.toString().toStdString() : c->widget->font().family().toStdString();
        }
        return 0;
    }
    if (attribute != ATTR_LABEL_TEXT) return UIE_InvalidAttribute;
    QString s;
    if (auto *b = qobject_cast<QAbstractButton *>(c->widget)) s = b->text();
    else if (auto *l = qobject_cast<QLabel *>(c->widget)) s = l->text();
    else s = c->widget->toolTip();
    if (value) *value = s.toStdString();
    return 0;
}

int MakeColor(int red, int green, int blue) {
    return ((red & 0xFF) << 16) | ((green & 0xFF) << 8) | (blue & 0xFF);
}

// ---- rings and lists -------------------------------------------------------------------------
namespace {
QComboBox *ringOf(int panelHandle, int id, int &rc) {
    return widgetOf<QComboBox>(panelHandle, id, rc, {CTRL_KIND_RING, CTRL_KIND_COMBO});
}
} // namespace

int GetNumListItems(int panelHandle, int id, int *count) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    if (count) *count = r->count();
    return 0;
}

int GetIndexFromValue(int panelHandle, int id, int *index, int value) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    int i = ringIndexOfValue(r, value);
    if (i < 0) return UIE_ItemNotFound;
    if (index) *index = i;
    return 0;
}

int GetValueFromIndex(int panelHandle, int id, int index, int *value) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    if (index < 0 || index >= r->count()) return UIE_IndexOutOfRange;
    if (value) *value = r->itemData(index, Qt::UserRole).toInt();
    return 0;
}

int GetLabelFromIndex(int panelHandle, int id, int index, std::string *label) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    if (index < 0 || index >= r->count()) return UIE_IndexOutOfRange;
    if (label) *label = r->itemText(index).toStdString();
    return 0;
}

int GetCtrlIndex(int panelHandle, int id, int *index) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    if (index) *index = r->currentIndex();
    return 0;
}

int SetCtrlIndex(int panelHandle, int id, int index) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    if (index < 0 || index >= r->count()) return UIE_IndexOutOfRange;
    const QSignalBlocker block(r);
    r->setCurrentIndex(index);
    return 0;
}

int InsertListItem(int panelHandle, int id, int index, const std::string &label, int value) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    if (index < 0 || index > r->count()) index = r->count();
    const QSignalBlocker block(r);
    r->insertItem(index, QString::fromStdString(label), value);
    return 0;
}

int DeleteListItem(int panelHandle, int id, int index, int count) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    if (index < 0 || index >= r->count()) return UIE_IndexOutOfRange;
    if (count < 0 || index + count > r->count()) count = r->count() - index;
    const QSignalBlocker block(r);
    for (int i = 0; i < count; ++i) r->removeItem(index);
    return 0;
}

int ClearListCtrl(int panelHandle, int id) {
    int rc;
    QComboBox *r = ringOf(panelHandle, id, rc);
    if (!r) return rc;
    const QSignalBlocker block(r);
    r->clear();
    return 0;
}

// ---- text boxes ------------------------------------------------------------------------------
namespace {
QPlainTextEdit *textBoxOf(int panelHandle, int id, int &rc) {
    return widgetOf<QPlainTextEdit>(panelHandle, id, rc, {CTRL_KIND_TEXTBOX});
}
} // namespace

int ResetTextBox(int panelHandle, int id, const std::string &text) {
    int rc;
    QPlainTextEdit *t = textBoxOf(panelHandle, id, rc);
    if (!t) return rc;
    const QSignalBlocker block(t);
    t->setPlainText(QString::fromStdString(text));
    return 0;
}

int GetNumTextBoxLines(int panelHandle, int id, int *lines) {
    int rc;
    QPlainTextEdit *t = textBoxOf(panelHandle, id, rc);
    if (!t) return rc;
    if (lines) *lines = t->document()->isEmpty() ? 0 : t->document()->blockCount();
    return 0;
}

int GetTextBoxLine(int panelHandle, int id, int line, std::string *text) {
    int rc;
    QPlainTextEdit *t = textBoxOf(panelHandle, id, rc);
    if (!t) return rc;
    if (t->document()->isEmpty() || line < 0 || line >= t->document()->blockCount()) return UIE_IndexOutOfRange;
    if (text) *text = t->document()->findBlockByNumber(line).text().toStdString();
    return 0;
}

// ---- tables ------------------------------------------------------------------------------------
namespace {
QTableWidget *tableOf(int panelHandle, int id, int &rc) {
    return widgetOf<QTableWidget>(panelHandle, id, rc, {CTRL_KIND_TABLE});
}

// The table holding cell (row, column), counted from 1; null with rc saying why.
QTableWidget *tableOfCell(int panelHandle, int id, int row, int column, int &rc) {
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (t && (row < 1 || column < 1 || row > t->rowCount() || column > t->columnCount())) {
        rc = UIE_IndexOutOfRange;
        return nullptr;
    }
    return t;
}

// The item of a cell, made when the cell has none.
QTableWidgetItem *cellItem(QTableWidget *t, int row, int column) {
    QTableWidgetItem *item = t->item(row - 1, column - 1);
    if (!item) t->setItem(row - 1, column - 1, item = new QTableWidgetItem);
    return item;
}
} // namespace

int GetNumTableRows(int panelHandle, int id, int *rows) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (rows) *rows = t->rowCount();
    return 0;
}

int GetNumTableColumns(int panelHandle, int id, int *columns) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (columns) *columns = t->columnCount();
    return 0;
}

int SetTableCellVal(int panelHandle, int id, int row, int column, const std::string &value) {
    int rc;
    QTableWidget *t = tableOfCell(panelHandle, id, row, column, rc);
    if (!t) return rc;
    const QSignalBlocker block(t);
    QTableWidgetItem *item = cellItem(t, row, column);
    item->setText(QString::fromStdString(value));
    return 0;
}

int GetTableCellVal(int panelHandle, int id, int row, int column, std::string *value) {
    int rc;
    QTableWidget *t = tableOfCell(panelHandle, id, row, column, rc);
    if (!t) return rc;
    QTableWidgetItem *item = t->item(row - 1, column - 1);
    if (value) *value = item ? item->text().toStdString() : std::string();
    return 0;
}

int GetActiveTableCell(int panelHandle, int id, int *row, int *column) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (row) *row = t->currentRow() + 1;
    if (column) *column = t->currentColumn() + 1;
    return 0;
}

int SetActiveTableCell(int panelHandle, int id, int row, int column) {
    int rc;
    QTableWidget *t = tableOfCell(panelHandle, id, row, column, rc);
    if (!t) return rc;
    const QSignalBlocker block(t);
    t->setCurrentCell(row - 1, column - 1, QItemSelectionModel::NoUpdate);
    return 0;
}

int InsertTableRows(int panelHandle, int id, int index, int count) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (index < 1 || index > t->rowCount() + 1 || count < 0) return UIE_IndexOutOfRange;
    const QSignalBlocker block(t);
    for (int i = 0; i < count; ++i) t->insertRow(index - 1);
    return 0;
}

int DeleteTableRows(int panelHandle, int id, int index, int count) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (count == -1) count = t->rowCount() - index + 1;
    if (index < 1 || count < 0 || index - 1 + count > t->rowCount()) return UIE_IndexOutOfRange;
    const QSignalBlocker block(t);
    for (int i = 0; i < count; ++i) t->removeRow(index - 1);
    return 0;
}

int SetTableCellCheck(int panelHandle, int id, int row, int column, int checked) {
    int rc;
    QTableWidget *t = tableOfCell(panelHandle, id, row, column, rc);
    if (!t) return rc;
    const QSignalBlocker block(t);
    QTableWidgetItem *item = cellItem(t, row, column);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return 0;
}

int GetTableCellCheck(int panelHandle, int id, int row, int column, int *checked) {
    int rc;
    QTableWidget *t = tableOfCell(panelHandle, id, row, column, rc);
    if (!t) return rc;
    QTableWidgetItem *item = t->item(row - 1, column - 1);
    if (!item || !(item->flags() & Qt::ItemIsUserCheckable)) return UIE_TypeMismatch;
    if (checked) *checked = item->checkState() == Qt::Checked ? 1 : 0;
    return 0;
}

int SetTableColumnWidth(int panelHandle, int id, int column, int width) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (column < 1 || column > t->columnCount()) return UIE_IndexOutOfRange;
    if (width < 0) return UIE_InvalidArgument;
    t->setColumnWidth(column - 1, width);
    return 0;
}

int FitTableColumnWidths(int panelHandle, int id) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    t->resizeColumnsToContents();
    return 0;
}

int GetTableColumnWidth(int panelHandle, int id, int column, int *width) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (column < 1 || column > t->columnCount()) return UIE_IndexOutOfRange;
    if (width) *width = t->columnWidth(column - 1);
    return 0;
}

Rect MakeRect(int top, int left, int height, int width) { return Rect{top, left, height, width}; }

int RectEqual(Rect a, Rect b) {
    return a.top == b.top && a.left == b.left && a.height == b.height && a.width == b.width ? 1 : 0;
}

int GetTableSelection(int panelHandle, int id, Rect *selection) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    Rect r{0, 0, 0, 0};
    const QList<QTableWidgetSelectionRange> ranges = t->selectedRanges();
    if (!ranges.isEmpty()) {
        int top = ranges[0].topRow(), bottom = ranges[0].bottomRow();
        int left = ranges[0].leftColumn(), right = ranges[0].rightColumn();
        for (const auto &g : ranges) {
            top = std::min(top, g.topRow());
            bottom = std::max(bottom, g.bottomRow());
            left = std::min(left, g.leftColumn());
            right = std::max(right, g.rightColumn());
        }
        r = Rect{top + 1, left + 1, bottom - top + 1, right - left + 1};
    }
    if (selection) *selection = r;
    return 0;
}

int SetTableSelection(int panelHandle, int id, Rect selection) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    const QSignalBlocker block(t);
    t->clearSelection();
    if (selection.height <= 0 || selection.width <= 0) return 0;
    const int top = std::max(selection.top, 1) - 1, left = std::max(selection.left, 1) - 1;
    const int bottom = std::min(top + selection.height, t->rowCount()) - 1;
    const int right = std::min(left + selection.width, t->columnCount()) - 1;
    if (bottom < top || right < left) return UIE_IndexOutOfRange;
    t->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    return 0;
}

int HideBuiltInCtrlMenuItem(int panelHandle, int id, int menuItemId) {
    int rc;
    QTableWidget *t = tableOf(panelHandle, id, rc);
    if (!t) return rc;
    if (menuItemId > -2 || menuItemId < -4) return UIE_InvalidAttribute;
    // The table offers no insert, delete or sort entries of its own; keep it
    // that way and make sure the operator cannot sort it by its header.
    t->setContextMenuPolicy(Qt::NoContextMenu);
    t->setSortingEnabled(false);
    return 0;
}

// ---- combo box with history -----------------------------------------------------------------------
namespace {
QComboBox *comboOf(int panelHandle, int id, int &rc) {
    return widgetOf<QComboBox>(panelHandle, id, rc, {CTRL_KIND_COMBO});
}

// List operations keep the text the operator sees in the field.
template <typename F> int keepingText(QComboBox *c, F op) {
    const QSignalBlocker block(c);
    const QString text = c->currentText();
    int rc = op();
    c->setEditText(text);
    return rc;
}
} // namespace

int Combo_NewComboBox(int panelHandle, int id) {
    int rc;
    QComboBox *c = comboOf(panelHandle, id, rc);
    if (!c) return rc;
    c->setInsertPolicy(QComboBox::NoInsert);
    return 0;
}

int Combo_InsertComboItem(int panelHandle, int id, int index, const std::string &text) {
    int rc;
    QComboBox *c = comboOf(panelHandle, id, rc);
    if (!c) return rc;
    return keepingText(c, [&] {
        int i = (index < 0 || index > c->count()) ? c->count() : index;
        c->insertItem(i, textOfBytes(text));
        if (!isUtf8(text)) c->setItemData(i, QByteArray::fromStdString(text), kRawBytesRole);
        return 0;
    });
}

int Combo_DeleteComboItem(int panelHandle, int id, int index, int count) {
    int rc;
    QComboBox *c = comboOf(panelHandle, id, rc);
    if (!c) return rc;
    if (index < 0 || index >= c->count()) return UIE_IndexOutOfRange;
    return keepingText(c, [&] {
        int n = (count < 0 || index + count > c->count()) ? c->count() - index : count;
        for (int i = 0; i < n; ++i) c->removeItem(index);
        return 0;
    });
}

int Combo_GetIndex(int panelHandle, int id, const std::string &text, int *index) {
    int rc;
    QComboBox *c = comboOf(panelHandle, id, rc);
    if (!c) return rc;
    if (!index) return 0;
    *index = -1;
    for (int i = 0; i < c->count() && *index < 0; ++i)
        if (itemBytes(c, i) == text) *index = i;
    return 0;
}

int Combo_GetNumItems(int panelHandle, int id, int *count) {
    int rc;
    QComboBox *c = comboOf(panelHandle, id, rc);
    if (!c) return rc;
    if (count) *count = c->count();
    return 0;
}

int Combo_GetItem(int panelHandle, int id, int index, std::string *text) {
    int rc;
    QComboBox *c = comboOf(panelHandle, id, rc);
    if (!c) return rc;
    if (index < 0 || index >= c->count()) return UIE_IndexOutOfRange;
    if (text) *text = itemBytes(c, index);
    return 0;
}

// ---- password fields ---------------------------------------------------------------------------------
int PasswordCtrl_ConvertFromString(int panelHandle, int id) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (c->kind != CTRL_KIND_STRING) return UIE_TypeMismatch;
    static_cast<QLineEdit *>(c->widget.data())->setEchoMode(QLineEdit::Password);
    return 0;
}

int PasswordCtrl_SetAttribute(int panelHandle, int id, int attribute, int value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (c->kind != CTRL_KIND_STRING) return UIE_TypeMismatch;
    auto *le = static_cast<QLineEdit *>(c->widget.data());
    switch (attribute) {
    case ATTR_PASSWORD_MASK_CHARACTER:
        if (value <= 0) return UIE_InvalidAttribute;
        le->setProperty("maskChar", value);
        setStyleEntry(le, "maskcss", QString("lineedit-password-character: %1;").arg(value));
        return 0;
    case ATTR_PASSWORD_MAX_LENGTH:
        le->setMaxLength(value > 0 ? value : 32767);
        return 0;
    default:
        return UIE_InvalidAttribute;
    }
}

namespace {
// The line edit behind a password field; a plain string control is not one.
QLineEdit *passwordOf(int panelHandle, int id, int &rc) {
    auto *le = widgetOf<QLineEdit>(panelHandle, id, rc, {CTRL_KIND_STRING});
    if (le && le->echoMode() != QLineEdit::Password) {
        rc = UIE_TypeMismatch;
        return nullptr;
    }
    return le;
}
} // namespace

int PasswordCtrl_GetAttribute(int panelHandle, int id, int attribute, int *value) {
    int rc;
    QLineEdit *le = passwordOf(panelHandle, id, rc);
    if (!le) return rc;
    int v = 0;
    switch (attribute) {
    case ATTR_PASSWORD_MASK_CHARACTER: v = le->property("maskChar").toInt(); break;
    case ATTR_PASSWORD_MAX_LENGTH: v = le->maxLength(); break;
    default: return UIE_InvalidAttribute;
    }
    if (value) *value = v;
    return 0;
}

int PasswordCtrl_GetAttribute(int panelHandle, int id, int attribute, std::string *value) {
    int rc;
    QLineEdit *le = passwordOf(panelHandle, id, rc);
    if (!le) return rc;
    if (attribute != ATTR_PASSWORD_VAL) return UIE_InvalidAttribute;
    if (value) *value = le->text().toStdString();
    return 0;
}

// ---- operator actions ----------------------------------------------------------------------------------
int OperateCtrlEvent(int panelHandle, int id, int event) {
    int rc;
    if (!lookup(panelHandle, id, rc)) return rc;
    return dispatch(panelHandle, id, event);
}

int OperateCtrl(int panelHandle, int id) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (!c->widget->isEnabled()) return 0;
    if (c->kind == CTRL_KIND_TOGGLE || c->kind == CTRL_KIND_CHECKBOX) {
        auto *b = static_cast<QAbstractButton *>(c->widget.data());
        const QSignalBlocker block(b);
        b->setChecked(!b->isChecked());
    } else if (c->kind == CTRL_KIND_RADIO) {
        const QSignalBlocker block(c->widget.data());
        static_cast<QAbstractButton *>(c->widget.data())->setChecked(true);
    }
    return dispatch(panelHandle, id, EVENT_COMMIT);
}

namespace {
// Sets a value as the operator would, then commits it.
template <typename T> int operateWith(int panelHandle, int id, const T &value) {
    int rc;
    ControlRec *c = lookup(panelHandle, id, rc);
    if (!c) return rc;
    if (!c->widget->isEnabled()) return 0;
    rc = SetCtrlVal(panelHandle, id, value);
    return rc < 0 ? rc : dispatch(panelHandle, id, EVENT_COMMIT);
}
} // namespace

int OperateCtrl(int panelHandle, int id, int value) { return operateWith(panelHandle, id, value); }
int OperateCtrl(int panelHandle, int id, double value) { return operateWith(panelHandle, id, value); }
int OperateCtrl(int panelHandle, int id, const std::string &value) { return operateWith(panelHandle, id, value); }
