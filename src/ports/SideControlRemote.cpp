// The sides that reach a serial port over the network with RFC 2217: as the client of a port on
// another machine ("rfc2217://host:port"), or as the server that offers the side as a port.
#include "base/TextFormat.h"
#include "ports/DeviceCheck.h"
#include "ports/SideControl.h"

namespace pv {

namespace {

constexpr const char* kTextRemoteLost =
    "Comport %c: the connection to '%s' ended (%s).\nComport %c has been stopped.";
constexpr const char* kTextRemoteWaiting =
    "Comport %c: the connection to '%s' ended (%s).\nComport %c connects again every %d s.";
constexpr const char* kTextRemoteBack = "Comport %c: the connection to '%s' is back.";
constexpr const char* kTextRemoteDropped =
    "Comport %c: %lld bytes for '%s' came while it was away and were dropped.";
constexpr const char* kTextServerFailed = "Unable to offer the port on the network !!!";
constexpr const char* kTextClientSetsUnshown =
    "Comport %c: the side's controls cannot show all of %s; the controls keep what they have.";

}  // namespace

void SideControl::setUpRemote(Side s) {
    const std::string label = formatText("Comport %c", sideLetter(s));
    PortSide& ps_side = side(s);
    ps_side.remotePort = std::make_unique<Rfc2217Channel>(label);
    ps_side.rfc2217Server = std::make_unique<Rfc2217ServerChannel>(label);
    sayNotices(*ps_side.remotePort);
    sayNotices(*ps_side.rfc2217Server);
    Rfc2217Channel* remote = ps_side.remotePort.get();
    connect(remote, &Rfc2217Channel::lost, this,
            [this, s](const std::string& reason) { onRemoteLost(s, reason); });
    connect(remote, &Rfc2217Channel::linkUp, this, [this, s] {
        const int i = index(s);
        if (!waiting_[i]) {
            return;
        }
        waiting_[i] = false;
        const std::string device = side(s).remotePort->device();
        view_.prompt().notice(formatText(kTextRemoteBack, sideLetter(s), device.c_str()));
        if (const long long dropped = side(s).remotePort->droppedCount() - droppedAtLoss_[i];
            dropped > 0) {
            view_.prompt().notice(
                formatText(kTextRemoteDropped, sideLetter(s), dropped, device.c_str()));
        }
        view_.sideStateChanged(s);
    });
    connect(remote, &Rfc2217Channel::modemLinesChanged, this, [this] {
        CtsMirror();
        DsrMirror();
    });
    connect(ps_side.rfc2217Server.get(), &Rfc2217ServerChannel::lineSettingsSet, this,
            [this, s](const rfc2217::LineSettings& line) { onClientLineSettings(s, line); });
    connect(ps_side.rfc2217Server.get(), &Rfc2217ServerChannel::lineSwitched, this,
            [this, s](ModemLine line, bool on) { view_.setLineBox(s, line, on); });
    reconnect_[index(s)].setSingleShot(true);
    connect(&reconnect_[index(s)], &QTimer::timeout, this, [this, s] { reconnectRemote(s); });
}

bool SideControl::openRemote(Side s) {
    PortSide& ps_side = side(s);
    std::string error;
    if (!ps_side.remotePort->open(settings(s).device(), settings(s), error)) {
        view_.prompt().message(
            withCause("Unable to open the port !!!\nMaybe it is in use !", error));
        return false;
    }
    ps_side.isRemote = true;
    tally_[index(s)].reset({});
    view_.showLineErrors(s, {});
    hub_.attach(s, *ps_side.remotePort);
    updateLineCheck();
    return true;
}

void SideControl::closeRemote(Side s) {
    PortSide& ps_side = side(s);
    const int i = index(s);
    reconnect_[i].stop();
    waiting_[i] = false;
    checkLineErrors(s);
    if (tally_[i].any()) {
        view_.prompt().notice(formatText("Comport %c ('%s'): line errors while it was open: %s.",
                                         sideLetter(s), ps_side.remotePort->device().c_str(),
                                         tally_[i].text().c_str()));
    }
    ps_side.remotePort->close();
    ps_side.isRemote = false;
    updateLineCheck();
}

// A lost connection is said once per episode: attempts that fail while the side waits are
// quiet.
void SideControl::onRemoteLost(Side s, const std::string& reason) {
    PortSide& ps_side = side(s);
    const int i = index(s);
    if (!ps_side.started || !ps_side.isRemote) {
        return;
    }
    const std::string device = ps_side.remotePort->device();
    if (settings(s).reopen) {
        if (!waiting_[i]) {
            waiting_[i] = true;
            droppedAtLoss_[i] = ps_side.remotePort->droppedCount();
            view_.prompt().notice(formatText(kTextRemoteWaiting, sideLetter(s), device.c_str(),
                                             reason.c_str(), sideLetter(s), kReconnectMs / 1000));
            view_.sideStateChanged(s);
        }
        reconnect_[i].start(kReconnectMs);
        return;
    }
    StopSide(s);
    finishDrain(s);
    view_.prompt().notice(
        formatText(kTextRemoteLost, sideLetter(s), device.c_str(), reason.c_str(), sideLetter(s)));
    emit sideLost(s);
}

void SideControl::reconnectRemote(Side s) {
    PortSide& ps_side = side(s);
    if (!ps_side.started || !ps_side.isRemote) {
        return;
    }
    // The channel stays with the data path; what comes for it meanwhile is counted as dropped.
    std::string error;
    ps_side.remotePort->open(ps_side.remotePort->device(), settings(s), error);
}

bool SideControl::openRfc2217Server(Side s) {
    PortSide& ps_side = side(s);
    std::string error;
    if (!ps_side.rfc2217Server->listen(settings(s).rfc2217Listen, settings(s), error)) {
        view_.prompt().message(withCause(kTextServerFailed, error));
        return false;
    }
    ps_side.isRfc2217Server = true;
    hub_.attach(s, *ps_side.rfc2217Server);
    return true;
}

void SideControl::closeRfc2217Server(Side s) {
    side(s).rfc2217Server->close();
    side(s).isRfc2217Server = false;
}

void SideControl::onClientLineSettings(Side s, const rfc2217::LineSettings& line) {
    PortSettings& ps = settings(s);
    if (!rfc2217::applyLineSettings(line, ps)) {
        view_.prompt().notice(
            formatText(kTextClientSetsUnshown, sideLetter(s), rfc2217::describe(line).c_str()));
    }
    showBaud(baud_[index(s)], ps.baud);
    view_.showSettings(s);
}

bool SideControl::inputLines(Side s, bool& cts, bool& dsr) {
    PortSide& ps_side = side(s);
    if (ps_side.isRemote) {
        const rfc2217::ModemLines lines = ps_side.remotePort->modemLines();
        cts = lines.cts;
        dsr = lines.dsr;
        return ps_side.remotePort->connected();
    }
    bool ring = false, rlsd = false;
    return ps_side.isSerial && ps_side.port.GetModemStatus(cts, dsr, ring, rlsd);
}

void SideControl::setOutputLine(Side s, ModemLine line, bool on) {
    PortSide& ps_side = side(s);
    if (ps_side.isRemote) {
        line == ModemLine::Dtr ? ps_side.remotePort->setDtr(on) : ps_side.remotePort->setRts(on);
    } else if (ps_side.isSerial) {
        ps_side.port.SetLines(line == ModemLine::Dtr, on, line == ModemLine::Rts, on);
    }
}

}  // namespace pv
