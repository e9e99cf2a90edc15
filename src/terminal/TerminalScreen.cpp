#include "terminal/TerminalScreen.h"

#include <algorithm>

#include "base/Cp1252.h"

namespace pv {

namespace {

// Trimmed text is dropped from the front only once there is a fair amount of it, so a trim
// costs a position move and the storage is reused.
constexpr size_t kCompactChars = 64 * 1024;
constexpr char16_t kControlPictures = u'\u2400';

char16_t glyph(uint8_t byte) {
    if (byte < 0x20 && byte != '\t') {
        return static_cast<char16_t>(kControlPictures + byte);
    }
    return cp1252ToUnicode(byte);
}

}  // namespace

TerminalScreen::TerminalScreen(TerminalScreenLimits limits) : limits_(limits) {
    limits_.maxLineLength = std::max(limits_.maxLineLength, 1);
    limits_.maxLines = std::max(limits_.maxLines, 1);
    // Trimming drops whole lines, so at least one full line must fit.
    limits_.maxChars = std::max<int64_t>(limits_.maxChars, limits_.maxLineLength + 1);
}

void TerminalScreen::show(std::string_view bytes) {
    if (rawSink_) {
        rawSink_(bytes);
    }
    for (char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        if (filter_.hides(byte)) {
            ++hiddenBytes_;
            continue;
        }
        switch (byte) {
            case '\n':
                appendBreak(false);
                break;
            case '\r':
                break;
            case 0x08:
                removeLast();
                break;
            default:
                appendChar(glyph(byte));
                break;
        }
    }
    trim();
}

void TerminalScreen::appendChar(char16_t c) {
    if (lineLength_ >= limits_.maxLineLength) {
        appendBreak(true);
    }
    changedFrom_ = std::min(changedFrom_, endPosition());
    text_.push_back(c);
    ++lineLength_;
}

void TerminalScreen::appendBreak(bool soft) {
    const int64_t pos = endPosition();
    changedFrom_ = std::min(changedFrom_, pos);
    if (soft) {
        softBreaks_.push_back(pos);
    }
    text_.push_back(u'\n');
    ++breaks_;
    lineLength_ = 0;
    // Keeps memory within one line of the limits even while a long block is shown.
    if (breaks_ + 1 > limits_.maxLines || length() > limits_.maxChars) {
        trim();
    }
}

ShownRemoval TerminalScreen::removeLast() {
    if (length() == 0) {
        return ShownRemoval::Nothing;
    }
    const char16_t c = text_.back();
    text_.pop_back();
    const int64_t pos = endPosition();
    changedFrom_ = std::min(changedFrom_, pos);
    if (c != u'\n') {
        --lineLength_;
        return ShownRemoval::Character;
    }
    --breaks_;
    if (!softBreaks_.empty() && softBreaks_.back() == pos) {
        // A continued line was full: the character shown last is the one before the break.
        softBreaks_.pop_back();
        lineLength_ = limits_.maxLineLength;
        return removeLast();
    }
    const std::u16string_view held = text();
    const size_t lastBreak = held.rfind(u'\n');
    lineLength_ = static_cast<int>(
        lastBreak == std::u16string_view::npos ? held.size() : held.size() - lastBreak - 1);
    return ShownRemoval::LineEnd;
}

void TerminalScreen::clear() {
    first_ = endPosition();
    text_.clear();
    head_ = 0;
    breaks_ = 0;
    lineLength_ = 0;
    softBreaks_.clear();
    ++generation_;
    changedFrom_ = kUnchanged;
}

void TerminalScreen::trim() {
    while (breaks_ > 0 && (breaks_ + 1 > limits_.maxLines || length() > limits_.maxChars)) {
        dropFirstLine();
    }
    compact();
}

void TerminalScreen::dropFirstLine() {
    const size_t lineEnd = text_.find(u'\n', head_);
    const size_t removed = lineEnd - head_ + 1;
    head_ = lineEnd + 1;
    first_ += static_cast<int64_t>(removed);
    --breaks_;
    while (!softBreaks_.empty() && softBreaks_.front() < first_) {
        softBreaks_.pop_front();
    }
}

void TerminalScreen::compact() {
    // A quarter of the limit keeps the storage near the limit; moving the text costs four
    // characters per character trimmed, little beside showing it.
    if (head_ > kCompactChars && head_ > static_cast<size_t>(limits_.maxChars / 4)) {
        text_.erase(0, head_);
        head_ = 0;
    }
}

std::u16string_view TerminalScreen::textFrom(int64_t from) const {
    const int64_t offset = std::clamp<int64_t>(from - first_, 0, length());
    return text().substr(static_cast<size_t>(offset));
}

}  // namespace pv
