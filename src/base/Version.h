#pragma once

namespace pv {

// The program's version, kept once: the splash, the About box, the log and parameter file headers
// and the update check all show or compare this text.
inline constexpr const char* kVersion = "6.01";
// Where users find more about the program; the log header names it. There is no web page yet.
inline constexpr const char* kProductWebPage = "the README.md of the PortaVigilant sources";

}  // namespace pv
