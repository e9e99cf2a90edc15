#include "ports/TelnetSession.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pv {

using namespace telnet;

namespace {

// Undoubled runs of 0xFF are handed out from here rather than one byte at a time.
constexpr size_t kIacRun = 256;
const std::array<uint8_t, kIacRun> kIacs = [] {
    std::array<uint8_t, kIacRun> a{};
    a.fill(kIac);
    return a;
}();

const uint8_t* findIac(const uint8_t* data, size_t from, size_t length) {
    if (from >= length) {
        return nullptr;
    }
    return static_cast<const uint8_t*>(std::memchr(data + from, kIac, length - from));
}

}  // namespace

const char* problemText(TelnetEvent::Kind kind) {
    switch (kind) {
        case TelnetEvent::Kind::SubnegotiationTooLong:
            return "a subnegotiation too long to keep; it was dropped";
        case TelnetEvent::Kind::SubnegotiationAborted:
            return "a subnegotiation cut short by another command";
        case TelnetEvent::Kind::EndInsideCommand:
            return "the connection ended inside a Telnet command";
        case TelnetEvent::Kind::EndInsideSubnegotiation:
            return "the connection ended inside a subnegotiation";
        default:
            return nullptr;
    }
}

TelnetSession::TelnetSession() {
    local_.fill(Q::No);
    remote_.fill(Q::No);
    output_.reserve(64);
}

void TelnetSession::accept(TelnetSide side, uint8_t option) {
    (side == TelnetSide::Local ? acceptLocal_ : acceptRemote_).set(option);
}

void TelnetSession::request(TelnetSide side, uint8_t option) {
    accept(side, option);
    Q& state = q(side, option);
    if (state == Q::No) {
        state = Q::WantYes;
        send(side == TelnetSide::Local ? kWill : kDo, option);
    }
}

bool TelnetSession::enabled(TelnetSide side, uint8_t option) const {
    return q(side, option) == Q::Yes;
}

bool TelnetSession::pending(TelnetSide side, uint8_t option) const {
    return q(side, option) == Q::WantYes;
}

TelnetSession::Q& TelnetSession::q(TelnetSide side, uint8_t option) {
    return side == TelnetSide::Local ? local_[option] : remote_[option];
}

TelnetSession::Q TelnetSession::q(TelnetSide side, uint8_t option) const {
    return side == TelnetSide::Local ? local_[option] : remote_[option];
}

size_t TelnetSession::dataRun(const uint8_t* data, size_t start, size_t length,
                              TelnetHandler& handler) {
    const uint8_t* hit = findIac(data, start, length);
    const size_t end = hit != nullptr ? static_cast<size_t>(hit - data) : length;
    if (end > start) {
        handler.telnetData(data + start, end - start);
    }
    state_ = hit != nullptr ? State::Iac : State::Data;
    return hit != nullptr ? end + 1 : length;
}

void TelnetSession::receive(const uint8_t* data, size_t length, TelnetHandler& handler) {
    size_t i = 0;
    while (i < length) {
        switch (state_) {
            case State::Data:
                i = dataRun(data, i, length, handler);
                break;
            case State::Iac:
                if (data[i] == kIac) {
                    i = iacRun(data, i + 1, length, handler);
                } else {
                    command(data[i++], handler);
                }
                break;
            case State::Verb:
                state_ = State::Data;
                negotiate(verb_, data[i++], handler);
                break;
            case State::SbOption:
                sbOption_ = data[i++];
                sbLength_ = 0;
                sbOverflow_ = false;
                state_ = State::SbData;
                break;
            case State::SbData: {
                const uint8_t* hit = findIac(data, i, length);
                const size_t end = hit != nullptr ? static_cast<size_t>(hit - data) : length;
                keep(data + i, end - i, handler);
                i = hit != nullptr ? end + 1 : length;
                if (hit != nullptr) {
                    state_ = State::SbIac;
                }
                break;
            }
            case State::SbIac:
                sbIac(data[i++], handler);
                break;
        }
    }
}

size_t TelnetSession::iacRun(const uint8_t* data, size_t i, size_t length, TelnetHandler& handler) {
    size_t count = 1;  // the pair just completed
    while (count < kIacRun && i + 1 < length && data[i] == kIac && data[i + 1] == kIac) {
        ++count;
        i += 2;
    }
    handler.telnetData(kIacs.data(), count);
    state_ = State::Data;
    return i;
}

void TelnetSession::command(uint8_t byte, TelnetHandler& handler) {
    if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
        verb_ = byte;
        state_ = State::Verb;
    } else if (byte == kSb) {
        state_ = State::SbOption;
    } else {
        state_ = State::Data;
        handler.telnetEvent({TelnetEvent::Kind::Command, TelnetSide::Local, 0, byte});
    }
}

void TelnetSession::keep(const uint8_t* bytes, size_t length, TelnetHandler& handler) {
    const size_t room = sb_.size() - sbLength_;
    if (length > room) {
        if (!sbOverflow_) {
            sbOverflow_ = true;
            handler.telnetEvent(
                {TelnetEvent::Kind::SubnegotiationTooLong, TelnetSide::Remote, sbOption_, 0});
        }
        length = room;
    }
    std::memcpy(sb_.data() + sbLength_, bytes, length);
    sbLength_ += length;
}

void TelnetSession::sbIac(uint8_t byte, TelnetHandler& handler) {
    if (byte == kIac) {
        keep(&byte, 1, handler);
        state_ = State::SbData;
    } else if (byte == kSe) {
        state_ = State::Data;
        if (!sbOverflow_) {
            handler.telnetSubnegotiation(sbOption_, sb_.data(), sbLength_);
        }
    } else {
        // A peer that lost its place; the command is taken as if outside, so the stream
        // recovers at once instead of swallowing data until some later IAC SE.
        handler.telnetEvent(
            {TelnetEvent::Kind::SubnegotiationAborted, TelnetSide::Remote, sbOption_, byte});
        command(byte, handler);
    }
}

void TelnetSession::negotiate(uint8_t verb, uint8_t option, TelnetHandler& handler) {
    const bool enable = verb == kWill || verb == kDo;
    const TelnetSide side =
        (verb == kWill || verb == kWont) ? TelnetSide::Remote : TelnetSide::Local;
    const bool local = side == TelnetSide::Local;
    Q& state = q(side, option);
    if (enable) {
        if (state == Q::Yes) {
            return;
        }
        const bool agreeNow = state == Q::No;
        if (agreeNow && !(local ? acceptLocal_ : acceptRemote_).test(option)) {
            send(local ? kWont : kDont, option);
            return;
        }
        state = Q::Yes;
        if (agreeNow) {
            send(local ? kWill : kDo, option);
        }
        handler.telnetEvent({TelnetEvent::Kind::OptionEnabled, side, option, 0});
        return;
    }
    if (state == Q::No) {
        return;
    }
    // Acknowledge a switch-off, but not a refusal of our own request (that would loop).
    if (state == Q::Yes) {
        send(local ? kWont : kDont, option);
    }
    state = Q::No;
    handler.telnetEvent({TelnetEvent::Kind::OptionDisabled, side, option, 0});
}

void TelnetSession::finish(TelnetHandler& handler) {
    switch (state_) {
        case State::Data:
            break;
        case State::Iac:
        case State::Verb:
            handler.telnetEvent({TelnetEvent::Kind::EndInsideCommand, TelnetSide::Remote, 0, 0});
            break;
        case State::SbOption:
        case State::SbData:
        case State::SbIac:
            handler.telnetEvent({TelnetEvent::Kind::EndInsideSubnegotiation, TelnetSide::Remote,
                                 state_ == State::SbOption ? uint8_t{0} : sbOption_, 0});
            break;
    }
    state_ = State::Data;
}

void TelnetSession::send(uint8_t verb, uint8_t option) {
    output_.insert(output_.end(), {kIac, verb, option});
}

void TelnetSession::sendSubnegotiation(uint8_t option, const uint8_t* payload, size_t length) {
    output_.insert(output_.end(), {kIac, kSb, option});
    appendEscaped(output_, payload, length);
    output_.insert(output_.end(), {kIac, kSe});
}

void TelnetSession::appendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t length) {
    // Room for the worst case, then cut to what was written: cheaper than counting first.
    const size_t start = out.size();
    out.resize(start + 2 * length);
    const EscapeResult r = escapeInto(data, length, out.data() + start, 2 * length);
    out.resize(start + r.produced);
}

TelnetSession::EscapeResult TelnetSession::escapeInto(const uint8_t* in, size_t inLength,
                                                      uint8_t* out, size_t outCapacity) {
    size_t consumed = 0;
    size_t produced = 0;
    while (consumed < inLength && produced < outCapacity) {
        const uint8_t* hit = findIac(in, consumed, inLength);
        const size_t end = hit != nullptr ? static_cast<size_t>(hit - in) : inLength;
        const size_t run = std::min(end - consumed, outCapacity - produced);
        std::memcpy(out + produced, in + consumed, run);
        consumed += run;
        produced += run;
        if (consumed < end || hit == nullptr) {
            break;
        }
        // All the 0xFF bytes in a row at once, as many whole pairs as fit.
        size_t iacs = 0;
        const size_t room = (outCapacity - produced) / 2;
        while (iacs < room && consumed + iacs < inLength && in[consumed + iacs] == kIac) {
            ++iacs;
        }
        if (iacs == 0) {
            break;
        }
        std::memset(out + produced, kIac, 2 * iacs);
        consumed += iacs;
        produced += 2 * iacs;
    }
    return {consumed, produced};
}

}  // namespace pv
