// The parameter journal's database: entries are only ever added, each one
// chained to the one before it by SHA-256, so that an entry changed or taken
// out afterwards shows. SQLite by default, PostgreSQL for a journal shared by
// a plant; both through Qt's SQL module.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// One entry: a write to a controller, or a read of its record ("seen").
struct JournalEntry {
    std::int64_t id = 0;
    std::string time; // UTC, ISO 8601 with milliseconds and Z
    std::string user, host, program;
    std::string link;    // HOST:PORT, or the serial device
    std::string version; // the controller's version text as it came
    std::string kind;    // "write" or "seen"
    std::string memory;  // "ram", "eeprom", "firmware" or "filter"
    std::string outcome; // "done", "failed", "refused", ...
    std::string reason;
    std::vector<unsigned short> record; // the parameter record, or the filter image written
    // The last record known from that controller's memory before this entry;
    // empty when none was known.
    std::vector<unsigned short> before;
    bool beforeKnown = false;
    std::string file, fileSha256; // a firmware download's file
    std::string prevHash, hash;
};

// The controller as lists name it: the printable part of its version text
// and the link.
std::string JournalControllerText(const JournalEntry &e);
// SHA-256 (hex) over the previous entry's hash and the entry's content.
std::string JournalEntryHash(const JournalEntry &e);

struct JournalFilter {
    std::string controller; // part of JournalControllerText; "" any
    std::string since;      // UTC time text; entries from then on; "" all
    bool withRecords = false; // else only what a list shows: no program, hashes or records
};

struct JournalCheck {
    bool sound = true;
    std::int64_t firstBad = 0; // the first entry that does not fit its chain
    std::string why;
    std::int64_t entries = 0;
};

// Connection URLs: a file path or sqlite:PATH for a local journal;
// postgresql://USER@HOST:PORT/DATABASE for a shared one.
class JournalStore {
  public:
    JournalStore();
    ~JournalStore();
    JournalStore(const JournalStore &) = delete;
    JournalStore &operator=(const JournalStore &) = delete;

    // Opens (and on first use creates) the journal. password is used by a
    // server only. False with the reason in *error.
    bool open(const std::string &url, const std::string &password, std::string *error);
    void close();
    bool isOpen() const;
    bool shared() const { return shared_; }

    // Adds e at the end of the chain: fills id, prevHash and hash, and, for
    // an entry with a parameter record whose `before` is not known, the last
    // record known from that controller's memory.
    bool append(JournalEntry *e, std::string *error);
    // The same for several entries in one transaction: all or none.
    bool appendAll(std::vector<JournalEntry> *entries, std::string *error);
    // Entries oldest first.
    std::vector<JournalEntry> list(const JournalFilter &filter, std::string *error) const;
    bool entry(std::int64_t id, JournalEntry *e, std::string *error) const;
    JournalCheck verify(std::string *error) const;
    // Copies this (local) journal's entries that `shared` has not yet got to
    // its end, oldest first, and notes how far it got: entries that waited
    // while the server was away arrive in order. `target` names the shared
    // journal. False with the reason when the server cannot take them (they
    // wait for the next call).
    bool forwardTo(JournalStore &shared, const std::string &target, std::string *error);
    // Entries of this journal not yet forwarded to target.
    std::int64_t waitingFor(const std::string &target, std::string *error) const;

  private:
    struct Adding;
    bool add(JournalEntry *e, Adding &adding, std::string *error);
    QString connection_;
    bool shared_ = false;
};

// The schema's version, kept in the database beside the entries.
constexpr int kJournalSchemaVersion = 1;
