#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ports/OutputQueue.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes drain(pv::OutputQueue& queue, size_t most) {
    Bytes out;
    while (!queue.empty() && out.size() < most) {
        const auto piece = queue.front();
        const size_t n = std::min(piece.size(), most - out.size());
        out.insert(out.end(), piece.begin(), piece.begin() + static_cast<long>(n));
        queue.pop(n);
    }
    return out;
}

// Pushes and pops of uneven sizes wrap the ring many times; every byte comes out once, in
// order, and what does not fit is refused rather than overwriting what waits.
TEST(OutputQueue, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    pv::OutputQueue queue(10);
    EXPECT_EQ(queue.front().size(), 0u);
    Bytes in, out;
    uint8_t next = 0;
    for (const size_t push : {7u, 6u, 1u, 9u, 3u, 10u, 4u}) {
        Bytes block;
        for (size_t i = 0; i < push; ++i) {
            block.push_back(next++);
        }
        const size_t room = queue.bound() - queue.size();
        const size_t taken = queue.push(block.data(), block.size());
        EXPECT_EQ(taken, std::min(room, block.size()));
        in.insert(in.end(), block.begin(), block.begin() + static_cast<long>(taken));
        next = static_cast<uint8_t>(next - (block.size() - taken));
        const Bytes part = drain(queue, 5);
        out.insert(out.end(), part.begin(), part.end());
    }
    const Bytes rest = drain(queue, 100);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(out, in);
    EXPECT_TRUE(queue.empty());
}

}  // namespace
