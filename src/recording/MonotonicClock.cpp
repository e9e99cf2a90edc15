#include "recording/MonotonicClock.h"

#include <chrono>

namespace pv {

namespace {

class SteadyClock : public MonotonicClock {
  public:
    int64_t nowUs() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    }
};

}  // namespace

MonotonicClock& steadyClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace pv
