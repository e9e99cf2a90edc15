#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/TerminalScreen.h"

namespace pv {

struct TerminalSettings;

// The largest block one paste sends; a longer paste goes out whole, in several blocks.
inline constexpr size_t kMaxPasteBlock = 1023;

// A key as the terminal's input rules see it; a front end maps its own key events onto this.
enum class TerminalKeyKind : uint8_t {
    Character,
    Backspace,
    Enter,
    Tab,
    Escape,
    Insert,
    Delete,
    Home,
    End,
    PageUp,
    PageDown,
    Up,
    Down,
    Right,
    Left,
    Function,
};

struct TerminalKey {
    TerminalKeyKind kind = TerminalKeyKind::Character;
    // Character: the code point typed. A control code (below 0x20, 0x7F) stands for its key: 0x08
    // Backspace, 0x09 Tab, 0x0D Enter, 0x16 Ctrl+V, 0x1B Escape, others Ctrl with a letter.
    char32_t character = 0;
    // Function: 1 to 12.
    int function = 0;
    // Ctrl held; with a Character, a letter or one of @ [ \ ] ^ _ ? is the control code.
    bool ctrl = false;

    bool operator==(const TerminalKey&) const = default;
};

// Where the input goes. Blocks keep the order in which they are given; one may still wait
// behind earlier ones when sendBlock returns.
class TerminalSink {
  public:
    virtual ~TerminalSink() = default;
    // One block of side B, never empty, in the order the user gave it.
    virtual void sendBlock(std::string_view bytes) = 0;
    // The local echo, shown like received bytes.
    virtual void echo(std::string_view bytes) = 0;
    // Removes the last character shown (Backspace with the local echo).
    virtual ShownRemoval removeLastShown() = 0;
};

// What the window does besides: read the clipboard and hand it to paste(), or open the help.
enum class TerminalKeyAction : uint8_t { None, Paste, Help };

struct TerminalKeyOutcome {
    // The text area must not act on the key itself.
    bool swallowed = true;
    TerminalKeyAction action = TerminalKeyAction::None;
    // Why the key sent nothing, for the user (UTF-8); empty when there is nothing to say.
    std::string refusal;
};

// The input rules of the terminal window: typed characters, Hex Input with its pending digit,
// Backspace, Enter, paste, the function keys F2 to F10 and, when asked for, control keys as
// the bytes and VT100 sequences a console expects. It reads the settings live.
class TerminalInput {
  public:
    TerminalInput(const TerminalSettings& settings, TerminalSink& sink);

    TerminalKeyOutcome press(const TerminalKey& key);
    // Clipboard text, sent as side B's input whatever Hex Input says: each line break (CR LF,
    // LF or CR) becomes the ending of "Send "Enter" as", the rest code page 1252. Text that 1252
    // cannot hold in full is not sent; the result says why. Otherwise empty.
    std::string paste(std::u16string_view text);

    // "Hex Input" changed.
    void clearPending() { pending_ = 0; }
    bool hexPending() const { return pending_ != 0; }
    // Off by default: Tab, Escape, Ctrl+letter, Delete and the cursor keys then do nothing.
    void setSendControlKeys(bool on) { sendControlKeys_ = on; }
    bool sendControlKeys() const { return sendControlKeys_; }

  private:
    TerminalKeyOutcome character(char32_t c);
    TerminalKeyOutcome control(uint8_t code);
    TerminalKeyOutcome special(TerminalKeyKind kind);
    void backspace();
    void enter();
    TerminalKeyOutcome functionKey(int n);
    void sendEchoed(std::string_view bytes);

    const TerminalSettings& settings_;
    TerminalSink& sink_;
    char pending_ = 0;
    bool sendControlKeys_ = false;
};

// The bytes "Send "Enter" as" stands for: CR LF, CR or LF.
std::string_view enterEnding(int enterMode);

// The text of a function key field after editing: with the keys' Hex Input, blanks removed and
// the rest in pairs separated by one blank (a last single character dropped, less than a pair
// makes it empty); then, with the key's "Enter" and a text, its line ends replaced by the
// current ending.
std::string normaliseKeyText(std::string_view text, bool hex, bool enter, int enterMode);

// Why a function key's text cannot be sent as it stands (UTF-8), or empty.
std::string keyTextProblem(std::string_view text, bool hex);

// What function key F2 to F10 sends: its text without line ends, as one block or, with the
// keys' Hex Input, one block per byte; then the current ending when its "Enter" is checked.
// The ending is added here, so a key sends it also before its field was normalised.
struct FunctionKeySend {
    std::vector<std::string> blocks;
    std::string echo;
    std::string refusal;
};
FunctionKeySend functionKeySend(const TerminalSettings& settings, int key);

}  // namespace pv
