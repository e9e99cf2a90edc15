#pragma once

#include <string>

namespace pv {

// The characters-per-second field and the status line's rate warning, updated once a second.
struct RateDisplay {
    static constexpr int kWarnAbove = 200;

    // What one tick shows.
    struct Tick {
        std::string rateText;    // "%d c/s"
        bool high = false;       // red (side A's format) rather than green
        bool setStatus = false;  // the status line changes this tick
        std::string statusText;
    };

    // One tick with n characters received in the last second. The warning blinks while the
    // output is on; with the output off, or once the rate is low again, the line is cleared.
    Tick tick(int n, bool outputEnabled);

    bool rateWarningShown = false;
    std::string statusLine;
};

extern const char* const kTextRateWarning;

}  // namespace pv
