#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "base/Side.h"
#include "ports/BaudChoice.h"
#include "ports/ChannelHub.h"
#include "ports/DeviceReturnWatch.h"
#include "ports/LineErrors.h"
#include "ports/NetworkChannel.h"
#include "ports/NetworkSettings.h"
#include "ports/PortSettings.h"
#include "ports/PortSide.h"
#include "ports/SideView.h"
#include "ports/SocketClass.h"

namespace pv {

// Both sides and the rules by which they start and stop: each side's settings, its channels
// (serial port, virtual port, the one TCP link), the live DTR, RTS and Auto controls, and the
// mirroring of CTS and DSR between two serial sides. The channels of a running side are handed
// to the data path (ChannelHub); everything the user sees goes through the SideView.
// A serial side whose device is lost either stops or, with "reopen" set, stays started and waits
// for the device to come back, then opens it again with the same settings. The line errors of
// the serial ports are read once a second.
class SideControl : public QObject {
    Q_OBJECT

  public:
    SideControl(SideView& view, ChannelHub& hub, TtyBackend& lines, QObject* parent = nullptr);
    ~SideControl() override;

    PortSide& side(Side s) { return s == Side::A ? sideA_ : sideB_; }
    const PortSide& side(Side s) const { return s == Side::A ? sideA_ : sideB_; }
    PortSettings& settings(Side s) { return s == Side::A ? settingsA_ : settingsB_; }
    NetworkSettings& networkSettings() { return networkSettings_; }
    CSocketClass& link() { return link_; }
    BaudControls& baudControls(Side s) { return baud_[index(s)]; }
    // "COM1:", "COM1: - Network", "Network", "VirtualCOM3:", "Terminal": names the log header.
    const std::string& connectionName(Side s) const { return connectionName_[index(s)]; }
    // Where virtual ports are published; empty means the default directory. Only while no
    // virtual port is open.
    void setVirtualDirectory(const std::string& directory);
    // Replaces a side's settings and shows them ("write settings").
    void WriteSettings(Side s, const PortSettings& settings);
    // Takes over what the window's side boxes show.
    void readSettings();
    // A parameter file was read: Serial and Virtual, both set there, are made exclusive again.
    void settingsLoaded();

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
    // Some of the backlog toward the side has left: a drain may be done.
    void backlogShrank(Side s);
    // The end: both sides stop and their channels close at once.
    void closeAll();
    // Side B served by the terminal window, and that window closing. While the terminal runs,
    // its channel is side B's only one.
    void setTerminalChannel(Channel* channel) { terminalChannel_ = channel; }
    bool StartTerminal();
    void OnTerminalClosed() { StopSide(Side::B); }

    void OnDtrBox(Side s);
    void OnRtsBox(Side s);
    void OnAutoBox(Side s);
    void OnReopenBox(Side s);
    void OnGetIt(Side s);
    void OnBaudListSelected(Side s, int index);
    // The TCP link closed: sides that use only the network stop.
    void OnNetworkClosed();
    void CtsMirror();
    void DsrMirror();

    struct ControlState {
        bool settingsEnabled = true;
        bool startEnabled = true;
        bool stopEnabled = false;
        bool terminalEnabled = true;  // side B only
        bool linesEnabled = true;     // DTR, RTS, Auto
    };
    ControlState controlState(Side s) const;

    // The side runs, but its device is gone and it waits for it to come back.
    bool waitingForDevice(Side s) const { return waiting_[index(s)]; }
    // Reads the serial ports' line error counters (the timer does this once a second).
    void checkLineErrors();
    const LineErrorTally& lineErrors(Side s) const { return tally_[index(s)]; }
    static constexpr int kLineCheckMs = 1000;
    // A device that is back but does not open yet (udev still setting it up) is tried this
    // often, then the side waits for the next change.
    static constexpr int kReopenAttempts = 10;
    static constexpr int kReopenRetryMs = 300;
    // A remote port whose connection ended is connected again this often, with "reopen" set.
    static constexpr int kReconnectMs = 2000;

  signals:
    // A start named the side's connection (for the log header).
    void connectionNamed(Side side, const std::string& name);
    // The side stopped because its device was lost.
    void sideLost(Side side);
    // The terminal began or ended standing in for side B.
    void terminalRunning(bool on);

  private:
    static int index(Side s) { return s == Side::A ? 0 : 1; }
    void sayNotices(Channel& channel);
    std::string buildConnectionName(Side s) const;
    bool startRulesAllow(Side s);
    bool openChannels(Side s);
    void closeChannels(Side s);
    void finishDrain(Side s);
    void mirror(int inputLine, ModemLine outputLine);
    void onSerialEvent(Side s, unsigned events);
    bool keepTypesExclusive(Side s);
    void adoptStableName(Side s);
    bool openSerial(Side s, const std::string& device);
    void closeSerial(Side s);
    void onDeviceLost(Side s);
    void waitForDevice(Side s);
    void tryReopen(Side s);
    void stopWaiting(Side s);
    void checkLineErrors(Side s);
    void updateLineCheck();
    bool openNetwork(Side s);
    void closeNetwork();
    bool networkConnected() const;
    bool openVirtual(Side s);
    void closeVirtual(Side s);
    // A side whose device is a port on another machine, and a side offered as one
    // (SideControlRemote.cpp).
    void setUpRemote(Side s);
    bool openRemote(Side s);
    void closeRemote(Side s);
    void onRemoteLost(Side s, const std::string& reason);
    void reconnectRemote(Side s);
    bool openRfc2217Server(Side s);
    void closeRfc2217Server(Side s);
    void onClientLineSettings(Side s, const rfc2217::LineSettings& line);
    // The input lines of a serial or remote side; false when it has none.
    bool inputLines(Side s, bool& cts, bool& dsr);
    void setOutputLine(Side s, ModemLine line, bool on);
    bool hasLines(Side s) const { return side(s).isSerial || side(s).isRemote; }

    SideView& view_;
    ChannelHub& hub_;
    PortSide sideA_;
    PortSide sideB_;
    PortSettings settingsA_;
    PortSettings settingsB_;
    BaudControls baud_[2];
    std::string connectionName_[2];
    NetworkSettings networkSettings_;
    CSocketClass link_;
    NetworkChannel networkChannel_{link_};
    Channel* terminalChannel_ = nullptr;
    QTimer drainTimer_[2];
    bool draining_[2] = {false, false};
    bool waiting_[2] = {false, false};
    std::string devicePath_[2];  // the serial device in use, or waited for: its stable name
    DeviceReturnWatch returnWatch_[2];
    QTimer reopenRetry_[2];
    int reopenAttempts_[2] = {0, 0};
    long long droppedAtLoss_[2] = {0, 0};
    LineErrorTally tally_[2];
    QTimer lineCheck_;
    QTimer reconnect_[2];
};

}  // namespace pv
