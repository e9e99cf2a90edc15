#include "ports/DeviceReturnWatch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace pv {

namespace fs = std::filesystem;

namespace {

// Long enough to gather udev's links and permissions after a node appears.
constexpr int kSettleMs = 150;
constexpr int kPollMs = 1000;

// The nearest folder on the way to path that exists.
QString nearestFolder(const fs::path& path) {
    std::error_code ec;
    for (fs::path dir = path.parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (fs::is_directory(dir, ec)) {
            return QString::fromStdString(dir.string());
        }
        if (dir == dir.parent_path()) {
            break;
        }
    }
    return {};
}

DeviceReturnWatch::NodeId idOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
}

}  // namespace

DeviceReturnWatch::DeviceReturnWatch(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &DeviceReturnWatch::look);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &DeviceReturnWatch::look);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!settle_.isActive()) {
            settle_.start();
        }
    });
}

DeviceReturnWatch::NodeId DeviceReturnWatch::nodeOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? idOf(st) : NodeId{};
}

void DeviceReturnWatch::watch(const std::string& path, NodeId lost) {
    stop();
    path_ = path;
    lost_ = lost;
    arm();
    settle_.start();
}

void DeviceReturnWatch::giveUpOnCurrentNode() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        lost_ = idOf(st);
    }
}

void DeviceReturnWatch::stop() {
    path_.clear();
    settle_.stop();
    poll_.stop();
    if (!watcher_.directories().isEmpty()) {
        watcher_.removePaths(watcher_.directories());
    }
}

void DeviceReturnWatch::arm() {
    QStringList folders;
    const fs::path path(path_);
    folders << nearestFolder(path);
    std::error_code ec;
    if (fs::is_symlink(path, ec) && !fs::exists(path, ec)) {
        fs::path target = fs::read_symlink(path, ec);
        if (!ec) {
            folders << nearestFolder(target.is_absolute() ? target : path.parent_path() / target);
        }
    }
    folders.removeAll(QString());
    folders.removeDuplicates();
    const QStringList watched = watcher_.directories();
    if (!watched.isEmpty() && watched != folders) {
        watcher_.removePaths(watched);
    }
    bool ok = !folders.isEmpty();
    for (const QString& folder : folders) {
        ok = (watcher_.directories().contains(folder) || watcher_.addPath(folder)) && ok;
    }
    if (!ok && !poll_.isActive()) {
        poll_.start();
    }
}

void DeviceReturnWatch::look() {
    if (path_.empty()) {
        return;
    }
    arm();
    // After the new watch: a folder may have come and filled in between.
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        lost_ = {};
    } else if (idOf(st) != lost_) {
        lost_ = {};
        emit appeared();
    }
}

}  // namespace pv
