#include "terminal/TerminalKeyDecoder.h"

#include <optional>

namespace pv {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr char32_t kReplacement = U'\uFFFD';

TerminalKey keyOf(TerminalKeyKind kind) {
    return TerminalKey{kind, 0, 0, false};
}

TerminalKey functionKey(int n) {
    return TerminalKey{TerminalKeyKind::Function, 0, n, false};
}

// The final letter of a cursor or SS3 sequence.
std::optional<TerminalKey> letterKey(char c) {
    switch (c) {
        case 'A':
            return keyOf(TerminalKeyKind::Up);
        case 'B':
            return keyOf(TerminalKeyKind::Down);
        case 'C':
            return keyOf(TerminalKeyKind::Right);
        case 'D':
            return keyOf(TerminalKeyKind::Left);
        case 'H':
            return keyOf(TerminalKeyKind::Home);
        case 'F':
            return keyOf(TerminalKeyKind::End);
        case 'M':
            return keyOf(TerminalKeyKind::Enter);
        case 'P':
        case 'Q':
        case 'R':
        case 'S':
            return functionKey(c - 'P' + 1);
        default:
            return std::nullopt;
    }
}

// The number of an "ESC [ n ~" sequence.
std::optional<TerminalKey> tildeKey(int n) {
    switch (n) {
        case 1:
        case 7:
            return keyOf(TerminalKeyKind::Home);
        case 2:
            return keyOf(TerminalKeyKind::Insert);
        case 3:
            return keyOf(TerminalKeyKind::Delete);
        case 4:
        case 8:
            return keyOf(TerminalKeyKind::End);
        case 5:
            return keyOf(TerminalKeyKind::PageUp);
        case 6:
            return keyOf(TerminalKeyKind::PageDown);
        default:
            break;
    }
    if (n >= 11 && n <= 15) {
        return functionKey(n - 10);
    }
    if (n >= 17 && n <= 21) {
        return functionKey(n - 11);
    }
    if (n == 23 || n == 24) {
        return functionKey(n - 12);
    }
    return std::nullopt;
}

void add(std::vector<TerminalKey>& keys, std::optional<TerminalKey> key) {
    if (key) {
        keys.push_back(*key);
    }
}

}  // namespace

void TerminalKeyDecoder::feed(std::string_view bytes, std::vector<TerminalKey>& keys) {
    pending_.append(bytes);
    pending_.erase(0, decode(keys, false));
}

void TerminalKeyDecoder::flush(std::vector<TerminalKey>& keys) {
    decode(keys, true);
    pending_.clear();
}

size_t TerminalKeyDecoder::decode(std::vector<TerminalKey>& keys, bool final) {
    size_t pos = 0;
    while (pos < pending_.size()) {
        const auto byte = static_cast<uint8_t>(pending_[pos]);
        if (byte == '\n' && afterCr_) {
            afterCr_ = false;
            ++pos;
            continue;
        }
        afterCr_ = byte == '\r';
        size_t used = 1;
        if (byte == kEsc) {
            used = escape(pos, keys, final);
        } else if (byte >= 0x80) {
            used = utf8(pos, keys, final);
        } else if (byte < 0x20 || byte == 0x7F) {
            control(byte, keys);
        } else {
            keys.push_back(TerminalKey{TerminalKeyKind::Character, byte, 0, false});
        }
        if (used == 0) {
            break;
        }
        pos += used;
    }
    return pos;
}

void TerminalKeyDecoder::control(uint8_t byte, std::vector<TerminalKey>& keys) {
    switch (byte) {
        case '\r':
        case '\n':
            keys.push_back(keyOf(TerminalKeyKind::Enter));
            return;
        case 0x08:
        case 0x7F:
            keys.push_back(keyOf(TerminalKeyKind::Backspace));
            return;
        case '\t':
            keys.push_back(keyOf(TerminalKeyKind::Tab));
            return;
        default:
            break;
    }
    // 0x00 is Ctrl+@, 0x01 to 0x1A Ctrl+A to Ctrl+Z, 0x1C to 0x1F Ctrl+\ ] ^ _.
    const char32_t letter = byte == 0 ? U'@' : static_cast<char32_t>('@' + byte);
    keys.push_back(TerminalKey{TerminalKeyKind::Character, letter, 0, true});
}

size_t TerminalKeyDecoder::escape(size_t pos, std::vector<TerminalKey>& keys, bool final) {
    const size_t available = pending_.size() - pos;
    const char introducer = available > 1 ? pending_[pos + 1] : '\0';
    const bool csi = introducer == '[';
    const bool ss3 = introducer == 'O';
    if (available == 1 || (!csi && !ss3)) {
        if (available == 1 && !final) {
            return 0;
        }
        // A lone ESC, or ESC before a key (Alt with it): the Escape key, then that key.
        keys.push_back(keyOf(TerminalKeyKind::Escape));
        return 1;
    }
    size_t end = pos + 2;
    if (csi && end < pending_.size() && pending_[end] == '[') {
        ++end;  // Linux console F1 to F5: ESC [ [ A to E
    }
    while (end < pending_.size() && csi) {
        const auto c = static_cast<uint8_t>(pending_[end]);
        if (c < 0x20 || c > 0x3F) {
            break;
        }
        if (++end - pos >= kMaxSequence) {
            return end - pos;  // too long for a key: dropped, wherever the reads were cut
        }
    }
    if (end >= pending_.size()) {
        if (!final) {
            return 0;
        }
        keys.push_back(keyOf(TerminalKeyKind::Escape));
        return 1;
    }
    const char last = pending_[end];
    const auto lastByte = static_cast<uint8_t>(last);
    if (lastByte < 0x40 || lastByte > 0x7E) {
        // Not a sequence: drop what was read of it and take the byte as it comes.
        return end - pos;
    }
    const std::string_view body(pending_.data() + pos + 2, end - pos - 2);
    if (ss3) {
        add(keys, letterKey(last));
    } else if (!body.empty() && body[0] == '[') {
        if (last >= 'A' && last <= 'E') {
            keys.push_back(functionKey(last - 'A' + 1));
        }
    } else if (last == '~') {
        int n = 0;
        for (size_t i = 0; i < body.size() && body[i] >= '0' && body[i] <= '9' && n < 1000; ++i) {
            n = 10 * n + (body[i] - '0');
        }
        add(keys, tildeKey(n));
    } else if (last != 'M') {
        // Modifiers ("1;5A") do not change the key; a CSI M is a mouse report, no key.
        add(keys, letterKey(last));
    }
    return end - pos + 1;
}

size_t TerminalKeyDecoder::utf8(size_t pos, std::vector<TerminalKey>& keys, bool final) {
    const auto lead = static_cast<uint8_t>(pending_[pos]);
    size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        minimum = 0x10000;
    }
    const auto invalid = [&keys] {
        keys.push_back(TerminalKey{TerminalKeyKind::Character, kReplacement, 0, false});
        return size_t{1};
    };
    if (length == 0) {
        return invalid();
    }
    for (size_t k = 1; k < length; ++k) {
        if (pos + k >= pending_.size()) {
            return final ? invalid() : 0;
        }
        const auto next = static_cast<uint8_t>(pending_[pos + k]);
        if ((next & 0xC0) != 0x80) {
            return invalid();
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return invalid();
    }
    keys.push_back(TerminalKey{TerminalKeyKind::Character, c, 0, false});
    return length;
}

}  // namespace pv
