#pragma once

#include "app/HeadlessOptions.h"

namespace pv {

// Runs the line monitor without a window until SIGINT, SIGTERM or the duration, then stops
// both sides. Needs a QCoreApplication. Returns the process exit status.
int runHeadless(const HeadlessOptions& options);

}  // namespace pv
