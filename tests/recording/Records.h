#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "recording/RecorderFile.h"

namespace pv {

// The bytes of a recorder file holding these records: {pause in ms, byte}.
inline std::string recordsOf(std::initializer_list<std::pair<uint32_t, uint8_t>> records) {
    std::string out;
    for (const auto& [delayMs, byte] : records) {
        appendRecord(out, delayMs, byte);
    }
    return out;
}

// The bytes recorded in a recorder file's contents, in order; trailing bytes left out.
inline std::vector<uint8_t> recordedBytes(const std::string& contents) {
    std::vector<uint8_t> bytes;
    for (size_t at = 0; at + kRecordSize <= contents.size(); at += kRecordSize) {
        bytes.push_back(static_cast<uint8_t>(contents[at + kRecordSize - 1]));
    }
    return bytes;
}

}  // namespace pv
