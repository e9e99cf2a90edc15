#include "datapath/DisplayStep.h"

namespace pv {

namespace {

constexpr const char* kTextOutputEnable = "Enable";

}  // namespace

DisplayStep::DisplayStep(DisplayView& view, PortSide& sideA, PortSide& sideB)
    : view_(view), sideA_(sideA), sideB_(sideB) {}

void DisplayStep::DisplayBlock(Side s, const uint8_t* data, int count) {
    if (count <= 0) {
        return;
    }
    const PaneFormat format = s == Side::A ? PaneFormat::SideA : PaneFormat::SideB;
    if (outputEnabled_) {
        const RowClock& rows = formatter_.rowClock();
        const long long responses = rows.responses().count;
        formatter_.DisplayBlock(format, data, count, clockHeld_ ? heldStamp_ : clock_());
        if (rows.responses().count != responses) {
            view_.showResponseTimes(rows.responses());
        }
        view_.showBlock(s, data, count);
        if (log_ != nullptr) {
            log_->logBlock(s, data, count);
        }
    } else {
        formatter_.skipBlock(format, count);
    }
    (s == Side::A ? sideA_ : sideB_).totalShown += count;
}

void DisplayStep::holdClock(bool on) {
    clockHeld_ = on;
    if (on) {
        heldStamp_ = clock_();
    }
}

void DisplayStep::MarkTriggerMatch(int patternBytes, int trailingBytes) {
    if (outputEnabled_) {
        formatter_.MarkTriggerMatch(patternBytes, trailingBytes);
        view_.markTriggerMatch(patternBytes, trailingBytes);
    }
}

void DisplayStep::stopOutput() {
    outputEnabled_ = false;
    view_.setOutputButtonCaption(kTextOutputEnable);
    view_.outputStopped();
}

}  // namespace pv
