#pragma once

#include <cstdio>
#include <string>

#include "app/HeadlessOptions.h"

namespace pv {

// Runs the line monitor without a window until SIGINT, SIGTERM or the duration, then stops
// both sides. Needs a QCoreApplication. Returns the process exit status.
int runHeadless(const HeadlessOptions& options);
// --dump-rec: the recorder file as text on out; kExitPlaybackFailed when it cannot be played.
int dumpRecorder(const std::string& path, std::FILE* out);

}  // namespace pv
