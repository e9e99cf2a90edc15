#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <QTest>
#include <atomic>
#include <thread>

#include "app/LineMonitor.h"
#include "base/CommandIds.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

// Two pseudo-terminals as the two serial devices; the test holds their far ends.
class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        monitor.sides().settings(Side::A).devicePath = farA.path();
        monitor.sides().settings(Side::B).devicePath = farB.path();
    }
    void startBoth() {
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    }
    // Reads count bytes from a far end while the main thread keeps handling events.
    static std::vector<uint8_t> collect(const PtyPair& far, size_t count, int timeoutMs = 20000) {
        std::vector<uint8_t> got;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            got = far.read(count, timeoutMs);
            done = true;
        });
        EXPECT_TRUE(waitUntil([&] { return done.load(); }, timeoutMs + 1000));
        reader.join();
        return got;
    }

    PtyPair farA;
    PtyPair farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
};

TEST_F(BridgeTest, BytesPassBothWaysUnchangedAndAreShownInTheirSide) {
    startBoth();
    const auto toB = randomBytes(3000, 11);
    farA.write(toB);
    EXPECT_EQ(collect(farB, toB.size()), toB);
    const auto toA = randomBytes(2000, 12);
    farB.write(toA);
    EXPECT_EQ(collect(farA, toA.size()), toA);

    EXPECT_EQ(view.shown[0], toB);
    EXPECT_EQ(view.shown[1], toA);
    EXPECT_EQ(monitor.sides().side(Side::A).totalShown, 3000);
    EXPECT_EQ(monitor.sides().side(Side::B).totalShown, 2000);
    EXPECT_EQ(view.rated + monitor.receivePath().takeRxPerSecond(), 5000);
    EXPECT_EQ(monitor.receivePath().takeRxPerSecond(), 0);
    EXPECT_TRUE(view.prompt_.messages.empty());
}

TEST_F(BridgeTest, FourMegabytesEachWayAtOnceArriveComplete) {
    startBoth();
    const size_t size = 4 * 1024 * 1024;
    const auto toB = randomBytes(size, 21);
    const auto toA = randomBytes(size, 22);
    std::vector<uint8_t> atB, atA;
    std::atomic<int> done{0};
    std::thread writeA([&] { farA.write(toB); });
    std::thread writeB([&] { farB.write(toA); });
    std::thread readB([&] {
        atB = farB.read(size, 20000);
        ++done;
    });
    std::thread readA([&] {
        atA = farA.read(size, 20000);
        ++done;
    });
    EXPECT_TRUE(waitUntil([&] { return done == 2; }, 60000));
    writeA.join();
    writeB.join();
    readA.join();
    readB.join();
    EXPECT_TRUE(atB == toB) << "A to B: " << atB.size() << " bytes";
    EXPECT_TRUE(atA == toA) << "B to A: " << atA.size() << " bytes";
}

TEST_F(BridgeTest, StoppedSideIsNeitherReadNorWrittenButTheOtherStillShows) {
    startBoth();
    monitor.sides().StopSide(Side::B);
    EXPECT_FALSE(monitor.sides().side(Side::B).started);
    EXPECT_EQ(monitor.sides().side(Side::B).port.fd(), -1);
    farA.write(bytesOf("hello"));
    ASSERT_TRUE(waitUntil([&] { return view.shown[0].size() == 5; }, 3000));
    EXPECT_TRUE(farB.read(1, 100).empty());
}

TEST_F(BridgeTest, LocalEchoReturnsTheBytesToTheirOwnSide) {
    ASSERT_TRUE(monitor.commands().dispatch(Command::LocalEchoA));
    EXPECT_TRUE(monitor.sides().side(Side::A).localEcho);
    EXPECT_EQ(view.checks, (std::vector<std::pair<int, bool>>{{Command::LocalEchoA, true}}));
    startBoth();
    farA.write(bytesOf("ping"));
    EXPECT_EQ(collect(farA, 4), bytesOf("ping"));
    EXPECT_EQ(collect(farB, 4), bytesOf("ping"));
}

TEST_F(BridgeTest, StartRulesAndFailures) {
    PortSettings& a = monitor.sides().settings(Side::A);
    a.serial = false;
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(view.prompt_.messages.back(),
              "You have to select at least one communication type (Serial / Ethernet / Virtual)");

    a.serial = true;
    a.devicePath = "/nonexistent/ttyUSB7";
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(view.prompt_.messages.back(),
              "Unable to open the port !!!\nMaybe it is in use !\n'/nonexistent/ttyUSB7' does not "
              "exist: the device is not connected, or it was removed.");
    EXPECT_FALSE(monitor.sides().side(Side::A).started);
    EXPECT_FALSE(monitor.sides().side(Side::A).isSerial);

    // Both sides on one device: the second open fails because the first holds it.
    a.devicePath = farB.path();
    EXPECT_TRUE(monitor.sides().StartSide(Side::B));
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    EXPECT_TRUE(monitor.sides().side(Side::B).started);
}

TEST_F(BridgeTest, LinesFollowTheSettingsOnStart) {
    monitor.sides().settings(Side::A).dtr = true;
    monitor.sides().settings(Side::A).rts = false;
    monitor.sides().settings(Side::B).rts = true;
    startBoth();
    const int linesA = lines.lines(monitor.sides().side(Side::A).port.fd());
    const int linesB = lines.lines(monitor.sides().side(Side::B).port.fd());
    EXPECT_EQ(linesA & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR);
    EXPECT_EQ(linesB & (TIOCM_DTR | TIOCM_RTS), TIOCM_RTS);
}

TEST_F(BridgeTest, VanishedDeviceStopsItsSideWithANoticeAndNoBusyLoop) {
    monitor.sides().settings(Side::A).reopen = false;
    startBoth();
    farA.releaseSlave();
    farA.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !monitor.sides().side(Side::A).started; }, 3000));
    ASSERT_EQ(view.prompt_.notices.size(), 1u);
    EXPECT_NE(view.prompt_.notices[0].find(farA.path()), std::string::npos);
    EXPECT_TRUE(monitor.sides().side(Side::B).started);

    farB.write(bytesOf("still here"));
    ASSERT_TRUE(waitUntil([&] { return view.shown[1].size() == 10; }, 3000));
    EXPECT_EQ(view.prompt_.notices.size(), 1u);
    EXPECT_TRUE(view.prompt_.messages.empty());
}

TEST_F(BridgeTest, StoppingWhileDataFlowsDoesNotHang) {
    startBoth();
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        const auto chunk = randomBytes(1024, 5);
        while (feeding) {
            pollfd p{farA.master(), POLLOUT, 0};
            if (::poll(&p, 1, 10) > 0) {
                [[maybe_unused]] ssize_t n = ::write(farA.master(), chunk.data(), chunk.size());
            }
        }
    });
    std::thread drain([&] { farB.read(SIZE_MAX, 300); });
    ASSERT_TRUE(waitUntil([&] { return monitor.sides().side(Side::A).totalShown > 20000; }, 5000));
    monitor.sides().StopSide(Side::A);
    monitor.sides().StopSide(Side::B);
    feeding = false;
    feeder.join();
    drain.join();
    EXPECT_FALSE(monitor.sides().side(Side::A).started);
}

}  // namespace
