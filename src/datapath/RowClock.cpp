#include "datapath/RowClock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace pv {

namespace {

constexpr int64_t kUsPerMs = 1000;
constexpr int64_t kUsPerSecond = 1000000;

void appendPadded(std::string& out, const char* text, size_t width) {
    const size_t at = out.size();
    out.append(text);
    if (out.size() - at < width) {
        out.append(width - (out.size() - at), ' ');
    }
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
    appendTime(out, at);
    out.push_back(' ');
    appendPadded(out, responseUs >= 0 ? responseText(responseUs).c_str() : "", kResponseWidth);
    out.push_back(' ');
    if (!rowsStarted_) {
        rowsStarted_ = true;
        firstRowUs_ = at.steadyUs;
        previousRowUs_ = at.steadyUs;
    }
    previousRowUs_ = at.steadyUs;
}

void RowClock::appendTime(std::string& out, const Stamp& at) {
    char text[32];
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
            std::snprintf(text, sizeof text, "%s.%03d", cachedClock_,
                          static_cast<int>(at.wallUs % kUsPerSecond / kUsPerMs));
            break;
        }
        case TimeColumn::SinceStart: {
            const int64_t us = rowsStarted_ ? at.steadyUs - firstRowUs_ : 0;
            std::snprintf(text, sizeof text, "%12.3f", static_cast<double>(us) / kUsPerSecond);
            break;
        }
        case TimeColumn::SincePrevious: {
            const int64_t us = rowsStarted_ ? at.steadyUs - previousRowUs_ : 0;
            std::snprintf(text, sizeof text, "+%11.3f", static_cast<double>(us) / kUsPerSecond);
            break;
        }
        case TimeColumn::Off:
            return;
    }
    appendPadded(out, text, kTimeWidth);
}

void RowClock::restart() {
    rowsStarted_ = false;
}

std::string RowClock::responseText(int64_t us) {
    char text[32];
    if (us < 10 * kUsPerSecond) {
        std::snprintf(text, sizeof text, "+%.1f ms", static_cast<double>(us) / kUsPerMs);
    } else {
        std::snprintf(text, sizeof text, "+%.2f s", static_cast<double>(us) / kUsPerSecond);
    }
    return text;
}

}  // namespace pv
