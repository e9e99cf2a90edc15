#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "terminal/TerminalScreen.h"

namespace pv::test {

// A view that follows the terminal's text the way the window does at a frame: take out what
// changed at the end, add the new text, and drop what the model trimmed at the top. Shared by
// the tests and the fuzzer.
struct ScreenMirror {
    std::u16string text;
    int64_t start = 0;
    uint64_t generation = 0;

    void sync(TerminalScreen& screen) {
        const int64_t shownEnd = start + static_cast<int64_t>(text.size());
        int64_t from = std::min(screen.changedFrom(), shownEnd);
        if (screen.generation() != generation || from < screen.firstPosition()) {
            text.clear();
            start = screen.firstPosition();
            from = start;
            generation = screen.generation();
        }
        text.resize(static_cast<size_t>(from - start));
        text.append(screen.textFrom(from));
        text.erase(0, static_cast<size_t>(screen.firstPosition() - start));
        start = screen.firstPosition();
        screen.markShown();
    }
};

}  // namespace pv::test
