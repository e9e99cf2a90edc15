#include "recording/PlaybackScheduler.h"

#include <cmath>
#include <limits>

#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kTextProgress = "%llu of %llu bytes sent";
constexpr const char* kTextProgressOpenEnded = "%llu bytes sent";

}  // namespace

PlaybackScheduler::PlaybackScheduler(RecorderReader& reader, PlaybackOptions options,
                                     MonotonicClock& clock)
    : reader_(reader), options_(options), clock_(clock) {
    if (!PlaybackOptions::validSpeed(options_.speed)) {
        options_.speed = 1.0;
    }
    const uint64_t records = reader_.records();
    if (options_.passes != 0) {
        totalBytes_ = records > std::numeric_limits<uint64_t>::max() / options_.passes
                          ? std::numeric_limits<uint64_t>::max()
                          : records * options_.passes;
    }
}

void PlaybackScheduler::start() {
    if (state_ != PlaybackState::idle) {
        return;
    }
    state_ = PlaybackState::running;
    startUs_ = clock_.nowUs();
    reader_.rewind();
    readNext();
}

bool PlaybackScheduler::readNext() {
    if (reader_.position() >= reader_.records() && !reader_.failed()) {
        if (options_.passes != 0 && pass_ >= options_.passes) {
            endWith(PlaybackState::completed);
            return false;
        }
        ++pass_;
        reader_.rewind();
    }
    if (!reader_.next(next_)) {
        endWith(PlaybackState::failed, kTextPlaybackReadFailed);
        return false;
    }
    elapsedMs_ += next_.delayMs;
    nextDeadlineUs_ =
        startUs_ + std::llround(static_cast<double>(elapsedMs_) * 1000.0 / options_.speed);
    return true;
}

const std::vector<uint8_t>& PlaybackScheduler::takeDue() {
    due_.clear();
    if (!running()) {
        return due_;
    }
    const int64_t now = clock_.nowUs();
    while (running() && nextDeadlineUs_ <= now && due_.size() < kMaxBlock) {
        due_.push_back(next_.byte);
        ++bytesSent_;
        readNext();
    }
    return due_;
}

int64_t PlaybackScheduler::nextDeadlineUs() const {
    return running() ? nextDeadlineUs_ : -1;
}

int64_t PlaybackScheduler::msUntilNext() const {
    if (!running()) {
        return -1;
    }
    const int64_t wait = nextDeadlineUs_ - clock_.nowUs();
    return wait <= 0 ? 0 : (wait + 999) / 1000;
}

void PlaybackScheduler::abort() {
    if (running() || state_ == PlaybackState::idle) {
        endWith(PlaybackState::aborted);
    }
}

void PlaybackScheduler::fail(const std::string& text) {
    if (running() || state_ == PlaybackState::idle) {
        endWith(PlaybackState::failed, text);
    }
}

void PlaybackScheduler::endWith(PlaybackState state, const std::string& text) {
    state_ = state;
    errorText_ = text;
    nextDeadlineUs_ = -1;
}

int PlaybackScheduler::percent() const {
    if (options_.passes == 0) {
        const uint64_t records = reader_.records();
        return records == 0 ? 0 : percentOf(bytesSent_ % records, records);
    }
    return percentOf(bytesSent_, totalBytes_);
}

int percentOf(uint64_t part, uint64_t whole) {
    if (whole == 0 || part >= whole) {
        return whole == 0 ? 0 : 100;
    }
    // 100 * part would overflow here; dividing the whole first is exact enough at such sizes.
    if (whole > std::numeric_limits<uint64_t>::max() / 100) {
        return static_cast<int>(part / (whole / 100 + 1));
    }
    return static_cast<int>(part * 100 / whole);
}

std::string playbackProgressText(uint64_t sent, uint64_t total) {
    if (total == 0) {
        return formatText(kTextProgressOpenEnded, static_cast<unsigned long long>(sent));
    }
    return formatText(kTextProgress, static_cast<unsigned long long>(sent),
                      static_cast<unsigned long long>(total));
}

}  // namespace pv
