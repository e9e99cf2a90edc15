#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pv {

// Bytes waiting to leave through a descriptor that cannot take them yet, oldest first. The
// queue is bounded: push takes only what fits and says how much that was, so the owner decides
// what to do with the rest. Storage is taken once, on the first byte that has to wait.
class OutputQueue {
  public:
    explicit OutputQueue(size_t bound) : bound_(bound) {}

    // Appends what fits of the bytes; returns how many were taken.
    size_t push(const uint8_t* data, size_t count);
    // The oldest waiting bytes that lie in one piece.
    std::span<const uint8_t> front() const;
    // Removes count bytes from the front (at most size()).
    void pop(size_t count);
    // Copies up to capacity of the oldest bytes to buffer and removes them; returns how many.
    size_t take(uint8_t* buffer, size_t capacity);
    void clear() { head_ = size_ = 0; }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    size_t bound() const { return bound_; }

  private:
    size_t bound_;
    std::vector<uint8_t> ring_;
    size_t head_ = 0;
    size_t size_ = 0;
};

}  // namespace pv
