#include "terminal/TerminalEscapeFilter.h"

namespace pv {

namespace {

constexpr uint8_t kBel = 0x07;
constexpr uint8_t kCan = 0x18;
constexpr uint8_t kSub = 0x1A;
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kDel = 0x7F;

bool isControl(uint8_t byte) {
    return byte < 0x20;
}

}  // namespace

bool TerminalEscapeFilter::enter(State state) {
    state_ = state;
    length_ = 0;
    return true;
}

bool TerminalEscapeFilter::ground(uint8_t byte) {
    if (byte == kEsc) {
        return enter(State::Escape);
    }
    state_ = State::Ground;
    return false;
}

bool TerminalEscapeFilter::escape(uint8_t byte) {
    switch (byte) {
        case '[':
            return enter(State::Csi);
        case ']':
            bellEnds_ = true;
            return enter(State::String);
        case 'P':
        case 'X':
        case '^':
        case '_':
            bellEnds_ = false;
            return enter(State::String);
        default:
            break;
    }
    if (byte >= 0x20 && byte <= 0x2F) {
        return enter(State::Intermediate);
    }
    // A final byte ends the sequence.
    state_ = State::Ground;
    return true;
}

bool TerminalEscapeFilter::hides(uint8_t byte) {
    if (state_ == State::Ground) {
        return ground(byte);
    }
    const int limit =
        state_ == State::String || state_ == State::StringEscape ? kMaxString : kMaxSequence;
    if (++length_ > limit) {
        return ground(byte);
    }
    if (byte == kCan || byte == kSub) {
        state_ = State::Ground;
        return true;
    }
    if (state_ == State::String) {
        if (byte == kEsc) {
            state_ = State::StringEscape;
        } else if (byte == kBel && bellEnds_) {
            state_ = State::Ground;
        }
        return true;
    }
    if (state_ == State::StringEscape) {
        if (byte == '\\') {
            state_ = State::Ground;
            return true;
        }
        // The ESC began a new sequence rather than ending the string.
        enter(State::Escape);
    }
    if (byte == kEsc) {
        return enter(State::Escape);
    }
    if (isControl(byte)) {
        return false;
    }
    if (byte == kDel) {
        return true;
    }
    if (byte >= 0x80) {
        // No sequence holds such a byte: it is text, and the sequence was garbage.
        return ground(byte);
    }
    switch (state_) {
        case State::Escape:
            return escape(byte);
        case State::Intermediate:
            if (byte >= 0x30) {
                state_ = State::Ground;
            }
            return true;
        case State::Csi:
            if (byte >= 0x40) {
                state_ = State::Ground;
            }
            return true;
        default:
            return true;
    }
}

}  // namespace pv
