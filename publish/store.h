// The publisher's queue on disk: every message the broker has not yet
// confirmed, in the order it was handed over, in an SQLite file of the
// program's own in the per-user data folder. Bounded by size: what does not
// fit pushes out the oldest, which is counted. It outlives the program, so
// messages queued before an exit go out at the next start unchanged (their
// time stamps are in their payloads).
//
// SQLite through Qt SQL rather than an append-only file of our own: a
// transaction is whole or absent after a crash or a full disk, confirmed
// messages leave by id in any order (a refused one among accepted ones), and
// dropping the oldest is one statement; an append-only file would need its
// own record framing, a confirmation pointer, segment rotation and recovery
// of a torn last record to do the same.
//
// One MqttStore is used by one thread only (a Qt SQL connection belongs to
// the thread that opened it). When no file can be used the queue stays in
// memory with the same bound and is lost at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLockFile;

struct QueuedMessage {
    std::int64_t id = 0; // the queue's order
    std::string topic, payload;
    bool retained = false;
};

class MqttStore {
  public:
    static constexpr std::size_t kDefaultBytes = 100u * 1024u * 1024u;

    MqttStore();
    ~MqttStore();
    MqttStore(const MqttStore &) = delete;
    MqttStore &operator=(const MqttStore &) = delete;

    // Opens (or creates) the queue `name` in `folder`, bounded by maxBytes
    // of topics and payloads. A queue another running program holds is not
    // shared: the next free name (name-2, name-3 ...) is taken instead.
    // False with the reason when no file can be used; the queue then lives
    // in memory.
    bool open(const std::string &folder, const std::string &name, std::size_t maxBytes, std::string *problem);
    void close();
    bool onDisk() const { return db_ != nullptr; }
    std::string path() const { return path_; }

    // Adds messages at the end; returns how many of the oldest had to go to
    // keep within the bound. Messages the file would not take (a full disk)
    // are counted in *failed with the reason in *problem.
    unsigned long append(const std::vector<QueuedMessage> &messages, unsigned long *failed = nullptr,
                         std::string *problem = nullptr);
    // Up to `count` messages after id `after`, in order.
    std::vector<QueuedMessage> after(std::int64_t after, std::size_t count);
    // Removes confirmed (or refused) messages.
    void remove(const std::vector<std::int64_t> &ids);
    std::size_t count() const { return count_; }
    std::size_t bytes() const { return bytes_; }
    // The newest id handed out; a message appended later gets a higher one.
    std::int64_t lastId() const { return lastId_; }

  private:
    struct Db;
    unsigned long trim();
    std::unique_ptr<Db> db_;
    std::unique_ptr<QLockFile> lock_;
    std::string path_;
    std::size_t maxBytes_ = kDefaultBytes;
    std::size_t count_ = 0, bytes_ = 0;
    std::int64_t lastId_ = 0;
    std::map<std::int64_t, QueuedMessage> memory_; // without a file
};
