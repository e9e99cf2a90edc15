#include "app/RateDisplay.h"

#include "base/TextFormat.h"

namespace pv {

const char* const kTextRateWarning =
    "Characters per second too high! Risk of data loss! Disable output fields!!!";

RateDisplay::Tick RateDisplay::tick(int n, bool outputEnabled) {
    Tick result;
    result.high = n > kWarnAbove;
    if (result.high && outputEnabled) {
        statusLine = rateWarningShown ? std::string() : std::string(kTextRateWarning);
        rateWarningShown = !rateWarningShown;
        result.setStatus = true;
    } else if (!statusLine.empty()) {
        statusLine.clear();
        result.setStatus = true;
    }
    result.statusText = statusLine;
    result.rateText = formatText("%d c/s", n);
    return result;
}

}  // namespace pv
