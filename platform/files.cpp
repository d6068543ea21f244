// The parts of the file system interface that are the same on every system:
// path text rules, drive C:, the current folder as the program shows it, the
// order of a search. What only the system can tell comes from os.h.
#include "platform/files.h"

#include <algorithm>
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

struct Drive {
  std::string given;     // as set
  std::string absolute;  // absolute host form used to build paths
};

std::string AbsoluteOf(const std::string& given) {
  return given.empty() ? std::string() : detail::AbsoluteDriveFolder(given);
}

Drive& DriveState() {
  static Drive d = [] {
    Drive init;
    if (const char* e = std::getenv("VEKCONV_DRIVE_C")) {
      init.given = e;
      init.absolute = AbsoluteOf(init.given);
    }
    return init;
  }();
  return d;
}

}  // namespace

// ---- path text -----------------------------------------------------------

std::string_view detail::TrimComponent(std::string_view part) {
  if (part == "." || part == "..") return part;
  while (!part.empty() && (part.back() == ' ' || part.back() == '.')) part.remove_suffix(1);
  return part;
}

std::vector<std::string_view> detail::SplitNames(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t j = i;
    while (j < text.size() && !IsSep(text[j])) ++j;
    std::string_view part = TrimComponent(text.substr(i, j - i));
    if (!part.empty()) parts.push_back(part);
    i = j + 1;
  }
  return parts;
}

// ---- drives and the current folder -------------------------------------

bool detail::DriveCMapped() { return !DriveState().given.empty(); }

const std::string& detail::DriveCFolder() { return DriveState().absolute; }

void SetDriveC(std::string host_folder) {
  Drive& d = DriveState();
  d.absolute = AbsoluteOf(host_folder);
  d.given = std::move(host_folder);
}

const std::string& DriveC() { return DriveState().given; }

std::string CurrentFolder() {
  std::string cwd;
  std::optional<std::string> rel = detail::CwdInsideDriveC(&cwd);
  if (!rel) return detail::AsProgramText(cwd);
  std::string out = "C:\\" + *rel;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

char CurrentDrive() {
  if (!detail::DriveCMapped()) return detail::HostCurrentDrive();
  return detail::CwdInsideDriveC(nullptr) ? 'C' : 0;
}

// ---- queries and directory search ----------------------------------------

bool IsReadOnly(std::string_view path) {
  std::optional<unsigned> a = Attributes(path);
  return a && (*a & kAttrReadOnly);
}

std::vector<FindEntry> FindFiles(std::string_view pattern) {
  const auto [folder_text, pat] = detail::SplitPattern(pattern);
  if (pat.empty()) return {};
  std::optional<std::string> folder = HostPath(folder_text);
  if (!folder) return {};
  const bool one_name = pat.find_first_of("*?") == std::string_view::npos && pat != "." && pat != "..";
  std::vector<FindEntry> out = detail::FindInFolder(*folder, pat, one_name);
  std::sort(out.begin(), out.end(), [](const FindEntry& a, const FindEntry& b) {
    int c = detail::CompareFolded(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
  });
  return out;
}

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
