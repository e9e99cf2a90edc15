// The Logging menu of the main window, run by the engine so that the window, the headless front
// end and the tests share it.
#include "base/CommandIds.h"
#include "base/Prompt.h"
#include "base/TextFormat.h"
#include "datapath/LineMonitor.h"

namespace pv {

namespace {

constexpr const char* kTextCreateFailed = "Unable to create file, sorry !";
constexpr const char* kTextLoggingStopped = "%s\nLogging has been stopped.";
constexpr const char* kLogFileFilter =
    "Log files (*.log)|*.log|Data files (*.dat)|*.dat|All files (*.*)|*.*||";
constexpr const char* kLogDefaultExtension = "*.log";

}  // namespace

void LineMonitor::initLogging() {
    logWriter_.setPrompt(&view_.prompt());
    ApplyLogSettings(logSettings_);
    commands_.add(Command::LoggingStart, [this] { OnLoggingStart(); });
    commands_.add(Command::LoggingStop, [this] { OnLoggingStop(); });
}

void LineMonitor::ApplyLogSettings(const LogSettings& settings) {
    logSettings_ = settings;
    // The log shows the same symbols as the panes.
    logSettings_.symbols = &display_.symbols();
    sideA_.logEnabled = settings.logA;
    sideB_.logEnabled = settings.logB;
    logWriter_.ApplySettings(logSettings_);
}

bool LineMonitor::OnLoggingStart() {
    if (loggingActive_) {
        return false;
    }
    TimeStampMs now;
    now.Refresh(logWriter_.clock());
    FileDialogRequest request;
    request.save = true;
    request.filter = kLogFileFilter;
    request.initialPath = defaultLogFileName(now);
    request.defaultExtension = kLogDefaultExtension;
    const std::optional<std::string> path = view_.prompt().chooseFile(request);
    if (!path) {
        return false;
    }
    return StartLogging(*path);
}

bool LineMonitor::StartLogging(const std::string& path) {
    if (loggingActive_) {
        return false;
    }
    if (!logWriter_.Start(path, identifier_, CFileNeu::modeCreate | CFileNeu::modeWrite)) {
        view_.prompt().message(kTextCreateFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    loggingActive_ = true;
    loggingBlink_ = true;
    view_.loggingStateChanged();
    return true;
}

void LineMonitor::OnLoggingStop() {
    logWriter_.Stop();
    const bool changed = loggingActive_ || loggingBlink_;
    loggingActive_ = false;
    loggingBlink_ = false;
    if (changed) {
        view_.loggingStateChanged();
    }
}

LineMonitor::LoggingMenuState LineMonitor::loggingMenuState() const {
    return {!loggingActive_, loggingActive_};
}

// The blink timer runs only while a side does; the indicator keeps its state otherwise.
void LineMonitor::OnLoggingBlinkTick() {
    if (!loggingActive_ || !(sideA_.started || sideB_.started)) {
        return;
    }
    loggingBlink_ = !loggingBlink_;
    view_.loggingStateChanged();
}

// A log that cannot be written stops at its first failure, said once: the traffic goes on.
void LineMonitor::logBlock(Side s, const uint8_t* data, int count) {
    if (loggingActive_ && side(s).logEnabled && !logWriter_.WriteBlock(data, count, s == Side::A)) {
        const std::string reason = logWriter_.failureText();
        OnLoggingStop();
        view_.prompt().notice(formatText(kTextLoggingStopped, reason.c_str()));
    }
}

}  // namespace pv
