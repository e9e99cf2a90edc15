#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

struct TerminalSettings;

// Limits of an upload's pacing. The upload reads into a buffer of 1024 bytes, so a block is
// at most 1023 bytes long.
constexpr int kUnpacedBlockBytes = 128;
constexpr int kMinBlockBytes = 1;
constexpr int kMaxBlockBytes = 1023;
constexpr int kMinPauseMs = 1;
constexpr int kMaxPauseMs = 5000;
constexpr int kMaxLinePauseMs = 5000;
constexpr int kMinWaitTimeoutMs = 1;
constexpr int kMaxWaitTimeoutMs = 60000;
constexpr int kDefaultWaitTimeoutMs = 2000;

// A decimal number as the delay fields read it: leading blanks, a sign and the digits that
// follow; text that is no number counts as 0, and the value saturates instead of wrapping.
long long decimalValue(std::string_view text);

// One correction of the delay fields: the field gets `text`, then the user reads `message`.
struct DelayCorrection {
    enum class Field { Bytes, Ms };
    Field field;
    std::string text;
    std::string message;
    bool operator==(const DelayCorrection&) const = default;
};

// Checks "ms every" and "bytes" in their fixed order (bytes above, bytes below, ms above, ms
// below), corrects the texts in place and returns the corrections made, in that order.
std::vector<DelayCorrection> correctDelayFields(std::string& msText, std::string& bytesText);

// How an upload is paced, taken from the settings when it starts, every value within its
// limits whatever the parameter file held.
struct UploadPacing {
    bool paced = false;  // "Delay:": blockBytes bytes, then pauseMs
    int pauseMs = 10;
    int blockBytes = 1;
    int linePauseMs = 0;  // pause after each line; 0: none
    int waitFor = -1;     // after each line, wait for this byte from side A; -1: don't
    int waitTimeoutMs = kDefaultWaitTimeoutMs;

    bool byLines() const { return linePauseMs > 0 || waitFor >= 0; }
    int blockSize() const { return paced ? blockBytes : kUnpacedBlockBytes; }
    bool operator==(const UploadPacing&) const = default;
};

UploadPacing uploadPacing(const TerminalSettings& settings);

// The length of the next block cut from the bytes at hand: the block size, or less at the end
// of what is at hand or, when pacing by lines, just after the first line feed.
size_t nextBlockLength(const UploadPacing& pacing, std::span<const uint8_t> available);

// What the progress line of an upload says: bytes that have left of the total, the rate over
// the time so far and the time still needed at that rate.
std::string uploadProgressText(long long left, long long total, double seconds);

}  // namespace pv
