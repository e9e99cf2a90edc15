#include <gtest/gtest.h>

#include <random>

#include "TerminalTestSupport.h"
#include "support/ScreenMirror.h"
#include "terminal/TerminalScreen.h"

using namespace pv;
using pv::test::utf8;

namespace {

// Each case's blocks are shown in turn; the small limits keep 3 lines, 12 characters and lines
// of 4.
TEST(TerminalScreen, ControlCodesEscapeSequencesAndLimits) {
    using Limit = TerminalEscapeFilter;
    struct Case {
        std::vector<std::string> blocks;
        std::string text;
        bool small = false;
    };
    const Case cases[] = {
        {{"A\r\nB"}, "A\nB"},
        {{"A\rB"}, "AB"},
        {{"AB\b"}, "A"},
        {{"\bA\b\b"}, ""},
        {{"A\r", "\nB"}, "A\nB"},
        {{"A\n\r\n"}, "A\n\n"},
        {{"A\n\b"}, "A"},
        {{std::string("\0\x01\x7F\x80\x81\xE4\t", 7)}, "\u2400\u2401\u2421\u20AC\u25A1\u00E4\t"},
        // Escape sequences are hidden, also when split.
        {{"\x1B[1;31mred\x1B[0m \x1B[2J\x1B[H$ "}, "red $ "},
        {{"\x1B", "[3", "1mX"}, "X"},
        {{"\x1B]0;title\x07T"}, "T"},
        {{"\x1B]0;t\xE4", "tle\x1B", "\\T"}, "T"},
        {{"\x1BP1$r0m\x1B\\D"}, "D"},
        {{"\x1B(BX\x1B"
          "7Y\x1B=Z"},
         "XYZ"},
        // A control code inside a sequence acts; the sequence goes on.
        {{"\x1B[1\n2mX"}, "\nX"},
        // ESC restarts a sequence; CAN cancels one.
        {{"\x1B[1\x1B[2mA\x1B[3\x18"
          "B"},
         "AB"},
        // A string's ESC that is not ST starts a new sequence.
        {{"\x1B]x\x1B[31mC"}, "C"},
        // A byte that no sequence holds is text, and the garbage before it ends.
        {{"\x1B[1\xE9X"}, "\u00E9X"},
        {{"\x1B[" + std::string(100, '1') + "X"},
         std::string(100 - Limit::kMaxSequence, '1') + "X"},
        {{"\x1B]" + std::string(5000, 'a')}, std::string(5000 - Limit::kMaxString, 'a')},
        // The limits keep the newest lines and break endless ones.
        {{"1\n2\n", "3\n4\n"}, "3\n4\n", true},
        {{"abcdefghij"}, "abcd\nefgh\nij", true},
        {{"abcdefghijklmnopq"}, "ijkl\nmnop\nq", true},
        // A line continued for its length is not a line end to Backspace.
        {{"abcde\b\b"}, "abc", true},
        {{"abcd\n\b\b"}, "abc", true},
        {{"abcdefgh", "ijk\b\b\b\b"}, "abcd\nefg", true},
        {{"1234567\n", "ab\n"}, "567\nab\n", true},
        {{"12345678901\n"}, "5678\n901\n", true},
    };
    for (const Case& c : cases) {
        TerminalScreen screen(
            c.small ? TerminalScreenLimits{.maxLines = 3, .maxChars = 12, .maxLineLength = 4}
                    : TerminalScreenLimits{});
        for (const std::string& block : c.blocks) {
            screen.show(block);
        }
        EXPECT_EQ(utf8(screen.text()), c.text) << c.blocks[0];
    }
}

TEST(TerminalScreen, RemovalReportsWhatWentAndKeepsLineLengths) {
    TerminalScreen screen({.maxLines = 100, .maxChars = 100, .maxLineLength = 3});
    screen.show("ab\ncdef");
    EXPECT_EQ(screen.removeLast(), ShownRemoval::Character);  // f
    EXPECT_EQ(screen.removeLast(), ShownRemoval::Character);  // e and its break
    EXPECT_EQ(screen.removeLast(), ShownRemoval::Character);  // d
    EXPECT_EQ(screen.removeLast(), ShownRemoval::Character);  // c
    EXPECT_EQ(screen.removeLast(), ShownRemoval::LineEnd);    // the real one
    screen.show("xy");                                        // "ab" + "x" is 3
    EXPECT_EQ(utf8(screen.text()), "abx\ny");
    while (screen.removeLast() != ShownRemoval::Nothing) {
    }
    EXPECT_EQ(screen.lineCount(), 1);
    EXPECT_EQ(screen.length(), 0);
}

TEST(TerminalScreen, ChangesSinceTheLastFrameBringAViewUpToDate) {
    TerminalScreen screen({.maxLines = 50, .maxChars = 400, .maxLineLength = 30});
    screen.show("AB");
    EXPECT_EQ(screen.changedFrom(), 0);
    screen.markShown();
    screen.show("\x1B[31m\r");
    EXPECT_EQ(screen.changedFrom(), TerminalScreen::kUnchanged);
    screen.show("\b\bxyz");
    EXPECT_EQ(screen.changedFrom(), 0);
    const uint64_t generation = screen.generation();
    screen.clear();
    EXPECT_EQ(screen.generation(), generation + 1);
    EXPECT_EQ(screen.firstPosition(), 3);

    std::mt19937 random(11);
    const std::string alphabet = "abc\r\n\b\x1B[m;1\xE4\x07]\\";
    test::ScreenMirror view;
    for (int frame = 0; frame < 2000; ++frame) {
        for (int block = static_cast<int>(random() % 4); block > 0; --block) {
            std::string bytes(random() % 40, ' ');
            for (char& c : bytes) {
                c = alphabet[random() % alphabet.size()];
            }
            screen.show(bytes);
        }
        if (random() % 200 == 0) {
            screen.clear();
        }
        view.sync(screen);
        ASSERT_EQ(utf8(view.text), utf8(screen.text())) << frame;
        ASSERT_LE(screen.length(), 400);
        ASSERT_LE(screen.lineCount(), 50);
    }
}

TEST(TerminalScreen, RawSinkGetsEveryBlockUnchangedBeforeItIsShown) {
    TerminalScreen screen;
    std::vector<std::string> raw;
    screen.setRawSink([&](std::string_view bytes) {
        raw.emplace_back(bytes);
        EXPECT_EQ(screen.hiddenBytes(), raw.size() == 1 ? 0u : 5u);
    });
    screen.show("\x1B[31mA\r");
    screen.show("\b\n");
    EXPECT_EQ(raw, (std::vector<std::string>{"\x1B[31mA\r", "\b\n"}));
    EXPECT_EQ(utf8(screen.text()), "\n");
}

}  // namespace
