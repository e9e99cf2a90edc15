#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// Byte strings of the Telnet tests, written and shown as hex ("ff fb 2c") so that a failure
// reads like a capture of the wire.
namespace telnet_bytes {

using Bytes = std::vector<uint8_t>;

inline Bytes unhex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        }
        if (digit < 0) {
            continue;
        }
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    return out;
}

inline std::string hex(const uint8_t* data, size_t length) {
    std::string out;
    char digits[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, i == 0 ? "%02x" : " %02x", data[i]);
        out += digits;
    }
    return out;
}

inline std::string hex(const Bytes& bytes) {
    return hex(bytes.data(), bytes.size());
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline Bytes text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace telnet_bytes

}  // namespace pv
