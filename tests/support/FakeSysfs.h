#pragma once

#include <map>
#include <string>

#include "support/TempFolder.h"

namespace pv {

// A sysfs and /dev in a temporary folder, laid out as the kernel does it: devices under
// sys/devices, each tty in its device's "tty" folder with a relative "device" link back up,
// sys/class/tty holding relative links to the ttys, and driver/subsystem links by name.
class FakeSysfs {
  public:
    using Attributes = std::map<std::string, std::string>;

    FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string sysRoot() const { return root_ + "/sys"; }
    std::string devRoot() const { return root_ + "/dev"; }

    // A device folder below sys/devices ("pci0000:00/0000:00:14.0/usb1/1-1"); driver and
    // subsystem, when given, become links to .../drivers/<driver> and .../bus/<subsystem>.
    void addDevice(const std::string& device, const Attributes& attributes = {},
                   const std::string& driver = {}, const std::string& subsystem = {});
    // A tty of that device, with its class attributes. An empty device makes a virtual tty
    // (console, pty) under devices/virtual/tty, which has no device link.
    void addTty(const std::string& name, const std::string& device,
                const Attributes& attributes = {});
    void removeTty(const std::string& name);
    // The node in dev; the kernel adds it after the sysfs entries and removes it first.
    void addNode(const std::string& name);
    void removeNode(const std::string& name);
    // Any other file in dev (udev's links, unrelated devices).
    void addDevFile(const std::string& name);

  private:
    TempFolder folder_{"pv-sysfs"};
    std::string root_;
};

}  // namespace pv
