// Start and stop of each side, the live DTR, RTS and Auto controls, and the mirroring of CTS and
// DSR between two serial sides.
#include <sys/ioctl.h>

#include <QEventLoop>
#include <QTimer>

#include "base/TextFormat.h"
#include "ports/DeviceCheck.h"
#include "ports/Rfc2217Address.h"
#include "ports/SerialDeviceList.h"
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
constexpr const char* kTextWaitingForDevice =
    "Comport %c: the device '%s' failed or was removed.\nComport %c waits for it to come back "
    "and opens it again.";
constexpr const char* kTextReopened = "Comport %c: the device '%s' is back and open again.";
constexpr const char* kTextDroppedWhileAway =
    "Comport %c: %lld bytes for '%s' came while it was away and were dropped.";
constexpr const char* kTextReopenFailed =
    "Comport %c: the device '%s' is back but does not open:\n%s\nComport %c waits for it to be "
    "plugged in again.";
constexpr const char* kTextTypesExclusive =
    "Comport %c: Serial and Virtual exclude each other; Virtual is cleared and the serial port "
    "is used.";
constexpr const char* kTextLineErrorSummary =
    "Comport %c ('%s'): line errors while it was open: %s.";
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
    for (Side s : {Side::A, Side::B}) {
        setUpRemote(s);
        reopenRetry_[index(s)].setSingleShot(true);
        connect(&reopenRetry_[index(s)], &QTimer::timeout, this, [this, s] { tryReopen(s); });
        connect(&returnWatch_[index(s)], &DeviceReturnWatch::appeared, this, [this, s] {
            reopenAttempts_[index(s)] = 0;
            tryReopen(s);
        });
    }
    lineCheck_.setInterval(kLineCheckMs);
    connect(&lineCheck_, &QTimer::timeout, this,
            static_cast<void (SideControl::*)()>(&SideControl::checkLineErrors));
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
        onDeviceLost(s);
    }
}

void SideControl::onDeviceLost(Side s) {
    const std::string device = side(s).port.deviceName();
    if (side(s).started && settings(s).reopen) {
        waitForDevice(s);
        view_.prompt().notice(formatText(kTextWaitingForDevice, sideLetter(s),
                                         devicePath_[index(s)].c_str(), sideLetter(s)));
        return;
    }
    StopSide(s);
    finishDrain(s);
    view_.prompt().notice(
        formatText(kTextDeviceLost, sideLetter(s), device.c_str(), sideLetter(s)));
    emit sideLost(s);
}

// The port closes but stays with the data path, which goes on handing it the other side's bytes:
// it counts them as dropped, so the user hears how many were lost while the device was away.
void SideControl::waitForDevice(Side s) {
    const int i = index(s);
    droppedAtLoss_[i] = side(s).port.droppedCount();
    const DeviceReturnWatch::NodeId lost = DeviceReturnWatch::nodeOf(side(s).port.fd());
    closeSerial(s);
    waiting_[i] = true;
    reopenAttempts_[i] = 0;
    returnWatch_[i].watch(devicePath_[i], lost);
    view_.sideStateChanged(s);
}

void SideControl::tryReopen(Side s) {
    const int i = index(s);
    if (!waiting_[i] || !side(s).started) {
        return;
    }
    if (openSerial(s, devicePath_[i])) {
        const long long dropped = side(s).port.droppedCount() - droppedAtLoss_[i];
        stopWaiting(s);
        view_.prompt().notice(formatText(kTextReopened, sideLetter(s), devicePath_[i].c_str()));
        if (dropped > 0) {
            view_.prompt().notice(
                formatText(kTextDroppedWhileAway, sideLetter(s), dropped, devicePath_[i].c_str()));
        }
        view_.sideStateChanged(s);
        return;
    }
    // Gone again: the next appearance starts afresh.
    if (checkDeviceNode(devicePath_[i]).kind == NodeKind::Missing) {
        return;
    }
    if (++reopenAttempts_[i] < kReopenAttempts) {
        reopenRetry_[i].start(kReopenRetryMs);
        return;
    }
    returnWatch_[i].giveUpOnCurrentNode();
    view_.prompt().notice(formatText(kTextReopenFailed, sideLetter(s), devicePath_[i].c_str(),
                                     side(s).port.failureCause().c_str(), sideLetter(s)));
}

void SideControl::stopWaiting(Side s) {
    const int i = index(s);
    waiting_[i] = false;
    returnWatch_[i].stop();
    reopenRetry_[i].stop();
}

void SideControl::readSettings() {
    view_.readSettings(Side::A, settingsA_, baud_[0]);
    view_.readSettings(Side::B, settingsB_, baud_[1]);
}

void SideControl::settingsLoaded() {
    keepTypesExclusive(Side::A);
    keepTypesExclusive(Side::B);
}

// The window keeps the two boxes apart; a parameter file or a caller may not. The parameter
// file's Virtual line comes after its Serial line, so Virtual yields.
bool SideControl::keepTypesExclusive(Side s) {
    PortSettings& ps = settings(s);
    if (!ps.serial || !ps.isVirtual) {
        return false;
    }
    ps.isVirtual = false;
    view_.prompt().notice(formatText(kTextTypesExclusive, sideLetter(s)));
    return true;
}

// The device's by-id name is kept, so two adapters cannot swap after a re-plug; the name the
// user chose still names the connection.
void SideControl::adoptStableName(Side s) {
    PortSettings& ps = settings(s);
    if (side(s).isSerial && devicePath_[index(s)] != ps.device()) {
        ps.devicePath = devicePath_[index(s)];
    }
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
    if (!ps.rfc2217Listen.empty()) {
        name = "RFC 2217 port " + ps.rfc2217Listen;
    }
    return name;
}

// The rules that may refuse a start before any channel is touched.
bool SideControl::startRulesAllow(Side s) {
    const PortSettings& ps = settings(s);
    if (!ps.serial && !ps.network && !ps.isVirtual && ps.rfc2217Listen.empty()) {
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
    if (!ps.rfc2217Listen.empty()) {
        // Offered to the network, the side has no device of its own.
        return openRfc2217Server(s);
    }
    if (ps.serial && isRfc2217Device(ps.device())) {
        if (!openRemote(s)) {
            return false;
        }
    } else if (ps.serial) {
        if (!openSerial(s, ps.device())) {
            view_.prompt().message(withCause(kTextOpenFailed, ps_side.port.failureCause()));
            return false;
        }
    }
    if (ps.isVirtual) {
        if (!openVirtual(s)) {
            view_.prompt().message(withCause(kTextVirtualFailed, ps_side.virtualPort->lastError()));
            return false;
        }
        ps_side.isVirtual = true;
    }
    return true;
}

bool SideControl::openSerial(Side s, const std::string& device) {
    PortSettings& ps = settings(s);
    PortSide& ps_side = side(s);
    std::string error;
    if (!ps_side.port.Open(device, ps.baud, ps.parityLetter(), ps.dataBitCount(), ps.stopBitCount(),
                           error, false, false, kQueueSize)) {
        return false;
    }
    // Found while the device is there; what a re-plug waits for.
    devicePath_[index(s)] = stableDeviceName(device);
    LineCounts atOpen;
    ps_side.port.readLineCounts(atOpen);
    tally_[index(s)].reset(atOpen);
    view_.showLineErrors(s, {});
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
    updateLineCheck();
    return true;
}

// The last counts are read before the port closes; what went wrong while it was open is said
// once more in total.
void SideControl::closeSerial(Side s) {
    PortSide& ps_side = side(s);
    checkLineErrors(s);
    const LineErrorTally& tally = tally_[index(s)];
    if (ps_side.port.isOpen() && tally.any()) {
        view_.prompt().notice(formatText(kTextLineErrorSummary, sideLetter(s),
                                         ps_side.port.deviceName().c_str(), tally.text().c_str()));
    }
    ps_side.port.Close();
    ps_side.isSerial = false;
    updateLineCheck();
}

void SideControl::updateLineCheck() {
    if (hasLines(Side::A) || hasLines(Side::B)) {
        if (!lineCheck_.isActive()) {
            lineCheck_.start();
        }
    } else {
        lineCheck_.stop();
    }
}

void SideControl::checkLineErrors() {
    checkLineErrors(Side::A);
    checkLineErrors(Side::B);
}

void SideControl::checkLineErrors(Side s) {
    PortSide& ps_side = side(s);
    LineCounts counts;
    if (ps_side.isRemote) {
        counts = ps_side.remotePort->lineCounts();
    } else if (!ps_side.isSerial || !ps_side.port.readLineCounts(counts)) {
        return;
    }
    LineErrorTally& tally = tally_[index(s)];
    const std::vector<LineFault> grown = tally.update(counts);
    const std::string device =
        ps_side.isRemote ? ps_side.remotePort->device() : ps_side.port.deviceName();
    for (LineFault fault : grown) {
        view_.prompt().notice(lineFaultNotice(sideLetter(s), device, fault));
    }
    if (!grown.empty()) {
        view_.showLineErrors(s, tally.text());
    }
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
    stopWaiting(s);
    hub_.detachAll(s);
    if (ps_side.isNetwork) {
        closeNetwork();
        ps_side.isNetwork = false;
    }
    if (ps_side.isSerial) {
        const std::string device = ps_side.port.deviceName();
        const long long before = ps_side.port.droppedCount();
        closeSerial(s);
        if (const long long dropped = ps_side.port.droppedCount() - before; dropped > 0) {
            view_.prompt().notice(
                formatText(kTextDroppedAtStop, sideLetter(s), dropped, device.c_str()));
        }
    }
    if (ps_side.isVirtual) {
        closeVirtual(s);
        ps_side.isVirtual = false;
    }
    if (ps_side.isRemote) {
        closeRemote(s);
    }
    if (ps_side.isRfc2217Server) {
        closeRfc2217Server(s);
    }
}

bool SideControl::StartSide(Side s) {
    PortSide& ps_side = side(s);
    if (ps_side.started) {
        return true;
    }
    finishDrain(s);
    readSettings();
    keepTypesExclusive(s);
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
        ps_side.isRemote = ps_side.isRemote || (ps.serial && isRfc2217Device(ps.device()));
        ps_side.isRfc2217Server = ps_side.isRfc2217Server || !ps.rfc2217Listen.empty();
        closeChannels(s);
        return false;
    }
    ps_side.started = true;
    adoptStableName(s);
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
    // A side waiting for its device has no lines to set until the device is back.
    state.linesEnabled = !ps_side.started || ps_side.isSerial || ps_side.isTerminal ||
                         (ps_side.isRemote && !waiting_[index(s)]);
    return state;
}

void SideControl::OnDtrBox(Side s) {
    readSettings();
    setOutputLine(s, ModemLine::Dtr, settings(s).dtr);
}

void SideControl::OnRtsBox(Side s) {
    readSettings();
    setOutputLine(s, ModemLine::Rts, settings(s).rts);
}

void SideControl::OnAutoBox(Side s) {
    readSettings();
    const bool on = settings(s).autoHandshake;
    if (side(s).isRemote) {
        side(s).remotePort->setHardwareFlow(on);
    } else if (side(s).isSerial) {
        side(s).port.SetFlowControl(true, on, true, on);
    } else {
        return;
    }
    if (on) {
        CtsMirror();
        DsrMirror();
    }
}

// Unticking "reopen" while the side waits for its device ends the wait: the side stops.
void SideControl::OnReopenBox(Side s) {
    readSettings();
    if (waiting_[index(s)] && !settings(s).reopen) {
        StopSide(s);
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
    if (!hasLines(Side::A) || !hasLines(Side::B) || !settingsA_.autoHandshake ||
        !settingsB_.autoHandshake) {
        return;
    }
    for (Side from : {Side::A, Side::B}) {
        bool cts = false, dsr = false;
        if (!inputLines(from, cts, dsr)) {
            continue;
        }
        const bool level = inputLine == TIOCM_CTS ? cts : dsr;
        const Side to = otherSide(from);
        setOutputLine(to, outputLine, level);
        view_.setLineBox(to, outputLine, level);
    }
}

}  // namespace pv
