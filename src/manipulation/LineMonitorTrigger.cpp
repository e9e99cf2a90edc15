// The trigger's part of LineMonitor: the check in the A to B chain, the status texts, the pulse
// on side A's DTR or RTS line and the switching off of the display output.

#include <algorithm>

#include "datapath/LineMonitor.h"

namespace pv {

namespace {

constexpr const char* kTextTriggered = "Triggered !!!";
constexpr const char* kTextWaiting = "Waiting ...";
constexpr const char* kTextInactive = "Inactive";
constexpr const char* kTextOutputEnable = "Enable";

}  // namespace

void LineMonitor::initTrigger() {
    // The pulse length is what the user asked for; a coarse timer could end it early.
    triggerTimer_.setTimerType(Qt::PreciseTimer);
    triggerTimer_.setSingleShot(true);
    connect(&triggerTimer_, &QTimer::timeout, this, &LineMonitor::OnTriggerTimer);
}

void LineMonitor::DefineTrigger(const TriggerSettings& settings) {
    trigger_.Define(settings);
    ShowTriggerState();
}

void LineMonitor::ShowTriggerState() {
    view_.showTriggerStatus(trigger_.IsActive() ? kTextWaiting : kTextInactive);
}

TriggerResult LineMonitor::checkTrigger(const uint8_t* data, int count) {
    if (!trigger_.IsActive()) {
        return {};
    }
    const TriggerResult result = trigger_.Check(data, count);
    if (result.fired) {
        view_.showTriggerStatus(kTextTriggered);
        const TriggerOutput output = trigger_.GetOutput();
        if (output.outputActive) {
            // Only the selected line changes; the other keeps what the user set. A pulse that
            // runs is lengthened, and it ends on the line it began on even if the definition
            // changes meanwhile.
            pulse_ = output;
            sideA_.port.SetLines(output.lineDtr, output.levelHigh, output.lineRts,
                                 output.levelHigh);
            triggerTimer_.start(std::max(0, output.durationMs));
        }
    }
    if (result.waiting) {
        view_.showTriggerStatus(kTextWaiting);
    }
    return result;
}

void LineMonitor::finishTrigger(const TriggerResult& result) {
    if (result.fired && outputEnabled_) {
        MarkTriggerMatch(result.patternLength, result.tailCount);
        view_.markTriggerMatch(result.patternLength, result.tailCount);
    }
    if (result.stopOutput) {
        outputEnabled_ = false;
        view_.setOutputButtonCaption(kTextOutputEnable);
    }
}

// After the pulse the line stays at the opposite of the pulse level, whatever it was before;
// the window's line check boxes are left as they are.
void LineMonitor::OnTriggerTimer() {
    triggerTimer_.stop();
    sideA_.port.SetLines(pulse_.lineDtr, !pulse_.levelHigh, pulse_.lineRts, !pulse_.levelHigh);
}

}  // namespace pv
