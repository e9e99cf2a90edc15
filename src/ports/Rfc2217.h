#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/PortSettings.h"
#include "ports/TelnetSession.h"

// The Telnet com port option (RFC 2217): its commands, values and wire form, shared by the
// client and the server end.
namespace pv::rfc2217 {

// Client-to-server codes; the server answers with the same code plus kServerOffset.
enum class Command : uint8_t {
    Signature = 0,
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
constexpr uint8_t kServerOffset = 100;
constexpr uint8_t kLastCommand = 12;

// A value of 0 in SET-BAUDRATE, SET-DATASIZE, SET-PARITY and SET-STOPSIZE asks for the current
// setting instead of changing it.
constexpr uint32_t kQuery = 0;

enum class Parity : uint8_t { None = 1, Odd = 2, Even = 3, Mark = 4, Space = 5 };
enum class StopSize : uint8_t { One = 1, Two = 2, OnePointFive = 3 };

// SET-CONTROL values. The requests (Req...) ask for the current state.
namespace control {
constexpr uint8_t kReqFlow = 0;
constexpr uint8_t kNoFlow = 1;
constexpr uint8_t kXonXoffFlow = 2;
constexpr uint8_t kHardwareFlow = 3;
constexpr uint8_t kReqBreak = 4;
constexpr uint8_t kBreakOn = 5;
constexpr uint8_t kBreakOff = 6;
constexpr uint8_t kReqDtr = 7;
constexpr uint8_t kDtrOn = 8;
constexpr uint8_t kDtrOff = 9;
constexpr uint8_t kReqRts = 10;
constexpr uint8_t kRtsOn = 11;
constexpr uint8_t kRtsOff = 12;
constexpr uint8_t kReqInboundFlow = 13;
constexpr uint8_t kInboundNoFlow = 14;
constexpr uint8_t kInboundXonXoffFlow = 15;
constexpr uint8_t kInboundHardwareFlow = 16;
constexpr uint8_t kDcdFlow = 17;
constexpr uint8_t kInboundDtrFlow = 18;
constexpr uint8_t kDsrFlow = 19;
constexpr uint8_t kLast = 19;

// The SET-CONTROL values fall into groups that each answer for one thing; an answer is matched
// to the request of its group.
enum class Group : uint8_t { Flow, Break, Dtr, Rts, InboundFlow, Invalid };
Group groupOf(uint8_t value);
}  // namespace control

namespace linestate {
constexpr uint8_t kTimeout = 0x80;
constexpr uint8_t kShiftRegisterEmpty = 0x40;
constexpr uint8_t kHoldingRegisterEmpty = 0x20;
constexpr uint8_t kBreak = 0x10;
constexpr uint8_t kFraming = 0x08;
constexpr uint8_t kParity = 0x04;
constexpr uint8_t kOverrun = 0x02;
constexpr uint8_t kDataReady = 0x01;
// The errors a monitor counts, as it does for a local port.
constexpr uint8_t kErrors = kBreak | kFraming | kParity | kOverrun;
}  // namespace linestate

namespace modemstate {
constexpr uint8_t kCd = 0x80;
constexpr uint8_t kRi = 0x40;
constexpr uint8_t kDsr = 0x20;
constexpr uint8_t kCts = 0x10;
constexpr uint8_t kCdChanged = 0x08;
constexpr uint8_t kRiTrailingEdge = 0x04;
constexpr uint8_t kDsrChanged = 0x02;
constexpr uint8_t kCtsChanged = 0x01;
}  // namespace modemstate

enum class Purge : uint8_t { Receive = 1, Transmit = 2, Both = 3 };

struct ModemLines {
    bool cts = false;
    bool dsr = false;
    bool ri = false;
    bool cd = false;
    bool operator==(const ModemLines&) const = default;
};
ModemLines modemLinesOf(uint8_t modemState);
// The state byte for the lines, with the change bits set against the previous lines.
uint8_t modemStateOf(const ModemLines& lines, const ModemLines& previous);

// One com port option subnegotiation: what follows IAC SB 44 up to IAC SE, undoubled.
struct Message {
    Command command = Command::Signature;
    bool fromServer = false;
    // The baud rate, or the one-byte value of the other commands; 0 when there is none.
    uint32_t value = 0;
    // False for commands sent without a value: a signature request, a modem or line state
    // poll, flow control suspend and resume.
    bool hasValue = false;
    // The signature text; points into the decoded payload.
    std::string_view text;
};

inline Message request(Command command, uint32_t value) {
    return {command, false, value, true, {}};
}
inline Message answer(Command command, uint32_t value) {
    return {command, true, value, true, {}};
}

struct Decoded {
    std::optional<Message> message;
    const char* error = nullptr;  // why there is no message
};
Decoded decode(const uint8_t* payload, size_t length);
// The payload of a message (without the option byte and IAC framing), as decode() reads it.
std::vector<uint8_t> payloadOf(const Message& message);
// Queues the message on the session as a com port option subnegotiation.
void send(TelnetSession& session, const Message& message);

// The line settings the com port option carries.
struct LineSettings {
    uint32_t baud = 9600;
    uint8_t dataSize = 8;
    Parity parity = Parity::None;
    StopSize stopSize = StopSize::One;
    bool operator==(const LineSettings&) const = default;
};
LineSettings lineSettingsOf(const PortSettings& settings);
// Puts into the side's settings what its controls can show; false when some value (5 or 6 data
// bits, mark or space parity, 1.5 stop bits) has no control and was left as it was.
bool applyLineSettings(const LineSettings& line, PortSettings& settings);
bool isValidDataSize(uint32_t value);
bool isValidParity(uint32_t value);
bool isValidStopSize(uint32_t value);
char parityLetter(Parity parity);
const char* stopSizeText(StopSize stopSize);
// "115200 8N1", "9600 7E1.5".
std::string describe(const LineSettings& line);
// A readable name of a command, for notices: "SET-BAUDRATE".
const char* commandName(Command command);

}  // namespace pv::rfc2217
