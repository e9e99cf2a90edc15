#include "datapath/PaneModel.h"

#include <algorithm>
#include <cstring>

namespace pv {

namespace {

// Trimmed text and runs are dropped from the front only once they are a large share, so a trim
// costs a pointer move and the storage is reused instead of reallocated.
constexpr size_t kCompactText = 64 * 1024;
constexpr size_t kCompactRuns = 1024;

}  // namespace

void PaneModel::append(std::string_view text, PaneFormat format) {
    if (text.empty()) {
        return;
    }
    const int64_t start = endPosition();
    if (runHead_ == runs_.size() || runs_.back().format != format) {
        runs_.push_back({start, format});
    }
    text_.append(text);
    // memchr jumps over a row at a time; a byte-wise count costs more than the copy.
    for (const char *p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) !=
         nullptr;
         ++p) {
        ++breaks_;
    }
    changedFrom_ = std::min(changedFrom_, start);
}

int PaneModel::removeLeadingRows(int rows) {
    size_t pos = head_;
    int found = 0;
    while (found < rows) {
        const void* hit = std::memchr(text_.data() + pos, '\n', text_.size() - pos);
        if (hit == nullptr) {
            break;
        }
        pos = static_cast<size_t>(static_cast<const char*>(hit) - text_.data()) + 1;
        ++found;
    }
    const auto removed = static_cast<int>(pos - head_);
    head_ = pos;
    first_ += removed;
    firstRow_ += found;
    breaks_ -= found;
    if (length() == 0) {
        runHead_ = runs_.size();
    }
    while (runHead_ + 1 < runs_.size() && runs_[runHead_ + 1].start <= first_) {
        ++runHead_;
    }
    compact();
    return removed;
}

void PaneModel::compact() {
    if (head_ > kCompactText && head_ > text_.size() / 2) {
        text_.erase(0, head_);
        head_ = 0;
    }
    if (runHead_ > kCompactRuns && runHead_ > runs_.size() / 2) {
        runs_.erase(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(runHead_));
        runHead_ = 0;
    }
}

size_t PaneModel::runAt(int64_t pos) const {
    const auto begin = runs_.begin() + static_cast<std::ptrdiff_t>(runHead_);
    const auto it = std::upper_bound(begin, runs_.end(), pos,
                                     [](int64_t p, const Run& run) { return p < run.start; });
    return it == begin ? runHead_ : static_cast<size_t>(it - runs_.begin()) - 1;
}

void PaneModel::setFormat(int start, int end, PaneFormat format) {
    const int64_t a = first_ + std::max(start, 0);
    const int64_t b = first_ + std::min(end, length());
    if (a >= b) {
        return;
    }
    const bool tail = b < endPosition();
    const PaneFormat after = tail ? runs_[runAt(b)].format : format;
    size_t at = runAt(a);
    // Runs that begin inside (a, b] are covered; one beginning at b is replaced below.
    auto from = runs_.begin() + static_cast<std::ptrdiff_t>(at) + 1;
    auto to = from;
    while (to != runs_.end() && to->start <= b) {
        ++to;
    }
    runs_.erase(from, to);
    if (runs_[at].start == a) {
        runs_[at].format = format;
    } else {
        runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(++at), {a, format});
    }
    if (tail) {
        runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(at) + 1, {b, after});
    }
    // Neighbours of the same format become one run again.
    const size_t low = std::max(runHead_ + 1, at > 0 ? at : 1);
    for (size_t k = std::min(at + 2, runs_.size() - 1); k >= low && k < runs_.size(); --k) {
        if (runs_[k].format == runs_[k - 1].format) {
            runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }
    changedFrom_ = std::min(changedFrom_, a);
}

void PaneModel::clear() {
    first_ = endPosition();
    text_.clear();
    head_ = 0;
    runs_.clear();
    runHead_ = 0;
    breaks_ = 0;
    ++generation_;
    changedFrom_ = kUnchanged;
}

std::vector<PaneSpan> PaneModel::spans(int64_t from) const {
    std::vector<PaneSpan> out;
    from = std::max(from, first_);
    const int64_t endPos = endPosition();
    if (from >= endPos || runHead_ == runs_.size()) {
        return out;
    }
    for (size_t k = runAt(from); k < runs_.size(); ++k) {
        const int64_t s = std::max(runs_[k].start, from);
        const int64_t e = k + 1 < runs_.size() ? runs_[k + 1].start : endPos;
        if (e > s) {
            out.push_back({s, e, runs_[k].format});
        }
    }
    return out;
}

std::string_view PaneModel::textFrom(int64_t from) const {
    const int64_t offset = std::clamp<int64_t>(from - first_, 0, length());
    return text().substr(static_cast<size_t>(offset));
}

}  // namespace pv
