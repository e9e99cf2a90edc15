#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "app/LineMonitor.h"
#include "ports/TtyLine.h"
#include "support/Collect.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

class StartStopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The side boxes are plain values that "read settings" copies.
        view.useWindowControls = true;
        view.hasTerminalWindow = true;
        view.window[0].devicePath = farA.path();
        view.window[1].devicePath = farB.path();
        view.window[1].portNumber = 2;
    }
    PortSettings& windowA() { return view.window[0]; }
    const std::vector<std::string>& messages() { return view.prompt_.messages; }
    const std::vector<std::string>& notices() { return view.prompt_.notices; }
    bool noticed(const std::string& text) {
        return std::find(notices().begin(), notices().end(), text) != notices().end();
    }

    PtyPair farA, farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
};

TEST_F(StartStopTest, NoTypeSelectedOpensNothing) {
    windowA().serial = false;
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0],
              "You have to select at least one communication type (Serial / Ethernet / Virtual)");
    EXPECT_EQ(monitor.sides().side(Side::A).port.fd(), -1);
    EXPECT_FALSE(monitor.sides().side(Side::A).started);
}

TEST_F(StartStopTest, TypedRateIsTakenAtStartAndStoredPrefixRateOpensAsIs) {
    view.baud[0].editText = "250000";
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(monitor.sides().settings(Side::A).baud, 250000);
    EXPECT_EQ(getTtySpeed(farA.slave()), 250000);
    EXPECT_EQ(view.baud[0].listIndex, 0) << "\"special\"";

    PortSettings stored = view.window[1];
    stored.baud = 960;
    monitor.sides().WriteSettings(Side::B, stored);
    EXPECT_EQ(view.baud[1].listIndex, 5) << "960 selects \"9600\" by prefix";
    EXPECT_EQ(view.baud[1].editText, "960");
    view.window[1].baud = 960;
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    EXPECT_EQ(getTtySpeed(farB.slave()), 960);
    EXPECT_EQ(view.baud[1].listIndex, 0);
}

TEST_F(StartStopTest, RateBelowTheDriverMinimumPassesGetItButFailsTheOpen) {
    view.baud[0].editText = "50";
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(monitor.sides().settings(Side::A).baud, 50);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0],
              "Unable to open the port !!!\nMaybe it is in use !\n50 baud is below the lowest "
              "rate, 75 baud.");
    EXPECT_FALSE(monitor.sides().side(Side::A).isSerial);
}

// The fixed texts of a virtual port stay; why it failed stands beneath them.
TEST_F(StartStopTest, AFailedVirtualStartSaysWhy) {
    TempFolder dir;
    const std::string open = dir.file("ports");
    ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
    monitor.sides().setVirtualDirectory(open);
    windowA().serial = false;
    windowA().isVirtual = true;
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    const std::string& text = messages().back();
    EXPECT_EQ(text.rfind("Unable to open the port !!!\nMaybe it is in use !\n\nEnsure, that "
                         "drivers for virtual serial port are installed and registered!\nThe "
                         "virtual port directory '" +
                             open + "' is refused",
                         0),
              0u)
        << text;
}

// A file may set both; the engine, not only the window's boxes, keeps them apart.
TEST_F(StartStopTest, SerialAndVirtualBothSetOpenOnlyTheSerialPort) {
    TempFolder dir;
    monitor.sides().setVirtualDirectory(dir.file("ports"));
    windowA().isVirtual = true;
    ParameterFile& file = monitor.parameters().parameterFile();
    file.setPath(dir.file("both.dat"));
    ASSERT_TRUE(monitor.parameters().SaveParameters());
    ASSERT_TRUE(monitor.parameters().LoadParameters());
    const std::string notice =
        "Comport A: Serial and Virtual exclude each other; Virtual is cleared and the serial port "
        "is used.";
    EXPECT_EQ(notices(), std::vector<std::string>{notice});
    EXPECT_TRUE(monitor.sides().settings(Side::A).serial);
    EXPECT_FALSE(monitor.sides().settings(Side::A).isVirtual);

    // The window here still shows both: the start keeps them apart as well.
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(notices().size(), 2u);
    EXPECT_TRUE(monitor.sides().side(Side::A).isSerial);
    EXPECT_FALSE(monitor.sides().side(Side::A).isVirtual);
    EXPECT_FALSE(monitor.sides().side(Side::A).virtualPort->isOpen());
}

// Counted by the driver, read once a second, said once per kind and shown per side.
TEST_F(StartStopTest, LineErrorsAreNoticedShownAndSummedUpAtTheStop) {
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    const int fdA = monitor.sides().side(Side::A).port.fd();
    const std::string a = farA.path();
    monitor.sides().checkLineErrors();
    EXPECT_TRUE(notices().empty());

    lines.count(fdA, {.frame = 2, .overrun = 1});
    monitor.sides().checkLineErrors();
    EXPECT_EQ(notices(),
              (std::vector<std::string>{
                  "Comport A ('" + a +
                      "'): overrun - received bytes were lost before they could be read (use "
                      "flow control or a lower baud rate).",
                  "Comport A ('" + a +
                      "'): framing errors - check the baud rate and the frame format."}));
    EXPECT_EQ(view.lineErrors[0], "1 overrun, 2 framing errors");
    EXPECT_EQ(view.lineErrors[1], "");

    lines.count(fdA, {.bufferOverrun = 3});
    monitor.sides().checkLineErrors();
    EXPECT_EQ(notices().size(), 3u);
    EXPECT_EQ(notices().back(), notices().front()) << "the same kind, the same text";
    EXPECT_EQ(view.lineErrors[0], "4 overruns, 2 framing errors");

    monitor.sides().StopSide(Side::A);
    EXPECT_EQ(notices().back(), "Comport A ('" + a +
                                    "'): line errors while it was open: 4 overruns, 2 framing "
                                    "errors.");
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(view.lineErrors[0], "") << "a new start counts afresh";
}

// The device behind a link goes away and comes back as another pty: the side waits meanwhile,
// counts what it could not pass on, and carries bytes again once the link is back. Without
// reopen, a lost device stops its side.
TEST_F(StartStopTest, ALostDeviceIsOpenedAgainWhenItComesBackOrStopsItsSide) {
    TempFolder dir;
    const std::string link = dir.file("ttyPlug");
    auto device = std::make_unique<PtyPair>();
    std::filesystem::create_symlink(device->path(), link);
    windowA().devicePath = link;
    ASSERT_TRUE(windowA().reopen) << "on by default";
    auto deviceB = std::make_unique<PtyPair>();
    const std::string pathB = deviceB->path();
    view.window[1].devicePath = pathB;
    view.window[1].reopen = false;
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    std::vector<Side> lost;
    QObject::connect(&monitor.sides(), &SideControl::sideLost, [&](Side s) { lost.push_back(s); });

    device.reset();
    std::filesystem::remove(link);
    ASSERT_TRUE(waitUntil([&] { return monitor.sides().waitingForDevice(Side::A); }));
    EXPECT_TRUE(noticed("Comport A: the device '" + link +
                        "' failed or was removed.\nComport A waits for it to come back and opens "
                        "it again."));
    EXPECT_TRUE(monitor.sides().side(Side::A).started);
    EXPECT_FALSE(monitor.sides().controlState(Side::A).linesEnabled);
    deviceB->write(bytesOf("lost"));
    ASSERT_TRUE(waitUntil([&] { return monitor.sides().side(Side::A).port.droppedCount() == 4; }));

    device = std::make_unique<PtyPair>();
    std::filesystem::create_symlink(device->path(), link);
    ASSERT_TRUE(waitUntil([&] { return monitor.sides().side(Side::A).isSerial; }));
    EXPECT_FALSE(monitor.sides().waitingForDevice(Side::A));
    EXPECT_TRUE(noticed("Comport A: the device '" + link + "' is back and open again."));
    EXPECT_TRUE(
        noticed("Comport A: 4 bytes for '" + link + "' came while it was away and were dropped."));
    device->write(bytesOf("again"));
    EXPECT_EQ(collect(deviceB->master(), 5), bytesOf("again"));
    deviceB->write(bytesOf("back"));
    EXPECT_EQ(collect(device->master(), 4), bytesOf("back"));
    EXPECT_TRUE(lost.empty());

    // Stopped while it waits, the side stops waiting.
    device.reset();
    ASSERT_TRUE(waitUntil([&] { return monitor.sides().waitingForDevice(Side::A); }));
    monitor.sides().StopSide(Side::A);
    EXPECT_FALSE(monitor.sides().waitingForDevice(Side::A));
    EXPECT_FALSE(monitor.sides().side(Side::A).started);

    deviceB.reset();
    ASSERT_TRUE(waitUntil([&] { return !lost.empty(); }));
    EXPECT_EQ(lost, std::vector<Side>{Side::B});
    EXPECT_FALSE(monitor.sides().side(Side::B).started);
    EXPECT_FALSE(monitor.sides().waitingForDevice(Side::B));
    EXPECT_TRUE(noticed("Comport B: the device '" + pathB +
                        "' failed or was removed.\nComport B has been stopped."));
}

TEST_F(StartStopTest, ControlStatesFollowStartAndStop) {
    auto a = monitor.sides().controlState(Side::A);
    EXPECT_TRUE(a.settingsEnabled && a.startEnabled && !a.stopEnabled && a.linesEnabled);
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    a = monitor.sides().controlState(Side::A);
    EXPECT_TRUE(!a.settingsEnabled && !a.startEnabled && a.stopEnabled && a.linesEnabled);
    EXPECT_TRUE(monitor.sides().controlState(Side::B).terminalEnabled);
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    EXPECT_FALSE(monitor.sides().controlState(Side::B).terminalEnabled);
    monitor.sides().StopSide(Side::B);
    EXPECT_TRUE(monitor.sides().controlState(Side::B).terminalEnabled);
    monitor.sides().StopSide(Side::A);
    a = monitor.sides().controlState(Side::A);
    EXPECT_TRUE(a.settingsEnabled && a.startEnabled && !a.stopEnabled);
}

TEST_F(StartStopTest, ConnectionNamesNameTheDeviceInUse) {
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(monitor.sides().connectionName(Side::A), farA.path());
    view.window[1].devicePath.clear();
    view.window[1].portNumber = 200;  // /dev/ttyS199 does not exist
    EXPECT_FALSE(monitor.sides().StartSide(Side::B));
    EXPECT_EQ(monitor.sides().connectionName(Side::B), "COM200:");
}

TEST_F(StartStopTest, DtrRtsAndAutoActOnARunningSerialSide) {
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    const int fd = monitor.sides().side(Side::A).port.fd();
    windowA().dtr = true;
    monitor.sides().OnDtrBox(Side::A);
    EXPECT_EQ(lines.lines(fd) & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR);
    windowA().rts = true;
    windowA().dtr = false;
    monitor.sides().OnRtsBox(Side::A);
    EXPECT_EQ(lines.lines(fd) & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR | TIOCM_RTS)
        << "the RTS box changes RTS only";
    EXPECT_TRUE(monitor.sides().settings(Side::A).rts);
}

TEST_F(StartStopTest, CtsAndDsrOfOneSideDriveRtsAndDtrOfTheOther) {
    windowA().autoHandshake = true;
    view.window[1].autoHandshake = true;
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    const int fdA = monitor.sides().side(Side::A).port.fd();
    const int fdB = monitor.sides().side(Side::B).port.fd();

    lines.setInputLines(fdA, TIOCM_CTS, true);
    ASSERT_TRUE(waitUntil([&] { return (lines.lines(fdB) & TIOCM_RTS) != 0; }));
    EXPECT_TRUE((view.lineBoxes[{Side::B, ModemLine::Rts}]));
    EXPECT_FALSE((view.lineBoxes[{Side::A, ModemLine::Rts}])) << "B's CTS is low";

    lines.setInputLines(fdB, TIOCM_DSR, true);
    ASSERT_TRUE(waitUntil([&] { return (lines.lines(fdA) & TIOCM_DTR) != 0; }));
    EXPECT_TRUE((view.lineBoxes[{Side::A, ModemLine::Dtr}]));

    lines.setInputLines(fdA, TIOCM_CTS, false);
    ASSERT_TRUE(waitUntil([&] { return (lines.lines(fdB) & TIOCM_RTS) == 0; }));
    EXPECT_FALSE((view.lineBoxes[{Side::B, ModemLine::Rts}]));
}

TEST_F(StartStopTest, NoMirrorUnlessBothSidesRunSerialWithAuto) {
    windowA().autoHandshake = true;
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    const int fdB = monitor.sides().side(Side::B).port.fd();
    lines.setInputLines(monitor.sides().side(Side::A).port.fd(), TIOCM_CTS, true);
    monitor.sides().CtsMirror();
    EXPECT_EQ(lines.lines(fdB) & TIOCM_RTS, 0);
    EXPECT_TRUE(view.lineBoxes.empty());
}

TEST_F(StartStopTest, TerminalStandsInForSideBUntilItCloses) {
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartTerminal());
    EXPECT_EQ(view.terminalOpened, 1);
    EXPECT_TRUE(monitor.sides().side(Side::B).started);
    EXPECT_TRUE(monitor.sides().side(Side::B).isTerminal);
    EXPECT_EQ(monitor.sides().connectionName(Side::B), "Terminal");
    const auto b = monitor.sides().controlState(Side::B);
    EXPECT_TRUE(!b.settingsEnabled && !b.startEnabled && b.stopEnabled && !b.terminalEnabled);
    EXPECT_FALSE(monitor.sides().StartTerminal()) << "only one terminal";

    // Side A may not become a network end while the terminal is side B.
    monitor.sides().StopSide(Side::A);
    windowA().network = true;
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(messages().back(),
              "You want to open a network connection.\nClose terminal window first, because "
              "network connection\nwill not be connected immediately and data cannot be "
              "processed !");

    monitor.sides().OnTerminalClosed();
    EXPECT_EQ(view.terminalClosed, 1);
    EXPECT_FALSE(monitor.sides().side(Side::B).started);
    EXPECT_FALSE(monitor.sides().side(Side::B).isTerminal);
    EXPECT_TRUE(monitor.sides().controlState(Side::B).terminalEnabled);
}

}  // namespace
