#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <QElapsedTimer>
#include <mutex>

#include "app/LineMonitor.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

// Line changes with the time they were made, so pulse lengths are measured where they happen.
class TimedTtyBackend : public FakeTtyBackend {
  public:
    TimedTtyBackend() { clock.start(); }
    bool setLines(int fd, int bits, bool on) override {
        std::lock_guard lock(mutex_);
        stamps.push_back(clock.nsecsElapsed() / 1000000.0);
        return FakeTtyBackend::setLines(fd, bits, on);
    }
    double stamp(size_t k) {
        std::lock_guard lock(mutex_);
        return stamps.at(k);
    }

    QElapsedTimer clock;

  private:
    std::mutex mutex_;
    std::vector<double> stamps;
};

TriggerSettings armed(const Bytes& pattern, int postscaler, bool autoDeactivate = true) {
    TriggerSettings s;
    s.active = true;
    s.patternLength = static_cast<int32_t>(pattern.size());
    std::copy(pattern.begin(), pattern.end(), s.pattern.begin());
    s.postscaler = postscaler;
    s.autoDeactivate = autoDeactivate;
    return s;
}

TriggerSettings pulsing(bool dtr, bool high, int durationMs = 100) {
    TriggerSettings s = armed({0x0D, 0x0A}, 1000);
    s.outputActive = true;
    s.lineDtr = dtr;
    s.lineRts = !dtr;
    s.levelHigh = high;
    s.durationMs = durationMs;
    return s;
}

// Side A on a pseudo-terminal whose far end the test writes to.
class TriggerEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        monitor.sides().settings(Side::A).devicePath = farA.path();
        monitor.sides().settings(Side::B).devicePath = farB.path();
    }
    void start(const TriggerSettings& settings) {
        monitor.triggers().DefineTrigger(settings);
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        fdA = monitor.sides().side(Side::A).port.fd();
        linesAtStart = lines.changes().size();
        view.statuses.clear();
    }
    // One block on side A, processed before this returns.
    void sendA(const Bytes& block) {
        const long long before = monitor.sides().side(Side::A).totalShown;
        farA.write(block);
        ASSERT_TRUE(waitUntil([&] {
            return monitor.sides().side(Side::A).totalShown ==
                   before + static_cast<long long>(block.size());
        }));
    }
    std::vector<FakeTtyBackend::Change> pulseChanges() {
        const auto all = lines.changes();
        return {all.begin() + static_cast<std::ptrdiff_t>(linesAtStart), all.end()};
    }

    PtyPair farA;
    PtyPair farB;
    TimedTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    int fdA = -1;
    size_t linesAtStart = 0;
};

TEST_F(TriggerEngineTest, DefinitionShowsWhetherTheTriggerIsArmed) {
    monitor.triggers().DefineTrigger(armed({0x41}, 0));
    monitor.triggers().DefineTrigger(armed({}, 0));
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"Waiting ...", "Inactive"}));
}

TEST_F(TriggerEngineTest, PostscalerRunsOverThreeBlocksThenSwitchesTheOutputOff) {
    start(armed({0x0D, 0x0A}, 5));
    sendA({0x41, 0x0D, 0x0A, 0x42, 0x43});
    EXPECT_EQ(view.statuses, std::vector<std::string>{"Triggered !!!"});
    EXPECT_EQ(view.marks, (std::vector<std::pair<int, int>>{{2, 2}}));
    sendA({0x44, 0x45});
    EXPECT_EQ(view.statuses.size(), 1u);
    EXPECT_EQ(monitor.triggers().trigger().counter(), 4);
    EXPECT_TRUE(monitor.displayStep().outputEnabled());

    sendA({0x46});
    EXPECT_EQ(view.statuses.back(), "Waiting ...");
    EXPECT_EQ(view.shown[0].back(), 0x46) << "the block that re-arms is still shown";
    EXPECT_FALSE(monitor.displayStep().outputEnabled());
    EXPECT_EQ(view.captions, std::vector<std::string>{"Enable"});

    // The trigger goes on checking with the output off, but nothing is shown or marked.
    sendA({0x0D, 0x0A});
    EXPECT_EQ(view.statuses.back(), "Triggered !!!");
    EXPECT_EQ(view.shown[0].size(), 8u);
    EXPECT_EQ(view.marks.size(), 1u);
}

TEST_F(TriggerEngineTest, PatternSplitAcrossBlocksIsMarkedInTheSecond) {
    start(armed({0x0D, 0x0A}, 100));
    sendA({0x41, 0x0D});
    EXPECT_TRUE(view.marks.empty());
    sendA({0x0A, 0x42});
    EXPECT_EQ(view.statuses, std::vector<std::string>{"Triggered !!!"});
    EXPECT_EQ(view.marks, (std::vector<std::pair<int, int>>{{2, 1}}));
}

// Auto Deactivate keeps the picture around an event: it never acts before the first match.
TEST_F(TriggerEngineTest, PostscalerZeroSwitchesTheOutputOffOnlyAfterAMatch) {
    start(armed({0x0D, 0x0A}, 0));
    sendA({0x41});
    EXPECT_TRUE(view.statuses.empty());
    EXPECT_TRUE(monitor.displayStep().outputEnabled());
    sendA({0x0D, 0x0A});
    sendA({0x42});
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"Triggered !!!", "Waiting ..."}));
    EXPECT_FALSE(monitor.displayStep().outputEnabled());
    EXPECT_EQ(view.shown[0], (Bytes{0x41, 0x0D, 0x0A, 0x42}));
    sendA({0x43});
    EXPECT_EQ(view.shown[0].size(), 4u);
    EXPECT_EQ(monitor.sides().side(Side::A).totalShown, 5);
}

TEST_F(TriggerEngineTest, BytesOfSideBNeverFire) {
    start(pulsing(true, true));
    ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    linesAtStart = lines.changes().size();
    farB.write({0x0D, 0x0A, 0x0D});
    ASSERT_TRUE(waitUntil([&] { return view.shown[1].size() == 3; }));
    EXPECT_TRUE(view.statuses.empty());
    EXPECT_TRUE(view.marks.empty());
    EXPECT_TRUE(pulseChanges().empty());
    EXPECT_FALSE(monitor.triggers().pulseRunning());
    EXPECT_EQ(monitor.triggers().trigger().heldLength(), 0);
}

// The pulse puts the selected line at its level and, after the duration, at the opposite level,
// whatever it was before; the other line and the window's line boxes stay as they are.
TEST_F(TriggerEngineTest, PulseOnTheSelectedLine) {
    struct Case {
        bool dtr;
        bool high;
        bool lineOnBefore;
    };
    const Case cases[] = {{true, true, false}, {false, false, false}, {true, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.dtr ? "DTR " : "RTS ") + (c.high ? "High" : "Low"));
        const int bit = c.dtr ? TIOCM_DTR : TIOCM_RTS;
        monitor.sides().StopSide(Side::A);
        PortSettings& a = monitor.sides().settings(Side::A);
        a.dtr = c.dtr ? c.lineOnBefore : !c.lineOnBefore;
        a.rts = c.dtr ? !c.lineOnBefore : c.lineOnBefore;
        const PortSettings before = a;
        start(pulsing(c.dtr, c.high));
        const int otherBits = lines.lines(fdA) & ~bit;

        sendA({0x0D, 0x0A});
        EXPECT_EQ(monitor.triggers()
                      .triggerTimer(c.dtr ? TriggerControl::kDtr : TriggerControl::kRts)
                      .interval(),
                  100);
        ASSERT_TRUE(waitUntil([&] { return pulseChanges().size() == 2; }));
        const auto changes = pulseChanges();
        EXPECT_EQ(changes[0].bit, bit);
        EXPECT_EQ(changes[0].on, c.high);
        EXPECT_EQ(changes[1].bit, bit);
        EXPECT_EQ(changes[1].on, !c.high);
        EXPECT_GE(lines.stamp(linesAtStart + 1) - lines.stamp(linesAtStart), 100.0);
        EXPECT_FALSE(monitor.triggers().pulseRunning());
        EXPECT_EQ((lines.lines(fdA) & bit) != 0, !c.high);
        EXPECT_EQ(lines.lines(fdA) & ~bit, otherBits);
        EXPECT_EQ(monitor.sides().settings(Side::A).dtr, before.dtr);
        EXPECT_EQ(monitor.sides().settings(Side::A).rts, before.rts);
        EXPECT_TRUE(view.lineBoxes.empty());
    }
}

// A long pulse, so a busy machine cannot end it before the second match arrives.
TEST_F(TriggerEngineTest, SecondMatchDuringAPulseLengthensIt) {
    start(pulsing(true, true, 300));
    sendA({0x0D, 0x0A});
    ASSERT_EQ(pulseChanges().size(), 1u);
    const double firstOn = lines.stamp(linesAtStart);
    ASSERT_TRUE(waitUntil([&] { return lines.clock.elapsed() >= firstOn + 50; }));
    ASSERT_EQ(pulseChanges().size(), 1u) << "the pulse ended before 50 ms";
    sendA({0x0D, 0x0A});
    ASSERT_TRUE(waitUntil([&] { return pulseChanges().size() == 3; }));
    const auto changes = pulseChanges();
    EXPECT_TRUE(changes[1].on) << "the second match sets the pulse level again";
    EXPECT_FALSE(changes[2].on);
    const double secondOn = lines.stamp(linesAtStart + 1);
    EXPECT_GE(secondOn - firstOn, 50.0);
    EXPECT_GE(lines.stamp(linesAtStart + 2) - secondOn, 300.0);
}

// The definition switches lines while a pulse runs: each pulse still ends on its own line, at the
// opposite of its own level, after its own duration.
TEST_F(TriggerEngineTest, APulseEndsOnItsLineWhenTheDefinitionSwitchesLines) {
    struct Case {
        bool firstDtr, firstHigh, secondHigh;
    };
    for (const Case& c : {Case{true, true, true}, Case{false, false, true}}) {
        SCOPED_TRACE(c.firstDtr ? "DTR, then RTS" : "RTS, then DTR");
        monitor.sides().StopSide(Side::A);
        start(pulsing(c.firstDtr, c.firstHigh, 500));
        sendA({0x0D, 0x0A});
        monitor.triggers().DefineTrigger(pulsing(!c.firstDtr, c.secondHigh, 50));
        sendA({0x0D, 0x0A});
        ASSERT_TRUE(waitUntil([&] { return !monitor.triggers().pulseRunning(); }));
        const auto changes = pulseChanges();
        ASSERT_EQ(changes.size(), 4u);
        const int first = c.firstDtr ? TIOCM_DTR : TIOCM_RTS;
        const int second = c.firstDtr ? TIOCM_RTS : TIOCM_DTR;
        EXPECT_EQ(changes[2].bit, second) << "the shorter second pulse ends first";
        EXPECT_EQ(changes[3].bit, first);
        EXPECT_EQ((lines.lines(fdA) & first) != 0, !c.firstHigh);
        EXPECT_EQ((lines.lines(fdA) & second) != 0, !c.secondHigh);
        EXPECT_GE(lines.stamp(linesAtStart + 3) - lines.stamp(linesAtStart), 500.0);
    }
}

// A side A that is no open serial port gets no pulse, but the timer runs all the same.
TEST_F(TriggerEngineTest, PulseWithoutAnOpenPortOnlyRunsTheTimer) {
    monitor.triggers().DefineTrigger(pulsing(false, true, 30));
    PortSide& a = monitor.sides().side(Side::A);
    a.captureBuffer[0] = 0x0D;
    a.captureBuffer[1] = 0x0A;
    a.captureCount = 2;
    monitor.receivePath().ProcessBlockA();
    EXPECT_EQ(view.statuses.back(), "Triggered !!!");
    EXPECT_TRUE(monitor.triggers().pulseRunning());
    ASSERT_TRUE(waitUntil([&] { return !monitor.triggers().pulseRunning(); }));
    EXPECT_TRUE(lines.changes().empty());
}

}  // namespace
