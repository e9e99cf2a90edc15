// The terminal's text area fed a device's stream in reads of any size. Without trimming, the text
// must not depend on where the reads were cut (escape sequences, CR LF and UTF-16 glyphs all
// survive a cut). With small limits, every line, the line count and the characters held stay
// within them after every read, and a view that follows the changes frame by frame holds exactly
// the model's text.
#include <algorithm>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "support/ScreenMirror.h"
#include "terminal/TerminalScreen.h"

using namespace pv;

namespace {

constexpr TerminalScreenLimits kSmall{.maxLines = 12, .maxChars = 200, .maxLineLength = 24};
constexpr TerminalScreenLimits kRoomy{
    .maxLines = 1 << 20, .maxChars = 1 << 24, .maxLineLength = 1 << 20};

void checkLimits(const TerminalScreen& screen) {
    const std::u16string_view text = screen.text();
    PV_FUZZ_CHECK(screen.length() <= kSmall.maxChars);
    PV_FUZZ_CHECK(screen.lineCount() <= kSmall.maxLines);
    PV_FUZZ_CHECK(screen.lineCount() == 1 + std::count(text.begin(), text.end(), u'\n'));
    size_t lineStart = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'\n') {
            PV_FUZZ_CHECK(i - lineStart <= static_cast<size_t>(kSmall.maxLineLength));
            lineStart = i + 1;
        }
    }
    PV_FUZZ_CHECK(text.find(u'\x1B') == std::u16string_view::npos);
    PV_FUZZ_CHECK(text.find(u'\r') == std::u16string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    TerminalScreen whole(kRoomy);
    whole.show(stream);

    TerminalScreen split(kRoomy);
    TerminalScreen small(kSmall);
    pv::test::ScreenMirror view;
    pv::fuzz::Pieces pieces(data, size);
    for (size_t at = 0; at < size;) {
        const size_t n = std::min(pieces.next(512), size - at);
        split.show(stream.substr(at, n));
        small.show(stream.substr(at, n));
        checkLimits(small);
        if (pieces.next(4) == 1) {
            view.sync(small);
            PV_FUZZ_CHECK(view.text == small.text());
        }
        at += n;
    }
    PV_FUZZ_CHECK(split.text() == whole.text());
    PV_FUZZ_CHECK(split.hiddenBytes() == whole.hiddenBytes());
    view.sync(small);
    PV_FUZZ_CHECK(view.text == small.text());
    return 0;
}
