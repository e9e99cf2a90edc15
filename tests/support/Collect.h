#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/PtyPair.h"
#include "support/WaitUntil.h"

namespace pv {

// What reaches a far end (a master fd) while the event loop, which carries the bytes, runs:
// count bytes, or fewer when the time is up.
inline std::vector<uint8_t> collect(int fd, size_t count, int timeoutMs = 8000) {
    std::vector<uint8_t> got;
    waitUntil(
        [&] {
            PtyPair::readFd(fd, got, count, 0);
            return got.size() >= count;
        },
        timeoutMs);
    return got;
}

}  // namespace pv
