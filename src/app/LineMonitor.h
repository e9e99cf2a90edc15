#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "app/MonitorView.h"
#include "app/RateDisplay.h"
#include "base/CommandTable.h"
#include "datapath/DisplayStep.h"
#include "datapath/ReceivePath.h"
#include "manipulation/ExchangeRunner.h"
#include "manipulation/TriggerControl.h"
#include "ports/SideControl.h"
#include "recording/LoggingControl.h"
#include "recording/RecorderControl.h"
#include "settings/ParameterControl.h"
#include "terminal/FileTransfer.h"
#include "terminal/TerminalControl.h"
#include "terminal/TerminalSettings.h"

namespace pv {

// The non-widget half of the main window, with or without a window: it owns one controller per
// concern and wires them together - the sides and their start/stop rules, the receive path
// with forwarding and eXchange, the display step, the trigger, logging, the recorder, the terminal
// and the parameter file - and keeps the command table and the characters-per-second display. Main
// thread only.
class LineMonitor : public QObject, private BlockSteps, private ParametersHost {
    Q_OBJECT

  public:
    explicit LineMonitor(MonitorView& view, TtyBackend& lines = systemTtyBackend(),
                         QObject* parent = nullptr);
    ~LineMonitor() override;

    SideControl& sides() { return sides_; }
    ReceivePath& receivePath() { return receive_; }
    ExchangeRunner& exchange() { return exchange_; }
    DisplayStep& displayStep() { return display_; }
    DisplayFormatter& display() { return display_.formatter(); }
    TriggerControl& triggers() { return triggers_; }
    LoggingControl& logging() { return logging_; }
    RecorderControl& recorder() { return recorder_; }
    ParameterControl& parameters() { return parameters_; }
    CommandTable& commands() { return commands_; }

    // The closing steps of the window and of a headless run: a playback ends, what eXchange holds
    // back goes on to side B (and into the log), logging stops with its last row, recording
    // stops, then side A and side B stop.
    void stopAll();
    // Characters per second, once a second (timer 3; tests stop it and tick by hand).
    void OnRateTimer();
    QTimer& rateTimer() { return rateTimer_; }
    // The identifier the log header and the title name.
    void setIdentifier(const std::string& text) { identifier_ = text; }
    const std::string& identifier() const { return identifier_; }
    TerminalSettings& terminalSettings() { return terminalSettings_; }
    TerminalControl& terminal() { return terminal_; }
    FileTransfer& transfer() { return transfer_; }
    bool checkForUpdate() const { return checkForUpdate_; }
    void setCheckForUpdate(bool on) { checkForUpdate_ = on; }

  private:
    void registerCommands();
    // The chains' steps after forwarding.
    void forwardedA(const uint8_t* data, int count) override;
    void forwardedB(const uint8_t* data, int count) override;
    // What the parameter file needs.
    Prompt& prompt() override { return view_.prompt(); }
    void parametersApplied() override;
    void takeOverControls() override { sides_.readSettings(); }
    bool sidesRunning() const override;
    void parametersOpened() override;
    std::string ownerName() const override;
    // Why side A cannot take an upload now, or empty.
    std::string uploadRefusal();

    MonitorView& view_;
    std::string identifier_;
    TerminalSettings terminalSettings_;
    bool checkForUpdate_ = true;
    CommandTable commands_;
    // The sides hand their channels to the receive path, which reads their records; each
    // only keeps the other's address until both exist.
    SideControl sides_;
    ReceivePath receive_;
    ExchangeRunner exchange_;
    DisplayStep display_;
    TriggerControl triggers_;
    LoggingControl logging_;
    RecorderControl recorder_;
    TerminalControl terminal_;
    FileTransfer transfer_;
    ParameterControl parameters_;
    RateDisplay rateDisplay_;
    QTimer rateTimer_;
};

}  // namespace pv
