// printf into a std::string: the record layouts and the report lines are
// print formats.
#pragma once

#include <cstdarg>
#include <string>

namespace platform {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

}  // namespace platform
