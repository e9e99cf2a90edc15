#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "datapath/Pane.h"

namespace pv {

// A stretch of pane text in one format, in absolute positions (see PaneModel).
struct PaneSpan {
    int64_t start = 0;
    int64_t end = 0;
    PaneFormat format = PaneFormat::SideA;
    bool operator==(const PaneSpan&) const = default;
};

// The contents of a pane kept in memory: its text and the format runs over it. The display step
// writes here at block rate; a widget shows it at its own pace (see TextPane) and the tests read
// it directly.
//
// Absolute positions count every character ever appended, so they survive trimming: the text
// held runs from firstPosition() to endPosition(). A view that shows the model asks which part
// changed since it last looked (changedFrom) and whether the model was cleared (generation).
class PaneModel : public Pane {
  public:
    static constexpr int64_t kUnchanged = std::numeric_limits<int64_t>::max();

    void append(std::string_view text, PaneFormat format) override;
    int removeLeadingRows(int rows) override;
    void setFormat(int start, int end, PaneFormat format) override;
    void clear() override;
    int length() const override { return static_cast<int>(text_.size() - head_); }
    int lineCount() const override { return breaks_ + 1; }

    std::string_view text() const { return std::string_view(text_).substr(head_); }
    int64_t firstPosition() const { return first_; }
    int64_t endPosition() const { return first_ + length(); }
    // Rows trimmed at the top since the model was made: the absolute number of the first row.
    int64_t firstRow() const { return firstRow_; }
    // The format runs over [from, endPosition()), cut at from.
    std::vector<PaneSpan> spans(int64_t from) const;
    std::vector<PaneSpan> spans() const { return spans(first_); }
    // The text from an absolute position to the end.
    std::string_view textFrom(int64_t from) const;

    uint64_t generation() const { return generation_; }
    // The first absolute position appended or reformatted since the last markShown().
    int64_t changedFrom() const { return changedFrom_; }
    void markShown() { changedFrom_ = kUnchanged; }

  private:
    struct Run {
        int64_t start;
        PaneFormat format;
    };
    // Index of the run that holds an absolute position (which must be held).
    size_t runAt(int64_t pos) const;
    void compact();

    std::string text_;
    size_t head_ = 0;  // text_ before head_ is trimmed and waits for compact()
    std::vector<Run> runs_;
    size_t runHead_ = 0;
    int64_t first_ = 0;
    int64_t firstRow_ = 0;
    int breaks_ = 0;
    uint64_t generation_ = 0;
    int64_t changedFrom_ = kUnchanged;
};

}  // namespace pv
