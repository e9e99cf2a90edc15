#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datapath/Pane.h"
#include "datapath/RowClock.h"
#include "datapath/SymbolTables.h"

namespace pv {

// The display step: turns each block into one piece of ASCII text and one piece of Hex text,
// appends them to the two panes in the colour of their side, breaks rows after bytesPerRow
// bytes (the column is shared by both sides, so their rows interleave) and trims the panes at
// the top. It also colours the bytes of a trigger match.
//
// Trimming removes whole rows, the same number from both panes, so the panes stay line-aligned
// at every row width and with symbols of any length: once an append has brought the panes to
// keptLines() lines or more, the next append removes trimRows() rows, or as many multiples of
// it as bring the count below keptLines() again (blocks of many rows would otherwise let the
// panes grow without bound). An append that leaves twice keptLines() lines or more is cut
// below keptLines() at once.
class DisplayFormatter {
  public:
    static constexpr int kMinBytesPerRow = 1;
    static constexpr int kMaxBytesPerRow = 128;
    static constexpr int kDefaultBytesPerRow = 16;
    static constexpr int kDefaultHistoryLines = 100;
    static constexpr int kDefaultTrimRows = 10;
    static constexpr int kMaxHistoryLines = 2000;
    // A full history is what a frame may have to show at once when the data floods in: at wide
    // rows fewer rows are kept than asked for (see keptLines), never fewer than the default.
    static constexpr int kHistoryByteBudget = 8192;

    DisplayFormatter();

    // The panes to write to; without them (nullptr) blocks are only counted.
    void attach(Pane* ascii, Pane* hex);

    // Renders and appends one block of a side (format SideA or SideB), read at `at` (used only
    // while the row clock is active).
    void DisplayBlock(PaneFormat side, const uint8_t* bytes, int count, const Stamp& at = {});
    // A block went by while the output was off: a later match must not reach into bytes that
    // were never shown.
    void skipBlock(PaneFormat side, int count);
    // Colours the last match of side A in both panes: patternBytes bytes, followed by
    // trailingBytes bytes of side A that were shown after it. The bytes are found by what was
    // shown for each of them, so symbols of any length and side B's bytes shown in between are
    // handled; a match that begins in an earlier block is marked whole.
    void MarkTriggerMatch(int patternBytes, int trailingBytes);
    // Empties both panes and starts a new row.
    void Clear();

    int bytesPerRow() const { return bytesPerRow_; }
    // Held in 1..128; applies from the next byte on, the column keeps its value.
    void setBytesPerRow(int value);
    int column() const { return column_; }
    int lineCount() const { return lineCount_; }
    bool useAsciiSymbols = false;
    bool useHexSymbols = false;
    SymbolTables& symbols() { return symbols_; }
    const SymbolTables& symbols() const { return symbols_; }

    // The history the user asked for, held in kDefaultHistoryLines..kMaxHistoryLines.
    int historyLines() const { return historyLines_; }
    void setHistoryLines(int lines);
    // The lines the panes keep: the history, but no more rows than kHistoryByteBudget bytes
    // fill at the current row width, and never fewer than kDefaultHistoryLines.
    int keptLines() const { return keptLines_; }
    int trimRows() const { return trimRows_; }
    // Rows removed from each pane by the last append (0 when it did not trim).
    int lastTrimmedRows() const { return lastTrimmedRows_; }

    // The time column, new rows after a pause, and the response times of the session.
    RowClock& rowClock() { return clock_; }
    const RowClock& rowClock() const { return clock_; }

    // The pieces of the last block, for callers that show the same text elsewhere.
    const std::string& asciiPiece() const { return asciiPiece_; }
    const std::string& hexPiece() const { return hexPiece_; }

  private:
    // Where one byte of side A went in the two panes, in positions that survive trimming.
    struct Shown {
        uint64_t sequence;  // counts every byte shown of both sides
        int64_t ascii;
        int64_t hex;
        int32_t asciiLength;
        int32_t hexLength;  // without the blank
    };
    // Enough for the longest match: a block plus the pattern bytes held from earlier blocks.
    static constexpr size_t kTrailSize = 16384;

    // Where the rows of the block in hand begin: a forced row break, and the response time its
    // first row shows.
    struct BlockRows {
        RowClock::BlockStart start;
        Stamp at;
    };
    // The longest row prefix copied; longer texts (absurd times) are cut.
    static constexpr size_t kMaxPrefix = 2 * RowClock::kPrefixWidth;

    void render(const uint8_t* bytes, int count, bool recordTrail, const BlockRows& rows);
    void updateKeptLines();
    // Removes whole rows from both panes, a multiple of trimRows(), to below historyLines().
    void trimTo(int lines);
    void renderPlain(const uint8_t* bytes, int count, bool recordTrail, const BlockRows& rows);
    // The prefix of a row that begins now, in prefix_; its response only on the block's first.
    const std::string& rowPrefix(const BlockRows& rows, int64_t& response);
    void markRange(const Shown& first, const Shown& last);

    Pane* ascii_ = nullptr;
    Pane* hex_ = nullptr;
    SymbolTables symbols_;
    int bytesPerRow_ = kDefaultBytesPerRow;
    int column_ = 0;
    int lineCount_ = 1;
    int historyLines_ = kDefaultHistoryLines;
    int keptLines_ = kDefaultHistoryLines;
    int trimRows_ = kDefaultTrimRows;
    int lastTrimmedRows_ = 0;
    // Absolute position of each pane's first character: what trimming removed so far.
    int64_t asciiBase_ = 0;
    int64_t hexBase_ = 0;
    uint64_t sequence_ = 0;
    std::vector<Shown> trail_;
    uint64_t trailTotal_ = 0;      // side A bytes recorded so far
    uint64_t trailValidFrom_ = 0;  // side A bytes before this one were not shown
    std::string asciiPiece_;
    std::string hexPiece_;
    RowClock clock_;
    std::string prefix_;
};

// The bytes-per-row edit on losing the focus: the value to take and, when the text was out of
// range or no number, the text to write back.
struct BytesPerRowInput {
    int value;
    std::optional<std::string> rewrite;
};
BytesPerRowInput parseBytesPerRow(std::string_view text);

}  // namespace pv
