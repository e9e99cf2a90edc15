// The terminal's input rules. The first byte chooses the settings. The rest is, once, what a
// terminal emulator writes to standard input, decoded in reads of any size and typed into the
// rules: every block sent is non-empty, none is longer than a paste block, and the decoder's
// keys do not depend on where the reads were cut. Then the same bytes, each taken as one of a
// set of characters (line breaks, surrogates, characters inside and outside code page 1252) and
// repeated to make a long paste: either the paste is refused and nothing at all is sent or
// echoed, or its bytes arrive whole and in order in full blocks of at most 1023 bytes and one
// last block.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/Cp1252.h"
#include "terminal/TerminalInput.h"
#include "terminal/TerminalKeyDecoder.h"
#include "terminal/TerminalSettings.h"

using namespace pv;

namespace {

struct Sink : TerminalSink {
    std::vector<std::string> sent;
    std::string echoed;
    TerminalScreen screen{{.maxLines = 50, .maxChars = 2000, .maxLineLength = 80}};

    void sendBlock(std::string_view bytes) override {
        PV_FUZZ_CHECK(!bytes.empty());
        PV_FUZZ_CHECK(bytes.size() <= kMaxPasteBlock);
        sent.emplace_back(bytes);
    }
    void echo(std::string_view bytes) override {
        echoed.append(bytes);
        screen.show(bytes);
    }
    ShownRemoval removeLastShown() override { return screen.removeLast(); }
};

constexpr char16_t kPasteChars[] = {
    u'a',      u'Z',      u' ', u'\t', u'\r',   u'\n',     u'\u2029', u'\u00E4',
    u'\u20AC', u'\u0192', u'?', u'\0', u'\x7F', u'\u2192', u'\xD83D', u'\xDE00',
};

std::vector<TerminalKey> decode(std::string_view bytes, pv::fuzz::Pieces* pieces) {
    TerminalKeyDecoder decoder;
    std::vector<TerminalKey> keys;
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = pieces ? std::min(pieces->next(64), bytes.size() - at) : bytes.size();
        decoder.feed(bytes.substr(at, n), keys);
        at += n;
    }
    decoder.flush(keys);
    return keys;
}

std::string expectedPaste(std::u16string_view text, int enterMode, bool* refused) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n' || c == u'\u2029') {
            i += c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
            bytes.append(enterEnding(enterMode));
        } else if (c == u'?' || unicodeToCp1252(c) != '?') {
            bytes.push_back(static_cast<char>(unicodeToCp1252(c)));
        } else {
            *refused = true;
        }
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    TerminalSettings settings;
    const uint8_t choice = data[0];
    settings.termEcho = (choice & 1) != 0;
    settings.hexInput = (choice & 2) != 0;
    settings.fkeyHex = (choice & 4) != 0;
    settings.enterMode = (choice >> 3) % 3;
    settings.fkeyTexts = {"41 42", "4X", "", "hello", "0d0a", "a b c d", "\r\n", "1", "ok\r\n"};
    settings.fkeyEnter = {true, false, true, false, true, true, false, true, true};
    const std::string_view typed(reinterpret_cast<const char*>(data + 1), size - 1);

    pv::fuzz::Pieces pieces(data, size);
    const std::vector<TerminalKey> keys = decode(typed, &pieces);
    PV_FUZZ_CHECK(keys == decode(typed, nullptr));
    Sink sink;
    TerminalInput input(settings, sink);
    input.setSendControlKeys((choice & 0x80) != 0);
    for (const TerminalKey& key : keys) {
        input.press(key);
    }

    std::u16string text;
    for (int copy = 0; copy < 3; ++copy) {
        for (char c : typed) {
            text.push_back(kPasteChars[static_cast<uint8_t>(c) % std::size(kPasteChars)]);
        }
    }
    bool refused = false;
    const std::string expected = expectedPaste(text, settings.enterMode, &refused);
    Sink pasted;
    TerminalInput paster(settings, pasted);
    const std::string why = paster.paste(text);
    PV_FUZZ_CHECK(why.empty() == !refused);
    if (refused) {
        PV_FUZZ_CHECK(pasted.sent.empty() && pasted.echoed.empty());
        return 0;
    }
    std::string joined;
    for (size_t i = 0; i < pasted.sent.size(); ++i) {
        PV_FUZZ_CHECK(i + 1 == pasted.sent.size() || pasted.sent[i].size() == kMaxPasteBlock);
        joined += pasted.sent[i];
    }
    PV_FUZZ_CHECK(joined == expected);
    PV_FUZZ_CHECK(pasted.echoed.empty() || settings.termEcho);
    return 0;
}
