// Reading and writing the INI store's text: the line parser, the joining of
// split values, and the file replacement through a temporary file.
#include "ini/inifile.h"
#include "ini/inistore_p.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ini {

// ---- reading -----------------------------------------------------------------

void TextParser::Feed(const char *data, std::size_t size) {
    const char *const end = data + size;
    while (data < end) {
        const char *stop = data;
        while (stop < end && *stop != '\r' && *stop != '\n') ++stop;
        // Keep at most kMaxLineLength bytes of a line; the rest is dropped.
        const std::size_t room = kMaxLineLength - line_.size();
        line_.append(data, std::min(room, static_cast<std::size_t>(stop - data)));
        if (stop == end) return;
        // Carriage return, line feed and their pairs all end a line; the empty
        // line between the two characters of a pair is skipped anyway.
        EndLine();
        data = stop + 1;
    }
}

void TextParser::EndLine() {
    std::string_view line = line_;
    // Editors that save "UTF-8 with BOM" put EF BB BF before the first
    // line; without this the first section line would not start with '['.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (firstLine_ && line.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        line.remove_prefix(kByteOrderMark.size());
    firstLine_ = false;
    ParseLine(line);
    line_.clear();
}

std::vector<Section> TextParser::Finish() {
    if (!line_.empty()) EndLine(); // a last line without a line end
    for (Section &section : sections_) JoinPieces(section);
    return std::move(sections_);
}

void TextParser::ParseLine(std::string_view line) {
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos || !TrimBlanks(line.substr(close + 1)).empty()) return;
        const std::string_view name = TrimBlanks(line.substr(1, close - 1));
        if (!name.empty()) sections_.push_back(Section{std::string(name), {}, {}});
        return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || sections_.empty()) return;
    const std::string_view tag = TrimTrailingBlanks(line.substr(0, equals));
    if (tag.empty()) return;
    std::string_view value = TrimBlanks(line.substr(equals + 1));
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (quoted) value = value.substr(1, value.size() - 2);
    sections_.back().items.push_back(Item{std::string(tag), std::string(value), quoted});
}

void JoinPieces(Section &section) {
    std::vector<Item> &items = section.items;
    std::size_t out = 0;
    for (std::size_t i = 0; i < items.size();) {
        std::string_view base;
        bool first = false;
        if (!SplitPieceTag(items[i].tag, &base, &first) || !first) {
            if (out != i) items[out] = std::move(items[i]);
            ++out;
            ++i;
            continue;
        }
        // The run goes on over the following pieces of the same tag; a piece
        // of another tag is no part of it.
        Item joined{std::string(base), std::move(items[i].value), items[i].quoted};
        std::size_t next = i + 1;
        for (; next < items.size(); ++next) {
            std::string_view nextBase;
            bool nextFirst = false;
            if (!SplitPieceTag(items[next].tag, &nextBase, &nextFirst) || nextFirst ||
                !EqualNoCase(nextBase, joined.tag))
                break;
            joined.value += items[next].value;
        }
        items[out++] = std::move(joined);
        i = next;
    }
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(out), items.end());
    section.index.Reset();
}

// ---- writing -----------------------------------------------------------------

namespace {

constexpr std::size_t kWriteBufferSize = 16 * 1024;
constexpr int kTempNameTries = 1000;

bool WriteAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Collects the text in a 16 KB buffer and writes it out whenever it is full.
class BufferedFile {
public:
    explicit BufferedFile(int fd) : fd_(fd) { buffer_.reserve(kWriteBufferSize); }
    void Put(const char *data, std::size_t size) {
        if (!ok_) return;
        if (buffer_.size() + size > kWriteBufferSize) {
            Flush();
            if (size >= kWriteBufferSize) {
                ok_ = ok_ && WriteAll(fd_, data, size);
                return;
            }
        }
        buffer_.append(data, size);
    }
    bool Flush() {
        if (ok_ && !buffer_.empty()) ok_ = WriteAll(fd_, buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok_;
    }

private:
    int fd_;
    bool ok_ = true;
    std::string buffer_;
};

std::string DirectoryOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Makes sure the target can be replaced: an existing target must be a plain
// file that opens for reading and writing (a device or directory must never
// be renamed over); a missing one must be creatable. *mode receives the
// existing file's permission bits, or -1.
int CheckTarget(const std::string &path, int *mode) {
    *mode = -1;
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        struct stat st {};
        const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        ::close(fd);
        if (!plain) return kIniErrOpenForWrite;
        *mode = static_cast<int>(st.st_mode & 07777);
        return 0;
    }
    if (errno != ENOENT) return kIniErrOpenForWrite;
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return kIniErrOpenForWrite;
    ::close(fd);
    ::unlink(path.c_str());
    return 0;
}

// Creates the first free "ini$$N.TMP" (N from 0 to 999) beside the target.
int CreateTempFile(const std::string &directory, std::string *tempPath, int *fd, mode_t mode) {
    for (int n = 0; n < kTempNameTries; ++n) {
        std::string name = directory + "ini$$" + std::to_string(n) + ".TMP";
        const int f = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (f >= 0) {
            *fd = f;
            *tempPath = std::move(name);
            return 0;
        }
        if (errno != EEXIST) return kIniErrCreateTemp;
    }
    return kIniErrNoTempName;
}

// Makes the rename itself durable; a failure here loses nothing already
// written, so it is not reported.
void SyncDirectory(const std::string &directory) {
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

int WriteFile(const IniStore &store, const char *pathArg, bool ownerOnly) {
    std::string path = pathArg;
    // Writing through a symbolic link replaces the file it points to and
    // keeps the link.
    struct stat linkStat {};
    if (::lstat(path.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        char *real = ::realpath(path.c_str(), nullptr);
        if (real) {
            path = real;
            std::free(real);
        }
    }

    int mode = -1;
    if (const int rc = CheckTarget(path, &mode); rc < 0) return rc;
    const std::string directory = DirectoryOf(path);
    std::string tempPath;
    int fd = -1;
    if (const int rc = CreateTempFile(directory, &tempPath, &fd, ownerOnly ? 0600 : 0666); rc < 0) return rc;
    if (ownerOnly) mode = 0600;

    bool ok = true;
    try {
        BufferedFile out(fd);
        FormatSections(store.sections, [&](const char *data, std::size_t size) { out.Put(data, size); });
        ok = out.Flush();
    } catch (...) {
        ::close(fd);
        ::unlink(tempPath.c_str());
        throw;
    }
    if (ok && mode >= 0) ::fchmod(fd, static_cast<mode_t>(mode)); // keep the old file's permissions
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return kIniErrWrite;
    }
    // rename() replaces the target in one step: there is no moment without a
    // complete file under the target name.
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        ::unlink(tempPath.c_str());
        return kIniErrReplace;
    }
    SyncDirectory(directory);
    return 0;
}

int ReadFile(const char *path, std::vector<Section> *sections) {
    // Only a plain file is read. The type is checked before opening, as
    // opening a FIFO waits for a writer and opening a device may act on it
    // (a serial port raises its modem lines); the open does not block and
    // the check is repeated on what was opened, in case the name changed.
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return kIniErrOpenForRead;
    if (st.st_size > kIniMaxFileSize) return kIniErrFileTooLarge;
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kIniErrOpenForRead;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return kIniErrOpenForRead;
    }
    TextParser parser;
    char buffer[64 * 1024];
    long long total = 0;
    int rc = 0;
    try {
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                rc = kIniErrRead;
                break;
            }
            if (n == 0) break;
            total += n;
            if (total > kIniMaxFileSize) { // it grew while being read
                rc = kIniErrFileTooLarge;
                break;
            }
            parser.Feed(buffer, static_cast<std::size_t>(n));
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    if (rc < 0) return rc;
    *sections = parser.Finish();
    return 0;
}

} // namespace ini
