#include "ports/FdOutput.h"

#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "ports/Channel.h"

namespace pv {

namespace {

// Writes as much as the descriptor takes now; -1 on a failure other than a full descriptor.
ssize_t writeSome(int fd, const uint8_t* data, size_t count) {
    size_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd, data + written, count - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break;
        } else {
            return -1;
        }
    }
    return static_cast<ssize_t>(written);
}

}  // namespace

FdOutput::FdOutput(QObject* owner, std::function<void()> shrank)
    : owner_(owner), shrank_(std::move(shrank)), queue_(Channel::kQueueBound) {}

FdOutput::~FdOutput() = default;

void FdOutput::attach(int fd) {
    detach();
    fd_ = fd;
    error_ = 0;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    notifier_->setEnabled(false);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, owner_, [this] { drain(); });
}

size_t FdOutput::detach() {
    notifier_.reset();
    fd_ = -1;
    held_ = false;
    return clear();
}

size_t FdOutput::clear() {
    const size_t dropped = queue_.size();
    queue_.clear();
    error_ = 0;
    if (notifier_) {
        notifier_->setEnabled(false);
    }
    return dropped;
}

size_t FdOutput::send(const uint8_t* data, size_t count) {
    if (fd_ < 0 || error_ != 0) {
        return count;
    }
    size_t written = 0;
    // Straight to the descriptor while nothing waits before these bytes.
    if (queue_.empty() && !held_) {
        const ssize_t n = writeSome(fd_, data, count);
        if (n < 0) {
            error_ = errno;
            return count;
        }
        written = static_cast<size_t>(n);
    }
    const size_t queued = queue_.push(data + written, count - written);
    if (!queue_.empty() && !held_) {
        notifier_->setEnabled(true);
    }
    return count - written - queued;
}

bool FdOutput::writeQueued() {
    while (!queue_.empty()) {
        const auto piece = queue_.front();
        const ssize_t n = writeSome(fd_, piece.data(), piece.size());
        if (n < 0) {
            return false;
        }
        queue_.pop(static_cast<size_t>(n));
        if (static_cast<size_t>(n) < piece.size()) {
            break;  // full: the notifier tells when it takes more
        }
    }
    return true;
}

void FdOutput::hold(bool on) {
    held_ = on;
    if (!on && !queue_.empty() && notifier_ && !notifier_->isEnabled()) {
        drain();
    }
}

void FdOutput::drain() {
    if (fd_ < 0) {
        return;
    }
    // After a failure the bytes stay queued until the owner detaches, which counts them.
    if (!writeQueued()) {
        error_ = errno;
    }
    notifier_->setEnabled(error_ == 0 && !queue_.empty());
    if (shrank_) {
        shrank_();
    }
}

}  // namespace pv
