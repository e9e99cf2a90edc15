#include <gtest/gtest.h>

#include <cstdio>

#include "terminal/TerminalKeyDecoder.h"

using namespace pv;

namespace {

std::string describe(const std::vector<TerminalKey>& keys) {
    static const char* const names[] = {"",       "<BS>",  "<CR>",   "<TAB>",   "<ESC>",
                                        "<INS>",  "<DEL>", "<HOME>", "<END>",   "<PGUP>",
                                        "<PGDN>", "<UP>",  "<DOWN>", "<RIGHT>", "<LEFT>"};
    std::string out;
    for (const TerminalKey& key : keys) {
        if (key.kind == TerminalKeyKind::Function) {
            out += "<F" + std::to_string(key.function) + ">";
        } else if (key.kind != TerminalKeyKind::Character) {
            out += names[static_cast<int>(key.kind)];
        } else if (key.ctrl) {
            out += "<^" + std::string(1, static_cast<char>(key.character)) + ">";
        } else if (key.character < 0x80) {
            out.push_back(static_cast<char>(key.character));
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(key.character));
            out += code;
        }
    }
    return out;
}

TEST(TerminalKeyDecoder, BytesOfATerminalBecomeKeys) {
    struct Case {
        std::vector<std::string> reads;
        const char* keys;
        bool flushed;  // keys after flush() at the end
    };
    const Case cases[] = {
        {{"ab\r\n", "c\n\n"}, "ab<CR>c<CR><CR>", false},
        {{"a\r", "\nb"}, "a<CR>b", false},
        {{"\x7F\b\t"}, "<BS><BS><TAB>", false},
        {{std::string("\x03\x01\x1A\x1C\x1F\0", 6)}, "<^C><^A><^Z><^\\><^_><^@>", false},
        {{"\x1B[A\x1BOB\x1B[1;5C\x1B[H\x1B[4~\x1B[2~\x1B[3~\x1B[5~\x1B[6~"},
         "<UP><DOWN><RIGHT><HOME><END><INS><DEL><PGUP><PGDN>",
         false},
        {{"\x1BOP\x1B[[B\x1B[15~\x1B[21~\x1B[24~\x1B[1;2Q"}, "<F1><F2><F5><F10><F12><F2>", false},
        {{"\x1B", "[", "1", "5~"}, "<F5>", false},
        {{"\x1B"}, "", false},
        {{"\x1B"}, "<ESC>", true},
        {{"\x1B["}, "<ESC>[", true},
        {{"\x1Bx\x1B\x1B[B"}, "<ESC>x<ESC><DOWN>", false},
        // Unknown sequences go whole; a sequence cut by a byte that cannot be in one goes up to it.
        {{"\x1B[200~a\x1B[?1;2cb\x1B[12\x01"}, "ab<^A>", false},
        // A sequence too long for a key is dropped at its limit, wherever the reads were cut.
        {{"\x1B[1;1;1;1;1;1;1;1;1~"}, "1;1~", false},
        {{"\x1B[1;1;1;1;1;1;1;", "1;1~"}, "1;1~", false},
        {{"\xC3\xA4\xE2\x82\xAC"}, "<U+00E4><U+20AC>", false},
        {{"\xE2\x82", "\xAC"}, "<U+20AC>", false},
        {{"\xE2\x82"}, "", false},
        {{"\xFF\xC0\x80\xED\xA0\x80"}, "<U+FFFD><U+FFFD><U+FFFD><U+FFFD><U+FFFD><U+FFFD>", false},
    };
    for (const Case& c : cases) {
        TerminalKeyDecoder decoder;
        std::vector<TerminalKey> keys;
        for (const std::string& read : c.reads) {
            decoder.feed(read, keys);
        }
        if (c.flushed) {
            decoder.flush(keys);
            EXPECT_FALSE(decoder.waiting());
        }
        EXPECT_EQ(describe(keys), c.keys) << c.reads[0];
    }
}

}  // namespace
