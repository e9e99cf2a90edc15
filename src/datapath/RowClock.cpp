#include "datapath/RowClock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace pv {

namespace {

constexpr int64_t kUsPerMs = 1000;
constexpr int64_t kUsPerSecond = 1000000;

// Appends value / 10^decimals with that many digits after the point, right-aligned in width
// (filled with `fill`); no allocation, no locale.
void appendDecimal(std::string& out, int64_t value, int decimals, size_t width, char fill = ' ') {
    char text[32];
    char* end = text + sizeof text;
    char* p = end;
    const bool negative = value < 0;
    uint64_t rest = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    for (int i = 0; i < decimals; ++i) {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    if (decimals > 0) {
        *--p = '.';
    }
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative) {
        *--p = '-';
    }
    const auto length = static_cast<size_t>(end - p);
    if (length < width) {
        out.append(width - length, fill);
    }
    out.append(p, length);
}

}  // namespace

Stamp systemStamp() {
    using namespace std::chrono;
    return {duration_cast<microseconds>(system_clock::now().time_since_epoch()).count(),
            duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count()};
}

RowClock::BlockStart RowClock::beginBlock(bool sideA, const Stamp& at) {
    BlockStart start;
    if (anyByte_) {
        const int64_t gap = std::max<int64_t>(0, at.steadyUs - lastByteUs_);
        if (sideA != lastSideA_) {
            start.responseUs = gap;
            responses_.lastUs = gap;
            responses_.minUs = responses_.count == 0 ? gap : std::min(responses_.minUs, gap);
            responses_.maxUs = responses_.count == 0 ? gap : std::max(responses_.maxUs, gap);
            ++responses_.count;
            start.newRow = timeColumn();
        }
        if (options_.pauseRowMs > 0 && gap >= options_.pauseRowMs * kUsPerMs) {
            start.newRow = true;
        }
    }
    anyByte_ = true;
    lastSideA_ = sideA;
    lastByteUs_ = at.steadyUs;
    return start;
}

void RowClock::appendPrefix(std::string& out, const Stamp& at, int64_t responseUs) {
    if (responseUs < 0 && cacheValid_ && cacheUs_ == at.steadyUs) {
        out += cache_;
        return;
    }
    const size_t start = out.size();
    // Counted from the row before, a further row of the same time reads "+0.000", not this.
    const bool repeats = options_.column != TimeColumn::SincePrevious ||
                         (rowsStarted_ && previousRowUs_ == at.steadyUs);
    appendTime(out, at);
    out.push_back(' ');
    const size_t responseAt = out.size();
    if (responseUs >= 0) {
        appendResponse(out, responseUs);
    }
    out.append(kResponseWidth + 1 - std::min(kResponseWidth, out.size() - responseAt), ' ');
    if (!rowsStarted_) {
        rowsStarted_ = true;
        firstRowUs_ = at.steadyUs;
    }
    previousRowUs_ = at.steadyUs;
    cacheValid_ = responseUs < 0 && repeats;
    if (cacheValid_) {
        cache_.assign(out, start);
        cacheUs_ = at.steadyUs;
    }
}

void RowClock::appendTime(std::string& out, const Stamp& at) {
    const size_t start = out.size();
    switch (options_.column) {
        case TimeColumn::Clock: {
            const int64_t second = at.wallUs / kUsPerSecond;
            if (second != cachedSecond_) {
                const std::time_t t = static_cast<std::time_t>(second);
                std::tm local{};
                localtime_r(&t, &local);
                std::strftime(cachedClock_, sizeof cachedClock_, "%H:%M:%S", &local);
                cachedSecond_ = second;
            }
            out.append(cachedClock_, 8);
            out.push_back('.');
            appendDecimal(out, at.wallUs % kUsPerSecond / kUsPerMs, 0, 3, '0');
            break;
        }
        case TimeColumn::SinceStart:
            appendDecimal(out, (rowsStarted_ ? at.steadyUs - firstRowUs_ : 0) / kUsPerMs, 3,
                          kTimeWidth);
            break;
        case TimeColumn::SincePrevious:
            out.push_back('+');
            appendDecimal(out, (rowsStarted_ ? at.steadyUs - previousRowUs_ : 0) / kUsPerMs, 3,
                          kTimeWidth - 1);
            break;
        case TimeColumn::Off:
            return;
    }
    if (out.size() - start < kTimeWidth) {
        out.append(kTimeWidth - (out.size() - start), ' ');
    }
}

void RowClock::restart() {
    rowsStarted_ = false;
    cacheValid_ = false;
}

void RowClock::appendResponse(std::string& out, int64_t us) {
    out.push_back('+');
    if (us < 10 * kUsPerSecond) {
        appendDecimal(out, (us + 50) / 100, 1, 0);
        out.append(" ms");
    } else {
        appendDecimal(out, (us + 5000) / 10000, 2, 0);
        out.append(" s");
    }
}

std::string RowClock::responseText(int64_t us) {
    std::string text;
    appendResponse(text, us);
    return text;
}

}  // namespace pv
