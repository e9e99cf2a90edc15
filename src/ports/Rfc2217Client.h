#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "ports/PortSettings.h"
#include "ports/Rfc2217.h"
#include "ports/TelnetSession.h"

namespace pv {

// What the client asks the server for and expects an answer to.
enum class Rfc2217Setting : uint8_t {
    ComPort,  // the com port option itself
    BaudRate,
    DataSize,
    Parity,
    StopSize,
    Flow,
    Break,
    Dtr,
    Rts,
    Purge,
};
constexpr size_t kRfc2217SettingCount = 10;
// "baud rate", "DTR"... for notices.
const char* settingName(Rfc2217Setting setting);

struct Rfc2217ClientEvent {
    enum class Kind : uint8_t {
        ComPortAgreed,   // the server took the com port option; the settings went out
        ComPortRefused,  // it refused: the line settings and lines cannot be set there
        BinaryRefused,   // side: the server refused 8-bit data in that direction
        Applied,         // setting, requested (== answered)
        Differs,         // setting, requested, answered: the server applied something else
        NoAnswer,        // setting: none came in time; said once per setting and connection
        Signature,       // text: the server's name for itself
        ModemState,      // bits: CTS, DSR, RI, CD and their change bits
        LineState,       // bits: break, framing, parity, overrun...
        FlowSuspend,     // the server asks us to stop sending data
        FlowResume,      // ... and to go on
        ProtocolError,   // text: what was wrong with what the server sent
    };
    Kind kind;
    Rfc2217Setting setting = Rfc2217Setting::ComPort;
    uint32_t requested = 0;
    uint32_t answered = 0;
    uint8_t bits = 0;
    TelnetSide side = TelnetSide::Local;
    std::string_view text{};  // valid during the call only
};

class Rfc2217ClientListener {
  public:
    virtual ~Rfc2217ClientListener() = default;
    // Data from the remote port, IAC doubling undone; points into the received bytes.
    virtual void rfc2217Data(const uint8_t* data, size_t length) = 0;
    virtual void rfc2217Event(const Rfc2217ClientEvent& event) = 0;
};

// The client end of an RFC 2217 connection, without I/O or clock of its own: the caller feeds
// the received bytes, sends output(), and passes the time in milliseconds of a steady clock.
// It never waits for an answer: requests go out at once, answers are checked when they come,
// and a missing one is reported once by checkTimeouts() (some servers never answer SET-CONTROL
// for DTR and RTS, ser2net on a pseudo-terminal among them).
class Rfc2217Client final : public TelnetProtocolEnd, private TelnetHandler {
  public:
    static constexpr int64_t kDefaultAnswerTimeoutMs = 3000;

    explicit Rfc2217Client(Rfc2217ClientListener& listener,
                           int64_t answerTimeoutMs = kDefaultAnswerTimeoutMs);

    // The connection is up: negotiates BINARY, SGA and the com port option; the side's line
    // settings, flow control, DTR and RTS go out as soon as the server agrees.
    void start(const PortSettings& settings, int64_t nowMs);
    void receive(const uint8_t* data, size_t length, int64_t nowMs);
    // The connection ended; reports an unfinished command or subnegotiation.
    void finish();

    // Reports each request that has waited too long, once; afterwards that setting is no
    // longer waited for on this connection.
    void checkTimeouts(int64_t nowMs);
    // When checkTimeouts() next has something to report; none while nothing is waited for.
    std::optional<int64_t> nextDeadline() const;

    // Changes while running; held until the server agrees when it has not yet.
    void setLineSettings(const rfc2217::LineSettings& line, int64_t nowMs);
    void setDtr(bool on, int64_t nowMs);
    void setRts(bool on, int64_t nowMs);
    void setHardwareFlow(bool on, int64_t nowMs);
    void setBreak(bool on, int64_t nowMs);
    void purge(rfc2217::Purge which, int64_t nowMs);

    bool comPortActive() const;
    bool flowSuspended() const override { return suspended_; }

    // Bytes to send: negotiation, requests. Data goes out through appendData.
    const std::vector<uint8_t>& output() const override { return session_.output(); }
    void clearOutput() override { session_.clearOutput(); }
    static void appendData(std::vector<uint8_t>& out, const uint8_t* data, size_t length) {
        TelnetSession::appendEscaped(out, data, length);
    }

  private:
    struct Pending {
        int outstanding = 0;
        bool everRequested = false;
        bool silenceReported = false;
        uint32_t requested = 0;
        int64_t since = 0;
    };

    void telnetData(const uint8_t* data, size_t length) override;
    void telnetSubnegotiation(uint8_t option, const uint8_t* payload, size_t length) override;
    void telnetEvent(const TelnetEvent& event) override;

    void sendAll(int64_t nowMs);
    void sendLine(int64_t nowMs);
    void sendControl(Rfc2217Setting setting, uint8_t value, int64_t nowMs);
    void sendTracked(Rfc2217Setting setting, rfc2217::Command command, uint32_t value,
                     int64_t nowMs);
    void answered(Rfc2217Setting setting, uint32_t value);
    void handle(const rfc2217::Message& message);
    void controlAnswered(uint8_t value);
    void report(Rfc2217ClientEvent event) { listener_.rfc2217Event(event); }
    void protocolError(std::string_view text);
    Pending& pending(Rfc2217Setting setting) { return pending_[static_cast<size_t>(setting)]; }

    Rfc2217ClientListener& listener_;
    int64_t timeoutMs_;
    int64_t now_ = 0;
    TelnetSession session_;
    std::array<Pending, kRfc2217SettingCount> pending_{};
    rfc2217::LineSettings line_;
    bool dtr_ = false;
    bool rts_ = false;
    bool hardwareFlow_ = false;
    bool suspended_ = false;
};

}  // namespace pv
