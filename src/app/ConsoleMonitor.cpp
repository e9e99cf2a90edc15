#include "app/ConsoleMonitor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace pv {

namespace {

constexpr char kPlaceholder = '.';

// Per byte value its hex column "XX " as the low three bytes of a word, so two bytes' columns
// make one 8-byte store.
constexpr std::array<uint32_t, 256> makeHexCells() {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<uint32_t, 256> cells{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        const auto high = static_cast<uint32_t>(kDigits[byte >> 4]);
        const auto low = static_cast<uint32_t>(kDigits[byte & 0x0F]);
        cells[byte] = high | low << 8 | uint32_t{' '} << 16;
    }
    return cells;
}

constexpr std::array<uint32_t, 256> kHexCells = makeHexCells();

// Two bytes' columns and two spare spaces per store; the spares land on the next columns or,
// after the last byte, on the bar and the first text column, which the caller then writes.
void putHex(char* hex, const uint8_t* bytes, size_t length) {
    size_t k = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; k + 2 <= length; k += 2) {
            const uint64_t pair = kHexCells[bytes[k]] | uint64_t{kHexCells[bytes[k + 1]]} << 24 |
                                  uint64_t{' '} << 48 | uint64_t{' '} << 56;
            std::memcpy(hex + k * 3, &pair, sizeof pair);
        }
    }
    for (; k < length; ++k) {
        hex[k * 3] = static_cast<char>(kHexCells[bytes[k]]);
        hex[k * 3 + 1] = static_cast<char>(kHexCells[bytes[k]] >> 8);
    }
}

}  // namespace

ConsoleMonitor::ConsoleMonitor(int bytesPerRow)
    : bytesPerRow_(std::clamp(bytesPerRow, 1, kMaxBytesPerRow)),
      textAt_(kHexAt + static_cast<size_t>(bytesPerRow_) * 3 + 1) {
    blankLine_.assign(textAt_ + static_cast<size_t>(bytesPerRow_) + 2, ' ');
    blankLine_[textAt_ - 1] = '|';
    blankLine_[blankLine_.size() - 2] = '|';
    blankLine_.back() = '\n';
}

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
    const size_t at = out.size();
    out += blankLine_;
    char* line = out.data() + at;
    // Locals, so the compiler need not reload the members after every store into the text.
    const uint8_t* bytes = bytes_.data();
    const auto length = static_cast<size_t>(length_);
    char* hex = line + kHexAt + static_cast<size_t>(start_) * 3;
    char* text = line + textAt_ + static_cast<size_t>(start_);
    putHex(hex, bytes, length);
    // Written after the hex column, whose last spares may reach into it.
    for (size_t k = 0; k < length; ++k) {
        text[k] = bytes[k] >= 0x20 && bytes[k] < 0x7F ? static_cast<char>(bytes[k]) : kPlaceholder;
    }
    line[0] = sideA_ ? 'A' : 'B';
    line[textAt_ - 1] = '|';
    length_ = 0;
}

}  // namespace pv
