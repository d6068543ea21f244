// Shared between the Win32 files, streams and console: the program's text is
// code page 1252, the Win32 calls take UTF-16.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::win {

std::wstring Wide(std::string_view cp1252);
std::string Narrow(std::wstring_view utf16);
// The host path of the path text as UTF-16, for the W calls; nullopt when
// the path cannot be resolved.
std::optional<std::wstring> WidePath(std::string_view path);

}  // namespace platform::win
