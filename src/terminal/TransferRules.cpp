#include "terminal/TransferRules.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "base/TextFormat.h"
#include "terminal/TerminalSettings.h"

namespace pv {

namespace {

constexpr const char* kTextBytesAbove = "Max. number of Bytes for Delay Raw File Upload = 1023!";
constexpr const char* kTextBytesBelow = "Min. number of Bytes for Delay Raw File Upload = 1!";
constexpr const char* kTextMsAbove = "Max. Delay Raw File Upload = 5000 ms!";
constexpr const char* kTextMsBelow = "Min. Delay Raw File Upload = 1 ms!";

int clamped(long long value, int low, int high) {
    return static_cast<int>(std::clamp<long long>(value, low, high));
}

std::string humanBytes(double bytes) {
    if (bytes >= 1024.0 * 1024.0) {
        return formatText("%.1f MiB", bytes / (1024.0 * 1024.0));
    }
    if (bytes >= 1024.0) {
        return formatText("%.1f KiB", bytes / 1024.0);
    }
    return formatText("%.0f bytes", bytes);
}

}  // namespace

long long decimalValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kLimit = std::numeric_limits<int>::max();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(kLimit, value * 10 + (text[i] - '0'));
    }
    return negative ? -value : value;
}

std::vector<DelayCorrection> correctDelayFields(std::string& msText, std::string& bytesText) {
    using Field = DelayCorrection::Field;
    std::vector<DelayCorrection> out;
    const auto correct = [&out](Field field, std::string& text, const char* value,
                                const char* message) {
        text = value;
        out.push_back({field, value, message});
    };
    const long long bytes = decimalValue(bytesText);
    if (bytes > kMaxBlockBytes) {
        correct(Field::Bytes, bytesText, "1023", kTextBytesAbove);
    } else if (bytes < kMinBlockBytes) {
        correct(Field::Bytes, bytesText, "1", kTextBytesBelow);
    }
    const long long ms = decimalValue(msText);
    if (ms > kMaxPauseMs) {
        correct(Field::Ms, msText, "5000", kTextMsAbove);
    } else if (ms < kMinPauseMs) {
        correct(Field::Ms, msText, "1", kTextMsBelow);
    }
    return out;
}

UploadPacing uploadPacing(const TerminalSettings& settings) {
    UploadPacing pacing;
    pacing.paced = settings.delayOn;
    pacing.pauseMs = clamped(decimalValue(settings.delayMsText), kMinPauseMs, kMaxPauseMs);
    pacing.blockBytes =
        clamped(decimalValue(settings.delayBytesText), kMinBlockBytes, kMaxBlockBytes);
    pacing.linePauseMs = clamped(settings.linePauseMs, 0, kMaxLinePauseMs);
    pacing.waitFor =
        settings.waitForText.empty() ? -1 : static_cast<uint8_t>(settings.waitForText.front());
    pacing.waitTimeoutMs = clamped(settings.waitTimeoutMs, kMinWaitTimeoutMs, kMaxWaitTimeoutMs);
    return pacing;
}

size_t nextBlockLength(const UploadPacing& pacing, std::span<const uint8_t> available) {
    const size_t length = std::min(available.size(), static_cast<size_t>(pacing.blockSize()));
    if (!pacing.byLines()) {
        return length;
    }
    const void* lineFeed = std::memchr(available.data(), '\n', length);
    return lineFeed == nullptr
               ? length
               : static_cast<size_t>(static_cast<const uint8_t*>(lineFeed) - available.data()) + 1;
}

std::string uploadProgressText(long long left, long long total, double seconds) {
    std::string text = formatText("%lld of %lld bytes sent", left, total);
    if (seconds <= 0 || left <= 0) {
        return text;
    }
    const double rate = static_cast<double>(left) / seconds;
    text += ", " + humanBytes(rate) + "/s";
    if (left < total) {
        const long long rest =
            static_cast<long long>(static_cast<double>(total - left) / rate + 0.5);
        text += formatText(", %lld:%02lld left", rest / 60, rest % 60);
    }
    return text;
}

}  // namespace pv
