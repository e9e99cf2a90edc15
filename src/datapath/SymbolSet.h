#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pv {

// Names of the byte values 0x00..0x1F as the Hex symbols show them by default.
inline constexpr std::array<std::string_view, 32> ControlCharNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

// The character the ASCII pane shows for bytes below 0x20.
inline constexpr char kControlCharGlyph = '\x7F';

// Default entries: the control name or "%X" of the byte; 0x7F or the byte itself.
std::string defaultHexSymbol(uint8_t byte);
std::string defaultAsciiSymbol(uint8_t byte);

// A display text (code page 1252, any length) for each byte value.
class SymbolSet {
  public:
    static constexpr int kSize = 256;

    SymbolSet() = default;
    static SymbolSet hexDefaults();
    static SymbolSet asciiDefaults();

    const std::string& operator[](uint8_t byte) const { return entries_[byte]; }
    std::string& operator[](uint8_t byte) { return entries_[byte]; }
    bool operator==(const SymbolSet&) const = default;

  private:
    std::array<std::string, kSize> entries_;
};

}  // namespace pv
