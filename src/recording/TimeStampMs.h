#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pv {

// One reading of the local wall clock: the calendar time as seconds of a time value (the local
// date and time taken as if they were UTC, so formatting never consults a time zone) and the
// millisecond part of the same reading.
struct LocalTimeReading {
    int64_t seconds = 0;
    int milliseconds = 0;
};

// The two clocks the log writer reads: a millisecond tick for pauses between blocks (wraps
// after 49 days like any 32-bit tick) and the local time for stamps. Tests replace it.
class LogClock {
  public:
    virtual ~LogClock() = default;
    virtual uint32_t tickMs() = 0;
    // The same steady clock in microseconds, for the time columns' tenths of milliseconds.
    virtual int64_t tickUs() { return int64_t{tickMs()} * 1000; }
    virtual LocalTimeReading localTime() = 0;
};

// steady_clock milliseconds and localtime_r.
LogClock& systemLogClock();

// A local time with milliseconds, formatted with strftime patterns.
class TimeStampMs {
  public:
    void Refresh(LogClock& clock) { reading_ = clock.localTime(); }
    void set(const LocalTimeReading& reading) { reading_ = reading; }
    int64_t seconds() const { return reading_.seconds; }
    int Milliseconds() const { return reading_.milliseconds; }
    // Appends the time in the pattern's form (%d %m %Y %H %M %S %y as in strftime).
    void AppendFormatted(std::string& out, const char* pattern) const;
    std::string Format(const char* pattern) const;

  private:
    LocalTimeReading reading_;
};

}  // namespace pv
