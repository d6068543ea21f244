// The conversion log CONV.DAT: one line "id\r\n" for every piece of work that
// leaves no other sign of having run ("530", "543", "544", "559").
#pragma once

#include <string_view>

namespace steps {

// 1 when a line of CONV.DAT begins with the id (letter case ignored), else 0.
int ConvDone(std::string_view id);
// Logs the id: 1 when it was logged already (nothing changes), else appends
// the line and returns 0 (also when the append fails).
int ConvMark(std::string_view id);

}  // namespace steps
