#include "datapath/ReceivePath.h"

#include <algorithm>
#include <cstring>

namespace pv {

namespace {

// Held bytes go out on the 52nd receive notification in a row that brings nothing new.
constexpr int kIdleLimit = 50;

}  // namespace

ReceivePath::ReceivePath(PortSide& sideA, PortSide& sideB, BlockSteps& steps, QObject* parent)
    : QObject(parent), sideA_(sideA), sideB_(sideB), steps_(steps) {}

ReceivePath::Pass::~Pass() {
    if (--path_.depth_ == 0 && !path_.heldBack_.empty()) {
        path_.heldBack_.clear();
        path_.applyPauses();
    }
}

void ReceivePath::attach(Side s, Channel& channel) {
    auto& channels = side(s).channels;
    if (std::find(channels.begin(), channels.end(), &channel) != channels.end()) {
        return;
    }
    channels.push_back(&channel);
    connect(&channel, &Channel::readyRead, this, [this, s, &channel] { onReadyRead(s, channel); });
    connect(&channel, &Channel::backlogShrank, this, [this, s] { onBacklogShrank(s); });
    applyPauses();
}

void ReceivePath::detachAll(Side s) {
    for (Channel* channel : side(s).channels) {
        disconnect(channel, nullptr, this, nullptr);
        channel->pauseReading();
    }
    side(s).channels.clear();
    sideChanged(s);
}

void ReceivePath::sideChanged(Side s) {
    if (s == Side::A && sideA_.started) {
        // A new start: nothing of the last run waits or counts.
        sideA_.captureCount = 0;
        idleCount_ = 0;
    }
    pressured_[index(s)] = false;
    applyPauses();
}

void ReceivePath::releaseHeldA() {
    if (stage_ != nullptr) {
        stage_->Release();
    }
}

size_t ReceivePath::backlog(Side s) const {
    size_t most = 0;
    for (const Channel* channel : side(s).channels) {
        most = std::max(most, channel->backlog());
    }
    return most;
}

int ReceivePath::takeRxPerSecond() {
    const int count = rxPerSecond_;
    rxPerSecond_ = 0;
    return count;
}

void ReceivePath::onReadyRead(Side s, Channel& channel) {
    if (!side(s).started || channel.readingPaused()) {
        return;  // announced before it was paused
    }
    if (depth_ > 0) {
        // A block is still in hand: these bytes wait until it has gone all the way.
        channel.pauseReading();
        heldBack_.emplace_back(&channel);
        return;
    }
    if (&channel == &side(s).port) {
        OnSerialReceive();
    } else {
        Pass pass(*this);
        receive(s, channel);
    }
}

void ReceivePath::OnSerialReceive() {
    Pass pass(*this);
    if (sideA_.started && sideA_.isSerial && !sideA_.port.readingPaused()) {
        receiveSerialA();
    }
    if (sideB_.started && sideB_.isSerial && !sideB_.port.readingPaused()) {
        receive(Side::B, sideB_.port);
    }
}

// Side A's serial port also keeps the idle rule: bytes eXchange holds back go out when
// notifications keep finding nothing new.
void ReceivePath::receiveSerialA() {
    const int n = sideA_.port.read(readBuffer_.data(), PortSide::kCaptureSize);
    if (n > 0) {
        rxPerSecond_ += n;
        echo(sideA_, readBuffer_.data(), n);
        idleCount_ = 0;
        appendToSideA(readBuffer_.data(), n);
    } else if (sideA_.captureCount > 0 || holding()) {
        if (idleCount_ > kIdleLimit) {
            releaseHeldA();
        } else {
            ++idleCount_;
        }
    }
}

void ReceivePath::receive(Side s, Channel& channel) {
    if (s == Side::A) {
        const int n = channel.read(readBuffer_.data(), PortSide::kCaptureSize);
        appendToSideA(readBuffer_.data(), n);
        return;
    }
    const int n = channel.read(sideB_.captureBuffer.data(), PortSide::kCaptureSize);
    if (n <= 0) {
        return;
    }
    if (&channel == &sideB_.port) {
        rxPerSecond_ += n;
        echo(sideB_, sideB_.captureBuffer.data(), n);
    }
    sideB_.captureCount = n;
    ProcessBlockB();
}

void ReceivePath::receiveB(const uint8_t* data, int count) {
    Pass pass(*this);
    while (count > 0) {
        const int part = std::min(count, PortSide::kCaptureSize);
        std::memcpy(sideB_.captureBuffer.data(), data, static_cast<size_t>(part));
        sideB_.captureCount = part;
        ProcessBlockB();
        data += part;
        count -= part;
    }
}

// New bytes go behind those that eXchange holds back. Bytes held back can fill the buffer only
// while a match waits for its end; then they go out as they are, so nothing is ever dropped.
void ReceivePath::appendToSideA(const uint8_t* data, int count) {
    while (count > 0) {
        if (sideA_.captureCount == PortSide::kCaptureSize) {
            ProcessBlockA();
        }
        const int part = std::min(count, PortSide::kCaptureSize - sideA_.captureCount);
        std::memcpy(sideA_.captureBuffer.data() + sideA_.captureCount, data,
                    static_cast<size_t>(part));
        sideA_.captureCount += part;
        data += part;
        count -= part;
        runStage();
    }
}

void ReceivePath::runStage() {
    if (stage_ != nullptr) {
        stage_->ExchangePass();
    } else {
        ProcessBlockA();
    }
}

void ReceivePath::echo(PortSide& from, const uint8_t* data, int count) {
    if (from.isSerial && from.localEcho) {
        from.port.send(data, count);
    }
}

void ReceivePath::ProcessBlockA() {
    if (sideA_.captureCount <= 0) {
        return;
    }
    Pass pass(*this);
    if (recordHook_) {
        recordHook_(sideA_.captureBuffer.data(), sideA_.captureCount);
    }
    forward(Side::B, sideA_.captureBuffer.data(), sideA_.captureCount);
    steps_.forwardedA(sideA_.captureBuffer.data(), sideA_.captureCount);
    sideA_.captureCount = 0;
    idleCount_ = 0;
}

void ReceivePath::ProcessBlockB() {
    Pass pass(*this);
    forward(Side::A, sideB_.captureBuffer.data(), sideB_.captureCount);
    steps_.forwardedB(sideB_.captureBuffer.data(), sideB_.captureCount);
}

void ReceivePath::forward(Side target, const uint8_t* data, int count) {
    PortSide& to = side(target);
    if (!to.started || count <= 0) {
        return;
    }
    for (Channel* channel : to.channels) {
        channel->send(data, count);
    }
    updatePressure(target);
}

void ReceivePath::updatePressure(Side target) {
    if (!pressured_[index(target)] && backlog(target) > Channel::kHighWater) {
        pressured_[index(target)] = true;
        applyPauses();
    }
}

void ReceivePath::onBacklogShrank(Side s) {
    if (pressured_[index(s)] && backlog(s) <= Channel::kLowWater) {
        pressured_[index(s)] = false;
        applyPauses();
    }
    emit backlogShrank(s);
}

// A side's channels are read while the side runs, nothing it feeds is pressed (the other side,
// and itself when it echoes) and they are not held back behind a block in hand.
void ReceivePath::applyPauses() {
    for (Side s : {Side::A, Side::B}) {
        const PortSide& from = side(s);
        const bool feedsPressed =
            pressured_[index(otherSide(s))] || (from.localEcho && pressured_[index(s)]);
        for (Channel* channel : from.channels) {
            const bool held =
                std::find(heldBack_.begin(), heldBack_.end(), channel) != heldBack_.end();
            if (!from.started || feedsPressed || held) {
                channel->pauseReading();
            } else {
                channel->resumeReading();
            }
        }
    }
}

}  // namespace pv
