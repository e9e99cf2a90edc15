#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ports/SerialDeviceList.h"
#include "support/FakeSysfs.h"

using namespace pv;

namespace {

const std::string kUsbHost = "pci0000:00/0000:00:14.0/usb1";

// A USB device with one interface bound to driver, and a usb-serial port below it when the
// driver is a usb-serial one (cdc_acm puts the tty on the interface itself).
std::string addUsbSerial(FakeSysfs& sys, const std::string& usbDevice,
                         const FakeSysfs::Attributes& usbAttributes, const std::string& driver,
                         const std::string& tty) {
    const std::string usb = kUsbHost + "/" + usbDevice;
    sys.addDevice(usb, usbAttributes, "usb", "usb");
    const std::string interface = usb + "/" + usbDevice + ":1.0";
    sys.addDevice(interface, {{"bInterfaceNumber", "00"}}, driver, "usb");
    std::string ttyDevice = interface;
    if (driver != "cdc_acm") {
        ttyDevice = interface + "/" + tty;
        sys.addDevice(ttyDevice, {}, driver, "usb-serial");
    }
    sys.addTty(tty, ttyDevice);
    sys.addNode(tty);
    return ttyDevice;
}

// A machine with a bit of everything, as seen on PCs with a recent kernel.
void buildMachine(FakeSysfs& sys) {
    addUsbSerial(sys, "1-1",
                 {{"idVendor", "0403"},
                  {"idProduct", "6001"},
                  {"manufacturer", "FTDI"},
                  {"product", "FT232R USB UART"},
                  {"serial", "A50285BI"}},
                 "ftdi_sio", "ttyUSB0");
    addUsbSerial(sys, "1-3",
                 {{"idVendor", "10c4"},
                  {"idProduct", "ea60"},
                  {"manufacturer", "Silicon Labs"},
                  {"product", "CP2102 USB to UART Bridge Controller"}},
                 "cp210x", "ttyUSB1");
    addUsbSerial(sys, "1-2",
                 {{"idVendor", "2341"}, {"idProduct", "0043"}, {"serial", "8573531303635"}},
                 "cdc_acm", "ttyACM0");

    // The mainboard's UART on a recent kernel: behind serial-base controller and port devices.
    sys.addDevice("pnp0/00:01", {}, "serial", "pnp");
    sys.addDevice("pnp0/00:01/00:01:0", {}, "ctrl", "serial-base");
    sys.addDevice("pnp0/00:01/00:01:0/00:01:0.0", {}, "port", "serial-base");
    sys.addTty("ttyS0", "pnp0/00:01/00:01:0/00:01:0.0", {{"type", "4"}});
    sys.addNode("ttyS0");
    // A PCI serial card and the legacy platform device, older layout without serial-base.
    sys.addDevice("pci0000:00/0000:00:16.3", {}, "serial", "pci");
    sys.addTty("ttyS10", "pci0000:00/0000:00:16.3", {{"type", "4"}});
    sys.addNode("ttyS10");
    sys.addDevice("platform/serial8250", {}, "serial8250", "platform");
    for (const char* slot : {"ttyS1", "ttyS3", "ttyS31"}) {
        sys.addTty(slot, "platform/serial8250", {{"type", "0"}});
        sys.addNode(slot);
    }
    sys.addTty("ttyS2", "platform/serial8250", {{"type", "4"}});
    sys.addNode("ttyS2");

    // No hardware behind these.
    for (const char* tty : {"console", "tty", "tty0", "tty1", "ptmx", "ptyp0", "ttyp0"}) {
        sys.addTty(tty, "");
        sys.addNode(tty);
    }
}

TEST(SerialDeviceList, ListsHardwarePortsInNaturalOrderWithDescriptions) {
    FakeSysfs sys;
    buildMachine(sys);
    const std::string dev = sys.devRoot();

    const std::vector<SerialDeviceInfo> devices = listSerialDevices(sys.sysRoot(), dev);

    struct Expected {
        const char* name;
        const char* driver;
        std::string description;
    };
    const Expected expected[] = {
        {"ttyACM0", "cdc_acm", dev + "/ttyACM0 - USB device 2341:0043 (serial 8573531303635)"},
        {"ttyS0", "serial", dev + "/ttyS0 - serial"},
        {"ttyS2", "serial8250", dev + "/ttyS2 - serial8250"},
        {"ttyS10", "serial", dev + "/ttyS10 - serial"},
        {"ttyUSB0", "ftdi_sio", dev + "/ttyUSB0 - FT232R USB UART (FTDI, serial A50285BI)"},
        {"ttyUSB1", "cp210x",
         dev + "/ttyUSB1 - CP2102 USB to UART Bridge Controller (Silicon Labs)"},
    };
    ASSERT_EQ(devices.size(), std::size(expected));
    for (size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(devices[i].name, expected[i].name);
        EXPECT_EQ(devices[i].path, dev + "/" + expected[i].name);
        EXPECT_EQ(devices[i].driver, expected[i].driver);
        EXPECT_EQ(devices[i].description, expected[i].description);
    }
}

TEST(SerialDeviceList, LeavesOutPortsWithoutNodeAndReadsNodesInSubfolders) {
    FakeSysfs sys;
    buildMachine(sys);
    sys.removeNode("ttyUSB1");
    // sysfs spells the '/' of /dev/ttyX/port0 as '!'.
    sys.addDevice("platform/soc-uart", {}, "imx-uart", "platform");
    sys.addTty("ttyX!port0", "platform/soc-uart", {{"type", "1"}});
    sys.addNode("ttyX/port0");

    std::vector<std::string> paths;
    for (const SerialDeviceInfo& d : listSerialDevices(sys.sysRoot(), sys.devRoot())) {
        paths.push_back(d.path);
    }
    const std::string dev = sys.devRoot();
    EXPECT_EQ(paths,
              (std::vector<std::string>{dev + "/ttyACM0", dev + "/ttyS0", dev + "/ttyS2",
                                        dev + "/ttyS10", dev + "/ttyUSB0", dev + "/ttyX/port0"}));
}

// udev's by-id links are what stays with an adapter when it is plugged in elsewhere.
TEST(SerialDeviceList, StableNamesComeFromTheByIdLinks) {
    FakeSysfs sys;
    buildMachine(sys);
    const std::string dev = sys.devRoot();
    const std::string byId = dev + "/serial/by-id/";
    std::filesystem::create_directories(byId);
    const std::string ftdi = byId + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    std::filesystem::create_symlink("../../ttyUSB0", ftdi);
    std::filesystem::create_symlink("../../ttyACM0", byId + "usb-Arduino_8573531303635-if00");
    // A second link to the same node: the first by name is taken, every time.
    std::filesystem::create_symlink("../../ttyACM0", byId + "usb-Arduino_alias-if00");
    std::filesystem::create_symlink("../../ttyGone", byId + "usb-Gone-if00");

    std::map<std::string, std::string> stable;
    for (const SerialDeviceInfo& d : listSerialDevices(sys.sysRoot(), dev)) {
        stable[d.name] = d.stableId;
    }
    EXPECT_EQ(stable["ttyUSB0"], ftdi);
    EXPECT_EQ(stable["ttyACM0"], byId + "usb-Arduino_8573531303635-if00");
    EXPECT_EQ(stable["ttyUSB1"], "") << "no serial number, no by-id link";
    EXPECT_EQ(stable["ttyS0"], "");

    EXPECT_EQ(stableDeviceName(dev + "/ttyUSB0", dev), ftdi);
    EXPECT_EQ(stableDeviceName(ftdi, dev), ftdi);
    EXPECT_EQ(stableDeviceName(dev + "/ttyS0", dev), dev + "/ttyS0");
    EXPECT_EQ(stableDeviceName(dev + "/ttyUSB7", dev), dev + "/ttyUSB7") << "not there";
    EXPECT_EQ(stableDeviceName("/dev/ttyUSB0", "/nonexistent-dev"), "/dev/ttyUSB0");
}

TEST(SerialDeviceList, MissingSysfsGivesEmptyList) {
    EXPECT_TRUE(listSerialDevices("/nonexistent-sys", "/nonexistent-dev").empty());
    FakeSysfs sys;
    EXPECT_TRUE(listSerialDevices(sys.sysRoot(), sys.devRoot()).empty());
}

TEST(SerialDeviceList, NaturalOrder) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"ttyS2", "ttyS10", true},
        {"ttyS10", "ttyS2", false},
        {"ttyACM0", "ttyS0", true},
        {"ttyS10", "ttyUSB0", true},
        {"ttyS", "ttyS0", true},
        {"ttyS0", "ttyS", false},
        {"ttyS1", "ttyS1", false},
        {"ttyS9", "ttyS09", false},
        {"ttyS09", "ttyS9", true},
        {"a2b10", "a2b9", false},
        {"a2b9", "a10b1", true},
        {"", "a", true},
        {"ttyUSB99999999999999999999", "ttyUSB100000000000000000000", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(naturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    }
}

TEST(SerialDeviceList, ComNumbersMapToTtySAndBack) {
    for (int n = 1; n <= 256; ++n) {
        const std::string path = deviceForComNumber(n);
        EXPECT_EQ(comNumberOf(path), n) << path;
    }
    EXPECT_EQ(deviceForComNumber(1), "/dev/ttyS0");
    EXPECT_EQ(deviceForComNumber(256), "/dev/ttyS255");
    EXPECT_EQ(deviceForComNumber(0), "");
    EXPECT_EQ(deviceForComNumber(257), "");
    for (const char* path :
         {"/dev/ttyS256", "/dev/ttyS", "/dev/ttyS01", "/dev/ttyS-1", "/dev/ttyS+1", "/dev/ttyS1x",
          "/dev/ttyUSB0", "ttyS0", "/dev/ttyS 1", "/dev/ttyS99999999999"}) {
        EXPECT_EQ(comNumberOf(path), std::nullopt) << path;
    }
}

}  // namespace
