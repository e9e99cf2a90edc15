#include "app/MonitorOutput.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace pv {

namespace {

constexpr const char* kTextUnshown = "-- %lld bytes not shown: the output could not keep up --\n";
// Writes of at most this size never block on a pipe that poll() called writable.
constexpr size_t kWriteChunk = 4096;

}  // namespace

MonitorOutput::MonitorOutput(int fd, const TimeViewOptions& times)
    : fd_(fd), thread_([this] { run(); }) {
    std::lock_guard lock(mutex_);
    rows_.setTimes(times);
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
    std::lock_guard lock(mutex_);
    if (!alive_ || count <= 0) {
        return;
    }
    const auto length = static_cast<uint32_t>(count);
    const size_t marker = unshown_ > 0 ? kHeaderBytes : 0;
    if (queue_.bound() - queue_.size() < marker + kHeaderBytes + length) {
        unshown_ += count;
        return;
    }
    // What was left out came before this block: its line goes in first.
    if (marker != 0) {
        push({kUnshownMark, static_cast<uint32_t>(std::min<long long>(unshown_, UINT32_MAX)), at});
        unshown_ = 0;
    }
    push({static_cast<uint8_t>(sideA ? 'A' : 'B'), length, at});
    queue_.push(data, length);
}

void MonitorOutput::push(const Header& header) {
    uint8_t bytes[kHeaderBytes];
    std::memcpy(bytes, &header, kHeaderBytes);
    queue_.push(bytes, kHeaderBytes);
}

MonitorOutput::Header MonitorOutput::pop() {
    uint8_t bytes[kHeaderBytes];
    for (uint8_t& byte : bytes) {
        byte = queue_.front()[0];
        queue_.pop(1);
    }
    Header header;
    std::memcpy(&header, bytes, kHeaderBytes);
    return header;
}

void MonitorOutput::sayUnshown(long long count, std::string& lines) {
    rows_.flush(lines);
    char text[96];
    std::snprintf(text, sizeof text, kTextUnshown, count);
    lines += text;
}

// Takes every queued block (the caller holds the lock) and appends its rows.
void MonitorOutput::format(std::string& lines) {
    uint8_t block[4096];
    while (!queue_.empty()) {
        const Header header = pop();
        size_t left = header.length;
        if (header.kind == kUnshownMark) {
            sayUnshown(static_cast<long long>(left), lines);
            continue;
        }
        while (left > 0) {
            size_t n = 0;
            while (n < std::min(left, sizeof block)) {
                const auto piece = queue_.front();
                const size_t take = std::min(piece.size(), std::min(left, sizeof block) - n);
                std::copy_n(piece.data(), take, block + n);
                queue_.pop(take);
                n += take;
            }
            rows_.feed(header.kind == 'A', block, static_cast<int>(n), lines, header.at);
            left -= n;
        }
    }
    // Left out after everything that was queued.
    if (unshown_ > 0) {
        sayUnshown(unshown_, lines);
        unshown_ = 0;
    }
}

void MonitorOutput::run() {
    using Clock = std::chrono::steady_clock;
    std::string lines;
    auto lastBytes = Clock::now();
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, std::chrono::milliseconds(kFrameMs),
                       [this] { return stopping_.load(); });
        const bool stopping = stopping_;
        const bool fresh = !queue_.empty() || unshown_ > 0;
        format(lines);
        lock.unlock();
        const auto now = Clock::now();
        if (fresh) {
            lastBytes = now;
        }
        if (stopping || now - lastBytes >= std::chrono::milliseconds(kRowFlushMs)) {
            rows_.flush(lines);
        }
        const bool written = write(lines);
        lines.clear();
        lock.lock();
        if (!written) {
            alive_ = false;
            queue_.clear();
        }
        if (stopping && queue_.empty()) {
            return;
        }
    }
}

// Waits as long as it takes while the run goes on (the queue meanwhile fills and the rest is
// counted as not shown), but at most kGiveUpMs once it ends. False when the output is gone, or
// stuck at the end.
bool MonitorOutput::write(const std::string& lines) {
    using Clock = std::chrono::steady_clock;
    size_t done = 0;
    auto lastTaken = Clock::now();
    while (done < lines.size()) {
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, kFrameMs);
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready <= 0) {
            if (stopping_ && Clock::now() - lastTaken > std::chrono::milliseconds(kGiveUpMs)) {
                return false;
            }
            continue;
        }
        if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
        const ssize_t n =
            ::write(fd_, lines.data() + done, std::min(kWriteChunk, lines.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
        lastTaken = Clock::now();
    }
    return true;
}

}  // namespace pv
