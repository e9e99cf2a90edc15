#include "support/FakeTtyBackend.h"

#include <sys/ioctl.h>

namespace pv {

bool FakeTtyBackend::getLines(int fd, int& bits) {
    std::lock_guard lock(mutex_);
    bits = bits_[fd];
    seen_[fd] = generation_[fd];
    return true;
}

bool FakeTtyBackend::setLines(int fd, int bits, bool on) {
    std::lock_guard lock(mutex_);
    bits_[fd] = on ? (bits_[fd] | bits) : (bits_[fd] & ~bits);
    changes_.push_back({fd, bits, on});
    return true;
}

bool FakeTtyBackend::setSpeed(int fd, int baud) {
    return TtyBackend::setSpeed(fd, maxBaud > 0 && baud > maxBaud ? maxBaud : baud);
}

bool FakeTtyBackend::getCounts(int fd, LineCounts& counts) {
    std::lock_guard lock(mutex_);
    counts = counts_[fd];
    return true;
}

LineWait FakeTtyBackend::waitForLineChange(int fd) {
    if (!lineWaits) {
        return LineWait::Unsupported;
    }
    std::unique_lock lock(mutex_);
    ++waits_;
    if (lineWaitsEndAtOnce) {
        return LineWait::Changed;
    }
    waiting_[fd] = true;
    changed_.wait(lock, [&] { return interrupted_[fd] || generation_[fd] != seen_[fd]; });
    waiting_[fd] = false;
    if (interrupted_[fd]) {
        interrupted_[fd] = false;
        return LineWait::Interrupted;
    }
    return LineWait::Changed;
}

// Like a signal, it reaches only a wait in progress.
void FakeTtyBackend::interruptLineWait(int fd) {
    std::lock_guard lock(mutex_);
    if (waiting_[fd]) {
        interrupted_[fd] = true;
        changed_.notify_all();
    }
}

int FakeTtyBackend::lines(int fd) {
    std::lock_guard lock(mutex_);
    return bits_[fd];
}

void FakeTtyBackend::setInputLines(int fd, int bits, bool on) {
    std::lock_guard lock(mutex_);
    const int before = bits_[fd];
    bits_[fd] = on ? (before | bits) : (before & ~bits);
    const int flipped = before ^ bits_[fd];
    LineCounts& c = counts_[fd];
    c.cts += (flipped & TIOCM_CTS) != 0;
    c.dsr += (flipped & TIOCM_DSR) != 0;
    c.ring += (flipped & TIOCM_RNG) != 0;
    c.dcd += (flipped & TIOCM_CD) != 0;
    ++generation_[fd];
    changed_.notify_all();
}

void FakeTtyBackend::count(int fd, const LineCounts& more) {
    std::lock_guard lock(mutex_);
    LineCounts& c = counts_[fd];
    c.frame += more.frame;
    c.parity += more.parity;
    c.overrun += more.overrun;
    c.bufferOverrun += more.bufferOverrun;
    c.breaks += more.breaks;
}

std::vector<FakeTtyBackend::Change> FakeTtyBackend::changes() {
    std::lock_guard lock(mutex_);
    return changes_;
}

int FakeTtyBackend::lineWaitCount() {
    std::lock_guard lock(mutex_);
    return waits_;
}

}  // namespace pv
