#include "ports/VirtualPortDirectory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kTextCannotCreate = "Unable to create the virtual port directory '%s': %s";
constexpr const char* kTextUnsafe = "The virtual port directory '%s' is refused: %s.";
constexpr const char* kReasonLink = "it is a link, and it must be a real directory";
constexpr const char* kReasonNoDirectory = "it is no directory";
constexpr const char* kReasonOtherOwner = "it belongs to another user";
constexpr const char* kReasonOpen =
    "others may enter it (mode %04o); it must be yours alone (chmod 700)";

constexpr const char* kSlavePrefix = "/dev/pts/";
constexpr size_t kMaxNameLength = 64;
// A lock file unlinked by its last holder between our open and our lock is retried this often.
constexpr int kLockAttempts = 4;

std::string lockFileName(const std::string& name) {
    return "." + name + ".lock";
}
std::string newLinkName(const std::string& name) {
    return "." + name + ".new";
}

bool isSlavePath(const std::string& target) {
    const size_t prefix = std::strlen(kSlavePrefix);
    if (target.size() <= prefix || target.compare(0, prefix, kSlavePrefix) != 0) {
        return false;
    }
    for (size_t i = prefix; i < target.size(); ++i) {
        if (target[i] < '0' || target[i] > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

VirtualPortDirectory::VirtualPortDirectory(std::string path)
    : path_(path.empty() ? defaultPath() : std::move(path)) {
    while (path_.size() > 1 && path_.back() == '/') {
        path_.pop_back();
    }
}

VirtualPortDirectory::~VirtualPortDirectory() {
    close();
}

std::string VirtualPortDirectory::defaultPath(const char* runtimeDir, unsigned uid) {
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        return std::string(runtimeDir) + "/portavigilant";
    }
    return "/tmp/portavigilant-" + std::to_string(uid);
}

std::string VirtualPortDirectory::defaultPath() {
    return defaultPath(std::getenv("XDG_RUNTIME_DIR"), ::geteuid());
}

bool VirtualPortDirectory::isValidPortName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength || name[0] == '-') {
        return false;
    }
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool VirtualPortDirectory::open(std::string& error) {
    close();
    error.clear();
    const bool created = ::mkdir(path_.c_str(), 0700) == 0;
    if (!created && errno != EEXIST) {
        error = formatText(kTextCannotCreate, path_.c_str(), std::strerror(errno));
        return false;
    }
    // O_NOFOLLOW: a link planted in place of the directory is refused, not entered.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int openError = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        struct stat entry {};
        const bool isLink = ::lstat(path_.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode);
        error = formatText(kTextUnsafe, path_.c_str(),
                           isLink                 ? kReasonLink
                           : openError == ENOTDIR ? kReasonNoDirectory
                                                  : std::strerror(openError));
        return false;
    }
    if (created) {
        ::fchmod(fd, 0700);  // the umask may have taken bits we need
        st.st_mode = S_IFDIR | 0700;
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & 0077) != 0) {
        ::close(fd);
        const std::string reason = st.st_uid != ::geteuid()
                                       ? std::string(kReasonOtherOwner)
                                       : formatText(kReasonOpen, st.st_mode & 07777);
        error = formatText(kTextUnsafe, path_.c_str(), reason.c_str());
        return false;
    }
    fd_ = fd;
    return true;
}

void VirtualPortDirectory::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int VirtualPortDirectory::lockName(const std::string& name) const {
    if (fd_ < 0 || !isValidPortName(name)) {
        return -1;
    }
    const std::string file = lockFileName(name);
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        const int lockFd =
            ::openat(fd_, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (lockFd < 0) {
            return -1;
        }
        struct stat held {};
        if (::fstat(lockFd, &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != ::geteuid() ||
            ::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
            ::close(lockFd);
            return -1;
        }
        // The previous holder may have removed the file after our open; then we hold a lock on a
        // file nobody else will ever see, so start again with the current one.
        struct stat now {};
        if (::fstatat(fd_, file.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_ino == held.st_ino && now.st_dev == held.st_dev) {
            return lockFd;
        }
        ::close(lockFd);
    }
    return -1;
}

void VirtualPortDirectory::unlockName(const std::string& name, int lockFd) const {
    if (lockFd < 0) {
        return;
    }
    if (fd_ >= 0 && isValidPortName(name)) {
        ::unlinkat(fd_, lockFileName(name).c_str(), 0);
    }
    ::close(lockFd);
}

PortEntry VirtualPortDirectory::inspect(const std::string& name, std::string* target) const {
    struct stat st {};
    if (fd_ < 0 || !isValidPortName(name)) {
        return PortEntry::Foreign;
    }
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? PortEntry::Absent : PortEntry::Foreign;
    }
    if (!S_ISLNK(st.st_mode) || st.st_uid != ::geteuid()) {
        return PortEntry::Foreign;
    }
    char buffer[256];
    const ssize_t n = ::readlinkat(fd_, name.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) {
        return PortEntry::Foreign;
    }
    const std::string pointsAt(buffer, static_cast<size_t>(n));
    if (!isSlavePath(pointsAt)) {
        return PortEntry::Foreign;
    }
    if (target != nullptr) {
        *target = pointsAt;
    }
    return PortEntry::PortLink;
}

bool VirtualPortDirectory::createLink(const std::string& name, const std::string& target) const {
    return fd_ >= 0 && isValidPortName(name) && isSlavePath(target) &&
           ::symlinkat(target.c_str(), fd_, name.c_str()) == 0;
}

bool VirtualPortDirectory::replaceStaleLink(const std::string& name,
                                            const std::string& target) const {
    if (fd_ < 0 || !isSlavePath(target) || inspect(name) != PortEntry::PortLink) {
        return false;
    }
    // The helper name is ours alone while we hold the name's lock.
    const std::string helper = newLinkName(name);
    ::unlinkat(fd_, helper.c_str(), 0);
    if (::symlinkat(target.c_str(), fd_, helper.c_str()) != 0) {
        return false;
    }
    // rename replaces the directory entry itself; the old link is never followed.
    if (::renameat(fd_, helper.c_str(), fd_, name.c_str()) != 0) {
        ::unlinkat(fd_, helper.c_str(), 0);
        return false;
    }
    return true;
}

bool VirtualPortDirectory::removeLink(const std::string& name, const std::string& target) const {
    std::string current;
    if (inspect(name, &current) != PortEntry::PortLink || current != target) {
        return false;
    }
    return ::unlinkat(fd_, name.c_str(), 0) == 0;
}

}  // namespace pv
