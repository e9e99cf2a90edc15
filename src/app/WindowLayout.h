#pragma once

#include <optional>

namespace pv {

// The main window comes in two layouts: a large one, and a small one for screens under 800
// pixels high, whose panes show fewer rows so that the whole window still fits.
struct WindowLayout {
    static constexpr int kLargeFromHeight = 800;
    // Assumed when no screen can be read; it selects the large layout.
    static constexpr int kAssumedScreenHeight = 1280;
    static constexpr int kLargeVisibleLines = 23;
    static constexpr int kSmallVisibleLines = 11;

    bool smallLayout = false;
    int visibleLines = kLargeVisibleLines;
};

// The layout for a screen of this height in pixels; nothing known means kAssumedScreenHeight.
WindowLayout chooseWindowLayout(std::optional<int> screenHeight);

}  // namespace pv
