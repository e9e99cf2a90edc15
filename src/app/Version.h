#pragma once

// The program's version as the log header, the parameter file and the About box show it.
inline constexpr const char* kProgramVersion = "6.01";
// Where users find more about the program; the log header names it.
inline constexpr const char* kProductWebPage = "https://github.com/portavigilant/portavigilant";
