#include "ports/Rfc2217Channel.h"

#include <QTcpSocket>

#include "base/TextFormat.h"

namespace pv {

using Kind = Rfc2217ClientEvent::Kind;

namespace {

constexpr const char* kTextConnected = "%s: connected to %s.";
constexpr const char* kTextSignature = "%s: the server of %s calls itself '%.*s'.";
constexpr const char* kTextComPortRefused =
    "%s: the server of %s does not speak RFC 2217: only data passes, the line settings and "
    "modem lines stay as the server has them.";
constexpr const char* kTextBinaryRefused =
    "%s: the server of %s refused binary transmission %s; bytes may be changed on the way.";
constexpr const char* kTextDiffers = "%s: the server of %s set the %s to %u instead of %u.";
constexpr const char* kTextNoAnswer =
    "%s: the server of %s does not answer requests to set the %s; going on without waiting.";
constexpr const char* kTextProtocol = "%s: the server of %s sent something wrong: %.*s.";
constexpr const char* kTextSuspend =
    "%s: the server of %s asked to stop sending for a while; bytes wait until it goes on.";

}  // namespace

Rfc2217Channel::Rfc2217Channel(std::string label, QObject* parent, int64_t answerTimeoutMs)
    : TelnetChannel(parent), label_(std::move(label)), answerTimeoutMs_(answerTimeoutMs) {
    clock_.start();
    answerTimer_.setSingleShot(true);
    connect(&answerTimer_, &QTimer::timeout, this, [this] {
        if (client_) {
            client_->checkTimeouts(now());
            armTimeout();
        }
    });
}

Rfc2217Channel::~Rfc2217Channel() {
    close();
}

bool Rfc2217Channel::open(const std::string& device, const PortSettings& settings,
                          std::string& error) {
    close();
    const auto endpoint = parseRfc2217Device(device, error);
    if (!endpoint) {
        return false;
    }
    device_ = device;
    endpoint_ = *endpoint;
    settings_ = settings;
    counts_ = {};
    lines_ = {};
    forgetSaid();
    client_ = std::make_unique<Rfc2217Client>(static_cast<Rfc2217ClientListener&>(*this),
                                              answerTimeoutMs_);
    auto* socket = new QTcpSocket(this);
    useSocket(socket);
    connect(socket, &QTcpSocket::connected, this, &Rfc2217Channel::onConnected);
    socket->connectToHost(QString::fromStdString(endpoint_.host),
                          static_cast<quint16>(endpoint_.port));
    return true;
}

void Rfc2217Channel::close() {
    answerTimer_.stop();
    dropSocket();
    client_.reset();
}

void Rfc2217Channel::setDtr(bool on) {
    settings_.dtr = on;  // what a connection not made yet starts with
    if (client_) {
        client_->setDtr(on, now());
        control();
    }
}

void Rfc2217Channel::setRts(bool on) {
    settings_.rts = on;  // what a connection not made yet starts with
    if (client_) {
        client_->setRts(on, now());
        control();
    }
}

void Rfc2217Channel::setHardwareFlow(bool on) {
    settings_.autoHandshake = on;  // what a connection not made yet starts with
    if (client_) {
        client_->setHardwareFlow(on, now());
        control();
    }
}

void Rfc2217Channel::onConnected() {
    socket()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    say(formatText(kTextConnected, label_.c_str(), device_.c_str()));
    client_->start(settings_, now());
    control();
    flush();
    emit linkUp();
}

void Rfc2217Channel::received(const uint8_t* data, size_t length) {
    if (client_) {
        client_->receive(data, length, now());
        armTimeout();
    }
}

void Rfc2217Channel::control() {
    writeControl();
    armTimeout();
}

void Rfc2217Channel::ended(const std::string& reason) {
    if (client_) {
        client_->finish();
    }
    answerTimer_.stop();
    emit lost(reason);
}

void Rfc2217Channel::armTimeout() {
    const auto deadline = client_ ? client_->nextDeadline() : std::nullopt;
    if (!deadline) {
        answerTimer_.stop();
        return;
    }
    answerTimer_.start(static_cast<int>(std::max<int64_t>(0, *deadline - now())));
}

void Rfc2217Channel::rfc2217Event(const Rfc2217ClientEvent& e) {
    const char* side = label_.c_str();
    const char* dev = device_.c_str();
    switch (e.kind) {
        case Kind::ComPortAgreed:
        case Kind::Applied:
        case Kind::FlowResume:
            break;
        case Kind::ComPortRefused:
            sayOnce(formatText(kTextComPortRefused, side, dev));
            break;
        case Kind::BinaryRefused:
            sayOnce(formatText(kTextBinaryRefused, side, dev,
                               e.side == TelnetSide::Local ? "toward it" : "from it"));
            break;
        case Kind::Differs:
            say(formatText(kTextDiffers, side, dev, settingName(e.setting), e.answered,
                           e.requested));
            break;
        case Kind::NoAnswer:
            sayOnce(formatText(kTextNoAnswer, side, dev, settingName(e.setting)));
            break;
        case Kind::Signature:
            sayOnce(formatText(kTextSignature, side, dev, static_cast<int>(e.text.size()),
                               e.text.data()));
            break;
        case Kind::ModemState:
            lines_ = rfc2217::modemLinesOf(e.bits);
            emit modemLinesChanged();
            break;
        case Kind::LineState:
            counts_.breaks += (e.bits & rfc2217::linestate::kBreak) != 0;
            counts_.frame += (e.bits & rfc2217::linestate::kFraming) != 0;
            counts_.parity += (e.bits & rfc2217::linestate::kParity) != 0;
            counts_.overrun += (e.bits & rfc2217::linestate::kOverrun) != 0;
            break;
        case Kind::FlowSuspend:
            sayOnce(formatText(kTextSuspend, side, dev));
            break;
        case Kind::ProtocolError:
            sayOnce(formatText(kTextProtocol, side, dev, static_cast<int>(e.text.size()),
                               e.text.data()));
            break;
    }
    if (e.kind == Kind::FlowResume) {
        flush();
    }
}

void Rfc2217Channel::say(const std::string& text) {
    emit notice(text);
}

}  // namespace pv
