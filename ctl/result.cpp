#include "ctl/result.h"

#include "ctl/ctl.h"

#include <QList>
#include <QString>

#include <cstdio>

namespace ctl {

namespace {

// A JSON string: quotes, backslashes and control characters escaped; bytes
// that are not UTF-8 become U+FFFD, so a line never breaks a parser.
std::string quoted(const std::string &text) {
    const QList<uint> chars = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUcs4();
    std::string out = "\"";
    for (const uint u : chars) {
        if (u == '"' || u == '\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u == '\n') {
            out += "\\n";
        } else if (u == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            const char32_t c = u;
            out += QString::fromUcs4(&c, 1).toStdString();
        }
    }
    return out + "\"";
}

std::string quotedOrNull(const std::string &text) { return text.empty() ? "null" : quoted(text); }

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

std::string ToJsonLine(const JobResult &r) {
    std::string fields, files;
    for (const ResultField &f : r.fields)
        fields += std::string(fields.empty() ? "" : ",") + "{\"section\":" + quoted(f.section) +
                  ",\"key\":" + quoted(f.key) + ",\"controller\":" + quoted(f.controller) +
                  ",\"file\":" + quoted(f.file) + "}";
    for (const std::string &f : r.files) files += std::string(files.empty() ? "" : ",") + quoted(f);
    // Seconds with a point under every locale.
    const std::string seconds = QString::number(r.seconds, 'f', 3).toStdString();
    return "{\"name\":" + quoted(r.name) + ",\"link\":" + quoted(r.link) + ",\"command\":" + quoted(r.command) +
           ",\"status\":" + quoted(r.status) + ",\"exit\":" + std::to_string(r.exit) +
           ",\"reason\":" + quotedOrNull(r.reason) + ",\"fields\":[" + fields + "]" +
           ",\"version\":" + quotedOrNull(r.version) + ",\"files\":[" + files + "],\"seconds\":" + seconds + "}";
}

} // namespace ctl
