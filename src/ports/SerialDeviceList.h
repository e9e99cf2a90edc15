#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// One serial device of this machine, as sysfs describes it.
struct SerialDeviceInfo {
    std::string path;  // "/dev/ttyUSB0"
    // The name that stays with the device when it is plugged in elsewhere or the numbering
    // changes: its udev link in /dev/serial/by-id; empty when it has none.
    std::string stableId;
    std::string name;    // "ttyUSB0", the kernel's name
    std::string driver;  // "ftdi_sio", "cdc_acm", "serial8250", ... (may be empty)
    // USB adapters only; empty otherwise or when the device does not report them.
    std::string vendorId;  // four hex digits, "0403"
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    // One line for a selection list: "/dev/ttyUSB0 - FT232R USB UART (FTDI, serial A50285BI)".
    std::string description;

    bool isUsb() const { return !vendorId.empty(); }
    bool operator==(const SerialDeviceInfo&) const = default;
};

// The serial devices under sysRoot/class/tty that have a hardware device behind them and a node
// under devRoot, sorted by name in natural order. Virtual consoles and pseudo-terminals have no
// device link and are left out; so are UART slots where the driver found no UART (their "type"
// attribute is 0, PORT_UNKNOWN), which is what most of the kernel's ttyS placeholders are.
std::vector<SerialDeviceInfo> listSerialDevices(const std::string& sysRoot = "/sys",
                                                const std::string& devRoot = "/dev");

// The by-id name of the device that path names (itself when it is one), or path when it has
// none: "/dev/ttyUSB0" -> "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0".
std::string stableDeviceName(const std::string& path, const std::string& devRoot = "/dev");

// Orders names with embedded numbers by value: ttyS2 < ttyS10 < ttyUSB0.
bool naturalLess(std::string_view a, std::string_view b);

// The classic numbering: COM n is /dev/ttyS{n-1}, for n in 1..256.
std::optional<int> comNumberOf(std::string_view path);
// Empty for n outside 1..256.
std::string deviceForComNumber(int n);

}  // namespace pv
