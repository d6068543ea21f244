#include "platform/tree.h"

#include "platform/windows/windows_api.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/windows/host.h"

namespace platform {

namespace {

std::int64_t Ticks(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 100;
}

// The file's id on its volume; it stays the same across renames.
std::uint64_t FileId(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info;
  std::uint64_t id = 0;
  if (GetFileInformationByHandle(h, &info)) {
    id = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow) ^
         (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 48);
  }
  CloseHandle(h);
  return id;
}

void Walk(const std::wstring& folder, const std::string& rel, std::vector<TreeEntry>& out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring wname = fd.cFileName;
    if (wname == L"." || wname == L"..") continue;
    std::string name = win::Narrow(wname);
    TreeEntry t;
    t.path = rel.empty() ? name : rel + "\\" + name;
    t.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    t.size = t.folder ? 0 : static_cast<std::int64_t>((static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    t.write_time_ns = Ticks(fd.ftLastWriteTime);
    std::wstring child = folder + L"\\" + wname;
    t.file_id = FileId(child);
    out.push_back(t);
    if (t.folder) Walk(child, t.path, out);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

}  // namespace

std::vector<TreeEntry> ListTree(std::string_view folder) {
  std::vector<TreeEntry> out;
  std::optional<std::wstring> host = win::WidePath(folder);
  if (!host) return out;
  while (!host->empty() && (host->back() == L'\\' || host->back() == L'/')) host->pop_back();
  Walk(*host, "", out);
  std::sort(out.begin(), out.end(), [](const TreeEntry& a, const TreeEntry& b) { return a.path < b.path; });
  return out;
}

}  // namespace platform
