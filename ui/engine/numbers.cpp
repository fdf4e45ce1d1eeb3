// The one place that decides how reals look in the program's files, status
// texts, stdout and command lines, and in its numeric controls.
//
// Qt's application object takes the operator's locale from the environment
// at start-up, and on a German desktop the C library's number formatting
// and reading would then use a decimal comma: record files with split
// columns, parameter files another locale cannot read, command lines that
// refuse "0.5". Two guards keep numbers locale-free:
//  - UseLocaleFreeNumbers() sets LC_NUMERIC back to "C" right after the
//    application object is made (InitCVIRTE);
//  - the formatters and the parser below use std::to_chars/from_chars,
//    which never look at the locale, so they stay right even when something
//    sets the locale again later (a plug-in, a file dialog, a library).
// Numeric controls take the "C" locale (takeNumbersWithAPoint), so a panel
// shows and takes what the files hold.
#include "ui/engine/numbers.h"

#include "ui/engine/engine_p.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLocale>

#include <charconv>
#include <clocale>
#include <system_error>

void UseLocaleFreeNumbers() { std::setlocale(LC_NUMERIC, "C"); }

namespace {

std::string formatted(double value, std::chars_format how, int precision) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, how, precision);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::string FormatFixed(double value, int decimals) {
    // The buffer holds the largest double with up to 60 decimals.
    return formatted(value, std::chars_format::fixed, decimals < 0 ? 0 : decimals > 60 ? 60 : decimals);
}

std::string FormatShort(double value) { return formatted(value, std::chars_format::general, 6); }

bool ParseDecimal(std::string_view text, double *value) {
    std::size_t i = 0;
    const bool plus = i < text.size() && text[i] == '+';
    if (plus || (i < text.size() && text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponent = 0;
        while (i < text.size() && isDigit(text[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    if (i != text.size()) return false;
    // from_chars takes a "-" but no "+".
    const char *begin = text.data() + (plus ? 1 : 0);
    const char *end = text.data() + text.size();
    double v = 0;
    const auto r = std::from_chars(begin, end, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != end) return false;
    *value = v;
    return true;
}

namespace engine {

namespace {

// A comma typed into a real-valued control. The keypad's decimal key gives
// one on a German keyboard, and the control would drop it as a group
// separator (2,5 taken as 25): it is taken as the decimal point.
class CommaKeys : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *e) override {
        if (e->type() != QEvent::KeyPress) return false;
        auto *key = static_cast<QKeyEvent *>(e);
        if (key->text() != QLatin1String(",")) return false;
        QKeyEvent point(QEvent::KeyPress, Qt::Key_Period, key->modifiers(), QStringLiteral("."));
        QCoreApplication::sendEvent(watched, &point);
        return true;
    }
};

} // namespace

void takeNumbersWithAPoint(QWidget *numeric) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    numeric->setLocale(c);
    if (qobject_cast<QDoubleSpinBox *>(numeric)) numeric->installEventFilter(new CommaKeys(numeric));
}

} // namespace engine
