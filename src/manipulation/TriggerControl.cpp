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
    for (PulseLine line : {kDtr, kRts}) {
        // The pulse length is what the user asked for; a coarse timer could end it early.
        QTimer& timer = pulses_[line].timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [this, line] { OnTriggerTimer(line); });
    }
}

bool TriggerControl::pulseRunning() const {
    return pulses_[kDtr].timer.isActive() || pulses_[kRts].timer.isActive();
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
            // runs on this line is lengthened.
            Pulse& pulse = pulses_[output.lineDtr ? kDtr : kRts];
            pulse.levelHigh = output.levelHigh;
            lineOfA_.SetLines(output.lineDtr, output.levelHigh, !output.lineDtr, output.levelHigh);
            pulse.timer.start(std::max(0, output.durationMs));
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
void TriggerControl::OnTriggerTimer(PulseLine line) {
    Pulse& pulse = pulses_[line];
    pulse.timer.stop();
    lineOfA_.SetLines(line == kDtr, !pulse.levelHigh, line == kRts, !pulse.levelHigh);
}

}  // namespace pv
