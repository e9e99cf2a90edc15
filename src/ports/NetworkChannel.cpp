#include "ports/NetworkChannel.h"

#include <QTimer>
#include <algorithm>

#include "base/TextFormat.h"
#include "ports/SocketClass.h"

namespace pv {

namespace {

constexpr const char* kTextRefusedEpisode =
    "Network: %lld bytes could not be sent and were dropped (%s).";

// Payloads the link delivered but the data path has not read: at most what the link reads in
// one go while paused, plus what came with a close.
constexpr size_t kInboundBound = 256 * 1024;

}  // namespace

NetworkChannel::NetworkChannel(CSocketClass& link, QObject* parent)
    : Channel(parent), link_(link), inbound_(kInboundBound) {
    connect(&link_, &CSocketBaseClass::dataReceived, this, &NetworkChannel::onPayload);
    connect(&link_, &CSocketBaseClass::bytesSent, this, &Channel::backlogShrank);
}

NetworkChannel::~NetworkChannel() {
    link_.setReceiving(true);
}

void NetworkChannel::send(const uint8_t* data, int count) {
    if (count <= 0) {
        return;
    }
    const int code = link_.trySendBlock(data, count);
    if (code == 0) {
        endRefusedEpisode();
        return;
    }
    countDropped(count);
    refusedBytes_ += count;
    if (refusedCode_ == 0) {
        refusedCode_ = code;
        emit notice(CSocketBaseClass::errorText(code));
    }
}

size_t NetworkChannel::backlog() const {
    return static_cast<size_t>(std::max<qint64>(0, link_.pendingBytes()));
}

int NetworkChannel::read(uint8_t* buffer, int capacity) {
    int taken = 0;
    while (taken < capacity && !inbound_.empty()) {
        const auto piece = inbound_.front();
        const size_t n = std::min(piece.size(), static_cast<size_t>(capacity - taken));
        std::copy_n(piece.data(), n, buffer + taken);
        inbound_.pop(n);
        taken += static_cast<int>(n);
    }
    return taken;
}

void NetworkChannel::finish() {
    countDropped(static_cast<long long>(inbound_.size()));
    inbound_.clear();
    endRefusedEpisode();
    link_.setReceiving(true);
}

void NetworkChannel::applyReading(bool on) {
    link_.setReceiving(on);
    if (on && !inbound_.empty()) {
        // Later, not from inside whoever resumed us.
        QTimer::singleShot(0, this, [this] {
            if (!readingPaused() && !inbound_.empty()) {
                emit readyRead();
            }
        });
    }
}

void NetworkChannel::onPayload(const uint8_t* data, int length) {
    const size_t taken = inbound_.push(data, static_cast<size_t>(length));
    countDropped(static_cast<long long>(length) - static_cast<long long>(taken));
    if (!readingPaused()) {
        emit readyRead();
    }
}

void NetworkChannel::endRefusedEpisode() {
    if (refusedCode_ == 0) {
        return;
    }
    const std::string reason = CSocketBaseClass::errorText(refusedCode_);
    emit notice(formatText(kTextRefusedEpisode, refusedBytes_, reason.c_str()));
    refusedCode_ = 0;
    refusedBytes_ = 0;
}

}  // namespace pv
