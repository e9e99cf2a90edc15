#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property that does not hold is a finding like a crash: libFuzzer keeps the input.
#define PV_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace pv::fuzz {

// The sizes of the reads a stream arrives in. They come from a hash of the whole input rather
// than from bytes taken out of it, so a seed file stays a plain stream; every mutation splits
// the stream anew. Mostly a few bytes, now and then up to the limit.
class Pieces {
  public:
    Pieces(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            state_ = (state_ ^ data[i]) * 0x100000001B3ull;
        }
    }

    size_t next(size_t limit) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return 1 + (state_ >> 8) % ((state_ & 3) == 0 ? limit : 17);
    }

  private:
    uint64_t state_ = 0xCBF29CE484222325ull;
};

}  // namespace pv::fuzz
