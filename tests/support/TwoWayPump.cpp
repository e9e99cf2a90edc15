#include "support/TwoWayPump.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>

namespace pv {

namespace {

struct End {
    int fd;
    const std::vector<uint8_t>& out;
    size_t written = 0;
    std::vector<uint8_t>& in;
    size_t expected;
};

bool step(End& end, short revents, std::mt19937& random) {
    bool moved = false;
    if ((revents & POLLOUT) != 0 && end.written < end.out.size()) {
        const size_t chunk = std::uniform_int_distribution<size_t>(1, 65536)(random);
        const size_t n = std::min(chunk, end.out.size() - end.written);
        const ssize_t w = ::write(end.fd, end.out.data() + end.written, n);
        if (w > 0) {
            end.written += static_cast<size_t>(w);
            moved = true;
        }
    }
    if ((revents & POLLIN) != 0) {
        uint8_t buffer[65536];
        const ssize_t r = ::read(end.fd, buffer, sizeof buffer);
        if (r > 0) {
            end.in.insert(end.in.end(), buffer, buffer + r);
            moved = true;
        }
    }
    return moved;
}

}  // namespace

TwoWayResult pumpBothWays(int endA, int endB, const std::vector<uint8_t>& intoA,
                          const std::vector<uint8_t>& intoB, unsigned seed, int stallMs) {
    TwoWayResult result;
    for (int fd : {endA, endB}) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    End ends[2] = {{endA, intoA, 0, result.atA, intoB.size()},
                   {endB, intoB, 0, result.atB, intoA.size()}};
    std::mt19937 random(seed);
    auto lastMove = std::chrono::steady_clock::now();
    const auto done = [&] {
        return ends[0].in.size() >= ends[0].expected && ends[1].in.size() >= ends[1].expected;
    };
    while (!done()) {
        pollfd p[2];
        for (int i = 0; i < 2; ++i) {
            const bool writing = ends[i].written < ends[i].out.size();
            p[i] = {ends[i].fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        }
        if (::poll(p, 2, 100) < 0 && errno != EINTR) {
            break;
        }
        bool moved = false;
        for (int i = 0; i < 2; ++i) {
            moved = step(ends[i], p[i].revents, random) || moved;
        }
        const auto now = std::chrono::steady_clock::now();
        if (moved) {
            lastMove = now;
        } else if (now - lastMove > std::chrono::milliseconds(stallMs)) {
            break;
        }
    }
    return result;
}

}  // namespace pv
