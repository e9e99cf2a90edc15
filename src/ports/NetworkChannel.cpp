#include "ports/NetworkChannel.h"

#include <QTimer>
#include <algorithm>

#include "base/TextFormat.h"
#include "ports/SocketClass.h"

namespace pv {

namespace {

constexpr const char* kTextRefusedEpisode =
    "Network: %lld bytes could not be sent and were dropped (%s).";

// Payloads read ahead of the data path: beyond this the link stops reading the socket.
constexpr size_t kReadAhead = 64 * 1024;
// Payloads the link delivered but the data path has not read: the read-ahead, plus what one go
// at the socket brings after it (a chunk and the frame it ends in), plus what came with a close.
constexpr size_t kInboundBound = 256 * 1024;

}  // namespace

NetworkChannel::NetworkChannel(CSocketClass& link, QObject* parent)
    : Channel(parent), link_(link), inbound_(kInboundBound) {
    connect(&link_, &CSocketBaseClass::dataReceived, this, &NetworkChannel::onPayload);
    connect(&link_, &CSocketBaseClass::payloadsDelivered, this, &NetworkChannel::handOn);
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
    const auto taken =
        static_cast<int>(inbound_.take(buffer, static_cast<size_t>(std::max(capacity, 0))));
    followInbound();
    return taken;
}

void NetworkChannel::finish() {
    countDropped(static_cast<long long>(inbound_.size()));
    inbound_.clear();
    endRefusedEpisode();
    link_.setReceiving(true);
}

void NetworkChannel::applyReading(bool on) {
    followInbound();
    if (on && !inbound_.empty() && !announcing_) {
        // Later, not from inside whoever resumed us.
        announcing_ = true;
        QTimer::singleShot(0, this, [this] {
            announcing_ = false;
            handOn();
        });
    }
}

// The socket is read while the data path takes the bytes and little is read ahead.
void NetworkChannel::followInbound() {
    link_.setReceiving(!readingPaused() && inbound_.size() < kReadAhead);
}

void NetworkChannel::onPayload(const uint8_t* data, int length) {
    const size_t taken = inbound_.push(data, static_cast<size_t>(length));
    countDropped(static_cast<long long>(length) - static_cast<long long>(taken));
    followInbound();
}

// What one go at the socket brought goes to the data path at once, a block per announcement,
// unless the data path pauses us; so a close that follows finds nothing left behind.
void NetworkChannel::handOn() {
    while (!readingPaused() && !inbound_.empty()) {
        const size_t before = inbound_.size();
        emit readyRead();
        if (inbound_.size() >= before) {
            break;  // not taken now (the side is stopping): it waits for the next go
        }
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
