// qvex-ctl journal: the parameter journal's entries listed, one shown (its
// changed fields, or its record as a parameter file) and its chain checked.
// It needs no controller; the panels are loaded, since a record is shown and
// written as the panels name its fields.
#include "ctl/jobs.h"

#include "core/panels.h"
#include "core/program.h"
#include "journal/journal.h"
#include "journal/store.h"
#include "params/compare.h"
#include "params/record.h"
#include "params/binding.h"
#include "params/transfer.h"
#include "ui/panels/main_ids.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ctl {

namespace {

int usage(const std::string &text) {
    std::fprintf(stderr, "qvex-ctl: journal: %s (qvex-ctl journal --help tells more)\n", text.c_str());
    return EXIT_USAGE;
}

// A date or date and time in local time, as UTC text of the journal's form.
bool sinceText(const std::string &date, std::string *utc) {
    const QString text = QString::fromStdString(date);
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) t = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0));
    if (!t.isValid()) return false;
    if (t.timeSpec() == Qt::LocalTime) t.setTimeZone(QTimeZone::systemTimeZone());
    *utc = t.toUTC().toString(Qt::ISODateWithMs).toStdString();
    return true;
}

std::string localTime(const std::string &utc) {
    const QDateTime t = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODateWithMs);
    return t.isValid() ? t.toLocalTime().toString("yyyy-MM-dd HH:mm:ss").toStdString() : utc;
}

std::string outcomeText(const JournalEntry &e) {
    return e.outcome + (e.reason.empty() ? "" : ": " + Printable(e.reason));
}

QJsonObject jsonOf(const JournalEntry &e) {
    auto text = [](const std::string &s) { return QString::fromUtf8(s.data(), int(s.size())); };
    QJsonObject o;
    o["id"] = static_cast<qint64>(e.id);
    o["time"] = text(e.time);
    o["user"] = text(e.user);
    o["host"] = text(e.host);
    o["program"] = text(e.program);
    o["link"] = text(e.link);
    o["version"] = text(e.version);
    o["controller"] = text(JournalControllerText(e));
    o["kind"] = text(e.kind);
    o["memory"] = text(e.memory);
    o["outcome"] = text(e.outcome);
    o["reason"] = text(e.reason);
    if (!e.file.empty()) {
        o["file"] = text(e.file);
        o["file_sha256"] = text(e.fileSha256);
    }
    o["hash"] = text(e.hash);
    return o;
}

int list(JournalStore &store, const Args &args, bool json) {
    CommandArgs a(args, {"--controller", "--since"});
    if (!a.error().empty() || !a.words().empty()) return usage(a.error().empty() ? "list takes no words" : a.error());
    JournalFilter filter;
    filter.controller = a.value("--controller");
    if (a.has("--since") && !sinceText(a.value("--since"), &filter.since))
        return usage("--since takes a date (2026-12-08) or a date and time (2026-12-08T14:30)");
    filter.withRecords = json; // the JSON carries the program, the file's hash and the entry's
    std::string error;
    const std::vector<JournalEntry> entries = store.list(filter, &error);
    if (!error.empty()) return usage("cannot read the journal: " + error);
    if (json) {
        QJsonArray array;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) array.append(jsonOf(*it));
        std::printf("%s\n", QJsonDocument(QJsonObject{{"entries", array}}).toJson(QJsonDocument::Compact).constData());
        return EXIT_DONE;
    }
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        std::printf("%lld  %s  %s@%s  %s  %s %s  %s\n", static_cast<long long>(it->id), localTime(it->time).c_str(),
                    Printable(it->user).c_str(), Printable(it->host).c_str(),
                    Printable(JournalControllerText(*it)).c_str(), it->kind.c_str(), it->memory.c_str(),
                    outcomeText(*it).c_str());
    return EXIT_DONE;
}

// The entry's record goes onto the panels and out as GET to the parameter
// file writes it.
int writeRecord(Session &s, const JournalEntry &e, const std::string &out) {
    if (e.record.size() != PARAM_WORDS) return usage("entry " + std::to_string(e.id) + " holds no parameter record");
    if (const std::string problem = TargetProblem(out); !problem.empty()) return usage(problem);
    std::copy(e.record.begin(), e.record.end(), param);
    SetPanelValues(param);
    s.operate(panelMAIN, MAIN_RADIO_FILE);
    s.popups.files.push_back(out);
    if (!s.click(panelMAIN, MAIN_BTN_SEND, SendPanels).done()) return usage("cannot write " + out);
    return EXIT_DONE;
}

int show(Session &s, JournalStore &store, const Args &args) {
    CommandArgs a(args, {"--out"});
    char *end = nullptr;
    const long long id = a.words().size() == 1 ? std::strtoll(a.words()[0].c_str(), &end, 10) : 0;
    if (!a.error().empty() || a.words().size() != 1 || !end || *end || id <= 0)
        return usage(a.error().empty() ? "show needs an entry's number" : a.error());
    JournalEntry e;
    std::string error;
    if (!store.entry(id, &e, &error)) return usage(error);
    if (a.has("--out")) return writeRecord(s, e, a.value("--out"));
    std::printf("entry       %lld\n", id);
    std::printf("time        %s (UTC %s)\n", localTime(e.time).c_str(), e.time.c_str());
    std::printf("by          %s@%s, %s\n", Printable(e.user).c_str(), Printable(e.host).c_str(),
                Printable(e.program).c_str());
    std::printf("controller  %s\n", Printable(JournalControllerText(e)).c_str());
    std::printf("what        %s %s\n", e.kind.c_str(), e.memory.c_str());
    std::printf("outcome     %s\n", outcomeText(e).c_str());
    if (!e.file.empty()) std::printf("file        %s (SHA-256 %s)\n", Printable(e.file).c_str(), e.fileSha256.c_str());
    if (e.record.size() == PARAM_WORDS) {
        if (!e.beforeKnown || e.before.size() != PARAM_WORDS) {
            std::printf("changed     no earlier record of this controller's memory is known\n");
        } else {
            const std::vector<FieldDifference> diffs = CompareRecords(e.before.data(), e.record.data());
            std::printf("changed     %zu fields\n", diffs.size());
            for (const FieldDifference &d : diffs)
                std::printf("  %s / %s / %s / %s\n", d.section.c_str(), d.key.c_str(), d.left.c_str(), d.right.c_str());
        }
    }
    return EXIT_DONE;
}

int verify(JournalStore &store) {
    std::string error;
    const JournalCheck check = store.verify(&error);
    if (!error.empty()) return usage("cannot read the journal: " + error);
    if (!check.sound) {
        std::printf("entry %lld does not fit: %s\n", static_cast<long long>(check.firstBad), check.why.c_str());
        return EXIT_LINK_FAILED;
    }
    std::printf("sound: %lld entries\n", static_cast<long long>(check.entries));
    return EXIT_DONE;
}

} // namespace

int JobJournal(const Args &given) {
    Args args;
    bool json = false;
    for (const std::string &w : given)
        if (w == "--json") json = true;
        else args.push_back(w);
    if (args.empty()) return usage("say list, show or verify");
    static Options options;
    options.quiet = true;
    Session session(options);
    static char name[] = "qvex-ctl";
    static char *argv[] = {name, nullptr};
    if (!session.start(1, argv)) return EXIT_USAGE;
    const JournalSettings settings = JournalSettingsFrom(appliniPath);
    JournalStore store;
    std::string error;
    if (!store.open(settings.url, settings.password, &error)) return usage("cannot open the journal: " + error);
    const std::string what = args[0];
    const Args rest(args.begin() + 1, args.end());
    if (what == "list") return list(store, rest, json);
    if (what == "show") return show(session, store, rest);
    if (what == "verify" && rest.empty()) return verify(store);
    return usage("say list, show or verify");
}

} // namespace ctl
