#include "core/jsontext.h"

#include <QString>
#include <QStringDecoder>

#include <cstdio>

std::string JsonString(const std::string &text) {
    // Qt's decoder turns every byte of an invalid sequence into U+FFFD.
    const QByteArray utf8 = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
    std::string out = "\"";
    out.reserve(static_cast<std::size_t>(utf8.size()) + 2);
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool IsUtf8(const std::string &text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded = decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return !decoder.hasError();
}
