#include "support/FakeTtyBackend.h"

namespace pv {

bool FakeTtyBackend::getLines(int fd, int& bits) {
    std::lock_guard lock(mutex_);
    bits = bits_[fd];
    return true;
}

bool FakeTtyBackend::setLines(int fd, int bits, bool on) {
    std::lock_guard lock(mutex_);
    bits_[fd] = on ? (bits_[fd] | bits) : (bits_[fd] & ~bits);
    changes_.push_back({fd, bits, on});
    return true;
}

int FakeTtyBackend::lines(int fd) {
    std::lock_guard lock(mutex_);
    return bits_[fd];
}

void FakeTtyBackend::setInputLines(int fd, int bits, bool on) {
    std::lock_guard lock(mutex_);
    bits_[fd] = on ? (bits_[fd] | bits) : (bits_[fd] & ~bits);
}

std::vector<FakeTtyBackend::Change> FakeTtyBackend::changes() {
    std::lock_guard lock(mutex_);
    return changes_;
}

}  // namespace pv
