#pragma once

#include <cstdint>

#include "recording/MonotonicClock.h"

namespace pv {

// A monotonic clock that moves only when the test says so.
class FakeMonotonicClock : public MonotonicClock {
  public:
    int64_t nowUs() override { return us; }
    void advanceMs(int64_t ms) { us += ms * 1000; }

    int64_t us = 5'000'000;
};

}  // namespace pv
