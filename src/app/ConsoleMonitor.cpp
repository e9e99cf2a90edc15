#include "app/ConsoleMonitor.h"

#include <algorithm>

namespace pv {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kPlaceholder = '.';

}  // namespace

ConsoleMonitor::ConsoleMonitor(int bytesPerRow)
    : bytesPerRow_(std::clamp(bytesPerRow, 1, kMaxBytesPerRow)) {}

// A block comes from one side, so only its start can end the other side's stretch; the rest is
// copied a row's remainder at a time.
void ConsoleMonitor::feed(bool sideA, const uint8_t* bytes, int count, std::string& out,
                          const Stamp& at) {
    if (count <= 0) {
        return;
    }
    if (length_ > 0 && sideA != sideA_) {
        writeStretch(out);
    }
    const RowClock::BlockStart start = clock_.beginBlock(sideA, at);
    if (start.newRow) {
        flush(out);
        column_ = 0;
    }
    int64_t response = start.responseUs;
    while (count > 0) {
        if (length_ == 0) {
            sideA_ = sideA;
            start_ = column_;
            stretchAt_ = at;
            stretchResponse_ = response;
            response = -1;
        }
        const int n = std::min(count, bytesPerRow_ - column_);
        std::copy_n(bytes, n, bytes_.begin() + length_);
        length_ += n;
        column_ += n;
        bytes += n;
        count -= n;
        if (column_ >= bytesPerRow_) {
            writeStretch(out);
            column_ = 0;
        }
    }
}

void ConsoleMonitor::flush(std::string& out) {
    if (length_ > 0) {
        writeStretch(out);
    }
}

// Written in place at the end of out, which the caller reuses: no allocation per row.
void ConsoleMonitor::writeStretch(std::string& out) {
    if (clock_.timeColumn()) {
        clock_.appendPrefix(out, stretchAt_, stretchResponse_);
    }
    const auto width = static_cast<size_t>(bytesPerRow_);
    const size_t hexAt = 3;
    const size_t textAt = hexAt + width * 3 + 1;
    const size_t at = out.size();
    out.resize(at + textAt + width + 2, ' ');
    char* line = out.data() + at;
    line[0] = sideA_ ? 'A' : 'B';
    line[textAt - 1] = '|';
    line[textAt + width] = '|';
    line[textAt + width + 1] = '\n';
    // Locals, so the compiler need not reload the members after every store into the text.
    const uint8_t* bytes = bytes_.data();
    const auto length = static_cast<size_t>(length_);
    char* hex = line + hexAt + static_cast<size_t>(start_) * 3;
    char* text = line + textAt + static_cast<size_t>(start_);
    for (size_t k = 0; k < length; ++k) {
        const uint8_t byte = bytes[k];
        hex[k * 3] = kHexDigits[byte >> 4];
        hex[k * 3 + 1] = kHexDigits[byte & 0x0F];
        text[k] = byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : kPlaceholder;
    }
    length_ = 0;
}

}  // namespace pv
