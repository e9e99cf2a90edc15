#include "ports/Rfc2217Client.h"

namespace pv {

using namespace rfc2217;
using Kind = Rfc2217ClientEvent::Kind;

namespace {

constexpr const char* kSettingNames[kRfc2217SettingCount] = {
    "COM-PORT-OPTION", "baud rate", "data bits", "parity", "stop bits",
    "flow control",    "break",     "DTR",       "RTS",    "purge"};

constexpr const char* kOwnSignature = "PortaVigilant";

constexpr const char* kErrorClientCommand = "a com port command that only a client sends";
constexpr const char* kErrorControlValue = "a SET-CONTROL answer with an unknown value";

bool isFlowCommand(Command command) {
    return command == Command::FlowControlSuspend || command == Command::FlowControlResume;
}

}  // namespace

const char* settingName(Rfc2217Setting setting) {
    return kSettingNames[static_cast<size_t>(setting)];
}

Rfc2217Client::Rfc2217Client(Rfc2217ClientListener& listener, int64_t answerTimeoutMs)
    : listener_(listener), timeoutMs_(answerTimeoutMs) {}

void Rfc2217Client::start(const PortSettings& settings, int64_t nowMs) {
    now_ = nowMs;
    line_ = lineSettingsOf(settings);
    dtr_ = settings.dtr;
    rts_ = settings.rts;
    hardwareFlow_ = settings.autoHandshake;
    session_.request(TelnetSide::Local, telnet::kOptionBinary);
    session_.request(TelnetSide::Remote, telnet::kOptionBinary);
    session_.request(TelnetSide::Local, telnet::kOptionSuppressGoAhead);
    session_.request(TelnetSide::Remote, telnet::kOptionSuppressGoAhead);
    pending(Rfc2217Setting::ComPort) = {.outstanding = 1, .everRequested = true, .since = nowMs};
    session_.request(TelnetSide::Local, telnet::kOptionComPort);
}

void Rfc2217Client::receive(const uint8_t* data, size_t length, int64_t nowMs) {
    now_ = nowMs;
    session_.receive(data, length, *this);
}

void Rfc2217Client::finish() {
    session_.finish(*this);
}

bool Rfc2217Client::comPortActive() const {
    return session_.enabled(TelnetSide::Local, telnet::kOptionComPort);
}

void Rfc2217Client::checkTimeouts(int64_t nowMs) {
    for (size_t i = 0; i < pending_.size(); ++i) {
        Pending& p = pending_[i];
        if (p.outstanding > 0 && nowMs - p.since >= timeoutMs_) {
            p.outstanding = 0;
            p.silenceReported = true;
            report({.kind = Kind::NoAnswer,
                    .setting = static_cast<Rfc2217Setting>(i),
                    .requested = p.requested});
        }
    }
}

std::optional<int64_t> Rfc2217Client::nextDeadline() const {
    std::optional<int64_t> next;
    for (const Pending& p : pending_) {
        if (p.outstanding > 0 && (!next || p.since + timeoutMs_ < *next)) {
            next = p.since + timeoutMs_;
        }
    }
    return next;
}

void Rfc2217Client::setLineSettings(const LineSettings& line, int64_t nowMs) {
    line_ = line;
    if (comPortActive()) {
        sendLine(nowMs);
    }
}

void Rfc2217Client::setDtr(bool on, int64_t nowMs) {
    dtr_ = on;
    if (comPortActive()) {
        sendControl(Rfc2217Setting::Dtr, on ? control::kDtrOn : control::kDtrOff, nowMs);
    }
}

void Rfc2217Client::setRts(bool on, int64_t nowMs) {
    rts_ = on;
    // Under hardware flow control RTS belongs to the server's UART.
    if (comPortActive() && !hardwareFlow_) {
        sendControl(Rfc2217Setting::Rts, on ? control::kRtsOn : control::kRtsOff, nowMs);
    }
}

void Rfc2217Client::setHardwareFlow(bool on, int64_t nowMs) {
    hardwareFlow_ = on;
    if (!comPortActive()) {
        return;
    }
    sendControl(Rfc2217Setting::Flow, on ? control::kHardwareFlow : control::kNoFlow, nowMs);
    if (!on) {
        setRts(rts_, nowMs);
    }
}

void Rfc2217Client::setBreak(bool on, int64_t nowMs) {
    if (comPortActive()) {
        sendControl(Rfc2217Setting::Break, on ? control::kBreakOn : control::kBreakOff, nowMs);
    }
}

void Rfc2217Client::purge(Purge which, int64_t nowMs) {
    if (comPortActive()) {
        sendTracked(Rfc2217Setting::Purge, Command::PurgeData, static_cast<uint32_t>(which), nowMs);
    }
}

void Rfc2217Client::sendAll(int64_t nowMs) {
    send(session_, Message{Command::Signature, false, 0, false, {}});
    sendLine(nowMs);
    sendControl(Rfc2217Setting::Flow, hardwareFlow_ ? control::kHardwareFlow : control::kNoFlow,
                nowMs);
    sendControl(Rfc2217Setting::Dtr, dtr_ ? control::kDtrOn : control::kDtrOff, nowMs);
    if (!hardwareFlow_) {
        sendControl(Rfc2217Setting::Rts, rts_ ? control::kRtsOn : control::kRtsOff, nowMs);
    }
    // The server reports no line errors until asked to.
    send(session_, request(Command::SetLineStateMask, linestate::kErrors));
}

void Rfc2217Client::sendLine(int64_t nowMs) {
    sendTracked(Rfc2217Setting::BaudRate, Command::SetBaudRate, line_.baud, nowMs);
    sendTracked(Rfc2217Setting::DataSize, Command::SetDataSize, line_.dataSize, nowMs);
    sendTracked(Rfc2217Setting::Parity, Command::SetParity, static_cast<uint32_t>(line_.parity),
                nowMs);
    sendTracked(Rfc2217Setting::StopSize, Command::SetStopSize,
                static_cast<uint32_t>(line_.stopSize), nowMs);
}

void Rfc2217Client::sendControl(Rfc2217Setting setting, uint8_t value, int64_t nowMs) {
    sendTracked(setting, Command::SetControl, value, nowMs);
}

void Rfc2217Client::sendTracked(Rfc2217Setting setting, Command command, uint32_t value,
                                int64_t nowMs) {
    Pending& p = pending(setting);
    p.requested = value;
    p.everRequested = true;
    // A setting the server stayed silent about is not waited for again.
    if (!p.silenceReported) {
        if (p.outstanding == 0) {
            p.since = nowMs;
        }
        ++p.outstanding;
    }
    send(session_, request(command, value));
}

void Rfc2217Client::answered(Rfc2217Setting setting, uint32_t value) {
    Pending& p = pending(setting);
    if (!p.everRequested || (p.outstanding == 0 && !p.silenceReported)) {
        return;  // unasked, or a repeat
    }
    if (p.outstanding > 0 && --p.outstanding > 0) {
        p.since = now_;  // the answer to an earlier request; the latest one decides
        return;
    }
    report({.kind = value == p.requested ? Kind::Applied : Kind::Differs,
            .setting = setting,
            .requested = p.requested,
            .answered = value});
}

void Rfc2217Client::telnetData(const uint8_t* data, size_t length) {
    listener_.rfc2217Data(data, length);
}

void Rfc2217Client::telnetSubnegotiation(uint8_t option, const uint8_t* payload, size_t length) {
    // Subnegotiations of options never agreed are ignored, as Telnet asks.
    if (option != telnet::kOptionComPort) {
        return;
    }
    const Decoded decoded = decode(payload, length);
    if (!decoded.message) {
        protocolError(decoded.error);
        return;
    }
    handle(*decoded.message);
}

void Rfc2217Client::handle(const Message& m) {
    if (!m.fromServer) {
        if (m.command == Command::Signature && !m.hasValue) {
            send(session_, Message{Command::Signature, false, 0, true, kOwnSignature});
        } else if (isFlowCommand(m.command)) {
            // Some servers use the client's codes for these.
            handle(Message{m.command, true, 0, false, {}});
        } else {
            protocolError(kErrorClientCommand);
        }
        return;
    }
    switch (m.command) {
        case Command::Signature:
            if (m.hasValue) {
                report({.kind = Kind::Signature, .text = m.text});
            }
            break;
        case Command::SetBaudRate:
            answered(Rfc2217Setting::BaudRate, m.value);
            break;
        case Command::SetDataSize:
            answered(Rfc2217Setting::DataSize, m.value);
            break;
        case Command::SetParity:
            answered(Rfc2217Setting::Parity, m.value);
            break;
        case Command::SetStopSize:
            answered(Rfc2217Setting::StopSize, m.value);
            break;
        case Command::SetControl:
            controlAnswered(static_cast<uint8_t>(m.value));
            break;
        case Command::NotifyLineState:
            report({.kind = Kind::LineState, .bits = static_cast<uint8_t>(m.value)});
            break;
        case Command::NotifyModemState:
            report({.kind = Kind::ModemState, .bits = static_cast<uint8_t>(m.value)});
            break;
        case Command::FlowControlSuspend:
        case Command::FlowControlResume:
            suspended_ = m.command == Command::FlowControlSuspend;
            report({.kind = suspended_ ? Kind::FlowSuspend : Kind::FlowResume});
            break;
        case Command::PurgeData:
            answered(Rfc2217Setting::Purge, m.value);
            break;
        case Command::SetLineStateMask:
        case Command::SetModemStateMask:
            break;
    }
}

void Rfc2217Client::controlAnswered(uint8_t value) {
    switch (control::groupOf(value)) {
        case control::Group::Flow:
            answered(Rfc2217Setting::Flow, value);
            break;
        case control::Group::Break:
            answered(Rfc2217Setting::Break, value);
            break;
        case control::Group::Dtr:
            answered(Rfc2217Setting::Dtr, value);
            break;
        case control::Group::Rts:
            answered(Rfc2217Setting::Rts, value);
            break;
        case control::Group::InboundFlow:
            break;  // never asked for
        case control::Group::Invalid:
            protocolError(kErrorControlValue);
            break;
    }
}

void Rfc2217Client::telnetEvent(const TelnetEvent& event) {
    const bool comPort = event.option == telnet::kOptionComPort;
    switch (event.kind) {
        case TelnetEvent::Kind::OptionEnabled:
            if (comPort && event.side == TelnetSide::Local) {
                pending(Rfc2217Setting::ComPort).outstanding = 0;
                report({.kind = Kind::ComPortAgreed});
                sendAll(now_);
            }
            break;
        case TelnetEvent::Kind::OptionDisabled:
            if (comPort && event.side == TelnetSide::Local) {
                pending(Rfc2217Setting::ComPort).outstanding = 0;
                report({.kind = Kind::ComPortRefused});
            } else if (event.option == telnet::kOptionBinary) {
                report({.kind = Kind::BinaryRefused, .side = event.side});
            }
            break;
        default:
            // NOP, GA and the like mean nothing on a port.
            if (const char* problem = problemText(event.kind)) {
                protocolError(problem);
            }
            break;
    }
}

void Rfc2217Client::protocolError(std::string_view text) {
    report({.kind = Kind::ProtocolError, .text = text});
}

}  // namespace pv
