#include "sim/eeprom.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cctype>
#include <cstdio>

namespace sim {

namespace {

// For messages: the start of a token, anything unprintable as '?'.
std::string shown(const std::string &token) {
    std::string out = "'";
    for (std::size_t i = 0; i < token.size() && i < 16; ++i)
        out += std::isprint(static_cast<unsigned char>(token[i])) ? token[i] : '?';
    return out + (token.size() > 16 ? "...'" : "'");
}

} // namespace

std::string formatEepromImage(const ParamRecord &record) {
    std::string text = "# qvex-sim EEPROM: 192 words, one parameter set a line, hex\n";
    char word[8];
    for (int i = 0; i < kParamWords; ++i) {
        std::snprintf(word, sizeof word, "%04x", unsigned(record[std::size_t(i)]));
        text += word;
        text += (i % kSetWords == kSetWords - 1) ? '\n' : ' ';
    }
    return text;
}

bool parseEepromImage(const std::string &text, ParamRecord &record, std::string &problem) {
    ParamRecord parsed{};
    int count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
            continue;
        }
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '#')
            ++i;
        const std::string token = text.substr(start, i - start);
        unsigned value = 0;
        for (char h : token) {
            if (!std::isxdigit(static_cast<unsigned char>(h))) {
                problem = shown(token) + " is not a hex word";
                return false;
            }
            value = value * 16 + unsigned(std::isdigit(static_cast<unsigned char>(h))
                                              ? h - '0'
                                              : std::tolower(static_cast<unsigned char>(h)) - 'a' + 10);
        }
        if (token.size() > 4) {
            problem = shown(token) + " is more than 4 hex digits";
            return false;
        }
        if (count == kParamWords) {
            problem = "more than 192 words";
            return false;
        }
        parsed[std::size_t(count++)] = uint16_t(value);
    }
    if (count < kParamWords) {
        problem = std::to_string(count) + " words instead of 192";
        return false;
    }
    record = parsed;
    return true;
}

EepromLoad loadEepromFile(const QString &path, ParamRecord &record, std::string &problem) {
    const QFileInfo info(path);
    if (!info.exists()) return EepromLoad::Missing;
    if (!info.isFile()) { // a FIFO would hold the simulator until someone writes to it
        problem = "not a regular file";
        return EepromLoad::Damaged;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString().toStdString();
        return EepromLoad::Damaged;
    }
    // A real image is about 1 kB; do not read a huge file whole.
    const QByteArray bytes = file.read(64 * 1024);
    if (!file.atEnd()) {
        problem = "far too long for an EEPROM image";
        return EepromLoad::Damaged;
    }
    return parseEepromImage(bytes.toStdString(), record, problem) ? EepromLoad::Loaded : EepromLoad::Damaged;
}

bool saveEepromFile(const QString &path, const ParamRecord &record, std::string &problem) {
    QSaveFile file(path);
    const std::string text = formatEepromImage(record);
    // Unbuffered, so a write the file system cuts short (a full disk, the
    // file-size limit) shows in write()'s count and is never committed: a
    // buffered flush takes a short write for success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        problem = file.errorString().toStdString();
        return false;
    }
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        problem = "the image was written only in part (disk full or file-size limit)";
        return false; // the temporary file goes with `file`, the old image stays
    }
    if (!file.commit()) {
        problem = file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace sim
