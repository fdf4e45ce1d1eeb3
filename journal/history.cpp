#include "journal/history.h"

#include "core/owner.h"
#include "core/panels.h"
#include "core/status.h"
#include "journal/journal.h"
#include "journal/store.h"
#include "params/binding.h"
#include "params/compare.h"
#include "params/record.h"
#include "ui/engine/engine.h"
#include "ui/panels/history_ids.h"
#include "ui/panels/main_ids.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A table of a hundred thousand rows would take seconds to fill: the newest
// entries are listed, and the message says how many more the filters let
// through.
constexpr std::size_t kListedAtMost = 2000;

// The entries listed, newest first (without their records).
std::vector<JournalEntry> g_listed;

Outcome said(OutcomeKind kind, const std::string &text) {
    SetCtrlVal(panelHISTORY, HISTORY_MESSAGE, text);
    return {kind, text};
}

bool openStore(JournalStore *store, std::string *error) {
    return store->open(JournalReadUrl(), JournalReadPassword(), error);
}

std::string localTime(const std::string &utc) {
    const QDateTime t = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODateWithMs);
    return t.isValid() ? t.toLocalTime().toString("yyyy-MM-dd HH:mm:ss").toStdString() : utc;
}

// The day typed into the filter (local time) as the journal's UTC text.
bool sinceFilter(std::string *since) {
    std::string text;
    GetCtrlVal(panelHISTORY, HISTORY_SINCE, &text);
    if (text.empty()) return true;
    const QDate day = QDate::fromString(QString::fromStdString(text), Qt::ISODate);
    if (!day.isValid()) return false;
    *since = QDateTime(day, QTime(0, 0), QTimeZone::systemTimeZone()).toUTC().toString(Qt::ISODateWithMs).toStdString();
    return true;
}

// The entry chosen in the table, with its records; false (and said why) when
// none is chosen or it cannot be read.
bool chosenEntry(JournalEntry *e, Outcome *why) {
    int row = 0, column = 0;
    GetActiveTableCell(panelHISTORY, HISTORY_TABLE, &row, &column);
    if (row < 1 || static_cast<std::size_t>(row) > g_listed.size()) {
        *why = said(OutcomeKind::Refused, "Choose an entry in the list first.");
        return false;
    }
    JournalStore store;
    std::string error;
    if (!openStore(&store, &error) || !store.entry(g_listed[std::size_t(row - 1)].id, e, &error)) {
        *why = said(OutcomeKind::Failed, "The journal cannot be read: " + error);
        return false;
    }
    return true;
}

bool holdsRecord(const JournalEntry &e, Outcome *why) {
    if (e.record.size() == PARAM_WORDS) return true;
    *why = said(OutcomeKind::Rejected, e.memory == "firmware"
                                           ? "Entry " + std::to_string(e.id) + " is a firmware download (" + e.file +
                                                 ", SHA-256 " + e.fileSha256 + "); it holds no parameter record."
                                           : "Entry " + std::to_string(e.id) + " holds no parameter record.");
    return false;
}

Outcome showFields(const std::vector<FieldDifference> &fields, const std::string &title) {
    DeleteTableRows(panelHISTORY, HISTORY_FIELDS, 1, -1);
    InsertTableRows(panelHISTORY, HISTORY_FIELDS, 1, static_cast<int>(fields.size()));
    int row = 1;
    for (const FieldDifference &f : fields) {
        SetTableCellVal(panelHISTORY, HISTORY_FIELDS, row, 1, f.section);
        SetTableCellVal(panelHISTORY, HISTORY_FIELDS, row, 2, f.key);
        SetTableCellVal(panelHISTORY, HISTORY_FIELDS, row, 3, f.left);
        SetTableCellVal(panelHISTORY, HISTORY_FIELDS, row, 4, f.right);
        ++row;
    }
    SetCtrlVal(panelHISTORY, HISTORY_FIELDS_TITLE, title);
    Outcome done = Outcome::Done(title);
    done.count = static_cast<int>(fields.size());
    return done;
}

std::string count(std::size_t n, const char *what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

Outcome showChanges() {
    JournalEntry e;
    Outcome why;
    if (!chosenEntry(&e, &why) || !holdsRecord(e, &why)) return why;
    if (!e.beforeKnown || e.before.size() != PARAM_WORDS)
        return showFields({}, "Entry " + std::to_string(e.id) +
                                  ": no earlier record of this controller's memory is known.");
    const std::vector<FieldDifference> fields = CompareRecords(e.before.data(), e.record.data());
    return showFields(fields, "Entry " + std::to_string(e.id) + " changed " + count(fields.size(), "field") +
                                  " (before: the last record known from that controller; after: the entry's).");
}

Outcome compareWithPanels() {
    JournalEntry e;
    Outcome why;
    if (!chosenEntry(&e, &why) || !holdsRecord(e, &why)) return why;
    unsigned short panels[PARAM_WORDS];
    std::copy(param, param + PARAM_WORDS, panels);
    GetPanelValues(panels);
    const std::vector<FieldDifference> fields = CompareRecords(e.record.data(), panels);
    return showFields(fields, count(fields.size(), "field") + " differ (before: entry " + std::to_string(e.id) +
                                  "; after: the panels).");
}

Outcome compareWithEntry() {
    JournalEntry e, other;
    Outcome why;
    if (!chosenEntry(&e, &why) || !holdsRecord(e, &why)) return why;
    int otherId = 0;
    GetCtrlVal(panelHISTORY, HISTORY_OTHER, &otherId);
    JournalStore store;
    std::string error;
    if (!openStore(&store, &error) || !store.entry(otherId, &other, &error))
        return said(OutcomeKind::Rejected, "Entry " + std::to_string(otherId) + " cannot be read: " + error);
    if (!holdsRecord(other, &why)) return why;
    const std::vector<FieldDifference> fields = CompareRecords(e.record.data(), other.record.data());
    return showFields(fields, count(fields.size(), "field") + " differ (before: entry " + std::to_string(e.id) +
                                  "; after: entry " + std::to_string(other.id) + ").");
}

} // namespace

Outcome ListHistory() {
    JournalFilter filter;
    GetCtrlVal(panelHISTORY, HISTORY_CONTROLLER, &filter.controller);
    if (!sinceFilter(&filter.since))
        return said(OutcomeKind::Rejected, "Type the first day as YYYY-MM-DD, or leave it empty.");
    JournalStore store;
    std::string error;
    std::vector<JournalEntry> found;
    if (!openStore(&store, &error) || (found = store.list(filter, &error), !error.empty()))
        return said(OutcomeKind::Failed, "The journal cannot be read: " + error);
    g_listed.assign(found.rbegin(), found.rbegin() + std::ptrdiff_t(std::min(found.size(), kListedAtMost)));
    DeleteTableRows(panelHISTORY, HISTORY_TABLE, 1, -1);
    InsertTableRows(panelHISTORY, HISTORY_TABLE, 1, static_cast<int>(g_listed.size()));
    int row = 1;
    for (const JournalEntry &e : g_listed) {
        SetTableCellVal(panelHISTORY, HISTORY_TABLE, row, HISTORY_COL_ID, std::to_string(e.id));
        SetTableCellVal(panelHISTORY, HISTORY_TABLE, row, HISTORY_COL_TIME, localTime(e.time));
        SetTableCellVal(panelHISTORY, HISTORY_TABLE, row, HISTORY_COL_BY, e.user + "@" + e.host);
        SetTableCellVal(panelHISTORY, HISTORY_TABLE, row, HISTORY_COL_CONTROLLER, JournalControllerText(e));
        SetTableCellVal(panelHISTORY, HISTORY_TABLE, row, HISTORY_COL_WHAT, e.kind + " " + e.memory);
        SetTableCellVal(panelHISTORY, HISTORY_TABLE, row, HISTORY_COL_OUTCOME,
                        e.outcome + (e.reason.empty() ? "" : ": " + e.reason));
        ++row;
    }
    std::string text = std::to_string(found.size()) + (found.size() == 1 ? " entry" : " entries");
    if (found.size() > g_listed.size()) text += ", the newest " + std::to_string(g_listed.size()) + " listed";
    Outcome done = said(OutcomeKind::Done, text + ".");
    done.count = static_cast<int>(found.size());
    return done;
}

Outcome LoadHistoryEntryToPanels() {
    // The panels take the record as a file load would: not while a transfer
    // or another operation that reads them runs.
    if (const char *busy = RefusalReason(Command::FileTransfer); *busy) return said(OutcomeKind::Refused, busy);
    JournalEntry e;
    Outcome why;
    if (!chosenEntry(&e, &why) || !holdsRecord(e, &why)) return why;
    std::copy(e.record.begin(), e.record.end(), param);
    SetPanelValues(param);
    const std::string text =
        "Entry " + std::to_string(e.id) + " is on the panels; SEND writes it to the controller.";
    SetStatus(text.c_str());
    return said(OutcomeKind::Done, text);
}

void ResetHistory() {
    g_listed.clear();
    if (panelHISTORY > 0) {
        HidePanel(panelHISTORY);
        DeleteTableRows(panelHISTORY, HISTORY_TABLE, 1, -1);
        DeleteTableRows(panelHISTORY, HISTORY_FIELDS, 1, -1);
    }
    if (panelMAIN > 0) SetCtrlVal(panelMAIN, MAIN_TOG_HISTORY, 0);
}

int CC_TOG_HISTORY(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (!on) {
        HidePanel(panelHISTORY);
        return 0;
    }
    DisplayPanel(panelHISTORY);
    ListHistory();
    return 0;
}

int CC_HISTORY(int, int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) ResetHistory();
    return 0;
}

int CC_HISTORY_LIST(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) ListHistory();
    return 0;
}

int CC_HISTORY_CHANGES(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) showChanges();
    return 0;
}

int CC_HISTORY_COMPARE(int, int control, int event, void *, int, int) {
    if (event == EVENT_COMMIT) control == HISTORY_COMPARE_ENTRY ? compareWithEntry() : compareWithPanels();
    return 0;
}

int CC_HISTORY_LOAD(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) LoadHistoryEntryToPanels();
    return 0;
}

int CC_HISTORY_CLOSE(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) ResetHistory();
    return 0;
}

void RegisterHistoryCallbacks() {
    static const CallbackEntry table[] = {
        {"CC_TOG_HISTORY", CC_TOG_HISTORY},         {"CC_HISTORY", CC_HISTORY},
        {"CC_HISTORY_LIST", CC_HISTORY_LIST},       {"CC_HISTORY_CHANGES", CC_HISTORY_CHANGES},
        {"CC_HISTORY_COMPARE", CC_HISTORY_COMPARE}, {"CC_HISTORY_LOAD", CC_HISTORY_LOAD},
        {"CC_HISTORY_CLOSE", CC_HISTORY_CLOSE},
    };
    RegisterCallbacks(table);
}
