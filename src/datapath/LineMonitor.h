#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>

#include "app/RateDisplay.h"
#include "base/CommandTable.h"
#include "datapath/DisplayFormatter.h"
#include "datapath/MonitorView.h"
#include "datapath/PortSide.h"
#include "datapath/ReceivePath.h"
#include "manipulation/ExchangeRunner.h"
#include "manipulation/Trigger.h"
#include "ports/NetworkChannel.h"
#include "ports/NetworkSettings.h"
#include "ports/PortSettings.h"
#include "ports/SocketClass.h"
#include "recording/LogWriter.h"
#include "settings/ParameterFile.h"
#include "terminal/TerminalSettings.h"

namespace pv {

// The non-widget half of the main window: both sides with their channels, the receive path,
// forwarding and the display step. Runs on the main thread, with or without a window.
class LineMonitor : public QObject, private pv::BlockSteps {
    Q_OBJECT

  public:
    explicit LineMonitor(MonitorView& view, TtyBackend& lines = systemTtyBackend(),
                         QObject* parent = nullptr);
    ~LineMonitor() override;

    PortSide& side(Side s) { return s == Side::A ? sideA_ : sideB_; }
    PortSettings& settings(Side s) { return s == Side::A ? settingsA_ : settingsB_; }
    NetworkSettings& networkSettings() { return networkSettings_; }
    CSocketClass& link() { return link_; }
    // Where virtual ports are published; empty means the default directory. Only while no
    // virtual port is open.
    void setVirtualDirectory(const std::string& directory);
    // Replaces a side's settings and shows them ("write settings").
    void WriteSettings(Side s, const PortSettings& settings);

    // Start and stop of each side, and the live line controls of a running serial side.
    bool StartSide(Side s);
    // Bytes still queued toward the side get up to kDrainMs to leave before its channels close
    // (draining); what is left then is dropped and reported.
    void StopSide(Side s);
    static constexpr int kDrainMs = 1500;
    bool draining() const { return draining(Side::A) || draining(Side::B); }
    bool draining(Side s) const { return draining_[index(s)]; }
    // At the end of the program only: runs the event loop until the stopped sides' queues have
    // left or their drain time is up.
    void waitForDrains();
    // Side B served by the terminal window, and that window closing.
    bool StartTerminal();
    void OnTerminalClosed() { StopSide(Side::B); }
    void OnDtrBox(Side s);
    void OnRtsBox(Side s);
    void OnAutoBox(Side s);
    void OnGetIt(Side s);
    void OnBaudListSelected(Side s, int index);
    // The TCP link closed: sides that use only the network stop.
    void OnNetworkClosed();
    void CtsMirror();
    void DsrMirror();
    BaudControls& baudControls(Side s) { return baud_[index(s)]; }
    // "COM1:", "COM1: - Network", "Network", "VirtualCOM3:", "Terminal": names the log header.
    const std::string& connectionName(Side s) const { return connectionName_[index(s)]; }

    struct ControlState {
        bool settingsEnabled = true;
        bool startEnabled = true;
        bool stopEnabled = false;
        bool terminalEnabled = true;  // side B only
        bool linesEnabled = true;     // DTR, RTS, Auto
    };
    ControlState controlState(Side s) const;

    // Receive path.
    void OnSerialReceive() { receive_.OnSerialReceive(); }
    void ProcessBlockA() { receive_.ProcessBlockA(); }
    void ProcessBlockB() { receive_.ProcessBlockB(); }
    pv::ReceivePath& receivePath() { return receive_; }
    // eXchange on the A to B direction: the sets, the pass and the bytes it holds back.
    ExchangeRunner& exchange() { return receive_.exchange(); }

    // Bytes read from the serial ports since the last call.
    int takeRxPerSecond() { return receive_.takeRxPerSecond(); }
    // Characters per second, once a second.
    void OnRateTimer();
    // Timer 3; tests stop it and tick by hand.
    QTimer& rateTimer() { return rateTimer_; }
    CommandTable& commands() { return commands_; }
    bool outputEnabled() const { return outputEnabled_; }
    void setOutputEnabled(bool on) { outputEnabled_ = on; }
    // The display step: row width, symbols, and the panes it writes to.
    DisplayFormatter& display() { return display_; }
    // Colours a trigger match in both panes, after its block was displayed: the pattern's length
    // and the bytes of side A behind it. Nothing happens while the output is off.
    void MarkTriggerMatch(int patternBytes, int trailingBytes);

    // Trigger on the bytes of side A.
    Trigger& trigger() { return trigger_; }
    // The definition dialog's "OK": the new settings, and the status tells whether it is armed.
    void DefineTrigger(const TriggerSettings& settings);
    // "Waiting ..." when the trigger is armed, else "Inactive".
    void ShowTriggerState();
    // Timer 2: the end of a trigger pulse.
    void OnTriggerTimer();
    const QTimer& triggerTimer() const { return triggerTimer_; }
    // Logging menu: "Start" (40011), "Stop" (40041), the settings "Configure..." (40013) hands
    // over, the menu states and the indicator (LoggingControl.cpp).
    struct LoggingMenuState {
        bool startEnabled = true;
        bool stopEnabled = false;
    };
    bool OnLoggingStart();
    bool StartLogging(const std::string& path);
    void OnLoggingStop();
    void ApplyLogSettings(const LogSettings& settings);
    const LogSettings& logSettings() const { return logSettings_; }
    bool loggingActive() const { return loggingActive_; }
    LoggingMenuState loggingMenuState() const;
    // Timer 1's share: the indicator blinks while logging.
    void OnLoggingBlinkTick();
    bool loggingIndicatorShown() const { return loggingBlink_; }
    LogWriter& logWriter() { return logWriter_; }
    // The identifier the log header names.
    void setIdentifier(const std::string& text) { identifier_ = text; }
    const std::string& identifier() const { return identifier_; }
    TerminalSettings& terminal() { return terminal_; }
    bool checkForUpdate() const { return checkForUpdate_; }
    void setCheckForUpdate(bool on) { checkForUpdate_ = on; }

    // The parameter file and the File menu.
    ParameterFile& parameterFile() { return parameterFile_; }
    // Reads the current parameter file and applies what it holds, whatever the result.
    bool LoadParameters();
    // Takes over the controls' values and writes the current parameter file, without a message.
    bool SaveParameters();
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();

  private:
    static int index(Side s) { return s == Side::A ? 0 : 1; }
    void readSettings();
    std::string buildConnectionName(Side s) const;
    bool startRulesAllow(Side s);
    bool openChannels(Side s);
    void closeChannels(Side s);
    void mirror(int inputLine, ModemLine outputLine);
    void onSerialEvent(Side s, unsigned events);
    bool openSerial(Side s);
    bool openNetwork(Side s);
    void closeNetwork();
    bool networkConnected() const;
    bool openVirtual(Side s);
    void closeVirtual(Side s);
    void finishDrain(Side s);
    void onBacklogShrank(Side s);
    void forwardedA(const uint8_t* data, int count) override;
    void forwardedB(const uint8_t* data, int count) override;
    void DisplayBlock(Side s, const uint8_t* data, int count);
    void initTrigger();
    TriggerResult checkTrigger(const uint8_t* data, int count);
    void finishTrigger(const TriggerResult& result);
    void initLogging();
    void logBlock(Side s, const uint8_t* data, int count);
    void initParameters();
    void applyParameters();

    MonitorView& view_;
    PortSide sideA_;
    PortSide sideB_;
    PortSettings settingsA_;
    PortSettings settingsB_;
    BaudControls baud_[2];
    std::string connectionName_[2];
    NetworkSettings networkSettings_;
    CSocketClass link_;
    pv::NetworkChannel networkChannel_{link_};
    QTimer drainTimer_[2];
    bool draining_[2] = {false, false};
    void registerCommands();

    CommandTable commands_;
    RateDisplay rateDisplay_;
    QTimer rateTimer_;
    bool outputEnabled_ = true;
    Trigger trigger_;
    QTimer triggerTimer_;
    TriggerOutput pulse_;
    LogWriter logWriter_;
    LogSettings logSettings_;
    bool loggingActive_ = false;
    bool loggingBlink_ = false;
    std::string identifier_;
    pv::ReceivePath receive_{sideA_, sideB_, *this};
    DisplayFormatter display_;
    TerminalSettings terminal_;
    bool checkForUpdate_ = true;
    // Last: it refers to the settings above.
    ParameterFile parameterFile_;
};

}  // namespace pv
