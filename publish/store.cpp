#include "publish/store.h"

#include <QDir>
#include <QLockFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace {

// Queues one program may hold at once under one name before it gives up.
constexpr int kNameTries = 16;

std::size_t sizeOf(const QueuedMessage &m) { return m.topic.size() + m.payload.size(); }

QByteArray blob(const std::string &s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

std::string text(const QVariant &v) {
    const QByteArray b = v.toByteArray();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

} // namespace

struct MqttStore::Db {
    QString connection;
    QSqlDatabase db;
    ~Db() {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }
    bool exec(const QString &sql) {
        QSqlQuery q(db);
        return q.exec(sql);
    }
};

MqttStore::MqttStore() = default;

MqttStore::~MqttStore() { close(); }

void MqttStore::close() {
    db_.reset();
    lock_.reset();
    path_.clear();
    memory_.clear();
    count_ = bytes_ = 0;
    lastId_ = 0;
}

bool MqttStore::open(const std::string &folder, const std::string &name, std::size_t maxBytes, std::string *problem) {
    close();
    maxBytes_ = maxBytes;
    const QString dir = QString::fromStdString(folder);
    if (folder.empty() || !QDir().mkpath(dir)) {
        *problem = "no folder for the queue file" + (folder.empty() ? std::string() : " " + folder);
        return false;
    }
    QString base;
    for (int n = 1; n <= kNameTries && !lock_; ++n) {
        base = dir + "/" + QString::fromStdString(name) + (n > 1 ? "-" + QString::number(n) : QString());
        auto lock = std::make_unique<QLockFile>(base + ".lock");
        // Only a lock whose program is gone is stale, however long it is held.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) lock_ = std::move(lock);
    }
    if (!lock_) {
        *problem = "every queue file in " + folder + " is in use";
        return false;
    }
    static std::atomic<int> connections{0};
    auto db = std::make_unique<Db>();
    db->connection = QString("mqtt-queue-%1").arg(++connections);
    db->db = QSqlDatabase::addDatabase("QSQLITE", db->connection);
    db->db.setDatabaseName(base + ".sqlite");
    QSqlQuery q(db->db);
    const bool ready =
        // A new file gives its pages back when the queue empties after an outage.
        db->db.open() && db->exec("PRAGMA auto_vacuum=INCREMENTAL") && db->exec("PRAGMA journal_mode=WAL") &&
        db->exec("PRAGMA synchronous=NORMAL") &&
        db->exec("CREATE TABLE IF NOT EXISTS queue (id INTEGER PRIMARY KEY, topic BLOB NOT NULL, "
                 "payload BLOB NOT NULL, retained INTEGER NOT NULL, size INTEGER NOT NULL)") &&
        q.exec("SELECT COUNT(*), COALESCE(SUM(size), 0), COALESCE(MAX(id), 0) FROM queue") && q.next();
    if (!ready) {
        *problem = "the queue file " + (base + ".sqlite").toStdString() + " cannot be used: " +
                   (q.lastError().isValid() ? q.lastError() : db->db.lastError()).text().toStdString();
        lock_.reset();
        return false;
    }
    count_ = static_cast<std::size_t>(q.value(0).toLongLong());
    bytes_ = static_cast<std::size_t>(q.value(1).toLongLong());
    lastId_ = q.value(2).toLongLong();
    q.finish();
    db_ = std::move(db);
    path_ = (base + ".sqlite").toStdString();
    return true;
}

unsigned long MqttStore::append(const std::vector<QueuedMessage> &messages, unsigned long *failed,
                                std::string *problem) {
    if (messages.empty()) return 0;
    if (!db_) {
        for (const QueuedMessage &m : messages) {
            QueuedMessage &kept = memory_[++lastId_] = m;
            kept.id = lastId_;
            ++count_;
            bytes_ += sizeOf(m);
        }
        return trim();
    }
    db_->db.transaction();
    QSqlQuery q(db_->db);
    q.prepare("INSERT INTO queue (id, topic, payload, retained, size) VALUES (?, ?, ?, ?, ?)");
    for (const QueuedMessage &m : messages) {
        q.bindValue(0, static_cast<qint64>(++lastId_));
        q.bindValue(1, blob(m.topic));
        q.bindValue(2, blob(m.payload));
        q.bindValue(3, m.retained ? 1 : 0);
        q.bindValue(4, static_cast<qint64>(sizeOf(m)));
        if (q.exec()) {
            ++count_;
            bytes_ += sizeOf(m);
            continue;
        }
        if (failed) ++*failed;
        if (problem && problem->empty()) *problem = q.lastError().text().toStdString();
    }
    const unsigned long dropped = trim();
    if (!db_->db.commit()) {
        // Nothing of this transaction is in the file: count it again from the file.
        QSqlQuery count(db_->db);
        if (count.exec("SELECT COUNT(*), COALESCE(SUM(size), 0) FROM queue") && count.next()) {
            const auto before = count_;
            count_ = static_cast<std::size_t>(count.value(0).toLongLong());
            bytes_ = static_cast<std::size_t>(count.value(1).toLongLong());
            if (failed && before > count_) *failed += static_cast<unsigned long>(before - count_);
        }
        if (problem && problem->empty()) *problem = db_->db.lastError().text().toStdString();
    }
    return dropped;
}

unsigned long MqttStore::trim() {
    if (bytes_ <= maxBytes_) return 0;
    unsigned long dropped = 0;
    if (!db_) {
        while (bytes_ > maxBytes_ && !memory_.empty()) {
            bytes_ -= sizeOf(memory_.begin()->second);
            memory_.erase(memory_.begin());
            --count_;
            ++dropped;
        }
        return dropped;
    }
    // The oldest first, a block at a time, until the rest fits.
    QSqlQuery q(db_->db);
    std::int64_t upTo = 0;
    std::size_t freed = 0;
    q.setForwardOnly(true);
    q.exec("SELECT id, size FROM queue ORDER BY id");
    while (bytes_ - freed > maxBytes_ && q.next()) {
        upTo = q.value(0).toLongLong();
        freed += static_cast<std::size_t>(q.value(1).toLongLong());
        ++dropped;
    }
    q.finish();
    QSqlQuery del(db_->db);
    del.prepare("DELETE FROM queue WHERE id <= ?");
    del.bindValue(0, static_cast<qint64>(upTo));
    if (dropped == 0 || !del.exec()) return 0;
    bytes_ -= freed;
    count_ -= dropped;
    return dropped;
}

std::vector<QueuedMessage> MqttStore::after(std::int64_t after, std::size_t count) {
    std::vector<QueuedMessage> out;
    if (!db_) {
        for (auto it = memory_.upper_bound(after); it != memory_.end() && out.size() < count; ++it)
            out.push_back(it->second);
        return out;
    }
    QSqlQuery q(db_->db);
    q.setForwardOnly(true);
    q.prepare("SELECT id, topic, payload, retained FROM queue WHERE id > ? ORDER BY id LIMIT ?");
    q.bindValue(0, static_cast<qint64>(after));
    q.bindValue(1, static_cast<qint64>(count));
    if (!q.exec()) return out;
    while (q.next()) out.push_back({q.value(0).toLongLong(), text(q.value(1)), text(q.value(2)), q.value(3).toInt() != 0});
    return out;
}

void MqttStore::remove(const std::vector<std::int64_t> &ids) {
    if (ids.empty()) return;
    if (!db_) {
        for (const std::int64_t id : ids) {
            auto it = memory_.find(id);
            if (it == memory_.end()) continue;
            bytes_ -= sizeOf(it->second);
            --count_;
            memory_.erase(it);
        }
        return;
    }
    db_->db.transaction();
    QSqlQuery q(db_->db);
    q.prepare("DELETE FROM queue WHERE id = ? RETURNING size");
    for (const std::int64_t id : ids) {
        q.bindValue(0, static_cast<qint64>(id));
        if (q.exec() && q.next()) {
            bytes_ -= static_cast<std::size_t>(q.value(0).toLongLong());
            --count_;
        }
        q.finish();
    }
    db_->db.commit();
    if (count_ == 0) db_->exec("PRAGMA incremental_vacuum");
}
