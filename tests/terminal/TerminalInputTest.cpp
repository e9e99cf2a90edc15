#include <gtest/gtest.h>

#include <numeric>

#include "TerminalTestSupport.h"
#include "terminal/TerminalInput.h"
#include "terminal/TerminalSettings.h"

using namespace pv;
using pv::test::keys;
using pv::test::RecordingSink;
using Blocks = std::vector<std::string>;

namespace {

struct Mode {
    bool echo = false;
    bool hex = false;
    int enterMode = 0;
    bool controlKeys = false;
};

struct Typist {
    TerminalSettings settings;
    RecordingSink sink;
    TerminalInput input{settings, sink};

    explicit Typist(Mode mode) {
        settings.termEcho = mode.echo;
        settings.hexInput = mode.hex;
        settings.enterMode = mode.enterMode;
        input.setSendControlKeys(mode.controlKeys);
    }
    std::vector<TerminalKeyOutcome> type(std::string_view text) {
        std::vector<TerminalKeyOutcome> outcomes;
        for (const TerminalKey& key : keys(text)) {
            outcomes.push_back(input.press(key));
        }
        return outcomes;
    }
};

TEST(TerminalInput, KeysSendBlocksAndEcho) {
    const Mode plain;
    const Mode echo{.echo = true};
    const Mode hex{.hex = true};
    const Mode hexEcho{.echo = true, .hex = true};
    const Mode control{.controlKeys = true};
    struct Case {
        const char* typed;
        Mode mode;
        Blocks sent;
        const char* shown;
        bool pending;
    };
    const Case cases[] = {
        {"AB", plain, {"A", "B"}, "", false},
        {"AB<BS>", echo, {"A", "B", "\b"}, "A", false},
        {"41", hexEcho, {"A"}, "41", false},
        {"4f", hex, {"O"}, "", false},
        {"4", hex, {}, "", true},
        // A half-typed hex value: the digit goes, the device gets nothing to delete.
        {"4<BS>", hexEcho, {}, "", false},
        {"4<BS>1", hex, {}, "", true},
        // Non-hex keys are ignored, not read as 0.
        {"4G 1", hexEcho, {"A"}, "41", false},
        // Without a pending digit Backspace takes the echo of a whole byte, and a line end
        // between its two digits as well.
        {"41<BS>", hexEcho, {"A", "\b"}, "", false},
        {"4<CR>1<BS>", hexEcho, {"\r\n", "A", "\b"}, "", false},
        {"AB<CR><BS>", echo, {"A", "B", "\r\n", "\b"}, "AB", false},
        {"<CR>", Mode{.echo = true, .enterMode = 1}, {"\r"}, "\n", false},
        {"<CR>", Mode{.echo = true, .enterMode = 2}, {"\n"}, "\n", false},
        // A control code in a character event is its key.
        {"A\r\b", Mode{.enterMode = 1}, {"A", "\r", "\b"}, "", false},
        {"<TAB><ESC><^C><^a>\x03<UP><DEL><HOME><PGDN><F11>", plain, {}, "", false},
        {"<TAB><ESC><^C><^a>\x03<UP><DEL><HOME><PGDN><F11><^1>",
         control,
         {"\t", "\x1B", "\x03", "\x01", "\x03", "\x1B[A", "\x1B[3~", "\x1B[H", "\x1B[6~"},
         "",
         false},
        {"<^@><^[><^?>", control, {std::string(1, '\0'), "\x1B", "\x7F"}, "", false},
        // Control keys are bytes of their own, not hex digits.
        {"4<^C>1", Mode{.hex = true, .controlKeys = true}, {"\x03", "A"}, "", false},
        {"<LEFT><^C>",
         Mode{.echo = true, .controlKeys = true},
         {"\x1B[D", "\x03"},
         "\u2403",
         false},
    };
    for (const Case& c : cases) {
        Typist run(c.mode);
        run.type(c.typed);
        EXPECT_EQ(run.sink.sent, c.sent) << c.typed;
        EXPECT_EQ(run.sink.shown(), c.shown) << c.typed;
        EXPECT_EQ(run.input.hexPending(), c.pending) << c.typed;
    }
}

TEST(TerminalInput, WhatTheWindowDoesWithAKey) {
    struct Case {
        const char* typed;
        bool controlKeys;
        bool swallowed;
        TerminalKeyAction action;
    };
    const Case cases[] = {
        {"<INS>", false, true, TerminalKeyAction::Paste},
        {"<^V>", false, true, TerminalKeyAction::Paste},
        {"<^v>", true, true, TerminalKeyAction::Paste},
        {"\x16", true, true, TerminalKeyAction::Paste},
        {"<F1>", false, true, TerminalKeyAction::Help},
        {"<^C>", false, true, TerminalKeyAction::None},
        {"<PGUP>", false, false, TerminalKeyAction::None},
        {"<F12>", true, true, TerminalKeyAction::None},
        {"<UP>", false, true, TerminalKeyAction::None},
        {"<^A>", false, true, TerminalKeyAction::None},
    };
    for (const Case& c : cases) {
        Typist run(Mode{.controlKeys = c.controlKeys});
        const TerminalKeyOutcome outcome = run.type(c.typed).at(0);
        EXPECT_EQ(outcome.swallowed, c.swallowed) << c.typed;
        EXPECT_EQ(outcome.action, c.action) << c.typed;
        EXPECT_TRUE(outcome.refusal.empty()) << c.typed;
        EXPECT_TRUE(run.sink.sent.empty()) << c.typed;
    }
}

TEST(TerminalInput, CharactersOutsideCodePage1252AreRefusedNotSentAsQuestionMarks) {
    Typist run(Mode{.echo = true});
    const char32_t typed[] = {U'\u20AC', U'?', U'\u2192', U'\U0001F600', U'\u00E4'};
    std::vector<std::string> refusals;
    for (char32_t c : typed) {
        refusals.push_back(run.input.press({TerminalKeyKind::Character, c}).refusal);
    }
    EXPECT_EQ(run.sink.sent, (Blocks{"\x80", "?", "\xE4"}));
    EXPECT_EQ(run.sink.shown(), "\u20AC?\u00E4");
    EXPECT_EQ(refusals[0], "");
    EXPECT_EQ(refusals[2], "\"\u2192\" (U+2192) was not sent: code page 1252 has no byte for it");
    EXPECT_NE(refusals[3].find("U+1F600"), std::string::npos);

    Typist hex(Mode{.hex = true});
    EXPECT_FALSE(hex.input.press({TerminalKeyKind::Character, U'g'}).refusal.empty());
}

TEST(TerminalInput, PasteIsOneBlockWithTheEnterEnding) {
    struct Case {
        std::u16string text;
        Mode mode;
        Blocks sent;
        const char* shown;
    };
    const Case cases[] = {
        {u"AB\nC", Mode{.echo = true}, {"AB\r\nC"}, "AB\nC"},
        {u"AB\nC", Mode{.echo = true, .enterMode = 1}, {"AB\rC"}, "AB\nC"},
        {u"A\r\nB\rC\u2029", Mode{.enterMode = 2}, {"A\nB\nC\n"}, ""},
        // Hex Input does not apply to pasted text.
        {u"41", Mode{.hex = true}, {"41"}, ""},
        {u"\u00E4\u20AC\t", Mode{}, {"\xE4\x80\t"}, ""},
        {u"", Mode{.echo = true}, {}, ""},
    };
    for (const Case& c : cases) {
        Typist run(c.mode);
        EXPECT_EQ(run.input.paste(c.text), "");
        EXPECT_EQ(run.sink.sent, c.sent) << test::utf8(c.text);
        EXPECT_EQ(run.sink.shown(), c.shown) << test::utf8(c.text);
    }

    Typist refused(Mode{.echo = true});
    const std::string why = refused.input.paste(u"ok \U0001F600 ok");
    EXPECT_NE(why.find("U+1F600"), std::string::npos) << why;
    EXPECT_TRUE(refused.sink.sent.empty());
    EXPECT_EQ(refused.sink.shown(), "");
}

TEST(TerminalInput, LongPasteGoesOutWholeInOrderInBlocksOfAtMost1023) {
    std::u16string text;
    std::string expected;
    for (int i = 0; i < 2500; ++i) {
        const char c = static_cast<char>('a' + i % 26);
        text.push_back(static_cast<char16_t>(c));
        expected.push_back(c);
        if (i % 97 == 0) {
            text.push_back(u'\n');
            expected.append("\r\n");
        }
    }
    Typist run(Mode{.hex = true});
    run.input.paste(text);
    ASSERT_EQ(run.sink.sent.size(), 3u);
    for (const std::string& block : run.sink.sent) {
        EXPECT_LE(block.size(), kMaxPasteBlock);
    }
    EXPECT_EQ(run.sink.sent[0].size(), kMaxPasteBlock);
    EXPECT_EQ(std::accumulate(run.sink.sent.begin(), run.sink.sent.end(), std::string()), expected);
}

// A key text as the window normalises it when left, and what the function key sends and echoes.
TEST(TerminalInput, FunctionKeys) {
    struct Case {
        const char* text;
        bool hex;
        bool enter;
        int enterMode;
        const char* normalised;
        Blocks sent;
        const char* echo;
        bool refused = false;
    };
    const Case cases[] = {
        {"41 42 43", true, false, 0, "41 42 43", {"A", "B", "C"}, "41 42 43"},
        {"414243", true, false, 0, "41 42 43", {"A", "B", "C"}, "414243"},
        {" 41  42 4", true, false, 0, "41 42", {"A", "B"}, " 41  42 4"},
        {"41 42 43", false, false, 0, "41 42 43", {"41 42 43"}, "41 42 43"},
        // The ending goes as its bytes after the hex bytes, not as a byte 00.
        {"41 42 43", true, true, 0, "41 42 43\r\n", {"A", "B", "C", "\r\n"}, "41 42 43\r\n"},
        {"41 42\r\n", true, true, 1, "41 42\r", {"A", "B", "\r"}, "41 42\r\n"},
        // A text as loaded from the file, without its ending, sends the ending all the same;
        // an ending of an earlier mode is replaced by the current one.
        {"ABC", false, true, 0, "ABC\r\n", {"ABC\r\n"}, "ABC\r\n"},
        {"ABC\r\n", false, true, 2, "ABC\n", {"ABC\n"}, "ABC\r\n"},
        {"ABC\r\n", false, false, 0, "ABC\r\n", {"ABC"}, "ABC"},
        {"  ", false, true, 0, "  ", {"  \r\n"}, "  \r\n"},
        {"414", true, false, 0, "41", {"A"}, "414"},
        {"4", true, true, 0, "", {}, ""},
        {"", false, true, 0, "", {}, ""},
        {"4X", true, false, 0, "4X", {}, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(normaliseKeyText(c.text, c.hex, c.enter, c.enterMode), c.normalised);
        TerminalSettings settings;
        settings.fkeyTexts[3] = c.text;  // F5
        settings.fkeyEnter[3] = c.enter;
        settings.fkeyHex = c.hex;
        settings.enterMode = c.enterMode;
        const FunctionKeySend send = functionKeySend(settings, 5);
        EXPECT_EQ(send.blocks, c.sent);
        EXPECT_EQ(send.echo, c.echo);
        EXPECT_EQ(!send.refusal.empty(), c.refused);
        EXPECT_TRUE(functionKeySend(settings, 4).blocks.empty());
    }
    EXPECT_EQ(keyTextProblem("4a 0B\r\n", true), "");
    EXPECT_EQ(keyTextProblem("4X", false), "");
    EXPECT_EQ(keyTextProblem("4X \xE4", true),
              "\"4X \u00E4\" is not hex text: pairs of the digits 0-9 and A-F");

    Typist run(Mode{.echo = true});
    run.settings.fkeyTexts[8] = "go";  // F10
    run.settings.fkeyEnter[8] = true;
    run.settings.fkeyTexts[0] = "4X";  // F2, refused in hex
    run.type("<F10>");
    run.settings.fkeyHex = true;
    EXPECT_EQ(run.type("<F2>").at(0).refusal.rfind("F2: ", 0), 0u);
    EXPECT_EQ(run.sink.sent, (Blocks{"go\r\n"}));
    EXPECT_EQ(run.sink.shown(), "go\n");
}

}  // namespace
