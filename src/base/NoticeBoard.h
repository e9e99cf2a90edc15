#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pv {

// Notices the user has not dismissed yet. A text that is already on the board is not added
// again; its count grows, so a fault that repeats with every block is still one line.
class NoticeBoard {
  public:
    struct Entry {
        std::string text;
        long long count = 1;
    };
    // More distinct notices than this push out the oldest.
    static constexpr size_t kMaxEntries = 32;

    // True when the text was not on the board yet.
    bool post(const std::string& text);
    void clear() { entries_.clear(); }
    const std::vector<Entry>& entries() const { return entries_; }
    // The text, with "(N times)" behind it when it came more than once.
    static std::string shown(const Entry& entry);

  private:
    std::vector<Entry> entries_;
};

}  // namespace pv
