#include "app/WindowLayout.h"

namespace pv {

WindowLayout chooseWindowLayout(std::optional<int> screenHeight) {
    const int height = screenHeight.value_or(WindowLayout::kAssumedScreenHeight);
    WindowLayout layout;
    layout.smallLayout = height < WindowLayout::kLargeFromHeight;
    layout.visibleLines =
        layout.smallLayout ? WindowLayout::kSmallVisibleLines : WindowLayout::kLargeVisibleLines;
    return layout;
}

}  // namespace pv
