// Start and stop of each side, the live DTR, RTS and Auto controls, and the mirroring of CTS and
// DSR between two serial sides.
#include <sys/ioctl.h>

#include <QEventLoop>
#include <QTimer>

#include "base/TextFormat.h"
#include "ports/SideControl.h"

namespace pv {

namespace {

constexpr const char* kTextNoType =
    "You have to select at least one communication type (Serial / Ethernet / Virtual)";
constexpr const char* kTextOneNetworkA =
    "Only one network connection can be open at the same time !\nComport B is already open - "
    "Close this one first.";
constexpr const char* kTextOneNetworkB =
    "Only one network connection can be open at the same time !\nComport A is already open - "
    "Close this one first.";
constexpr const char* kTextPeerNotConnectedA =
    "Before starting Comport A ensure that Comport B is connected via network !\nOtherwise the "
    "data, received by Comport A cannot be processed to Comport B !";
constexpr const char* kTextPeerNotConnectedB =
    "Before starting Comport B ensure that Comport A is connected via network !\nOtherwise the "
    "data, received by Comport B cannot be processed to Comport A !";
constexpr const char* kTextCloseTerminalFirst =
    "You want to open a network connection.\nClose terminal window first, because network "
    "connection\nwill not be connected immediately and data cannot be processed !";
constexpr const char* kTextTerminalPeerNotConnected =
    "Before opening terminal window ensure that Comport A is connected via network !\nOtherwise "
    "the data, received by the terminal window cannot be processed to Comport A !";
constexpr const char* kTextOpenFailed = "Unable to open the port !!!\nMaybe it is in use !";
constexpr const char* kTextVirtualFailed =
    "Unable to open the port !!!\nMaybe it is in use !\n\nEnsure, that drivers for virtual serial "
    "port are installed and registered!";

constexpr const char* kTextDeviceLost =
    "Comport %c: the device '%s' failed or was removed.\nComport %c has been stopped.";
constexpr const char* kTextDroppedAtStop =
    "Comport %c: %lld bytes were still waiting for '%s' when the side stopped and were dropped.";

constexpr int kQueueSize = 8192;

}  // namespace

SideControl::SideControl(SideView& view, ChannelHub& hub, TtyBackend& lines, QObject* parent)
    : QObject(parent), view_(view), hub_(hub), sideA_(lines), sideB_(lines), link_(view.prompt()) {
    settingsB_.portNumber = 2;
    showBaud(baud_[0], settingsA_.baud);
    showBaud(baud_[1], settingsB_.baud);
    setVirtualDirectory({});
    for (Channel* channel :
         {static_cast<Channel*>(&sideA_.port), static_cast<Channel*>(&sideB_.port),
          static_cast<Channel*>(&networkChannel_)}) {
        sayNotices(*channel);
    }
    for (QTimer& timer : drainTimer_) {
        timer.setSingleShot(true);
    }
    connect(&drainTimer_[0], &QTimer::timeout, this, [this] { finishDrain(Side::A); });
    connect(&drainTimer_[1], &QTimer::timeout, this, [this] { finishDrain(Side::B); });
    connect(&link_, &CSocketClass::closedByClient, this, &SideControl::OnNetworkClosed);
    connect(&link_, &CSocketClass::closedByServer, this, &SideControl::OnNetworkClosed);
}

SideControl::~SideControl() = default;

void SideControl::closeAll() {
    for (Side s : {Side::A, Side::B}) {
        StopSide(s);
        finishDrain(s);
    }
}

void SideControl::sayNotices(Channel& channel) {
    connect(&channel, &Channel::notice, this,
            [this](const std::string& text) { view_.prompt().notice(text); });
}

void SideControl::setVirtualDirectory(const std::string& directory) {
    for (Side s : {Side::A, Side::B}) {
        auto& port = side(s).virtualPort;
        if (port && port->isOpen()) {
            continue;
        }
        port = std::make_unique<CVirtualSerialPort>(view_.prompt(), directory);
        sayNotices(*port);
    }
}

// Received bytes come through the data path; here only what the port says besides them.
void SideControl::onSerialEvent(Side s, unsigned events) {
    if ((events & SerialEvent::Cts) != 0) {
        CtsMirror();
    }
    if ((events & SerialEvent::Dsr) != 0) {
        DsrMirror();
    }
    if ((events & SerialEvent::Lost) != 0 && side(s).isSerial) {
        const std::string device = side(s).port.deviceName();
        StopSide(s);
        finishDrain(s);
        view_.prompt().notice(
            formatText(kTextDeviceLost, sideLetter(s), device.c_str(), sideLetter(s)));
    }
}

void SideControl::readSettings() {
    view_.readSettings(Side::A, settingsA_, baud_[0]);
    view_.readSettings(Side::B, settingsB_, baud_[1]);
}

void SideControl::WriteSettings(Side s, const PortSettings& newSettings) {
    settings(s) = newSettings;
    showBaud(baud_[index(s)], newSettings.baud);
    view_.showBaudControls(s, baud_[index(s)]);
}

std::string SideControl::buildConnectionName(Side s) const {
    const PortSettings& ps = s == Side::A ? settingsA_ : settingsB_;
    std::string name;
    if (ps.serial) {
        name = ps.devicePath.empty() ? formatText("COM%d:", ps.portNumber) : ps.devicePath;
    }
    if (ps.network) {
        name = name.empty() ? "Network" : name + " - Network";
    }
    if (ps.isVirtual) {
        name = formatText("VirtualCOM%d:", ps.portNumber);
    }
    return name;
}

// The rules that may refuse a start before any channel is touched.
bool SideControl::startRulesAllow(Side s) {
    const PortSettings& ps = settings(s);
    if (!ps.serial && !ps.network && !ps.isVirtual) {
        view_.prompt().message(kTextNoType);
        return false;
    }
    if (side(otherSide(s)).isNetwork) {
        bool refused = false;
        if (ps.network) {
            view_.prompt().message(s == Side::A ? kTextOneNetworkA : kTextOneNetworkB);
            refused = true;
        }
        if (!networkConnected()) {
            view_.prompt().message(s == Side::A ? kTextPeerNotConnectedA : kTextPeerNotConnectedB);
            refused = true;
        }
        if (refused) {
            return false;
        }
    }
    if (s == Side::A && sideB_.isTerminal && ps.network) {
        view_.prompt().message(kTextCloseTerminalFirst);
        return false;
    }
    return true;
}

bool SideControl::openChannels(Side s) {
    const PortSettings& ps = settings(s);
    PortSide& ps_side = side(s);
    if (ps.network) {
        if (!openNetwork(s)) {
            return false;
        }
        ps_side.isNetwork = true;
    }
    if (ps.serial) {
        if (!openSerial(s)) {
            view_.prompt().message(kTextOpenFailed);
            return false;
        }
    }
    if (ps.isVirtual) {
        if (!openVirtual(s)) {
            view_.prompt().message(kTextVirtualFailed);
            return false;
        }
        ps_side.isVirtual = true;
    }
    return true;
}

bool SideControl::openSerial(Side s) {
    PortSettings& ps = settings(s);
    PortSide& ps_side = side(s);
    std::string error;
    if (!ps_side.port.Open(ps.device(), ps.baud, ps.parityLetter(), ps.dataBitCount(),
                           ps.stopBitCount(), error, false, false, kQueueSize)) {
        return false;
    }
    ps_side.port.SetLines(true, ps.dtr, false, false);
    ps_side.port.SetLines(false, false, true, ps.rts);
    ps_side.port.StartEventThread(
        this, [this, s](SerialPort&, unsigned events) { onSerialEvent(s, events); });
    ps_side.isSerial = true;
    hub_.attach(s, ps_side.port);
    if (ps.autoHandshake) {
        ps_side.port.SetFlowControl(true, true, true, true);
        CtsMirror();
        DsrMirror();
    } else {
        ps_side.port.SetFlowControl(true, false, true, false);
    }
    return true;
}

bool SideControl::openNetwork(Side s) {
    link_.EnableMessages(true);
    if (!link_.Open(networkSettings_)) {
        return false;
    }
    hub_.attach(s, networkChannel_);
    return true;
}

void SideControl::closeNetwork() {
    networkChannel_.finish();
    link_.Close();
}

bool SideControl::networkConnected() const {
    return link_.IsConnected();
}

bool SideControl::openVirtual(Side s) {
    CVirtualSerialPort& port = *side(s).virtualPort;
    if (!port.OpenPort(formatText("COM%d", settings(s).portNumber))) {
        return false;
    }
    hub_.attach(s, port);
    return true;
}

void SideControl::closeVirtual(Side s) {
    side(s).virtualPort->ClosePort();
}

void SideControl::closeChannels(Side s) {
    PortSide& ps_side = side(s);
    hub_.detachAll(s);
    if (ps_side.isNetwork) {
        closeNetwork();
        ps_side.isNetwork = false;
    }
    if (ps_side.isSerial) {
        const std::string device = ps_side.port.deviceName();
        const long long before = ps_side.port.droppedCount();
        ps_side.port.Close();
        ps_side.isSerial = false;
        if (const long long dropped = ps_side.port.droppedCount() - before; dropped > 0) {
            view_.prompt().notice(
                formatText(kTextDroppedAtStop, sideLetter(s), dropped, device.c_str()));
        }
    }
    if (ps_side.isVirtual) {
        closeVirtual(s);
        ps_side.isVirtual = false;
    }
}

bool SideControl::StartSide(Side s) {
    PortSide& ps_side = side(s);
    if (ps_side.started) {
        return true;
    }
    finishDrain(s);
    readSettings();
    connectionName_[index(s)] = buildConnectionName(s);
    emit connectionNamed(s, connectionName_[index(s)]);
    if (!startRulesAllow(s)) {
        return false;
    }
    OnGetIt(s);
    if (!openChannels(s)) {
        // Every channel the settings name is closed again, whether or not it had opened.
        const PortSettings& ps = settings(s);
        ps_side.started = false;
        ps_side.isNetwork = ps_side.isNetwork || ps.network;
        ps_side.isSerial = ps_side.isSerial || ps.serial;
        ps_side.isVirtual = ps_side.isVirtual || ps.isVirtual;
        closeChannels(s);
        return false;
    }
    ps_side.started = true;
    hub_.sideChanged(s);
    if (s == Side::B) {
        ps_side.isTerminal = false;
    }
    view_.sideStateChanged(s);
    return true;
}

bool SideControl::StartTerminal() {
    if (sideB_.started) {
        return false;
    }
    if (sideA_.isNetwork && !networkConnected()) {
        view_.prompt().message(kTextTerminalPeerNotConnected);
        return false;
    }
    connectionName_[1] = "Terminal";
    emit connectionNamed(Side::B, connectionName_[1]);
    if (!view_.openTerminalWindow()) {
        return false;
    }
    emit terminalRunning(true);
    if (terminalChannel_ != nullptr) {
        hub_.attach(Side::B, *terminalChannel_);
    }
    sideB_.isTerminal = true;
    sideB_.started = true;
    hub_.sideChanged(Side::B);
    view_.sideStateChanged(Side::B);
    return true;
}

void SideControl::StopSide(Side s) {
    PortSide& ps_side = side(s);
    const bool wasStarted = ps_side.started;
    if (s == Side::A && wasStarted) {
        hub_.releaseHeldA();
    }
    ps_side.started = false;
    hub_.sideChanged(s);
    if (s == Side::B && ps_side.isTerminal) {
        hub_.detachAll(s);
        ps_side.isTerminal = false;
        view_.closeTerminalWindow();
        emit terminalRunning(false);
    } else if (wasStarted && hub_.backlog(s) > 0) {
        draining_[index(s)] = true;
        drainTimer_[index(s)].start(kDrainMs);
    } else {
        closeChannels(s);
    }
    if (wasStarted) {
        view_.sideStateChanged(s);
    }
}

void SideControl::finishDrain(Side s) {
    if (draining(s)) {
        draining_[index(s)] = false;
        drainTimer_[index(s)].stop();
        closeChannels(s);
    }
}

void SideControl::waitForDrains() {
    if (!draining()) {
        return;
    }
    QEventLoop loop;
    QTimer check;
    connect(&check, &QTimer::timeout, &loop, [&] {
        if (!draining()) {
            loop.quit();
        }
    });
    check.start(10);
    loop.exec();
}

void SideControl::backlogShrank(Side s) {
    if (draining(s) && hub_.backlog(s) == 0) {
        finishDrain(s);
    }
}

SideControl::ControlState SideControl::controlState(Side s) const {
    const PortSide& ps_side = s == Side::A ? sideA_ : sideB_;
    ControlState state;
    state.settingsEnabled = !ps_side.started;
    state.startEnabled = !ps_side.started;
    state.stopEnabled = ps_side.started;
    state.terminalEnabled = !sideB_.started;
    state.linesEnabled = !ps_side.started || ps_side.isSerial || ps_side.isTerminal;
    return state;
}

void SideControl::OnDtrBox(Side s) {
    readSettings();
    if (side(s).isSerial) {
        side(s).port.SetLines(true, settings(s).dtr, false, false);
    }
}

void SideControl::OnRtsBox(Side s) {
    readSettings();
    if (side(s).isSerial) {
        side(s).port.SetLines(false, false, true, settings(s).rts);
    }
}

void SideControl::OnAutoBox(Side s) {
    readSettings();
    if (!side(s).isSerial) {
        return;
    }
    const bool on = settings(s).autoHandshake;
    side(s).port.SetFlowControl(true, on, true, on);
    if (on) {
        CtsMirror();
        DsrMirror();
    }
}

void SideControl::OnGetIt(Side s) {
    getIt(baud_[index(s)], settings(s).baud);
    view_.showBaudControls(s, baud_[index(s)]);
}

void SideControl::OnBaudListSelected(Side s, int listIndex) {
    readSettings();
    baudListSelected(baud_[index(s)], listIndex, settings(s).baud);
    view_.showBaudControls(s, baud_[index(s)]);
}

void SideControl::OnNetworkClosed() {
    for (Side s : {Side::A, Side::B}) {
        if (settings(s).network && !settings(s).serial && side(s).started) {
            StopSide(s);
        }
    }
}

void SideControl::CtsMirror() {
    mirror(TIOCM_CTS, ModemLine::Rts);
}

void SideControl::DsrMirror() {
    mirror(TIOCM_DSR, ModemLine::Dtr);
}

// Each side's output line follows the other side's input line, while both run serial with Auto.
void SideControl::mirror(int inputLine, ModemLine outputLine) {
    if (!sideA_.isSerial || !sideB_.isSerial || !settingsA_.autoHandshake ||
        !settingsB_.autoHandshake) {
        return;
    }
    for (Side from : {Side::A, Side::B}) {
        bool cts = false, dsr = false, ring = false, rlsd = false;
        if (!side(from).port.GetModemStatus(cts, dsr, ring, rlsd)) {
            continue;
        }
        const bool level = inputLine == TIOCM_CTS ? cts : dsr;
        const Side to = otherSide(from);
        if (outputLine == ModemLine::Rts) {
            side(to).port.SetLines(false, false, true, level);
        } else {
            side(to).port.SetLines(true, level, false, false);
        }
        view_.setLineBox(to, outputLine, level);
    }
}

}  // namespace pv
