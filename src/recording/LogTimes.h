#pragma once

#include <cstdint>
#include <string>

#include "datapath/RowClock.h"
#include "recording/TimeStampMs.h"

namespace pv {

// The time columns of the log, the same choices as the panes': when a row began (a line of the
// single hex form, a row of the complex output), as the time of day, since the first row or
// since the row before, and how long the other side took to answer. The clock is read once
// per block; the texts are built without allocating once the strings have grown.
class LogTimes {
  public:
    void setColumn(TimeColumn column) { column_ = column; }
    bool on() const { return column_ != TimeColumn::Off; }
    // A new log: the first row counts from zero and no side has spoken yet.
    void restart();
    // A block of a side arrives. True when the other side spoke before it: its first row
    // carries the response time.
    bool beginBlock(LogClock& clock, bool sideA);
    // A row begins with a byte of the current block.
    void beginRow();
    // The begun row's prefix in fixed columns, as the panes show it: the time, the response
    // time, blanks. Blanks of the same width for a row that began before the column was on.
    void appendPrefix(std::string& out);
    // The begun row's time and, if it has one, response time, each after a TAB.
    void appendFields(std::string& out);

  private:
    void appendTime(std::string& out, bool padded);

    TimeColumn column_ = TimeColumn::Off;
    bool anyBlock_ = false;
    bool lastSideA_ = true;
    int64_t blockUs_ = 0;
    LocalTimeReading blockLocal_;
    int64_t blockResponseUs_ = -1;  // until the block's first row takes it
    bool rowBegun_ = false;
    int64_t rowUs_ = 0;
    LocalTimeReading rowLocal_;
    int64_t rowResponseUs_ = -1;
    bool rowsStarted_ = false;
    int64_t firstRowUs_ = 0;
    int64_t previousRowUs_ = 0;
    // The text of the last second written, so the time of day is not worked out for every row.
    int64_t cachedSecond_ = -1;
    char cachedClock_[16] = {};
};

}  // namespace pv
