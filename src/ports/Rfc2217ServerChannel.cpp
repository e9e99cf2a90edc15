#include "ports/Rfc2217ServerChannel.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "base/TextFormat.h"

namespace pv {

using Kind = Rfc2217ServerEvent::Kind;

namespace {

constexpr const char* kSignature = "PortaVigilant";
constexpr const char* kTextListening = "%s: RFC 2217 port on %s, waiting for a client.";
constexpr const char* kTextListenFailed = "cannot listen on %s: %s";
constexpr const char* kTextClientConnected = "%s: RFC 2217 client %s connected.";
constexpr const char* kTextClientLeft = "%s: RFC 2217 client %s left (%s).";
constexpr const char* kTextRefusedClient =
    "%s: refused RFC 2217 client %s: the port serves one client at a time and %s has it.";
// What the refused client reads, in plain text as a terminal shows it.
constexpr const char* kTextRefusal =
    "PortaVigilant: this port is in use by another client (%s); one client at a time.\r\n";
constexpr const char* kTextPlainTelnet =
    "%s: RFC 2217 client %s does not use the com port option: data only.";
constexpr const char* kTextLineSet = "%s: the RFC 2217 client set the line to %s.";
constexpr const char* kTextLineSwitched = "%s: the RFC 2217 client switched %s %s.";
constexpr const char* kTextFlowSet = "%s: the RFC 2217 client set flow control to %s.";
constexpr const char* kTextInvalid = "%s: refused the RFC 2217 client's %s with value %u.";
constexpr const char* kTextProtocol = "%s: RFC 2217 client %s sent something wrong: %.*s.";
constexpr const char* kTextSignature = "%s: RFC 2217 client %s calls itself '%.*s'.";
constexpr const char* kTextDropped =
    "%s: %lld bytes came while no RFC 2217 client was connected and were dropped.";

const char* flowName(uint32_t value) {
    switch (value) {
        case rfc2217::control::kXonXoffFlow:
            return "XON/XOFF";
        case rfc2217::control::kHardwareFlow:
            return "RTS/CTS";
        case rfc2217::control::kDcdFlow:
            return "DCD";
        case rfc2217::control::kDsrFlow:
            return "DSR";
        default:
            return "none";
    }
}

std::string peerOf(const QTcpSocket& socket) {
    QHostAddress address = socket.peerAddress();
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        address = QHostAddress(v4);
    }
    return address.toString().toStdString() + ":" + std::to_string(socket.peerPort());
}

}  // namespace

Rfc2217ServerChannel::Rfc2217ServerChannel(std::string label, QObject* parent)
    : TelnetChannel(parent), label_(std::move(label)) {}

Rfc2217ServerChannel::~Rfc2217ServerChannel() {
    close();
}

bool Rfc2217ServerChannel::listen(const std::string& spec, const PortSettings& settings,
                                  std::string& error) {
    close();
    const auto endpoint = parseRfc2217Listen(spec, error);
    if (!endpoint) {
        return false;
    }
    state_ = {};
    state_.line = rfc2217::lineSettingsOf(settings);
    state_.dtr = settings.dtr;
    state_.rts = settings.rts;
    forgetSaid();
    droppedWhileAlone_ = 0;
    listener_ = new QTcpServer(this);
    const QHostAddress host = endpoint->host == "localhost"
                                  ? QHostAddress(QHostAddress::LocalHost)
                                  : QHostAddress(QString::fromStdString(endpoint->host));
    if (!listener_->listen(host, static_cast<quint16>(endpoint->port))) {
        error = formatText(kTextListenFailed, spec.c_str(),
                           listener_->errorString().toStdString().c_str());
        delete listener_;
        listener_ = nullptr;
        return false;
    }
    listener_->setMaxPendingConnections(1);
    connect(listener_, &QTcpServer::newConnection, this, &Rfc2217ServerChannel::onNewConnection);
    emit notice(formatText(kTextListening, label_.c_str(), address().c_str()));
    return true;
}

void Rfc2217ServerChannel::close() {
    if (server_) {
        server_->finish();
        server_.reset();
    }
    dropSocket();
    if (listener_ != nullptr) {
        listener_->close();
        listener_->deleteLater();
        listener_ = nullptr;
    }
    reportDropped();
}

bool Rfc2217ServerChannel::isListening() const {
    return listener_ != nullptr && listener_->isListening();
}

std::string Rfc2217ServerChannel::address() const {
    if (listener_ == nullptr) {
        return {};
    }
    const QHostAddress host = listener_->serverAddress();
    const std::string text = host.toString().toStdString();
    const std::string shown =
        host.protocol() == QAbstractSocket::IPv6Protocol ? "[" + text + "]" : text;
    return shown + ":" + std::to_string(listener_->serverPort());
}

void Rfc2217ServerChannel::send(const uint8_t* data, int count) {
    if (!clientConnected() && count > 0) {
        droppedWhileAlone_ += count;
    }
    TelnetChannel::send(data, count);
}

void Rfc2217ServerChannel::onNewConnection() {
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        if (clientConnected()) {
            refuse(socket);
            continue;
        }
        peer_ = peerOf(*socket);
        emit notice(formatText(kTextClientConnected, label_.c_str(), peer_.c_str()));
        reportDropped();
        forgetSaid();
        server_ = std::make_unique<Rfc2217Server>(static_cast<Rfc2217ServerListener&>(*this),
                                                  state_.line, kSignature);
        useSocket(socket);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        server_->start();
        showLines();
        writeControl();
    }
}

void Rfc2217ServerChannel::refuse(QTcpSocket* socket) {
    const std::string who = peerOf(*socket);
    emit notice(formatText(kTextRefusedClient, label_.c_str(), who.c_str(), peer_.c_str()));
    const std::string text = formatText(kTextRefusal, peer_.c_str());
    socket->write(text.data(), static_cast<qint64>(text.size()));
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
}

void Rfc2217ServerChannel::received(const uint8_t* data, size_t length) {
    if (server_) {
        server_->receive(data, length);
    }
}

void Rfc2217ServerChannel::ended(const std::string& reason) {
    emit notice(formatText(kTextClientLeft, label_.c_str(), peer_.c_str(), reason.c_str()));
    if (server_) {
        server_->finish();
        server_.reset();
    }
    // Later: this runs inside the socket's own signal.
    QTimer::singleShot(0, this, [this] {
        if (!server_) {
            dropSocket();
        }
    });
}

void Rfc2217ServerChannel::rfc2217Event(const Rfc2217ServerEvent& e) {
    const char* side = label_.c_str();
    switch (e.kind) {
        case Kind::ComPortRefused:
            sayOnce(formatText(kTextPlainTelnet, side, peer_.c_str()));
            break;
        case Kind::LineSettings:
            state_.line = e.line;
            // A client sets the four parts one by one: one report for all of them.
            if (e.changed && !lineReportDue_) {
                lineReportDue_ = true;
                QTimer::singleShot(0, this, &Rfc2217ServerChannel::onLineSettings);
            }
            break;
        case Kind::Dtr:
        case Kind::Rts: {
            const bool dtr = e.kind == Kind::Dtr;
            (dtr ? state_.dtr : state_.rts) = e.on;
            if (e.changed) {
                emit notice(
                    formatText(kTextLineSwitched, side, dtr ? "DTR" : "RTS", e.on ? "on" : "off"));
                emit lineSwitched(dtr ? ModemLine::Dtr : ModemLine::Rts, e.on);
                showLines();
            }
            break;
        }
        case Kind::Flow:
            state_.flow = static_cast<uint8_t>(e.value);
            if (e.changed) {
                emit notice(formatText(kTextFlowSet, side, flowName(e.value)));
            }
            break;
        case Kind::InvalidRequest:
            sayOnce(formatText(kTextInvalid, side, rfc2217::commandName(e.command), e.value));
            break;
        case Kind::ProtocolError:
            sayOnce(formatText(kTextProtocol, side, peer_.c_str(), static_cast<int>(e.text.size()),
                               e.text.data()));
            break;
        case Kind::Signature:
            sayOnce(formatText(kTextSignature, side, peer_.c_str(), static_cast<int>(e.text.size()),
                               e.text.data()));
            break;
        case Kind::Break:
            if (e.changed) {
                emit notice(formatText(kTextLineSwitched, side, "break", e.on ? "on" : "off"));
            }
            break;
        case Kind::ComPortAgreed:
        case Kind::Purge:
        case Kind::FlowSuspend:
        case Kind::FlowResume:
            break;
    }
    if (e.kind == Kind::FlowResume) {
        flush();
    }
}

void Rfc2217ServerChannel::onLineSettings() {
    lineReportDue_ = false;
    emit notice(formatText(kTextLineSet, label_.c_str(), rfc2217::describe(state_.line).c_str()));
    emit lineSettingsSet(state_.line);
}

// A null-modem cable: the client's RTS comes back as its CTS, its DTR as DSR and CD.
void Rfc2217ServerChannel::showLines() {
    if (server_) {
        server_->setModemLines(
            {.cts = state_.rts, .dsr = state_.dtr, .ri = false, .cd = state_.dtr});
    }
}

void Rfc2217ServerChannel::reportDropped() {
    if (droppedWhileAlone_ > 0) {
        emit notice(formatText(kTextDropped, label_.c_str(), droppedWhileAlone_));
        droppedWhileAlone_ = 0;
    }
}

}  // namespace pv
