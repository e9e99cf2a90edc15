#include "app/MonitorOutput.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace pv {

namespace {

constexpr const char* kTextUnshown = "-- %lld bytes not shown: the output could not keep up --\n";
constexpr const char* kTextFailed =
    "The traffic could not be printed any more (%s); the relay goes on without it.";
// Writes of at most this size never block on a pipe that poll() called writable.
constexpr size_t kWriteChunk = 4096;

// A file or /dev/null takes any write at once; a pipe, socket or terminal may not.
bool writesNeverWait(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 &&
           (S_ISREG(info.st_mode) || (S_ISCHR(info.st_mode) && ::isatty(fd) == 0));
}

}  // namespace

MonitorOutput::MonitorOutput(int fd, const TimeViewOptions& times, FailureReport failed)
    : fd_(fd), failed_(std::move(failed)), direct_(writesNeverWait(fd)) {
    rows_.setTimes(times);
    // Reserved once: appending never allocates, and only the pages used are ever touched.
    incoming_.reserve(kQueueBytes);
    working_.reserve(kQueueBytes);
    thread_ = std::thread([this] { run(); });
}

MonitorOutput::~MonitorOutput() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool MonitorOutput::alive() const {
    std::lock_guard lock(mutex_);
    return alive_;
}

void MonitorOutput::feed(bool sideA, const uint8_t* data, int count, const Stamp& at) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (!alive_ || count <= 0) {
            return;
        }
        const auto length = static_cast<uint32_t>(count);
        const size_t marker = unshown_ > 0 ? kHeaderBytes : 0;
        if (kQueueBytes - incoming_.size() < marker + kHeaderBytes + length) {
            unshown_ += count;
            return;
        }
        // What was left out came before this block: its line goes in first.
        if (marker != 0) {
            const auto left = static_cast<uint32_t>(std::min<long long>(unshown_, UINT32_MAX));
            append({kUnshownMark, left, at}, nullptr);
            unshown_ = 0;
        }
        append({static_cast<uint8_t>(sideA ? 'A' : 'B'), length, at}, data);
        wake = idle_ || (!urged_ && incoming_.size() >= kBatchBytes);
        if (wake) {
            idle_ = false;
            urged_ = true;
        }
    }
    if (wake) {
        wake_.notify_one();
    }
}

void MonitorOutput::append(const Header& header, const uint8_t* data) {
    const size_t at = incoming_.size();
    const size_t length = header.kind == kUnshownMark ? 0 : header.length;
    incoming_.resize(at + kHeaderBytes + length);
    std::memcpy(incoming_.data() + at, &header, kHeaderBytes);
    if (length > 0) {
        std::memcpy(incoming_.data() + at + kHeaderBytes, data, length);
    }
}

// Sleeps while nothing is queued (until the waiting row is due, if one waits), and otherwise
// gathers blocks for a frame unless a batch is already full.
void MonitorOutput::waitForWork(std::unique_lock<std::mutex>& lock, Clock::time_point lastBytes) {
    if (stopping_) {
        return;
    }
    if (!hasWork()) {
        idle_ = true;
        const auto ready = [this] { return stopping_ || hasWork(); };
        if (printing_ && rows_.waiting()) {
            wake_.wait_until(lock, lastBytes + std::chrono::milliseconds(kRowFlushMs), ready);
        } else {
            wake_.wait(lock, ready);
        }
        idle_ = false;
        return;
    }
    wake_.wait_for(lock, std::chrono::milliseconds(kFrameMs),
                   [this] { return stopping_ || incoming_.size() >= kBatchBytes; });
}

void MonitorOutput::run() {
    // Below the relay's priority: on a busy machine the rows fall behind (and say so when the
    // buffer overflows), never the traffic. Best effort; the nice value stops at 19.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()),
                  ::getpriority(PRIO_PROCESS, 0) + kNiceBelowRelay);
    std::string lines;
    lines.reserve(kWriteBytes + size_t{64} * 1024);
    auto lastBytes = Clock::now();
    std::unique_lock lock(mutex_);
    for (;;) {
        waitForWork(lock, lastBytes);
        const bool stopping = stopping_;
        const bool fresh = hasWork();
        working_.swap(incoming_);
        const long long unshown = std::exchange(unshown_, 0);
        urged_ = false;
        lock.unlock();

        const auto now = Clock::now();
        if (fresh) {
            lastBytes = now;
        }
        const bool written = !printing_ || printAndWrite(lines, unshown, stopping, now - lastBytes);
        working_.clear();
        lines.clear();
        lock.lock();
        if (!written) {
            alive_ = false;
            incoming_.clear();
            unshown_ = 0;
        }
        if (stopping && !hasWork()) {
            return;
        }
    }
}

// False, after saying why, when the output failed: nothing more is printed then.
bool MonitorOutput::printAndWrite(std::string& lines, long long unshown, bool stopping,
                                  Clock::duration quiet) {
    bool written = print(lines, unshown);
    if (written && (stopping || quiet >= std::chrono::milliseconds(kRowFlushMs))) {
        rows_.flush(lines);
    }
    written = written && write(lines);
    if (!written) {
        printing_ = false;
        if (writeError_ != 0 && failed_) {
            char text[160];
            std::snprintf(text, sizeof text, kTextFailed, std::strerror(writeError_));
            failed_(text);
        }
    }
    return written;
}

// Turns the swapped-out blocks into rows, writing them a batch at a time; the count of bytes
// left out after them comes last. False when the output is gone.
bool MonitorOutput::print(std::string& lines, long long unshownAfter) {
    size_t at = 0;
    while (at < working_.size()) {
        Header header;
        std::memcpy(&header, working_.data() + at, kHeaderBytes);
        at += kHeaderBytes;
        if (header.kind == kUnshownMark) {
            sayUnshown(header.length, lines);
        } else {
            rows_.feed(header.kind == 'A', working_.data() + at, static_cast<int>(header.length),
                       lines, header.at);
            at += header.length;
        }
        if (lines.size() >= kWriteBytes) {
            if (!write(lines)) {
                return false;
            }
            lines.clear();
        }
    }
    if (unshownAfter > 0) {
        sayUnshown(unshownAfter, lines);
    }
    return true;
}

void MonitorOutput::sayUnshown(long long count, std::string& lines) {
    rows_.flush(lines);
    char text[96];
    std::snprintf(text, sizeof text, kTextUnshown, count);
    lines += text;
}

// Waits as long as it takes while the run goes on (the queue meanwhile fills and the rest is
// counted as not shown), but at most kGiveUpMs once it ends. False when the output is gone, or
// stuck at the end.
bool MonitorOutput::write(const std::string& lines) {
    size_t done = 0;
    auto lastTaken = Clock::now();
    while (done < lines.size()) {
        const Room room = direct_ ? Room::Ready : awaitRoom(lastTaken);
        if (room == Room::Gone) {
            return false;
        }
        if (room == Room::NotYet) {
            continue;
        }
        const size_t most = direct_ ? lines.size() - done : kWriteChunk;
        const ssize_t n = ::write(fd_, lines.data() + done, std::min(most, lines.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            writeError_ = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<size_t>(n);
        lastTaken = Clock::now();
    }
    return true;
}

MonitorOutput::Room MonitorOutput::awaitRoom(Clock::time_point lastTaken) {
    pollfd p{fd_, POLLOUT, 0};
    const int ready = ::poll(&p, 1, kFrameMs);
    if (ready < 0 && errno != EINTR) {
        writeError_ = errno;
        return Room::Gone;
    }
    if (ready <= 0) {
        const bool givenUp =
            stopping_ && Clock::now() - lastTaken > std::chrono::milliseconds(kGiveUpMs);
        return givenUp ? Room::Gone : Room::NotYet;
    }
    if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        writeError_ = (p.revents & POLLNVAL) != 0 ? EBADF : EPIPE;
        return Room::Gone;
    }
    return Room::Ready;
}

}  // namespace pv
