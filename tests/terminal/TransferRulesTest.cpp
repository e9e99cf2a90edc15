#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terminal/TerminalSettings.h"
#include "terminal/TransferRules.h"

using namespace pv;

namespace {

using Field = DelayCorrection::Field;

constexpr const char* kBytesAbove = "Max. number of Bytes for Delay Raw File Upload = 1023!";
constexpr const char* kBytesBelow = "Min. number of Bytes for Delay Raw File Upload = 1!";
constexpr const char* kMsAbove = "Max. Delay Raw File Upload = 5000 ms!";
constexpr const char* kMsBelow = "Min. Delay Raw File Upload = 1 ms!";

TEST(TransferRules, DelayFieldsAreCorrectedInTheirFixedOrder) {
    const struct {
        std::string ms, bytes;
        std::vector<DelayCorrection> expected;
    } cases[] = {
        {"5000", "1023", {}},
        {"10", "1024", {{Field::Bytes, "1023", kBytesAbove}}},
        {"", "1", {{Field::Ms, "1", kMsBelow}}},
        {"5001", "1", {{Field::Ms, "5000", kMsAbove}}},
        {"-3", "0", {{Field::Bytes, "1", kBytesBelow}, {Field::Ms, "1", kMsBelow}}},
        {"99999999999", "abc", {{Field::Bytes, "1", kBytesBelow}, {Field::Ms, "5000", kMsAbove}}},
        // Text after the digits is ignored, as a decimal read does.
        {" 25ms", "7x", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms + " / " + c.bytes);
        std::string ms = c.ms, bytes = c.bytes;
        EXPECT_EQ(correctDelayFields(ms, bytes), c.expected);
    }
}

// Whatever a parameter file held, an upload runs within the limits.
TEST(TransferRules, PacingIsClampedWhenAnUploadStarts) {
    struct Case {
        bool delayOn;
        std::string ms, bytes;
        int linePause;
        std::string waitFor;
        int waitTimeout;
        UploadPacing expected;
    };
    const Case cases[] = {
        {false, "10", "1", 0, "", 2000, {false, 10, 1, 0, -1, 2000}},
        {true, "0", "5000", 0, "", 2000, {true, 1, 1023, 0, -1, 2000}},
        {true, "123456", "x", 9000, ">", 0, {true, 5000, 1, 5000, '>', 1}},
        {false, "", "", -5, "\xBB", 999999, {false, 1, 1, 0, 0xBB, 60000}},
    };
    for (const Case& c : cases) {
        TerminalSettings settings;
        settings.delayOn = c.delayOn;
        settings.delayMsText = c.ms;
        settings.delayBytesText = c.bytes;
        settings.linePauseMs = c.linePause;
        settings.waitForText = c.waitFor;
        settings.waitTimeoutMs = c.waitTimeout;
        EXPECT_EQ(uploadPacing(settings), c.expected) << c.ms << " / " << c.bytes;
    }
}

// By lines a block ends after each line feed; a line longer than a block is cut as usual.
TEST(TransferRules, BlocksAreCutAfterEachLine) {
    const std::string text = "ab\ncdefgh\n\nij";
    const auto blocksOf = [&text](const UploadPacing& pacing) {
        std::vector<std::string> blocks;
        std::span<const uint8_t> rest(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        while (!rest.empty()) {
            const size_t n = nextBlockLength(pacing, rest);
            blocks.emplace_back(reinterpret_cast<const char*>(rest.data()), n);
            rest = rest.subspan(n);
        }
        return blocks;
    };
    using Blocks = std::vector<std::string>;
    EXPECT_EQ(blocksOf({false, 10, 1, 5}), (Blocks{"ab\n", "cdefgh\n", "\n", "ij"}));
    EXPECT_EQ(blocksOf({true, 10, 3, 0, '>'}), (Blocks{"ab\n", "cde", "fgh", "\n", "\n", "ij"}));
}

TEST(TransferRules, ProgressSaysRateAndTimeLeft) {
    EXPECT_EQ(uploadProgressText(0, 1000, 0), "0 of 1000 bytes sent");
    EXPECT_EQ(uploadProgressText(1024 * 1024, 3 * 1024 * 1024, 2.0),
              "1048576 of 3145728 bytes sent, 512.0 KiB/s, 0:04 left");
    EXPECT_EQ(uploadProgressText(500, 500, 5.0), "500 of 500 bytes sent, 100 bytes/s");
}

}  // namespace
