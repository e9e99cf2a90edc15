#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "datapath/RowClock.h"

namespace pv {

// The traffic as text lines for a terminal: the rows of the panes, with the column shared by
// both sides as there, each line one side's stretch of a row:
//
//   A  48 65 6C 6C 6F 0D 0A                          |Hello..         |
//   B                       4F 4B 0D 0A              |       OK..     |
//
// A stretch is printed when its row is full, when the other side's bytes come next or when
// flush() is called (the traffic paused); the rest of that row follows later on a line of its
// own, at its column. Bytes outside 0x20..0x7E show as "." in the text column.
//
// With times (setTimes) each line begins with the time of its first byte, and the line where the
// other side's answer begins with its response time; that side then starts a new row, as do
// bytes that follow a quiet line of the pause asked for.
class ConsoleMonitor {
  public:
    static constexpr int kMaxBytesPerRow = 128;

    explicit ConsoleMonitor(int bytesPerRow = 16);

    void setTimes(const TimeViewOptions& options) { clock_.setOptions(options); }
    // Appends the lines that the block, read at `at`, completes to out.
    void feed(bool sideA, const uint8_t* bytes, int count, std::string& out, const Stamp& at = {});
    // Appends the stretch of the current row that is still waiting, if any.
    void flush(std::string& out);
    bool waiting() const { return length_ > 0; }

  private:
    void writeStretch(std::string& out);

    static constexpr size_t kHexAt = 3;
    int bytesPerRow_;
    size_t textAt_;          // where the text column starts
    std::string blankLine_;  // a line with its bars and no bytes
    int column_ = 0;
    bool sideA_ = true;
    int start_ = 0;  // column of the waiting stretch's first byte
    int length_ = 0;
    std::array<uint8_t, kMaxBytesPerRow> bytes_{};
    RowClock clock_;
    Stamp stretchAt_;               // when the waiting stretch's first byte came
    int64_t stretchResponse_ = -1;  // the response time its line shows, -1: none
};

}  // namespace pv
