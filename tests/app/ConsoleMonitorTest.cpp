#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/ConsoleMonitor.h"

using namespace pv;

namespace {

struct Feed {
    bool sideA;
    std::string bytes;
    bool flush = false;
};

TEST(ConsoleMonitor, PrintsEachSidesStretchOfARowAtItsColumn) {
    struct Case {
        const char* name;
        int bytesPerRow;
        std::vector<Feed> feeds;
        std::string lines;
    };
    const Case cases[] = {
        {"a full row, then a stretch that waits for more",
         4,
         {{true, "Hello"}},
         "A  48 65 6C 6C |Hell|\n"},
        {"the other side continues the row on a line of its own",
         4,
         {{true, "ab"}, {false, "cdef"}},
         "A  61 62       |ab  |\n"
         "B        63 64 |  cd|\n"},
        {"a pause prints the waiting stretch; the rest of the row follows at its column",
         4,
         {{false, "x", true}, {false, "yz", true}},
         "B  78          |x   |\n"
         "B     79 7A    | yz |\n"},
        {"bytes that are no printable ASCII show as dots",
         3,
         {{true, std::string("\r\n\x7F\xFF\x00 ", 6)}},
         "A  0D 0A 7F |...|\n"
         "A  FF 00 20 |.. |\n"},
        {"one byte per row", 1, {{true, "ab"}, {false, "c"}}, "A  61 |a|\nA  62 |b|\nB  63 |c|\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleMonitor monitor(c.bytesPerRow);
        std::string out;
        for (const Feed& feed : c.feeds) {
            monitor.feed(feed.sideA, reinterpret_cast<const uint8_t*>(feed.bytes.data()),
                         static_cast<int>(feed.bytes.size()), out);
            if (feed.flush) {
                monitor.flush(out);
            }
        }
        EXPECT_EQ(out, c.lines);
    }
}

// Every byte value at every column, against rows written out one byte at a time: the rows are
// made several columns per store, so a value can only go wrong next to another one.
TEST(ConsoleMonitor, EveryByteValueAtEveryColumnReadsAsItsHexAndText) {
    for (const int width : {16, 3}) {
        SCOPED_TRACE(width);
        std::vector<uint8_t> bytes;
        for (int round = 0; round < width; ++round) {
            for (int value = 0; value < 256; ++value) {
                bytes.push_back(static_cast<uint8_t>(value + round));
            }
        }
        ConsoleMonitor monitor(width);
        std::string out;
        monitor.feed(false, bytes.data(), static_cast<int>(bytes.size()), out);
        monitor.flush(out);
        std::string expected;
        for (size_t row = 0; row < bytes.size(); row += static_cast<size_t>(width)) {
            std::string hex, text;
            for (size_t k = row; k < row + static_cast<size_t>(width); ++k) {
                char cell[4];
                std::snprintf(cell, sizeof cell, "%02X ", bytes[k]);
                hex += cell;
                text += bytes[k] >= 0x20 && bytes[k] < 0x7F ? static_cast<char>(bytes[k]) : '.';
            }
            expected += "B  " + hex + "|" + text + "|\n";
        }
        EXPECT_EQ(out, expected);
    }
}

}  // namespace
