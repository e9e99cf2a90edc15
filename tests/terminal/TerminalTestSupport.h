#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/TerminalInput.h"
#include "terminal/TerminalScreen.h"

namespace pv::test {

inline std::string utf8(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Keys written as text: every character is typed as it is, except names in angle brackets:
// <BS> <CR> <TAB> <ESC> <INS> <DEL> <HOME> <END> <PGUP> <PGDN> <UP> <DOWN> <RIGHT> <LEFT>,
// <F1> to <F12>, and <^X> for Ctrl with the character X.
inline std::vector<TerminalKey> keys(std::string_view text) {
    static const std::map<std::string, TerminalKeyKind, std::less<>> named = {
        {"BS", TerminalKeyKind::Backspace}, {"CR", TerminalKeyKind::Enter},
        {"TAB", TerminalKeyKind::Tab},      {"ESC", TerminalKeyKind::Escape},
        {"INS", TerminalKeyKind::Insert},   {"DEL", TerminalKeyKind::Delete},
        {"HOME", TerminalKeyKind::Home},    {"END", TerminalKeyKind::End},
        {"PGUP", TerminalKeyKind::PageUp},  {"PGDN", TerminalKeyKind::PageDown},
        {"UP", TerminalKeyKind::Up},        {"DOWN", TerminalKeyKind::Down},
        {"RIGHT", TerminalKeyKind::Right},  {"LEFT", TerminalKeyKind::Left},
    };
    std::vector<TerminalKey> out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t close = text.find('>', i + 1);
        if (text[i] != '<' || close == std::string_view::npos || close == i + 1) {
            out.push_back({TerminalKeyKind::Character, static_cast<unsigned char>(text[i])});
            continue;
        }
        const std::string_view name = text.substr(i + 1, close - i - 1);
        i = close;
        if (name[0] == '^') {
            out.push_back({TerminalKeyKind::Character, static_cast<char32_t>(name[1]), 0, true});
        } else if (name[0] == 'F') {
            out.push_back({TerminalKeyKind::Function, 0, std::stoi(std::string(name.substr(1)))});
        } else {
            out.push_back({named.find(name)->second});
        }
    }
    return out;
}

// Sends recorded block by block; the echo goes to a real screen, as in the window.
struct RecordingSink : TerminalSink {
    std::vector<std::string> sent;
    TerminalScreen screen;

    void sendBlock(std::string_view bytes) override { sent.emplace_back(bytes); }
    void echo(std::string_view bytes) override { screen.show(bytes); }
    ShownRemoval removeLastShown() override { return screen.removeLast(); }
    std::string shown() const { return utf8(screen.text()); }
};

}  // namespace pv::test
