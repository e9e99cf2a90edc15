#include "ports/SocketClass.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

#include "base/Prompt.h"
#include "ports/SocketErrors.h"

namespace pv {

namespace {

constexpr const char* kTextClosedByClient = "Socket closed by Client !";
constexpr const char* kTextClosedByServer = "Socket closed by Server !";

constexpr int kListenBacklog = 5;
// The time a server gets to answer a connect before the attempt counts as not accepted.
constexpr int kConnectWaitMs = 100;

}  // namespace

CSocketClass::CSocketClass(Prompt& prompt, QObject* parent)
    : CSocketBaseClass(prompt, parent), connection_(prompt) {
    connect(&connection_, &CSocketBaseClass::dataReceived, this, &CSocketBaseClass::dataReceived);
    connect(&connection_, &CSocketBaseClass::payloadsDelivered, this,
            &CSocketBaseClass::payloadsDelivered);
    connect(&connection_, &CSocketBaseClass::peerClosed, this, &CSocketClass::onClientGone);
    connect(&connection_, &CSocketBaseClass::bytesSent, this, &CSocketBaseClass::bytesSent);
    connect(this, &CSocketBaseClass::peerClosed, this, &CSocketClass::onServerGone);
}

CSocketClass::~CSocketClass() {
    CSocketClass::Close();
}

bool CSocketClass::Create(bool isServer, int port, const std::string& listenAddress) {
    if (ready_ && isServer == isServer_ && port == port_ && listenAddress == listenAddress_) {
        return true;
    }
    // Ready in another mode or on another port: start afresh rather than keep the old socket.
    if (ready_) {
        Close();
    }
    isServer_ = isServer;
    port_ = port;
    listenAddress_ = listenAddress;
    connection_.EnableMessages(messagesEnabled_);
    if (port < 0 || port > NetworkPort::kMaximum) {
        fail(SocketError::kInvalid);
        return false;
    }
    if (isServer) {
        listenPort_ = 0;
        return listen();
    }
    created_ = true;
    ready_ = true;
    clientConnected_ = false;
    return true;
}

bool CSocketClass::listen() {
    if (!server_) {
        server_ = new QTcpServer(this);
        server_->setListenBacklogSize(kListenBacklog);
        connect(server_, &QTcpServer::newConnection, this, &CSocketClass::onNewConnection);
    }
    const QHostAddress address = listenAddress_.empty()
                                     ? QHostAddress(QHostAddress::Any)
                                     : QHostAddress(QString::fromStdString(listenAddress_));
    if (address.isNull()) {
        created_ = ready_ = false;
        fail(SocketError::kAddressNotAvailable);
        return false;
    }
    // Listening again after a client left uses the port the system chose the first time.
    const int port = listenPort_ != 0 ? listenPort_ : port_;
    if (!server_->listen(address, static_cast<quint16>(port))) {
        created_ = ready_ = false;
        fail(wsaErrorFromQt(server_->serverError()));
        return false;
    }
    listenPort_ = server_->serverPort();
    created_ = ready_ = true;
    return true;
}

bool CSocketClass::Connect(const std::string& address, int port) {
    if (!ready_) {
        fail(SocketError::kNotInitialised);
        return false;
    }
    if (isServer_) {
        fail(SocketError::kServerCannotConnect);
        return false;
    }
    if (clientConnected_) {
        return true;
    }
    if (port < 0 || port > NetworkPort::kMaximum) {
        fail(SocketError::kInvalid);
        return false;
    }
    auto* socket = new QTcpSocket(this);
    socket->connectToHost(QString::fromStdString(address), static_cast<quint16>(port));
    if (!socket->waitForConnected(kConnectWaitMs)) {
        // Still waiting for the server is "not accepted"; anything else has its own number.
        const int code = socket->error() == QAbstractSocket::SocketTimeoutError
                             ? SocketError::kNotAccepted
                             : wsaErrorFromQt(socket->error());
        socket->abort();
        delete socket;
        fail(code);
        return false;
    }
    attach(socket, nullptr);
    clientConnected_ = true;
    return true;
}

bool CSocketClass::Open(const NetworkSettings& settings) {
    if (!Create(settings.isServer, settings.port, settings.listenAddress)) {
        return false;
    }
    return settings.isServer || Connect(settings.serverAddress, settings.port);
}

bool CSocketClass::IsConnected() const {
    if (isServer_) {
        return hasConnection_ && connection_.connected();
    }
    return ready_ && clientConnected_;
}

bool CSocketClass::isListening() const {
    return server_ && server_->isListening();
}

qint64 CSocketClass::pendingBytes() const {
    return isServer_ ? connection_.pendingBytes() : CSocketBaseClass::pendingBytes();
}

bool CSocketClass::Send(const uint8_t* data, int length) {
    const int code = sendRaw(data, length);
    if (code == 0) {
        backlogReported_ = false;
        return true;
    }
    lastError_ = code;
    if (code != SocketError::kNoBufferSpace || !backlogReported_) {
        ReportError();
    }
    backlogReported_ = code == SocketError::kNoBufferSpace;
    return false;
}

int CSocketClass::sendRaw(const uint8_t* data, int length) {
    if (isServer_) {
        if (!hasConnection_) {
            return SocketError::kNotInitialised;
        }
        if (!connection_.connected()) {
            return SocketError::kNoClient;
        }
        return connection_.write(data, length);
    }
    if (!ready_) {
        return SocketError::kNotInitialised;
    }
    if (!clientConnected_) {
        return SocketError::kNoServer;
    }
    return write(data, length);
}

bool CSocketClass::SendBlock(const uint8_t* block, int length) {
    const int code = trySendBlock(block, length);
    if (code != 0) {
        lastError_ = code;
        ReportError();
    }
    return code == 0;
}

// Larger blocks than one frame holds go out as several frames, never cut short.
int CSocketClass::trySendBlock(const uint8_t* block, int length) {
    for (int offset = 0; offset < length; offset += DataFrame::kMaxPayload) {
        const int part = std::min(length - offset, DataFrame::kMaxPayload);
        const int frameSize = DataFrame::encode(block + offset, part, sendFrame_);
        if (const int code = sendRaw(sendFrame_.data(), frameSize); code != 0) {
            return code;
        }
    }
    return 0;
}

void CSocketClass::setReceiving(bool on) {
    connection_.setReceiving(on);
    CSocketBaseClass::setReceiving(on);
}

void CSocketClass::onNewConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        // One client at a time: any other that got in before the listener closed is turned away.
        if (hasConnection_ || accepted_) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        accepted_ = true;
        connection_.EnableMessages(messagesEnabled_);
        connection_.attach(socket, this);
        emit clientAccepted();
        hasConnection_ = true;
        server_->close();
        created_ = ready_ = false;
        clientConnected_ = false;
    }
}

void CSocketClass::onClientGone() {
    hasConnection_ = false;
    const unsigned closeCount = closeCount_;
    prompt_.notice(kTextClosedByClient);
    emit closedByClient();
    // A link its owner closed meanwhile stays closed; otherwise the next client may come.
    if (closeCount == closeCount_ && isServer_) {
        listen();
    }
}

void CSocketClass::onServerGone() {
    created_ = ready_ = false;
    clientConnected_ = false;
    prompt_.notice(kTextClosedByServer);
    emit closedByServer();
}

void CSocketClass::Close() {
    ++closeCount_;
    connection_.Close();
    if (server_) {
        server_->close();
    }
    CSocketBaseClass::Close();
    created_ = ready_ = false;
    clientConnected_ = false;
    hasConnection_ = false;
    backlogReported_ = false;
}

}  // namespace pv
