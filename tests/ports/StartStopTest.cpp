#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <map>

#include "app/LineMonitor.h"
#include "ports/TtyLine.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
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
    EXPECT_EQ(messages()[0], "Unable to open the port !!!\nMaybe it is in use !");
    EXPECT_FALSE(monitor.sides().side(Side::A).isSerial);
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
