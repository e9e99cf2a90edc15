#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineFixture.h"

using namespace pv;

namespace {

using TerminalEngine = test::EngineFixture;

TEST_F(TerminalEngine, TypedKeysReachSideAAsSideBBlocksAndSideABytesReachOnlyTheTerminal) {
    settings().termEcho = true;
    EXPECT_EQ(type("AT<CR>").refusal, "");
    EXPECT_EQ(atA(4), "AT\r\n");
    EXPECT_EQ(text(view.shown[1]), "AT\r\n") << "shown and logged as side B's";
    EXPECT_EQ(blocksB, (std::vector<size_t>{1, 1, 2})) << "one block per key";

    farA.write(bytesOf("\x1B[32mOK\x1B[0m\r\n"));
    ASSERT_TRUE(waitUntil([&] { return screen() == "AT\nOK\n"; })) << screen();
    EXPECT_EQ(text(view.shown[0]), "\x1B[32mOK\x1B[0m\r\n");
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

TEST_F(TerminalEngine, ClosingStoppingAndAStoppedSideA) {
    // The window's close box: side B stops, input not yet sent is dropped and said.
    terminal().paste(std::u16string(2u << 20, u'x'));
    ASSERT_GT(terminal().channel().pendingInput(), 0u);
    monitor.sides().OnTerminalClosed();
    EXPECT_EQ(view.terminalClosed, 1);
    EXPECT_FALSE(terminal().running());
    EXPECT_FALSE(monitor.sides().side(Side::B).started);
    EXPECT_TRUE(monitor.sides().side(Side::B).channels.empty());
    EXPECT_EQ(terminal().channel().pendingInput(), 0u);
    ASSERT_FALSE(view.prompt_.notices.empty());
    EXPECT_NE(view.prompt_.notices.back().find("had not reached Comport A"), std::string::npos);

    // Opened again it starts empty; Stop B closes it.
    terminal().screen().show("old");
    ASSERT_TRUE(monitor.sides().StartTerminal());
    EXPECT_EQ(view.terminalOpened, 2);
    EXPECT_EQ(screen(), "");
    monitor.sides().StopSide(Side::B);
    EXPECT_EQ(view.terminalClosed, 2);
    EXPECT_TRUE(monitor.sides().controlState(Side::B).terminalEnabled);

    // Input while side A is stopped is shown as sent, and the window says so.
    ASSERT_TRUE(monitor.sides().StartTerminal());
    monitor.sides().StopSide(Side::A);
    EXPECT_EQ(type("x").refusal, "Comport A is not started - input is not sent");
    ASSERT_TRUE(waitUntil([&] { return text(view.shown[1]) == "x"; }));
    EXPECT_EQ(terminal().paste(u"y"), "Comport A is not started - input is not sent");
    EXPECT_EQ(type("<F5>").refusal, "") << "a key that sends nothing says nothing";
}

TEST(TerminalStart, IsRefusedWhileANetworkSideAHasNoPeer) {
    FakeView view;
    view.hasTerminalWindow = true;
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
    EXPECT_EQ(view.terminalOpened, 0);
    EXPECT_FALSE(monitor.sides().side(Side::B).started);
    EXPECT_FALSE(monitor.terminal().running());
}

}  // namespace
