#include "recording/LoggingControl.h"

#include "base/CommandIds.h"
#include "base/Prompt.h"
#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kTextCreateFailed = "Unable to create file, sorry !";
constexpr const char* kTextLoggingStopped = "%s\nLogging has been stopped.";
constexpr const char* kTextLogReopened =
    "The log file '%s' was renamed or deleted; logging goes on in a file of that name.";
constexpr const char* kLogFileFilter =
    "Log files (*.log)|*.log|Data files (*.dat)|*.dat|All files (*.*)|*.*||";
constexpr const char* kLogDefaultExtension = "*.log";

}  // namespace

LoggingControl::LoggingControl(LoggingView& view, PortSide& sideA, PortSide& sideB,
                               const SymbolTables& symbols, const std::string& identifier)
    : view_(view), sideA_(sideA), sideB_(sideB), symbols_(symbols), identifier_(identifier) {
    writer_.setPrompt(&view_.prompt());
    ApplyLogSettings(settings_);
    QObject::connect(&fileCheck_, &QTimer::timeout, &fileCheck_, [this] { checkLogFile(); });
}

void LoggingControl::registerCommands(CommandTable& commands) {
    commands.add(Command::LoggingStart, [this] { OnLoggingStart(); });
    commands.add(Command::LoggingStop, [this] { OnLoggingStop(); });
}

void LoggingControl::setConnectionName(Side side, const std::string& name) {
    if (side == Side::A) {
        writer_.SetConnectionNameA(name);
    } else {
        writer_.SetConnectionNameB(name);
    }
}

void LoggingControl::ApplyLogSettings(const LogSettings& settings) {
    settings_ = settings;
    // The log shows the same symbols as the panes.
    settings_.symbols = &symbols_;
    sideA_.logEnabled = settings.logA;
    sideB_.logEnabled = settings.logB;
    writer_.ApplySettings(settings_);
}

bool LoggingControl::OnLoggingStart() {
    if (active_) {
        return false;
    }
    TimeStampMs now;
    now.Refresh(writer_.clock());
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

bool LoggingControl::StartLogging(const std::string& path) {
    return StartLogging(path, settings_);
}

bool LoggingControl::StartLogging(const std::string& path, const LogSettings& form) {
    if (active_) {
        return false;
    }
    LogSettings used = form;
    used.symbols = &symbols_;
    sideA_.logEnabled = used.logA;
    sideB_.logEnabled = used.logB;
    writer_.ApplySettings(used);
    if (!writer_.Start(path, identifier_, CFileNeu::modeCreate | CFileNeu::modeWrite)) {
        view_.prompt().message(kTextCreateFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return false;
    }
    active_ = true;
    blink_ = true;
    failed_ = false;
    fileCheck_.start(kFileCheckMs);
    view_.loggingStateChanged();
    return true;
}

void LoggingControl::OnLoggingStop() {
    fileCheck_.stop();
    writer_.Stop();
    const bool changed = active_ || blink_;
    active_ = false;
    blink_ = false;
    if (changed) {
        view_.loggingStateChanged();
    }
}

// The blink timer runs only while a side does; the indicator keeps its state otherwise.
void LoggingControl::OnLoggingBlinkTick() {
    if (!active_ || !(sideA_.started || sideB_.started)) {
        return;
    }
    blink_ = !blink_;
    view_.loggingStateChanged();
}

void LoggingControl::logBlock(Side s, const uint8_t* data, int count) {
    if (active_ && (s == Side::A ? sideA_ : sideB_).logEnabled &&
        !writer_.WriteBlock(data, count, s == Side::A)) {
        stopOnFailure();
    }
}

void LoggingControl::checkLogFile() {
    if (!active_) {
        return;
    }
    switch (writer_.ReopenIfMoved()) {
        case LogFileCheck::Unchanged:
            break;
        case LogFileCheck::Reopened:
            view_.prompt().notice(formatText(kTextLogReopened, writer_.path().c_str()));
            break;
        case LogFileCheck::Failed:
            stopOnFailure();
            break;
    }
}

void LoggingControl::stopOnFailure() {
    const std::string reason = writer_.failureText();
    OnLoggingStop();
    failed_ = true;
    view_.prompt().notice(formatText(kTextLoggingStopped, reason.c_str()));
}

}  // namespace pv
