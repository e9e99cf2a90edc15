#include "ports/SerialDeviceList.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

namespace pv {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxComNumber = 256;
// From a tty's device up to its USB device is two steps (port, interface); a few more allow for
// hubs of odd drivers without wandering off through the whole device tree.
constexpr int kMaxWalkUp = 4;

// The first line of a sysfs attribute, without trailing white space; empty when unreadable.
std::string readAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return {};
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' ||
                             line.back() == '\t')) {
        line.pop_back();
    }
    return line;
}

std::string linkTargetName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

// Recent kernels put each UART behind a "serial-base" port and controller device whose drivers
// are called "port" and "ctrl"; the driver worth naming is the one above them.
std::string driverOf(fs::path dir) {
    for (int step = 0; step < kMaxWalkUp && !dir.empty(); ++step, dir = dir.parent_path()) {
        if (linkTargetName(dir / "subsystem") == "serial-base") {
            continue;
        }
        return linkTargetName(dir / "driver");
    }
    return {};
}

// The USB device (the directory with idVendor) above a tty's device, if there is one.
std::optional<fs::path> usbDeviceOf(fs::path dir, const fs::path& stop) {
    for (int step = 0; step <= kMaxWalkUp && !dir.empty() && dir != stop;
         ++step, dir = dir.parent_path()) {
        std::error_code ec;
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            return dir;
        }
        if (dir == dir.parent_path()) {
            break;
        }
    }
    return std::nullopt;
}

std::string describe(const SerialDeviceInfo& d) {
    if (!d.isUsb()) {
        return d.driver.empty() ? d.path : d.path + " - " + d.driver;
    }
    std::string text = d.path + " - ";
    text += d.product.empty() ? "USB device " + d.vendorId + ":" + d.productId : d.product;
    std::string details = d.manufacturer;
    if (!d.serialNumber.empty()) {
        details += (details.empty() ? "serial " : ", serial ") + d.serialNumber;
    }
    if (!details.empty()) {
        text += " (" + details + ")";
    }
    return text;
}

// udev's by-id links, by the node each resolves to.
std::vector<std::pair<fs::path, std::string>> byIdLinks(const std::string& devRoot) {
    std::vector<std::pair<fs::path, std::string>> links;
    std::error_code ec;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(devRoot) / "serial" / "by-id", ec)) {
        const fs::path node = fs::canonical(entry.path(), ec);
        if (!ec) {
            links.emplace_back(node, entry.path().string());
        }
    }
    // Several links may lead to one node; the first by name is taken, every time.
    std::sort(links.begin(), links.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    return links;
}

std::string byIdOf(const std::vector<std::pair<fs::path, std::string>>& links,
                   const fs::path& path) {
    std::error_code ec;
    const fs::path node = fs::canonical(path, ec);
    if (ec) {
        return {};
    }
    for (const auto& [target, link] : links) {
        if (target == node) {
            return link;
        }
    }
    return {};
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// <0, 0, >0 like strcmp, with digit runs compared by value.
int naturalCompare(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            size_t iEnd = i;
            size_t jEnd = j;
            while (iEnd < a.size() && isDigit(a[iEnd])) {
                ++iEnd;
            }
            while (jEnd < b.size() && isDigit(b[jEnd])) {
                ++jEnd;
            }
            // Without leading zeros, the longer run is the larger number; equal lengths compare
            // digit by digit. No conversion, so runs of any length work.
            std::string_view x = a.substr(i, iEnd - i);
            std::string_view y = b.substr(j, jEnd - j);
            x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
            y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
            if (x.size() != y.size()) {
                return x.size() < y.size() ? -1 : 1;
            }
            if (const int c = x.compare(y); c != 0) {
                return c;
            }
            i = iEnd;
            j = jEnd;
        } else {
            if (a[i] != b[j]) {
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
            }
            ++i;
            ++j;
        }
    }
    if (i < a.size() || j < b.size()) {
        return i < a.size() ? 1 : -1;
    }
    return 0;
}

}  // namespace

bool naturalLess(std::string_view a, std::string_view b) {
    const int c = naturalCompare(a, b);
    // "ttyS01" and "ttyS1" are equal by value; plain order keeps the ordering strict.
    return c != 0 ? c < 0 : a < b;
}

std::vector<SerialDeviceInfo> listSerialDevices(const std::string& sysRoot,
                                                const std::string& devRoot) {
    std::vector<SerialDeviceInfo> devices;
    std::error_code ec;
    const fs::path classDir = fs::path(sysRoot) / "class" / "tty";
    fs::directory_iterator it(classDir, ec);
    if (ec) {
        return devices;
    }
    const fs::path sysTop = fs::weakly_canonical(fs::path(sysRoot), ec);
    const auto links = byIdLinks(devRoot);
    for (const fs::directory_entry& entry : it) {
        const fs::path ttyDir = entry.path();
        // Only ttys with hardware behind them have a device link.
        const fs::path device = fs::canonical(ttyDir / "device", ec);
        if (ec) {
            continue;
        }
        if (readAttribute(ttyDir / "type") == "0") {
            continue;
        }
        SerialDeviceInfo info;
        info.name = ttyDir.filename().string();
        // sysfs writes the '/' of nodes in subfolders of /dev as '!'.
        std::string relative = info.name;
        std::replace(relative.begin(), relative.end(), '!', '/');
        info.path = (fs::path(devRoot) / relative).string();
        // A node that is not (or no longer) there cannot be opened, so it is not offered.
        if (!fs::exists(info.path, ec)) {
            continue;
        }
        info.stableId = byIdOf(links, info.path);
        info.driver = driverOf(device);
        if (const auto usb = usbDeviceOf(device, sysTop)) {
            info.vendorId = readAttribute(*usb / "idVendor");
            info.productId = readAttribute(*usb / "idProduct");
            info.manufacturer = readAttribute(*usb / "manufacturer");
            info.product = readAttribute(*usb / "product");
            info.serialNumber = readAttribute(*usb / "serial");
        }
        info.description = describe(info);
        devices.push_back(std::move(info));
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
                  return naturalLess(a.name, b.name);
              });
    return devices;
}

std::string stableDeviceName(const std::string& path, const std::string& devRoot) {
    const std::string byIdFolder = (fs::path(devRoot) / "serial" / "by-id").string() + "/";
    if (path.rfind(byIdFolder, 0) == 0) {
        return path;
    }
    const std::string byId = byIdOf(byIdLinks(devRoot), path);
    return byId.empty() ? path : byId;
}

std::optional<int> comNumberOf(std::string_view path) {
    constexpr std::string_view prefix = "/dev/ttyS";
    if (!path.starts_with(prefix)) {
        return std::nullopt;
    }
    const std::string_view digits = path.substr(prefix.size());
    // Only the spelling deviceForComNumber writes, so the two stay inverse.
    if (digits.empty() || !isDigit(digits[0]) || (digits.size() > 1 && digits[0] == '0')) {
        return std::nullopt;
    }
    int index = 0;
    const auto [end, err] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (err != std::errc() || end != digits.data() + digits.size() || index >= kMaxComNumber) {
        return std::nullopt;
    }
    return index + 1;
}

std::string deviceForComNumber(int n) {
    if (n < 1 || n > kMaxComNumber) {
        return {};
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace pv
