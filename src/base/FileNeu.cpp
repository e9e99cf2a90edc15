#include "base/FileNeu.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>
#include <utility>

#include "base/Prompt.h"
#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kTextAccessError = "'%s' beim Zugriff auf die Datei '%s'";
constexpr const char* kTextOutOfRange =
    "Der Wert '%s' liegt außerhalb des Wertebereiches !\nMinimum = %d   Maximum = %d\n"
    "Eingelesener Wert = %d gesetzt auf %d !";

constexpr std::array<const char*, 15> kCauseTexts = {
    "Kein Fehler",
    "Unbekannter Fehler",
    "Datei nicht gefunden",
    "Ungültiger Pfad",
    "Zu viele offene Dateien",
    "Zugriff verweigert",
    "Ungültiger File-Handler",
    "Aktuelles Verzeichnis kann nicht gelöscht werden",
    "Keine weiteren Directory-Einträge möglich",
    "File-Pointer kann nicht gesetzt werden",
    "Hardware Fehler",
    "SHARE-Verletzung",
    "Gelockte Datei erneut gelockt",
    "Speichermedium voll",
    "Datei-Ende erreicht",
};

// Bytes per read call of the line readers on seekable files; what is read past the line end is
// given back by seeking, so the file position is always just behind the line.
constexpr size_t kLineChunk = 512;

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Linux says ENOENT both for a missing file and for a missing folder on its way; the user is
// better served by telling the two apart.
std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool parentMissing(const std::string& path) {
    return path.find('/') != std::string::npos && !isDirectory(folderOf(path));
}

// Through a symbolic link, the file it names; a link that names nothing stays itself.
std::string linkTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// A new file beside the one it will replace, hidden, named so that two writers never meet.
int createReplacement(const std::string& target, std::string& created) {
    static std::atomic<unsigned> counter{0};
    const std::string name = target.substr(target.find_last_of('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = folderOf(target) + "/." + name + "." + std::to_string(::getpid()) + "-" +
                  std::to_string(counter++) + ".tmp";
        int fd;
        do {
            fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Owner and group stay where the system lets them; another user's file becomes ours.
bool keepOwner(int fd, const struct stat& old) {
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 ||
           ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
}

// atoi without its undefined behaviour: leading white space, a sign, digits; clamped to int32.
int32_t parseDecimal(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || (line[i] >= '\t' && line[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        value = std::min(kLimit, value * 10 + (line[i] - '0'));
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

CFileNeu::CFileNeu(Prompt* prompt) : prompt_(prompt) {}

CFileNeu::~CFileNeu() {
    Close();
}

const char* CFileNeu::causeText(int cause) {
    if (cause < 0 || cause >= static_cast<int>(kCauseTexts.size())) {
        return "";
    }
    return kCauseTexts[static_cast<size_t>(cause)];
}

CFileNeu::Cause CFileNeu::causeOfErrno(int error) {
    switch (error) {
        case 0:
            return none;
        case ENOENT:
            return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EXDEV:
            return badPath;
        case EMFILE:
        case ENFILE:
            return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EEXIST:
            return accessDenied;
        case EBADF:
            return invalidFile;
        case EMLINK:
            return directoryFull;
        case ESPIPE:
            return badSeek;
        case EIO:
        case ENXIO:
        case ENODEV:
            return hardIO;
        case EBUSY:
        case ETXTBSY:
            return sharingViolation;
        case EDEADLK:
        case ENOLCK:
            return lockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return diskFull;
        default:
            return genericException;
    }
}

void CFileNeu::showMessage(const std::string& text) {
    if (showMessages_ && prompt_ != nullptr) {
        prompt_->message(text, {}, PromptButtons::Ok, PromptIcon::Error);
    }
}

void CFileNeu::ReportError(Cause cause, const std::string& path) {
    lastCause_ = cause;
    lastErrorText_ = formatText(kTextAccessError, causeText(cause), path.c_str());
    showMessage(lastErrorText_);
}

bool CFileNeu::Open(const std::string& path, unsigned flags) {
    Close();
    memory_.clear();
    path_ = path;
    int oflags = O_CLOEXEC | O_NOCTTY;
    switch (flags & 0x3) {
        case modeWrite:
            oflags |= O_WRONLY;
            break;
        case modeReadWrite:
            oflags |= O_RDWR;
            break;
        default:
            oflags |= O_RDONLY;
            break;
    }
    if (flags & modeCreate) {
        oflags |= O_CREAT;
        if (!(flags & modeNoTruncate)) {
            oflags |= O_TRUNC;
        }
    }
    // Non-blocking only for the open itself: a FIFO without a peer must not hang the caller.
    int fd;
    do {
        fd = ::open(path.c_str(), oflags | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        ReportError(error == ENOENT && parentMissing(path) ? badPath : causeOfErrno(error), path);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        // A folder opens for reading here, but is no file to work on.
        ::close(fd);
        ReportError(accessDenied, path);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    return true;
}

bool CFileNeu::OpenReplacing(const std::string& path) {
    Close();
    const std::string target = linkTarget(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        return Open(path, modeCreate | modeWrite);
    }
    memory_.clear();
    path_ = path;
    std::string created;
    const int fd = createReplacement(target, created);
    if (fd < 0) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM) && ::access(target.c_str(), W_OK) == 0) {
            return Open(path, modeCreate | modeWrite);
        }
        ReportError(error == ENOENT && parentMissing(target) ? badPath : causeOfErrno(error), path);
        return false;
    }
    if (exists) {
        keepOwner(fd, old);
        ::fchmod(fd, old.st_mode & 07777);
    }
    fd_ = fd;
    replacementPath_ = created;
    replacedPath_ = target;
    return true;
}

bool CFileNeu::CommitReplacing() {
    if (fd_ < 0) {
        return false;
    }
    // Whatever the file system, the new bytes are on the disk before any name points at them.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        reportErrno(errno);
        Close();
        return false;
    }
    if (replacementPath_.empty()) {
        return closeDescriptor();
    }
    const std::string created = std::exchange(replacementPath_, std::string());
    if (!closeDescriptor()) {
        ::unlink(created.c_str());
        return false;
    }
    if (::rename(created.c_str(), replacedPath_.c_str()) != 0) {
        reportErrno(errno);
        ::unlink(created.c_str());
        return false;
    }
    const int folder = ::open(folderOf(replacedPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void CFileNeu::discardReplacement() {
    if (!replacementPath_.empty()) {
        ::unlink(replacementPath_.c_str());
        replacementPath_.clear();
    }
}

void CFileNeu::OpenMemory(std::string contents) {
    Close();
    path_.clear();
    memory_ = std::move(contents);
    memoryPos_ = 0;
    inMemory_ = true;
}

void CFileNeu::Close() {
    inMemory_ = false;
    closeDescriptor();
    discardReplacement();
}

bool CFileNeu::closeDescriptor() {
    if (fd_ < 0) {
        return true;
    }
    const int fd = fd_;
    fd_ = -1;
    // No retry on EINTR: the descriptor is released either way on Linux.
    if (::close(fd) != 0 && errno != EINTR) {
        reportErrno(errno);
        return false;
    }
    return true;
}

ssize_t CFileNeu::readSome(char* buffer, size_t count) {
    if (inMemory_) {
        const size_t n =
            memoryPos_ < memory_.size() ? std::min(count, memory_.size() - memoryPos_) : 0;
        std::copy_n(memory_.data() + memoryPos_, n, buffer);
        memoryPos_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t n;
    do {
        n = ::read(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t CFileNeu::writeSome(const char* buffer, size_t count) {
    if (inMemory_) {
        // As on disk, writing behind the end fills the gap with zeros.
        if (memory_.size() < memoryPos_ + count) {
            memory_.resize(memoryPos_ + count);
        }
        std::copy_n(buffer, count, memory_.data() + memoryPos_);
        memoryPos_ += count;
        return static_cast<ssize_t>(count);
    }
    ssize_t n;
    do {
        n = ::write(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    return n;
}

off_t CFileNeu::seek(off_t offset, int whence) {
    if (!inMemory_) {
        return ::lseek(fd_, offset, whence);
    }
    const auto base = static_cast<off_t>(whence == SEEK_SET   ? 0
                                         : whence == SEEK_CUR ? memoryPos_
                                                              : memory_.size());
    if (offset < -base) {
        errno = EINVAL;
        return -1;
    }
    memoryPos_ = static_cast<size_t>(base + offset);
    return static_cast<off_t>(memoryPos_);
}

void CFileNeu::SeekToBegin() {
    if (isOpen() && seek(0, SEEK_SET) < 0) {
        reportErrno(errno);
    }
}

void CFileNeu::SeekToEnd() {
    if (isOpen() && seek(0, SEEK_END) < 0) {
        reportErrno(errno);
    }
}

int64_t CFileNeu::GetLength64() {
    if (!isOpen()) {
        return -1;
    }
    if (inMemory_) {
        return static_cast<int64_t>(memory_.size());
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        reportErrno(errno);
        return -1;
    }
    return st.st_size;
}

int64_t CFileNeu::GetPosition() {
    if (!isOpen()) {
        return -1;
    }
    const off_t position = seek(0, SEEK_CUR);
    if (position < 0) {
        reportErrno(errno);
    }
    return position;
}

bool CFileNeu::SetLength(int64_t length) {
    if (!isOpen() || length < 0) {
        return false;
    }
    if (inMemory_) {
        memory_.resize(static_cast<size_t>(length));
        return true;
    }
    int result;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        reportErrno(errno);
        return false;
    }
    return true;
}

bool CFileNeu::isRegularFile() const {
    if (inMemory_) {
        return true;
    }
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<FileId> CFileNeu::fileId() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        return std::nullopt;
    }
    return FileId{st.st_dev, st.st_ino};
}

std::optional<FileId> CFileNeu::fileIdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileId{st.st_dev, st.st_ino};
}

int32_t CFileNeu::GetLength() {
    const int64_t length = GetLength64();
    if (length < 0) {
        return -1;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(length));
}

bool CFileNeu::Exists(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return true;
    }
    // Not being there is the answer, not an error.
    if (errno != ENOENT && errno != ENOTDIR) {
        ReportError(causeOfErrno(errno), path);
    }
    return false;
}

size_t CFileNeu::Read(void* buffer, size_t count) {
    if (!isOpen()) {
        return 0;
    }
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = readSome(out + done, count - done);
        if (n < 0) {
            reportErrno(errno);
            break;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

bool CFileNeu::Write(const void* buffer, size_t count) {
    if (!isOpen()) {
        return false;
    }
    const auto* in = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = writeSome(in + done, count - done);
        if (n <= 0) {
            reportErrno(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CFileNeu::WriteString(const std::string& text) {
    return Write(text.data(), text.size());
}

bool CFileNeu::WriteLine(const std::string& text) {
    // One write call, so a line is never left half written without its end by a later failure.
    std::string line;
    line.reserve(text.size() + 2);
    std::copy_if(text.begin(), text.end(), std::back_inserter(line),
                 [](char c) { return c != '\r' && c != '\n'; });
    line += kLineEnd;
    return WriteString(line);
}

bool CFileNeu::WriteInt(int32_t value) {
    return WriteLine(std::to_string(value));
}

bool CFileNeu::WriteFlag(bool value) {
    return WriteLine(value ? "1" : "0");
}

std::string CFileNeu::ReadRawLine(bool anyLineFeed) {
    return ReadRawLine(anyLineFeed, std::numeric_limits<size_t>::max());
}

std::string CFileNeu::ReadRawLine(bool anyLineFeed, size_t maxBytes) {
    std::string line;
    if (!isOpen()) {
        return line;
    }
    const bool seekable = seek(0, SEEK_CUR) >= 0;
    std::array<char, kLineChunk> chunk{};
    bool lastWasCr = false;
    bool lastDropped = false;
    for (size_t left = maxBytes; left > 0;) {
        const ssize_t n = readSome(chunk.data(), seekable ? std::min(chunk.size(), left) : 1);
        if (n < 0) {
            reportErrno(errno);
            return line;
        }
        if (n == 0) {
            return line;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const char c = chunk[static_cast<size_t>(i)];
            if (c == '\n' && (anyLineFeed || lastWasCr)) {
                if (lastWasCr && lastDropped) {
                    line.push_back('\r');
                }
                line.push_back('\n');
                const ssize_t unused = n - i - 1;
                if (unused > 0 && seek(-unused, SEEK_CUR) < 0) {
                    reportErrno(errno);
                }
                return line;
            }
            lastDropped = line.size() >= kMaxLineLength;
            if (!lastDropped) {
                line.push_back(c);
            }
            lastWasCr = c == '\r';
        }
        left -= static_cast<size_t>(n);
    }
    return line;
}

bool CFileNeu::ReadTextLine(std::string& text) {
    if (!isOpen()) {
        return false;
    }
    std::string line = ReadRawLine(true);
    // Only a read that found nothing is the end: a lone LF is an empty line, and a last line of
    // one character without line end is still a line.
    if (line.empty()) {
        return false;
    }
    if (line.back() == '\n') {
        line.pop_back();
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    text = std::move(line);
    return true;
}

bool CFileNeu::ReadInt(int32_t& value) {
    if (!isOpen()) {
        return false;
    }
    const std::string line = ReadRawLine(false);
    if (line.empty()) {
        return false;
    }
    value = parseDecimal(line);
    return true;
}

bool CFileNeu::ReadIntChecked(int32_t& value, int32_t min, int32_t max, int32_t replacement,
                              const std::string& name, bool report) {
    int32_t read = 0;
    if (!ReadInt(read)) {
        return false;
    }
    if (read < min || read > max) {
        if (report) {
            showMessage(formatText(kTextOutOfRange, name.c_str(), min, max, read, replacement));
        }
        read = replacement;
    }
    value = read;
    return true;
}

bool CFileNeu::ReadFlag(bool& value) {
    if (!isOpen()) {
        return false;
    }
    std::string line = ReadRawLine(false);
    // A last line may lack its line end; the value is the same.
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, kLineEnd) == 0) {
        line.resize(line.size() - 2);
    }
    if (line == "0" || line == "1") {
        value = line == "1";
        return true;
    }
    return false;
}

std::string withoutLineEnds(const std::string& text) {
    std::string result = text;
    std::erase_if(result, [](char c) { return c == '\r' || c == '\n'; });
    return result;
}

}  // namespace pv
