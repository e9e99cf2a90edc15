#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "manipulation/ByteText.h"

namespace pv {

class CFileNeu;

// What the user defined for the trigger. Exactly one of lineDtr and lineRts is on.
struct TriggerSettings {
    bool active = false;
    bool asciiInput = true;
    int32_t patternLength = 0;
    std::array<uint8_t, kMaxTextBytes> pattern{};
    // Bytes that must follow the pattern before the trigger re-arms.
    int32_t postscaler = 0;
    // Switch the display output off when the trigger re-arms.
    bool autoDeactivate = true;
    bool outputActive = false;
    bool lineDtr = true;
    bool lineRts = false;
    bool levelHigh = true;
    int32_t durationMs = 100;

    // The pattern as the definition dialog and the parameter file write it.
    std::string patternText() const;
    // Takes pattern and patternLength from a typed or stored text; the bytes behind the
    // pattern are kept zero, so equal settings compare equal.
    void setPatternText(const std::string& text);

    bool operator==(const TriggerSettings&) const = default;
};

// The pulse the trigger asks for when it fires.
struct TriggerOutput {
    bool outputActive = false;
    bool lineDtr = true;
    bool lineRts = false;
    bool levelHigh = true;
    int32_t durationMs = 100;

    bool operator==(const TriggerOutput&) const = default;
};

// The results of one check, for the block being processed.
struct TriggerResult {
    bool fired = false;
    // The trigger re-armed.
    bool waiting = false;
    // Switch the display output off ("Auto Deactivate").
    bool stopOutput = false;
    int patternLength = 0;
    // Bytes of the block behind the last byte of the pattern.
    int tailCount = 0;
};

// Watches the bytes received on side A for the pattern. A pattern split across blocks is found:
// the bytes at the end of a block that may begin the pattern are held until the next block.
class Trigger {
  public:
    // Only what can still begin the pattern is held, so never more than this.
    static constexpr int kHeldCapacity = kMaxTextBytes - 1;

    const TriggerSettings& settings() const { return settings_; }
    // The dialog's "OK": new settings, and nothing held from the old pattern.
    void Define(const TriggerSettings& settings);

    // Armed with a pattern; an empty pattern never fires.
    bool IsActive() const { return settings_.active && settings_.patternLength > 0; }
    TriggerResult Check(const uint8_t* block, int n);
    TriggerOutput GetOutput() const;
    // The values the parameter file starts from before it reads the trigger.
    void ResetTrigger();

    // The two parameter file records. The readers stop at the first value that cannot be read
    // and return false; what was read before it is kept.
    bool SaveTrigger(CFileNeu& file) const;
    bool LoadTrigger(CFileNeu& file);
    bool SaveTriggerOutput(CFileNeu& file) const;
    bool LoadTriggerOutput(CFileNeu& file);

    int heldLength() const { return heldLength_; }
    bool counting() const { return counting_; }
    int64_t counter() const { return counter_; }

  private:
    TriggerSettings settings_;
    std::array<uint8_t, kHeldCapacity> heldBytes_{};
    int heldLength_ = 0;
    bool counting_ = false;
    int64_t counter_ = 0;
};

namespace TriggerDuration {
constexpr int32_t kMinimum = 10;
constexpr int32_t kMaximum = 10000;
}  // namespace TriggerDuration

// The duration check of the dialog's "OK": the message to show, or nothing when the text holds
// an integer in range, which is then stored in value.
std::optional<std::string> CheckTriggerDuration(const std::string& text, int32_t& value);

// The postscaler of the dialog's text: its leading decimal number, 0 when there is none.
int32_t postscalerValue(const std::string& text);

}  // namespace pv
