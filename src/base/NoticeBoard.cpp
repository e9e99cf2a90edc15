#include "base/NoticeBoard.h"

#include <algorithm>

namespace pv {

bool NoticeBoard::post(const std::string& text) {
    const auto same = std::find_if(entries_.begin(), entries_.end(),
                                   [&](const Entry& entry) { return entry.text == text; });
    if (same != entries_.end()) {
        ++same->count;
        return false;
    }
    if (entries_.size() == kMaxEntries) {
        entries_.erase(entries_.begin());
    }
    entries_.push_back({text, 1});
    return true;
}

std::string NoticeBoard::shown(const Entry& entry) {
    if (entry.count == 1) {
        return entry.text;
    }
    return entry.text + " (" + std::to_string(entry.count) + " times)";
}

}  // namespace pv
