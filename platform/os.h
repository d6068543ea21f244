// The few operating system calls under the portable parts of platform/:
// positioned reads and writes on an open file for Stream (its buffering and
// text mode are the same on every system), the clock, the current folder and
// folder listings; and the path text rules that posix/ and windows/ share.
// Private to platform/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"

namespace platform::detail {

// An open file: a POSIX file descriptor or a Windows handle; -1 when none.
using FileId = std::intptr_t;

struct OpenRequest {
  char kind = 'r';  // 'r' existing file, 'w' created or emptied, 'a' appended to
  bool update = false;  // '+': reading and writing
};

// Opens the file as the stream mode asks. Folders, missing files for 'r' and
// read-only files for writing are refused. On success *size is the file's length.
FileId OpenFile(std::string_view path, OpenRequest how, std::int64_t* size);
// Bytes read at the offset: 0 at the end of the file, -1 on failure.
std::int64_t ReadAt(FileId f, char* dst, std::size_t n, std::int64_t offset);
// Writes all bytes at the offset (append streams: at the end of the file).
bool WriteAt(FileId f, const char* src, std::size_t n, std::int64_t offset, bool append);
// Adds bytes read from a file to BytesRead() (any thread).
void CountRead(std::int64_t n);
// Length of the file, or -1.
std::int64_t SizeOf(FileId f);
bool Resize(FileId f, std::int64_t length);
bool CloseFile(FileId f);
// A new file in the folder for reading and writing that has no name: nothing
// else can open it, and the system removes it when it is closed or the
// process ends, however it ends. -1 on failure.
FileId OpenScratchFile(std::string_view folder);

// Notes the system's error of the call that just failed (errno or
// GetLastError) for LastError().
void NoteSystemError();
void NoteError(SystemError error);

// Once the user asked the program to stop, every read and write fails.
inline bool RefusedAsInterrupted() {
  if (!Interrupted()) return false;
  NoteError(SystemError{ErrorKind::kInterrupted, 0, "interrupted"});
  return true;
}

// The date on the system clock, in local time.
Date SystemToday();
// The user's temporary folder as the system gives it, ending in a separator.
std::string SystemTempFolder();

// A search pattern split into its folder ("." when it names none) and the
// wildcard pattern of the last name.
std::pair<std::string, std::string_view> SplitPattern(std::string_view pattern);

// ---- path text (files.cpp) ------------------------------------------------

inline bool IsSep(char c) { return c == '\\' || c == '/'; }
// The text begins with a drive letter and a colon ("C:", "d:").
inline bool HasDrive(std::string_view p) {
  return p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}
inline bool OnDriveC(std::string_view p) { return HasDrive(p) && (p[0] | 0x20) == 'c'; }
// Windows drops trailing spaces and dots from every name in a path
// ("F10.DAT " and "F10.DAT." open F10.DAT); "." and ".." stay.
std::string_view TrimComponent(std::string_view part);
// The names between the separators of the text, trimmed as above; names left
// empty are dropped, "." and ".." are kept.
std::vector<std::string_view> SplitNames(std::string_view text);

// ---- drive C: (files.cpp) -------------------------------------------------

// Drive C: stands for a folder (--drive-c or VEKCONV_DRIVE_C).
bool DriveCMapped();
// That folder as an absolute host path; empty when C: is not mapped.
const std::string& DriveCFolder();

// ---- what each system answers (posix/files.cpp, windows/files.cpp) -------

// The absolute host form of a folder given for drive C: (not empty), as the
// paths inside it are built.
std::string AbsoluteDriveFolder(const std::string& given);
// The current folder's path relative to the drive C: folder ("" for its
// root), or nullopt when it lies outside or C: is not mapped. *cwd_out, when
// given, receives the current folder as the system names it.
std::optional<std::string> CwdInsideDriveC(std::string* cwd_out);
// CurrentDrive() while C: is not mapped: 'C' when the current folder lies on
// the host's own drive C:, otherwise 0.
char HostCurrentDrive();
// A host path outside drive C: as path text that the program reads back as
// the same entry.
std::string AsProgramText(const std::string& host);
// The entries of the host folder that match the wildcard pattern, in any
// order; one_name: the pattern is a plain name, to be looked up, not listed.
std::vector<FindEntry> FindInFolder(const std::string& folder, std::string_view pattern, bool one_name);

}  // namespace platform::detail
