#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "app/LineMonitor.h"
#include "base/Version.h"
#include "recording/FakeLogClock.h"
#include "support/FakeTtyBackend.h"
#include "support/FakeView.h"
#include "support/PtyPair.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

using namespace pv;

namespace {

class LoggingControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.ok());
        clock_.setLocal(2026, 12, 7, 9, 19, 2, 45);
        monitor.logging().logWriter().setClock(clock_);
        monitor.logging().logWriter().setOwnerName("tester");
        monitor.sides().settings(Side::A).devicePath = farA.path();
        monitor.sides().settings(Side::B).devicePath = farB.path();
    }
    std::string path() const { return folder_.file("run.log"); }
    std::string contents() const { return readWholeFile(path()); }
    static std::string header() {
        return std::string("Logfile PortaVigilant Version ") + kVersion +
               "\r\nMore information can be found at : " + kProductWebPage +
               "\r\ncreated : 07.12.2026 09:19:02 by tester\r\n"
               "Remember to use a non-proportional characterset to view correctly !\r\n\r\n";
    }
    void startBoth() {
        ASSERT_TRUE(monitor.sides().StartSide(Side::A));
        ASSERT_TRUE(monitor.sides().StartSide(Side::B));
    }
    // Both sides run and log as plain ASCII into path().
    void logPlain() {
        LogSettings plain;
        plain.mode = LogMode::PlainAscii;
        monitor.logging().ApplyLogSettings(plain);
        startBoth();
        ASSERT_TRUE(monitor.logging().StartLogging(path()));
    }
    // Sends bytes from a far end and waits until the monitor has passed them on.
    void send(const PtyPair& far, Side s, const std::string& text) {
        const long long before = monitor.sides().side(s).totalShown;
        far.write(bytesOf(text));
        ASSERT_TRUE(waitUntil([&] {
            return monitor.sides().side(s).totalShown ==
                   before + static_cast<long long>(text.size());
        }));
    }

    TempFolder folder_{"pv-logctl"};
    FakeLogClock clock_;
    PtyPair farA;
    PtyPair farB;
    FakeTtyBackend lines;
    FakeView view;
    LineMonitor monitor{view, lines};
};

TEST_F(LoggingControlTest, StartAsksForAFileWithTheDefaultNameAndCancelChangesNothing) {
    EXPECT_FALSE(monitor.logging().OnLoggingStart());
    ASSERT_EQ(view.prompt_.fileRequests.size(), 1u);
    const FileDialogRequest& request = view.prompt_.fileRequests[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.initialPath, "PortaVigilant_261207_0919.log");
    EXPECT_EQ(request.filter,
              "Log files (*.log)|*.log|Data files (*.dat)|*.dat|All files (*.*)|*.*||");
    EXPECT_EQ(request.defaultExtension, "*.log");
    EXPECT_FALSE(monitor.logging().loggingActive());
    EXPECT_TRUE(monitor.logging().loggingMenuState().startEnabled);
    EXPECT_FALSE(monitor.logging().loggingMenuState().stopEnabled);
    EXPECT_EQ(view.loggingChanges, 0);
    EXPECT_TRUE(view.prompt_.messages.empty());
}

TEST_F(LoggingControlTest, MenuStatesAndTheIndicatorFollowStartAndStop) {
    view.prompt_.setNextFileName(path());
    ASSERT_TRUE(monitor.logging().OnLoggingStart());
    EXPECT_TRUE(monitor.logging().loggingActive());
    EXPECT_FALSE(monitor.logging().loggingMenuState().startEnabled);
    EXPECT_TRUE(monitor.logging().loggingMenuState().stopEnabled);
    EXPECT_TRUE(monitor.logging().loggingIndicatorShown());
    EXPECT_EQ(contents(), header());

    // The indicator blinks only while a side runs.
    monitor.logging().OnLoggingBlinkTick();
    EXPECT_TRUE(monitor.logging().loggingIndicatorShown());
    startBoth();
    monitor.logging().OnLoggingBlinkTick();
    EXPECT_FALSE(monitor.logging().loggingIndicatorShown());
    monitor.logging().OnLoggingBlinkTick();
    EXPECT_TRUE(monitor.logging().loggingIndicatorShown());

    monitor.logging().OnLoggingStop();
    EXPECT_FALSE(monitor.logging().loggingActive());
    EXPECT_TRUE(monitor.logging().loggingMenuState().startEnabled);
    EXPECT_FALSE(monitor.logging().loggingMenuState().stopEnabled);
    EXPECT_FALSE(monitor.logging().loggingIndicatorShown());
    monitor.logging().OnLoggingBlinkTick();
    EXPECT_FALSE(monitor.logging().loggingIndicatorShown());
    EXPECT_EQ(view.loggingChanges, 4);
}

TEST_F(LoggingControlTest, AFileThatCannotBeCreatedIsReportedAndLoggingStaysOff) {
    view.prompt_.setNextFileName(folder_.file("no/such/dir.log"));
    EXPECT_FALSE(monitor.logging().OnLoggingStart());
    ASSERT_EQ(view.prompt_.messages.size(), 2u);
    EXPECT_NE(view.prompt_.messages[0].find("dir.log"), std::string::npos);
    EXPECT_EQ(view.prompt_.messages[1], "Unable to create file, sorry !");
    EXPECT_FALSE(monitor.logging().loggingActive());
    EXPECT_TRUE(monitor.logging().loggingMenuState().startEnabled);
}

TEST_F(LoggingControlTest, TrafficOfBothSidesIsLoggedWithTheirConnectionNames) {
    startBoth();
    ASSERT_TRUE(monitor.logging().StartLogging(path()));
    send(farA, Side::A, "AT\r");
    send(farB, Side::B, "OK\r\n");
    monitor.logging().OnLoggingStop();
    // Default options: stamp, side and connection name; ASCII symbols from column 0, Hex
    // symbols from 3 * 16 + 10.
    const auto row = [](std::string ascii, const std::string& hex) {
        ascii.resize(58, ' ');
        return ascii + hex + "\r\n";
    };
    EXPECT_EQ(contents(), header() + "07.12.2026 09:19:02     Comport A ('" + farA.path() +
                              "')\r\n" + row("AT\x7F", "41 54 CR") +
                              "07.12.2026 09:19:02     Comport B ('" + farB.path() + "')\r\n" +
                              row("OK\x7F\x7F", "4F 4B CR LF"));
}

TEST_F(LoggingControlTest, OnlyChosenSidesAreLoggedAndNothingWhileTheOutputIsOff) {
    LogSettings settings;
    settings.mode = LogMode::PlainAscii;
    settings.logB = false;
    monitor.logging().ApplyLogSettings(settings);
    startBoth();
    ASSERT_TRUE(monitor.logging().StartLogging(path()));
    send(farA, Side::A, "one ");
    send(farB, Side::B, "not logged ");
    monitor.displayStep().setOutputEnabled(false);
    send(farA, Side::A, "hidden ");
    monitor.displayStep().setOutputEnabled(true);
    settings.logB = true;
    monitor.logging().ApplyLogSettings(settings);
    send(farB, Side::B, "two");
    monitor.logging().OnLoggingStop();
    send(farA, Side::A, "after stop");
    EXPECT_EQ(contents(), header() + "one two");
}

// Log rotation renames the file (or deletes it) while logging runs: the timer's check goes on
// in a file of the configured name; a path that cannot be opened again stops logging.
TEST_F(LoggingControlTest, AMovedLogGoesOnUnderItsNameAndOneThatCannotStopsLogging) {
    logPlain();
    send(farA, Side::A, "before ");
    ASSERT_EQ(std::rename(path().c_str(), folder_.file("run.log.1").c_str()), 0);
    ASSERT_TRUE(
        waitUntil([&] { return !view.prompt_.notices.empty(); }, 3 * LoggingControl::kFileCheckMs));
    EXPECT_EQ(view.prompt_.notices,
              std::vector<std::string>{"The log file '" + path() +
                                       "' was renamed or deleted; logging goes on in a file of "
                                       "that name."});
    send(farA, Side::A, "after");
    EXPECT_EQ(contents(), header() + "after");

    ASSERT_EQ(std::remove(path().c_str()), 0);
    ASSERT_EQ(::mkdir(path().c_str(), 0700), 0);
    monitor.logging().checkLogFile();
    EXPECT_FALSE(monitor.logging().loggingActive());
    EXPECT_TRUE(monitor.logging().loggingFailed());
    EXPECT_FALSE(monitor.logging().fileCheckTimer().isActive());
    ASSERT_EQ(view.prompt_.notices.size(), 2u);
    EXPECT_NE(view.prompt_.notices[1].find("Logging has been stopped."), std::string::npos);
    ASSERT_TRUE(monitor.logging().StartLogging(folder_.file("next.log")));
    EXPECT_FALSE(monitor.logging().loggingFailed());
}

// What eXchange holds back at the close is forwarded, and logged, before logging stops: the log
// has every byte side B got.
TEST_F(LoggingControlTest, ClosingLogsTheBytesExchangeHeldBack) {
    ExchangeSetFields set;
    set.active = true;
    set.searchText = "ABC";
    set.replaceText = "-";
    monitor.exchange().settings().storeSet(1, exchangeSetOfFields(set));
    monitor.exchange().settings().RebuildPassCopies();
    logPlain();
    PortSide& a = monitor.sides().side(Side::A);
    for (char c : std::string("xAB")) {
        a.captureBuffer[static_cast<size_t>(a.captureCount++)] = static_cast<uint8_t>(c);
    }
    monitor.exchange().ExchangePass();
    ASSERT_TRUE(monitor.exchange().holding());
    monitor.stopAll();
    EXPECT_EQ(contents(), header() + "xAB");
    EXPECT_EQ(view.shown[0], bytesOf("xAB"));
}

}  // namespace
