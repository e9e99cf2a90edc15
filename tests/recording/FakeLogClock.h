#pragma once

#include <ctime>

#include "recording/TimeStampMs.h"

namespace pv {

// A clock that moves only when the test says so.
class FakeLogClock : public LogClock {
  public:
    uint32_t tickMs() override { return tick; }
    int64_t tickUs() override { return int64_t{tick} * 1000 + extraUs; }
    LocalTimeReading localTime() override { return now; }

    void advance(uint32_t ms) { tick += ms; }
    void setLocal(int year, int month, int day, int hour, int minute, int second, int ms) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        now = {static_cast<int64_t>(::timegm(&t)), ms};
    }

    uint32_t tick = 1000;
    int extraUs = 0;  // what tickUs adds to the tick
    LocalTimeReading now{};
};

}  // namespace pv
