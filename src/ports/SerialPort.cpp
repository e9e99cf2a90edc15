#include "ports/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/TextFormat.h"
#include "ports/DeviceCheck.h"

namespace pv {

namespace {

constexpr const char* kTextAlreadyOpen = "Schnittstelle '%s' ist bereits initialisert !!!";
constexpr const char* kTextBadParameter = "Fehlerhafter Parameter in ('%s',%d,%s,%d,%d)";
constexpr const char* kTextNoHandle =
    "Handle für '%s' konnte nicht erzeugt werden !!!\nVermutlich ist der Port in Gebrauch !";
constexpr const char* kTextNoState = "Status für '%s' konnte nicht übernommen werden !!!\n";
constexpr const char* kTextNoDcb =
    "Device-Control Block für '%s' konnte nicht verbunden werden !!!";
constexpr const char* kTextNotOpen = "Schnittstelle '%s' ist nicht initialisert !!!";
constexpr const char* kTextPartialWrite = "Es konnten %d von %d über %s versandt werden !!!";
constexpr const char* kTextAccessError = "Fehler '%s' beim Zugriff auf '%s'";

constexpr const char* kCauseAlreadyOpen = "The port is open already.";
constexpr const char* kCauseNoDevice = "No device is chosen.";
constexpr const char* kCauseLowBaud = "%d baud is below the lowest rate, 75 baud.";
constexpr const char* kCauseParity = "Parity '%s' is none of N, E, O, M and S.";
constexpr const char* kCauseDataBits = "%d data bits: only 7 or 8 are possible.";
constexpr const char* kCauseStopBits = "%d stop bits: only 1 or 2 are possible.";
constexpr const char* kCauseLocked =
    "'%s' is locked by another program, or by the other side of this one.";
constexpr const char* kCauseNotTerminal = "'%s' is not a terminal device, so no serial port.";
constexpr const char* kCauseNoDsrFlow = "DSR flow control has no counterpart on Linux.";
constexpr const char* kCauseFormatRefused = "The driver refused the frame format: %s.";
constexpr const char* kCauseRateRefused = "The driver refused %d baud; it offered %d baud.";

constexpr int kInitialBaud = 9600;
// How far the rate a driver offers may be off the asked one: a UART still decodes within this.
constexpr long long kBaudTolerancePercent = 2;
constexpr int kMinBaud = 75;
// Line changes are read this often where the driver has modem lines but cannot wait for their
// changes; a pty has none, so its event thread sleeps until it is stopped.
constexpr int kLinePollMs = 10;
constexpr int kStopWaitMs = 1000;
constexpr int kInterruptRepeatMs = 5;
// Wakes from the driver's wait in a row that show no change before it is given up for polling.
constexpr int kMaxEmptyWakes = 100;

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

std::string parameterProblem(const std::string& name, int baud, const std::string& parity,
                             int dataBits, int stopBits) {
    if (name.empty()) {
        return kCauseNoDevice;
    }
    if (baud < kMinBaud) {
        return formatText(kCauseLowBaud, baud);
    }
    if (parity.size() != 1 || std::strchr("NEOMS", parity[0]) == nullptr) {
        return formatText(kCauseParity, parity.c_str());
    }
    if (dataBits < 7 || dataBits > 8) {
        return formatText(kCauseDataBits, dataBits);
    }
    if (stopBits < 1 || stopBits > 2) {
        return formatText(kCauseStopBits, stopBits);
    }
    return {};
}

unsigned lineEvents(int changed) {
    unsigned events = 0;
    if (changed & TIOCM_CTS) {
        events |= SerialEvent::Cts;
    }
    if (changed & TIOCM_DSR) {
        events |= SerialEvent::Dsr;
    }
    if (changed & TIOCM_RNG) {
        events |= SerialEvent::Ring;
    }
    if (changed & TIOCM_CD) {
        events |= SerialEvent::Rlsd;
    }
    return events;
}

}  // namespace

SerialPort::SerialPort(TtyBackend& lines, QObject* parent) : pv::Channel(parent), lines_(lines) {}

SerialPort::~SerialPort() {
    Close();
    for (int fd : {wakeFd_, notifyFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool SerialPort::Open(const std::string& deviceName, int baud, std::string parity, int dataBits,
                      int stopBits, std::string& errorText, bool ctsFlow, bool dsrFlow,
                      int /*queueSize: the kernel sizes its own queues*/) {
    errorText.clear();
    cause_.clear();
    if (open_) {
        cause_ = kCauseAlreadyOpen;
        errorText = withCause(formatText(kTextAlreadyOpen, deviceName.c_str()), cause_);
        return false;
    }
    std::transform(parity.begin(), parity.end(), parity.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    deviceName_ = deviceName;
    const std::string problem = parameterProblem(deviceName, baud, parity, dataBits, stopBits);
    if (!problem.empty()) {
        cause_ = problem;
        errorText = withCause(formatText(kTextBadParameter, deviceName.c_str(), baud,
                                         parity.c_str(), dataBits, stopBits),
                              cause_);
        return false;
    }
    if (!openDevice(deviceName, errorText)) {
        return false;
    }
    if (!applyLineSettings(baud, TtyLineFormat{dataBits, stopBits, parity[0], ctsFlow}, dsrFlow,
                           errorText)) {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    open_ = true;
    out_.attach(fd_);
    return true;
}

bool SerialPort::fail(const char* text, std::string cause, std::string& errorText) {
    cause_ = std::move(cause);
    errorText = withCause(formatText(text, deviceName_.c_str()), cause_);
    return false;
}

// Opens the device for us alone. Anything else is refused before it is touched (a FIFO is never
// opened), and so is a device another program already reads: it would take our bytes.
bool SerialPort::openDevice(const std::string& deviceName, std::string& errorText) {
    const NodeCheck node = checkDeviceNode(deviceName);
    if (node.kind == NodeKind::NotADevice) {
        return fail(kTextNoState, node.cause, errorText);
    }
    if (node.kind != NodeKind::CharDevice) {
        return fail(kTextNoHandle, node.cause, errorText);
    }
    fd_ = ::open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        const auto holders =
            error == EBUSY ? deviceHolders(deviceName) : std::vector<DeviceHolder>{};
        return fail(
            kTextNoHandle,
            holders.empty() ? openErrorCause(deviceName, error) : holdersCause(deviceName, holders),
            errorText);
    }
    std::string cause;
    const char* text = kTextNoHandle;
    if (!ttyIsTerminal(fd_)) {
        text = kTextNoState;
        cause = formatText(kCauseNotTerminal, deviceName.c_str());
    } else if (const auto holders = deviceHolders(deviceName); !holders.empty()) {
        cause = holdersCause(deviceName, holders);
    } else if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        // flock keeps out our own other side and programs that lock the way pyserial does.
        cause = formatText(kCauseLocked, deviceName.c_str());
    }
    if (!cause.empty()) {
        ::close(fd_);
        fd_ = -1;
        return fail(text, cause, errorText);
    }
    // TIOCEXCL keeps out unprivileged programs that come later; Close lifts it again.
    ::ioctl(fd_, TIOCEXCL);
    return true;
}

// The frame format, then the rate. A rate the driver refuses, or replaces by one too far off
// for a UART to decode, fails the open: the line would silently run at another rate.
bool SerialPort::applyLineSettings(int baud, const TtyLineFormat& format, bool dsrFlow,
                                   std::string& errorText) {
    // DSR output flow control has no termios counterpart; refusing it is honest.
    if (dsrFlow) {
        return fail(kTextNoDcb, kCauseNoDsrFlow, errorText);
    }
    if (!setTtyFormat(fd_, format) || !lines_.setSpeed(fd_, kInitialBaud)) {
        return fail(kTextNoDcb, formatText(kCauseFormatRefused, std::strerror(errno)), errorText);
    }
    const bool set = lines_.setSpeed(fd_, baud);
    const int offered = lines_.getSpeed(fd_);
    const long long off = std::llabs(static_cast<long long>(offered) - baud);
    if (!set || offered <= 0 || off * 100 > static_cast<long long>(baud) * kBaudTolerancePercent) {
        return fail(kTextNoDcb, formatText(kCauseRateRefused, baud, offered), errorText);
    }
    return true;
}

void SerialPort::Close() {
    if (threadRunning_) {
        StopEventThread();
    }
    if (fd_ >= 0) {
        countDropped(static_cast<long long>(out_.detach()));
        // The flag stays with the tty (a pty keeps it while its master lives): lift it, so
        // other programs may open the device after us.
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
        deviceName_.clear();
        open_ = false;
        rxCount_ = 0;
    }
}

bool SerialPort::Write(const uint8_t* data, int length, std::string& errorText) {
    errorText.clear();
    if (!open_) {
        errorText = formatText(kTextNotOpen, deviceName_.c_str());
        return false;
    }
    if (length <= 0) {
        return true;
    }
    const size_t refused = out_.send(data, static_cast<size_t>(length));
    if (refused == 0) {
        return true;
    }
    countDropped(static_cast<long long>(refused));
    if (out_.error() != 0) {
        errorText = formatText(kTextAccessError, std::strerror(out_.error()), deviceName_.c_str());
    } else {
        errorText = formatText(kTextPartialWrite, length - static_cast<int>(refused), length,
                               deviceName_.c_str());
    }
    return false;
}

void SerialPort::send(const uint8_t* data, int count) {
    if (!open_) {
        countDropped(std::max(count, 0));
        return;
    }
    std::string ignored;
    Write(data, count, ignored);
}

int SerialPort::read(uint8_t* buffer, int capacity) {
    int taken = 0;
    while (open_ && taken < capacity) {
        const ssize_t n = ::read(fd_, buffer + taken, static_cast<size_t>(capacity - taken));
        if (n > 0) {
            taken += static_cast<int>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            break;  // EAGAIN: all taken; a failure shows as a hang-up on the next wake-up
        }
    }
    return taken;
}

void SerialPort::applyReading(bool on) {
    if (rxNotifier_) {
        rxNotifier_->setEnabled(on && threadRunning_);
    }
}

int SerialPort::GetInQueue() {
    int count = 0;
    if (!open_ || ::ioctl(fd_, FIONREAD, &count) != 0) {
        return -1;
    }
    return count;
}

bool SerialPort::SetReadTimeout(int timeoutMs) {
    if (!open_ || timeoutMs < 0) {
        return false;
    }
    readTimeoutMs_ = timeoutMs;
    return true;
}

bool SerialPort::Read(int count, int& received, int timeoutMs) {
    if (!SetReadTimeout(timeoutMs)) {
        return false;
    }
    if (count <= 0) {
        received = 0;
        return true;
    }
    count = std::min(count, kBufferSize);
    const auto deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
    int position = 0;
    while (position < count) {
        const int wanted = count - position;
        const ssize_t n = ::read(fd_, rxBuffer_.data() + position, static_cast<size_t>(wanted));
        if (n > 0) {
            position += static_cast<int>(n);
            // A short read emptied the driver's buffer: asking again would only meet EAGAIN.
            if (n < wanted) {
                break;
            }
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && position == 0) {
            const int left = msLeft(deadline);
            if (left == 0 || !waitFor(fd_, POLLIN, left)) {
                break;
            }
        } else {
            break;
        }
    }
    rxCount_ = position;
    received = position;
    return position > 0;
}

bool SerialPort::SetLines(bool changeDtr, bool dtrOn, bool changeRts, bool rtsOn) {
    if (!open_) {
        return false;
    }
    bool ok = true;
    if (changeDtr) {
        ok = lines_.setLines(fd_, TIOCM_DTR, dtrOn) && ok;
    }
    if (changeRts) {
        ok = lines_.setLines(fd_, TIOCM_RTS, rtsOn) && ok;
    }
    return ok;
}

bool SerialPort::SetFlowControl(bool changeDsr, bool dsrFlowOn, bool changeCts, bool ctsFlowOn) {
    if (!open_) {
        return false;
    }
    bool ok = true;
    if (changeCts) {
        ok = setTtyCtsFlow(fd_, ctsFlowOn);
    }
    // No termios counterpart for DSR output flow: report it rather than pretend.
    if (changeDsr && dsrFlowOn) {
        ok = false;
    }
    return ok;
}

bool SerialPort::GetModemStatus(bool& cts, bool& dsr, bool& ring, bool& rlsd) {
    int bits = 0;
    if (!open_ || !lines_.getLines(fd_, bits)) {
        return false;
    }
    cts = (bits & TIOCM_CTS) != 0;
    dsr = (bits & TIOCM_DSR) != 0;
    ring = (bits & TIOCM_RNG) != 0;
    rlsd = (bits & TIOCM_CD) != 0;
    return true;
}

int SerialPort::currentBaud() const {
    return open_ ? getTtySpeed(fd_) : -1;
}

bool SerialPort::StartEventThread(QObject* owner, SerialEventHandler handler) {
    if (!open_ || threadRunning_) {
        return false;
    }
    if (wakeFd_ < 0) {
        wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        notifyFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd_ < 0 || notifyFd_ < 0) {
            return false;
        }
    }
    uint64_t drain = 0;
    while (::read(wakeFd_, &drain, sizeof drain) > 0 ||
           ::read(notifyFd_, &drain, sizeof drain) > 0) {
    }
    pending_ = 0;
    handler_ = std::move(handler);
    notifier_ = std::make_unique<QSocketNotifier>(notifyFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, owner,
                     [this] { deliverEvents(); });
    rxNotifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    rxNotifier_->setEnabled(!readingPaused());
    QObject::connect(rxNotifier_.get(), &QSocketNotifier::activated, owner,
                     [this] { onReadable(); });
    stop_ = false;
    ended_ = false;
    acked_ = false;
    // The line levels are taken here, so a change right after the start is seen as one.
    int lines = 0;
    const bool watchLines = lines_.getLines(fd_, lines);
    thread_ = std::thread([this, watchLines, lines] { eventLoop(watchLines, lines); });
    threadRunning_ = true;
    return true;
}

bool SerialPort::StopEventThread() {
    if (!open_ || !threadRunning_) {
        threadRunning_ = false;
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStopWaitMs);
    bool endedInTime = false;
    {
        std::unique_lock lock(mutex_);
        stop_ = true;
        cv_.notify_all();
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
        // A thread asleep in the driver is woken by interrupting its wait; one that was just
        // about to fall asleep is caught by the next attempt.
        while (!(endedInTime = ended_) && Clock::now() < deadline) {
            lock.unlock();
            lines_.interruptLineWait(fd_);
            lock.lock();
            cv_.wait_for(lock, std::chrono::milliseconds(kInterruptRepeatMs),
                         [this] { return ended_; });
        }
    }
    // The thread never waits on us once stop_ is set, and its driver wait is interrupted, so
    // this join is bounded.
    thread_.join();
    notifier_->setEnabled(false);
    rxNotifier_->setEnabled(false);
    threadRunning_ = false;
    return endedInTime;
}

bool SerialPort::stopRequested() {
    std::lock_guard lock(mutex_);
    return stop_;
}

// Only the modem lines are watched here; received bytes wake the main thread directly. Where
// the driver can, the thread sleeps in it until a line changes (TIOCMIWAIT); otherwise it reads
// the lines every few ms. A pty has no lines, so its thread sleeps until it is stopped.
void SerialPort::eventLoop(bool watchLines, int lastLines) {
    bool waitInDriver = watchLines;
    int emptyWakes = 0;
    bool delivered = false;
    LineWait result = LineWait::Interrupted;
    while (waitInDriver && !stopRequested()) {
        waitsInDriver_ = true;
        if (!deliverLineChanges(lastLines, true, delivered)) {
            break;
        }
        if (delivered) {
            emptyWakes = 0;
        } else if (result == LineWait::Changed) {
            ++emptyWakes;
        }
        result = lines_.waitForLineChange(fd_);
        // A driver whose wait keeps ending without a change would make this loop spin.
        if (result == LineWait::Unsupported || result == LineWait::Failed ||
            emptyWakes > kMaxEmptyWakes) {
            waitInDriver = false;
            // After a hang-up there is nothing left to watch until the stop.
            watchLines = watchLines && result != LineWait::Failed;
        }
    }
    waitsInDriver_ = false;
    pollfd wake{wakeFd_, POLLIN, 0};
    while (!stopRequested()) {
        const int r = ::poll(&wake, 1, watchLines ? kLinePollMs : -1);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0 || wake.revents != 0 ||
            (watchLines && !deliverLineChanges(lastLines, false, delivered))) {
            break;
        }
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    cv_.notify_all();
}

// Reads the lines and hands their changes over; false when a stop was requested meanwhile.
// noteCounts: the driver's count of line changes is kept for readLineCounts.
bool SerialPort::deliverLineChanges(int& lastLines, bool noteCounts, bool& delivered) {
    LineCounts counts;
    if (noteCounts && lines_.getCounts(fd_, counts)) {
        seenLineChanges_ = counts.lineChanges();
    }
    int nowLines = 0;
    delivered = false;
    if (!lines_.getLines(fd_, nowLines)) {
        return true;
    }
    const unsigned events = lineEvents(nowLines ^ lastLines);
    lastLines = nowLines;
    delivered = events != 0;
    return events == 0 || handOver(events);
}

bool SerialPort::readLineCounts(LineCounts& counts) {
    if (!open_ || !lines_.getCounts(fd_, counts)) {
        return false;
    }
    // A change between the thread's last look and the start of its wait in the driver does not
    // wake it; the counters show it, and the thread looks again.
    if (threadRunning_ && waitsInDriver_ && counts.lineChanges() != seenLineChanges_) {
        lines_.interruptLineWait(fd_);
    }
    return true;
}

// Hands the events to the main thread and waits until they are handled, so the next poll does
// not see the same bytes again. Returns false when a stop was requested meanwhile.
bool SerialPort::handOver(unsigned events) {
    std::unique_lock lock(mutex_);
    acked_ = false;
    pending_.fetch_or(events);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(notifyFd_, &one, sizeof one);
    cv_.wait(lock, [this] { return acked_ || stop_; });
    return !stop_;
}

void SerialPort::deliverEvents() {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = ::read(notifyFd_, &count, sizeof count);
    const unsigned events = pending_.exchange(0);
    if (events != 0 && threadRunning_ && handler_) {
        handler_(*this, events);
    }
    std::lock_guard lock(mutex_);
    acked_ = true;
    cv_.notify_all();
}

// The device is readable: bytes wait, or it hung up or failed. The handler reads the bytes; a
// hang-up is reported once, after every byte that came before it was handed on.
void SerialPort::onReadable() {
    if (!threadRunning_ || !handler_) {
        return;
    }
    int waiting = 0;
    const bool alive = ::ioctl(fd_, FIONREAD, &waiting) == 0;
    if (alive && waiting > 0) {
        emit readyRead();
        if (threadRunning_ && handler_) {
            handler_(*this, SerialEvent::RxChar);
        }
        return;
    }
    pollfd p{fd_, POLLIN, 0};
    if (alive && ::poll(&p, 1, 0) >= 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0) {
        return;  // another reader took the bytes first
    }
    rxNotifier_->setEnabled(false);
    endEventLoop();
    handler_(*this, SerialEvent::Lost);
}

// Asks the event thread to end without waiting for it; StopEventThread joins it later.
void SerialPort::endEventLoop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    cv_.notify_all();
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    lines_.interruptLineWait(fd_);
}

}  // namespace pv
