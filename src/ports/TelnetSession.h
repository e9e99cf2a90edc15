#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pv {

namespace telnet {
constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kGa = 249;
constexpr uint8_t kNop = 241;
constexpr uint8_t kSe = 240;

constexpr uint8_t kOptionBinary = 0;
constexpr uint8_t kOptionEcho = 1;
constexpr uint8_t kOptionSuppressGoAhead = 3;
constexpr uint8_t kOptionComPort = 44;

// Longest subnegotiation payload kept; the longest one the com port option defines is a
// signature text. Anything longer is dropped, so a peer cannot make the session grow.
constexpr size_t kMaxSubnegotiation = 512;
}  // namespace telnet

// Which end of the connection an option is about: Local is what this end does (WILL/WONT
// from here, DO/DONT from the peer), Remote what the peer does.
enum class TelnetSide : uint8_t { Local, Remote };

struct TelnetEvent {
    enum class Kind : uint8_t {
        OptionEnabled,   // side, option
        OptionDisabled,  // side, option: refused by the peer, or switched off by it
        Command,         // value: a command byte other than option negotiation (NOP, GA, BRK...)
        SubnegotiationTooLong,   // option; the payload was dropped
        SubnegotiationAborted,   // option; IAC and a command other than SE inside it
        EndInsideCommand,        // the stream ended after IAC or IAC WILL/WONT/DO/DONT
        EndInsideSubnegotiation  // option; the stream ended before IAC SE
    };
    Kind kind;
    TelnetSide side = TelnetSide::Local;
    uint8_t option = 0;
    uint8_t value = 0;
};

// What went wrong, for the kinds that report a fault of the peer's stream; nullptr otherwise.
const char* problemText(TelnetEvent::Kind kind);

// Receives what the session finds in the stream, in stream order. The pointers are valid during
// the call only. Data is never copied: it points into the caller's input, or, for 0xFF bytes
// that arrived doubled, into a constant area of 0xFF bytes.
class TelnetHandler {
  public:
    virtual ~TelnetHandler() = default;
    virtual void telnetData(const uint8_t* data, size_t length) = 0;
    virtual void telnetSubnegotiation(uint8_t option, const uint8_t* payload, size_t length) = 0;
    virtual void telnetEvent(const TelnetEvent& event) = 0;
};

// What a protocol end on a Telnet connection has for the channel that carries it: its own bytes
// to send, and whether the peer has asked it to hold the data back.
class TelnetProtocolEnd {
  public:
    virtual ~TelnetProtocolEnd() = default;
    virtual const std::vector<uint8_t>& output() const = 0;
    virtual void clearOutput() = 0;
    virtual bool flowSuspended() const = 0;
};

// The Telnet layer of one connection: splits received bytes into data, option negotiation and
// subnegotiations whatever the read boundaries, answers negotiation by the options it was told
// to accept (refusing all others, with the loop-free rules of RFC 1143), and collects what must
// be sent back in output(). It does no I/O and holds no buffer that grows with the input.
class TelnetSession {
  public:
    TelnetSession();

    // Options this end agrees to when the peer asks; all others are refused.
    void accept(TelnetSide side, uint8_t option);
    // Asks the peer to enable an option (WILL for Local, DO for Remote); accepts it as well.
    void request(TelnetSide side, uint8_t option);
    bool enabled(TelnetSide side, uint8_t option) const;
    // True while a request of ours has had no answer yet.
    bool pending(TelnetSide side, uint8_t option) const;

    void receive(const uint8_t* data, size_t length, TelnetHandler& handler);
    // The stream ended: reports an unfinished command or subnegotiation and starts afresh.
    void finish(TelnetHandler& handler);

    // IAC SB option payload IAC SE, with IAC bytes of the payload doubled.
    void sendSubnegotiation(uint8_t option, const uint8_t* payload, size_t length);

    // Bytes to send to the peer: negotiation answers and subnegotiations, in order.
    const std::vector<uint8_t>& output() const { return output_; }
    void clearOutput() { output_.clear(); }

    // Appends data with every 0xFF doubled.
    static void appendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t length);
    struct EscapeResult {
        size_t consumed;
        size_t produced;
    };
    // Escapes as much of the input as fits the output area without splitting a doubled 0xFF.
    static EscapeResult escapeInto(const uint8_t* in, size_t inLength, uint8_t* out,
                                   size_t outCapacity);

  private:
    enum class State : uint8_t { Data, Iac, Verb, SbOption, SbData, SbIac };
    // RFC 1143's per-option states; this end never switches an option off, so neither its
    // WANTNO state nor its queue bit can occur.
    enum class Q : uint8_t { No, Yes, WantYes };

    // Hands out the data up to the next IAC; returns where to go on.
    size_t dataRun(const uint8_t* data, size_t start, size_t length, TelnetHandler& handler);
    // Hands out a doubled 0xFF and the doubled ones straight after it; returns where to go on.
    size_t iacRun(const uint8_t* data, size_t i, size_t length, TelnetHandler& handler);
    void command(uint8_t byte, TelnetHandler& handler);
    void negotiate(uint8_t verb, uint8_t option, TelnetHandler& handler);
    void keep(const uint8_t* bytes, size_t length, TelnetHandler& handler);
    void sbIac(uint8_t byte, TelnetHandler& handler);
    void send(uint8_t verb, uint8_t option);
    Q& q(TelnetSide side, uint8_t option);
    Q q(TelnetSide side, uint8_t option) const;

    State state_ = State::Data;
    uint8_t verb_ = 0;
    uint8_t sbOption_ = 0;
    size_t sbLength_ = 0;
    bool sbOverflow_ = false;
    std::array<uint8_t, telnet::kMaxSubnegotiation> sb_{};
    std::array<Q, 256> local_{};
    std::array<Q, 256> remote_{};
    std::bitset<256> acceptLocal_;
    std::bitset<256> acceptRemote_;
    std::vector<uint8_t> output_;
};

}  // namespace pv
