#include "store/housekeeping.h"

#include <array>
#include <cstdio>

#include "platform/files.h"
#include "store/changes.h"
#include "store/open.h"
#include "text/fields.h"

namespace store {

namespace {

constexpr std::size_t kLongestTempFolder = 155;
constexpr char kFallbackTemp[] = "C:\\Temp\\";
constexpr long kNumberLimit = 999'999'999;

std::string Numbered(std::string_view name, int attempt) {
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, ".%03d", attempt);
  return std::string(name) + suffix;
}

// Renames under the plain name, then .001 to .100; false when all are taken.
bool MoveNumbered(std::string_view from, std::string_view to) {
  if (MoveFile(from, to)) return true;
  for (int i = 1; i <= kLastNumberedName; ++i) {
    if (MoveFile(from, Numbered(to, i))) return true;
  }
  return false;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }


}  // namespace

std::string TemporaryFolder() {
  std::string temp = platform::TempFolder();
  if (temp.empty() || temp.size() > kLongestTempFolder) {
    CreateFolder("C:\\Temp");
    return kFallbackTemp;
  }
  if (!IsSeparator(temp.back())) temp += '\\';
  return temp;
}

void TransferFolder(std::string_view source, std::string_view destination, int mode) {
  if (mode == kTransferMove && MoveFile(source, destination)) return;
  const std::string src(source);
  const std::string dst(destination);
  for (const platform::FindEntry& entry : FindFiles(src + "\\*.DAT")) {
    const std::string from = src + "\\" + entry.name;
    const std::string to = dst + "\\" + entry.name;
    CreateFolder(dst);
    if (mode == kTransferCopy) {
      CopyFile(from, to, true);
    } else if (mode == kTransferMove) {
      MoveNumbered(from, to);
    }
  }
  if (mode == kTransferMove) RemoveFolder(src);
}

void MoveToTemp(std::string_view path, std::string_view subfolder) {
  if (!Exists(path)) return;
  const std::string temp = TemporaryFolder();
  const std::string target = temp + std::string(subfolder) + "\\" + std::string(path);
  // The folders along the way below the temporary folder; the last part is
  // the moved entry itself.
  for (std::size_t i = temp.size(); i < target.size(); ++i) {
    if (IsSeparator(target[i])) CreateFolder(target.substr(0, i));
  }
  MoveNumbered(path, target);
}

int CopyDataFile(std::string_view from, std::string_view to, bool fail_if_exists) {
  MakeWritable(to);
  return CopyFile(from, to, fail_if_exists) ? 1 : 0;
}

int DeleteDataFile(std::string_view name) {
  MakeWritable(name);
  return DeleteFile(name) ? 0 : -1;
}

bool FindImageFile(std::string& base) {
  static constexpr std::array<const char*, 7> kExtensions = {"jpg", "jpeg", "jpe", "jfif",
                                                             "gif", "dib", "bmp"};
  const std::string stem = base;
  for (const char* ext : kExtensions) {
    base = stem + "." + ext;
    if (!FindFiles(base).empty()) return true;
  }
  return false;
}

long ReadRecordNumber(std::string_view name, long index, long length) {
  if (length <= 0) return 0;
  platform::Stream in = OpenForReading(name);
  if (!in) return 0;
  const std::optional<std::int64_t> at = ByteOffset(index, length);
  std::string field;
  if (!at || PositionAt(in, *at) != 0 || !ReadText(in, field, static_cast<std::size_t>(length))) return 0;
  const long value = text::ParseLong(field);
  return (value < 0 || value >= kNumberLimit) ? 0 : value;
}

}  // namespace store
