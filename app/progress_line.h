// The line under the status line that shows, on a terminal, how far the
// running conversion step has come: the share of the bytes its input holds
// that it has read, the pace and the time left at that pace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace app {

struct StepPace {
  std::size_t number = 0;  // from 1
  std::size_t count = 0;
  std::string_view label;  // cp1252
  std::int64_t done = 0;   // bytes read since the step began
  std::int64_t input = 0;  // bytes its input holds; 0 when not known
  double seconds = 0;      // since the step began
};

// "Etapa 6/13 [#######-------------]  35%  12,3 MB/s  faltam 1:05  4.35"
// (cp1252). A step may read its input more than once: the share stays under
// 100% until the step ends. Pace and time left show "--" until they can be
// told.
std::string FormatProgressLine(const StepPace& p);

}  // namespace app
