#include "recording/TimeStampMs.h"

#include <chrono>
#include <ctime>

namespace pv {

namespace {

class SystemLogClock : public LogClock {
  public:
    uint32_t tickMs() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    int64_t tickUs() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    }
    LocalTimeReading localTime() override {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::tm local{};
        ::localtime_r(&now.tv_sec, &local);
        return {static_cast<int64_t>(::timegm(&local)), static_cast<int>(now.tv_nsec / 1000000)};
    }
};

}  // namespace

LogClock& systemLogClock() {
    static SystemLogClock clock;
    return clock;
}

void TimeStampMs::AppendFormatted(std::string& out, const char* pattern) const {
    const auto seconds = static_cast<time_t>(reading_.seconds);
    std::tm broken{};
    if (::gmtime_r(&seconds, &broken) == nullptr) {
        return;
    }
    char text[128];
    const size_t length = std::strftime(text, sizeof text, pattern, &broken);
    out.append(text, length);
}

std::string TimeStampMs::Format(const char* pattern) const {
    std::string out;
    AppendFormatted(out, pattern);
    return out;
}

}  // namespace pv
