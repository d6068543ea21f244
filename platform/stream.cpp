// Buffered streams with the Windows runtime's modes. The text translation is
// done here over a binary file, so that every system reads and writes the
// same bytes; os.h has the system calls.
#include "platform/stream.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "platform/format.h"
#include "platform/os.h"
#include "platform/write_behind.h"

namespace platform {
namespace {

constexpr std::size_t kBufSize = 64 * 1024;
// A buffer handed to the writing thread; two or three are in flight.
constexpr std::size_t kBehindBufSize = 1 << 20;
constexpr char kCtrlZ = 0x1A;

// Counts the writes that reached any file through a stream. A stream that
// seeks back into its buffer re-reads the disk when another stream has
// written since the buffer was read.
std::uint64_t g_write_generation = 1;

// Relaxed: a count for the eye, added to once per buffer, never per record.
std::atomic<std::int64_t> g_bytes_read{0};

}  // namespace

using detail::CloseFile;
using detail::ReadAt;
using detail::SizeOf;
using detail::WriteAt;

void detail::CountRead(std::int64_t n) { g_bytes_read.fetch_add(n, std::memory_order_relaxed); }

std::int64_t BytesRead() { return g_bytes_read.load(std::memory_order_relaxed); }

void Stream::WriterEnd::operator()(detail::WriteBehindThread* w) const { delete w; }

// A stream dropped without Close (an unwinding step) cannot tell its
// failure; whoever needs the data on the disk closes it and checks.
Stream::~Stream() {
  if (fd_ >= 0) static_cast<void>(Close());
}

Stream::Stream(Stream&& other) noexcept { *this = std::move(other); }

Stream& Stream::operator=(Stream&& other) noexcept {
  if (this == &other) return *this;
  if (fd_ >= 0) static_cast<void>(Close());
  fd_ = std::exchange(other.fd_, -1);
  text_ = other.text_;
  append_ = other.append_;
  readable_ = other.readable_;
  writable_ = other.writable_;
  eof_seen_ = other.eof_seen_;
  buf_ = std::move(other.buf_);
  buf_pos_ = other.buf_pos_;
  rd_ = other.rd_;
  rlen_ = other.rlen_;
  wstart_ = other.wstart_;
  wlen_ = std::exchange(other.wlen_, 0);
  buf_gen_ = other.buf_gen_;
  failed_ = other.failed_;
  error_ = other.error_;
  buf_size_ = other.buf_size_;
  writer_ = std::move(other.writer_);
  other.rd_ = other.rlen_ = other.wstart_ = 0;
  return *this;
}

Stream Stream::Open(std::string_view path, std::string_view mode) {
  Stream s;
  if (mode.empty() || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return s;
  detail::OpenRequest how;
  how.kind = mode[0];
  how.update = mode.find('+') != std::string_view::npos;
  std::int64_t size = 0;
  detail::FileId f = detail::OpenFile(path, how, &size);
  if (f < 0) return s;
  s.fd_ = f;
  s.text_ = mode.find('b') == std::string_view::npos;
  s.append_ = how.kind == 'a';
  s.readable_ = how.kind == 'r' || how.update;
  s.writable_ = how.kind != 'r' || how.update;
  s.buf_size_ = kBufSize;
  s.buf_ = std::make_unique_for_overwrite<char[]>(s.buf_size_);
  s.buf_pos_ = s.append_ ? size : 0;
  s.buf_gen_ = g_write_generation;
  return s;
}

void Stream::DropBuffer() {
  assert(rd_ <= rlen_);
  DropBuffer(buf_pos_ + static_cast<std::int64_t>(rd_));
}

void Stream::DropBuffer(std::int64_t offset) {
  assert(wstart_ == 0 && wlen_ == 0);
  buf_pos_ = offset;
  rd_ = rlen_ = 0;
}

bool Stream::FlushWrites() {
  if (wlen_ == 0) return true;
  assert(wstart_ <= wlen_ && wlen_ <= rlen_ && rlen_ <= buf_size_);
  const char* p = buf_.get() + wstart_;
  std::size_t n = wlen_ - wstart_;
  std::int64_t off = buf_pos_ + static_cast<std::int64_t>(wstart_);
  if (writer_) {
    // The buffer goes to the writing thread; the stream goes on in another.
    assert(!readable_);  // WriteBehind takes write-only streams
    writer_->Submit(std::move(buf_), wstart_, n, off);
    buf_ = writer_->TakeBuffer();
    buf_gen_ = ++g_write_generation;
    wstart_ = wlen_ = 0;
    DropBuffer();
    return true;
  }
  bool ok = WriteAt(fd_, p, n, off, append_);
  buf_gen_ = ++g_write_generation;
  wstart_ = wlen_ = 0;
  if (!ok) {
    NoteFailure();
    failed_ = true;
    DropBuffer();  // the buffer no longer matches the file
    return false;
  }
  if (append_) {
    // Appended bytes went to the end, wherever that was by then.
    std::int64_t end = SizeOf(fd_);
    if (end >= 0) DropBuffer(end);
    else DropBuffer();
  }
  return true;
}

bool Stream::FillBuffer() {
  if (!FlushWrites()) return false;
  DropBuffer();
  buf_gen_ = g_write_generation;
  std::int64_t r = ReadAt(fd_, buf_.get(), buf_size_, buf_pos_);
  if (r < 0) NoteFailure();
  if (r <= 0) return false;
  detail::CountRead(r);
  rlen_ = static_cast<std::size_t>(r);
  return true;
}

void Stream::NoteFailure() {
  if (error_.kind != ErrorKind::kNone) return;
  error_ = LastError();
  // A failure the system did not explain still counts as one.
  if (error_.kind == ErrorKind::kNone || error_.kind == ErrorKind::kMissing) error_.kind = ErrorKind::kOther;
}

// The byte after the one at the position, without moving; -1 at the end.
int Stream::PeekAfterCurrent() {
  if (rd_ + 1 < rlen_) return static_cast<unsigned char>(buf_[rd_ + 1]);
  char c;
  std::int64_t r = ReadAt(fd_, &c, 1, buf_pos_ + static_cast<std::int64_t>(rd_) + 1);
  if (r < 0) NoteFailure();
  return r == 1 ? static_cast<unsigned char>(c) : -1;
}

int Stream::GetChar() {
  if (fd_ < 0 || !readable_ || eof_seen_) return -1;
  if (rd_ == rlen_ && !FillBuffer()) return -1;
  char c = buf_[rd_];
  if (text_) {
    if (c == kCtrlZ) {
      eof_seen_ = true;  // the position stays at the Ctrl-Z
      return -1;
    }
    if (c == '\r' && PeekAfterCurrent() == '\n') {
      if (rd_ + 1 < rlen_) {
        rd_ += 2;
      } else {
        // The line feed lies beyond the buffer.
        if (!FlushWrites()) return -1;
        DropBuffer(buf_pos_ + static_cast<std::int64_t>(rd_) + 2);
      }
      return '\n';
    }
  }
  ++rd_;
  return static_cast<unsigned char>(c);
}

bool Stream::ReadText(std::string& out, std::size_t n) {
  out.clear();
  if (fd_ < 0 || !readable_) return false;
  if (n == 0) return true;  // fgets with room for the terminator only
  while (out.size() < n) {
    if (rd_ < rlen_ && !eof_seen_) {
      // Take the plain bytes straight from the buffer.
      std::size_t limit = std::min(rlen_, rd_ + (n - out.size()));
      std::size_t i = rd_;
      const char* b = buf_.get();
      if (text_) {
        while (i < limit && b[i] != '\n' && b[i] != '\r' && b[i] != kCtrlZ) ++i;
      } else {
        const void* lf = std::memchr(b + i, '\n', limit - i);
        i = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - b) : limit;
      }
      if (i > rd_) {
        out.append(b + rd_, i - rd_);
        rd_ = i;
        continue;
      }
    }
    int c = GetChar();
    if (c < 0) break;
    out.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !out.empty();
}

std::size_t Stream::ReadRaw(char* dst, std::size_t n) {
  if (fd_ < 0 || !readable_) return 0;
  std::size_t got = 0;
  while (got < n) {
    if (!text_ && rd_ < rlen_) {
      std::size_t take = std::min(n - got, rlen_ - rd_);
      std::memcpy(dst + got, buf_.get() + rd_, take);
      rd_ += take;
      got += take;
      continue;
    }
    if (!text_ && n - got >= buf_size_) {
      // A large binary read goes straight into the caller's memory.
      if (!FlushWrites()) break;
      DropBuffer();
      std::int64_t r = ReadAt(fd_, dst + got, n - got, buf_pos_);
      if (r < 0) NoteFailure();
      if (r <= 0) break;
      detail::CountRead(r);
      buf_pos_ += r;
      got += static_cast<std::size_t>(r);
      continue;
    }
    int c = GetChar();
    if (c < 0) break;
    dst[got++] = static_cast<char>(c);
  }
  return got;
}

bool Stream::WriteRawBytes(const char* p, std::size_t n) {
  if (append_ && wlen_ == 0 && !writer_) {
    // A run of appends starts at the current end of the file. (Behind a
    // writing thread nothing else writes to it: the run goes on where the
    // last buffer ended.)
    std::int64_t size = SizeOf(fd_);
    if (size < 0) {
      NoteFailure();
      return false;
    }
    DropBuffer(size);
  }
  if (!append_ && !writer_ && n >= buf_size_) {
    // A large write goes straight to the file, after what the buffer holds.
    if (!FlushWrites()) return false;
    DropBuffer();
    const bool ok = WriteAt(fd_, p, n, buf_pos_, false);
    buf_gen_ = ++g_write_generation;
    if (!ok) {
      NoteFailure();
      failed_ = true;
      return false;
    }
    buf_pos_ += static_cast<std::int64_t>(n);
    return true;
  }
  while (n > 0) {
    if (rd_ == buf_size_) {
      if (!FlushWrites()) return false;
      DropBuffer();
    }
    std::size_t chunk = std::min(n, buf_size_ - rd_);
    std::memcpy(buf_.get() + rd_, p, chunk);
    if (wlen_ == 0) {
      wstart_ = rd_;
      wlen_ = rd_ + chunk;
    } else {
      wstart_ = std::min(wstart_, rd_);
      wlen_ = std::max(wlen_, rd_ + chunk);
    }
    rd_ += chunk;
    rlen_ = std::max(rlen_, rd_);
    p += chunk;
    n -= chunk;
  }
  return true;
}

bool Stream::Write(std::string_view bytes) {
  if (fd_ < 0 || !writable_) return false;
  if (!text_) return WriteRawBytes(bytes.data(), bytes.size());
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t lf = bytes.find('\n', start);
    std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    if (!WriteRawBytes(bytes.data() + start, end - start)) return false;
    if (lf == std::string_view::npos) break;
    if (!WriteRawBytes("\r\n", 2)) return false;
    start = lf + 1;
  }
  return true;
}

bool Stream::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  return Write(text);
}

bool Stream::Seek(std::int64_t offset) {
  if (fd_ < 0 || offset < 0) return false;
  if (append_ && wlen_ != 0 && !FlushWrites()) return false;
  eof_seen_ = false;
  std::int64_t end = buf_pos_ + static_cast<std::int64_t>(rlen_);
  if (offset >= buf_pos_ && offset <= end && (buf_gen_ == g_write_generation || wlen_ != 0)) {
    rd_ = static_cast<std::size_t>(offset - buf_pos_);
    return true;
  }
  if (!FlushWrites()) return false;
  DropBuffer(offset);
  return true;
}

bool Stream::SeekEnd() {
  std::int64_t size = Size();
  return size >= 0 && Seek(size);
}

std::int64_t Stream::Tell() {
  if (fd_ < 0) return -1;
  return buf_pos_ + static_cast<std::int64_t>(rd_);
}

std::int64_t Stream::Size() {
  if (fd_ < 0) return -1;
  if (!Settle()) return -1;
  std::int64_t size = SizeOf(fd_);
  if (size < 0) return -1;
  if (wlen_ != 0) size = std::max(size, buf_pos_ + static_cast<std::int64_t>(wlen_));
  return size;
}

bool Stream::Truncate(std::int64_t length) {
  if (fd_ < 0 || !writable_ || length < 0) return false;
  if (!FlushWrites() || !Settle()) return false;
  DropBuffer();  // keeps the position
  buf_gen_ = ++g_write_generation;
  if (detail::Resize(fd_, length)) return true;
  NoteFailure();
  return false;
}

bool Stream::Flush() {
  if (fd_ < 0) return false;
  return FlushWrites() && Settle() && !failed_;
}

bool Stream::Settle() {
  if (!writer_ || writer_->Drain()) return true;
  if (error_.kind == ErrorKind::kNone) {
    error_ = writer_->error();
    if (error_.kind == ErrorKind::kNone) error_.kind = ErrorKind::kOther;
  }
  failed_ = true;
  return false;
}

void Stream::WriteBehind() {
  if (fd_ < 0 || readable_ || writer_) return;
  if (!FlushWrites()) return;
  if (append_) {
    const std::int64_t end = SizeOf(fd_);
    if (end < 0) return;  // the stream writes for itself, finding the end each time
    DropBuffer(end);
  } else {
    DropBuffer();
  }
  try {
    writer_.reset(new detail::WriteBehindThread(fd_, append_, kBehindBufSize));
  } catch (const std::exception&) {
    return;  // no thread to be had: the stream writes for itself
  }
  buf_size_ = kBehindBufSize;
  buf_ = writer_->TakeBuffer();
}

bool Stream::Close() {
  if (fd_ < 0) return false;
  bool ok = FlushWrites();
  ok = Settle() && ok && !failed_;
  writer_.reset();
  if (!CloseFile(fd_)) {
    NoteFailure();
    ok = false;
  }
  fd_ = -1;
  buf_.reset();
  DropBuffer();
  return ok;
}

}  // namespace platform
