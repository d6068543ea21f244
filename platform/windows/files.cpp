// The Win32 file system. Names already match without regard to case and the
// file operations already refuse what the converter expects them to refuse;
// what is left here is drive C: as a folder (--drive-c) and the code page 1252
// names of the program.
#include "platform/files.h"

#include "platform/windows/windows_api.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/fold.h"
#include "platform/os.h"
#include "platform/win32_ui.h"
#include "platform/windows/host.h"

namespace platform {

namespace {
// Not in every SDK's headers.
constexpr DWORD kErrorDiskQuotaExceeded = 1295;
}  // namespace

void detail::NoteSystemError() {
  const DWORD code = GetLastError();
  SystemError e;
  e.code = static_cast<int>(code);
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      e.kind = ErrorKind::kMissing;
      break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
    case ERROR_DIR_NOT_EMPTY:
    case ERROR_NOT_SAME_DEVICE:
      e.kind = ErrorKind::kRefused;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kErrorDiskQuotaExceeded:
    case ERROR_FILE_TOO_LARGE:
      e.kind = ErrorKind::kNoSpace;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
      e.kind = ErrorKind::kDenied;
      break;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
      e.kind = ErrorKind::kDevice;
      break;
    default:
      e.kind = ErrorKind::kOther;
      break;
  }
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  if (n > 0 && buf) {
    std::wstring text(buf, n);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.')) {
      text.pop_back();
    }
    e.text = win::Narrow(text);
  }
  if (buf) LocalFree(buf);
  if (e.text.empty()) e.text = "Windows error " + std::to_string(code);
  NoteError(std::move(e));
  SetLastError(code);
}

namespace win {

std::wstring Wide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int n = static_cast<int>(text.size());
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  // Every byte of code page 1252 has a UTF-16 unit, so the length stays.
  int got = MultiByteToWideChar(1252, 0, text.data(), n, out.data(), n);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int n = static_cast<int>(text.size());
  int need = WideCharToMultiByte(1252, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (need <= 0) return std::string();
  std::string out(static_cast<std::size_t>(need), '\0');
  WideCharToMultiByte(1252, 0, text.data(), n, out.data(), need, nullptr, nullptr);
  return out;
}

}  // namespace win

std::wstring Cp1252ToUtf16(std::string_view text) { return win::Wide(text); }

namespace {

using detail::DriveCFolder;
using detail::DriveCMapped;
using detail::FoldText;
using detail::HasDrive;
using detail::IsSep;
using detail::OnDriveC;
using win::Narrow;
using win::Wide;

// Paths of this length and more need the \\?\ form in the W calls.
constexpr std::size_t kMaxPath = MAX_PATH;

std::string Cwd() {
  DWORD need = GetCurrentDirectoryW(0, nullptr);
  if (need == 0) return std::string();
  std::wstring buf(need, L'\0');
  DWORD got = GetCurrentDirectoryW(need, buf.data());
  if (got == 0 || got >= need) return std::string();
  buf.resize(got);
  return Narrow(buf);
}

// The long spelling of an existing path (no 8.3 short names), else the path.
std::string LongForm(const std::string& p) {
  std::wstring w = Wide(p);
  DWORD need = GetLongPathNameW(w.c_str(), nullptr, 0);
  if (need == 0) return p;
  std::wstring buf(need, L'\0');
  DWORD got = GetLongPathNameW(w.c_str(), buf.data(), need);
  if (got == 0 || got >= need) return p;
  buf.resize(got);
  return Narrow(buf);
}

std::string FullPath(const std::string& p) {
  std::wstring w = Wide(p);
  DWORD need = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (need == 0) return std::string();
  std::wstring buf(need, L'\0');
  DWORD got = GetFullPathNameW(w.c_str(), need, buf.data(), nullptr);
  if (got == 0 || got >= need) return std::string();
  buf.resize(got);
  return Narrow(buf);
}

std::string StripTrailingSeps(std::string s) {
  while (s.size() > 1 && IsSep(s.back()) && !(s.size() == 3 && s[1] == ':')) s.pop_back();
  return s;
}

// The relative part of the path when it lies inside the folder ("" for the
// folder itself), compared without regard to case.
std::optional<std::string> Inside(const std::string& path, const std::string& folder) {
  if (folder.empty()) return std::nullopt;
  // Either separator may stand between the names.
  std::string p = FoldText(path);
  std::string f = FoldText(folder);
  std::replace(p.begin(), p.end(), '/', '\\');
  std::replace(f.begin(), f.end(), '/', '\\');
  if (StripTrailingSeps(p) == f) return std::string();
  const std::string prefix = IsSep(f.back()) ? f : f + "\\";
  if (p.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return path.substr(prefix.size());
}

// ---- drive C: ------------------------------------------------------------

// The path, given as a host path, lies inside the drive C: folder.
std::optional<std::string> InsideDriveC(const std::string& host) {
  if (!DriveCMapped()) return std::nullopt;
  const std::string& root = DriveCFolder();
  if (auto rel = Inside(host, root)) return rel;
  const std::string long_root = LongForm(root);
  if (auto rel = Inside(host, long_root)) return rel;
  const std::string long_host = LongForm(host);
  if (auto rel = Inside(long_host, root)) return rel;
  return Inside(long_host, long_root);
}

// ---- path resolution ----------------------------------------------------

void AppendParts(std::string_view text, std::vector<std::string>& parts) {
  for (std::string_view part : detail::SplitNames(text)) {
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // never above the root, as Windows
    } else if (part != ".") {
      parts.emplace_back(part);
    }
  }
}

// Splits an absolute host path into its root ("X:" or "\\server\share") and
// the rest.
bool SplitRoot(std::string_view p, std::string& root, std::string_view& rest) {
  if (HasDrive(p)) {
    root = std::string(1, static_cast<char>(p[0] & ~0x20)) + ":";
    rest = p.substr(2);
    return true;
  }
  if (p.size() >= 2 && IsSep(p[0]) && IsSep(p[1])) {
    std::size_t server_end = 2;
    while (server_end < p.size() && !IsSep(p[server_end])) ++server_end;
    std::size_t share_end = server_end + 1;
    while (share_end < p.size() && !IsSep(p[share_end])) ++share_end;
    if (server_end == 2 || share_end > p.size() || share_end == server_end + 1) return false;
    root = "\\\\" + std::string(p.substr(2, server_end - 2)) + "\\" +
           std::string(p.substr(server_end + 1, share_end - server_end - 1));
    rest = p.substr(std::min(share_end, p.size()));
    return true;
  }
  return false;
}

std::optional<std::string> Resolve(std::string_view path) {
  if (path.empty()) return std::nullopt;
  std::string text(path);
  bool real = false;  // names the host's own drives even while C: is mapped
  if (text.size() >= 4 && IsSep(text[0]) && IsSep(text[1]) && (text[2] == '?' || text[2] == '.') &&
      IsSep(text[3])) {
    text.erase(0, 4);
    real = true;
    if (text.size() >= 4 && FoldText(text.substr(0, 3)) == "unc" && IsSep(text[3])) text.replace(0, 3, "\\");
  }

  std::string base;          // an absolute host path the rest is relative to
  std::string_view rest;     // the part of the text after its root
  std::string root;
  std::string_view base_rest;
  if (HasDrive(text)) {
    rest = std::string_view(text).substr(2);
    const bool rooted = !rest.empty() && IsSep(rest[0]);
    if (!real && OnDriveC(text) && DriveCMapped()) {
      if (rooted && InsideDriveC(text)) {
        base = text.substr(0, 2);  // already a host path inside the folder
      } else if (!rooted && CurrentDrive() == 'C') {
        base = Cwd();  // "C:name" is relative to the current folder
      } else {
        base = DriveCFolder();
      }
    } else if (rooted) {
      base = text.substr(0, 2);
    } else {
      base = FullPath(text.substr(0, 2));  // that drive's current folder
    }
  } else if (text.size() >= 2 && IsSep(text[0]) && IsSep(text[1])) {
    std::string_view after;
    if (!SplitRoot(text, root, after)) return std::nullopt;
    base = root;
    rest = std::string_view(text).substr(text.size() - after.size());
  } else if (IsSep(text[0])) {
    rest = text;
    if (CurrentDrive() == 'C') {
      base = DriveCFolder();
    } else {
      std::string cwd = Cwd();
      std::string_view ignored;
      if (!SplitRoot(cwd, root, ignored)) return std::nullopt;
      base = root;
    }
  } else {
    rest = text;
    base = Cwd();
  }
  if (base.empty() || !SplitRoot(base, root, base_rest)) return std::nullopt;

  std::vector<std::string> parts;
  AppendParts(base_rest, parts);
  AppendParts(rest, parts);
  std::string host = root;
  for (const std::string& p : parts) host += "\\" + p;
  if (parts.empty()) host += "\\";
  if (host.size() >= kMaxPath) {
    host = host[1] == ':' ? "\\\\?\\" + host : "\\\\?\\UNC\\" + host.substr(2);
  }
  return host;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> Stat(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!w) return std::nullopt;
  if (!GetFileAttributesExW(w->c_str(), GetFileExInfoStandard, &data)) {
    detail::NoteSystemError();
    return std::nullopt;
  }
  return data;
}

constexpr unsigned kKnownAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrFolder | kAttrArchive;

std::int64_t EntrySize(DWORD attributes, DWORD high, DWORD low) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

// The attributes of an existing entry; nothing, with the system's reason
// noted, otherwise.
std::optional<DWORD> AttributesOf(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  if (a != INVALID_FILE_ATTRIBUTES) return a;
  detail::NoteSystemError();
  return std::nullopt;
}

DWORD WithoutReadOnly(DWORD a) { return a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY); }

// No attribute at all is written as "normal", the system's name for it.
bool SetAttributes(const std::wstring& path, DWORD a) {
  if (SetFileAttributesW(path.c_str(), a != 0 ? a : FILE_ATTRIBUTE_NORMAL)) return true;
  detail::NoteSystemError();
  return false;
}

}  // namespace

std::optional<std::wstring> win::WidePath(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  if (!host) return std::nullopt;
  return Wide(*host);
}

// ---- drives and the current folder -------------------------------------

// In its long spelling, as the current folder is kept, so that a name under
// "C:\" and the same name under the current folder resolve to one text; no
// trailing separator.
std::string detail::AbsoluteDriveFolder(const std::string& given) {
  return StripTrailingSeps(LongForm(FullPath(given)));
}

std::optional<std::string> detail::CwdInsideDriveC(std::string* cwd_out) {
  std::string cwd = Cwd();
  if (cwd_out) *cwd_out = cwd;
  if (cwd.empty()) return std::nullopt;
  return InsideDriveC(cwd);
}

char detail::HostCurrentDrive() { return OnDriveC(Cwd()) ? 'C' : 0; }

// A host path on the real drive C: while C: stands for a folder: written in
// the "\\?\C:" form, it is not taken for a path of the mapped drive.
std::string detail::AsProgramText(const std::string& host) {
  if (DriveCMapped() && OnDriveC(host) && !InsideDriveC(host)) return "\\\\?\\" + host;
  return host;
}

bool SetCurrentFolder(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  // The folder's own spelling, so that the folder line shows it as it is.
  return host && SetCurrentDirectoryW(Wide(LongForm(*host)).c_str());
}

std::optional<std::string> HostPath(std::string_view path) { return Resolve(path); }

std::string LastingPath(std::string_view path) {
  const std::optional<std::string> host = Resolve(path);
  if (!host) return std::string(path);
  return HasDrive(*host) ? "\\\\?\\" + *host : *host;
}

// ---- queries -----------------------------------------------------------

bool Exists(std::string_view path) { return Stat(path).has_value(); }

bool IsFolder(std::string_view path) {
  auto st = Stat(path);
  return st && (st->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::int64_t FileSize(std::string_view path) {
  auto st = Stat(path);
  if (!st) return -1;
  return EntrySize(st->dwFileAttributes, st->nFileSizeHigh, st->nFileSizeLow);
}

std::optional<unsigned> Attributes(std::string_view path) {
  auto st = Stat(path);
  if (!st) return std::nullopt;
  return static_cast<unsigned>(st->dwFileAttributes) & kKnownAttributes;
}

bool SetReadOnly(std::string_view path, bool read_only) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return false;
  const std::optional<DWORD> a = AttributesOf(*w);
  if (!a) return false;
  const DWORD b = read_only ? (*a | FILE_ATTRIBUTE_READONLY) : WithoutReadOnly(*a);
  return b == *a || SetAttributes(*w, b);
}

// Windows data folders hold files and folders only.
bool IsSpecialEntry(std::string_view) { return false; }

bool FolderUsable(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return false;
  const std::optional<DWORD> a = AttributesOf(*w);
  return a && (*a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// ---- directory search --------------------------------------------------

std::vector<FindEntry> detail::FindInFolder(const std::string& folder, std::string_view pat, bool one_name) {
  std::vector<FindEntry> out;
  // The matching is ours rather than the system's, whose patterns also match
  // the short 8.3 names ("*.DAT" would find "F10.DATA").
  std::string query = folder;
  if (query.back() != '\\') query += '\\';
  query += one_name ? std::string(pat) : std::string("*");
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW(Wide(query).c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) {
    // Nothing matched, or the folder is none: answers, as on the other systems.
    const DWORD e = GetLastError();
    if (e == ERROR_DIRECTORY) SetLastError(ERROR_PATH_NOT_FOUND);
    if (e != ERROR_FILE_NOT_FOUND && e != ERROR_NO_MORE_FILES) detail::NoteSystemError();
    return out;
  }
  do {
    std::string name = Narrow(fd.cFileName);
    if (!one_name && !WildcardMatch(pat, name)) continue;
    FindEntry e;
    e.name = std::move(name);
    e.size = EntrySize(fd.dwFileAttributes, fd.nFileSizeHigh, fd.nFileSizeLow);
    e.attributes = static_cast<unsigned>(fd.dwFileAttributes) & kKnownAttributes;
    out.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return out;
}

// ---- operations --------------------------------------------------------

static bool ReadOnlyEntry(const std::wstring& host) {
  DWORD a = GetFileAttributesW(host.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists) {
  std::optional<std::wstring> src = win::WidePath(from);
  std::optional<std::wstring> dst = win::WidePath(to);
  // Windows refuses a read-only target by itself; said here too, because a
  // file system that keeps the attribute only as a permission (wine run by
  // an administrator) would not.
  if (!src || !dst || ReadOnlyEntry(*dst)) return false;
  if (CopyFileW(src->c_str(), dst->c_str(), fail_if_exists ? TRUE : FALSE)) {
    // The system copies the file whole: it counts as read when done.
    const std::int64_t size = FileSize(to);
    if (size > 0) detail::CountRead(size);
    return true;
  }
  detail::NoteSystemError();
  return false;
}

// Block cloning (FSCTL_DUPLICATE_EXTENTS_TO_FILE) is for ReFS volumes only:
// a plain copy it is.
bool CloneFile(std::string_view, std::string_view) {
  detail::NoteError(SystemError{ErrorKind::kRefused, 0, "the file system cannot clone files"});
  return false;
}

bool MoveFile(std::string_view from, std::string_view to) {
  std::optional<std::string> src = Resolve(from);
  std::optional<std::string> dst = Resolve(to);
  if (!src || !dst) return false;
  const std::wstring wsrc = Wide(*src);
  const std::wstring wdst = Wide(*dst);
  if (*src != *dst && FoldText(*src) == FoldText(*dst)) {
    // The same entry in another letter case: by way of a passing name, as
    // not every file system renames a name to itself.
    const std::wstring passing = wsrc + L".vekmove-" + std::to_wstring(GetCurrentProcessId());
    if (GetFileAttributesW(wsrc.c_str()) == INVALID_FILE_ATTRIBUTES || !MoveFileExW(wsrc.c_str(), passing.c_str(), 0)) {
      detail::NoteSystemError();
      return false;
    }
    if (MoveFileExW(passing.c_str(), wdst.c_str(), 0)) return true;
    detail::NoteSystemError();
    MoveFileExW(passing.c_str(), wsrc.c_str(), 0);
    return false;
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail; a
  // file moves to another volume by copy and delete, a folder does not.
  if (MoveFileExW(wsrc.c_str(), wdst.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) return true;
  detail::NoteSystemError();
  return false;
}

bool ReplaceFile(std::string_view from, std::string_view to) {
  std::optional<std::wstring> src = win::WidePath(from);
  std::optional<std::wstring> dst = win::WidePath(to);
  if (!src || !dst) return false;
  if (!AttributesOf(*src)) return false;
  // The move refuses a read-only target: the attribute goes first, and comes
  // back when the move fails after all.
  const DWORD a = GetFileAttributesW(dst->c_str());
  const bool was_read_only = a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
                             (a & FILE_ATTRIBUTE_READONLY);
  if (was_read_only && !SetAttributes(*dst, WithoutReadOnly(a))) return false;
  if (MoveFileExW(src->c_str(), dst->c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  detail::NoteSystemError();
  if (was_read_only) SetFileAttributesW(dst->c_str(), a);
  return false;
}

namespace {

HANDLE OpenForFlush(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool SyncFile(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return false;
  // Only a handle with write access can flush, and a read-only file gives
  // none: its attribute is lifted while the handle is opened.
  const std::optional<DWORD> a = AttributesOf(*w);
  if (!a) return false;
  HANDLE h = INVALID_HANDLE_VALUE;
  if ((*a & FILE_ATTRIBUTE_READONLY) && !(*a & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!SetAttributes(*w, WithoutReadOnly(*a))) return false;
    h = OpenForFlush(*w);
    const DWORD open_error = GetLastError();
    SetFileAttributesW(w->c_str(), *a);
    SetLastError(open_error);
  } else {
    h = OpenForFlush(*w);
  }
  if (h == INVALID_HANDLE_VALUE) {
    detail::NoteSystemError();
    return false;
  }
  const bool ok = FlushFileBuffers(h);
  if (!ok) detail::NoteSystemError();
  CloseHandle(h);
  return ok;
}

// NTFS writes its changes of folder entries to its own log in the order they
// are made, so no rename reaches the disk before the ones made earlier; moves
// by copy are written through (MOVEFILE_WRITE_THROUGH).
bool SyncFolder(std::string_view) { return true; }

namespace {

// The root of the volume that holds the path ("C:\", a mount point), for
// paths that do not exist yet too.
std::wstring VolumeOf(const std::wstring& path) {
  std::wstring buf(std::max<std::size_t>(path.size(), MAX_PATH) + 2, L'\0');
  if (!GetVolumePathNameW(path.c_str(), buf.data(), static_cast<DWORD>(buf.size()))) return std::wstring();
  buf.resize(wcslen(buf.c_str()));
  return buf;
}

// The volume root as text to compare: the same root with and without the
// \\?\ prefix, in either letter case, is one volume.
std::string VolumeKey(const std::wstring& volume) {
  std::string text = Narrow(volume);
  if (text.size() >= 4 && text.compare(0, 4, "\\\\?\\") == 0) {
    text.erase(0, 4);
    if (text.size() >= 4 && FoldText(text.substr(0, 4)) == "unc\\") text.replace(0, 4, "\\\\");
  }
  std::replace(text.begin(), text.end(), '/', '\\');
  if (!text.empty() && text.back() != '\\') text += '\\';
  return FoldText(text);
}

}  // namespace

std::int64_t FreeSpace(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return -1;
  const std::wstring volume = VolumeOf(*w);
  ULARGE_INTEGER free_to_caller;
  // Unknown is an answer, not a failure of the disk: nothing is noted.
  if (volume.empty() || !GetDiskFreeSpaceExW(volume.c_str(), &free_to_caller, nullptr, nullptr)) return -1;
  return static_cast<std::int64_t>(free_to_caller.QuadPart);
}

bool SameVolume(std::string_view a, std::string_view b) {
  std::optional<std::wstring> wa = win::WidePath(a);
  std::optional<std::wstring> wb = win::WidePath(b);
  if (!wa || !wb) return false;
  const std::wstring va = VolumeOf(*wa);
  const std::wstring vb = VolumeOf(*wb);
  return !va.empty() && !vb.empty() && VolumeKey(va) == VolumeKey(vb);
}

bool DeleteFile(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return false;
  // A read-only file and a folder are refused, not failures of the disk
  // (the system would say "access denied" for both).
  const std::optional<DWORD> a = AttributesOf(*w);
  if (!a || (*a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;
  if (DeleteFileW(w->c_str())) return true;
  detail::NoteSystemError();
  return false;
}

bool CreateFolder(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (w && CreateDirectoryW(w->c_str(), nullptr)) return true;
  if (w) detail::NoteSystemError();
  return false;
}

bool RemoveFolder(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return false;
  const std::optional<DWORD> a = AttributesOf(*w);
  if (!a || !(*a & FILE_ATTRIBUTE_DIRECTORY)) return false;  // a file of that name: refused
  if (RemoveDirectoryW(w->c_str())) return true;
  detail::NoteSystemError();
  return false;
}

// ---- busy probe --------------------------------------------------------

bool IsLockedByOther(std::string_view path) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return false;
  // Sharing reading only: refused while anyone has the file open for writing.
  HANDLE h = CreateFileW(w->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
  }
  CloseHandle(h);
  return false;
}

FolderLock::FolderLock(std::string_view folder, std::string_view lock_file_name) {
  std::optional<std::wstring> w = win::WidePath(std::string(folder) + "\\" + std::string(lock_file_name));
  if (!w) return;
  // Unshared, and deleted when closed: a process that dies lets go of it.
  HANDLE h = CreateFileW(w->c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    detail::NoteSystemError();
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
}

FolderLock::~FolderLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// ---- temporary folder, clock, sleep -------------------------------------

std::string detail::SystemTempFolder() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 2, buf);
  if (n == 0 || n > MAX_PATH + 1) return std::string();
  std::string s = Narrow(std::wstring_view(buf, n));
  if (s.empty()) return s;
  if (!IsSep(s.back())) s += '\\';
  return detail::AsProgramText(s);
}

Date detail::SystemToday() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Date{now.wYear, now.wMonth, now.wDay};
}

void SleepMs(int ms) {
  if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

IoTotals ProcessIo() {
  IoTotals t;
  IO_COUNTERS c;
  if (GetProcessIoCounters(GetCurrentProcess(), &c)) {
    t.read = static_cast<std::int64_t>(c.ReadTransferCount);
    t.written = static_cast<std::int64_t>(c.WriteTransferCount);
  }
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  if (K32GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m)) t.peak_memory = static_cast<std::int64_t>(m.PeakWorkingSetSize);
  return t;
}

}  // namespace platform
