#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "ports/SerialDeviceWatcher.h"
#include "support/FakeSysfs.h"

using namespace pv;

namespace {

void addAdapter(FakeSysfs& sys) {
    sys.addDevice("usb1/1-1", {{"idVendor", "0403"}, {"idProduct", "6001"}}, "usb", "usb");
    sys.addDevice("usb1/1-1/1-1:1.0/ttyUSB0", {}, "ftdi_sio", "usb-serial");
    sys.addTty("ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0");
}

TEST(SerialDeviceWatcher, EmitsOnceWhenADeviceAppearsAndOnceWhenItVanishes) {
    FakeSysfs sys;
    SerialDeviceWatcher watcher(sys.sysRoot(), sys.devRoot());
    ASSERT_TRUE(watcher.watching());
    EXPECT_TRUE(watcher.devices().empty());
    QSignalSpy spy(&watcher, &SerialDeviceWatcher::devicesChanged);

    // As when plugged in: sysfs first, then the node, then udev's links, all in one burst.
    addAdapter(sys);
    sys.addNode("ttyUSB0");
    sys.addDevFile("serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 1; }, 5000));
    ASSERT_EQ(watcher.devices().size(), 1u);
    EXPECT_EQ(watcher.devices()[0].path, sys.devRoot() + "/ttyUSB0");

    // A change in /dev that leaves the list as it is says nothing.
    sys.addDevFile("null");
    watcher.rescan();
    EXPECT_EQ(spy.count(), 1);

    // As when pulled: the node goes first, sysfs after.
    sys.removeNode("ttyUSB0");
    sys.removeTty("ttyUSB0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 2; }, 5000));
    EXPECT_TRUE(watcher.devices().empty());
    watcher.rescan();
    EXPECT_EQ(spy.count(), 2);
}

TEST(SerialDeviceWatcher, PollsWhenTheDeviceFolderCannotBeWatched) {
    FakeSysfs sys;
    const std::string missing = sys.devRoot() + "/not-yet";
    SerialDeviceWatcher watcher(sys.sysRoot(), missing);
    EXPECT_FALSE(watcher.watching());
    QSignalSpy spy(&watcher, &SerialDeviceWatcher::devicesChanged);

    addAdapter(sys);
    sys.addDevFile("not-yet/ttyUSB0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 1; }, 6000));
    EXPECT_EQ(spy.count(), 1);
    ASSERT_EQ(watcher.devices().size(), 1u);
    EXPECT_EQ(watcher.devices()[0].path, missing + "/ttyUSB0");
}

}  // namespace
