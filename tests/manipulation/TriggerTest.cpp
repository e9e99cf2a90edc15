#include <gtest/gtest.h>

#include <random>

#include "base/FileNeu.h"
#include "manipulation/Trigger.h"

#include "support/TempFolder.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

TriggerSettings armed(const Bytes& pattern, int postscaler, bool autoDeactivate = true) {
    TriggerSettings s;
    s.active = true;
    s.patternLength = static_cast<int32_t>(pattern.size());
    std::copy(pattern.begin(), pattern.end(), s.pattern.begin());
    s.postscaler = postscaler;
    s.autoDeactivate = autoDeactivate;
    return s;
}

TriggerResult check(Trigger& trigger, const Bytes& block) {
    return trigger.Check(block.data(), static_cast<int>(block.size()));
}

// The check as first described: every held byte is kept and the block is copied behind them.
// The trigger keeps less; its results must not differ.
struct ReferenceTrigger {
    TriggerSettings s;
    Bytes held;
    bool counting = false;
    int64_t counter = 0;

    TriggerResult Check(const Bytes& block) {
        TriggerResult r;
        r.patternLength = s.patternLength;
        const int n = static_cast<int>(block.size());
        held.insert(held.end(), block.begin(), block.end());
        const int total = static_cast<int>(held.size());
        bool found = false, partial = false;
        int i = 0;
        for (; i < total; ++i) {
            if (held[i] != s.pattern[0]) {
                continue;
            }
            if (s.patternLength == 1) {
                found = true;
                break;
            }
            if (i == total - 1) {
                partial = true;
                break;
            }
            int j = 1;
            bool mismatch = false;
            for (; i + j < total && j < s.patternLength; ++j) {
                if (held[i + j] != s.pattern[j]) {
                    mismatch = true;
                    break;
                }
            }
            if (mismatch) {
                continue;
            }
            (j == s.patternLength ? found : partial) = true;
            break;
        }
        r.tailCount = total - (i + s.patternLength);
        if (partial && n > s.patternLength) {
            held = block;
        } else if (!partial) {
            held.clear();
        }
        if (found) {
            counter = r.tailCount;
            counting = true;
            r.fired = true;
        } else if (counting) {
            counter += n;
        }
        if (!found && counting && counter >= s.postscaler) {
            counter = 0;
            counting = false;
            r.waiting = true;
            r.stopOutput = s.autoDeactivate;
        }
        return r;
    }
};

TEST(TriggerCheck, SequencesOfBlocks) {
    struct Step {
        Bytes block;
        bool fired;
        bool waiting;
        bool stopOutput;
        int tailCount;  // when fired
        int64_t counter;
    };
    struct Case {
        const char* name;
        TriggerSettings settings;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"postscaler 5 runs over three blocks",
         armed({0x0D, 0x0A}, 5),
         {{{0x41, 0x0D, 0x0A, 0x42, 0x43}, true, false, false, 2, 2},
          {{0x44, 0x45}, false, false, false, 0, 4},
          {{0x46}, false, true, true, 0, 0}}},
        {"pattern split across blocks",
         armed({0x0D, 0x0A}, 1),
         {{{0x41, 0x0D}, false, false, false, 0, 0}, {{0x0A, 0x42}, true, false, false, 1, 1}}},
        {"overlapping occurrences: the first one only",
         armed({0x41, 0x42, 0x41}, 100),
         {{{0x41, 0x42, 0x41, 0x42, 0x41}, true, false, false, 2, 2}}},
        {"postscaler 0 re-arms at the first block after a match, never before one",
         armed({0x0D, 0x0A}, 0),
         {{{0x41}, false, false, false, 0, 0},
          {{0x0D, 0x0A}, true, false, false, 0, 0},
          {{0x42}, false, true, true, 0, 0},
          {{0x43}, false, false, false, 0, 0}}},
        {"without Auto Deactivate the output stays on",
         armed({0x0D, 0x0A}, 0, false),
         {{{0x0D, 0x0A}, true, false, false, 0, 0}, {{0x41}, false, true, false, 0, 0}}},
        {"a new match while counting starts the count again",
         armed({0x58}, 4),
         {{{0x58, 0x01, 0x02}, true, false, false, 2, 2},
          {{0x01, 0x58}, true, false, false, 0, 0},
          {{0x01, 0x02, 0x03}, false, false, false, 0, 3},
          {{0x04}, false, true, true, 0, 0}}},
        {"a failed attempt before a partial match at the end",
         armed({0x41, 0x42, 0x43}, 1),
         {{{0x41, 0x42, 0x41, 0x42}, false, false, false, 0, 0},
          {{0x43}, true, false, false, 0, 0}}},
        {"negative postscaler re-arms like 0",
         armed({0x41}, -7),
         {{{0x41, 0x42}, true, false, false, 1, 1}, {{0x42}, false, true, true, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Trigger trigger;
        trigger.Define(c.settings);
        for (size_t k = 0; k < c.steps.size(); ++k) {
            SCOPED_TRACE("block " + std::to_string(k));
            const Step& step = c.steps[k];
            const TriggerResult r = check(trigger, step.block);
            EXPECT_EQ(r.fired, step.fired);
            EXPECT_EQ(r.waiting, step.waiting);
            EXPECT_EQ(r.stopOutput, step.stopOutput);
            EXPECT_EQ(r.patternLength, c.settings.patternLength);
            if (step.fired) {
                EXPECT_EQ(r.tailCount, step.tailCount);
            }
            EXPECT_EQ(trigger.counter(), step.counter);
        }
    }
}

// Data that keeps ending in the first byte of the pattern in blocks no longer than the pattern
// would make a plain hold grow without end.
TEST(TriggerCheck, HeldBytesStayWithinTheLongestBeginningOfThePattern) {
    Trigger trigger;
    trigger.Define(armed({0x41, 0x42}, 1000));
    for (int k = 0; k < 50000; ++k) {
        EXPECT_FALSE(check(trigger, {0x41}).fired);
        ASSERT_EQ(trigger.heldLength(), 1);
    }
    const TriggerResult r = check(trigger, {0x42, 0x43});
    EXPECT_TRUE(r.fired);
    EXPECT_EQ(r.tailCount, 1);

    // The longest pattern, fed a byte at a time, is found when its last byte comes.
    Bytes longest(kMaxTextBytes);
    for (int k = 0; k < kMaxTextBytes; ++k) {
        longest[static_cast<size_t>(k)] = static_cast<uint8_t>(k == 0 ? 0xAA : k);
    }
    trigger.Define(armed(longest, 1000));
    check(trigger, {0x01, 0xAA, 0xAA});
    for (int k = 1; k < kMaxTextBytes - 1; ++k) {
        EXPECT_FALSE(check(trigger, {longest[static_cast<size_t>(k)]}).fired);
    }
    EXPECT_EQ(trigger.heldLength(), Trigger::kHeldCapacity);
    EXPECT_TRUE(check(trigger, {longest.back(), 0x00}).fired);
    EXPECT_EQ(trigger.heldLength(), 0);
}

TEST(TriggerCheck, SameResultsAsKeepingEveryHeldByte) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        // A small alphabet makes beginnings of the pattern frequent.
        std::uniform_int_distribution<int> byte(0, 2);
        Bytes pattern(1 + random() % 6);
        for (auto& b : pattern) {
            b = static_cast<uint8_t>(byte(random));
        }
        const TriggerSettings settings =
            armed(pattern, static_cast<int>(random() % 12) - 2, random() % 2 == 0);
        Trigger trigger;
        trigger.Define(settings);
        ReferenceTrigger reference{settings, {}, false, 0};
        for (int k = 0; k < 60; ++k) {
            Bytes block(1 + random() % 9);
            for (auto& b : block) {
                b = static_cast<uint8_t>(byte(random));
            }
            const TriggerResult got = check(trigger, block);
            const TriggerResult want = reference.Check(block);
            ASSERT_EQ(got.fired, want.fired) << "round " << round << " block " << k;
            ASSERT_EQ(got.waiting, want.waiting);
            ASSERT_EQ(got.stopOutput, want.stopOutput);
            if (want.fired) {
                ASSERT_EQ(got.tailCount, want.tailCount);
            }
            ASSERT_EQ(trigger.counter(), reference.counter);
            ASSERT_LE(trigger.heldLength(), Trigger::kHeldCapacity);
        }
    }
}

TEST(TriggerCheck, EmptyPatternNeverArms) {
    Trigger trigger;
    TriggerSettings s = armed({}, 0);
    trigger.Define(s);
    EXPECT_FALSE(trigger.IsActive());
    EXPECT_FALSE(check(trigger, {0x00, 0x00}).fired);
}

TEST(TriggerCheck, DefineDropsTheHeldBytes) {
    Trigger trigger;
    trigger.Define(armed({0x0D, 0x0A}, 1));
    check(trigger, {0x0D});
    EXPECT_EQ(trigger.heldLength(), 1);
    trigger.Define(armed({0x0D, 0x0A}, 1));
    EXPECT_EQ(trigger.heldLength(), 0);
    EXPECT_FALSE(check(trigger, {0x0A}).fired);
}

TEST(TriggerSettingsText, HexPatternTextWithAndWithoutBlanks) {
    TriggerSettings s;
    s.asciiInput = false;
    s.setPatternText("0D0A");
    ASSERT_EQ(s.patternLength, 2);
    EXPECT_EQ(s.pattern[0], 0x0D);
    EXPECT_EQ(s.pattern[1], 0x0A);
    EXPECT_EQ(s.patternText(), "0D0A");
    s.setPatternText("0D 0A");
    ASSERT_EQ(s.patternLength, 2);
    EXPECT_EQ(s.pattern[1], 0x00);
    EXPECT_EQ(s.patternText(), "0D00");
}

class TriggerFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.ok()); }

    std::string contents() const { return readWholeFile(path_); }
    void setContents(const std::string& bytes) const { writeWholeFile(path_, bytes); }

    TempFolder folder_{"pv-trigger"};
    std::string path_ = folder_.file("t.dat");
};

TEST_F(TriggerFileTest, RecordsAreWrittenInOrderAndReadBack) {
    Trigger trigger;
    TriggerSettings s = armed({0x0D, 0x0A}, 5, false);
    s.asciiInput = false;
    s.outputActive = true;
    s.lineDtr = false;
    s.lineRts = true;
    s.levelHigh = false;
    s.durationMs = 250;
    trigger.Define(s);
    {
        CFileNeu file;
        ASSERT_TRUE(file.Open(path_, CFileNeu::modeCreate | CFileNeu::modeWrite));
        ASSERT_TRUE(trigger.SaveTrigger(file));
        ASSERT_TRUE(trigger.SaveTriggerOutput(file));
    }
    EXPECT_EQ(contents(), "1\r\n0\r\n2\r\n0D0A\r\n5\r\n0\r\n1\r\n0\r\n1\r\n0\r\n250\r\n");

    Trigger loaded;
    loaded.ResetTrigger();
    CFileNeu file;
    ASSERT_TRUE(file.Open(path_, CFileNeu::modeRead));
    ASSERT_TRUE(loaded.LoadTrigger(file));
    ASSERT_TRUE(loaded.LoadTriggerOutput(file));
    EXPECT_EQ(loaded.settings(), s);
}

TEST_F(TriggerFileTest, ThePatternTextDecidesTheLengthAndAShortRecordKeepsWhatWasRead) {
    setContents("1\r\n1\r\n9\r\nHello\r\n3\r\n");
    Trigger trigger;
    trigger.ResetTrigger();
    CFileNeu file;
    ASSERT_TRUE(file.Open(path_, CFileNeu::modeRead));
    EXPECT_FALSE(trigger.LoadTrigger(file));
    EXPECT_EQ(trigger.settings().patternLength, 5);
    EXPECT_EQ(trigger.settings().patternText(), "Hello");
    EXPECT_EQ(trigger.settings().postscaler, 3);
    EXPECT_TRUE(trigger.settings().autoDeactivate) << "not read: the reset value stays";

    // A record that ends before its text leaves a length that fits the pattern.
    setContents("1\r\n1\r\n9\r\n");
    Trigger cut;
    cut.ResetTrigger();
    CFileNeu again;
    ASSERT_TRUE(again.Open(path_, CFileNeu::modeRead));
    EXPECT_FALSE(cut.LoadTrigger(again));
    EXPECT_TRUE(cut.settings().active);
    EXPECT_EQ(cut.settings().patternLength, 0);
    EXPECT_FALSE(cut.IsActive());
}

TEST(TriggerReset, GivesTheParameterFileDefaults) {
    Trigger trigger;
    TriggerSettings s = armed({1, 2, 3}, 9, false);
    s.asciiInput = false;
    s.outputActive = true;
    s.lineDtr = false;
    s.lineRts = true;
    s.levelHigh = false;
    s.durationMs = 7;
    trigger.Define(s);
    trigger.ResetTrigger();
    const TriggerSettings& r = trigger.settings();
    EXPECT_FALSE(r.active);
    EXPECT_TRUE(r.asciiInput);
    EXPECT_EQ(r.patternLength, 0);
    EXPECT_EQ(r.pattern[0], 0);
    EXPECT_EQ(r.postscaler, 0);
    EXPECT_TRUE(r.autoDeactivate);
    const TriggerOutput o = trigger.GetOutput();
    EXPECT_FALSE(o.outputActive);
    EXPECT_TRUE(o.lineDtr);
    EXPECT_FALSE(o.lineRts);
    EXPECT_TRUE(o.levelHigh);
    EXPECT_EQ(o.durationMs, 100);
}

TEST(TriggerDialogChecks, DurationAndPostscalerTexts) {
    const std::string between = "Enter an integer between 10 and 10000.";
    const std::string integer = "Enter an integer.";
    struct Case {
        const char* text;
        std::optional<std::string> message;
        int32_t value;
    };
    const Case cases[] = {
        {"10", std::nullopt, 10},
        {"10000", std::nullopt, 10000},
        {" 250 ", std::nullopt, 250},
        {"+99", std::nullopt, 99},
        {"5", between, 0},
        {"10001", between, 0},
        {"-20", between, 0},
        {"99999999999999999999", between, 0},
        {"", integer, 0},
        {"abc", integer, 0},
        {"12a", integer, 0},
        {"1 2", integer, 0},
        {"-", integer, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int32_t value = 0;
        EXPECT_EQ(CheckTriggerDuration(c.text, value), c.message);
        EXPECT_EQ(value, c.value);
    }

    EXPECT_EQ(postscalerValue("5"), 5);
    EXPECT_EQ(postscalerValue(" 12 bytes"), 12);
    EXPECT_EQ(postscalerValue("-3"), -3);
    EXPECT_EQ(postscalerValue(""), 0);
    EXPECT_EQ(postscalerValue("x5"), 0);
    EXPECT_EQ(postscalerValue("99999999999"), 2147483647);
}

}  // namespace
