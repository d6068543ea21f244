#include "platform/scratch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

#include "platform/os.h"
#include "platform/write_behind.h"

namespace platform {

namespace {

std::optional<std::size_t>& WorkMemoryOverride() {
  static std::optional<std::size_t> bytes;
  return bytes;
}

constexpr std::size_t kDefaultWorkMemory = std::size_t{16} << 20;
// Appended bytes go to the writing thread in buffers of this size.
constexpr std::size_t kBufferSize = std::size_t{256} << 10;

}  // namespace

std::size_t WorkMemory() {
  if (WorkMemoryOverride()) return *WorkMemoryOverride();
  if (const char* e = std::getenv("VEKCONV_WORK_MEMORY_KB")) {
    char* end = nullptr;
    const unsigned long long kb = std::strtoull(e, &end, 10);
    if (end != e && *end == '\0' && kb >= 1 && kb < (std::size_t{1} << 40)) return static_cast<std::size_t>(kb) * 1024;
  }
  return kDefaultWorkMemory;
}

void SetWorkMemory(std::optional<std::size_t> bytes) { WorkMemoryOverride() = bytes; }

void ScratchFile::WriterEnd::operator()(detail::WriteBehindThread* w) const { delete w; }

ScratchFile::~ScratchFile() { Close(); }

ScratchFile::ScratchFile(ScratchFile&& other) noexcept { *this = std::move(other); }

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
  if (this != &other) {
    Close();
    writer_ = std::move(other.writer_);
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    folder_ = std::move(other.folder_);
    error_ = std::move(other.error_);
    write_failed_ = other.write_failed_;
    buf_ = std::move(other.buf_);
    filled_ = std::exchange(other.filled_, 0);
  }
  return *this;
}

void ScratchFile::Close() {
  // Nothing written here is kept: a failed write or close loses nothing.
  writer_.reset();
  if (fd_ >= 0) static_cast<void>(detail::CloseFile(fd_));
  fd_ = -1;
}

ScratchFile ScratchFile::Create() {
  ScratchFile f;
  f.folder_ = TempFolder();
  ClearLastError();
  f.fd_ = f.folder_.empty() ? -1 : detail::OpenScratchFile(f.folder_);
  if (f.fd_ < 0) {
    f.error_ = LastError();
    if (f.error_.kind == ErrorKind::kNone) f.error_ = SystemError{ErrorKind::kMissing, 0, "no temporary folder"};
  }
  return f;
}

bool ScratchFile::Append(std::string_view bytes) {
  if (fd_ < 0 || error_.kind != ErrorKind::kNone) return false;
  if (!writer_) {
    try {
      writer_.reset(new detail::WriteBehindThread(fd_, /*append=*/false, kBufferSize));
      buf_ = writer_->TakeBuffer();
    } catch (const std::exception&) {
      writer_.reset();
      return WriteSelf(bytes);  // no thread to be had
    }
  }
  if (writer_->failed()) return NoteWriteFailure();
  while (!bytes.empty()) {
    const std::size_t chunk = std::min(bytes.size(), kBufferSize - filled_);
    std::memcpy(buf_.get() + filled_, bytes.data(), chunk);
    filled_ += chunk;
    size_ += static_cast<std::int64_t>(chunk);
    bytes.remove_prefix(chunk);
    if (filled_ == kBufferSize) HandOver();
  }
  return true;
}

void ScratchFile::HandOver() {
  writer_->Submit(std::move(buf_), 0, filled_, size_ - static_cast<std::int64_t>(filled_));
  buf_ = writer_->TakeBuffer();
  filled_ = 0;
}

bool ScratchFile::NoteWriteFailure() {
  error_ = writer_->error();
  if (error_.kind == ErrorKind::kNone) error_ = SystemError{ErrorKind::kOther, 0, "write failed"};
  write_failed_ = true;
  return false;
}

bool ScratchFile::WriteSelf(std::string_view bytes) {
  ClearLastError();
  if (!detail::WriteAt(fd_, bytes.data(), bytes.size(), size_, /*append=*/false)) {
    error_ = LastError();
    if (error_.kind == ErrorKind::kNone) error_ = SystemError{ErrorKind::kOther, 0, "write failed"};
    write_failed_ = true;
    return false;
  }
  size_ += static_cast<std::int64_t>(bytes.size());
  return true;
}

bool ScratchFile::Rewind() {
  if (fd_ < 0 || error_.kind != ErrorKind::kNone) return false;
  filled_ = 0;  // not needed any more
  if (writer_ && !writer_->Drain()) return NoteWriteFailure();
  size_ = 0;
  return true;
}

bool ScratchFile::ReadAt(std::int64_t offset, char* dst, std::size_t n) {
  if (fd_ < 0 || error_.kind != ErrorKind::kNone) return false;
  if (writer_) {
    // What is read must be on the file first.
    if (filled_ > 0 && offset + static_cast<std::int64_t>(n) > size_ - static_cast<std::int64_t>(filled_)) HandOver();
    if (!writer_->Drain()) return NoteWriteFailure();
  }
  ClearLastError();
  while (n > 0) {
    const std::int64_t r = detail::ReadAt(fd_, dst, n, offset);
    if (r <= 0) {
      error_ = LastError();
      // What was written is there: a short read is a fault of the disk.
      if (error_.kind == ErrorKind::kNone) error_ = SystemError{ErrorKind::kDevice, 0, "short read"};
      return false;
    }
    dst += r;
    offset += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

}  // namespace platform
