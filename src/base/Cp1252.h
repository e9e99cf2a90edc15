#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pv {

// Code page 1252 at the border to Unicode. Bytes, file contents and the program's own tables
// are 1252; Qt and the prompt interface speak Unicode.
//
// Decoding gives exactly one UTF-16 unit per byte, so counts in characters equal counts in
// bytes. 0x7F and the five bytes 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to
// visible placeholder glyphs, each its own, and encode back to their byte, so text taken from an
// edit field or a pane keeps every byte. Unicode characters 1252 cannot hold encode as "?".

// Placeholder of 0x7F: SYMBOL FOR DELETE.
inline constexpr char16_t kCp1252DeleteGlyph = u'\u2421';

char16_t cp1252ToUnicode(uint8_t byte);

// What a screen may draw for a byte from 0x20 up, best first: its own character, unless that is
// invisible (the soft hyphen 0xAD), then look-alikes for the bytes without a printable character
// of their own, then a middle dot and a full stop. A pane takes the first that its font draws at
// the width of every other character. Only the screen uses these; files and sent bytes stay 1252.
std::u16string screenGlyphCandidates(uint8_t byte);
// The byte of a code point, or '?' when 1252 has none for it.
uint8_t unicodeToCp1252(char32_t codePoint);

std::u16string cp1252ToUtf16(std::string_view bytes);
std::string utf16ToCp1252(std::u16string_view text);
std::string cp1252ToUtf8(std::string_view bytes);
// Invalid UTF-8 sequences become one "?" per offending byte.
std::string utf8ToCp1252(std::string_view text);

}  // namespace pv
