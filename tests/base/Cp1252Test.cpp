#include <gtest/gtest.h>

#include "base/Cp1252.h"

using namespace pv;

namespace {

std::string allBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    return bytes;
}

TEST(Cp1252, EveryByteSurvivesTheWayThroughUnicode) {
    const std::string bytes = allBytes();
    const std::u16string wide = cp1252ToUtf16(bytes);
    ASSERT_EQ(wide.size(), 256u);  // one character per byte
    EXPECT_EQ(utf16ToCp1252(wide), bytes);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(bytes)), bytes);
    // Placeholders are distinct, so no two bytes look the same.
    std::u16string sorted = wide;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(Cp1252, KnownCharactersAndPlaceholders) {
    EXPECT_EQ(cp1252ToUtf8("\x80\x9F\xE4\xDF"
                           "A"),
              "€Ÿäß"
              "A");
    EXPECT_EQ(utf8ToCp1252("Zugriff verweigert – größer € ‰"),
              "Zugriff verweigert \x96 gr\xF6\xDF"
              "er \x80 \x89");
    for (uint8_t b : {0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        const char16_t glyph = cp1252ToUnicode(b);
        EXPECT_GE(glyph, 0x2000) << int(b);  // visible, not a control character
        // Text from other converters carries these bytes as control code points.
        EXPECT_EQ(unicodeToCp1252(b), b);
    }
    EXPECT_EQ(cp1252ToUnicode(0x0A), u'\n');
}

TEST(Cp1252, UnmappableAndBrokenInputBecomesQuestionMarks) {
    struct Case {
        std::string utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {"\xE2\x82\xAC", "\x80"},  // €
        {"日本", "??"},
        {"\xF0\x9F\x98\x80!", "?!"},  // outside the BMP: one character, one "?"
        {"\xC3", "?"},                // truncated sequence
        {"a\xFF"
         "b",
         "a?b"},
        {"\xC0\x80", "??"},       // overlong NUL
        {"\xED\xA0\x80", "???"},  // encoded surrogate
        {"\xC2\x80", "?"},        // U+0080 is not a 1252 character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.bytes) << c.utf8;
    }
    EXPECT_EQ(utf16ToCp1252(u"\U0001F600x\xD800"), "?x?");
}

}  // namespace
