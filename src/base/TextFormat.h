#pragma once

#include <string>

namespace pv {

// printf-style formatting into a std::string, for the program's fixed message texts.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace pv
