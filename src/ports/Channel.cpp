#include "ports/Channel.h"

namespace pv {

void Channel::pauseReading() {
    if (!paused_) {
        paused_ = true;
        applyReading(false);
    }
}

void Channel::resumeReading() {
    if (paused_) {
        paused_ = false;
        applyReading(true);
    }
}

}  // namespace pv
