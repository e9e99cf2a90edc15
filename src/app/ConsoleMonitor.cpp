#include "app/ConsoleMonitor.h"

#include <algorithm>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kPlaceholder = '.';

}  // namespace

ConsoleMonitor::ConsoleMonitor(int bytesPerRow)
    : bytesPerRow_(std::clamp(bytesPerRow, 1, kMaxBytesPerRow)) {}

void ConsoleMonitor::feed(bool sideA, const uint8_t* bytes, int count, std::string& out) {
    for (int i = 0; i < count; ++i) {
        if (length_ > 0 && sideA != sideA_) {
            writeStretch(out);
        }
        if (length_ == 0) {
            sideA_ = sideA;
            start_ = column_;
        }
        bytes_[static_cast<size_t>(length_++)] = bytes[i];
        if (++column_ >= bytesPerRow_) {
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

void ConsoleMonitor::writeStretch(std::string& out) {
    const auto width = static_cast<size_t>(bytesPerRow_);
    std::string line(3 + width * 3 + 1 + width + 2, ' ');
    line[0] = sideA_ ? 'A' : 'B';
    const size_t hexAt = 3;
    const size_t textAt = hexAt + width * 3 + 1;
    line[textAt - 1] = '|';
    line[textAt + width] = '|';
    line[textAt + width + 1] = '\n';
    for (int k = 0; k < length_; ++k) {
        const uint8_t byte = bytes_[static_cast<size_t>(k)];
        const auto column = static_cast<size_t>(start_ + k);
        line[hexAt + column * 3] = kHexDigits[byte >> 4];
        line[hexAt + column * 3 + 1] = kHexDigits[byte & 0x0F];
        line[textAt + column] =
            byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : kPlaceholder;
    }
    out += line;
    length_ = 0;
}
