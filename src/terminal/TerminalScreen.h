#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "terminal/TerminalEscapeFilter.h"

namespace pv {

// What removing the last shown character took away.
enum class ShownRemoval : uint8_t { Nothing, Character, LineEnd };

// How much the terminal's text area holds. A line that reaches maxLineLength without a line end
// is continued on a new line, so one endless line neither defeats the limits nor makes a text
// view lay out megabytes as one block.
struct TerminalScreenLimits {
    int maxLines = 10000;
    int64_t maxChars = 1024 * 1024;
    int maxLineLength = 4096;
};

// The text area of the terminal window as a model: what a received block or the local echo adds
// and what a backspace removes, trimmed to the limits. Received blocks come in at block rate; the
// window shows the model at its own pace, as the panes show theirs.
//
// Bytes are code page 1252. A line feed ends a line, so does CR LF, also when a block ends
// between the two; a carriage return alone is ignored; 0x08 removes the last character shown,
// a line end too; escape sequences are hidden; other control codes show as their control
// pictures (U+2400 block) and a tab as a tab. The text holds one UTF-16 unit per character and
// "\n" per line end.
//
// Absolute positions count every character ever added, so they survive trimming: the text held
// runs from firstPosition() to endPosition(). A view asks where the text changed since it last
// looked (changedFrom; a removal at the end counts as a change from there) and whether the model
// was cleared (generation).
class TerminalScreen {
  public:
    static constexpr int64_t kUnchanged = std::numeric_limits<int64_t>::max();
    using RawSink = std::function<void(std::string_view)>;

    explicit TerminalScreen(TerminalScreenLimits limits = {});

    // A received block or the echo of the user's input.
    void show(std::string_view bytes);
    // Removes the last character shown (the Backspace of the local echo).
    ShownRemoval removeLast();
    // Empties the text; a sequence that is under way stays hidden.
    void clear();
    // Gets every block given to show(), unchanged and in order, before it is shown: what a
    // download writes.
    void setRawSink(RawSink sink) { rawSink_ = std::move(sink); }

    std::u16string_view text() const { return std::u16string_view(text_).substr(head_); }
    int64_t length() const { return static_cast<int64_t>(text_.size() - head_); }
    // Lines as a text view counts them: the line ends plus the line after the last one.
    int lineCount() const { return breaks_ + 1; }
    int64_t firstPosition() const { return first_; }
    int64_t endPosition() const { return first_ + length(); }
    // The text from an absolute position to the end.
    std::u16string_view textFrom(int64_t from) const;

    uint64_t generation() const { return generation_; }
    // The first absolute position added or removed since the last markShown().
    int64_t changedFrom() const { return changedFrom_; }
    void markShown() { changedFrom_ = kUnchanged; }

    // Bytes of escape sequences that were not shown.
    uint64_t hiddenBytes() const { return hiddenBytes_; }
    const TerminalScreenLimits& limits() const { return limits_; }
    // Bytes of storage the text holds, trimmed text that waits for reuse included.
    size_t memoryUse() const {
        return text_.capacity() * sizeof(char16_t) + softBreaks_.size() * sizeof(int64_t);
    }

  private:
    void appendChar(char16_t c);
    void appendBreak(bool soft);
    void trim();
    void dropFirstLine();
    void compact();

    TerminalScreenLimits limits_;
    TerminalEscapeFilter filter_;
    RawSink rawSink_;
    std::u16string text_;
    size_t head_ = 0;  // text_ before head_ is trimmed and waits for compact()
    int64_t first_ = 0;
    int breaks_ = 0;
    int lineLength_ = 0;  // characters of the last line
    // Absolute positions of the line ends that continue an over-long line, oldest first.
    std::deque<int64_t> softBreaks_;
    uint64_t generation_ = 0;
    int64_t changedFrom_ = kUnchanged;
    uint64_t hiddenBytes_ = 0;
};

}  // namespace pv
