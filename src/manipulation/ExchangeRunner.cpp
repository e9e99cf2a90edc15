#include "manipulation/ExchangeRunner.h"

#include <algorithm>
#include <cstring>

namespace pv {

ExchangeRunner::ExchangeRunner(PortSide& sideA, std::function<void()> processBlockA)
    : sideA_(sideA), processBlockA_(std::move(processBlockA)) {
    holdTimer_.setSingleShot(true);
    holdTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&holdTimer_, &QTimer::timeout, &holdTimer_, [this] { Release(); });
}

void ExchangeRunner::ExchangePass() {
    if (!settings_.AnyActive() && !engine_.holding()) {
        processBlockA_();
        return;
    }
    // The pass reads from scratch and writes its result back into side A's buffer.
    const size_t n = static_cast<size_t>(sideA_.captureCount);
    std::memcpy(scratch_.data(), sideA_.captureBuffer.data(), n);
    sideA_.captureCount = 0;
    engine_.Pass(scratch_.data(), n, *this);
    sendBuffer();
    followHold();
}

void ExchangeRunner::Release() {
    if (sideA_.captureCount > 0) {
        // Bytes that arrived without a pass are younger than the held ones: they join them.
        const size_t n = static_cast<size_t>(sideA_.captureCount);
        std::memcpy(scratch_.data(), sideA_.captureBuffer.data(), n);
        sideA_.captureCount = 0;
        engine_.Pass(scratch_.data(), n, *this);
    }
    engine_.Release(*this);
    sendBuffer();
    holdTimer_.stop();
}

void ExchangeRunner::put(const uint8_t* data, size_t count) {
    while (count > 0) {
        const size_t room = static_cast<size_t>(PortSide::kCaptureSize - sideA_.captureCount);
        const size_t piece = std::min(count, room);
        std::memcpy(sideA_.captureBuffer.data() + sideA_.captureCount, data, piece);
        sideA_.captureCount += static_cast<int>(piece);
        data += piece;
        count -= piece;
        if (sideA_.captureCount == PortSide::kCaptureSize) {
            processBlockA_();
            sideA_.captureCount = 0;  // ProcessBlockA empties it; a full buffer must never stay
        }
    }
}

void ExchangeRunner::sendBuffer() {
    if (sideA_.captureCount > 0) {
        processBlockA_();
    }
}

// Every arrival on side A starts the time-out afresh.
void ExchangeRunner::followHold() {
    if (engine_.holding()) {
        holdTimer_.start(std::max(settings_.holdTimeoutMs, 0));
    } else {
        holdTimer_.stop();
    }
}

}  // namespace pv
