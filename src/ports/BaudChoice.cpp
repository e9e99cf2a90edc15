#include "ports/BaudChoice.h"

#include <charconv>
#include <string_view>

namespace pv {

namespace {

constexpr int kFallbackBaud = 9600;

bool inTypedRange(int baud) {
    return baud >= 1 && baud <= kMaxTypedBaud;
}

}  // namespace

int baudListIndexByPrefix(int baud) {
    const std::string text = std::to_string(baud);
    for (size_t i = 1; i < kBaudListEntries.size(); ++i) {
        if (std::string_view(kBaudListEntries[i]).substr(0, text.size()) == text) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

int baudListIndexExact(int baud) {
    const std::string text = std::to_string(baud);
    for (size_t i = 1; i < kBaudListEntries.size(); ++i) {
        if (text == kBaudListEntries[i]) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

int readBaudEdit(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos) {
        return 0;
    }
    int value = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end ? value : 0;
}

void showBaud(BaudControls& controls, int baud) {
    controls.editText = std::to_string(baud);
    controls.listIndex = baudListIndexByPrefix(baud);
}

void getIt(BaudControls& controls, int& baud) {
    const int typed = readBaudEdit(controls.editText);
    if (inTypedRange(typed)) {
        controls.editText = std::to_string(typed);
        controls.listIndex = baudListIndexExact(typed);
        baud = typed;
    } else {
        showBaud(controls, baud);
    }
}

void baudListSelected(BaudControls& controls, int index, int& baud) {
    if (index < 0 || index >= static_cast<int>(kBaudListEntries.size())) {
        return;
    }
    controls.listIndex = index;
    if (index > 0) {
        baud = readBaudEdit(kBaudListEntries[static_cast<size_t>(index)]);
        controls.editText = std::to_string(baud);
    } else if (!inTypedRange(readBaudEdit(controls.editText))) {
        baud = kFallbackBaud;
        controls.editText = std::to_string(kFallbackBaud);
    }
}

}  // namespace pv
