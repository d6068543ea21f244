// The parts of the file system interface that need no system call.
#include "platform/files.h"

#include <cstdio>
#include <cstdlib>

#include "platform/fold.h"
#include "platform/os.h"

namespace platform {
namespace {

using detail::Fold;

std::optional<Date>& TodayOverride() {
  static std::optional<Date> d;
  return d;
}

thread_local SystemError g_last_error;

std::optional<std::string>& TempFolderOverride() {
  static std::optional<std::string> folder;
  return folder;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Greedy match that remembers only the last '*': quadratic at worst, never
  // exponential.
  std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

const SystemError& LastError() { return g_last_error; }

void ClearLastError() { g_last_error = SystemError(); }

void detail::NoteError(SystemError error) {
  if (IsRealError(g_last_error)) return;
  g_last_error = std::move(error);
}

Date Today() {
  if (TodayOverride()) return *TodayOverride();
  if (const char* e = std::getenv("VEKCONV_TODAY")) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(e, "%4d-%2d-%2d%c", &y, &m, &d, &tail) == 3 && y >= 1 && m >= 1 && m <= 12 &&
        d >= 1 && d <= 31)
      return Date{y, m, d};
  }
  return detail::SystemToday();
}

void SetToday(std::optional<Date> date) { TodayOverride() = date; }

std::pair<std::string, std::string_view> detail::SplitPattern(std::string_view pattern) {
  std::size_t cut = pattern.find_last_of("\\/");
  if (cut != std::string_view::npos) return {std::string(pattern.substr(0, cut + 1)), pattern.substr(cut + 1)};
  if (pattern.size() >= 2 && pattern[1] == ':') return {std::string(pattern.substr(0, 2)), pattern.substr(2)};
  return {".", pattern};
}

std::string TempFolder() { return TempFolderOverride() ? *TempFolderOverride() : detail::SystemTempFolder(); }

void SetTempFolder(std::optional<std::string> folder) { TempFolderOverride() = std::move(folder); }

}  // namespace platform
