// Room on the disk for work data that need not fit in memory: a file without
// a name in the temporary folder, written at its end and read at any offset.
// Nothing else sees it, and it is gone when it is closed or the program ends,
// whichever way it ends, so an interrupted run leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform {

namespace detail {
class WriteBehindThread;
}

class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile();
  ScratchFile(ScratchFile&& other) noexcept;
  ScratchFile& operator=(ScratchFile&& other) noexcept;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // A new scratch file in the temporary folder; an unopened one (false) on
  // failure, with the system's error in error().
  static ScratchFile Create();

  explicit operator bool() const { return fd_ >= 0; }
  // Bytes written so far.
  std::int64_t size() const { return size_; }
  // Appends the bytes; false (error() tells why) when they cannot be
  // stored. They are written by a second thread while the caller goes on: a
  // write that fails shows at the next Append or ReadAt.
  bool Append(std::string_view bytes);
  // Reads n bytes from the offset; false when fewer than n could be read, or
  // when a write failed (write_failed()).
  bool ReadAt(std::int64_t offset, char* dst, std::size_t n);
  bool write_failed() const { return write_failed_; }
  // Empties the file for new work, which overwrites the old from its start:
  // writing over pages the system already holds costs a fraction of taking
  // new ones. False when a write of the old work had failed.
  bool Rewind();
  // Where the file is, for messages: the temporary folder.
  const std::string& folder() const { return folder_; }
  const SystemError& error() const { return error_; }

 private:
  void Close();
  bool WriteSelf(std::string_view bytes);
  void HandOver();
  bool NoteWriteFailure();

  std::intptr_t fd_ = -1;
  std::int64_t size_ = 0;
  std::string folder_;
  SystemError error_;
  bool write_failed_ = false;
  // Appended bytes not yet handed to the writing thread, which starts with
  // the first append (without one, the file is written in the caller's).
  std::unique_ptr<char[]> buf_;
  std::size_t filled_ = 0;
  struct WriterEnd {
    void operator()(detail::WriteBehindThread* w) const;
  };
  std::unique_ptr<detail::WriteBehindThread, WriterEnd> writer_;
};

// The memory a step may take for its work data (lists, sort runs) before it
// puts them on the disk: 16 MB, or the VEKCONV_WORK_MEMORY_KB environment
// variable's value (at least 1 KB).
std::size_t WorkMemory();
// Replaces the figure for this run (tests); nullopt restores it.
void SetWorkMemory(std::optional<std::size_t> bytes);

}  // namespace platform
