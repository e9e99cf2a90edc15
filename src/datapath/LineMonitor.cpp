#include "datapath/LineMonitor.h"

#include <algorithm>
#include <cstring>

#include "app/TextFormat.h"

namespace {

constexpr const char* kTextNetworkMissing = "Comport %c: network connections are not available.";
constexpr const char* kTextDeviceLost =
    "Comport %c: the device '%s' failed or was removed.\nComport %c has been stopped.";

constexpr int kReadTimeoutMs = 1;
// Held bytes go out on the 52nd receive notification in a row that brings nothing new.
constexpr int kIdleLimit = 50;

}  // namespace

LineMonitor::LineMonitor(MonitorView& view, TtyBackend& lines, QObject* parent)
    : QObject(parent), view_(view), sideA_(lines), sideB_(lines) {
    settingsB_.portNumber = 2;
    showBaud(baud_[0], settingsA_.baud);
    showBaud(baud_[1], settingsB_.baud);
}

LineMonitor::~LineMonitor() {
    StopSide(Side::A);
    StopSide(Side::B);
}

bool LineMonitor::openNetwork(Side s) {
    view_.prompt().message(formatText(kTextNetworkMissing, sideLetter(s)));
    return false;
}

void LineMonitor::closeNetwork() {}

bool LineMonitor::networkConnected() const {
    return false;
}

bool LineMonitor::openVirtual(Side) {
    return false;
}

void LineMonitor::closeVirtual(Side) {}

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
        if (sideA_.captureCount > 0) {
            if (idleCount_ > kIdleLimit) {
                ProcessBlockA();
            } else {
                ++idleCount_;
            }
        }
        return;
    }
    // Held bytes fill the buffer only while eXchange waits for the rest of a match; when no room
    // is left they go out as they are, and what does not fit stays queued in the driver.
    if (sideA_.captureCount == PortSide::kCaptureSize) {
        ProcessBlockA();
    }
    const int room = PortSide::kCaptureSize - sideA_.captureCount;
    int n = 0;
    if (!port.Read(std::min(waiting, room), n, kReadTimeoutMs) || n <= 0) {
        return;
    }
    rxPerSecond_ += n;
    echo(sideA_, port.rxBuffer(), n);
    std::memcpy(sideA_.captureBuffer.data() + sideA_.captureCount, port.rxBuffer(),
                static_cast<size_t>(n));
    sideA_.captureCount += n;
    idleCount_ = 0;
    ExchangePass();
}

void LineMonitor::receiveSideB() {
    SerialPort& port = sideB_.port;
    const int waiting = port.GetInQueue();
    int n = 0;
    if (waiting <= 0 || !port.Read(waiting, n, kReadTimeoutMs) || n <= 0) {
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
    ProcessBlockA();
}

void LineMonitor::ProcessBlockA() {
    if (sideA_.captureCount > 0) {
        forward(Side::B, sideA_.captureBuffer.data(), sideA_.captureCount);
        DisplayBlock(Side::A, sideA_.captureBuffer.data(), sideA_.captureCount);
        sideA_.captureCount = 0;
        idleCount_ = 0;
    }
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
    if (to.isSerial) {
        std::string ignored;
        to.port.Write(data, count, ignored);
    }
}

void LineMonitor::DisplayBlock(Side s, const uint8_t* data, int count) {
    if (count <= 0) {
        return;
    }
    if (outputEnabled_) {
        view_.showBlock(s, data, count);
    }
    side(s).totalShown += count;
}

int LineMonitor::takeRxPerSecond() {
    const int count = rxPerSecond_;
    rxPerSecond_ = 0;
    return count;
}
