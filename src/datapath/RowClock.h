#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pv {

// What the time column of a row shows: nothing (the classic look), the time of day, the time
// since the first byte shown, or the time since the previous row.
enum class TimeColumn : int { Off = 0, Clock = 1, SinceStart = 2, SincePrevious = 3 };

struct TimeViewOptions {
    TimeColumn column = TimeColumn::Off;
    // Bytes that follow this long a quiet line start a new row; 0: never.
    int pauseRowMs = 0;
    bool operator==(const TimeViewOptions&) const = default;
};

// When a block was read: the wall clock (for the time of day) and a steady clock (for gaps),
// both in microseconds.
struct Stamp {
    int64_t wallUs = 0;
    int64_t steadyUs = 0;
};

// Now, as the system clocks read it.
Stamp systemStamp();

// Response times of the session: the gap between the last byte of one side and the first byte
// of the other side that follows it, in microseconds.
struct ResponseTimes {
    long long count = 0;
    int64_t lastUs = 0;
    int64_t minUs = 0;
    int64_t maxUs = 0;
};

// The time side of the rows: the response times of the session, where a row must start afresh
// (after a pause, or, with the time column on, where the other side's bytes begin so their row
// can carry the response time) and the text at the start of each row. With the options off the
// rows look exactly as without it. Plain data in, plain text out; the callers stamp blocks.
class RowClock {
  public:
    // Width of a row's prefix with the time column on: the time, the response time, blanks.
    static constexpr size_t kTimeWidth = 12;
    static constexpr size_t kResponseWidth = 10;
    static constexpr size_t kPrefixWidth = kTimeWidth + 1 + kResponseWidth + 1;

    void setOptions(const TimeViewOptions& options) {
        options_ = options;
        cacheValid_ = false;
    }
    const TimeViewOptions& options() const { return options_; }
    // For the parameter file, which fills the options in place.
    TimeViewOptions& options() {
        cacheValid_ = false;
        return options_;
    }
    // The longest pause a user can ask for (an hour).
    static constexpr int kMaxPauseRowMs = 3600000;
    bool timeColumn() const { return options_.column != TimeColumn::Off; }

    struct BlockStart {
        bool newRow = false;
        int64_t responseUs = -1;  // the response this block's first row shows, -1: none
    };
    // A block of a side arrives at `at`; its last byte is at the same time.
    BlockStart beginBlock(bool sideA, const Stamp& at);
    // Appends the prefix of a row whose first byte came at `at`.
    void appendPrefix(std::string& out, const Stamp& at, int64_t responseUs);
    const ResponseTimes& responses() const { return responses_; }
    // The panes were cleared: "since start" and "since the previous row" count afresh.
    void restart();

    // "+12.4 ms", "+1.25 s": a response time as the rows and the status show it.
    static std::string responseText(int64_t us);
    static void appendResponse(std::string& out, int64_t us);

  private:
    void appendTime(std::string& out, const Stamp& at);

    TimeViewOptions options_;
    bool anyByte_ = false;
    bool lastSideA_ = true;
    int64_t lastByteUs_ = 0;
    bool rowsStarted_ = false;
    int64_t firstRowUs_ = 0;
    int64_t previousRowUs_ = 0;
    ResponseTimes responses_;
    // The text of the last second shown, so the time of day is not worked out for every row.
    int64_t cachedSecond_ = -1;
    char cachedClock_[9] = {};
    // The prefix that further rows of the same time get: the rows of one block all read the same.
    bool cacheValid_ = false;
    int64_t cacheUs_ = 0;
    std::string cache_;
};

}  // namespace pv
