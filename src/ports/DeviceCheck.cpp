#include "ports/DeviceCheck.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kCauseMissing =
    "'%s' does not exist: the device is not connected, or it was removed.";
constexpr const char* kCauseDanglingLink =
    "'%s' is a link to '%s', which does not exist: the device is not connected.";
constexpr const char* kCauseDirectory = "'%s' is a folder, not a serial device.";
constexpr const char* kCauseNotDevice = "'%s' is %s, not a serial device.";
constexpr const char* kCauseNoPermission =
    "No permission to open '%s': add your user to the group '%s' (sudo usermod -aG %s $USER) "
    "and log in again.";
constexpr const char* kCauseNoDevice =
    "No device answers at '%s': it is not connected, or no UART is behind it.";
constexpr const char* kCauseExclusive = "'%s' is opened exclusively by another program.";
constexpr const char* kCauseIoError =
    "'%s' does not respond (input/output error): the device may have been removed.";
constexpr const char* kCauseOther = "'%s': %s.";
constexpr const char* kCauseHolders =
    "'%s' is open in another program, which would take the received bytes: %s.";
constexpr const char* kDefaultGroup = "dialout";
constexpr size_t kMaxNamedHolders = 3;

// Unix 98 pseudo-terminal slaves have majors 136 to 143.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

const char* kindOf(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a FIFO (named pipe)";
    }
    if (S_ISREG(mode)) {
        return "a regular file";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISBLK(mode)) {
        return "a block device (a disk?)";
    }
    return "no device";
}

std::string groupOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_gid == 0) {
        return kDefaultGroup;
    }
    char buffer[1024];
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
        return kDefaultGroup;
    }
    return found->gr_name;
}

bool isNumber(const char* text) {
    return *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
}

// The pty index that a /dev/ptmx descriptor serves, from its fdinfo; -1 when none.
int ptyIndexOf(const std::string& fdinfo) {
    std::ifstream in(fdinfo);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("tty-index:", 0) == 0) {
            return std::atoi(line.c_str() + std::strlen("tty-index:"));
        }
    }
    return -1;
}

struct ProcessUse {
    bool holdsDevice = false;
    bool holdsMaster = false;
};

ProcessUse useOf(const std::string& processDir, dev_t device, int ptyIndex) {
    ProcessUse use;
    const std::string fdDir = processDir + "/fd";
    DIR* fds = ::opendir(fdDir.c_str());
    if (fds == nullptr) {
        return use;
    }
    char target[256];
    while (dirent* entry = ::readdir(fds)) {
        if (!isNumber(entry->d_name)) {
            continue;
        }
        const std::string link = fdDir + "/" + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        // Only descriptors of device files can be ours; pipes and sockets are skipped unopened.
        if (n <= 5 || std::strncmp(target, "/dev/", 5) != 0) {
            continue;
        }
        target[n] = '\0';
        const std::string_view name(target, static_cast<size_t>(n));
        if (ptyIndex >= 0 && name.ends_with("ptmx")) {
            use.holdsMaster =
                use.holdsMaster || ptyIndexOf(processDir + "/fdinfo/" + entry->d_name) == ptyIndex;
            continue;
        }
        struct stat st {};
        if (::stat(link.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
            use.holdsDevice = true;
        }
    }
    ::closedir(fds);
    return use;
}

std::string commOf(const std::string& processDir) {
    std::ifstream in(processDir + "/comm");
    std::string name;
    std::getline(in, name);
    return name.empty() ? "?" : name;
}

}  // namespace

NodeCheck checkDeviceNode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            char target[512];
            const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
            target[n > 0 ? n : 0] = '\0';
            return {NodeKind::Missing, formatText(kCauseDanglingLink, path.c_str(), target)};
        }
        return {NodeKind::Missing, openErrorCause(path, error)};
    }
    if (S_ISCHR(st.st_mode)) {
        return {NodeKind::CharDevice, {}};
    }
    if (S_ISDIR(st.st_mode)) {
        return {NodeKind::Directory, formatText(kCauseDirectory, path.c_str())};
    }
    return {NodeKind::NotADevice, formatText(kCauseNotDevice, path.c_str(), kindOf(st.st_mode))};
}

std::string openErrorCause(const std::string& path, int error) {
    const char* p = path.c_str();
    switch (error) {
        case EACCES:
        case EPERM: {
            const std::string group = groupOf(path);
            return formatText(kCauseNoPermission, p, group.c_str(), group.c_str());
        }
        case ENOENT:
            return formatText(kCauseMissing, p);
        case ENXIO:
        case ENODEV:
            return formatText(kCauseNoDevice, p);
        case EBUSY:
            return formatText(kCauseExclusive, p);
        case EIO:
            return formatText(kCauseIoError, p);
        case EISDIR:
            return formatText(kCauseDirectory, p);
        default:
            return formatText(kCauseOther, p, std::strerror(error));
    }
}

std::vector<DeviceHolder> deviceHolders(const std::string& path, const std::string& procRoot) {
    std::vector<DeviceHolder> holders;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return holders;
    }
    const unsigned deviceMajor = ::major(st.st_rdev);
    const bool isPtySlave = deviceMajor >= kPtySlaveMajorFirst && deviceMajor <= kPtySlaveMajorLast;
    const int ptyIndex =
        isPtySlave
            ? static_cast<int>((deviceMajor - kPtySlaveMajorFirst) * 256 + ::minor(st.st_rdev))
            : -1;
    DIR* proc = ::opendir(procRoot.c_str());
    if (proc == nullptr) {
        return holders;
    }
    const int self = static_cast<int>(::getpid());
    while (dirent* entry = ::readdir(proc)) {
        if (!isNumber(entry->d_name) || std::atoi(entry->d_name) == self) {
            continue;
        }
        const std::string processDir = procRoot + "/" + entry->d_name;
        const ProcessUse use = useOf(processDir, st.st_rdev, ptyIndex);
        if (use.holdsDevice && !use.holdsMaster) {
            holders.push_back({std::atoi(entry->d_name), commOf(processDir)});
        }
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(),
              [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
    return holders;
}

std::string holdersCause(const std::string& path, const std::vector<DeviceHolder>& holders) {
    std::string names;
    for (size_t i = 0; i < holders.size() && i < kMaxNamedHolders; ++i) {
        names += (i == 0 ? "" : ", ") +
                 formatText("'%s' (process %d)", holders[i].name.c_str(), holders[i].pid);
    }
    if (holders.size() > kMaxNamedHolders) {
        names += formatText(" and %zu more", holders.size() - kMaxNamedHolders);
    }
    return formatText(kCauseHolders, path.c_str(), names.c_str());
}

std::string withCause(const std::string& text, const std::string& cause) {
    if (cause.empty()) {
        return text;
    }
    return text + (!text.empty() && text.back() == '\n' ? "" : "\n") + cause;
}

}  // namespace pv
