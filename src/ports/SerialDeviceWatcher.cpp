#include "ports/SerialDeviceWatcher.h"

#include <utility>

namespace pv {

namespace {
// Long enough to gather udev's links after a node appears, short enough to feel immediate.
constexpr int kSettleMs = 150;
// Only when inotify is unavailable (watch limit reached, folder missing).
constexpr int kPollMs = 2000;
}  // namespace

SerialDeviceWatcher::SerialDeviceWatcher(std::string sysRoot, std::string devRoot, QObject* parent)
    : QObject(parent), sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {
    devices_ = listSerialDevices(sysRoot_, devRoot_);
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &SerialDeviceWatcher::rescan);
    watching_ = watcher_.addPath(QString::fromStdString(devRoot_));
    if (watching_) {
        settle_.setInterval(kSettleMs);
        connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
            if (!settle_.isActive()) {
                settle_.start();
            }
        });
    } else {
        settle_.setSingleShot(false);
        settle_.start(kPollMs);
    }
}

void SerialDeviceWatcher::rescan() {
    std::vector<SerialDeviceInfo> now = listSerialDevices(sysRoot_, devRoot_);
    if (now == devices_) {
        return;
    }
    devices_ = std::move(now);
    emit devicesChanged();
}

}  // namespace pv
