// The program's parameter journal: every write to a controller (parameter
// record, firmware, filter) and every read of its record goes on record,
// written by a thread of its own so that the work never waits for the
// database. A journal that cannot be written says so once in the status
// line; with `required` the writes refuse until it can record again.
#pragma once

#include "core/controller_notes.h"
#include "ini/inifile.h"

#include <string>

struct JournalSettings {
    std::string url;      // a file path, sqlite:PATH or postgresql://USER@HOST:PORT/DB
    std::string password; // for a server
    bool required = false;
    // A shared journal's entries go to this local journal first and wait
    // there while the server is away ("": QVEX_JOURNAL_LOCAL, else the
    // default local journal).
    std::string localUrl;
};

// The local journal in the per-user data folder that the program and
// qvex-ctl share.
std::string DefaultJournalUrl();
// The settings: [JOURNAL] of the settings file (url, password file, local,
// required), QVEX_JOURNAL and QVEX_JOURNAL_PASSWORD over them, else the
// default journal.
JournalSettings JournalSettingsFrom(const std::string &settingsFile);
// Puts the [JOURNAL] section the settings file was read with back into ini
// (nothing when it had none). 0, or a negative store code.
int PutJournalSection(IniText ini);
// Reads the password of a shared journal: the first line of the file, else
// QVEX_JOURNAL_PASSWORD. "" when neither gives one.
std::string JournalPassword(const std::string &passwordFile);

// Opens the journal and starts its writer. False with the reason when it
// cannot be opened; notes are then kept waiting (and, with required, writes
// refuse) until it can.
bool OpenJournal(const JournalSettings &settings, std::string *error = nullptr);
// Waits up to `seconds` for the waiting entries, then stops the writer.
// Returns the number of entries that could not be written.
int CloseJournal(double seconds = 5.0);
// Waits until every entry noted so far is written (or seconds pass, or the
// journal turns out unable to record). True when all were written.
bool FlushJournal(double seconds = 5.0);
bool JournalOpen();
bool IsSharedJournalUrl(const std::string &url);
// "" while entries reach the shared journal; else why they wait locally.
std::string JournalSharedProblem();
// "" while the journal records; else why it cannot.
std::string JournalProblem();

// The journal the HISTORY window and qvex-ctl's journal commands read: the
// open one's, else the settings' default.
std::string JournalReadUrl();
std::string JournalReadPassword();

// Adds an entry for what the controller was told or showed; the link, the
// controller's version text, the user, host and time come from here.
void NoteToJournal(const ControllerNote &note);
// Why a write must not go ahead: only with `required`, while the journal
// cannot record.
std::string JournalWriteRefusal();

constexpr char kJournalProblemText[] = "Journal: cannot record (%s); entries wait until it can.";
constexpr char kJournalSharedAwayText[] = "Journal: the shared journal is away (%s); entries wait in the local one.";
constexpr char kJournalRefusalText[] = "The journal cannot record this write (%s); nothing was sent.";
