#include "ports/TelnetChannel.h"

#include <QTcpSocket>
#include <algorithm>
#include <array>

#include "ports/TelnetSession.h"

namespace pv {

namespace {

// Raw bytes taken from the socket at a time; what the peer sends beyond the socket's small
// buffer stays in the kernel while the data path is busy.
constexpr qint64 kReadChunk = 16 * 1024;
constexpr qint64 kSocketReadBuffer = 64 * 1024;
// Escaped data handed to the socket at once; the rest waits in our bounded queue.
constexpr qint64 kSocketWriteAhead = 64 * 1024;

}  // namespace

TelnetChannel::~TelnetChannel() {
    dropSocket();
}

bool TelnetChannel::connected() const {
    return socket_ != nullptr && socket_->state() == QAbstractSocket::ConnectedState;
}

void TelnetChannel::useSocket(QTcpSocket* socket) {
    dropSocket();
    socket_ = socket;
    socket_->setParent(this);
    socket_->setReadBufferSize(kSocketReadBuffer);
    ending_ = false;
    connect(socket_, &QTcpSocket::readyRead, this, &TelnetChannel::onReadable);
    connect(socket_, &QTcpSocket::bytesWritten, this, &TelnetChannel::onBytesWritten);
    connect(socket_, &QTcpSocket::disconnected, this,
            [this] { onEnded("the other end closed the connection"); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        onEnded(socket_->errorString().toStdString());
    });
}

void TelnetChannel::dropSocket() {
    if (socket_ != nullptr) {
        ending_ = true;
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    countDropped(static_cast<long long>(inbound_.size() + waiting_.size()));
    inbound_.clear();
    waiting_.clear();
}

void TelnetChannel::send(const uint8_t* data, int count) {
    if (count <= 0) {
        return;
    }
    if (socket_ == nullptr) {
        countDropped(count);
        return;
    }
    if (connected() && !sendingHeld() && waiting_.empty() &&
        socket_->bytesToWrite() < kSocketWriteAhead) {
        scratch_.clear();
        TelnetSession::appendEscaped(scratch_, data, static_cast<size_t>(count));
        socket_->write(reinterpret_cast<const char*>(scratch_.data()),
                       static_cast<qint64>(scratch_.size()));
        return;
    }
    const size_t room = kQueueBound - std::min(kQueueBound, backlog());
    const size_t taken = waiting_.push(data, std::min(room, static_cast<size_t>(count)));
    countDropped(count - static_cast<long long>(taken));
}

size_t TelnetChannel::backlog() const {
    const qint64 inSocket = socket_ != nullptr ? socket_->bytesToWrite() : 0;
    return waiting_.size() + static_cast<size_t>(std::max<qint64>(0, inSocket));
}

int TelnetChannel::read(uint8_t* buffer, int capacity) {
    const auto taken =
        static_cast<int>(inbound_.take(buffer, static_cast<size_t>(std::max(capacity, 0))));
    // The data path takes one block per announcement: the rest is announced again.
    if (!inbound_.empty() || (socket_ != nullptr && socket_->bytesAvailable() > 0)) {
        announceLater();
    }
    return taken;
}

void TelnetChannel::announceLater() {
    if (announcing_) {
        return;
    }
    announcing_ = true;
    QTimer::singleShot(0, this, [this] {
        announcing_ = false;
        applyReading(!readingPaused());
    });
}

void TelnetChannel::applyReading(bool on) {
    if (!on) {
        return;
    }
    if (!inbound_.empty()) {
        emit readyRead();
    } else {
        onReadable();
    }
}

void TelnetChannel::deliver(const uint8_t* data, size_t length) {
    const size_t taken = inbound_.push(data, length);
    countDropped(static_cast<long long>(length - taken));
}

void TelnetChannel::onReadable() {
    if (socket_ == nullptr || readingPaused() || !inbound_.empty()) {
        return;
    }
    std::array<uint8_t, kReadChunk> raw{};
    const qint64 n = socket_->read(reinterpret_cast<char*>(raw.data()), kReadChunk);
    if (n <= 0) {
        return;
    }
    received(raw.data(), static_cast<size_t>(n));
    writeControl();
    if (!inbound_.empty()) {
        emit readyRead();
    } else if (socket_ != nullptr && socket_->bytesAvailable() > 0) {
        announceLater();  // only negotiation came: go on with the rest
    }
}

void TelnetChannel::onBytesWritten() {
    flush();
    emit backlogShrank();
}

void TelnetChannel::onEnded(const std::string& reason) {
    if (ending_ || socket_ == nullptr) {
        return;
    }
    ending_ = true;
    // What arrived with the close is still passed on, as far as the inbound queue holds it.
    std::array<uint8_t, kReadChunk> raw{};
    for (qint64 n = 0; (n = socket_->read(reinterpret_cast<char*>(raw.data()), kReadChunk)) > 0;) {
        received(raw.data(), static_cast<size_t>(n));
    }
    if (!inbound_.empty() && !readingPaused()) {
        emit readyRead();
    }
    ended(reason);
}

// Waiting data is kept undoubled, so a write never ends between the two halves of a doubled
// 0xFF, where an answer of the protocol end could slip in.
void TelnetChannel::flush() {
    if (!connected() || sendingHeld()) {
        return;
    }
    while (!waiting_.empty() && socket_->bytesToWrite() < kSocketWriteAhead) {
        const auto piece = waiting_.front();
        scratch_.resize(static_cast<size_t>(kSocketWriteAhead - socket_->bytesToWrite()) + 1);
        const auto escaped =
            TelnetSession::escapeInto(piece.data(), piece.size(), scratch_.data(), scratch_.size());
        if (escaped.consumed == 0) {
            break;
        }
        socket_->write(reinterpret_cast<const char*>(scratch_.data()),
                       static_cast<qint64>(escaped.produced));
        waiting_.pop(escaped.consumed);
    }
}

void TelnetChannel::writeControl() {
    TelnetProtocolEnd* end = protocol();
    if (end == nullptr || end->output().empty() || !connected()) {
        return;
    }
    const std::vector<uint8_t>& out = end->output();
    socket_->write(reinterpret_cast<const char*>(out.data()), static_cast<qint64>(out.size()));
    end->clearOutput();
}

bool TelnetChannel::sendingHeld() const {
    const TelnetProtocolEnd* end = protocol();
    return end != nullptr && end->flowSuspended();
}

void TelnetChannel::sayOnce(const std::string& text) {
    if (said_.insert(text).second) {
        emit notice(text);
    }
}

}  // namespace pv
