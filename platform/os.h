// The few operating system calls under the portable parts of platform/:
// positioned reads and writes on an open file for Stream (its buffering and
// text mode are the same on every system) and the clock. Private to platform/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

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

}  // namespace platform::detail
