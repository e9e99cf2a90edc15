#include "support/FakeSysfs.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace pv {

namespace fs = std::filesystem;

namespace {

void writeAttributes(const fs::path& dir, const FakeSysfs::Attributes& attributes) {
    for (const auto& [name, value] : attributes) {
        std::ofstream(dir / name) << value << '\n';
    }
}

// The relative path from one folder to another, as sysfs writes its links.
fs::path linkTo(const fs::path& target, const fs::path& linkDir) {
    return target.lexically_relative(linkDir);
}

}  // namespace

FakeSysfs::FakeSysfs() : root_(folder_.path().string()) {
    if (!folder_.ok()) {
        throw std::runtime_error("mkdtemp failed");
    }
    fs::create_directories(sysRoot() + "/class/tty");
    fs::create_directories(sysRoot() + "/devices/virtual/tty");
    fs::create_directories(sysRoot() + "/bus");
    fs::create_directories(devRoot());
}

void FakeSysfs::addDevice(const std::string& device, const Attributes& attributes,
                          const std::string& driver, const std::string& subsystem) {
    const fs::path dir = fs::path(sysRoot()) / "devices" / device;
    fs::create_directories(dir);
    writeAttributes(dir, attributes);
    const fs::path bus = fs::path(sysRoot()) / "bus" / (subsystem.empty() ? "none" : subsystem);
    if (!driver.empty()) {
        fs::create_directory_symlink(linkTo(bus / "drivers" / driver, dir), dir / "driver");
    }
    if (!subsystem.empty()) {
        fs::create_directory_symlink(linkTo(bus, dir), dir / "subsystem");
    }
}

void FakeSysfs::addTty(const std::string& name, const std::string& device,
                       const Attributes& attributes) {
    const fs::path devices = fs::path(sysRoot()) / "devices";
    const fs::path dir =
        device.empty() ? devices / "virtual" / "tty" / name : devices / device / "tty" / name;
    fs::create_directories(dir);
    writeAttributes(dir, attributes);
    if (!device.empty()) {
        fs::create_directory_symlink(linkTo(devices / device, dir), dir / "device");
    }
    const fs::path classDir = fs::path(sysRoot()) / "class" / "tty";
    fs::create_directory_symlink(linkTo(dir, classDir), classDir / name);
}

void FakeSysfs::removeTty(const std::string& name) {
    const fs::path link = fs::path(sysRoot()) / "class" / "tty" / name;
    fs::remove_all(fs::canonical(link));
    fs::remove(link);
}

void FakeSysfs::addNode(const std::string& name) {
    addDevFile(name);
}

void FakeSysfs::removeNode(const std::string& name) {
    fs::remove(fs::path(devRoot()) / name);
}

void FakeSysfs::addDevFile(const std::string& name) {
    const fs::path file = fs::path(devRoot()) / name;
    fs::create_directories(file.parent_path());
    std::ofstream{file};
}

}  // namespace pv
