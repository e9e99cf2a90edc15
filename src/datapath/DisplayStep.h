#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/Side.h"
#include "datapath/DisplayFormatter.h"
#include "ports/PortSide.h"

namespace pv {

// Where the display step shows a block besides the panes' model.
class DisplayView {
  public:
    virtual ~DisplayView() = default;
    // A block that went through the display step, in the colour of its side.
    virtual void showBlock(Side side, const uint8_t* data, int count) = 0;
    // Colours a trigger match in both panes: patternLength bytes that end bytesBehind bytes
    // before the end of what was shown last.
    virtual void markTriggerMatch(int /*patternLength*/, int /*bytesBehind*/) {}
    // The engine switched the display output; the output button's caption follows.
    virtual void setOutputButtonCaption(const std::string& /*caption*/) {}
    // The trigger switched the output off: a front end without that button says so.
    virtual void outputStopped() {}
    // A new response time was measured (side B answered side A, or the other way round).
    virtual void showResponseTimes(const ResponseTimes& /*times*/) {}
};

// Where a shown block is written down as well (the log).
class BlockLog {
  public:
    virtual ~BlockLog() = default;
    virtual void logBlock(Side side, const uint8_t* data, int count) = 0;
};

// The display step of both chains: while the output is on, a block goes into the panes' model,
// to the view and to the log; either way it counts in its side's total.
class DisplayStep {
  public:
    DisplayStep(DisplayView& view, PortSide& sideA, PortSide& sideB);

    void setLog(BlockLog* log) { log_ = log; }
    // Where the time of a block comes from while the row clock is active (tests set a fake).
    void setClock(std::function<Stamp()> clock) { clock_ = std::move(clock); }
    // While held, every block is stamped with the time the hold began: a run of blocks made in
    // one go (an upload's batch) costs one clock read, not one per block.
    void holdClock(bool on);
    void DisplayBlock(Side s, const uint8_t* data, int count);
    // Colours a trigger match (see DisplayFormatter::MarkTriggerMatch) in the model and the
    // view; nothing happens while the output is off.
    void MarkTriggerMatch(int patternBytes, int trailingBytes);
    bool outputEnabled() const { return outputEnabled_; }
    void setOutputEnabled(bool on) { outputEnabled_ = on; }
    // The output goes off by itself (a trigger asked for it): the button offers to enable it.
    void stopOutput();
    DisplayFormatter& formatter() { return formatter_; }
    // Bytes of the side that went through the display step since the last Clear.
    long long totalShown(Side s) const { return (s == Side::A ? sideA_ : sideB_).totalShown; }
    void clearTotals() { sideA_.totalShown = sideB_.totalShown = 0; }

  private:
    DisplayView& view_;
    PortSide& sideA_;
    PortSide& sideB_;
    BlockLog* log_ = nullptr;
    std::function<Stamp()> clock_ = systemStamp;
    bool clockHeld_ = false;
    Stamp heldStamp_;
    DisplayFormatter formatter_;
    bool outputEnabled_ = true;
};

}  // namespace pv
