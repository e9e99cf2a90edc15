#include "recording/LogSettings.h"

#include <algorithm>
#include <limits>

namespace pv {

namespace {

constexpr const char* kTextBytesPerRowRange = "'Bytes per Row' is limited to 1..48 !";
constexpr const char* kTextTimeoutRange = "'TimeOut Paragraph' is limited to 1..5000 ms !";
constexpr const char* kDefaultLogNamePattern = "PortaVigilant_%y%m%d_%H%M.log";

}  // namespace

int32_t atoiText(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(kLimit, value * 10 + (text[i] - '0'));
    }
    return static_cast<int32_t>(std::clamp<int64_t>(negative ? -value : value,
                                                    std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

std::vector<std::string> logSettingsProblems(const std::string& bytesPerRowText,
                                             const std::string& timeoutText) {
    std::vector<std::string> problems;
    const int32_t bytesPerRow = atoiText(bytesPerRowText);
    if (bytesPerRow < LogSettings::kMinBytesPerRow || bytesPerRow > LogSettings::kMaxBytesPerRow) {
        problems.emplace_back(kTextBytesPerRowRange);
    }
    const int32_t timeout = atoiText(timeoutText);
    if (timeout < LogSettings::kMinTimeout || timeout > LogSettings::kMaxTimeout) {
        problems.emplace_back(kTextTimeoutRange);
    }
    return problems;
}

std::string defaultLogFileName(const TimeStampMs& now) {
    return now.Format(kDefaultLogNamePattern);
}

}  // namespace pv
