#include "terminal/TerminalInput.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/Cp1252.h"
#include "terminal/TerminalSettings.h"

namespace pv {

namespace {

constexpr std::string_view kEchoLineEnd = "\r\n";
constexpr uint8_t kCtrlV = 0x16;
constexpr char kNotHexInput[] = "Hex Input takes only the digits 0-9 and A-F";

std::optional<uint8_t> cp1252Byte(char32_t c) {
    const uint8_t byte = unicodeToCp1252(c);
    if (byte == '?' && c != U'?') {
        return std::nullopt;
    }
    return byte;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string notIn1252(char32_t c) {
    std::string text = "\"";
    // A lone surrogate or a code point past Unicode cannot be written in UTF-8.
    appendUtf8(text, (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF ? U'\uFFFD' : c);
    char code[16];
    std::snprintf(code, sizeof code, "\" (U+%04X)", static_cast<unsigned>(c));
    return text + code + " was not sent: code page 1252 has no byte for it";
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (c & ~0x20) - 'A' + 10;
}

std::string without(std::string_view text, std::string_view chars) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (chars.find(c) == std::string_view::npos) {
            out.push_back(c);
        }
    }
    return out;
}

// The control code Ctrl gives with a character, if any.
std::optional<uint8_t> controlCode(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        return static_cast<uint8_t>(c & 0x1F);
    }
    switch (c) {
        case U'@':
        case U' ':
            return 0x00;
        case U'[':
            return 0x1B;
        case U'\\':
            return 0x1C;
        case U']':
            return 0x1D;
        case U'^':
            return 0x1E;
        case U'_':
            return 0x1F;
        case U'?':
            return 0x7F;
        default:
            return std::nullopt;
    }
}

std::string_view controlSequence(TerminalKeyKind kind) {
    switch (kind) {
        case TerminalKeyKind::Tab:
            return "\t";
        case TerminalKeyKind::Escape:
            return "\x1B";
        case TerminalKeyKind::Delete:
            return "\x1B[3~";
        case TerminalKeyKind::Home:
            return "\x1B[H";
        case TerminalKeyKind::End:
            return "\x1B[F";
        case TerminalKeyKind::PageUp:
            return "\x1B[5~";
        case TerminalKeyKind::PageDown:
            return "\x1B[6~";
        case TerminalKeyKind::Up:
            return "\x1B[A";
        case TerminalKeyKind::Down:
            return "\x1B[B";
        case TerminalKeyKind::Right:
            return "\x1B[C";
        case TerminalKeyKind::Left:
            return "\x1B[D";
        default:
            return {};
    }
}

}  // namespace

std::string_view enterEnding(int enterMode) {
    switch (enterMode) {
        case 1:
            return "\r";
        case 2:
            return "\n";
        default:
            return "\r\n";
    }
}

TerminalInput::TerminalInput(const TerminalSettings& settings, TerminalSink& sink)
    : settings_(settings), sink_(sink) {}

void TerminalInput::sendEchoed(std::string_view bytes) {
    if (settings_.termEcho) {
        sink_.echo(bytes);
    }
    sink_.sendBlock(bytes);
}

TerminalKeyOutcome TerminalInput::press(const TerminalKey& key) {
    switch (key.kind) {
        case TerminalKeyKind::Character:
            if (key.ctrl) {
                const std::optional<uint8_t> code = controlCode(key.character);
                return code ? control(*code) : TerminalKeyOutcome{};
            }
            if (key.character < 0x20 || key.character == 0x7F) {
                return control(static_cast<uint8_t>(key.character));
            }
            return character(key.character);
        case TerminalKeyKind::Backspace:
            backspace();
            return {};
        case TerminalKeyKind::Enter:
            enter();
            return {};
        case TerminalKeyKind::Insert:
            return {true, TerminalKeyAction::Paste, {}};
        case TerminalKeyKind::Function:
            if (key.function == 1) {
                return {true, TerminalKeyAction::Help, {}};
            }
            return functionKey(key.function);
        default:
            return special(key.kind);
    }
}

TerminalKeyOutcome TerminalInput::control(uint8_t code) {
    switch (code) {
        case 0x08:
            backspace();
            return {};
        case 0x09:
            return special(TerminalKeyKind::Tab);
        case 0x0D:
            enter();
            return {};
        case kCtrlV:
            // Pastes also while control keys are sent: the window has no other paste key.
            return {true, TerminalKeyAction::Paste, {}};
        case 0x1B:
            return special(TerminalKeyKind::Escape);
        default:
            break;
    }
    if (sendControlKeys_) {
        const char byte = static_cast<char>(code);
        sendEchoed(std::string_view(&byte, 1));
    }
    return {};
}

TerminalKeyOutcome TerminalInput::special(TerminalKeyKind kind) {
    if (!sendControlKeys_) {
        // Paging changes no text; the read-only text area may scroll with it.
        const bool paging = kind == TerminalKeyKind::PageUp || kind == TerminalKeyKind::PageDown;
        return {!paging, TerminalKeyAction::None, {}};
    }
    const std::string_view bytes = controlSequence(kind);
    if (!bytes.empty()) {
        sendEchoed(bytes);
    }
    return {};
}

TerminalKeyOutcome TerminalInput::character(char32_t c) {
    const std::optional<uint8_t> byte = cp1252Byte(c);
    if (!byte) {
        return {true, TerminalKeyAction::None, notIn1252(c)};
    }
    const char typed = static_cast<char>(*byte);
    if (!settings_.hexInput) {
        sendEchoed(std::string_view(&typed, 1));
        return {};
    }
    if (!isHexDigit(typed)) {
        return {true, TerminalKeyAction::None, kNotHexInput};
    }
    if (settings_.termEcho) {
        sink_.echo(std::string_view(&typed, 1));
    }
    if (pending_ == 0) {
        pending_ = typed;
        return {};
    }
    const char value = static_cast<char>(16 * hexValue(pending_) + hexValue(typed));
    pending_ = 0;
    sink_.sendBlock(std::string_view(&value, 1));
    return {};
}

void TerminalInput::backspace() {
    const bool hex = settings_.hexInput;
    if (settings_.termEcho) {
        // Without a pending digit the echo of a whole hex byte (two digits) goes.
        if (sink_.removeLastShown() == ShownRemoval::Character && hex && pending_ == 0 &&
            sink_.removeLastShown() == ShownRemoval::LineEnd) {
            sink_.removeLastShown();
        }
    }
    if (hex && pending_ != 0) {
        // No byte of a half-typed value has left, so the device has nothing to delete.
        pending_ = 0;
        return;
    }
    sink_.sendBlock("\b");
}

void TerminalInput::enter() {
    if (settings_.termEcho) {
        sink_.echo(kEchoLineEnd);
    }
    sink_.sendBlock(enterEnding(settings_.enterMode));
}

TerminalKeyOutcome TerminalInput::functionKey(int n) {
    if (n < 2 || n > 1 + TerminalSettings::kKeyCount) {
        return {};
    }
    const FunctionKeySend send = functionKeySend(settings_, n);
    if (!send.refusal.empty()) {
        return {true, TerminalKeyAction::None, send.refusal};
    }
    if (settings_.termEcho && !send.echo.empty()) {
        sink_.echo(send.echo);
    }
    for (const std::string& block : send.blocks) {
        sink_.sendBlock(block);
    }
    return {};
}

std::string TerminalInput::paste(std::u16string_view text) {
    const std::string_view ending = enterEnding(settings_.enterMode);
    std::string bytes;
    std::string shown;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c == U'\r' || c == U'\n' || c == U'\u2028' || c == U'\u2029') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            bytes.append(ending);
            shown.append(kEchoLineEnd);
            continue;
        }
        const std::optional<uint8_t> byte = cp1252Byte(c);
        if (!byte) {
            return "The paste was not sent: " + notIn1252(c);
        }
        bytes.push_back(static_cast<char>(*byte));
        shown.push_back(static_cast<char>(*byte));
    }
    if (settings_.termEcho && !shown.empty()) {
        sink_.echo(shown);
    }
    for (size_t at = 0; at < bytes.size(); at += kMaxPasteBlock) {
        sink_.sendBlock(std::string_view(bytes).substr(at, kMaxPasteBlock));
    }
    return {};
}

std::string normaliseKeyText(std::string_view text, bool hex, bool enter, int enterMode) {
    std::string result(text);
    if (hex && !result.empty()) {
        // Line ends from an earlier normalisation are not digits; they come back below.
        const std::string digits = without(result, " \r\n");
        result.clear();
        for (size_t i = 0; i + 1 < digits.size(); i += 2) {
            if (!result.empty()) {
                result.push_back(' ');
            }
            result.append(digits, i, 2);
        }
    }
    if (enter && !without(result, " \r\n").empty()) {
        result = without(result, "\r\n");
        result.append(enterEnding(enterMode));
    }
    return result;
}

std::string keyTextProblem(std::string_view text, bool hex) {
    if (!hex) {
        return {};
    }
    const std::string digits = without(text, " \r\n");
    if (std::all_of(digits.begin(), digits.end(), isHexDigit)) {
        return {};
    }
    return "\"" + cp1252ToUtf8(without(text, "\r\n")) +
           "\" is not hex text: pairs of the digits 0-9 and A-F";
}

FunctionKeySend functionKeySend(const TerminalSettings& settings, int key) {
    FunctionKeySend send;
    if (key < 2 || key > 1 + TerminalSettings::kKeyCount) {
        return send;
    }
    const auto index = static_cast<size_t>(key - 2);
    const std::string text = without(settings.fkeyTexts[index], "\r\n");
    const bool enter = settings.fkeyEnter[index];
    const std::string_view ending = enterEnding(settings.enterMode);
    if (!settings.fkeyHex) {
        if (!text.empty()) {
            send.blocks.push_back(enter ? text + std::string(ending) : text);
            send.echo = enter ? text + std::string(kEchoLineEnd) : text;
        }
        return send;
    }
    const std::string digits = without(text, " ");
    if (digits.size() < 2) {
        return send;
    }
    const std::string problem = keyTextProblem(text, true);
    if (!problem.empty()) {
        send.refusal = "F" + std::to_string(key) + ": " + problem;
        return send;
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        send.blocks.emplace_back(
            1, static_cast<char>(16 * hexValue(digits[i]) + hexValue(digits[i + 1])));
    }
    send.echo = text;
    if (enter) {
        // The ending goes as its bytes after the hex bytes rather than being read as digits.
        send.blocks.emplace_back(ending);
        send.echo.append(kEchoLineEnd);
    }
    return send;
}

}  // namespace pv
