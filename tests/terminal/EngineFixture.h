#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/LineMonitor.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/SideSettings.h"
#include "support/WaitUntil.h"
#include "terminal/TerminalTestSupport.h"

namespace pv::test {

// A running engine with side A on a pseudo-terminal and side B the terminal. Side B's settings
// name a device too, which the terminal must leave alone. Every side B block the display step
// gets is noted with its size and time.
class EngineFixture : public ::testing::Test {
  protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override {
        view.hasTerminalWindow = true;
        view.onBlock = [this](Side side) {
            if (side == Side::B) {
                blocksB.push_back(view.shown[1].size() - shownB);
                timesB.push_back(Clock::now());
                shownB = view.shown[1].size();
            }
        };
        monitor.sides().WriteSettings(Side::A, serialOn(farA.path()));
        monitor.sides().WriteSettings(Side::B, serialOn(farB.path()));
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartTerminal());
    }
    TerminalKeyOutcome type(std::string_view typed) {
        TerminalKeyOutcome last;
        for (const TerminalKey& key : keys(typed)) {
            last = terminal().press(key);
        }
        return last;
    }
    // What side A's device has received so far, waiting until it is at least count bytes.
    const std::string& atA(size_t count, int timeoutMs = 10000) {
        waitUntil(
            [&] {
                std::vector<uint8_t> more;
                PtyPair::readFd(farA.master(), more, SIZE_MAX, 0);
                receivedA.append(more.begin(), more.end());
                return receivedA.size() >= count;
            },
            timeoutMs);
        return receivedA;
    }
    static std::string text(const std::vector<uint8_t>& bytes) {
        return {bytes.begin(), bytes.end()};
    }
    std::string screen() { return utf8(terminal().screen().text()); }
    TerminalControl& terminal() { return monitor.terminal(); }
    FileTransfer& transfer() { return monitor.transfer(); }
    TerminalSettings& settings() { return monitor.terminalSettings(); }

    PtyPair farA, farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
    std::string receivedA;
    std::vector<size_t> blocksB;
    std::vector<Clock::time_point> timesB;
    size_t shownB = 0;
};

}  // namespace pv::test
