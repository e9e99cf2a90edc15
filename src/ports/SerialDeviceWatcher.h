#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <string>
#include <vector>

#include "ports/SerialDeviceList.h"

namespace pv {

// Keeps the list of serial devices current. The kernel creates and removes a device's node in
// /dev when the device comes and goes, so watching that one folder (inotify) tells us about every
// change at no cost while nothing happens; polling sysfs would wake up for nothing every few
// seconds and still lag behind. A burst of changes (udev adds its by-id links right after the
// node) is folded into one re-scan, and devicesChanged() is emitted only when the list differs.
class SerialDeviceWatcher : public QObject {
    Q_OBJECT

  public:
    explicit SerialDeviceWatcher(std::string sysRoot = "/sys", std::string devRoot = "/dev",
                                 QObject* parent = nullptr);

    const std::vector<SerialDeviceInfo>& devices() const { return devices_; }
    // Reads the list again now; emits devicesChanged() if it differs.
    void rescan();
    // False when devRoot could not be watched and the list is polled instead.
    bool watching() const { return watching_; }

  signals:
    void devicesChanged();

  private:
    std::string sysRoot_;
    std::string devRoot_;
    std::vector<SerialDeviceInfo> devices_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    bool watching_ = false;
};

}  // namespace pv
