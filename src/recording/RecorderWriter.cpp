#include "recording/RecorderWriter.h"

#include <algorithm>

#include "recording/RecorderFile.h"

namespace pv {

RecorderWriter::RecorderWriter(Prompt* prompt, MonotonicClock& clock)
    : file_(prompt), clock_(&clock) {}

bool RecorderWriter::Start(const std::string& path) {
    Stop();
    path_ = path;
    file_.setShowMessages(true);
    if (!file_.Open(path, kCreateFlags)) {
        return false;
    }
    file_.setShowMessages(false);
    if (!file_.isRegularFile()) {
        file_.Close();
        return false;
    }
    active_ = true;
    started_ = false;
    bytesRecorded_ = 0;
    return true;
}

void RecorderWriter::Stop() {
    if (!active_) {
        return;
    }
    active_ = false;
    file_.Close();
}

uint32_t RecorderWriter::nextDelayMs() {
    // Pauses are differences of whole milliseconds of the clock, so they add up to the span
    // of the recording without rounding drift.
    const int64_t us = clock_->nowUs();
    const int64_t nowMs = us / 1000 - (us % 1000 < 0 ? 1 : 0);
    if (!started_) {
        started_ = true;
        previousMs_ = nowMs;
        return 0;
    }
    const int64_t delay = std::clamp<int64_t>(nowMs - previousMs_, 0, kMaxRecordDelayMs);
    previousMs_ = nowMs;
    return static_cast<uint32_t>(delay);
}

bool RecorderWriter::RecordBlock(const uint8_t* bytes, size_t count) {
    if (!active_ || bytes == nullptr || count == 0) {
        return true;
    }
    records_.resize(count * kRecordSize);
    const uint32_t delay = nextDelayMs();
    uint8_t* out = records_.data();
    out[0] = static_cast<uint8_t>(delay >> 24);
    out[1] = static_cast<uint8_t>(delay >> 16);
    out[2] = static_cast<uint8_t>(delay >> 8);
    out[3] = static_cast<uint8_t>(delay);
    out[4] = bytes[0];
    for (size_t i = 1; i < count; ++i) {
        out += kRecordSize;
        out[0] = out[1] = out[2] = out[3] = 0;
        out[4] = bytes[i];
    }
    if (!file_.Write(records_.data(), records_.size())) {
        Stop();
        return false;
    }
    bytesRecorded_ += count;
    return true;
}

}  // namespace pv
