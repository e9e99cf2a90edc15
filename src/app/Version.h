#pragma once

// The program's version, kept once: the splash, the About box, the log and parameter file headers
// and the update check all show or compare this text.
constexpr const char* kVersion = "6.01";
