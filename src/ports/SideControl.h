#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "base/Side.h"
#include "ports/BaudChoice.h"
#include "ports/ChannelHub.h"
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

  signals:
    // A start named the side's connection (for the log header).
    void connectionNamed(Side side, const std::string& name);
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
    bool openSerial(Side s);
    bool openNetwork(Side s);
    void closeNetwork();
    bool networkConnected() const;
    bool openVirtual(Side s);
    void closeVirtual(Side s);

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
};

}  // namespace pv
