#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "datapath/DisplayFormatter.h"
#include "datapath/PaneModel.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr PaneFormat A = PaneFormat::SideA;
constexpr PaneFormat B = PaneFormat::SideB;
constexpr PaneFormat H = PaneFormat::Highlight;

Bytes bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

struct Display {
    Display() { formatter.attach(&ascii, &hex); }
    void show(PaneFormat side, const Bytes& data) {
        formatter.DisplayBlock(side, data.data(), static_cast<int>(data.size()));
    }
    PaneModel ascii;
    PaneModel hex;
    DisplayFormatter formatter;
};

// Spans in positions relative to the pane's first character.
std::vector<PaneSpan> spansOf(const PaneModel& pane) {
    std::vector<PaneSpan> spans = pane.spans();
    for (PaneSpan& span : spans) {
        span.start -= pane.firstPosition();
        span.end -= pane.firstPosition();
    }
    return spans;
}

TEST(DisplayFormatter, BlocksBecomeRowsSharedByBothSides) {
    struct Block {
        PaneFormat side;
        Bytes data;
    };
    struct Case {
        const char* name;
        int bytesPerRow;
        bool asciiSymbols;
        bool hexSymbols;
        std::vector<Block> blocks;
        std::string ascii;
        std::string hex;
        int column;
        std::vector<PaneSpan> asciiSpans;
    };
    const Case cases[] = {
        {"control and high bytes",
         16,
         false,
         false,
         {{A, {0x41, 0x0D, 0x00, 0xFF}}},
         "A\x7F\x7F\xFF",
         "41 0D 00 FF ",
         4,
         {{0, 4, A}}},
        {"a row break inside a block, the other side continues the row",
         4,
         false,
         false,
         {{A, bytes("abcdef")}, {B, bytes("gh")}, {B, bytes("ijk")}},
         "abcd\nefgh\nijk",
         "61 62 63 64 \n65 66 67 68 \n69 6A 6B ",
         3,
         {{0, 7, A}, {7, 13, B}}},
        {"a block that ends a row",
         2,
         false,
         false,
         {{B, bytes("xy")}, {A, bytes("z")}},
         "xy\nz",
         "78 79 \n7A ",
         1,
         {{0, 3, B}, {3, 4, A}}},
        {"one byte per row",
         1,
         false,
         false,
         {{A, bytes("ab")}},
         "a\nb\n",
         "61 \n62 \n",
         0,
         {{0, 4, A}}},
        {"hex symbols of several characters; rows count bytes",
         3,
         false,
         true,
         {{A, {0x0D, 0x05, 0x41, 0x0A}}},
         "\x7F\x7F"
         "A\n\x7F",
         "CR ENQ 41 \nLF ",
         1,
         {{0, 5, A}}},
        {"ascii symbols shown whole for every occurrence",
         16,
         true,
         false,
         {{A, bytes("a\x01"
                    "a")}},
         "<a>^A<a>",
         "61 01 61 ",
         3,
         {{0, 8, A}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Display d;
        d.formatter.setBytesPerRow(c.bytesPerRow);
        d.formatter.useAsciiSymbols = c.asciiSymbols;
        d.formatter.useHexSymbols = c.hexSymbols;
        d.formatter.symbols().asciiSymbols['a'] = "<a>";
        d.formatter.symbols().asciiSymbols[0x01] = "^A";
        for (const Block& block : c.blocks) {
            d.show(block.side, block.data);
        }
        EXPECT_EQ(d.ascii.text(), c.ascii);
        EXPECT_EQ(d.hex.text(), c.hex);
        EXPECT_EQ(d.formatter.column(), c.column);
        EXPECT_EQ(spansOf(d.ascii), c.asciiSpans);
        EXPECT_EQ(d.ascii.lineCount(), d.hex.lineCount());
    }
}

TEST(DisplayFormatter, NarrowerRowsBreakAtTheNextByte) {
    Display d;
    d.show(A, bytes("abcdef"));
    d.formatter.setBytesPerRow(4);
    d.show(A, bytes("gh"));
    EXPECT_EQ(d.ascii.text(), "abcdefg\nh");
    d.formatter.setBytesPerRow(0);
    EXPECT_EQ(d.formatter.bytesPerRow(), 1);
    d.formatter.setBytesPerRow(500);
    EXPECT_EQ(d.formatter.bytesPerRow(), 128);
}

// Everything ever shown, row by row, rendered the plain way; the panes must hold its last rows.
struct Reference {
    std::vector<std::string> asciiRows{""};
    std::vector<std::string> hexRows{""};
    int column = 0;

    void add(const SymbolTables& tables, bool useAscii, bool useHex, int perRow, const Bytes& d) {
        for (uint8_t byte : d) {
            tables.appendAsciiText(asciiRows.back(), byte, useAscii);
            tables.appendHexText(hexRows.back(), byte, useHex);
            if (++column >= perRow) {
                asciiRows.back() += '\n';
                hexRows.back() += '\n';
                asciiRows.emplace_back();
                hexRows.emplace_back();
                column = 0;
            }
        }
    }
    static std::string lastLines(const std::vector<std::string>& rows, int lines) {
        std::string text;
        for (size_t k = rows.size() - static_cast<size_t>(lines); k < rows.size(); ++k) {
            text += rows[k];
        }
        return text;
    }
};

TEST(DisplayFormatter, TrimmingKeepsThePanesOnWholeAlignedRows) {
    for (int perRow : {1, 7, 16, 128}) {
        for (bool symbols : {false, true}) {
            SCOPED_TRACE(testing::Message() << perRow << " bytes per row, symbols " << symbols);
            Display d;
            d.formatter.setBytesPerRow(perRow);
            d.formatter.useAsciiSymbols = symbols;
            d.formatter.useHexSymbols = symbols;
            d.formatter.symbols().asciiSymbols[0x0D] = "<CR>";
            Reference ref;
            std::mt19937 random(static_cast<unsigned>(perRow * 2 + symbols));
            int trims = 0;
            for (int block = 0; block < 400; ++block) {
                // Mostly small blocks, now and then one of many rows.
                const int size = block % 50 == 49 ? 3000 : 1 + static_cast<int>(random() % 40);
                Bytes data(static_cast<size_t>(size));
                for (uint8_t& byte : data) {
                    byte = static_cast<uint8_t>(random() % 3 == 0 ? 0x0D : random());
                }
                const int linesBefore = d.formatter.lineCount();
                const PaneFormat side = random() % 2 ? A : B;
                d.show(side, data);
                ref.add(d.formatter.symbols(), symbols, symbols, perRow, data);

                const int lines = d.ascii.lineCount();
                ASSERT_EQ(d.hex.lineCount(), lines);
                ASSERT_EQ(d.ascii.text(), Reference::lastLines(ref.asciiRows, lines));
                ASSERT_EQ(d.hex.text(), Reference::lastLines(ref.hexRows, lines));
                // Ten rows, or what brings the panes below 100 lines again; a block that leaves
                // 200 lines or more is cut below 100 at once.
                const auto cut = [](int l) { return (l - 100) / 10 * 10 + 10; };
                int expected = linesBefore >= 100 ? cut(linesBefore) : 0;
                const int added = static_cast<int>(std::count(
                    d.formatter.asciiPiece().begin(), d.formatter.asciiPiece().end(), '\n'));
                if (const int after = linesBefore - expected + added; after >= 200) {
                    expected += cut(after);
                }
                trims += expected > 0;
                EXPECT_EQ(d.formatter.lastTrimmedRows(), expected);
                EXPECT_LT(lines, 200);
            }
            EXPECT_GT(trims, 5);
        }
    }
}

TEST(DisplayFormatter, AtSixteenBytesPerRowATrimIsTenRowsOfEachPane) {
    Display d;
    const Bytes row(16, 'x');
    for (int k = 0; k < 99; ++k) {
        d.show(A, row);
    }
    ASSERT_EQ(d.formatter.lineCount(), 100);
    const int asciiBefore = d.ascii.length();
    const int hexBefore = d.hex.length();
    d.show(B, bytes("y"));
    EXPECT_EQ(d.ascii.length(), asciiBefore + 1 - 170);
    EXPECT_EQ(d.hex.length(), hexBefore + 3 - 490);
    EXPECT_EQ(d.formatter.lineCount(), 90);
}

// A longer history keeps more rows, but at wide rows no more than a frame can draw in a flood;
// never fewer than the classic 100 lines.
TEST(DisplayFormatter, HistoryKeepsRowsWithinItsByteBudget) {
    const struct {
        int history;
        int bytesPerRow;
        int kept;
    } cases[] = {
        {100, 16, 100},   {500, 16, 500}, {2000, 16, 512}, {2000, 1, 2000},
        {2000, 128, 100}, {50, 16, 100},  {5000, 1, 2000}, {1000, 4, 1000},
    };
    for (const auto& c : cases) {
        Display d;
        d.formatter.setHistoryLines(c.history);
        d.formatter.setBytesPerRow(c.bytesPerRow);
        EXPECT_EQ(d.formatter.keptLines(), c.kept) << c.history << " at " << c.bytesPerRow;
        const Bytes row(static_cast<size_t>(c.bytesPerRow), 'r');
        for (int k = 0; k < c.kept + 30; ++k) {
            d.show(A, row);
        }
        EXPECT_LT(d.ascii.lineCount(), c.kept) << c.history << " at " << c.bytesPerRow;
        EXPECT_GE(d.ascii.lineCount(), c.kept - c.kept / 10) << c.history;
        EXPECT_EQ(d.hex.lineCount(), d.ascii.lineCount());
    }
    // Wider rows later shrink what is kept from the next append on.
    Display d;
    d.formatter.setHistoryLines(2000);
    d.formatter.setBytesPerRow(4);
    for (int k = 0; k < 1500; ++k) {
        d.show(A, bytes("abcd"));
    }
    EXPECT_EQ(d.ascii.lineCount(), 1501);
    d.formatter.setBytesPerRow(64);
    d.show(B, bytes("z"));
    EXPECT_LT(d.ascii.lineCount(), 128);
}

TEST(DisplayFormatter, ClearEmptiesThePanesAndStartsANewRow) {
    Display d;
    d.formatter.setBytesPerRow(4);
    d.show(A, bytes("abcdef"));
    d.formatter.Clear();
    EXPECT_EQ(d.ascii.text(), "");
    EXPECT_EQ(d.hex.text(), "");
    EXPECT_EQ(d.formatter.column(), 0);
    d.show(B, bytes("gh"));
    EXPECT_EQ(d.ascii.text(), "gh");
    // Nothing of before the Clear can be marked any more.
    d.formatter.MarkTriggerMatch(4, 2);
    EXPECT_EQ(spansOf(d.ascii), (std::vector<PaneSpan>{{0, 2, B}}));
}

TEST(DisplayFormatter, TriggerMatchesAreMarkedOnTheirOwnBytes) {
    struct Block {
        PaneFormat side;
        Bytes data;
    };
    struct Case {
        const char* name;
        int bytesPerRow;
        bool hexSymbols;
        std::vector<Block> blocks;
        int pattern;
        int trailing;
        std::vector<PaneSpan> ascii;
        std::vector<PaneSpan> hex;
    };
    const Case cases[] = {
        {"a match across a row break",
         4,
         false,
         {{A, {0x41, 0x42, 0x43, 0x0D, 0x0A, 0x44}}},
         2,
         1,
         // "ABC\x7F\n\x7F" "D" / "41 42 43 0D \n0A 44 "
         {{0, 3, A}, {3, 6, H}, {6, 7, A}},
         {{0, 9, A}, {9, 15, H}, {15, 19, A}}},
        {"a match that begins in the previous block, side B shown in between",
         16,
         false,
         {{A, {0x41, 0x0D}}, {B, bytes("ok")}, {A, {0x0A, 0x42}}},
         2,
         1,
         // "A\x7Fok\x7F" "B" / "41 0D 6F 6B 0A 42 "
         {{0, 1, A}, {1, 2, H}, {2, 4, B}, {4, 5, H}, {5, 6, A}},
         {{0, 3, A}, {3, 5, H}, {5, 6, A}, {6, 12, B}, {12, 14, H}, {14, 18, A}}},
        {"symbols of several characters are marked whole",
         16,
         true,
         {{A, {0x41, 0x0D, 0x0A}}},
         2,
         0,
         {{0, 1, A}, {1, 3, H}},
         // "41 CR LF "
         {{0, 3, A}, {3, 8, H}, {8, 9, A}}},
        {"a pattern longer than what is shown is cut at the first byte shown",
         16,
         false,
         {{A, bytes("xy")}},
         5,
         0,
         {{0, 2, H}},
         {{0, 5, H}, {5, 6, A}}},
        {"bytes behind the pattern beyond what is shown: nothing",
         16,
         false,
         {{A, bytes("xy")}},
         1,
         2,
         {{0, 2, A}},
         {{0, 6, A}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Display d;
        d.formatter.setBytesPerRow(c.bytesPerRow);
        d.formatter.useHexSymbols = c.hexSymbols;
        for (const Block& block : c.blocks) {
            d.show(block.side, block.data);
        }
        d.formatter.MarkTriggerMatch(c.pattern, c.trailing);
        EXPECT_EQ(spansOf(d.ascii), c.ascii) << d.ascii.text();
        EXPECT_EQ(spansOf(d.hex), c.hex) << d.hex.text();
    }
}

TEST(DisplayFormatter, AMatchStaysOnItsBytesWhenRowsAboveAreTrimmed) {
    Display d;
    const Bytes row(16, 'x');
    for (int k = 0; k < 99; ++k) {
        d.show(B, row);
    }
    d.show(A, bytes("ab\r\n"));  // trims ten rows
    ASSERT_EQ(d.formatter.lastTrimmedRows(), 10);
    d.formatter.MarkTriggerMatch(2, 0);
    const std::vector<PaneSpan> spans = spansOf(d.ascii);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[2], (PaneSpan{d.ascii.length() - 2, d.ascii.length(), H}));
}

TEST(DisplayFormatter, BytesNotShownAreNeverMarked) {
    Display d;
    d.show(A, bytes("\r"));
    d.formatter.skipBlock(A, 3);  // the output was off
    d.show(A, bytes("\n"));
    d.formatter.MarkTriggerMatch(2, 0);
    EXPECT_EQ(spansOf(d.ascii), (std::vector<PaneSpan>{{0, 1, A}, {1, 2, H}}));
}

TEST(PaneModel, FormatsSplitAndJoinAndSurviveTrimming) {
    PaneModel pane;
    pane.append("aa\naa", A);
    pane.append("bb\nbb", B);
    pane.setFormat(4, 7, H);
    EXPECT_EQ(spansOf(pane), (std::vector<PaneSpan>{{0, 4, A}, {4, 7, H}, {7, 10, B}}));
    pane.setFormat(0, 10, A);
    EXPECT_EQ(spansOf(pane), (std::vector<PaneSpan>{{0, 10, A}}));
    pane.setFormat(3, 8, B);
    EXPECT_EQ(pane.removeLeadingRows(1), 3);
    EXPECT_EQ(pane.text(), "aabb\nbb");
    EXPECT_EQ(spansOf(pane), (std::vector<PaneSpan>{{0, 5, B}, {5, 7, A}}));
    // Only whole rows go.
    EXPECT_EQ(pane.removeLeadingRows(5), 5);
    EXPECT_EQ(pane.text(), "bb");
    EXPECT_EQ(pane.lineCount(), 1);
}

TEST(BytesPerRowInput, IsHeldInRangeAndRewrittenAtTheLimits) {
    struct Case {
        const char* text;
        int value;
        std::optional<std::string> rewrite;
    };
    const Case cases[] = {
        {"16", 16, std::nullopt},
        {" 7 ", 7, std::nullopt},
        {"128", 128, std::nullopt},
        {"1", 1, std::nullopt},
        {"0", 1, "1"},
        {"-5", 1, "1"},
        {"", 1, "1"},
        {"abc", 1, "1"},
        {"12x", 1, "1"},
        {"200", 128, "128"},
        {"99999999999999999999", 128, "128"},
    };
    for (const Case& c : cases) {
        const BytesPerRowInput input = parseBytesPerRow(c.text);
        EXPECT_EQ(input.value, c.value) << c.text;
        EXPECT_EQ(input.rewrite, c.rewrite) << c.text;
    }
}

}  // namespace
