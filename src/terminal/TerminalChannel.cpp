#include "terminal/TerminalChannel.h"

#include <QMetaObject>
#include <algorithm>
#include <cstring>

namespace pv {

TerminalChannel::TerminalChannel(QObject* parent) : Channel(parent) {}

void TerminalChannel::send(const uint8_t* data, int count) {
    if (count <= 0) {
        return;
    }
    if (output_ == nullptr) {
        countDropped(count);
        return;
    }
    output_->show(
        std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(count)));
}

size_t TerminalChannel::backlog() const {
    return output_ != nullptr ? output_->backlog() : 0;
}

int TerminalChannel::read(uint8_t* buffer, int capacity) {
    if (pending_.empty() || capacity <= 0) {
        return 0;
    }
    const std::string& block = pending_.front();
    const size_t count = std::min(block.size() - frontTaken_, static_cast<size_t>(capacity));
    std::memcpy(buffer, block.data() + frontTaken_, count);
    frontTaken_ += count;
    pendingBytes_ -= count;
    if (frontTaken_ == block.size()) {
        pending_.pop_front();
        frontTaken_ = 0;
    }
    announce();
    emit inputRead();
    return static_cast<int>(count);
}

bool TerminalChannel::queueInput(std::string_view block) {
    if (block.empty()) {
        return true;
    }
    if (block.size() > kMaxPendingInput - pendingBytes_) {
        return false;
    }
    pending_.emplace_back(block);
    pendingBytes_ += block.size();
    announce();
    return true;
}

size_t TerminalChannel::dropInput() {
    const size_t dropped = pendingBytes_;
    pending_.clear();
    frontTaken_ = 0;
    pendingBytes_ = 0;
    return dropped;
}

void TerminalChannel::applyReading(bool on) {
    if (on) {
        announce();
    }
}

void TerminalChannel::announce() {
    if (announced_ || pending_.empty() || readingPaused()) {
        return;
    }
    announced_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            announced_ = false;
            if (!pending_.empty() && !readingPaused()) {
                emit readyRead();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace pv
