// Buffered file streams with the modes of the Windows C runtime.
//
//   "rb" "r+b" "wb" "ab"   binary: bytes as they are
//   "rt" "r+t" "wt" "at"   text: CR LF reads as LF, a Ctrl-Z byte ends the
//                          input, LF is written as CR LF
//
// A mode without 't' or 'b' is text mode, as in the Windows runtime. Positions
// are byte offsets in the file. A file whose read-only attribute is set cannot
// be opened for writing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform {

namespace detail {
class WriteBehindThread;
}

class Stream {
 public:
  Stream() = default;
  ~Stream();
  Stream(Stream&& other) noexcept;
  Stream& operator=(Stream&& other) noexcept;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Opens the file; an unopened stream (false in a test) on failure.
  static Stream Open(std::string_view path, std::string_view mode);

  explicit operator bool() const { return fd_ >= 0; }
  bool text_mode() const { return text_; }

  // fgets with a buffer of n + 1: reads at most n characters, stopping after a
  // line feed. False at the end of the file when nothing was read.
  bool ReadText(std::string& out, std::size_t n);
  // One character, or -1 at the end of the file.
  int GetChar();
  // Reads up to n bytes as they are (no line-feed stop), for whole-file copies.
  std::size_t ReadRaw(char* dst, std::size_t n);

  // Writes the bytes (text mode: LF as CR LF). False when not all were written.
  bool Write(std::string_view bytes);
  // printf-style write; the record layouts are print formats.
  bool Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  bool Seek(std::int64_t offset);  // from the start; negative fails
  bool SeekEnd();
  std::int64_t Tell();
  // Length of the file as it stands, pending writes included.
  std::int64_t Size();
  // Cuts or extends the file to the length.
  bool Truncate(std::int64_t length);
  [[nodiscard]] bool Flush();
  // Closes the stream; false when the last writes could not be stored.
  [[nodiscard]] bool Close();

  // The first read or write of this stream that failed, as the system told
  // it (kind kNone while none did). The end of the file is no failure.
  const SystemError& error() const { return error_; }

  // For a file that nothing reads, and nothing else writes, before it is
  // closed (a stream opened "w" or "a" without "+"): full buffers are written
  // by a second thread while the caller goes on filling the next. A failed
  // write shows at the next Flush, Size, Truncate or Close, which wait for
  // the writes handed over.
  void WriteBehind();

 private:
  struct WriterEnd {
    void operator()(detail::WriteBehindThread* w) const;
  };
  bool Settle();  // waits for the writes handed over; false when one failed
  void NoteFailure();  // keeps the first failure as error()

  bool FillBuffer();
  bool FlushWrites();
  // Empties the buffer, which then begins at the stream's position (or at the
  // offset). Only once its changes are written: they would be lost.
  void DropBuffer();
  void DropBuffer(std::int64_t offset);
  bool WriteRawBytes(const char* p, std::size_t n);
  int PeekAfterCurrent();

  // One buffer serves reads and writes: it holds the file's bytes from buf_pos_
  // on (rlen_ of them), with our unwritten changes in [wstart_, wlen_). Writes
  // land in the buffer, so that reading, patching and reading on goes without
  // reading the disk again.
  std::intptr_t fd_ = -1;  // descriptor or handle (detail::FileId)
  bool text_ = false;
  bool append_ = false;
  bool readable_ = false;
  bool writable_ = false;
  bool eof_seen_ = false;  // a Ctrl-Z was met in text mode
  std::unique_ptr<char[]> buf_;
  std::int64_t buf_pos_ = 0;  // file offset of buf_[0]
  std::size_t rd_ = 0;        // the stream position inside buf_
  std::size_t rlen_ = 0;      // bytes of buf_ holding file data
  std::size_t wstart_ = 0;    // first changed byte of buf_
  std::size_t wlen_ = 0;      // end of the changed bytes (0: none)
  std::uint64_t buf_gen_ = 0; // write generation when buf_ was read
  bool failed_ = false;       // a write failed
  SystemError error_;
  std::size_t buf_size_ = 0;
  std::unique_ptr<detail::WriteBehindThread, WriterEnd> writer_;
};

// The bytes this process has read from files so far, through streams and file
// copies, counted per buffer filled and safe to read from any thread: the
// pace of a long conversion is measured by it.
std::int64_t BytesRead();

}  // namespace platform
