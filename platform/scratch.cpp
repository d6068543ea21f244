#include "platform/scratch.h"

#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/os.h"

namespace platform {

namespace {

std::optional<std::size_t>& WorkMemoryOverride() {
  static std::optional<std::size_t> bytes;
  return bytes;
}

constexpr std::size_t kDefaultWorkMemory = std::size_t{16} << 20;

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

ScratchFile::~ScratchFile() { Close(); }

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      folder_(std::move(other.folder_)),
      error_(std::move(other.error_)) {}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    folder_ = std::move(other.folder_);
    error_ = std::move(other.error_);
  }
  return *this;
}

void ScratchFile::Close() {
  // Nothing written here is kept: a failed close loses nothing.
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
  ClearLastError();
  if (!detail::WriteAt(fd_, bytes.data(), bytes.size(), size_, /*append=*/false)) {
    error_ = LastError();
    if (error_.kind == ErrorKind::kNone) error_ = SystemError{ErrorKind::kOther, 0, "write failed"};
    return false;
  }
  size_ += static_cast<std::int64_t>(bytes.size());
  return true;
}

bool ScratchFile::ReadAt(std::int64_t offset, char* dst, std::size_t n) {
  if (fd_ < 0 || error_.kind != ErrorKind::kNone) return false;
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
