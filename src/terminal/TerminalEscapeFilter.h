#pragma once

#include <cstdint>

namespace pv {

// Recognises the escape sequences a device sends to a terminal (colours, cursor moves, titles:
// ESC with intermediates and a final, CSI, OSC, DCS, SOS, PM, APC) so that the text area can hide
// them instead of showing them as garbage. One byte at a time, so a sequence may be split over
// any number of reads. It keeps only a state and a count: a sequence that runs past its limit,
// or a byte that cannot belong to one, ends it, so garbage never hides more than a bounded
// stretch and never makes it grow. Bytes 0x80 to 0x9F are characters of code page 1252 here,
// not C1 controls.
class TerminalEscapeFilter {
  public:
    // Longest ESC or CSI sequence and longest control string (OSC, DCS ...) hidden whole.
    static constexpr int kMaxSequence = 64;
    static constexpr int kMaxString = 4096;

    // True when the byte belongs to a sequence and is not to be shown. A control code inside a
    // sequence (line feed, backspace ...) is shown and acted on, as terminals do.
    bool hides(uint8_t byte);
    bool inSequence() const { return state_ != State::Ground; }
    void reset() { state_ = State::Ground; }

  private:
    enum class State : uint8_t { Ground, Escape, Intermediate, Csi, String, StringEscape };

    bool enter(State state);
    bool ground(uint8_t byte);
    bool escape(uint8_t byte);

    State state_ = State::Ground;
    bool bellEnds_ = false;  // an OSC also ends at BEL
    int length_ = 0;
};

}  // namespace pv
