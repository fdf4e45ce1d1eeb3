#include "journal/journal.h"

#include "core/program.h"
#include "core/status.h"
#include "ini/inifile.h"
#include "journal/store.h"
#include "link/frame.h"
#include "link/transport.h"
#include "ui/engine/engine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::string formatted(const char *format, const std::string &what) {
    char text[512];
    std::snprintf(text, sizeof text, format, what.c_str());
    return text;
}

std::string osUser() {
    if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
    const char *user = std::getenv("USER");
    return user ? user : "";
}

std::string linkText() {
    if (comprotocol == 1) return std::string(ipBuf) + ":" + std::to_string(portNum);
    const std::string device = comport > 0 ? GetComPortDevice(comport) : std::string();
    return device.empty() ? "COM" + std::to_string(comport) : device;
}

std::string fileSha256(const std::string &path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return "";
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&file);
    return h.result().toHex().toStdString();
}

const char *memoryName(NotedMemory m) {
    switch (m) {
    case NotedMemory::Ram: return "ram";
    case NotedMemory::Eeprom: return "eeprom";
    case NotedMemory::Firmware: return "firmware";
    case NotedMemory::Filter: return "filter";
    }
    return "";
}

const char *outcomeName(OutcomeKind k) {
    switch (k) {
    case OutcomeKind::Done: return "done";
    case OutcomeKind::Failed: return "failed";
    case OutcomeKind::Refused: return "refused";
    case OutcomeKind::Rejected: return "rejected";
    case OutcomeKind::Cancelled: return "cancelled";
    case OutcomeKind::Interrupted: return "interrupted";
    }
    return "";
}

constexpr std::size_t kBatch = 256;
constexpr std::chrono::milliseconds kGather(20);

// The writer: a thread with its own database connection that takes the
// entries in the order they were noted. An entry that cannot be written
// stays first in line and is tried again, so none is lost or reordered
// while the database is away.
class Writer {
  public:
    explicit Writer(const JournalSettings &settings) : settings_(settings) {
        thread_ = std::thread([this] { loop(); });
        std::unique_lock<std::mutex> lock(m_);
        changed_.wait(lock, [this] { return started_; });
    }
    ~Writer() { stop(0); }

    void add(JournalEntry e) {
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(m_);
            first = queue_.empty();
            queue_.push_back(std::move(e));
        }
        // The writer only waits for a first entry; the rest join its batch.
        if (first) changed_.notify_all();
    }

    bool flush(double seconds) {
        std::unique_lock<std::mutex> lock(m_);
        hurry_ = true;
        changed_.notify_all();
        // A journal that cannot record is not waited for: the program's end
        // must not wait on a full disk.
        changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                          [this] { return !busy_ && (queue_.empty() || !problem_.empty()); });
        hurry_ = false;
        return queue_.empty() && !busy_;
    }

    int stop(double seconds) {
        if (!thread_.joinable()) return 0;
        flush(seconds);
        {
            std::lock_guard<std::mutex> lock(m_);
            ending_ = true;
        }
        changed_.notify_all();
        thread_.join();
        return static_cast<int>(queue_.size());
    }

    // Why entries cannot be recorded at all ("" while the local journal takes them).
    std::string problem() {
        std::lock_guard<std::mutex> lock(m_);
        return problem_;
    }
    // Why entries wait for the shared journal ("" when none wait).
    std::string sharedProblem() {
        std::lock_guard<std::mutex> lock(m_);
        return sharedProblem_;
    }

  private:
    bool sharedMode() const { return IsSharedJournalUrl(settings_.url); }
    // Where the writer writes first: the journal itself, or for a shared
    // one the local journal the entries wait in.
    std::string firstUrl() const { return sharedMode() ? settings_.localUrl : settings_.url; }

    void loop() {
        JournalStore store, shared;
        std::string error;
        bool open = store.open(firstUrl(), settings_.password, &error);
        {
            std::lock_guard<std::mutex> lock(m_);
            problem_ = open ? "" : error;
            started_ = true;
        }
        changed_.notify_all();
        if (!open) tell(kJournalProblemText, error);
        std::unique_lock<std::mutex> lock(m_);
        bool pending = sharedMode(); // entries may wait from an earlier run
        for (;;) {
            changed_.wait_for(lock, std::chrono::seconds(1), [this] { return ending_ || !queue_.empty(); });
            if (ending_) return;
            if (queue_.empty() && !(pending && open)) continue;
            // A moment for more entries to join, so that a burst of writes
            // costs one transaction rather than one each.
            if (!queue_.empty())
                changed_.wait_for(lock, kGather, [this] { return ending_ || hurry_ || queue_.size() >= kBatch; });
            // What waits goes in one transaction, in the order it was noted.
            const std::size_t n = std::min(queue_.size(), kBatch);
            std::vector<JournalEntry> batch(queue_.begin(), queue_.begin() + std::ptrdiff_t(n));
            busy_ = true;
            lock.unlock();
            if (!open) open = store.open(firstUrl(), settings_.password, &error);
            for (JournalEntry &e : batch)
                if (!e.file.empty() && e.fileSha256.empty()) e.fileSha256 = fileSha256(e.file);
            const bool written = open && (batch.empty() || store.appendAll(&batch, &error));
            if (!written) {
                // A lost connection is opened afresh on the next try.
                store.close();
                open = false;
                tell(kJournalProblemText, error);
            }
            std::string sharedError;
            if (written && sharedMode()) {
                pending = !forward(store, shared, &sharedError);
                if (pending) tell(kJournalSharedAwayText, sharedError);
            }
            lock.lock();
            busy_ = false;
            if (written) {
                queue_.erase(queue_.begin(), queue_.begin() + std::ptrdiff_t(n));
                problem_.clear();
                sharedProblem_ = sharedError;
                if (sharedError.empty()) told_ = false;
            } else {
                problem_ = error;
                // A firmware file is hashed as it was when it was sent.
                for (std::size_t i = 0; i < n; ++i) queue_[i].fileSha256 = batch[i].fileSha256;
            }
            changed_.notify_all();
            if (!written) changed_.wait_for(lock, std::chrono::milliseconds(500), [this] { return ending_; });
        }
    }

    // Brings what waits in the local journal to the shared one. False (with
    // the reason) while the server cannot take it.
    bool forward(JournalStore &local, JournalStore &shared, std::string *error) {
        if (!shared.isOpen() && !shared.open(settings_.url, settings_.password, error)) {
            return false;
        }
        if (local.forwardTo(shared, settings_.url, error)) return true;
        shared.close();
        return false;
    }

    // Says a problem once on the status line (from the program's own thread),
    // until the journal records again.
    void tell(const char *format, const std::string &error) {
        {
            std::lock_guard<std::mutex> lock(m_);
            if (told_) return;
            told_ = true;
        }
        const std::string text = formatted(format, error);
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [text] { SetStatus(text.c_str()); }, Qt::QueuedConnection);
    }

    const JournalSettings settings_;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable changed_;
    std::deque<JournalEntry> queue_;
    bool started_ = false, busy_ = false, ending_ = false, told_ = false, hurry_ = false;
    std::string problem_, sharedProblem_;
};

std::unique_ptr<Writer> g_writer;
JournalSettings g_settings;

} // namespace

std::string DefaultJournalUrl() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath("qvex-scope/journal.sqlite").toStdString();
}

std::string JournalPassword(const std::string &passwordFile) {
    if (!passwordFile.empty()) {
        QFile file(QString::fromStdString(passwordFile));
        if (file.open(QIODevice::ReadOnly)) return file.readLine().trimmed().toStdString();
    }
    const char *env = std::getenv("QVEX_JOURNAL_PASSWORD");
    return env ? env : "";
}

namespace {
// The [JOURNAL] section as the settings file gave it; the program writes it
// back as it was whenever it saves its settings.
struct JournalSection {
    bool present = false;
    std::string url, passwordFile, local;
    int required = 0;
} g_section;
constexpr char kSection[] = "JOURNAL";
} // namespace

JournalSettings JournalSettingsFrom(const std::string &settingsFile) {
    JournalSection section;
    IniHolder ini(0);
    if (!settingsFile.empty() && ini.get() && Ini_ReadFromFile(ini.get(), settingsFile.c_str()) >= 0 &&
        Ini_SectionExists(ini.get(), kSection)) {
        section.present = true;
        Ini_GetStdString(ini.get(), kSection, "url", &section.url);
        Ini_GetStdString(ini.get(), kSection, "password file", &section.passwordFile);
        Ini_GetStdString(ini.get(), kSection, "local", &section.local);
        Ini_GetBoolean(ini.get(), kSection, "required", &section.required);
    }
    g_section = section;
    JournalSettings settings;
    settings.url = section.url;
    settings.localUrl = section.local;
    settings.required = section.required != 0;
    if (const char *env = std::getenv("QVEX_JOURNAL"); env && *env) settings.url = env;
    if (settings.url.empty()) settings.url = DefaultJournalUrl();
    settings.password = JournalPassword(section.passwordFile);
    return settings;
}

int PutJournalSection(IniText ini) {
    if (!g_section.present) return 0;
    int rc = Ini_PutString(ini, kSection, "url", g_section.url.c_str());
    if (rc >= 0 && !g_section.passwordFile.empty())
        rc = Ini_PutString(ini, kSection, "password file", g_section.passwordFile.c_str());
    if (rc >= 0 && !g_section.local.empty()) rc = Ini_PutString(ini, kSection, "local", g_section.local.c_str());
    if (rc >= 0) rc = Ini_PutBoolean(ini, kSection, "required", g_section.required);
    return rc < 0 ? rc : 0;
}

bool IsSharedJournalUrl(const std::string &url) {
    return url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0;
}

bool OpenJournal(const JournalSettings &given, std::string *error) {
    CloseJournal();
    JournalSettings settings = given;
    if (settings.localUrl.empty()) {
        const char *local = std::getenv("QVEX_JOURNAL_LOCAL");
        settings.localUrl = local && *local ? local : DefaultJournalUrl();
    }
    g_settings = settings;
    g_writer = std::make_unique<Writer>(settings);
    const std::string problem = g_writer->problem();
    if (error) *error = problem;
    return problem.empty();
}

int CloseJournal(double seconds) {
    if (!g_writer) return 0;
    const int lost = g_writer->stop(seconds);
    g_writer.reset();
    return lost;
}

std::string JournalReadUrl() { return g_writer ? g_settings.url : DefaultJournalUrl(); }
std::string JournalReadPassword() { return g_writer ? g_settings.password : std::string(); }

bool FlushJournal(double seconds) { return !g_writer || g_writer->flush(seconds); }
bool JournalOpen() { return g_writer != nullptr; }
std::string JournalProblem() { return g_writer ? g_writer->problem() : std::string("no journal is open"); }
std::string JournalSharedProblem() { return g_writer ? g_writer->sharedProblem() : std::string(); }

void NoteToJournal(const ControllerNote &note) {
    if (!g_writer) return;
    static const std::string user = osUser();
    static const std::string host = QSysInfo::machineHostName().toStdString();
    JournalEntry e;
    e.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
    e.user = user;
    e.host = host;
    e.program = std::string(szSoftname) + szSoftversion;
    e.link = linkText();
    e.version = szVersion;
    e.kind = note.write ? "write" : "seen";
    e.memory = memoryName(note.memory);
    e.outcome = outcomeName(note.kind);
    e.reason = note.reason;
    e.record = note.words;
    e.file = note.file;
    g_writer->add(std::move(e));
}

std::string JournalWriteRefusal() {
    if (!g_settings.required) return "";
    const std::string problem = JournalProblem();
    return problem.empty() ? "" : formatted(kJournalRefusalText, problem);
}
