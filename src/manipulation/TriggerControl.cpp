#include "manipulation/TriggerControl.h"

#include <algorithm>

namespace pv {

namespace {

constexpr const char* kTextTriggered = "Triggered !!!";
constexpr const char* kTextWaiting = "Waiting ...";
constexpr const char* kTextInactive = "Inactive";

}  // namespace

TriggerControl::TriggerControl(TriggerView& view, SerialPort& lineOfA, DisplayStep& display,
                               QObject* parent)
    : QObject(parent), view_(view), lineOfA_(lineOfA), display_(display) {
    // The pulse length is what the user asked for; a coarse timer could end it early.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TriggerControl::OnTriggerTimer);
}

void TriggerControl::DefineTrigger(const TriggerSettings& settings) {
    trigger_.Define(settings);
    ShowTriggerState();
}

void TriggerControl::ShowTriggerState() {
    view_.showTriggerStatus(trigger_.IsActive() ? kTextWaiting : kTextInactive);
}

TriggerResult TriggerControl::check(const uint8_t* data, int count) {
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
            lineOfA_.SetLines(output.lineDtr, output.levelHigh, output.lineRts, output.levelHigh);
            timer_.start(std::max(0, output.durationMs));
        }
    }
    if (result.waiting) {
        view_.showTriggerStatus(kTextWaiting);
    }
    return result;
}

void TriggerControl::finish(const TriggerResult& result) {
    if (result.fired) {
        display_.MarkTriggerMatch(result.patternLength, result.tailCount);
    }
    if (result.stopOutput) {
        display_.stopOutput();
    }
}

// After the pulse the line stays at the opposite of the pulse level, whatever it was before;
// the window's line check boxes are left as they are.
void TriggerControl::OnTriggerTimer() {
    timer_.stop();
    lineOfA_.SetLines(pulse_.lineDtr, !pulse_.levelHigh, pulse_.lineRts, !pulse_.levelHigh);
}

}  // namespace pv
