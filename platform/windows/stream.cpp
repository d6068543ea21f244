// The Win32 calls under Stream: file handles with positioned ReadFile and
// WriteFile. The streams share reading and writing with other openers, as the
// C runtime's fopen does, so that the busy probe of another program sees them.
#include "platform/windows/windows_api.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/os.h"
#include "platform/windows/host.h"

namespace platform::detail {
namespace {

HANDLE H(FileId f) { return reinterpret_cast<HANDLE>(f); }

OVERLAPPED At(std::int64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
  ov.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  return ov;
}

}  // namespace

FileId OpenFile(std::string_view path, OpenRequest how, std::int64_t* size) {
  std::optional<std::wstring> w = win::WidePath(path);
  if (!w) return -1;
  DWORD access = 0;
  DWORD disposition = 0;
  switch (how.kind) {
    case 'r':
      access = GENERIC_READ | (how.update ? GENERIC_WRITE : 0);
      disposition = OPEN_EXISTING;
      break;
    case 'w':
      access = GENERIC_WRITE | (how.update ? GENERIC_READ : 0);
      disposition = OPEN_ALWAYS;  // emptied below, keeping the file's attributes
      break;
    case 'a':
      // Append access without write access: every write lands at the end.
      access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE | (how.update ? GENERIC_READ : 0);
      disposition = OPEN_ALWAYS;
      break;
    default:
      return -1;
  }
  // Windows refuses to write a read-only file by itself; checked here too for
  // a file system that keeps the attribute only as a permission (wine run by
  // an administrator).
  const DWORD attributes = GetFileAttributesW(w->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) NoteSystemError();
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // Said as such rather than as the "access denied" of opening a folder.
    SetLastError(ERROR_DIRECTORY);
    NoteSystemError();
    return -1;
  }
  if (how.kind != 'r' || how.update) {
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      SetLastError(ERROR_ACCESS_DENIED);
      NoteSystemError();
      return -1;
    }
  }
  HANDLE h = CreateFileW(w->c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    NoteSystemError();
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) SetLastError(ERROR_DIRECTORY);
    NoteSystemError();
    CloseHandle(h);
    return -1;
  }
  std::int64_t length =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  if (how.kind == 'w' && length != 0) {
    if (!SetEndOfFile(h)) {  // a new handle stands at offset 0
      NoteSystemError();
      CloseHandle(h);
      return -1;
    }
    length = 0;
  }
  *size = length;
  return reinterpret_cast<FileId>(h);
}

std::int64_t ReadAt(FileId f, char* dst, std::size_t n, std::int64_t offset) {
  if (RefusedAsInterrupted()) return -1;
  std::size_t total = 0;
  while (total < n) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - total, 1u << 30));
    OVERLAPPED ov = At(offset + static_cast<std::int64_t>(total));
    DWORD got = 0;
    if (!ReadFile(H(f), dst + total, chunk, &got, &ov)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      if (total > 0) return static_cast<std::int64_t>(total);
      NoteSystemError();
      return -1;
    }
    if (got == 0) break;
    total += got;
  }
  return static_cast<std::int64_t>(total);
}

bool WriteAt(FileId f, const char* src, std::size_t n, std::int64_t offset, bool append) {
  if (RefusedAsInterrupted()) return false;
  while (n > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    DWORD put = 0;
    BOOL ok;
    if (append) {
      ok = WriteFile(H(f), src, chunk, &put, nullptr);
    } else {
      OVERLAPPED ov = At(offset);
      ok = WriteFile(H(f), src, chunk, &put, &ov);
    }
    if (!ok || put == 0) {
      if (ok) SetLastError(ERROR_WRITE_FAULT);  // nothing written, yet no error said
      NoteSystemError();
      return false;
    }
    src += put;
    offset += put;
    n -= put;
  }
  return true;
}

std::int64_t SizeOf(FileId f) {
  LARGE_INTEGER size;
  if (GetFileSizeEx(H(f), &size)) return size.QuadPart;
  NoteSystemError();
  return -1;
}

bool Resize(FileId f, std::int64_t length) {
  FILE_END_OF_FILE_INFO eof;
  eof.EndOfFile.QuadPart = length;
  if (SetFileInformationByHandle(H(f), FileEndOfFileInfo, &eof, sizeof eof)) return true;
  NoteSystemError();
  return false;
}

bool CloseFile(FileId f) {
  if (CloseHandle(H(f))) return true;
  NoteSystemError();
  return false;
}

FileId OpenScratchFile(std::string_view folder) {
  std::optional<std::wstring> w = win::WidePath(folder);
  if (!w) return -1;
  if (!w->empty() && w->back() != L'\\') *w += L'\\';
  // Deleted on close, and by the system when the process ends without one.
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = *w + L"vekconv-work-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter) + L".tmp";
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) return reinterpret_cast<FileId>(h);
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  NoteSystemError();
  return -1;
}

}  // namespace platform::detail
