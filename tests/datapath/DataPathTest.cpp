#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <functional>
#include <memory>
#include <thread>

#include "app/LineMonitor.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/SideSettings.h"
#include "support/TempFolder.h"
#include "support/TwoWayPump.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

// Runs work on a thread while this thread's event loop runs the engine.
void whileEngineRuns(const std::function<void()>& work, int timeoutMs = 120000) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done.load(); }, timeoutMs));
    worker.join();
}

int openRawClient(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// One instance with two serial sides, or two instances joined by their TCP link; either way
// two far ends the test drives.
class Line {
  public:
    virtual ~Line() = default;
    PtyPair farA, farB;
    FakeTtyBackend lines;
};

class SerialLine : public Line {
  public:
    SerialLine() {
        monitor.sides().WriteSettings(Side::A, serialOn(farA.path()));
        monitor.sides().WriteSettings(Side::B, serialOn(farB.path()));
        EXPECT_TRUE(monitor.sides().StartSide(Side::A));
        EXPECT_TRUE(monitor.sides().StartSide(Side::B));
    }
    FakeView view;
    LineMonitor monitor{view, lines};
};

class LinkedLine : public Line {
  public:
    LinkedLine() {
        one.sides().WriteSettings(Side::A, serialOn(farA.path()));
        one.sides().WriteSettings(Side::B, networkOnly());
        one.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
        EXPECT_TRUE(one.sides().StartSide(Side::A));
        EXPECT_TRUE(one.sides().StartSide(Side::B));
        two.sides().WriteSettings(Side::A, networkOnly());
        two.sides().WriteSettings(Side::B, serialOn(farB.path()));
        two.sides().networkSettings() = {false, "127.0.0.1", one.sides().link().listenPort(), ""};
        EXPECT_TRUE(two.sides().StartSide(Side::A));
        EXPECT_TRUE(two.sides().StartSide(Side::B));
        EXPECT_TRUE(waitUntil([&] { return one.sides().link().IsConnected(); }));
    }
    FakeView viewOne, viewTwo;
    LineMonitor one{viewOne, lines};
    LineMonitor two{viewTwo, lines};
};

TEST(DataPath, EveryByteArrivesInOrderWhileBothEndsSendAtOnce) {
    const std::function<std::unique_ptr<Line>()> setUps[] = {
        [] { return std::make_unique<SerialLine>(); },
        [] { return std::make_unique<LinkedLine>(); },
    };
    unsigned seed = 1;
    for (const auto& setUp : setUps) {
        SCOPED_TRACE(seed);
        const auto line = setUp();
        const Bytes toB = randomBytes(3 << 20, seed), toA = randomBytes(3 << 20, seed + 10);
        TwoWayResult got;
        whileEngineRuns(
            [&] { got = pumpBothWays(line->farA.master(), line->farB.master(), toB, toA, seed); });
        EXPECT_EQ(got.atB.size(), toB.size());
        EXPECT_TRUE(got.atB == toB);
        EXPECT_EQ(got.atA.size(), toA.size());
        EXPECT_TRUE(got.atA == toA);
        ++seed;
    }
}

// Side B's far end takes nothing for a while: the backlog toward B stays bounded because side A
// is no longer read, B's own bytes still pass, and nothing is lost once B reads again.
TEST(DataPath, ASideThatStopsReadingHoldsItsFeederBackAndLosesNothing) {
    for (const bool virtualB : {false, true}) {
        SCOPED_TRACE(virtualB ? "virtual port client" : "serial device");
        TempFolder ports;
        PtyPair farA, farB;
        FakeTtyBackend lines;
        FakeView view;
        LineMonitor monitor{view, lines};
        monitor.sides().setVirtualDirectory(ports.path().string());
        monitor.sides().WriteSettings(Side::A, serialOn(farA.path()));
        PortSettings b = serialOn(farB.path());
        b.serial = !virtualB;
        b.isVirtual = virtualB;
        b.portNumber = 7;
        monitor.sides().WriteSettings(Side::B, b);
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartSide(Side::B));
        const int endB = virtualB ? openRawClient(ports.file("COM7")) : farB.master();
        ASSERT_GE(endB, 0);

        const Bytes toB = randomBytes(2 << 20, 7);
        std::thread writer([&] { farA.write(toB); });  // waits while side A is not read
        ASSERT_TRUE(
            waitUntil([&] { return monitor.sides().side(Side::A).port.readingPaused(); }, 20000));
        EXPECT_TRUE(monitor.receivePath().pressured(Side::B));
        EXPECT_LE(monitor.receivePath().backlog(Side::B), pv::Channel::kQueueBound);

        const Bytes ping = bytesOf("ping");
        ASSERT_EQ(::write(endB, ping.data(), ping.size()), 4);
        Bytes back;
        whileEngineRuns([&] { PtyPair::readFd(farA.master(), back, 4, 5000); });
        EXPECT_EQ(back, ping) << "the other direction never waits behind a full one";

        Bytes atB;
        whileEngineRuns([&] { PtyPair::readFd(endB, atB, toB.size(), 10000); });
        writer.join();
        EXPECT_EQ(atB.size(), toB.size());
        EXPECT_TRUE(atB == toB);
        EXPECT_EQ(monitor.sides().side(Side::B).channels.front()->droppedCount(), 0);
        if (virtualB) {
            ::close(endB);
        }
    }
}

// A front end that runs a nested event loop for every block, as a modal box would, must not
// let a later block overtake or repeat one in hand; a log on a full disk is one notice.
TEST(DataPath, ANestedLoopInTheStepsNeitherReordersNorRepeatsAndAFullDiskIsOneNotice) {
    TempFolder folder;
    SerialLine line;
    line.view.onBlock = [](Side) {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    };
    ASSERT_TRUE(line.monitor.logging().StartLogging(folder.file("run.log")));
    // The file may grow a little past its header, then every write fails as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);

    const Bytes toB = randomBytes(300000, 3), toA = randomBytes(200000, 4);
    TwoWayResult got;
    whileEngineRuns(
        [&] { got = pumpBothWays(line.farA.master(), line.farB.master(), toB, toA, 5); });
    ::setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_TRUE(got.atB == toB) << got.atB.size();
    EXPECT_TRUE(got.atA == toA) << got.atA.size();
    EXPECT_TRUE(line.view.shown[0] == toB);
    EXPECT_FALSE(line.monitor.logging().loggingActive());
    ASSERT_EQ(line.view.prompt_.notices.size(), 1u);
    EXPECT_NE(line.view.prompt_.notices[0].find("Logging has been stopped."), std::string::npos);
    EXPECT_TRUE(line.view.prompt_.messages.empty());
}

// The network half of side B has no peer yet: its serial half gets every byte, the link's
// reason is said once for all the blocks, and the cost when the side stops.
TEST(DataPath, ALinkWithoutAPeerIsReportedOncePerEpisode) {
    PtyPair farA, farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    monitor.sides().WriteSettings(Side::A, serialOn(farA.path()));
    PortSettings b = serialOn(farB.path());
    b.network = true;
    monitor.sides().WriteSettings(Side::B, b);
    monitor.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));

    const Bytes toB = randomBytes(50000, 9);
    Bytes atB;
    std::thread writer([&] {
        for (size_t at = 0; at < toB.size(); at += 500) {
            farA.write(Bytes(toB.begin() + at, toB.begin() + at + 500));
            ::usleep(1000);  // many small blocks, as a device sends them
        }
    });
    whileEngineRuns([&] { PtyPair::readFd(farB.master(), atB, toB.size(), 5000); });
    writer.join();
    EXPECT_TRUE(atB == toB);
    EXPECT_EQ(view.prompt_.notices, std::vector<std::string>{"Socket is not initialised !"});

    monitor.sides().StopSide(Side::B);
    ASSERT_EQ(view.prompt_.notices.size(), 2u);
    EXPECT_EQ(view.prompt_.notices[1],
              "Network: 50000 bytes could not be sent and were dropped (Socket is not "
              "initialised !).");
    EXPECT_TRUE(view.prompt_.messages.empty());
}

// Bytes still queued toward a side that stops get their time to leave; what cannot is counted.
TEST(DataPath, AStoppedSideDrainsItsQueueOrReportsWhatItDropped) {
    for (const bool farReads : {true, false}) {
        SCOPED_TRACE(farReads ? "the far end reads" : "the far end never reads");
        SerialLine line;
        const Bytes toB = randomBytes(100000, 11);
        whileEngineRuns([&] { line.farA.write(toB); });
        ASSERT_TRUE(
            waitUntil([&] { return line.monitor.sides().side(Side::A).totalShown == 100000; }));
        ASSERT_GT(line.monitor.receivePath().backlog(Side::B), 0u);
        line.monitor.sides().StopSide(Side::B);
        EXPECT_TRUE(line.monitor.sides().draining(Side::B));

        Bytes atB;
        if (farReads) {
            whileEngineRuns([&] { PtyPair::readFd(line.farB.master(), atB, toB.size(), 5000); });
        }
        ASSERT_TRUE(waitUntil([&] { return !line.monitor.sides().draining(); }, 5000));
        PtyPair::readFd(line.farB.master(), atB, toB.size(), 100);
        const auto& notices = line.view.prompt_.notices;
        if (farReads) {
            EXPECT_TRUE(atB == toB);
            EXPECT_TRUE(notices.empty());
        } else {
            ASSERT_EQ(notices.size(), 1u);
            const std::string dropped = std::to_string(toB.size() - atB.size());
            EXPECT_EQ(notices[0].rfind("Comport B: " + dropped + " bytes were still waiting", 0),
                      0u)
                << notices[0];
            EXPECT_TRUE(std::equal(atB.begin(), atB.end(), toB.begin())) << "a prefix, in order";
        }
    }
}

}  // namespace
