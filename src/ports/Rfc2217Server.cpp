#include "ports/Rfc2217Server.h"

#include <utility>

namespace pv {

using namespace rfc2217;
using Kind = Rfc2217ServerEvent::Kind;

namespace {

constexpr const char* kErrorServerCommand = "a com port answer that only a server sends";
constexpr uint32_t kMaxBaud = 0x7FFFFFFF;

uint8_t lineBits(const ModemLines& lines) {
    return static_cast<uint8_t>(modemStateOf(lines, lines) & 0xF0);
}

}  // namespace

Rfc2217Server::Rfc2217Server(Rfc2217ServerListener& listener, const LineSettings& line,
                             std::string signature)
    : listener_(listener), signature_(std::move(signature)) {
    state_.line = line;
}

void Rfc2217Server::start() {
    session_.request(TelnetSide::Local, telnet::kOptionBinary);
    session_.request(TelnetSide::Remote, telnet::kOptionBinary);
    session_.request(TelnetSide::Local, telnet::kOptionSuppressGoAhead);
    session_.request(TelnetSide::Remote, telnet::kOptionSuppressGoAhead);
    session_.request(TelnetSide::Remote, telnet::kOptionComPort);
}

void Rfc2217Server::receive(const uint8_t* data, size_t length) {
    session_.receive(data, length, *this);
}

void Rfc2217Server::finish() {
    session_.finish(*this);
}

bool Rfc2217Server::comPortActive() const {
    return clientSpeaksComPort_;
}

void Rfc2217Server::comPortAgreed() {
    if (clientSpeaksComPort_) {
        return;
    }
    clientSpeaksComPort_ = true;
    report({.kind = Kind::ComPortAgreed});
    // Clients read CTS and the other lines from the first notification on.
    notifyModemState(true);
}

void Rfc2217Server::setModemLines(const ModemLines& lines) {
    lines_ = lines;
    if (comPortActive()) {
        notifyModemState(false);
    }
}

void Rfc2217Server::notifyModemState(bool always) {
    const uint8_t state = modemStateOf(lines_, notified_);
    const uint8_t changes = (state & 0x0F) | (lineBits(lines_) ^ lineBits(notified_));
    if (always || (changes & modemMask_) != 0) {
        answer(Command::NotifyModemState, state & modemMask_);
        notified_ = lines_;
    }
}

void Rfc2217Server::answer(Command command, uint32_t value) {
    send(session_, rfc2217::answer(command, value));
}

void Rfc2217Server::telnetData(const uint8_t* data, size_t length) {
    listener_.rfc2217Data(data, length);
}

void Rfc2217Server::telnetSubnegotiation(uint8_t option, const uint8_t* payload, size_t length) {
    if (option != telnet::kOptionComPort) {
        return;
    }
    const Decoded decoded = decode(payload, length);
    if (decoded.message && !decoded.message->fromServer) {
        // pyserial's client skips its WILL when our DO overtakes it, and goes on regardless.
        comPortAgreed();
    }
    if (!decoded.message) {
        report({.kind = Kind::ProtocolError, .text = decoded.error});
    } else if (decoded.message->fromServer) {
        report({.kind = Kind::ProtocolError, .text = kErrorServerCommand});
    } else {
        handle(*decoded.message);
    }
}

void Rfc2217Server::telnetEvent(const TelnetEvent& event) {
    const bool comPort = event.option == telnet::kOptionComPort && event.side == TelnetSide::Remote;
    if (event.kind == TelnetEvent::Kind::OptionEnabled && comPort) {
        comPortAgreed();
    } else if (event.kind == TelnetEvent::Kind::OptionDisabled && comPort) {
        report({.kind = Kind::ComPortRefused});
    } else if (const char* problem = problemText(event.kind)) {
        report({.kind = Kind::ProtocolError, .text = problem});
    }
}

void Rfc2217Server::handle(const Message& m) {
    switch (m.command) {
        case Command::Signature:
            if (m.hasValue) {
                report({.kind = Kind::Signature, .command = m.command, .text = m.text});
            } else {
                send(session_, Message{Command::Signature, true, 0, true, signature_});
            }
            break;
        case Command::SetBaudRate:
        case Command::SetDataSize:
        case Command::SetParity:
        case Command::SetStopSize:
            setLine(m);
            break;
        case Command::SetControl:
            setControl(static_cast<uint8_t>(m.value));
            break;
        case Command::NotifyLineState:
            answer(Command::NotifyLineState, 0);  // no line, so no line errors
            break;
        case Command::NotifyModemState:
            notifyModemState(true);
            break;
        case Command::FlowControlSuspend:
        case Command::FlowControlResume:
            suspended_ = m.command == Command::FlowControlSuspend;
            report(
                {.kind = suspended_ ? Kind::FlowSuspend : Kind::FlowResume, .command = m.command});
            break;
        case Command::SetLineStateMask:
            lineMask_ = static_cast<uint8_t>(m.value);
            answer(m.command, m.value);
            break;
        case Command::SetModemStateMask:
            modemMask_ = static_cast<uint8_t>(m.value);
            answer(m.command, m.value);
            break;
        case Command::PurgeData:
            if (m.value >= static_cast<uint32_t>(Purge::Receive) &&
                m.value <= static_cast<uint32_t>(Purge::Both)) {
                report({.kind = Kind::Purge, .command = m.command, .value = m.value});
                answer(m.command, m.value);
            } else {
                report({.kind = Kind::InvalidRequest, .command = m.command, .value = m.value});
            }
            break;
    }
}

void Rfc2217Server::setLine(const Message& m) {
    LineSettings& line = state_.line;
    const LineSettings before = line;
    const bool query = m.value == kQuery;
    uint32_t now = 0;
    bool valid = true;
    switch (m.command) {
        case Command::SetBaudRate:
            valid = m.value <= kMaxBaud;
            line.baud = valid && !query ? m.value : line.baud;
            now = line.baud;
            break;
        case Command::SetDataSize:
            valid = query || isValidDataSize(m.value);
            line.dataSize = valid && !query ? static_cast<uint8_t>(m.value) : line.dataSize;
            now = line.dataSize;
            break;
        case Command::SetParity:
            valid = query || isValidParity(m.value);
            line.parity = valid && !query ? static_cast<Parity>(m.value) : line.parity;
            now = static_cast<uint32_t>(line.parity);
            break;
        default:
            valid = query || isValidStopSize(m.value);
            line.stopSize = valid && !query ? static_cast<StopSize>(m.value) : line.stopSize;
            now = static_cast<uint32_t>(line.stopSize);
            break;
    }
    if (!valid) {
        report({.kind = Kind::InvalidRequest, .command = m.command, .value = m.value});
    } else if (!query) {
        report({.kind = Kind::LineSettings,
                .command = m.command,
                .value = now,
                .changed = !(before == line),
                .line = line});
    }
    answer(m.command, now);
}

void Rfc2217Server::setControl(uint8_t value) {
    using namespace control;
    const Group group = groupOf(value);
    switch (group) {
        case Group::Flow:
            if (value != kReqFlow) {
                report({.kind = Kind::Flow,
                        .command = Command::SetControl,
                        .value = value,
                        .changed = state_.flow != value});
                state_.flow = value;
            }
            answer(Command::SetControl, state_.flow);
            break;
        case Group::Break:
            if (value != kReqBreak) {
                switchLine(Kind::Break, state_.breakOn, value == kBreakOn);
            }
            answer(Command::SetControl, state_.breakOn ? kBreakOn : kBreakOff);
            break;
        case Group::Dtr:
            if (value != kReqDtr) {
                switchLine(Kind::Dtr, state_.dtr, value == kDtrOn);
            }
            answer(Command::SetControl, state_.dtr ? kDtrOn : kDtrOff);
            break;
        case Group::Rts:
            if (value != kReqRts) {
                switchLine(Kind::Rts, state_.rts, value == kRtsOn);
            }
            answer(Command::SetControl, state_.rts ? kRtsOn : kRtsOff);
            break;
        case Group::InboundFlow:
            state_.inboundFlow = value != kReqInboundFlow ? value : state_.inboundFlow;
            answer(Command::SetControl, state_.inboundFlow);
            break;
        case Group::Invalid:
            report({.kind = Kind::InvalidRequest, .command = Command::SetControl, .value = value});
            break;
    }
}

void Rfc2217Server::switchLine(Kind kind, bool& line, bool on) {
    const bool changed = line != on;
    line = on;
    report({.kind = kind,
            .command = Command::SetControl,
            .value = on ? 1u : 0u,
            .on = on,
            .changed = changed});
}

}  // namespace pv
