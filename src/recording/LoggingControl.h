#pragma once

#include <QTimer>
#include <cstdint>
#include <string>

#include "base/CommandTable.h"
#include "base/Prompt.h"
#include "datapath/DisplayStep.h"
#include "datapath/SymbolTables.h"
#include "ports/PortSide.h"
#include "recording/LogSettings.h"
#include "recording/LogWriter.h"

namespace pv {

// Where logging tells how it stands.
class LoggingView {
  public:
    virtual ~LoggingView() = default;
    virtual Prompt& prompt() = 0;
    // Logging started or stopped, or its indicator blinked: the view reads the logging menu
    // state and the indicator from the engine.
    virtual void loggingStateChanged() {}
};

// The Logging menu: "Start" (40011), "Stop" (40041), the settings "Configure..." (40013) hands
// over, the menu states, the blinking indicator, and the writing of each shown block.
class LoggingControl : public BlockLog {
  public:
    // The log shows the panes' symbols; the identifier names the program in its header.
    LoggingControl(LoggingView& view, PortSide& sideA, PortSide& sideB, const SymbolTables& symbols,
                   const std::string& identifier);

    void registerCommands(CommandTable& commands);
    bool OnLoggingStart();
    bool StartLogging(const std::string& path);
    // A log in the given form and of the sides it names; the stored options stay as they are.
    bool StartLogging(const std::string& path, const LogSettings& form);
    void OnLoggingStop();
    void ApplyLogSettings(const LogSettings& settings);
    const LogSettings& logSettings() const { return settings_; }
    // The record the parameter file reads into; ApplyLogSettings(logSettings()) takes it over.
    LogSettings& storedSettings() { return settings_; }
    bool loggingActive() const { return active_; }
    struct LoggingMenuState {
        bool startEnabled = true;
        bool stopEnabled = false;
    };
    LoggingMenuState loggingMenuState() const { return {!active_, active_}; }
    // Timer 1's share: the indicator blinks while logging and a side runs.
    void OnLoggingBlinkTick();
    bool loggingIndicatorShown() const { return blink_; }
    LogWriter& logWriter() { return writer_; }
    const LogWriter& logWriter() const { return writer_; }
    void setConnectionName(Side side, const std::string& name);

    // A log that cannot be written stops at its first failure, said once.
    void logBlock(Side side, const uint8_t* data, int count) override;
    // Logging ended because the file could not be written, since the last start.
    bool loggingFailed() const { return failed_; }
    // Once a second while logging: a log file renamed or deleted (log rotation) is opened again
    // under its name, with a notice; one that cannot be stops logging.
    void checkLogFile();
    static constexpr int kFileCheckMs = 1000;
    const QTimer& fileCheckTimer() const { return fileCheck_; }

  private:
    void stopOnFailure();

    LoggingView& view_;
    PortSide& sideA_;
    PortSide& sideB_;
    const SymbolTables& symbols_;
    const std::string& identifier_;
    LogWriter writer_;
    LogSettings settings_;
    bool active_ = false;
    bool blink_ = false;
    bool failed_ = false;
    QTimer fileCheck_;
};

}  // namespace pv
