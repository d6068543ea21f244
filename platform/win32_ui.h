// What the Windows dialog of app/ takes from platform/ (Windows builds only):
// the program keeps its text in code page 1252, the Win32 W calls take UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring Cp1252ToUtf16(std::string_view text);

}  // namespace platform
