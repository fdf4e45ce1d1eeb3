// Files, paths and time.
#include "ui/engine/engine_p.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct OpenedFile {
    std::FILE *f = nullptr;
    bool ascii = false;  // every line feed written goes out as CR LF
    bool append = false; // every write goes to the end
};

std::map<int, OpenedFile> g_files;
int g_nextFile = 1;
int g_lastIOError = 0;

int ioErrorFromErrno(int e) {
    switch (e) {
    case 0: return 0;
    case ENOENT: case ENOTDIR: return 1;
    case EBADF: return 3;
    case ENOMEM: return 4;
    case EEXIST: return 5;
    case EACCES: case EPERM: case EROFS: case EISDIR: return 6;
    case EINVAL: return 7;
    case EMFILE: case ENFILE: return 8;
    // A file that may grow no further (the process's file-size limit) is
    // as full as the disk for whoever writes it.
    case ENOSPC: case EDQUOT: case EFBIG: return 9;
    case ENAMETOOLONG: return 10;
    default: return 2;
    }
}

int fail(int e) {
    g_lastIOError = ioErrorFromErrno(e);
    return -1;
}

OpenedFile *openedFile(int handle) {
    auto it = g_files.find(handle);
    return it == g_files.end() ? nullptr : &it->second;
}

std::FILE *fileOf(int handle) {
    OpenedFile *o = openedFile(handle);
    return o ? o->f : nullptr;
}

std::string formatted(const char *format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    std::string text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

// A line feed becomes CR LF; one that already follows a CR stays as it is,
// so text that carries its own CR LF is not given a second CR.
std::string withCrLf(const std::string &text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    char previous = '\0';
    for (char c : text) {
        if (c == '\n' && previous != '\r') out += '\r';
        out += c;
        previous = c;
    }
    return out;
}

// Writes all of text or, when the file system refuses part of it, cuts the
// file back to where it ended before, so the file never keeps half a line.
int writeWhole(OpenedFile &o, const std::string &text) {
    if (std::fflush(o.f) != 0) return fail(errno ? errno : EIO);
    const int fd = ::fileno(o.f);
    struct stat st {};
    off_t before = 0;
    if (o.append) {
        if (::fstat(fd, &st) != 0) return fail(errno);
        before = st.st_size;
    } else {
        before = ::lseek(fd, 0, SEEK_CUR);
        if (before < 0) return fail(errno);
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : EIO;
            if (done > 0 && ::ftruncate(fd, before) == 0 && !o.append) ::lseek(fd, before, SEEK_SET);
            return fail(e);
        }
        done += static_cast<std::size_t>(n);
    }
    g_lastIOError = 0;
    return static_cast<int>(text.size());
}

} // namespace

int OpenFile(const char *fileName, int mode, int action, int fileType) {
    if (!fileName || !*fileName) return fail(ENOENT);
    if (std::strlen(fileName) >= 4096) return fail(ENAMETOOLONG);
    int flags = 0;
    const char *fmode = "rb";
    switch (mode) {
    case VAL_READ_ONLY: flags = O_RDONLY; fmode = "rb"; break;
    case VAL_WRITE_ONLY: flags = O_WRONLY | O_CREAT; fmode = "wb"; break;
    case VAL_READ_WRITE: flags = O_RDWR | O_CREAT; fmode = "r+b"; break;
    default: return fail(EINVAL);
    }
    if (mode != VAL_READ_ONLY) {
        if (action == VAL_TRUNCATE) flags |= O_TRUNC;
        else if (action == VAL_APPEND) flags |= O_APPEND;
        if (action == VAL_APPEND) fmode = mode == VAL_WRITE_ONLY ? "ab" : "a+b";
    }
    // Only plain files: opening a FIFO waits for its other end, opening a
    // device may act on it, and neither ends the way a file does. The type is
    // checked before the open, and again on what the open that cannot block
    // gave.
    struct stat st {};
    if (::stat(fileName, &st) == 0 && !S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    int fd = ::open(fileName, flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return fail(errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {
        ::close(fd);
        return fail(EINVAL);
    }
    std::FILE *f = ::fdopen(fd, fmode);
    if (!f) {
        int e = errno;
        ::close(fd);
        return fail(e);
    }
    g_lastIOError = 0;
    int h = g_nextFile++;
    g_files[h] = {f, fileType == VAL_ASCII, mode != VAL_READ_ONLY && action == VAL_APPEND};
    return h;
}

int CloseFile(int handle) {
    std::FILE *f = fileOf(handle);
    if (!f) return fail(EBADF);
    g_files.erase(handle);
    if (std::fclose(f) != 0) return fail(errno);
    return 0;
}

int FmtFile(int handle, const char *format, ...) {
    OpenedFile *o = openedFile(handle);
    if (!o) return fail(EBADF);
    if (!format) return fail(EINVAL);
    va_list args;
    va_start(args, format);
    std::string text = formatted(format, args);
    va_end(args);
    return writeWhole(*o, o->ascii ? withCrLf(text) : text);
}

int SyncFile(int handle) {
    std::FILE *f = fileOf(handle);
    if (!f) return fail(EBADF);
    if (std::fflush(f) != 0) return fail(errno ? errno : EIO);
    // Devices and pipes have nothing to sync; they say so with EINVAL.
    if (::fdatasync(::fileno(f)) != 0 && errno != EINVAL) return fail(errno);
    return 0;
}

int ReadLine(int handle, char *buffer, int maxChars) {
    std::FILE *f = fileOf(handle);
    if (!f || !buffer || maxChars < 0) return fail(f ? EINVAL : EBADF);
    int n = 0;
    bool any = false;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (n < maxChars) buffer[n++] = static_cast<char>(c);
    }
    if (std::ferror(f)) return fail(EIO);
    if (!any) {
        buffer[0] = '\0';
        return -2;
    }
    if (n > 0 && buffer[n - 1] == '\r') --n;
    buffer[n] = '\0';
    return n;
}

int WriteFile(int handle, const char *buffer, std::size_t count) {
    std::FILE *f = fileOf(handle);
    if (!f) return fail(EBADF);
    errno = 0;
    if (count && std::fwrite(buffer, 1, count, f) != count) return fail(errno ? errno : EIO);
    if (std::fflush(f) != 0) return fail(errno ? errno : EIO);
    return static_cast<int>(count);
}

int WriteLine(int handle, const char *buffer, int count) {
    OpenedFile *o = openedFile(handle);
    if (!o) return fail(EBADF);
    if (!buffer) return fail(EINVAL);
    const std::size_t n = count < 0 ? std::strlen(buffer) : static_cast<std::size_t>(count);
    // The line end is the file's own; the line itself is written as given.
    std::string line(buffer, n);
    line += o->ascii ? "\r\n" : "\n";
    if (writeWhole(*o, line) < 0) return -1;
    return static_cast<int>(n);
}

int GetFmtIOError() { return g_lastIOError; }

int GetFileInfo(const char *fileName, long *fileSize) {
    struct stat st {};
    if (!fileName || ::stat(fileName, &st) != 0) {
        if (fileSize) *fileSize = 0;
        return (errno == ENOENT || errno == ENOTDIR || !fileName) ? 0 : -1;
    }
    if (fileSize) *fileSize = static_cast<long>(st.st_size);
    return 1;
}

// Linux file systems have no hidden, system or archive flags; a hidden file
// stays a normal file that every later write can still replace.
int SetFileAttrs(const char *fileName, int, int, int, int) {
    return (fileName && ::access(fileName, F_OK) == 0) ? 0 : -1;
}

std::string MakePathname(const std::string &directory, const std::string &fileName) {
    if (directory.empty()) return fileName;
    if (directory.back() == '/' || directory.back() == '\\') return directory + fileName;
    return directory + "/" + fileName;
}

int MakePathname(const char *directory, const char *fileName, char *pathName) {
    std::string p = MakePathname(std::string(directory ? directory : ""), std::string(fileName ? fileName : ""));
    if (p.size() >= 260) return -1;
    std::memcpy(pathName, p.c_str(), p.size() + 1);
    return 0;
}

namespace {
std::string g_projectDir; // set only by tests that run the program in a folder of their own
}

// The install's panel folder relative to the installed executable; the build
// names it from its install directories.
#ifndef QVEX_INSTALLED_PANEL_DIR
#define QVEX_INSTALLED_PANEL_DIR "../share/qvex-scope/panels"
#endif

namespace engine {

std::string executableDir() {
    if (QCoreApplication::instance()) {
        const QString d = QCoreApplication::applicationDirPath();
        if (!d.isEmpty()) return d.toStdString();
    }
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = '\0';
    std::string s(buf);
    auto slash = s.rfind('/');
    return slash == std::string::npos ? "." : s.substr(0, slash);
}

// Found from the executable rather than from a fixed prefix, so that an
// install moved or unpacked elsewhere as a whole still finds its panels.
std::string installedPanelDir() {
    return QDir::cleanPath(QString::fromStdString(executableDir()) + "/" QVEX_INSTALLED_PANEL_DIR).toStdString();
}

bool runsFromInstall() {
    const QDir beside(QString::fromStdString(executableDir()));
    return beside.entryList({QStringLiteral("*.ui")}, QDir::Files).isEmpty() &&
           QFileInfo(QString::fromStdString(installedPanelDir())).isDir();
}

} // namespace engine

void SetProjectDir(const std::string &directory) { g_projectDir = directory; }

std::string GetProjectDir() { return g_projectDir.empty() ? engine::executableDir() : g_projectDir; }

int GetProjectDir(char *directory) {
    std::string d = GetProjectDir();
    if (d.size() >= 260) return -1;
    std::memcpy(directory, d.c_str(), d.size() + 1);
    return 0;
}

std::string GetWritableDataDir() {
    std::string d = GetProjectDir();
    // An installed program never writes beside its executable, even where it
    // could (run by root, or from a prefix the user owns): files there would
    // outlive the package that put the program there.
    const bool installed = g_projectDir.empty() && engine::runsFromInstall();
    if (!installed && ::access(d.c_str(), W_OK) == 0) return d;
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) return d;
    return data.toStdString();
}

namespace {
std::tm now() {
    std::time_t t = std::time(nullptr);
    std::tm tm {};
    localtime_r(&t, &tm);
    return tm;
}
} // namespace

std::string DateStr() {
    std::tm tm = now();
    char b[48];
    std::snprintf(b, sizeof b, "%02d-%02d-%04d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
    return b;
}

std::string TimeStr() {
    std::tm tm = now();
    char b[48];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    return b;
}

std::string TimeStrMs() {
    const auto clock = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(clock);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock.time_since_epoch()).count() % 1000;
    std::tm tm {};
    localtime_r(&t, &tm);
    char b[48];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return b;
}

double Timer() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void StringUpperCase(char *s) {
    // Letters a to z only: a Turkish locale must not make "i" a dotless "I".
    for (; s && *s; ++s)
        if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 'a' + 'A');
}

std::string FileSha256Hex(const char *fileName) {
    // Only plain files, for the reason OpenFile gives.
    struct stat st {};
    if (!fileName || ::stat(fileName, &st) != 0 || !S_ISREG(st.st_mode)) return "";
    QFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::ReadOnly)) return "";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return "";
    return hash.result().toHex().toStdString();
}

std::string Sha256Hex(const std::string &text) {
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
}
