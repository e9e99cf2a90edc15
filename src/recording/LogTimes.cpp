#include "recording/LogTimes.h"

#include <algorithm>
#include <ctime>

namespace pv {

namespace {

constexpr int64_t kUsPerMs = 1000;

// Appends ms as seconds with three decimals ("12.345"), right-aligned in width.
void appendSeconds(std::string& out, int64_t ms, size_t width) {
    char text[24];
    char* const end = text + sizeof text;
    char* p = end;
    auto rest = static_cast<uint64_t>(std::max<int64_t>(0, ms));
    for (int i = 0; i < 3; ++i) {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    const auto length = static_cast<size_t>(end - p);
    if (length < width) {
        out.append(width - length, ' ');
    }
    out.append(p, length);
}

}  // namespace

void LogTimes::restart() {
    anyBlock_ = false;
    blockResponseUs_ = -1;
    rowBegun_ = false;
    rowsStarted_ = false;
}

bool LogTimes::beginBlock(LogClock& clock, bool sideA) {
    const int64_t now = clock.tickUs();
    blockResponseUs_ = anyBlock_ && sideA != lastSideA_ ? std::max<int64_t>(0, now - blockUs_) : -1;
    blockUs_ = now;
    if (column_ == TimeColumn::Clock) {
        blockLocal_ = clock.localTime();
    }
    anyBlock_ = true;
    lastSideA_ = sideA;
    return blockResponseUs_ >= 0;
}

void LogTimes::beginRow() {
    rowBegun_ = true;
    rowUs_ = blockUs_;
    rowLocal_ = blockLocal_;
    rowResponseUs_ = blockResponseUs_;
    blockResponseUs_ = -1;
}

void LogTimes::appendTime(std::string& out, bool padded) {
    const size_t start = out.size();
    switch (column_) {
        case TimeColumn::Clock: {
            if (rowLocal_.seconds != cachedSecond_) {
                const auto seconds = static_cast<std::time_t>(rowLocal_.seconds);
                std::tm broken{};
                gmtime_r(&seconds, &broken);
                std::strftime(cachedClock_, sizeof cachedClock_, "%H:%M:%S", &broken);
                cachedSecond_ = rowLocal_.seconds;
            }
            out.append(cachedClock_, 8);
            const int ms = std::clamp(rowLocal_.milliseconds, 0, 999);
            const char millis[] = {'.', static_cast<char>('0' + ms / 100),
                                   static_cast<char>('0' + ms / 10 % 10),
                                   static_cast<char>('0' + ms % 10)};
            out.append(millis, sizeof millis);
            break;
        }
        case TimeColumn::SinceStart:
            appendSeconds(out, rowsStarted_ ? (rowUs_ - firstRowUs_) / kUsPerMs : 0,
                          padded ? RowClock::kTimeWidth : 0);
            break;
        case TimeColumn::SincePrevious:
            out.push_back('+');
            appendSeconds(out, rowsStarted_ ? (rowUs_ - previousRowUs_) / kUsPerMs : 0,
                          padded ? RowClock::kTimeWidth - 1 : 0);
            break;
        case TimeColumn::Off:
            break;
    }
    if (!rowsStarted_) {
        rowsStarted_ = true;
        firstRowUs_ = rowUs_;
    }
    previousRowUs_ = rowUs_;
    if (padded && out.size() - start < RowClock::kTimeWidth) {
        out.append(RowClock::kTimeWidth - (out.size() - start), ' ');
    }
}

void LogTimes::appendPrefix(std::string& out) {
    if (!rowBegun_) {
        out.append(RowClock::kPrefixWidth, ' ');
        return;
    }
    appendTime(out, true);
    out.push_back(' ');
    const size_t responseAt = out.size();
    if (rowResponseUs_ >= 0) {
        RowClock::appendResponse(out, rowResponseUs_);
    }
    const size_t length = out.size() - responseAt;
    out.append(RowClock::kResponseWidth + 1 - std::min(RowClock::kResponseWidth, length), ' ');
    rowBegun_ = false;
}

void LogTimes::appendFields(std::string& out) {
    out.push_back('\t');
    appendTime(out, false);
    if (rowResponseUs_ >= 0) {
        out.push_back('\t');
        RowClock::appendResponse(out, rowResponseUs_);
    }
    rowBegun_ = false;
}

}  // namespace pv
