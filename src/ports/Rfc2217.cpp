#include "ports/Rfc2217.h"

namespace pv::rfc2217 {

namespace {

constexpr const char* kErrorEmpty = "an empty com port subnegotiation";
constexpr const char* kErrorUnknown = "an unknown com port command";
constexpr const char* kErrorNoValue = "a com port command without its value";
constexpr const char* kErrorShortBaud = "a baud rate of fewer than four bytes";

constexpr const char* kCommandNames[] = {
    "SIGNATURE",           "SET-BAUDRATE",       "SET-DATASIZE",       "SET-PARITY",
    "SET-STOPSIZE",        "SET-CONTROL",        "NOTIFY-LINESTATE",   "NOTIFY-MODEMSTATE",
    "FLOWCONTROL-SUSPEND", "FLOWCONTROL-RESUME", "SET-LINESTATE-MASK", "SET-MODEMSTATE-MASK",
    "PURGE-DATA"};

// How many value bytes a command carries; -1 for the signature's free text.
int valueSize(Command command) {
    switch (command) {
        case Command::Signature:
            return -1;
        case Command::SetBaudRate:
            return 4;
        case Command::FlowControlSuspend:
        case Command::FlowControlResume:
            return 0;
        default:
            return 1;
    }
}

// Commands a client may send without a value, to ask rather than to set.
bool mayOmitValue(Command command, bool fromServer) {
    return !fromServer &&
           (command == Command::NotifyLineState || command == Command::NotifyModemState);
}

}  // namespace

namespace control {
Group groupOf(uint8_t value) {
    if (value <= kHardwareFlow || value == kDcdFlow || value == kDsrFlow) {
        return Group::Flow;
    }
    if (value <= kBreakOff) {
        return Group::Break;
    }
    if (value <= kDtrOff) {
        return Group::Dtr;
    }
    if (value <= kRtsOff) {
        return Group::Rts;
    }
    if (value <= kInboundHardwareFlow || value == kInboundDtrFlow) {
        return Group::InboundFlow;
    }
    return Group::Invalid;
}
}  // namespace control

ModemLines modemLinesOf(uint8_t modemState) {
    return {(modemState & modemstate::kCts) != 0, (modemState & modemstate::kDsr) != 0,
            (modemState & modemstate::kRi) != 0, (modemState & modemstate::kCd) != 0};
}

uint8_t modemStateOf(const ModemLines& lines, const ModemLines& previous) {
    uint8_t state = 0;
    const auto put = [&state](bool now, bool before, uint8_t bit, uint8_t changeBit) {
        state |= now ? bit : 0;
        state |= now != before ? changeBit : 0;
    };
    put(lines.cts, previous.cts, modemstate::kCts, modemstate::kCtsChanged);
    put(lines.dsr, previous.dsr, modemstate::kDsr, modemstate::kDsrChanged);
    put(lines.cd, previous.cd, modemstate::kCd, modemstate::kCdChanged);
    // Only the end of a ring counts as a change of RI.
    put(lines.ri, previous.ri, modemstate::kRi, 0);
    state |= (previous.ri && !lines.ri) ? modemstate::kRiTrailingEdge : 0;
    return state;
}

Decoded decode(const uint8_t* payload, size_t length) {
    if (length == 0) {
        return {std::nullopt, kErrorEmpty};
    }
    Message message;
    uint8_t code = payload[0];
    if (code >= kServerOffset) {
        message.fromServer = true;
        code = static_cast<uint8_t>(code - kServerOffset);
    }
    if (code > kLastCommand) {
        return {std::nullopt, kErrorUnknown};
    }
    message.command = static_cast<Command>(code);
    const uint8_t* value = payload + 1;
    const size_t valueLength = length - 1;
    const int size = valueSize(message.command);
    if (size < 0) {
        message.text = std::string_view(reinterpret_cast<const char*>(value), valueLength);
        message.hasValue = valueLength > 0;
        return {message, nullptr};
    }
    // Longer values are read as far as they go: some servers pad their answers.
    if (valueLength < static_cast<size_t>(size)) {
        if (valueLength == 0 && mayOmitValue(message.command, message.fromServer)) {
            return {message, nullptr};
        }
        return {std::nullopt, size == 4 ? kErrorShortBaud : kErrorNoValue};
    }
    for (int i = 0; i < size; ++i) {
        message.value = (message.value << 8) | value[i];
    }
    message.hasValue = size > 0;
    return {message, nullptr};
}

std::vector<uint8_t> payloadOf(const Message& message) {
    const int size = valueSize(message.command);
    const size_t valueLength = size < 0           ? message.text.size()
                               : message.hasValue ? static_cast<size_t>(size)
                                                  : 0;
    std::vector<uint8_t> payload(1 + valueLength);
    payload[0] = static_cast<uint8_t>(static_cast<uint8_t>(message.command) +
                                      (message.fromServer ? kServerOffset : 0));
    for (size_t i = 0; i < valueLength; ++i) {
        payload[1 + i] = size < 0
                             ? static_cast<uint8_t>(message.text[i])
                             : static_cast<uint8_t>(message.value >> (8 * (valueLength - 1 - i)));
    }
    return payload;
}

void send(TelnetSession& session, const Message& message) {
    const std::vector<uint8_t> payload = payloadOf(message);
    session.sendSubnegotiation(telnet::kOptionComPort, payload.data(), payload.size());
}

LineSettings lineSettingsOf(const PortSettings& settings) {
    LineSettings line;
    line.baud = settings.baud > 0 ? static_cast<uint32_t>(settings.baud) : 0;
    line.dataSize = static_cast<uint8_t>(settings.dataBitCount());
    line.parity = settings.parity == 1   ? Parity::Even
                  : settings.parity == 2 ? Parity::Odd
                                         : Parity::None;
    line.stopSize = settings.stopBitCount() == 2 ? StopSize::Two : StopSize::One;
    return line;
}

bool applyLineSettings(const LineSettings& line, PortSettings& settings) {
    bool all = true;
    if (line.baud >= 1 && line.baud <= 0x7FFFFFFF) {
        settings.baud = static_cast<int>(line.baud);
    } else {
        all = false;
    }
    if (line.dataSize == 7 || line.dataSize == 8) {
        settings.dataBits = line.dataSize - 7;
    } else {
        all = false;
    }
    switch (line.parity) {
        case Parity::None:
            settings.parity = 0;
            break;
        case Parity::Even:
            settings.parity = 1;
            break;
        case Parity::Odd:
            settings.parity = 2;
            break;
        default:
            all = false;
    }
    if (line.stopSize == StopSize::OnePointFive) {
        all = false;
    } else {
        settings.stopBits = line.stopSize == StopSize::Two ? 1 : 0;
    }
    return all;
}

bool isValidDataSize(uint32_t value) {
    return value >= 5 && value <= 8;
}

bool isValidParity(uint32_t value) {
    return value >= static_cast<uint32_t>(Parity::None) &&
           value <= static_cast<uint32_t>(Parity::Space);
}

bool isValidStopSize(uint32_t value) {
    return value >= static_cast<uint32_t>(StopSize::One) &&
           value <= static_cast<uint32_t>(StopSize::OnePointFive);
}

char parityLetter(Parity parity) {
    switch (parity) {
        case Parity::Odd:
            return 'O';
        case Parity::Even:
            return 'E';
        case Parity::Mark:
            return 'M';
        case Parity::Space:
            return 'S';
        default:
            return 'N';
    }
}

const char* stopSizeText(StopSize stopSize) {
    switch (stopSize) {
        case StopSize::Two:
            return "2";
        case StopSize::OnePointFive:
            return "1.5";
        default:
            return "1";
    }
}

std::string describe(const LineSettings& line) {
    return std::to_string(line.baud) + " " + std::to_string(line.dataSize) +
           parityLetter(line.parity) + stopSizeText(line.stopSize);
}

const char* commandName(Command command) {
    const auto index = static_cast<size_t>(command);
    return index <= kLastCommand ? kCommandNames[index] : "?";
}

}  // namespace pv::rfc2217
