#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "app/LineMonitor.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/SideSettings.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

// Reads count bytes from a far end on a thread while the event loop runs.
std::vector<uint8_t> collect(int fd, size_t count, int timeoutMs = 10000) {
    std::vector<uint8_t> got;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        PtyPair::readFd(fd, got, count, timeoutMs);
        done = true;
    });
    waitUntil([&] { return done.load(); }, timeoutMs + 1000);
    reader.join();
    return got;
}

// Instance 1: side A serial, side B the TCP server. Instance 2: side A the TCP client, side B
// serial. A line watched across the network, both ways.
class TcpBridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        one.sides().WriteSettings(Side::A, serialOn(farOneA.path()));
        one.sides().WriteSettings(Side::B, networkOnly());
        one.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
        ASSERT_TRUE(one.sides().StartSide(Side::A));
        ASSERT_TRUE(one.sides().StartSide(Side::B));
        two.sides().WriteSettings(Side::A, networkOnly());
        two.sides().WriteSettings(Side::B, serialOn(farTwoB.path()));
        two.sides().networkSettings() = {false, "127.0.0.1", one.sides().link().listenPort(), ""};
        ASSERT_TRUE(two.sides().StartSide(Side::A)) << viewTwo.prompt_.messages.size();
        ASSERT_TRUE(two.sides().StartSide(Side::B));
        ASSERT_TRUE(waitUntil([&] { return one.sides().link().IsConnected(); }));
    }

    PtyPair farOneA, farTwoB;
    FakeTtyBackend lines;
    FakeView viewOne, viewTwo;
    LineMonitor one{viewOne, lines};
    LineMonitor two{viewTwo, lines};
};

TEST_F(TcpBridgeTest, BytesCrossTheLinkBothWays) {
    const auto forward = randomBytes(100000, 41);
    std::thread writer([&] { farOneA.write(forward); });
    EXPECT_TRUE(collect(farTwoB.master(), forward.size()) == forward);
    writer.join();

    const auto back = randomBytes(30000, 42);
    std::thread writerBack([&] { farTwoB.write(back); });
    EXPECT_TRUE(collect(farOneA.master(), back.size()) == back);
    writerBack.join();

    EXPECT_EQ(viewTwo.shown[0].size(), 100000u) << "network bytes are shown as side A's";
    EXPECT_EQ(viewOne.rated + one.receivePath().takeRxPerSecond(), 100000)
        << "only serial bytes count";
    EXPECT_EQ(viewTwo.rated + two.receivePath().takeRxPerSecond(), 30000);
    EXPECT_TRUE(viewOne.prompt_.messages.empty());
}

TEST_F(TcpBridgeTest, ClosedLinkStopsNetworkOnlySidesAndKeepsSerialOnes) {
    two.sides().StopSide(Side::A);
    ASSERT_TRUE(waitUntil([&] { return !one.sides().side(Side::B).started; }));
    EXPECT_EQ(viewOne.prompt_.notices, std::vector<std::string>{"Socket closed by Client !"});
    EXPECT_TRUE(one.sides().side(Side::A).started);
    EXPECT_TRUE(two.sides().side(Side::B).started);
}

TEST_F(TcpBridgeTest, OneNetworkSidePerInstance) {
    one.sides().StopSide(Side::A);
    one.sides().WriteSettings(Side::A, networkOnly());
    EXPECT_FALSE(one.sides().StartSide(Side::A));
    EXPECT_EQ(viewOne.prompt_.messages,
              std::vector<std::string>{
                  "Only one network connection can be open at the same time !\nComport B is "
                  "already open - Close this one first."});
    EXPECT_FALSE(one.sides().side(Side::A).started);
}

TEST(TcpStart, PortInUseOpensTheLinkFirstAndClosesItAgain) {
    PtyPair far;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    SerialPort holder;
    std::string error;
    ASSERT_TRUE(holder.Open(far.path(), 9600, "N", 8, 1, error));
    PortSettings both = serialOn(far.path());
    both.network = true;
    monitor.sides().WriteSettings(Side::A, both);
    monitor.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    EXPECT_EQ(view.prompt_.messages,
              std::vector<std::string>{"Unable to open the port !!!\nMaybe it is in use !\n'" +
                                       far.path() +
                                       "' is locked by another program, or by the other side of "
                                       "this one."});
    EXPECT_NE(monitor.sides().link().listenPort(), 0) << "the link was opened first";
    EXPECT_FALSE(monitor.sides().link().isListening()) << "and closed again";
    EXPECT_FALSE(monitor.sides().side(Side::A).isNetwork);
}

TEST(TcpStart, PeerSideMustBeConnectedBeforeTheOtherSideStarts) {
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    PtyPair far;
    monitor.sides().WriteSettings(Side::B, networkOnly());
    monitor.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    PortSettings both = serialOn(far.path());
    both.network = true;
    monitor.sides().WriteSettings(Side::A, both);
    EXPECT_FALSE(monitor.sides().StartSide(Side::A));
    ASSERT_EQ(view.prompt_.messages.size(), 2u);
    EXPECT_EQ(view.prompt_.messages[1],
              "Before starting Comport A ensure that Comport B is connected via network !\n"
              "Otherwise the data, received by Comport A cannot be processed to Comport B !");
}

// Side A a virtual port that another program opens, side B a serial port.
TEST(VirtualBridge, AnotherProgramTalksThroughTheMonitor) {
    TempFolder dir;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    monitor.sides().setVirtualDirectory(dir.file("ports"));
    PtyPair farB;
    PortSettings virtualA;
    virtualA.serial = false;
    virtualA.isVirtual = true;
    virtualA.portNumber = 5;
    monitor.sides().WriteSettings(Side::A, virtualA);
    monitor.sides().WriteSettings(Side::B, serialOn(farB.path()));
    ASSERT_TRUE(monitor.sides().StartSide(Side::A)) << view.prompt_.messages.size();
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    EXPECT_EQ(monitor.sides().connectionName(Side::A), "VirtualCOM5:");

    const std::string link = dir.file("ports/COM5");
    const int program = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(program, 0);
    termios tio{};
    ::tcgetattr(program, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(program, TCSANOW, &tio);

    const auto request = randomBytes(1 << 20, 51);
    std::thread writer([&] {
        size_t done = 0;
        while (done < request.size()) {
            const ssize_t n = ::write(program, request.data() + done, request.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            }
        }
    });
    EXPECT_TRUE(collect(farB.master(), request.size(), 20000) == request);
    writer.join();

    const auto reply = randomBytes(1 << 20, 52);
    std::thread writerB([&] { farB.write(reply); });
    EXPECT_TRUE(collect(program, reply.size(), 20000) == reply);
    writerB.join();
    ::close(program);

    monitor.sides().StopSide(Side::A);
    EXPECT_FALSE(monitor.sides().side(Side::A).isVirtual);
    EXPECT_TRUE(view.prompt_.messages.empty());
}

}  // namespace
