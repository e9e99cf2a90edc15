#include <gtest/gtest.h>

#include "manipulation/ByteText.h"

using namespace pv;

namespace {

using Bytes = std::vector<uint8_t>;

TEST(TextToBytes, HexInputBothForms) {
    struct Case {
        const char* text;
        Bytes exchange;
        Bytes trigger;
    };
    const Case cases[] = {
        {"0d 0A", {0x0D, 0x0A}, {0x0D, 0x00}},  // the trigger reads the blank as a digit 0
        {"0D0A", {0x0D, 0x0A}, {0x0D, 0x0A}},
        {"4", {}, {}},
        {"", {}, {}},
        {" 4 ", {}, {0x04}},
        {"414", {0x41}, {0x41}},  // a last odd digit is dropped
        {"3f", {0x3F}, {0x3F}},
        {"zz0G", {0x00, 0x00}, {0x00, 0x00}},  // non-hex characters count as 0
        {"a\tb", {0xA0}, {0xA0}},              // only blanks are removed, other white space counts
        {"\xE4"
         "1",
         {0x01},
         {0x01}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextToBytes(c.text, false), c.exchange) << c.text;
        EXPECT_EQ(TextToBytes(c.text, false, ByteTextForm::Trigger), c.trigger) << c.text;
    }
}

TEST(TextToBytes, CutsAtEightyBytes) {
    std::string hex;
    for (int i = 0; i < 100; ++i) {
        hex += "A5 ";
    }
    EXPECT_EQ(TextToBytes(hex, false), Bytes(80, 0xA5));
    EXPECT_EQ(TextToBytes(std::string(200, 'A'), false, ByteTextForm::Trigger), Bytes(80, 0xAA));
    const std::string ascii(81, 'x');
    EXPECT_EQ(TextToBytes(ascii, true), Bytes(80, 'x'));
    // ASCII input takes every byte as it is, blanks and high bytes included.
    EXPECT_EQ(TextToBytes(std::string("a \0\xFF", 4), true), (Bytes{'a', ' ', 0, 0xFF}));
}

TEST(BytesToText, BothFormsAndTheirRoundTrip) {
    const Bytes bytes = {0x00, 0x0D, 0x3F, 0xA0, 0xFF};
    EXPECT_EQ(BytesToText(bytes, false), "00 0D 3F A0 FF ");
    EXPECT_EQ(BytesToText(bytes, false, ByteTextForm::Trigger), "000D3FA0FF");
    EXPECT_EQ(BytesToText(bytes, true), std::string("\0\x0D?\xA0\xFF", 5));
    EXPECT_EQ(BytesToText(Bytes{}, false), "");

    Bytes all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    }
    for (size_t start = 0; start < 256; start += 80) {
        const Bytes part(all.begin() + static_cast<long>(start),
                         all.begin() + static_cast<long>(std::min<size_t>(start + 80, 256)));
        for (bool ascii : {true, false}) {
            for (ByteTextForm form : {ByteTextForm::Exchange, ByteTextForm::Trigger}) {
                EXPECT_EQ(TextToBytes(BytesToText(part, ascii, form), ascii, form), part);
            }
        }
    }
    EXPECT_EQ(BytesToText(all, false).size(), 80u * 3);
    EXPECT_EQ(BytesToText(all, true).size(), 80u);
}

}  // namespace
