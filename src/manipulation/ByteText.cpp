#include "manipulation/ByteText.h"

#include <algorithm>

namespace pv {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}

}  // namespace

std::vector<uint8_t> TextToBytes(std::string_view text, bool asciiInput, ByteTextForm form) {
    std::vector<uint8_t> bytes;
    if (asciiInput) {
        const size_t n = std::min(text.size(), static_cast<size_t>(kMaxTextBytes));
        bytes.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
        return bytes;
    }
    std::string digits(text);
    if (form == ByteTextForm::Exchange) {
        std::erase(digits, ' ');
    }
    for (size_t i = 0; i + 1 < digits.size() && bytes.size() < kMaxTextBytes; i += 2) {
        bytes.push_back(
            static_cast<uint8_t>(16 * digitValue(digits[i]) + digitValue(digits[i + 1])));
    }
    return bytes;
}

std::string BytesToText(std::span<const uint8_t> bytes, bool asciiInput, ByteTextForm form) {
    const auto shown = bytes.first(std::min(bytes.size(), static_cast<size_t>(kMaxTextBytes)));
    if (asciiInput) {
        return std::string(shown.begin(), shown.end());
    }
    std::string text;
    for (uint8_t b : shown) {
        text.push_back(kHexDigits[b >> 4]);
        text.push_back(kHexDigits[b & 0x0F]);
        if (form == ByteTextForm::Exchange) {
            text.push_back(' ');
        }
    }
    return text;
}

std::vector<uint8_t> storableBytes(std::span<const uint8_t> bytes, bool asciiInput) {
    std::vector<uint8_t> kept(bytes.begin(), bytes.end());
    if (asciiInput) {
        std::erase_if(kept, [](uint8_t b) { return b == 0x0D || b == 0x0A; });
    }
    return kept;
}

}  // namespace pv
