#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "terminal/TerminalInput.h"

namespace pv {

// Turns what a terminal emulator writes to the program's standard input into keys for
// TerminalInput: UTF-8 characters, CR or LF as Enter (CR LF as one), DEL and BS as Backspace,
// other control codes as Ctrl with their letter, and the escape sequences of xterm, VT100 and the
// Linux console for the cursor keys, Home, End, Insert, Delete, Page Up/Down and F1 to F12.
// Unknown sequences are dropped whole. A sequence or character cut at the end of one read waits
// for the next; flush() settles what waits when no more comes (a lone ESC is the Escape key).
class TerminalKeyDecoder {
  public:
    // The longest sequence waited for; a longer one is dropped.
    static constexpr size_t kMaxSequence = 16;

    void feed(std::string_view bytes, std::vector<TerminalKey>& keys);
    void flush(std::vector<TerminalKey>& keys);
    bool waiting() const { return !pending_.empty(); }

  private:
    // Decodes pending_ from the start; returns the bytes used. With `final`, nothing waits.
    size_t decode(std::vector<TerminalKey>& keys, bool final);
    // Bytes used by the sequence at pos, 0 when it is cut off.
    size_t escape(size_t pos, std::vector<TerminalKey>& keys, bool final);
    size_t utf8(size_t pos, std::vector<TerminalKey>& keys, bool final);
    void control(uint8_t byte, std::vector<TerminalKey>& keys);

    std::string pending_;
    bool afterCr_ = false;
};

}  // namespace pv
