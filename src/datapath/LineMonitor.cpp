#include "datapath/LineMonitor.h"

#include <algorithm>
#include <cstring>

#include "app/CommandIds.h"
#include "app/TextFormat.h"

namespace {

constexpr const char* kTextDeviceLost =
    "Comport %c: the device '%s' failed or was removed.\nComport %c has been stopped.";

constexpr int kReadTimeoutMs = 1;
constexpr int kRatePeriodMs = 1000;
// Held bytes go out on the 52nd receive notification in a row that brings nothing new.
constexpr int kIdleLimit = 50;
// Side B's read goes straight into its capture buffer.
static_assert(SerialPort::kBufferSize <= PortSide::kCaptureSize);

}  // namespace

LineMonitor::LineMonitor(MonitorView& view, TtyBackend& lines, QObject* parent)
    : QObject(parent),
      view_(view),
      sideA_(lines),
      sideB_(lines),
      link_(view.prompt()),
      parameterFile_(
          {settingsA_, settingsB_, exchange_.settings(), logSettings_, networkSettings_, trigger_,
           terminal_, display_, sideA_.localEcho, sideB_.localEcho, identifier_, checkForUpdate_},
          &view.prompt()) {
    settingsB_.portNumber = 2;
    showBaud(baud_[0], settingsA_.baud);
    showBaud(baud_[1], settingsB_.baud);
    setVirtualDirectory({});
    connect(&link_, &CSocketBaseClass::dataReceived, this, &LineMonitor::onNetworkReceive);
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
        connect(port.get(), &CVirtualSerialPort::OnDataAvailable, this,
                [this, s](int count) { onVirtualReceive(s, count); });
    }
}

LineMonitor::~LineMonitor() {
    StopSide(Side::A);
    StopSide(Side::B);
}

void LineMonitor::onSerialEvent(Side s, unsigned events) {
    if ((events & (SerialEvent::RxChar | SerialEvent::Lost)) != 0) {
        OnSerialReceive();
    }
    if ((events & SerialEvent::Cts) != 0) {
        CtsMirror();
    }
    if ((events & SerialEvent::Dsr) != 0) {
        DsrMirror();
    }
    if ((events & SerialEvent::Lost) != 0 && side(s).isSerial) {
        const std::string device = side(s).port.deviceName();
        StopSide(s);
        view_.prompt().message(
            formatText(kTextDeviceLost, sideLetter(s), device.c_str(), sideLetter(s)));
    }
}

void LineMonitor::OnSerialReceive() {
    if (sideA_.started) {
        receiveSideA();
    }
    if (sideB_.started) {
        receiveSideB();
    }
}

void LineMonitor::receiveSideA() {
    SerialPort& port = sideA_.port;
    const int waiting = port.GetInQueue();
    if (waiting <= 0) {
        if (sideA_.captureCount > 0 || exchange_.holding()) {
            if (idleCount_ > kIdleLimit) {
                exchange_.Release();
            } else {
                ++idleCount_;
            }
        }
        return;
    }
    // All that is there by now, not only what was counted: fewer, larger blocks.
    int n = 0;
    if (!port.Read(SerialPort::kBufferSize, n, kReadTimeoutMs) || n <= 0) {
        return;
    }
    rxPerSecond_ += n;
    echo(sideA_, port.rxBuffer(), n);
    idleCount_ = 0;
    appendToSideA(port.rxBuffer(), n);
}

// New bytes go behind those that eXchange holds back. Bytes held back can fill the buffer only
// while a match waits for its end; then they go out as they are, so nothing is ever dropped.
void LineMonitor::appendToSideA(const uint8_t* data, int count) {
    while (count > 0) {
        if (sideA_.captureCount == PortSide::kCaptureSize) {
            ProcessBlockA();
        }
        const int part = std::min(count, PortSide::kCaptureSize - sideA_.captureCount);
        std::memcpy(sideA_.captureBuffer.data() + sideA_.captureCount, data,
                    static_cast<size_t>(part));
        sideA_.captureCount += part;
        data += part;
        count -= part;
        ExchangePass();
    }
}

void LineMonitor::onNetworkReceive(const uint8_t* data, int count) {
    if (sideA_.isNetwork) {
        appendToSideA(data, count);
    } else if (sideB_.isNetwork) {
        std::memcpy(sideB_.captureBuffer.data(), data, static_cast<size_t>(count));
        sideB_.captureCount = count;
        ProcessBlockB();
    }
}

void LineMonitor::onVirtualReceive(Side s, int count) {
    CVirtualSerialPort& port = *side(s).virtualPort;
    PortSide& ps_side = side(s);
    if (!ps_side.started || !ps_side.isVirtual) {
        // A port left open after its side stopped: its bytes have nowhere to go.
        uint8_t discard[4096];
        while (port.ReadBytes(discard, sizeof discard) > 0) {
        }
        return;
    }
    if (s == Side::A) {
        uint8_t* buffer = scratch_.data();
        const int n = port.ReadBytes(buffer, std::min(count, PortSide::kCaptureSize));
        appendToSideA(buffer, n);
    } else {
        const int n =
            port.ReadBytes(sideB_.captureBuffer.data(), std::min(count, PortSide::kCaptureSize));
        if (n > 0) {
            sideB_.captureCount = n;
            ProcessBlockB();
        }
    }
}

void LineMonitor::receiveSideB() {
    SerialPort& port = sideB_.port;
    const int waiting = port.GetInQueue();
    int n = 0;
    if (waiting <= 0 || !port.Read(SerialPort::kBufferSize, n, kReadTimeoutMs) || n <= 0) {
        return;
    }
    rxPerSecond_ += n;
    echo(sideB_, port.rxBuffer(), n);
    std::memcpy(sideB_.captureBuffer.data(), port.rxBuffer(), static_cast<size_t>(n));
    sideB_.captureCount = n;
    ProcessBlockB();
}

void LineMonitor::echo(PortSide& ps_side, const uint8_t* data, int count) {
    if (ps_side.isSerial && ps_side.localEcho) {
        std::string ignored;
        ps_side.port.Write(data, count, ignored);
    }
}

void LineMonitor::ExchangePass() {
    exchange_.ExchangePass();
}

void LineMonitor::ProcessBlockA() {
    TriggerResult trigger;
    if (sideA_.captureCount > 0) {
        forward(Side::B, sideA_.captureBuffer.data(), sideA_.captureCount);
        trigger = checkTrigger(sideA_.captureBuffer.data(), sideA_.captureCount);
        DisplayBlock(Side::A, sideA_.captureBuffer.data(), sideA_.captureCount);
        sideA_.captureCount = 0;
        idleCount_ = 0;
    }
    finishTrigger(trigger);
}

void LineMonitor::ProcessBlockB() {
    forward(Side::A, sideB_.captureBuffer.data(), sideB_.captureCount);
    DisplayBlock(Side::B, sideB_.captureBuffer.data(), sideB_.captureCount);
}

// Write results are not examined: a side that cannot take the bytes loses them, and the
// display still shows them.
void LineMonitor::forward(Side target, const uint8_t* data, int count) {
    PortSide& to = side(target);
    if (!to.started || count <= 0) {
        return;
    }
    if (to.isNetwork) {
        link_.SendBlock(data, count);
    }
    if (to.isSerial) {
        std::string ignored;
        to.port.Write(data, count, ignored);
    }
    if (to.isVirtual) {
        to.virtualPort->WriteBytes(data, count);
    }
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

int LineMonitor::takeRxPerSecond() {
    const int count = rxPerSecond_;
    rxPerSecond_ = 0;
    return count;
}
