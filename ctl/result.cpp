#include "ctl/result.h"

#include "ctl/ctl.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cmath>

namespace ctl {

namespace {

QJsonValue textOrNull(const std::string &text) {
    return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(JsonText(text));
}

} // namespace

JobResult &Result() {
    static JobResult result;
    return result;
}

void SettleStatus(JobResult *r) {
    if (!r->status.empty() && r->exit == EXIT_DONE) return;
    if (r->exit == EXIT_DONE) r->status = "ok";
    else if (r->exit == EXIT_DIFFERENT) r->status = "differs";
    else r->status = "failed";
}

QString JsonText(const std::string &text) {
    // Qt's decoder makes every byte of an invalid sequence U+FFFD.
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string PercentEncoded(const std::string &bytes) {
    // '/' stays, so that a path reads as one; the rest of what is not
    // printable ASCII, and '%' itself, becomes %XX.
    return QByteArray::fromStdString(bytes).toPercentEncoding("/!$&'()*+,;=:@[]{}<>\"#^`|\\?").toStdString();
}

std::string ToJsonLine(const JobResult &r) {
    QJsonArray fields, files, filesBytes;
    for (const ResultField &f : r.fields)
        fields.append(QJsonObject{{"section", JsonText(f.section)},
                                  {"key", JsonText(f.key)},
                                  {"controller", JsonText(f.controller)},
                                  {"file", JsonText(f.file)}});
    for (const std::string &f : r.files) {
        files.append(JsonText(f));
        filesBytes.append(QString::fromStdString(PercentEncoded(f)));
    }
    QJsonArray warnings;
    for (const std::string &w : r.warnings) warnings.append(JsonText(w));
    const QJsonObject o{
        {"name", JsonText(r.name)},
        {"link", JsonText(r.link)},
        {"command", JsonText(r.command)},
        {"status", JsonText(r.status)},
        {"exit", r.exit},
        {"reason", textOrNull(r.reason)},
        {"fields", fields},
        {"version", textOrNull(r.version)},
        {"files", files},
        {"files_bytes", filesBytes},
        {"warnings", warnings},
        // To the millisecond, as the clock gives it.
        {"seconds", std::round(r.seconds * 1000.0) / 1000.0},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace ctl
