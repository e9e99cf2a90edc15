#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "datapath/DisplayFormatter.h"
#include "datapath/PaneModel.h"

using namespace pv;

namespace {

struct Block {
    PaneFormat side;
    std::string data;
    int64_t ms;  // when it was read
};

std::string asciiOf(TimeViewOptions options, int bytesPerRow, const std::vector<Block>& blocks,
                    ResponseTimes* responses = nullptr) {
    PaneModel ascii, hex;
    DisplayFormatter formatter;
    formatter.attach(&ascii, &hex);
    formatter.setBytesPerRow(bytesPerRow);
    formatter.rowClock().setOptions(options);
    // 2026-12-08 12:00:00 UTC, and a steady clock that starts elsewhere.
    const int64_t wallStart = 1796731200LL * 1000000;
    for (const Block& b : blocks) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(b.data.data());
        formatter.DisplayBlock(b.side, bytes, static_cast<int>(b.data.size()),
                               {wallStart + b.ms * 1000, 5000000 + b.ms * 1000});
    }
    if (responses != nullptr) {
        *responses = formatter.rowClock().responses();
    }
    return std::string(ascii.text());
}

constexpr PaneFormat A = PaneFormat::SideA;
constexpr PaneFormat B = PaneFormat::SideB;
const std::string kNoResponse(RowClock::kResponseWidth, ' ');

TEST(RowClock, TimesPausesAndResponsesShapeTheRows) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    struct Case {
        const char* name;
        TimeViewOptions options;
        int bytesPerRow;
        std::vector<Block> blocks;
        std::string ascii;
    };
    const Case cases[] = {
        {"all off: the classic shared rows", {}, 16, {{A, "AT", 0}, {B, "OK", 500}}, "ATOK"},
        {"a pause starts a new row, a short gap does not",
         {TimeColumn::Off, 100},
         16,
         {{A, "ab", 0}, {A, "cd", 50}, {A, "ef", 200}, {B, "gh", 201}},
         "abcd\nefgh"},
        {"time of day; the answer starts its own row with its response time",
         {TimeColumn::Clock, 0},
         16,
         {{A, "AT", 0}, {B, "OK", 12}},
         "12:00:00.000 " + kNoResponse + " AT\n12:00:00.012 +12.0 ms   OK"},
        {"rows that begin inside a block carry its time; since the previous row",
         {TimeColumn::SincePrevious, 0},
         2,
         {{A, "abc", 1000}, {A, "d", 1250}},
         "+      0.000 " + kNoResponse + " ab\n+      0.000 " + kNoResponse + " cd\n"},
        {"since the first row, across a pause",
         {TimeColumn::SinceStart, 100},
         16,
         {{B, "x", 1000}, {B, "y", 3500}},
         "       0.000 " + kNoResponse + " x\n       2.500 " + kNoResponse + " y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(asciiOf(c.options, c.bytesPerRow, c.blocks), c.ascii);
    }
}

TEST(RowClock, ResponseTimesOfTheSessionBothWays) {
    ResponseTimes times;
    asciiOf({TimeColumn::Off, 0}, 16,
            {{A, "q", 0}, {B, "a", 30}, {B, "b", 31}, {A, "q", 41}, {B, "a", 43}}, &times);
    EXPECT_EQ(times.count, 3);
    EXPECT_EQ(times.lastUs, 2000);
    EXPECT_EQ(times.minUs, 2000);
    EXPECT_EQ(times.maxUs, 30000);
    EXPECT_EQ(RowClock::responseText(12400), "+12.4 ms");
    EXPECT_EQ(RowClock::responseText(12345678), "+12.35 s");
}

}  // namespace
