#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "datapath/RowClock.h"
#include "recording/TimeStampMs.h"

namespace pv {

struct SymbolTables;

enum class LogMode : int32_t { SingleHex = 0, PlainAscii = 1, Complex = 2 };
enum class LogContent : int32_t { AsciiOnly = 0, Both = 1, HexOnly = 2 };

// The logging options; the parameter file stores the fields in this order. The defaults are the
// main window's.
struct LogSettings {
    static constexpr int32_t kMinBytesPerRow = 1;
    static constexpr int32_t kMaxBytesPerRow = 48;
    static constexpr int32_t kMinTimeout = 1;
    static constexpr int32_t kMaxTimeout = 5000;

    bool enabled = true;
    LogMode mode = LogMode::Complex;
    LogContent content = LogContent::Both;
    bool paragraph = true;
    bool singleLine = false;
    bool portNames = true;
    bool timestamp = true;
    bool asciiSymbols = true;
    bool hexSymbols = true;
    int32_t bytesPerRow = 16;
    bool timeoutParagraph = false;
    int32_t timeout = 100;  // ms
    bool usePortNumber = true;
    std::string nameA;
    std::string nameB;
    bool logA = true;
    bool logB = true;
    bool milliseconds = false;
    // Time columns in the single hex lines and the complex rows; off gives the classic forms.
    TimeColumn timeColumn = TimeColumn::Off;
    // The display's symbol tables; not edited, not stored. None: the default tables.
    const SymbolTables* symbols = nullptr;

    bool operator==(const LogSettings&) const = default;
};

// atoi as the dialog reads its edits: leading blanks, a sign, digits; 0 for no number; clamped
// to the int32 range instead of overflowing.
int32_t atoiText(const std::string& text);

// The checks of "OK" in the logging options: the messages to show, in order; none when both
// texts are in range.
std::vector<std::string> logSettingsProblems(const std::string& bytesPerRowText,
                                             const std::string& timeoutText);

// "PortaVigilant_YYMMDD_HHMM.log" for the given local time.
std::string defaultLogFileName(const TimeStampMs& now);

}  // namespace pv
