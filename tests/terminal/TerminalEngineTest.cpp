#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/LineMonitor.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/SideSettings.h"
#include "support/WaitUntil.h"
#include "terminal/TerminalTestSupport.h"

using namespace pv;

namespace {

// The main window as the engine sees it, with a terminal window that opens on request; it
// notes the blocks of each side as the display step hands them over.
class TerminalView : public FakeView {
  public:
    TerminalView() {
        onBlock = [this](Side side) {
            const auto& bytes = shown[side == Side::A ? 0 : 1];
            blocks[side == Side::A ? 0 : 1].push_back(bytes.size());
        };
    }
    bool openTerminalWindow() override { return ++opened > 0; }
    void closeTerminalWindow() override { ++closed; }
    std::string shownText(Side side) const {
        const auto& bytes = shown[side == Side::A ? 0 : 1];
        return {bytes.begin(), bytes.end()};
    }
    int opened = 0;
    int closed = 0;
    std::vector<size_t> blocks[2];  // the side's byte count after each block
};

std::string text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

class TerminalEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        monitor.sides().WriteSettings(Side::A, serialOn(farA.path()));
        // Side B names a device; as the terminal it must leave it alone.
        monitor.sides().WriteSettings(Side::B, serialOn(farB.path()));
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartTerminal());
    }
    TerminalKeyOutcome type(std::string_view keys) {
        TerminalKeyOutcome last;
        for (const TerminalKey& key : test::keys(keys)) {
            last = terminal().press(key);
        }
        return last;
    }
    // What side A's device has received so far, waiting until it is at least count bytes.
    const std::string& atA(size_t count, int timeoutMs = 5000) {
        waitUntil(
            [&] {
                std::vector<uint8_t> more;
                PtyPair::readFd(farA.master(), more, SIZE_MAX, 0);
                receivedA += text(more);
                return receivedA.size() >= count;
            },
            timeoutMs);
        return receivedA;
    }
    std::string screen() { return test::utf8(terminal().screen().text()); }
    TerminalControl& terminal() { return monitor.terminal(); }
    TerminalSettings& settings() { return monitor.terminalSettings(); }

    PtyPair farA, farB;
    FakeTtyBackend lines;
    TerminalView view;
    LineMonitor monitor{view, lines};
    std::string receivedA;
};

TEST_F(TerminalEngine, TypedKeysReachSideAAsSideBBlocksAndSideABytesReachOnlyTheTerminal) {
    settings().termEcho = true;
    EXPECT_EQ(type("AT<CR>").refusal, "");
    EXPECT_EQ(atA(4), "AT\r\n");
    EXPECT_EQ(view.shownText(Side::B), "AT\r\n") << "shown and logged as side B's";
    EXPECT_EQ(view.blocks[1], (std::vector<size_t>{1, 2, 4})) << "one block per key";

    farA.write(bytesOf("\x1B[32mOK\x1B[0m\r\n"));
    ASSERT_TRUE(waitUntil([&] { return screen() == "AT\nOK\n"; })) << screen();
    EXPECT_EQ(view.shownText(Side::A), "\x1B[32mOK\x1B[0m\r\n");
    const PortSide& b = monitor.sides().side(Side::B);
    EXPECT_EQ(b.channels, std::vector<Channel*>{&terminal().channel()});
    EXPECT_EQ(b.port.fd(), -1);
    std::vector<uint8_t> atB;
    PtyPair::readFd(farB.master(), atB, SIZE_MAX, 0);
    EXPECT_TRUE(atB.empty());
}

// Side A's device takes nothing for a while: the paste waits in the terminal instead of
// piling up toward side A, and the keys typed meanwhile come after it, nothing lost.
TEST_F(TerminalEngine, ALongPasteWaitsForSideAAndKeysTypedMeanwhileFollowIt) {
    settings().enterMode = 2;
    std::u16string paste;
    std::string expected;
    for (int line = 0; expected.size() < (4u << 20); ++line) {
        const std::string row = "line " + std::to_string(line) + " of a long paste\n";
        expected += row;
        paste.append(row.begin(), row.end());
    }
    EXPECT_EQ(terminal().paste(paste), "");
    type("xyz");
    expected += "xyz";
    ASSERT_TRUE(waitUntil([&] { return monitor.receivePath().pressured(Side::A); }));
    EXPECT_GT(terminal().channel().pendingInput(), 3u << 20);
    EXPECT_LE(monitor.receivePath().backlog(Side::A), Channel::kHighWater + PortSide::kCaptureSize);

    const std::string& got = atA(expected.size(), 60000);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(terminal().channel().pendingInput(), 0u);
}

TEST_F(TerminalEngine, ClosingAndStopBothWaysAndWhatTheyDoToWaitingInput) {
    // The window's close box: side B stops, input not yet sent is dropped and said.
    terminal().paste(std::u16string(2u << 20, u'x'));
    ASSERT_GT(terminal().channel().pendingInput(), 0u);
    monitor.sides().OnTerminalClosed();
    EXPECT_EQ(view.closed, 1);
    EXPECT_FALSE(terminal().running());
    EXPECT_FALSE(monitor.sides().side(Side::B).started);
    EXPECT_TRUE(monitor.sides().side(Side::B).channels.empty());
    EXPECT_EQ(terminal().channel().pendingInput(), 0u);
    ASSERT_FALSE(view.prompt_.notices.empty());
    EXPECT_NE(view.prompt_.notices.back().find("had not reached Comport A"), std::string::npos);

    // Opened again it starts empty; Stop B closes it.
    terminal().screen().show("old");
    ASSERT_TRUE(monitor.sides().StartTerminal());
    EXPECT_EQ(view.opened, 2);
    EXPECT_EQ(screen(), "");
    monitor.sides().StopSide(Side::B);
    EXPECT_EQ(view.closed, 2);
    EXPECT_TRUE(monitor.sides().controlState(Side::B).terminalEnabled);
}

TEST_F(TerminalEngine, InputWhileSideAIsStoppedIsShownAsSentAndTheWindowSaysSo) {
    monitor.sides().StopSide(Side::A);
    EXPECT_EQ(type("x").refusal, "Comport A is not started - input is not sent");
    ASSERT_TRUE(waitUntil([&] { return view.shownText(Side::B) == "x"; }));
    EXPECT_EQ(terminal().paste(u"y"), "Comport A is not started - input is not sent");
    EXPECT_EQ(type("<F5>").refusal, "") << "a key that sends nothing says nothing";
}

TEST(TerminalStart, IsRefusedWhileANetworkSideAHasNoPeer) {
    TerminalView view;
    FakeTtyBackend lines;
    LineMonitor monitor{view, lines};
    monitor.sides().WriteSettings(Side::A, networkOnly());
    monitor.sides().networkSettings() = {true, "127.0.0.1", 0, "127.0.0.1"};
    ASSERT_TRUE(monitor.sides().StartSide(Side::A));
    EXPECT_FALSE(monitor.sides().StartTerminal());
    EXPECT_EQ(view.prompt_.messages,
              std::vector<std::string>{
                  "Before opening terminal window ensure that Comport A is connected via network "
                  "!\nOtherwise the data, received by the terminal window cannot be processed to "
                  "Comport A !"});
    EXPECT_EQ(view.opened, 0);
    EXPECT_FALSE(monitor.sides().side(Side::B).started);
    EXPECT_FALSE(monitor.terminal().running());
}

}  // namespace
