// The POSIX calls under Stream: file descriptors with pread/pwrite.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/posix/host.h"
#include "platform/os.h"

namespace platform::detail {

FileId OpenFile(std::string_view path, OpenRequest how, std::int64_t* size) {
  int flags = 0;
  switch (how.kind) {
    case 'r':
      flags = how.update ? O_RDWR : O_RDONLY;
      break;
    case 'w':
      flags = (how.update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      break;
    case 'a':
      flags = (how.update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      break;
    default:
      return -1;
  }
  std::optional<std::string> host = HostPath(path);
  if (!host) return -1;
  bool writing = how.kind != 'r' || how.update;
  struct stat st;
  bool existed = stat(host->c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    NoteSystemError();
    return -1;
  }
  // A pipe is never opened: the open itself could wait forever.
  if (existed && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
    NoteError(SystemError{ErrorKind::kNotAFile, 0, "not a regular file"});
    return -1;
  }
  // A read-only file cannot be opened for writing, whoever we run as.
  if (existed && writing && !(st.st_mode & S_IWUSR)) {
    errno = EACCES;
    NoteSystemError();
    return -1;
  }
  if (!existed) NoteSystemError();
  bool creates = !existed && (flags & O_CREAT);
  if (creates) posix::BeforeEntryChange(*host);
  // O_NONBLOCK: a file that became a pipe since the look above still does
  // not hold the open (it changes nothing for a regular file).
  int fd = open(host->c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    NoteSystemError();
    return -1;
  }
  if (creates) posix::AfterEntryChange(*host, true);
  if (fstat(fd, &st) != 0) {
    NoteSystemError();
    close(fd);
    return -1;
  }
  if (S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      NoteSystemError();
    } else {
      NoteError(SystemError{ErrorKind::kNotAFile, 0, "not a regular file"});
    }
    close(fd);
    return -1;
  }
  *size = st.st_size;
  return fd;
}

std::int64_t ReadAt(FileId f, char* dst, std::size_t n, std::int64_t offset) {
  if (RefusedAsInterrupted()) return -1;
  ssize_t r;
  do {
    r = pread(static_cast<int>(f), dst, n, offset);
  } while (r < 0 && errno == EINTR);
  if (r < 0) NoteSystemError();
  return r;
}

bool WriteAt(FileId f, const char* src, std::size_t n, std::int64_t offset, bool append) {
  if (RefusedAsInterrupted()) return false;
  const int fd = static_cast<int>(f);
  while (n > 0) {
    // O_APPEND puts every write at the end.
    ssize_t w = append ? write(fd, src, n) : pwrite(fd, src, n, offset);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) NoteSystemError();
    if (w <= 0) return false;
    src += w;
    offset += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

std::int64_t SizeOf(FileId f) {
  struct stat st;
  if (fstat(static_cast<int>(f), &st) != 0) return -1;
  return st.st_size;
}

bool Resize(FileId f, std::int64_t length) {
  if (ftruncate(static_cast<int>(f), length) == 0) return true;
  NoteSystemError();
  return false;
}

FileId OpenScratchFile(std::string_view folder) {
  std::optional<std::string> host = HostPath(folder);
  if (!host) return -1;
  int fd;
#ifdef O_TMPFILE
  do {
    fd = open(host->c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) return fd;
  // A file system without unnamed files: a named one, unlinked at once.
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    NoteSystemError();
    return -1;
  }
#endif
  std::string name = *host;
  if (!name.empty() && name.back() != '/') name += '/';
  name += "vekconv-work-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    NoteSystemError();
    return -1;
  }
  if (unlink(name.c_str()) != 0) {
    NoteSystemError();
    close(fd);
    static_cast<void>(unlink(name.c_str()));
    return -1;
  }
  return fd;
}

bool CloseFile(FileId f) {
  if (close(static_cast<int>(f)) == 0) return true;
  NoteSystemError();
  return false;
}

}  // namespace platform::detail
