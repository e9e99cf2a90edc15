#include "datapath/LineMonitor.h"

#include <algorithm>
#include <cstring>

#include "base/CommandIds.h"
#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kTextDeviceLost =
    "Comport %c: the device '%s' failed or was removed.\nComport %c has been stopped.";

constexpr int kRatePeriodMs = 1000;

}  // namespace

LineMonitor::LineMonitor(MonitorView& view, TtyBackend& lines, QObject* parent)
    : QObject(parent),
      view_(view),
      sideA_(lines),
      sideB_(lines),
      link_(view.prompt()),
      parameterFile_({settingsA_, settingsB_, receive_.exchange().settings(), logSettings_,
                      networkSettings_, trigger_, terminal_, display_, sideA_.localEcho,
                      sideB_.localEcho, identifier_, checkForUpdate_},
                     &view.prompt()) {
    settingsB_.portNumber = 2;
    showBaud(baud_[0], settingsA_.baud);
    showBaud(baud_[1], settingsB_.baud);
    setVirtualDirectory({});
    const auto sayNotice = [this](const std::string& text) { view_.prompt().notice(text); };
    for (pv::Channel* channel :
         {static_cast<pv::Channel*>(&sideA_.port), static_cast<pv::Channel*>(&sideB_.port),
          static_cast<pv::Channel*>(&networkChannel_)}) {
        connect(channel, &pv::Channel::notice, this, sayNotice);
    }
    for (QTimer& timer : drainTimer_) {
        timer.setSingleShot(true);
    }
    connect(&drainTimer_[0], &QTimer::timeout, this, [this] { finishDrain(Side::A); });
    connect(&drainTimer_[1], &QTimer::timeout, this, [this] { finishDrain(Side::B); });
    connect(&receive_, &pv::ReceivePath::backlogShrank, this, &LineMonitor::onBacklogShrank);
    connect(&link_, &CSocketClass::closedByClient, this, &LineMonitor::OnNetworkClosed);
    connect(&link_, &CSocketClass::closedByServer, this, &LineMonitor::OnNetworkClosed);
    connect(&rateTimer_, &QTimer::timeout, this, &LineMonitor::OnRateTimer);
    rateTimer_.start(kRatePeriodMs);
    registerCommands();
    initTrigger();
    initLogging();
    initParameters();
}

void LineMonitor::registerCommands() {
    const auto toggleEcho = [this](Side s, int id) {
        side(s).localEcho = !side(s).localEcho;
        view_.setMenuCheck(id, side(s).localEcho);
    };
    commands_.add(Command::LocalEchoA, [=] { toggleEcho(Side::A, Command::LocalEchoA); });
    commands_.add(Command::LocalEchoB, [=] { toggleEcho(Side::B, Command::LocalEchoB); });
    commands_.add(Command::UseAsciiSymbols, [this] {
        display_.useAsciiSymbols = !display_.useAsciiSymbols;
        view_.setMenuCheck(Command::UseAsciiSymbols, display_.useAsciiSymbols);
    });
    commands_.add(Command::UseHexSymbols, [this] {
        display_.useHexSymbols = !display_.useHexSymbols;
        view_.setMenuCheck(Command::UseHexSymbols, display_.useHexSymbols);
    });
}

void LineMonitor::OnRateTimer() {
    view_.showRate(rateDisplay_.tick(takeRxPerSecond(), outputEnabled_));
}

void LineMonitor::setVirtualDirectory(const std::string& directory) {
    for (Side s : {Side::A, Side::B}) {
        auto& port = side(s).virtualPort;
        if (port && port->isOpen()) {
            continue;
        }
        port = std::make_unique<CVirtualSerialPort>(view_.prompt(), directory);
        connect(port.get(), &pv::Channel::notice, this,
                [this](const std::string& text) { view_.prompt().notice(text); });
    }
}

LineMonitor::~LineMonitor() {
    for (Side s : {Side::A, Side::B}) {
        StopSide(s);
        finishDrain(s);
    }
}

// Received bytes come through the receive path; here only what the port says besides them.
void LineMonitor::onSerialEvent(Side s, unsigned events) {
    if ((events & SerialEvent::Cts) != 0) {
        CtsMirror();
    }
    if ((events & SerialEvent::Dsr) != 0) {
        DsrMirror();
    }
    if ((events & SerialEvent::Lost) != 0 && side(s).isSerial) {
        // Every byte that came before the hang-up is handed on first.
        if (side(s).started) {
            receive_.OnSerialReceive();
        }
        const std::string device = side(s).port.deviceName();
        StopSide(s);
        finishDrain(s);
        view_.prompt().notice(
            formatText(kTextDeviceLost, sideLetter(s), device.c_str(), sideLetter(s)));
    }
}

void LineMonitor::forwardedA(const uint8_t* data, int count) {
    const TriggerResult trigger = checkTrigger(data, count);
    DisplayBlock(Side::A, data, count);
    finishTrigger(trigger);
}

void LineMonitor::forwardedB(const uint8_t* data, int count) {
    DisplayBlock(Side::B, data, count);
}

void LineMonitor::DisplayBlock(Side s, const uint8_t* data, int count) {
    if (count <= 0) {
        return;
    }
    const PaneFormat format = s == Side::A ? PaneFormat::SideA : PaneFormat::SideB;
    if (outputEnabled_) {
        display_.DisplayBlock(format, data, count);
        view_.showBlock(s, data, count);
        logBlock(s, data, count);
    } else {
        display_.skipBlock(format, count);
    }
    side(s).totalShown += count;
}

void LineMonitor::MarkTriggerMatch(int patternBytes, int trailingBytes) {
    if (outputEnabled_) {
        display_.MarkTriggerMatch(patternBytes, trailingBytes);
    }
}

}  // namespace pv
