#include "app/progress_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/numbers.h"

namespace app {

namespace {

constexpr int kBarWidth = 20;
// Under this the pace is mostly the start of the step: no pace is told.
constexpr double kLeastSeconds = 0.5;
// Beyond this a time left is no help.
constexpr double kMostSecondsLeft = 100.0 * 3600;

std::string Duration(double seconds) {
  const long s = std::lround(std::ceil(seconds));
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

}  // namespace

std::string FormatProgressLine(const StepPace& p) {
  const bool known = p.input > 0;
  int percent = 0;
  if (known) {
    percent = static_cast<int>(std::min<std::int64_t>(99, std::max<std::int64_t>(0, p.done) * 100 / p.input));
  }
  const int filled = percent * kBarWidth / 100;
  char head[64];
  std::snprintf(head, sizeof head, "Etapa %zu/%zu [%s%s] ", p.number, p.count,
                std::string(static_cast<std::size_t>(filled), '#').c_str(),
                std::string(static_cast<std::size_t>(kBarWidth - filled), '-').c_str());
  std::string line = head;
  if (!known) {
    line += "--%";
  } else {
    if (percent < 10) line += ' ';
    line += std::to_string(percent);
    line += '%';
  }

  const double rate = p.seconds >= kLeastSeconds && p.done > 0 ? static_cast<double>(p.done) / p.seconds : 0;
  line += "  ";
  line += rate > 0 ? text::FormatNumber(rate / 1e6, 1) : std::string("--");
  line += " MB/s";

  std::string left = "--";
  if (rate > 0 && known && p.done < p.input) {
    const double seconds = static_cast<double>(p.input - p.done) / rate;
    if (seconds < kMostSecondsLeft) left = Duration(seconds);
  }
  line += "  faltam ";
  line += left;
  line += "  ";
  line += p.label;
  return line;
}

}  // namespace app
