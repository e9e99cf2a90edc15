#include "base/Cp1252.h"

#include <array>

namespace pv {

namespace {

// 0x80..0x9F; the undefined positions hold their placeholder glyphs.
constexpr std::array<char16_t, 32> kHighControlRange = {
    u'\u20AC', u'\u25A1', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u25A2', u'\u017D', u'\u25A3',
    u'\u25A4', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u25A5', u'\u017E', u'\u0178'};

constexpr bool isUndefined(uint8_t byte) {
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

char16_t cp1252ToUnicode(uint8_t byte) {
    if (byte == 0x7F) {
        return kCp1252DeleteGlyph;
    }
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControlRange[byte - 0x80];
    }
    return byte;
}

std::u16string screenGlyphCandidates(uint8_t byte) {
    std::u16string candidates;
    if (byte != 0xAD) {
        candidates.push_back(cp1252ToUnicode(byte));
    }
    if (byte == 0x7F) {
        candidates.push_back(u'\u2302');  // HOUSE, the glyph of 0x7F in the PC's code page
    } else if (byte == 0xAD) {
        candidates += u"\u2010\u2011-";  // the hyphen it stands for where a line breaks
    }
    candidates += u"\u00B7.";
    return candidates;
}

uint8_t unicodeToCp1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<uint8_t>(codePoint);
    }
    if (codePoint == kCp1252DeleteGlyph) {
        return 0x7F;
    }
    for (int i = 0; i < 32; ++i) {
        const auto byte = static_cast<uint8_t>(0x80 + i);
        if (kHighControlRange[i] == codePoint) {
            return byte;
        }
        // The C1 code points of the undefined bytes are what other converters make of them.
        if (isUndefined(byte) && codePoint == byte) {
            return byte;
        }
    }
    return '?';
}

std::u16string cp1252ToUtf16(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        text.push_back(cp1252ToUnicode(static_cast<uint8_t>(c)));
    }
    return text;
}

std::string utf16ToCp1252(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            // A surrogate pair is one character outside the BMP, which 1252 cannot hold.
            ++i;
            bytes.push_back('?');
            continue;
        }
        bytes.push_back(static_cast<char>(unicodeToCp1252(unit)));
    }
    return bytes;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        appendUtf8(text, cp1252ToUnicode(static_cast<uint8_t>(c)));
    }
    return text;
}

std::string utf8ToCp1252(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
            minimum = 0x10000;
        } else {
            bytes.push_back('?');
            ++i;
            continue;
        }
        bool valid = i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
            } else {
                cp = (cp << 6) | (next & 0x3F);
            }
        }
        if (valid && extra > 0 &&
            (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
            valid = false;
        }
        if (!valid) {
            bytes.push_back('?');
            ++i;
            continue;
        }
        bytes.push_back(static_cast<char>(unicodeToCp1252(cp)));
        i += static_cast<size_t>(extra) + 1;
    }
    return bytes;
}

}  // namespace pv
