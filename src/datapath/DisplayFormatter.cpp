#include "datapath/DisplayFormatter.h"

#include <algorithm>
#include <charconv>

namespace pv {

DisplayFormatter::DisplayFormatter() : trail_(kTrailSize) {}

void DisplayFormatter::attach(Pane* ascii, Pane* hex) {
    ascii_ = ascii;
    hex_ = hex;
    asciiBase_ = 0;
    hexBase_ = 0;
    column_ = 0;
    lineCount_ = ascii_ != nullptr ? ascii_->lineCount() : 1;
    trailValidFrom_ = trailTotal_;
}

void DisplayFormatter::setBytesPerRow(int value) {
    bytesPerRow_ = std::clamp(value, kMinBytesPerRow, kMaxBytesPerRow);
    updateKeptLines();
}

void DisplayFormatter::setHistoryLines(int lines) {
    historyLines_ = std::clamp(lines, kDefaultHistoryLines, kMaxHistoryLines);
    updateKeptLines();
}

// A flood replaces the panes' whole contents every frame, so what a frame may have to draw is
// bounded in bytes, never below the classic history.
void DisplayFormatter::updateKeptLines() {
    keptLines_ = std::clamp(kHistoryByteBudget / bytesPerRow_, kDefaultHistoryLines, historyLines_);
    trimRows_ = keptLines_ / 10;
}

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

// The common case without symbols, written straight into the pieces: every byte takes one
// character and three, and each row at most kMaxPrefix more, so the room is known before the
// loop.
void DisplayFormatter::renderPlain(const uint8_t* bytes, int count, bool recordTrail,
                                   const BlockRows& rows) {
    const int64_t asciiStart = asciiBase_ + ascii_->length();
    const int64_t hexStart = hexBase_ + hex_->length();
    const auto n = static_cast<size_t>(count);
    const size_t breaks = (static_cast<size_t>(column_) + n) / static_cast<size_t>(bytesPerRow_);
    const bool stamped = clock_.timeColumn();
    // A forced break and the rows that begin in the block.
    const size_t extra = 1 + (stamped ? (breaks + 2) * kMaxPrefix : 0);
    asciiPiece_.resize(n + breaks + extra);
    hexPiece_.resize(3 * n + breaks + extra);
    char* const asciiBegin = asciiPiece_.data();
    char* const hexBegin = hexPiece_.data();
    char* a = asciiBegin;
    char* h = hexBegin;
    if (rows.start.newRow && column_ > 0) {
        *a++ = '\n';
        *h++ = '\n';
        column_ = 0;
    }
    int64_t response = rows.start.responseUs;
    for (size_t i = 0; i < n; ++i) {
        if (stamped && column_ == 0) {
            const std::string& prefix = rowPrefix(rows, response);
            std::copy(prefix.begin(), prefix.end(), a);
            std::copy(prefix.begin(), prefix.end(), h);
            a += prefix.size();
            h += prefix.size();
        }
        const uint8_t byte = bytes[i];
        if (recordTrail) {
            trail_[trailTotal_++ % kTrailSize] = {sequence_ + i, asciiStart + (a - asciiBegin),
                                                  hexStart + (h - hexBegin), 1, 2};
        }
        *a++ = byte < 0x20 ? kControlCharGlyph : static_cast<char>(byte);
        h[0] = kHexDigits[byte >> 4];
        h[1] = kHexDigits[byte & 0x0F];
        h[2] = ' ';
        h += 3;
        if (++column_ >= bytesPerRow_) {
            *a++ = '\n';
            *h++ = '\n';
            column_ = 0;
        }
    }
    asciiPiece_.resize(static_cast<size_t>(a - asciiBegin));
    hexPiece_.resize(static_cast<size_t>(h - hexBegin));
    sequence_ += n;
}

const std::string& DisplayFormatter::rowPrefix(const BlockRows& rows, int64_t& response) {
    prefix_.clear();
    clock_.appendPrefix(prefix_, rows.at, response);
    response = -1;
    if (prefix_.size() > kMaxPrefix) {
        prefix_.resize(kMaxPrefix);
    }
    return prefix_;
}

void DisplayFormatter::render(const uint8_t* bytes, int count, bool recordTrail,
                              const BlockRows& rows) {
    if (!useAsciiSymbols && !useHexSymbols) {
        renderPlain(bytes, count, recordTrail, rows);
        return;
    }
    asciiPiece_.clear();
    hexPiece_.clear();
    const int64_t asciiStart = asciiBase_ + ascii_->length();
    const int64_t hexStart = hexBase_ + hex_->length();
    if (rows.start.newRow && column_ > 0) {
        asciiPiece_.push_back('\n');
        hexPiece_.push_back('\n');
        column_ = 0;
    }
    int64_t response = rows.start.responseUs;
    for (int i = 0; i < count; ++i) {
        if (clock_.timeColumn() && column_ == 0) {
            const std::string& prefix = rowPrefix(rows, response);
            asciiPiece_ += prefix;
            hexPiece_ += prefix;
        }
        const uint8_t byte = bytes[i];
        const size_t asciiAt = asciiPiece_.size();
        const size_t hexAt = hexPiece_.size();
        symbols_.appendAsciiText(asciiPiece_, byte, useAsciiSymbols);
        symbols_.appendHexText(hexPiece_, byte, useHexSymbols);
        if (recordTrail) {
            trail_[trailTotal_ % kTrailSize] = {sequence_ + static_cast<uint64_t>(i),
                                                asciiStart + static_cast<int64_t>(asciiAt),
                                                hexStart + static_cast<int64_t>(hexAt),
                                                static_cast<int32_t>(asciiPiece_.size() - asciiAt),
                                                static_cast<int32_t>(hexPiece_.size() - hexAt - 1)};
            ++trailTotal_;
        }
        // ">=": a row width lowered below the column breaks the row at the next byte.
        if (++column_ >= bytesPerRow_) {
            asciiPiece_.push_back('\n');
            hexPiece_.push_back('\n');
            column_ = 0;
        }
    }
    sequence_ += static_cast<uint64_t>(count);
}

void DisplayFormatter::DisplayBlock(PaneFormat side, const uint8_t* bytes, int count,
                                    const Stamp& at) {
    if (count <= 0) {
        return;
    }
    if (ascii_ == nullptr || hex_ == nullptr) {
        skipBlock(side, count);
        return;
    }
    lastTrimmedRows_ = 0;
    const BlockRows rows{clock_.beginBlock(side == PaneFormat::SideA, at), at};
    render(bytes, count, side == PaneFormat::SideA, rows);
    ascii_->append(asciiPiece_, side);
    hex_->append(hexPiece_, side);
    if (lineCount_ >= keptLines_) {
        trimTo(lineCount_);
    }
    // A block of many rows is cut at once: the widget would otherwise have to draw rows that
    // the next block removes.
    if (ascii_->lineCount() >= 2 * keptLines_) {
        trimTo(ascii_->lineCount());
    }
    lineCount_ = ascii_->lineCount();
}

void DisplayFormatter::trimTo(int lines) {
    const int rows = trimRows_ * ((lines - keptLines_) / trimRows_ + 1);
    asciiBase_ += ascii_->removeLeadingRows(rows);
    hexBase_ += hex_->removeLeadingRows(rows);
    lastTrimmedRows_ += rows;
}

void DisplayFormatter::skipBlock(PaneFormat side, int count) {
    if (count <= 0) {
        return;
    }
    sequence_ += static_cast<uint64_t>(count);
    if (side == PaneFormat::SideA) {
        trailTotal_ += static_cast<uint64_t>(count);
        trailValidFrom_ = trailTotal_;
    }
}

void DisplayFormatter::MarkTriggerMatch(int patternBytes, int trailingBytes) {
    if (ascii_ == nullptr || hex_ == nullptr || patternBytes <= 0 || trailingBytes < 0) {
        return;
    }
    const uint64_t available = std::min<uint64_t>(trailTotal_ - trailValidFrom_, kTrailSize);
    const auto tail = static_cast<uint64_t>(trailingBytes);
    if (tail >= available) {
        return;
    }
    const uint64_t end = trailTotal_ - tail;
    const uint64_t begin =
        end - std::min<uint64_t>(static_cast<uint64_t>(patternBytes), available - tail);
    const auto at = [this](uint64_t k) -> const Shown& { return trail_[k % kTrailSize]; };
    // Bytes shown one after the other form one range; side B's text between two of them is
    // left in its colour.
    uint64_t runStart = begin;
    for (uint64_t k = begin + 1; k <= end; ++k) {
        if (k == end || at(k).sequence != at(k - 1).sequence + 1) {
            markRange(at(runStart), at(k - 1));
            runStart = k;
        }
    }
}

void DisplayFormatter::markRange(const Shown& first, const Shown& last) {
    const auto mark = [](Pane& pane, int64_t base, int64_t start, int64_t end) {
        const int64_t length = pane.length();
        const auto from = static_cast<int>(std::clamp<int64_t>(start - base, 0, length));
        const auto to = static_cast<int>(std::clamp<int64_t>(end - base, 0, length));
        pane.setFormat(from, to, PaneFormat::Highlight);
    };
    mark(*ascii_, asciiBase_, first.ascii, last.ascii + last.asciiLength);
    mark(*hex_, hexBase_, first.hex, last.hex + last.hexLength);
}

void DisplayFormatter::Clear() {
    if (ascii_ != nullptr && hex_ != nullptr) {
        asciiBase_ += ascii_->length();
        hexBase_ += hex_->length();
        ascii_->clear();
        hex_->clear();
    }
    column_ = 0;
    lineCount_ = 1;
    lastTrimmedRows_ = 0;
    trailValidFrom_ = trailTotal_;
    clock_.restart();
}

BytesPerRowInput parseBytesPerRow(std::string_view text) {
    const BytesPerRowInput low{DisplayFormatter::kMinBytesPerRow, "1"};
    const BytesPerRowInput high{DisplayFormatter::kMaxBytesPerRow, "128"};
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size() ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return low;
    }
    if (ec == std::errc::result_out_of_range) {
        return text.front() == '-' ? low : high;
    }
    if (value < DisplayFormatter::kMinBytesPerRow) {
        return low;
    }
    if (value > DisplayFormatter::kMaxBytesPerRow) {
        return high;
    }
    return {static_cast<int>(value), std::nullopt};
}

}  // namespace pv
