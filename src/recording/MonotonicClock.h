#pragma once

#include <cstdint>

namespace pv {

// A clock that only moves forward, in microseconds since an arbitrary start: what the recorder
// measures its pauses with and what playback aims its deadlines at. Tests replace it.
class MonotonicClock {
  public:
    virtual ~MonotonicClock() = default;
    virtual int64_t nowUs() = 0;
};

// CLOCK_MONOTONIC (steady_clock).
MonotonicClock& steadyClock();

}  // namespace pv
