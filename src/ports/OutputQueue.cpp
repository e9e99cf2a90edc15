#include "ports/OutputQueue.h"

#include <algorithm>
#include <cstring>

namespace pv {

size_t OutputQueue::push(const uint8_t* data, size_t count) {
    count = std::min(count, bound_ - size_);
    if (count == 0) {
        return 0;
    }
    if (ring_.empty()) {
        ring_.resize(bound_);
    }
    const size_t tail = (head_ + size_) % bound_;
    const size_t first = std::min(count, bound_ - tail);
    std::memcpy(ring_.data() + tail, data, first);
    std::memcpy(ring_.data(), data + first, count - first);
    size_ += count;
    return count;
}

std::span<const uint8_t> OutputQueue::front() const {
    if (size_ == 0) {
        return {};
    }
    return {ring_.data() + head_, std::min(size_, bound_ - head_)};
}

void OutputQueue::pop(size_t count) {
    count = std::min(count, size_);
    head_ = (head_ + count) % bound_;
    size_ -= count;
    if (size_ == 0) {
        head_ = 0;  // the next pieces lie in one stretch again
    }
}

size_t OutputQueue::take(uint8_t* buffer, size_t capacity) {
    size_t taken = 0;
    while (taken < capacity && size_ > 0) {
        const auto piece = front();
        const size_t n = std::min(piece.size(), capacity - taken);
        std::memcpy(buffer + taken, piece.data(), n);
        pop(n);
        taken += n;
    }
    return taken;
}

}  // namespace pv
