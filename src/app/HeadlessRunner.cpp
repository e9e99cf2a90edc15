#include "app/HeadlessRunner.h"

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/ConsolePrompt.h"
#include "app/ConsoleTerminal.h"
#include "app/LineMonitor.h"
#include "app/MonitorOutput.h"
#include "base/FileNeu.h"
#include "base/Prompt.h"
#include "base/TextFormat.h"
#include "recording/RecorderDump.h"
#include "terminal/FileTransfer.h"

namespace pv {

namespace {

int signalFds[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalFds[1], &c, 1);
}

// SIGINT and SIGTERM (and SIGHUP for a terminal session, whose console may go away) end the
// event loop through a socket pair, so the closing steps run on the main thread as after any
// other end of the run.
void quitOnSignals(bool hangUp) {
    if (signalFds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (hangUp) {
        sigaction(SIGHUP, &action, nullptr);
    }
    auto* notifier = new QSocketNotifier(signalFds[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });
}

constexpr const char* kTextOutputStopped =
    "The trigger switched the display output off (Auto Deactivate): from now on nothing is "
    "shown or logged.";

class ConsoleView : public MonitorView {
  public:
    ConsoleView(const HeadlessOptions& options)
        : stamped_(options.monitorTimes != TimeViewOptions{}), terminal_(options.terminalSide()) {
        if (options.monitor) {
            // Said from the printing thread, once: stdio's own lock keeps the line whole.
            output_ = std::make_unique<pv::MonitorOutput>(
                STDOUT_FILENO, options.monitorTimes,
                [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
        }
    }
    Prompt& prompt() override { return prompt_; }
    void showBlock(Side side, const uint8_t* data, int count) override {
        if (output_) {
            output_->feed(side == Side::A, data, count, stamped_ ? systemStamp() : Stamp{});
        }
    }
    void sideStateChanged(Side) override {}
    void outputStopped() override { prompt_.notice(kTextOutputStopped); }
    // The console is the terminal (stdin and stdout, taken over once the sides run), or the
    // terminal serves a file transfer.
    bool openTerminalWindow() override { return terminal_; }
    // A playback's progress: a line on stderr at every tenth of it, so a log stays short.
    void playbackProgress(int percent, uint64_t sent, uint64_t total) override {
        if (percent / 10 != lastTenth_) {
            lastTenth_ = percent / 10;
            prompt_.message(formatText(kTextPlaybackProgress, percent,
                                       playbackProgressText(sent, total).c_str()),
                            {}, PromptButtons::Ok, PromptIcon::Information);
        }
    }
    void playbackStarted() override { lastTenth_ = -1; }
    void playbackFinished(PlaybackState state) override {
        if (onPlaybackFinished) {
            onPlaybackFinished(state);
        }
    }
    std::function<void(PlaybackState)> onPlaybackFinished;

  private:
    static constexpr const char* kTextPlaybackProgress = "Playback: %d %% (%s)";
    int lastTenth_ = -1;
    ConsolePrompt prompt_;
    bool stamped_;
    bool terminal_;
    std::unique_ptr<pv::MonitorOutput> output_;
};

// The command line's changes to a side the parameter file set up.
void overrideSide(PortSettings& settings, const HeadlessOptions& options, const std::string& device,
                  const std::string& rfc2217Listen) {
    if (!device.empty() || !rfc2217Listen.empty()) {
        settings.serial = rfc2217Listen.empty();
        settings.network = false;
        settings.isVirtual = false;
        settings.rfc2217Listen = rfc2217Listen;
    }
    if (!device.empty()) {
        settings.devicePath = device;
    }
    if (options.baud) {
        settings.baud = *options.baud;
    }
    if (options.parity) {
        settings.parity = *options.parity == 'E' ? 1 : *options.parity == 'O' ? 2 : 0;
    }
    if (options.dataBits) {
        settings.dataBits = *options.dataBits - 7;
    }
    if (options.stopBits) {
        settings.stopBits = *options.stopBits - 1;
    }
}

constexpr const char* kTextPlaybackWaits =
    "Playback: waiting for a program to open %s; it starts then.";
constexpr int kPeerWaitMs = 20;

constexpr const char* kTextAllSidesLost =
    "Every started side has lost its device; the run ends (with --reopen it would wait for the "
    "devices to come back).";

void setVirtual(PortSettings& settings, int number) {
    settings.serial = false;
    settings.network = false;
    settings.isVirtual = true;
    settings.rfc2217Listen.clear();
    settings.portNumber = number;
}

void printDemoHelp(LineMonitor& monitor) {
    const std::string a = monitor.sides().side(Side::A).virtualPort->linkPath();
    const std::string b = monitor.sides().side(Side::B).virtualPort->linkPath();
    std::printf(
        "PortaVigilant demo: Comport A is the virtual port %s, Comport B is %s.\n"
        "Open each from another terminal; what one sends, the other receives:\n"
        "  picocom -b 115200 %s\n"
        "  screen %s 115200\n"
        "  python3 -c \"import serial; p = serial.Serial('%s'); p.write(b'hello\\r\\n')\"\n"
        "Stop with Ctrl-C.\n",
        a.c_str(), b.c_str(), a.c_str(), b.c_str(), a.c_str());
    std::fflush(stdout);
}

// Reads the parameter file as the main window does at start. Only a file named on the command
// line that exists but cannot be read is worth a word; a missing one means the defaults.
void loadParameters(LineMonitor& monitor, Prompt& prompt, const HeadlessOptions& options) {
    ParameterFile& file = monitor.parameters().parameterFile();
    file.setPath(options.paramsFile.empty() ? ParameterFile::defaultPath() : options.paramsFile);
    if (!monitor.parameters().LoadParameters() && !options.paramsFile.empty() &&
        ::access(file.path().c_str(), F_OK) == 0) {
        prompt.message(kTextParameterReadError, {}, PromptButtons::Ok, PromptIcon::Error);
    }
}

void configureSides(LineMonitor& monitor, const HeadlessOptions& options) {
    PortSettings a = monitor.sides().settings(Side::A);
    PortSettings b = monitor.sides().settings(Side::B);
    overrideSide(a, options, options.deviceA, options.rfc2217A);
    overrideSide(b, options, options.deviceB, options.rfc2217B);
    // Without a window nobody would notice a side that waits: only asked for, it does.
    a.reopen = b.reopen = options.reopen;
    if (options.demo) {
        setVirtual(a, 1);
        setVirtual(b, 2);
    }
    monitor.sides().WriteSettings(Side::A, a);
    monitor.sides().WriteSettings(Side::B, b);
}

constexpr const char* kTextWaitingForClient =
    "Comport B starts when a client connects to the TCP link of Comport A (port %d).";

// Side B, or the terminal in its place.
bool startSideB(LineMonitor& monitor, const HeadlessOptions& options) {
    return options.terminalSide() ? monitor.sides().StartTerminal()
                                  : monitor.sides().StartSide(Side::B);
}

// With side A as the link's server, side B could only start once a client is there (the
// window's rule, for data that would have nowhere to go). Without a window nobody could press
// Start then, so side B opens by itself as soon as the client connects. If it cannot, the run
// ends.
void startSideBOnClient(LineMonitor& monitor, const HeadlessOptions& options, Prompt& prompt,
                        bool& failed) {
    CSocketClass& link = monitor.sides().link();
    prompt.notice(formatText(kTextWaitingForClient, link.listenPort()));
    auto* once = new QObject(qApp);
    QObject::connect(
        &link, &CSocketClass::clientAccepted, once,
        [&monitor, &options, &failed, once] {
            once->deleteLater();
            if (!startSideB(monitor, options)) {
                failed = true;
                QCoreApplication::exit();
            }
        },
        Qt::QueuedConnection);  // the link counts as connected only after its signal
}

bool waitsForClient(LineMonitor& monitor, const HeadlessOptions& options) {
    SideControl& sides = monitor.sides();
    return !options.terminalSide() && !sides.settings(Side::B).network &&
           sides.side(Side::A).isNetwork && sides.link().isServer() && !sides.link().IsConnected();
}

bool startSides(LineMonitor& monitor, const HeadlessOptions& options, Prompt& prompt,
                bool& failedLater) {
    const bool startA = options.demo || options.startA;
    const bool startB = options.demo || options.startB || options.terminalSide();
    if (startA && !monitor.sides().StartSide(Side::A)) {
        return false;
    }
    if (!startB) {
        return true;
    }
    if (startA && waitsForClient(monitor, options)) {
        startSideBOnClient(monitor, options, prompt, failedLater);
        return true;
    }
    return startSideB(monitor, options);
}

// --log writes both sides in the window's default layout, or in the form --log-format and
// --log-timestamps name, whatever the parameter file's logging options say; those stay as they
// are for --save.
bool startLog(LineMonitor& monitor, const HeadlessOptions& options) {
    LogSettings form;
    form.mode = options.logFormat.value_or(LogMode::Complex);
    form.timeColumn = options.logTimes;
    return monitor.logging().StartLogging(options.logFile, form);
}

// The command line's pacing of --send, over what the parameter file says.
void configureTransfer(TerminalSettings& settings, const HeadlessOptions& options) {
    if (options.sendDelayMs && options.sendDelayBytes) {
        settings.delayOn = true;
        settings.delayMsText = std::to_string(*options.sendDelayMs);
        settings.delayBytesText = std::to_string(*options.sendDelayBytes);
    }
    if (options.sendLineDelayMs) {
        settings.linePauseMs = *options.sendLineDelayMs;
    }
    if (!options.sendWaitFor.empty()) {
        settings.waitForText = options.sendWaitFor;
    }
}

void sayRefused(Prompt& prompt, const std::string& refusal, const std::string& path) {
    prompt.message(refusal + " ('" + path + "')", {}, PromptButtons::Ok, PromptIcon::Error);
}

// --download and --send once the sides run; false (and said why) when either cannot start.
// The upload's end says how it went and, unless something else keeps the run, ends it.
bool startTransfer(LineMonitor& monitor, Prompt& prompt, const HeadlessOptions& options,
                   bool& failed) {
    FileTransfer& transfer = monitor.transfer();
    std::string refusal;
    if (!options.downloadFile.empty() && !transfer.startDownload(options.downloadFile, refusal)) {
        sayRefused(prompt, refusal, options.downloadFile);
        return false;
    }
    if (options.sendFile.empty()) {
        return true;
    }
    const bool keepRunning = options.durationSeconds > 0 || options.terminal;
    QObject::connect(&transfer, &FileTransfer::uploadEnded, qApp,
                     [&transfer, &failed, keepRunning] {
                         failed = transfer.state() == FileTransfer::State::Failed;
                         std::fprintf(stderr, "%s\n", transfer.progressText().c_str());
                         std::fflush(stderr);
                         if (!keepRunning) {
                             QCoreApplication::quit();
                         }
                     });
    if (!transfer.startUpload(options.sendFile, refusal)) {
        sayRefused(prompt, refusal, options.sendFile);
        return false;
    }
    return true;
}

// The closing steps of the main window: a playback ends, what eXchange holds back goes out and
// into the log, logging stops so its last row is written, then recording, then the sides (bytes
// still queued get their short time to leave), then the parameter file when asked for; one it
// refused to read is left alone.
bool closeDown(LineMonitor& monitor, Prompt& prompt, const HeadlessOptions& options) {
    monitor.stopAll();
    monitor.sides().waitForDrains();
    if (!options.save) {
        return true;
    }
    switch (monitor.parameters().SaveParametersAtExit()) {
        case ParameterControl::ExitSave::Saved:
            return true;
        case ParameterControl::ExitSave::Kept:
            return false;
        case ParameterControl::ExitSave::Failed:
            prompt.message(kTextParameterSaveError, {}, PromptButtons::Ok, PromptIcon::Error);
            return false;
    }
    return false;
}

}  // namespace

int runHeadless(const HeadlessOptions& options) {
    if (options.monitor || options.terminal) {
        std::signal(SIGPIPE, SIG_IGN);
    }
    // A file size limit (ulimit -f) then fails the log's write like a full disk, instead of
    // killing the run.
    std::signal(SIGXFSZ, SIG_IGN);
    // From the start: a signal while the sides open still ends the run through the closing steps.
    quitOnSignals(options.terminal);
    ConsoleView view(options);
    LineMonitor monitor(view);
    monitor.sides().setVirtualDirectory(options.virtualDirectory);
    loadParameters(monitor, view.prompt(), options);
    configureSides(monitor, options);
    if (options.controlKeys) {
        monitor.terminalSettings().sendControlKeys = true;
    }
    configureTransfer(monitor.terminalSettings(), options);
    const bool anySide = options.demo || options.startA || options.startB;
    if (!anySide) {
        return closeDown(monitor, view.prompt(), options) ? kExitOk : kExitSaveFailed;
    }
    if (!options.logFile.empty() && !startLog(monitor, options)) {
        return kExitLogFailed;
    }
    if (!options.recordFile.empty() && !monitor.recorder().StartRecording(options.recordFile)) {
        closeDown(monitor, view.prompt(), options);
        return kExitLogFailed;
    }
    bool lateStartFailed = false;
    if (!startSides(monitor, options, view.prompt(), lateStartFailed)) {
        closeDown(monitor, view.prompt(), options);
        return kExitSideFailed;
    }
    bool playbackFailed = false;
    view.onPlaybackFinished = [&](PlaybackState state) {
        playbackFailed = state == PlaybackState::failed;
        if (options.durationSeconds <= 0 || playbackFailed) {
            QCoreApplication::quit();
        }
    };
    QTimer peerWait;
    if (!options.playFile.empty()) {
        PlaybackOptions play;
        play.speed = options.playSpeed;
        play.passes = options.playLoop;
        const auto startPlayback = [&] {
            if (!monitor.recorder().StartPlayback(options.playFile, play)) {
                playbackFailed = true;
                QCoreApplication::quit();
            }
        };
        // Bytes sent into a virtual port nobody has open are dropped, as on an open cable: the
        // playback waits for the program under test to open it.
        const PortSide& a = monitor.sides().side(Side::A);
        if (a.isVirtual && a.virtualPort && !a.virtualPort->peerConnected()) {
            view.prompt().message(
                formatText(kTextPlaybackWaits, a.virtualPort->linkPath().c_str()));
            QObject::connect(&peerWait, &QTimer::timeout, qApp, [&] {
                if (a.virtualPort && a.virtualPort->peerConnected()) {
                    peerWait.stop();
                    startPlayback();
                }
            });
            peerWait.start(kPeerWaitMs);
        } else {
            startPlayback();
        }
        if (playbackFailed) {
            closeDown(monitor, view.prompt(), options);
            return kExitPlaybackFailed;
        }
    }
    bool allLost = false;
    QObject::connect(&monitor.sides(), &SideControl::sideLost, qApp, [&] {
        if (!monitor.sides().side(Side::A).started && !monitor.sides().side(Side::B).started) {
            allLost = true;
            view.prompt().message(kTextAllSidesLost, {}, PromptButtons::Ok, PromptIcon::Error);
            QCoreApplication::quit();
        }
    });
    if (options.demo) {
        printDemoHelp(monitor);
    }
    std::unique_ptr<ConsoleTerminal> console;
    if (options.terminal) {
        console = std::make_unique<ConsoleTerminal>(monitor.terminal(), view.prompt());
        console->start();
    }
    bool transferFailed = false;
    if (!startTransfer(monitor, view.prompt(), options, transferFailed)) {
        closeDown(monitor, view.prompt(), options);
        return kExitTransferFailed;
    }
    if (options.durationSeconds > 0) {
        QTimer::singleShot(static_cast<int>(std::lround(options.durationSeconds * 1000)), qApp,
                           [] { QCoreApplication::quit(); });
    }
    QCoreApplication::exec();
    const bool closed = closeDown(monitor, view.prompt(), options);
    console.reset();
    if (!closed) {
        return kExitSaveFailed;
    }
    if (monitor.logging().loggingFailed()) {
        return kExitLogFailed;
    }
    if (allLost || lateStartFailed) {
        return kExitSideFailed;
    }
    return transferFailed || playbackFailed ? kExitTransferFailed : kExitOk;
}

int dumpRecorder(const std::string& path, std::FILE* out) {
    ConsolePrompt prompt;
    CFileNeu file(&prompt);
    if (!file.Open(path, CFileNeu::modeRead)) {
        prompt.message(kTextRecorderOpenFailed, {}, PromptButtons::Ok, PromptIcon::Error);
        return kExitPlaybackFailed;
    }
    const RecorderFileCheck check = dumpRecorderFile(
        file, [out](const std::string& text) { std::fwrite(text.data(), 1, text.size(), out); });
    std::fflush(out);
    return check.good() ? kExitOk : kExitPlaybackFailed;
}

}  // namespace pv
