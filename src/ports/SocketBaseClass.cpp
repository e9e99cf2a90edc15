#include "ports/SocketBaseClass.h"

#include <QTcpSocket>
#include <QTimer>
#include <string>

#include "base/Prompt.h"
#include "ports/Channel.h"
#include "ports/SocketErrors.h"

namespace pv {

namespace {

constexpr const char* kTextErrorSuffix = " !";

// Qt keeps unsent bytes in its own buffer, so a send never waits. The data path stops feeding
// the link long before this much waits; beyond it the link refuses further blocks.
constexpr qint64 kMaxPendingBytes = static_cast<qint64>(pv::Channel::kQueueBound);
// What Qt may read ahead of us; while we do not read, TCP holds the rest at the peer.
constexpr qint64 kReadBufferSize = 64 * 1024;
// How long a closed socket may still try to hand its last bytes to a peer that does not read.
constexpr int kLingerMs = 5000;

}  // namespace

int wsaErrorFromQt(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return SocketError::kRefused;
        case QAbstractSocket::RemoteHostClosedError:
            return SocketError::kConnectionReset;
        case QAbstractSocket::HostNotFoundError:
            // A name that does not resolve was always reported as an invalid parameter.
            return SocketError::kInvalid;
        case QAbstractSocket::SocketAccessError:
            return SocketError::kAccess;
        case QAbstractSocket::SocketResourceError:
            return SocketError::kNoDescriptors;
        case QAbstractSocket::SocketTimeoutError:
            return SocketError::kTimedOut;
        case QAbstractSocket::DatagramTooLargeError:
            return SocketError::kMessageSize;
        case QAbstractSocket::NetworkError:
            return SocketError::kNetworkUnreachable;
        case QAbstractSocket::AddressInUseError:
            return SocketError::kAddressInUse;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return SocketError::kAddressNotAvailable;
        case QAbstractSocket::UnsupportedSocketOperationError:
            return SocketError::kFamily;
        case QAbstractSocket::UnfinishedSocketOperationError:
            return SocketError::kInProgress;
        case QAbstractSocket::TemporaryError:
            return SocketError::kWouldBlock;
        case QAbstractSocket::OperationError:
            return SocketError::kNotConnected;
        default:
            return SocketError::kUnknown;
    }
}

CSocketBaseClass::CSocketBaseClass(Prompt& prompt, QObject* parent)
    : QObject(parent), prompt_(prompt) {}

CSocketBaseClass::~CSocketBaseClass() {
    CSocketBaseClass::Close();
}

std::string CSocketBaseClass::errorText(int code) {
    return std::string(socketErrorText(code)) + kTextErrorSuffix;
}

void CSocketBaseClass::ReportError() {
    if (messagesEnabled_) {
        prompt_.message(errorText(lastError_));
    }
}

void CSocketBaseClass::fail(int code) {
    lastError_ = code;
    ReportError();
}

qint64 CSocketBaseClass::pendingBytes() const {
    return socket_ ? socket_->bytesToWrite() : 0;
}

void CSocketBaseClass::attach(QTcpSocket* socket, CSocketBaseClass* partner) {
    releaseSocket();
    socket_ = socket;
    socket_->setParent(this);
    // Small frames go out at once; the line monitor's timing depends on it.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_->setReadBufferSize(kReadBufferSize);
    ++epoch_;
    partner_ = partner;
    connected_ = true;
    connect(socket_, &QIODevice::readyRead, this, &CSocketBaseClass::onReadyRead);
    connect(socket_, &QAbstractSocket::disconnected, this, &CSocketBaseClass::onDisconnected);
    connect(socket_, &QIODevice::bytesWritten, this, &CSocketBaseClass::bytesSent);
    connect(socket_, &QAbstractSocket::errorOccurred, this, [this] {
        // Most errors end in disconnected; this catches the ones that only drop the state.
        if (socket_ && socket_->state() == QAbstractSocket::UnconnectedState) {
            onDisconnected();
        }
    });
    // Bytes may have arrived between the accept and this moment.
    if (socket_->bytesAvailable() > 0) {
        QTimer::singleShot(0, this, &CSocketBaseClass::onReadyRead);
    }
}

int CSocketBaseClass::write(const uint8_t* data, int length) {
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
        return SocketError::kNotConnected;
    }
    if (socket_->bytesToWrite() > kMaxPendingBytes) {
        return SocketError::kNoBufferSpace;
    }
    if (socket_->write(reinterpret_cast<const char*>(data), length) != length) {
        return wsaErrorFromQt(socket_->error());
    }
    socket_->flush();
    return 0;
}

bool CSocketBaseClass::Receive(uint8_t* buffer, int length, int& received, bool quietWouldBlock) {
    received = 0;
    if (!socket_) {
        fail(SocketError::kNotInitialised);
        return true;
    }
    const qint64 n = socket_->read(reinterpret_cast<char*>(buffer), length);
    if (n > 0) {
        received = static_cast<int>(n);
        return true;
    }
    lastError_ = n == 0 ? SocketError::kWouldBlock : wsaErrorFromQt(socket_->error());
    if (quietWouldBlock && lastError_ == SocketError::kWouldBlock) {
        return true;
    }
    // This runs on the receive path: a notice, never a box that would run it again.
    if (messagesEnabled_) {
        prompt_.notice(errorText(lastError_));
    }
    return false;
}

void CSocketBaseClass::setReceiving(bool on) {
    if (on == receiving_) {
        return;
    }
    receiving_ = on;
    if (on) {
        QTimer::singleShot(0, this, &CSocketBaseClass::onReadyRead);
    }
}

void CSocketBaseClass::onReadyRead() {
    readAvailable(false);
}

void CSocketBaseClass::readAvailable(bool evenIfPaused) {
    const unsigned epoch = epoch_;
    bool delivered = false;
    while ((receiving_ || evenIfPaused) && epoch_ == epoch && socket_ &&
           socket_->bytesAvailable() > 0) {
        int n = 0;
        if (!Receive(chunk_.data(), static_cast<int>(chunk_.size()), n, true) || n <= 0) {
            break;
        }
        deliver(chunk_.data(), n);
        delivered = true;
    }
    if (delivered && epoch_ == epoch) {
        emit payloadsDelivered();
    }
}

void CSocketBaseClass::deliver(const uint8_t* data, int length) {
    const unsigned epoch = epoch_;
    delivering_ = true;
    int used = 0;
    while (used < length) {
        used += reader_.read(data + used, length - used);
        if (reader_.hasPayload()) {
            emit dataReceived(reader_.payload(), reader_.payloadLength());
            if (epoch_ != epoch) {
                break;  // the owner closed us from its handler
            }
            reader_.releasePayload();
        }
    }
    delivering_ = false;
    // A close seen inside the handler (a nested event loop) is handled once the bytes are out.
    if (closePending_ && epoch_ == epoch) {
        closePending_ = false;
        onDisconnected();
    }
}

void CSocketBaseClass::onDisconnected() {
    if (!socket_) {
        return;
    }
    if (delivering_) {
        closePending_ = true;
        return;
    }
    const unsigned epoch = epoch_;
    // Bytes that came together with the close are still in Qt's buffer; they are the last.
    readAvailable(true);
    if (epoch_ != epoch) {
        return;
    }
    // The peer sent part of a payload and left: pass on what did arrive rather than lose it.
    if (reader_.finish()) {
        emit dataReceived(reader_.payload(), reader_.payloadLength());
        if (epoch_ != epoch) {
            return;
        }
        emit payloadsDelivered();
        if (epoch_ != epoch) {
            return;
        }
    }
    releaseSocket();
    emit peerClosed();
}

void CSocketBaseClass::releaseSocket() {
    ++epoch_;
    reader_.reset();
    closePending_ = false;
    connected_ = false;
    if (partner_) {
        partner_->accepted_ = false;
        partner_ = nullptr;
    }
    if (!socket_) {
        return;
    }
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    // Let queued bytes reach the peer before the socket goes, but not forever.
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kLingerMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->disconnectFromHost();
}

void CSocketBaseClass::Close() {
    accepted_ = false;
    releaseSocket();
}

}  // namespace pv
