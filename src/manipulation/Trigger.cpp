#include "manipulation/Trigger.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

#include "base/FileNeu.h"
#include "base/TextFormat.h"

namespace pv {

namespace {

constexpr const char* kTextEnterInteger = "Enter an integer.";
constexpr const char* kTextEnterIntegerBetween = "Enter an integer between %d and %d.";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Leading blanks, an optional sign and decimal digits, saturated to 64 bits; pos is left behind
// the digits, and digits tells whether there were any.
int64_t leadingNumber(const std::string& text, size_t& pos, bool& digits) {
    pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr int64_t kLimit = int64_t{1} << 40;
    int64_t value = 0;
    digits = false;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = std::min(kLimit, value * 10 + (text[pos] - '0'));
        digits = true;
        ++pos;
    }
    return negative ? -value : value;
}

}  // namespace

std::string TriggerSettings::patternText() const {
    const auto length = static_cast<size_t>(std::clamp(patternLength, 0, kMaxTextBytes));
    return BytesToText(std::span<const uint8_t>(pattern.data(), length), asciiInput,
                       ByteTextForm::Trigger);
}

void TriggerSettings::setPatternText(const std::string& text) {
    const std::vector<uint8_t> bytes = TextToBytes(text, asciiInput, ByteTextForm::Trigger);
    pattern.fill(0);
    std::copy(bytes.begin(), bytes.end(), pattern.begin());
    patternLength = static_cast<int32_t>(bytes.size());
}

void Trigger::Define(const TriggerSettings& settings) {
    settings_ = settings;
    heldLength_ = 0;
}

void Trigger::ResetTrigger() {
    settings_.active = false;
    settings_.asciiInput = true;
    settings_.patternLength = 0;
    settings_.pattern[0] = 0;
    settings_.postscaler = 0;
    settings_.autoDeactivate = true;
    settings_.outputActive = false;
    settings_.lineDtr = true;
    settings_.lineRts = false;
    settings_.levelHigh = true;
    settings_.durationMs = 100;
}

TriggerOutput Trigger::GetOutput() const {
    return {settings_.outputActive, settings_.lineDtr, settings_.lineRts, settings_.levelHigh,
            settings_.durationMs};
}

// The held bytes and the block are scanned as one sequence without copying the block. The scan
// stops at the first position that either holds the whole pattern or a beginning of it that the
// data ends in; earlier positions failed on bytes already seen, so only the bytes from a partial
// match on can ever matter again, and those are fewer than the pattern.
TriggerResult Trigger::Check(const uint8_t* block, int n) {
    TriggerResult result;
    const int length = std::clamp(settings_.patternLength, 0, kMaxTextBytes);
    result.patternLength = length;
    if (n <= 0 || length == 0) {
        return result;
    }
    const uint8_t* pattern = settings_.pattern.data();
    const int held = heldLength_;
    const int total = held + n;
    const auto at = [&](int k) {
        return k < held ? heldBytes_[static_cast<size_t>(k)] : block[k - held];
    };

    bool found = false;
    int partialAt = -1;
    int i = 0;
    while (i < total) {
        if (i >= held) {
            // Inside the block the first byte of the pattern is found with memchr.
            const void* next =
                std::memchr(block + (i - held), pattern[0], static_cast<size_t>(total - i));
            if (next == nullptr) {
                break;
            }
            i = held + static_cast<int>(static_cast<const uint8_t*>(next) - block);
        } else if (at(i) != pattern[0]) {
            ++i;
            continue;
        }
        int j = 1;
        while (j < length && i + j < total && at(i + j) == pattern[j]) {
            ++j;
        }
        if (j == length) {
            found = true;
            break;
        }
        if (i + j == total) {
            partialAt = i;
            break;
        }
        ++i;
    }

    if (partialAt >= 0) {
        const int keep = total - partialAt;
        for (int k = 0; k < keep; ++k) {
            heldBytes_[static_cast<size_t>(k)] = at(partialAt + k);
        }
        heldLength_ = keep;
    } else {
        heldLength_ = 0;
    }

    if (found) {
        result.tailCount = total - (i + length);
        result.fired = true;
        counter_ = result.tailCount;
        counting_ = true;
        return result;
    }
    // The postscaler counts from a match: before the first one nothing re-arms, so Auto
    // Deactivate cannot switch the output off before anything happened.
    if (!counting_) {
        return result;
    }
    counter_ += n;
    if (counter_ >= settings_.postscaler) {
        counter_ = 0;
        counting_ = false;
        result.waiting = true;
        result.stopOutput = settings_.autoDeactivate;
    }
    return result;
}

bool Trigger::SaveTrigger(CFileNeu& file) const {
    const auto length = static_cast<size_t>(std::clamp(settings_.patternLength, 0, kMaxTextBytes));
    const std::vector<uint8_t> pattern = storableBytes(
        std::span<const uint8_t>(settings_.pattern.data(), length), settings_.asciiInput);
    return file.WriteFlag(settings_.active) && file.WriteFlag(settings_.asciiInput) &&
           file.WriteInt(static_cast<int32_t>(pattern.size())) &&
           file.WriteLine(BytesToText(pattern, settings_.asciiInput, ByteTextForm::Trigger)) &&
           file.WriteInt(settings_.postscaler) && file.WriteFlag(settings_.autoDeactivate);
}

bool Trigger::LoadTrigger(CFileNeu& file) {
    // The text decides the pattern and its length; the stored length is read past, so a record
    // that ends early cannot leave a length that does not fit the pattern.
    int32_t storedLength = 0;
    std::string text;
    if (!file.ReadFlag(settings_.active) || !file.ReadFlag(settings_.asciiInput) ||
        !file.ReadInt(storedLength) || !file.ReadTextLine(text)) {
        return false;
    }
    settings_.setPatternText(text);
    return file.ReadInt(settings_.postscaler) && file.ReadFlag(settings_.autoDeactivate);
}

bool Trigger::SaveTriggerOutput(CFileNeu& file) const {
    return file.WriteFlag(settings_.outputActive) && file.WriteFlag(settings_.lineDtr) &&
           file.WriteFlag(settings_.lineRts) && file.WriteFlag(settings_.levelHigh) &&
           file.WriteInt(settings_.durationMs);
}

bool Trigger::LoadTriggerOutput(CFileNeu& file) {
    return file.ReadFlag(settings_.outputActive) && file.ReadFlag(settings_.lineDtr) &&
           file.ReadFlag(settings_.lineRts) && file.ReadFlag(settings_.levelHigh) &&
           file.ReadInt(settings_.durationMs);
}

std::optional<std::string> CheckTriggerDuration(const std::string& text, int32_t& value) {
    size_t pos = 0;
    bool digits = false;
    const int64_t number = leadingNumber(text, pos, digits);
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    if (!digits || pos != text.size()) {
        return std::string(kTextEnterInteger);
    }
    if (number < TriggerDuration::kMinimum || number > TriggerDuration::kMaximum) {
        return formatText(kTextEnterIntegerBetween, TriggerDuration::kMinimum,
                          TriggerDuration::kMaximum);
    }
    value = static_cast<int32_t>(number);
    return std::nullopt;
}

int32_t postscalerValue(const std::string& text) {
    size_t pos = 0;
    bool digits = false;
    const int64_t number = leadingNumber(text, pos, digits);
    return static_cast<int32_t>(std::clamp<int64_t>(number, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace pv
