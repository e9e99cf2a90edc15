#include "ports/TtyBackend.h"

#include <linux/serial.h>
#include <pthread.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <csignal>
#include <map>
#include <mutex>

#include "ports/TtyLine.h"

namespace pv {

bool TtyBackend::setSpeed(int fd, int baud) {
    return setTtySpeed(fd, baud);
}

int TtyBackend::getSpeed(int fd) {
    return getTtySpeed(fd);
}

namespace {

constexpr int kInputLines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD;

// TIOCMIWAIT sleeps in the driver until a line changes; only a signal ends it sooner. This one
// is sent to the waiting thread alone and does nothing but interrupt the call.
int wakeSignal() {
    return SIGRTMIN + 4;
}

void onWakeSignal(int) {}

// Installs the handler once; false when something else already uses the signal, then the lines
// are read from time to time instead.
bool wakeSignalReady() {
    static const bool ready = [] {
        struct sigaction old {};
        if (sigaction(wakeSignal(), nullptr, &old) != 0 || old.sa_handler != SIG_DFL) {
            return false;
        }
        struct sigaction action {};
        action.sa_handler = onWakeSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the wait must return EINTR
        return sigaction(wakeSignal(), &action, nullptr) == 0;
    }();
    return ready;
}

class IoctlTtyBackend final : public TtyBackend {
  public:
    bool getLines(int fd, int& bits) override { return ioctl(fd, TIOCMGET, &bits) == 0; }
    bool setLines(int fd, int bits, bool on) override {
        return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
    }

    bool getCounts(int fd, LineCounts& counts) override {
        serial_icounter_struct ic{};
        if (ioctl(fd, TIOCGICOUNT, &ic) != 0) {
            return false;
        }
        counts = {ic.cts,    ic.dsr,     ic.rng,         ic.dcd, ic.frame,
                  ic.parity, ic.overrun, ic.buf_overrun, ic.brk};
        return true;
    }

    LineWait waitForLineChange(int fd) override {
        if (!wakeSignalReady()) {
            return LineWait::Unsupported;
        }
        {
            std::lock_guard lock(mutex_);
            waiters_[fd] = pthread_self();
        }
        const int r = ioctl(fd, TIOCMIWAIT, kInputLines);
        const int error = errno;
        {
            // Under the lock, so interruptLineWait never signals a thread that has moved on.
            std::lock_guard lock(mutex_);
            waiters_.erase(fd);
        }
        if (r == 0) {
            return LineWait::Changed;
        }
        if (error == EINTR) {
            return LineWait::Interrupted;
        }
        return error == EIO ? LineWait::Failed : LineWait::Unsupported;
    }

    void interruptLineWait(int fd) override {
        std::lock_guard lock(mutex_);
        if (const auto it = waiters_.find(fd); it != waiters_.end()) {
            pthread_kill(it->second, wakeSignal());
        }
    }

  private:
    std::mutex mutex_;
    std::map<int, pthread_t> waiters_;
};

}  // namespace

TtyBackend& systemTtyBackend() {
    static IoctlTtyBackend backend;
    return backend;
}

}  // namespace pv
