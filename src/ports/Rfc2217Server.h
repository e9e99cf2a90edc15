#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ports/Rfc2217.h"
#include "ports/TelnetSession.h"

namespace pv {

struct Rfc2217ServerEvent {
    enum class Kind : uint8_t {
        ComPortAgreed,   // the client speaks the com port option
        ComPortRefused,  // it does not (a plain Telnet client): data only
        LineSettings,    // command: which part was set; line: all of them; changed
        Dtr,             // on, changed
        Rts,             // on, changed
        Flow,            // value: a SET-CONTROL flow value (kNoFlow, kHardwareFlow...), changed
        Break,           // on, changed
        Purge,           // value: which buffers
        FlowSuspend,     // the client asks us to stop sending data
        FlowResume,      // ... and to go on
        Signature,       // text: the client's name for itself
        InvalidRequest,  // command, value: refused; answered with the setting kept
        ProtocolError,   // text
    };
    Kind kind;
    rfc2217::Command command = rfc2217::Command::Signature;
    uint32_t value = 0;
    bool on = false;
    bool changed = false;
    rfc2217::LineSettings line{};
    std::string_view text{};  // valid during the call only
};

class Rfc2217ServerListener {
  public:
    virtual ~Rfc2217ServerListener() = default;
    // Data from the client, IAC doubling undone; points into the received bytes.
    virtual void rfc2217Data(const uint8_t* data, size_t length) = 0;
    virtual void rfc2217Event(const Rfc2217ServerEvent& event) = 0;
};

// What a client has set; a server without a line of its own keeps it and reports it.
struct Rfc2217PortState {
    rfc2217::LineSettings line{};
    bool dtr = false;
    bool rts = false;
    uint8_t flow = rfc2217::control::kNoFlow;
    uint8_t inboundFlow = rfc2217::control::kInboundNoFlow;
    bool breakOn = false;
};

// The server end of an RFC 2217 connection, without I/O: the caller feeds the client's bytes
// and sends output(). It answers every request the way RFC 2217 clients check (pyserial waits
// for each answer and compares it with its request): a change with the value now in force, a
// query with the current value. A value it cannot take is refused by answering the value kept.
class Rfc2217Server final : public TelnetProtocolEnd, private TelnetHandler {
  public:
    Rfc2217Server(Rfc2217ServerListener& listener, const rfc2217::LineSettings& line,
                  std::string signature);

    // A client connected: offers BINARY and SGA, asks it for the com port option.
    void start();
    void receive(const uint8_t* data, size_t length);
    void finish();

    // The lines the client should see as its CTS, DSR, RI and CD; a change is notified, as far
    // as the client's modem state mask lets it.
    void setModemLines(const rfc2217::ModemLines& lines);

    const Rfc2217PortState& state() const { return state_; }
    // The client agreed to the com port option, or used it without saying so.
    bool comPortActive() const;
    bool flowSuspended() const override { return suspended_; }

    const std::vector<uint8_t>& output() const override { return session_.output(); }
    void clearOutput() override { session_.clearOutput(); }
    static void appendData(std::vector<uint8_t>& out, const uint8_t* data, size_t length) {
        TelnetSession::appendEscaped(out, data, length);
    }

  private:
    void telnetData(const uint8_t* data, size_t length) override;
    void telnetSubnegotiation(uint8_t option, const uint8_t* payload, size_t length) override;
    void telnetEvent(const TelnetEvent& event) override;

    void comPortAgreed();
    void handle(const rfc2217::Message& message);
    void setLine(const rfc2217::Message& message);
    void setControl(uint8_t value);
    void switchLine(Rfc2217ServerEvent::Kind kind, bool& line, bool on);
    void answer(rfc2217::Command command, uint32_t value);
    void notifyModemState(bool always);
    void report(const Rfc2217ServerEvent& event) { listener_.rfc2217Event(event); }

    Rfc2217ServerListener& listener_;
    std::string signature_;
    TelnetSession session_;
    Rfc2217PortState state_;
    rfc2217::ModemLines lines_;
    rfc2217::ModemLines notified_;
    uint8_t modemMask_ = 0xFF;
    uint8_t lineMask_ = 0;
    bool suspended_ = false;
    bool clientSpeaksComPort_ = false;
};

}  // namespace pv
