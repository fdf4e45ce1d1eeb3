#include "journal/store.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

namespace {

QAtomicInt g_connections;

QByteArray wordsBlob(const std::vector<unsigned short> &words) {
    QByteArray b;
    b.reserve(static_cast<int>(words.size() * 2));
    for (unsigned short w : words) {
        b.append(static_cast<char>(w & 0xFF));
        b.append(static_cast<char>(w >> 8));
    }
    return b;
}

std::vector<unsigned short> blobWords(const QByteArray &b) {
    std::vector<unsigned short> words(static_cast<std::size_t>(b.size() / 2));
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<unsigned short>(static_cast<unsigned char>(b[int(2 * i)]) |
                                               (static_cast<unsigned char>(b[int(2 * i + 1)]) << 8));
    return words;
}

QString q(const std::string &s) { return QString::fromStdString(s); }
std::string s(const QVariant &v) { return v.toString().toStdString(); }

// Adds one named field to the hashed content: its name, its length and its
// bytes, so that no two different entries give the same content.
void field(QCryptographicHash &h, const char *name, const QByteArray &value) {
    h.addData(QByteArray(name) + ':' + QByteArray::number(value.size()) + ':');
    h.addData(value);
    h.addData("\n");
}
void field(QCryptographicHash &h, const char *name, const std::string &value) {
    field(h, name, QByteArray::fromStdString(value));
}

bool failed(const QSqlQuery &query, std::string *error) {
    if (error) *error = query.lastError().text().toStdString();
    return false;
}

bool run(QSqlDatabase &db, const QString &sql, std::string *error) {
    QSqlQuery query(db);
    return query.exec(sql) || failed(query, error);
}

// What a list shows of an entry, then the rest a full read takes.
constexpr char kListColumns[] = "id, time, os_user, host, link, version, kind, memory, outcome, reason, file";
constexpr char kColumns[] = "id, time, os_user, host, link, version, kind, memory, outcome, reason, file, "
                            "program, file_sha256, prev_hash, hash";
constexpr char kRecordColumns[] = ", record, before_known, before_record";

JournalEntry entryOf(const QSqlQuery &query, bool full) {
    JournalEntry e;
    e.id = query.value(0).toLongLong();
    e.time = s(query.value(1));
    e.user = s(query.value(2));
    e.host = s(query.value(3));
    e.link = s(query.value(4));
    e.version = query.value(5).toByteArray().toStdString();
    e.kind = s(query.value(6));
    e.memory = s(query.value(7));
    e.outcome = s(query.value(8));
    e.reason = s(query.value(9));
    e.file = s(query.value(10));
    if (!full) return e;
    e.program = s(query.value(11));
    e.fileSha256 = s(query.value(12));
    e.prevHash = s(query.value(13));
    e.hash = s(query.value(14));
    e.record = blobWords(query.value(15).toByteArray());
    e.beforeKnown = query.value(16).toInt() != 0;
    e.before = blobWords(query.value(17).toByteArray());
    return e;
}

} // namespace

std::string JournalControllerText(const JournalEntry &e) {
    std::string shown;
    for (char c : e.version)
        if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) shown += c;
    return (shown.empty() ? std::string("(no version)") : shown) + " @ " + (e.link.empty() ? "(no link)" : e.link);
}

std::string JournalEntryHash(const JournalEntry &e) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    field(h, "previous", e.prevHash);
    field(h, "time", e.time);
    field(h, "user", e.user);
    field(h, "host", e.host);
    field(h, "program", e.program);
    field(h, "link", e.link);
    field(h, "version", e.version);
    field(h, "kind", e.kind);
    field(h, "memory", e.memory);
    field(h, "outcome", e.outcome);
    field(h, "reason", e.reason);
    field(h, "record", wordsBlob(e.record));
    field(h, "before", e.beforeKnown ? wordsBlob(e.before) : QByteArray("unknown"));
    field(h, "file", e.file);
    field(h, "file_sha256", e.fileSha256);
    return h.result().toHex().toStdString();
}

JournalStore::JournalStore()
    : connection_(QStringLiteral("qvex-journal-%1").arg(g_connections.fetchAndAddRelaxed(1))) {}

JournalStore::~JournalStore() { close(); }

void JournalStore::close() {
    if (!QSqlDatabase::contains(connection_)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool JournalStore::isOpen() const {
    return QSqlDatabase::contains(connection_) && QSqlDatabase::database(connection_, false).isOpen();
}

bool JournalStore::open(const std::string &url, const std::string &password, std::string *error) {
    close();
    const QString text = q(url);
    shared_ = text.startsWith("postgresql://") || text.startsWith("postgres://");
    if (shared_) {
        const QUrl u(text);
        if (!u.isValid() || u.host().isEmpty()) {
            if (error) *error = "not a server URL: " + url;
            return false;
        }
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", connection_);
        if (!db.isValid()) {
            if (error) *error = "the PostgreSQL driver (QPSQL) is not installed";
            QSqlDatabase::removeDatabase(connection_);
            return false;
        }
        db.setHostName(u.host());
        db.setPort(u.port(5432));
        db.setUserName(u.userName());
        db.setPassword(password.empty() ? u.password() : q(password));
        db.setDatabaseName(u.path().mid(1));
        db.setConnectOptions("connect_timeout=3");
    } else {
        const QString path = text.startsWith("sqlite:") ? text.mid(7) : text;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", connection_);
        if (!db.isValid()) {
            if (error) *error = "the SQLite driver (QSQLITE) is not installed";
            QSqlDatabase::removeDatabase(connection_);
            return false;
        }
        db.setDatabaseName(path);
        // Other programs and a fleet's processes write the same file.
        db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=30000");
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.open()) {
        if (error) *error = db.lastError().text().toStdString();
        return false;
    }
    const char *blob = shared_ ? "BYTEA" : "BLOB";
    const QString key = shared_ ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
    // Write-ahead logging lets readers list while a writer adds; NORMAL
    // sync keeps a write to a few hundred microseconds.
    if (!shared_ && (!run(db, "PRAGMA journal_mode=WAL", error) || !run(db, "PRAGMA synchronous=NORMAL", error)))
        return false;
    // The server's notices ("already exists, skipping") are not for the operator.
    if (shared_ && !run(db, "SET client_min_messages = warning", error)) return false;
    QStringList schema;
    schema << "CREATE TABLE IF NOT EXISTS journal_schema (version INTEGER NOT NULL)"
           << QString("CREATE TABLE IF NOT EXISTS journal_entries (id %1, time TEXT NOT NULL, os_user TEXT NOT NULL, "
                      "host TEXT NOT NULL, program TEXT NOT NULL, link TEXT NOT NULL, version %2, "
                      "controller TEXT NOT NULL, kind TEXT NOT NULL, memory TEXT NOT NULL, outcome TEXT NOT NULL, "
                      "reason TEXT NOT NULL, record %2, before_known INTEGER NOT NULL, before_record %2, "
                      "file TEXT NOT NULL, file_sha256 TEXT NOT NULL, prev_hash TEXT NOT NULL, hash TEXT NOT NULL)")
                  .arg(key, blob)
           << "CREATE INDEX IF NOT EXISTS journal_by_controller ON journal_entries (controller, memory, id)"
           << "CREATE INDEX IF NOT EXISTS journal_by_time ON journal_entries (time)"
           // How far each shared journal has the local one's entries.
           << "CREATE TABLE IF NOT EXISTS journal_forwarded (target TEXT PRIMARY KEY, last_id BIGINT NOT NULL)";
    // Entries are only ever added.
    if (shared_)
        schema << "CREATE OR REPLACE RULE journal_no_update AS ON UPDATE TO journal_entries DO INSTEAD NOTHING"
               << "CREATE OR REPLACE RULE journal_no_delete AS ON DELETE TO journal_entries DO INSTEAD NOTHING";
    else
        schema << "CREATE TRIGGER IF NOT EXISTS journal_no_update BEFORE UPDATE ON journal_entries "
                  "BEGIN SELECT RAISE(ABORT, 'journal entries are only ever added'); END"
               << "CREATE TRIGGER IF NOT EXISTS journal_no_delete BEFORE DELETE ON journal_entries "
                  "BEGIN SELECT RAISE(ABORT, 'journal entries are only ever added'); END";
    // Two programs opening a new journal at once create it once.
    if (!run(db, shared_ ? "BEGIN" : "BEGIN IMMEDIATE", error)) return false;
    if (shared_ && !run(db, "SELECT pg_advisory_xact_lock(2718281828)", error)) return false;
    for (const QString &sql : schema)
        if (!run(db, sql, error)) {
            run(db, "ROLLBACK", nullptr);
            return false;
        }
    QSqlQuery version(db);
    if (!version.exec("SELECT version FROM journal_schema")) {
        failed(version, error);
        run(db, "ROLLBACK", nullptr);
        return false;
    }
    if (!version.next()) {
        if (!run(db, QString("INSERT INTO journal_schema (version) VALUES (%1)").arg(kJournalSchemaVersion), error)) {
            run(db, "ROLLBACK", nullptr);
            return false;
        }
    } else if (version.value(0).toInt() > kJournalSchemaVersion) {
        if (error) *error = "the journal was made by a newer program (schema " + s(version.value(0)) + ")";
        run(db, "ROLLBACK", nullptr);
        return false;
    }
    version.finish();
    return run(db, "COMMIT", error);
}

bool JournalStore::append(JournalEntry *e, std::string *error) {
    std::vector<JournalEntry> one{*e};
    if (!appendAll(&one, error)) return false;
    *e = one[0];
    return true;
}

// The statements one transaction of additions uses, prepared once.
struct JournalStore::Adding {
    explicit Adding(const QSqlDatabase &db) : knownRam(db), knownEeprom(db), insert(db) {}
    QSqlQuery knownRam, knownEeprom, insert;
    std::string lastHash;
};

bool JournalStore::appendAll(std::vector<JournalEntry> *entries, std::string *error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.isOpen()) {
        if (error) *error = "the journal is not open";
        return false;
    }
    // One writer at a time takes the chain's end and adds to it.
    if (!run(db, shared_ ? "BEGIN" : "BEGIN IMMEDIATE", error)) return false;
    auto rollback = [&] {
        run(db, "ROLLBACK", nullptr);
        return false;
    };
    if (shared_ && !run(db, "LOCK TABLE journal_entries IN EXCLUSIVE MODE", error)) return rollback();
    {
        Adding adding(db);
        // A record read, or a write that was done, says what the memory
        // holds; a write to EEPROM activates the record in RAM as well.
        const bool prepared =
            adding.knownRam.prepare(
                "SELECT record FROM journal_entries WHERE controller = ? AND record IS NOT NULL AND "
                "((memory = 'ram' AND (kind = 'seen' OR outcome = 'done')) OR "
                "(memory = 'eeprom' AND kind = 'write' AND outcome = 'done')) ORDER BY id DESC LIMIT 1") &&
            adding.knownEeprom.prepare(
                "SELECT record FROM journal_entries WHERE controller = ? AND record IS NOT NULL AND "
                "memory = 'eeprom' AND (kind = 'seen' OR outcome = 'done') ORDER BY id DESC LIMIT 1") &&
            adding.insert.prepare(
                "INSERT INTO journal_entries (time, os_user, host, program, link, version, controller, kind, "
                "memory, outcome, reason, record, before_known, before_record, file, file_sha256, prev_hash, "
                "hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        if (!prepared) {
            if (error) *error = db.lastError().text().toStdString();
            return rollback();
        }
        QSqlQuery last(db);
        if (!last.exec("SELECT hash FROM journal_entries ORDER BY id DESC LIMIT 1")) return failed(last, error) || rollback();
        adding.lastHash = last.next() ? s(last.value(0)) : std::string();
        last.finish();
        for (JournalEntry &e : *entries)
            if (!add(&e, adding, error)) return rollback();
    }
    return run(db, "COMMIT", error) || rollback();
}

// Adds one entry inside the caller's transaction.
bool JournalStore::add(JournalEntry *e, Adding &adding, std::string *error) {
    const std::string controller = JournalControllerText(*e);
    if (!e->record.empty() && !e->beforeKnown && (e->memory == "ram" || e->memory == "eeprom")) {
        QSqlQuery &known = e->memory == "ram" ? adding.knownRam : adding.knownEeprom;
        known.addBindValue(q(controller));
        if (!known.exec()) return failed(known, error);
        if (known.next()) {
            e->before = blobWords(known.value(0).toByteArray());
            e->beforeKnown = true;
        }
        known.finish();
    }
    e->prevHash = adding.lastHash;
    e->hash = JournalEntryHash(*e);
    QSqlQuery &insert = adding.insert;
    for (const std::string *v : {&e->time, &e->user, &e->host, &e->program, &e->link}) insert.addBindValue(q(*v));
    insert.addBindValue(QByteArray::fromStdString(e->version));
    insert.addBindValue(q(controller));
    for (const std::string *v : {&e->kind, &e->memory, &e->outcome, &e->reason}) insert.addBindValue(q(*v));
    insert.addBindValue(e->record.empty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(wordsBlob(e->record)));
    insert.addBindValue(e->beforeKnown ? 1 : 0);
    insert.addBindValue(e->beforeKnown ? QVariant(wordsBlob(e->before)) : QVariant(QMetaType(QMetaType::QByteArray)));
    for (const std::string *v : {&e->file, &e->fileSha256, &e->prevHash, &e->hash}) insert.addBindValue(q(*v));
    if (!insert.exec()) return failed(insert, error);
    e->id = insert.lastInsertId().isValid() ? insert.lastInsertId().toLongLong() : 0;
    if (e->id == 0) {
        QSqlQuery id(QSqlDatabase::database(connection_, false));
        if (id.exec("SELECT max(id) FROM journal_entries") && id.next()) e->id = id.value(0).toLongLong();
    }
    adding.lastHash = e->hash;
    return true;
}

std::vector<JournalEntry> JournalStore::list(const JournalFilter &filter, std::string *error) const {
    std::vector<JournalEntry> out;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QString sql = QString("SELECT ") + (filter.withRecords ? QString(kColumns) + kRecordColumns : kListColumns) +
                  " FROM journal_entries";
    QStringList where;
    if (!filter.controller.empty()) where << (shared_ ? "strpos(controller, ?) > 0" : "instr(controller, ?) > 0");
    if (!filter.since.empty()) where << "time >= ?";
    if (!where.isEmpty()) sql += " WHERE " + where.join(" AND ");
    sql += " ORDER BY id";
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(sql);
    if (!filter.controller.empty()) query.addBindValue(q(filter.controller));
    if (!filter.since.empty()) query.addBindValue(q(filter.since));
    if (!query.exec()) {
        failed(query, error);
        return out;
    }
    while (query.next()) out.emplace_back(entryOf(query, filter.withRecords));
    return out;
}

bool JournalStore::entry(std::int64_t id, JournalEntry *e, std::string *error) const {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    query.prepare(QString("SELECT ") + kColumns + kRecordColumns + " FROM journal_entries WHERE id = ?");
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec()) return failed(query, error);
    if (!query.next()) {
        if (error) *error = "no entry " + std::to_string(id);
        return false;
    }
    *e = entryOf(query, true);
    return true;
}

JournalCheck JournalStore::verify(std::string *error) const {
    JournalCheck check;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QString("SELECT ") + kColumns + kRecordColumns + " FROM journal_entries ORDER BY id")) {
        failed(query, error);
        check.sound = false;
        check.why = error ? *error : "cannot read the journal";
        return check;
    }
    std::string previous;
    while (query.next()) {
        const JournalEntry e = entryOf(query, true);
        ++check.entries;
        if (e.prevHash != previous) {
            check = {false, e.id, "its link to the entry before it does not fit (an entry was taken out or changed)",
                     check.entries};
            return check;
        }
        if (JournalEntryHash(e) != e.hash) {
            check = {false, e.id, "its content does not fit its hash (the entry was changed)", check.entries};
            return check;
        }
        previous = e.hash;
    }
    return check;
}

bool JournalStore::forwardTo(JournalStore &shared, const std::string &target, std::string *error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    for (;;) {
        // The local write lock is held until the shared journal took the
        // entries: two programs on one computer never forward the same one.
        if (!run(db, "BEGIN IMMEDIATE", error)) return false;
        auto rollback = [&] {
            run(db, "ROLLBACK", nullptr);
            return false;
        };
        QSqlQuery mark(db);
        mark.prepare("SELECT last_id FROM journal_forwarded WHERE target = ?");
        mark.addBindValue(q(target));
        if (!mark.exec()) return failed(mark, error) || rollback();
        const qlonglong from = mark.next() ? mark.value(0).toLongLong() : 0;
        mark.finish();
        QSqlQuery waiting(db);
        waiting.setForwardOnly(true);
        waiting.prepare(QString("SELECT ") + kColumns + kRecordColumns +
                        " FROM journal_entries WHERE id > ? ORDER BY id LIMIT 500");
        waiting.addBindValue(from);
        if (!waiting.exec()) return failed(waiting, error) || rollback();
        std::vector<JournalEntry> entries;
        while (waiting.next()) entries.push_back(entryOf(waiting, true));
        waiting.finish();
        if (entries.empty()) {
            rollback();
            return true;
        }
        const qlonglong last = entries.back().id;
        // The shared journal chains them anew after its own last entry.
        for (JournalEntry &e : entries) e.prevHash.clear(), e.hash.clear();
        if (!shared.appendAll(&entries, error)) return rollback();
        QSqlQuery moved(db);
        moved.prepare("INSERT OR REPLACE INTO journal_forwarded (target, last_id) VALUES (?, ?)");
        moved.addBindValue(q(target));
        moved.addBindValue(last);
        if (!moved.exec()) return failed(moved, error) || rollback();
        if (!run(db, "COMMIT", error)) return rollback();
    }
}

std::int64_t JournalStore::waitingFor(const std::string &target, std::string *error) const {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    query.prepare("SELECT count(*) FROM journal_entries WHERE id > "
                  "coalesce((SELECT last_id FROM journal_forwarded WHERE target = ?), 0)");
    query.addBindValue(q(target));
    if (!query.exec() || !query.next()) return failed(query, error) ? 0 : 0;
    return query.value(0).toLongLong();
}
