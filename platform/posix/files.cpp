// POSIX file system with Windows behaviour: drive C: is a host folder, names
// match without regard to case, and the file operations refuse what Windows
// refuses (replacing targets, deleting read-only files).
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#if defined(__linux__)
#include <linux/fs.h>  // FICLONE
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "platform/fold.h"
#include "platform/os.h"
#include "platform/posix/host.h"

namespace platform {

void detail::NoteSystemError() {
  const int code = errno;
  SystemError e;
  e.code = code;
  switch (code) {
    case ENOENT:
    case ENOTDIR:
      e.kind = ErrorKind::kMissing;
      break;
    case EEXIST:
    case ENOTEMPTY:
    case EXDEV:
      e.kind = ErrorKind::kRefused;
      break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      e.kind = ErrorKind::kNoSpace;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY:
      e.kind = ErrorKind::kDenied;
      break;
    case EIO:
    case ENXIO:
    case ENODEV:
      e.kind = ErrorKind::kDevice;
      break;
    default:
      e.kind = ErrorKind::kOther;
      break;
  }
  e.text = std::strerror(code);
  NoteError(std::move(e));
  errno = code;
}

namespace {

using detail::FoldText;
using detail::IsSep;
using detail::NoteSystemError;

std::string Cwd() {
  std::string buf(512, '\0');
  for (;;) {
    if (getcwd(buf.data(), buf.size())) {
      buf.resize(std::strlen(buf.c_str()));
      return buf;
    }
    if (errno != ERANGE) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::string RealPath(const std::string& p) {
  char* r = realpath(p.c_str(), nullptr);
  if (!r) return std::string();
  std::string s(r);
  std::free(r);
  return s;
}

std::string StripTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string Join(const std::string& folder, std::string_view name) {
  std::string s = folder;
  if (s.empty() || s.back() != '/') s += '/';
  s.append(name);
  return s;
}

// Host path -> (folder, name). Host paths made here are always absolute.
std::pair<std::string, std::string> SplitHost(const std::string& host) {
  std::size_t p = host.rfind('/');
  if (p == std::string::npos) return {".", host};
  return {p == 0 ? std::string("/") : host.substr(0, p), host.substr(p + 1)};
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// ---- case-folded folder indexes -----------------------------------------

// How long after a folder's last change its timestamp cannot tell whether a
// later change in the same clock tick happened (coarse file system clocks).
constexpr long long kRacyWindowNs = 100'000'000;

struct FolderIndex {
  timespec mtime{};
  timespec own_mtime{};  // the folder's time right after our own last change
  bool racy = false;     // read too soon after a change to trust the time
  bool has_dups = false; // names that differ only in case
  std::unordered_map<std::string, std::string> names;  // folded -> real
};

class IndexCache {
 public:
  // The real spelling of the entry of the host folder that matches the name
  // without regard to case.
  std::optional<std::string> Lookup(const std::string& folder, std::string_view name) {
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) {
      NoteSystemError();
      return std::nullopt;
    }
    if (!S_ISDIR(st.st_mode)) return std::nullopt;
    auto it = map_.find(folder);
    if (it == map_.end() || it->second.racy || !SameTime(it->second.mtime, st.st_mtim)) {
      timespec own{};
      if (it != map_.end()) own = it->second.own_mtime;
      if (it == map_.end()) {
        if (map_.size() >= kMaxFolders) map_.clear();
        it = map_.emplace(folder, FolderIndex{}).first;
      }
      if (!Build(folder, st.st_mtim, own, it->second)) {
        map_.erase(it);
        return std::nullopt;
      }
    }
    auto hit = it->second.names.find(FoldText(name));
    if (hit == it->second.names.end()) return std::nullopt;
    return hit->second;
  }

  void Before(const std::string& host) {
    auto [folder, name] = SplitHost(host);
    auto it = map_.find(folder);
    if (it == map_.end()) return;
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !SameTime(st.st_mtim, it->second.mtime)) map_.erase(it);
  }

  void After(const std::string& host, bool added) {
    auto [folder, name] = SplitHost(host);
    auto it = map_.find(folder);
    if (it == map_.end()) return;
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) {
      map_.erase(it);
      return;
    }
    FolderIndex& idx = it->second;
    std::string key = FoldText(name);
    auto hit = idx.names.find(key);
    if (added) {
      if (hit == idx.names.end()) idx.names.emplace(std::move(key), name);
      else if (hit->second != name) idx.has_dups = true;
    } else if (hit != idx.names.end() && hit->second == name) {
      if (idx.has_dups) {
        map_.erase(it);  // another spelling may remain; read the folder again
        return;
      }
      idx.names.erase(hit);
    }
    idx.mtime = st.st_mtim;
    idx.own_mtime = st.st_mtim;
  }

  // Forgets the indexes of a folder that moved or went, and of everything
  // below it: a new folder of that name later is another folder.
  void ForgetTree(const std::string& host) {
    std::string prefix = host + "/";
    for (auto it = map_.begin(); it != map_.end();) {
      if (it->first == host || it->first.compare(0, prefix.size(), prefix) == 0) it = map_.erase(it);
      else ++it;
    }
  }

 private:
  static constexpr std::size_t kMaxFolders = 256;

  static bool Build(const std::string& folder, const timespec& mtime, const timespec& own,
                    FolderIndex& idx) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
      NoteSystemError();
      return false;
    }
    idx.names.clear();
    idx.has_dups = false;
    while (dirent* e = readdir(dir)) {
      std::string_view n = e->d_name;
      if (n == "." || n == "..") continue;
      auto [at, inserted] = idx.names.emplace(FoldText(n), std::string(n));
      if (!inserted) {
        idx.has_dups = true;
        if (n < at->second) at->second = std::string(n);  // same choice every time
      }
    }
    closedir(dir);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    long long age = (static_cast<long long>(now.tv_sec) - mtime.tv_sec) * 1'000'000'000LL +
                    (now.tv_nsec - mtime.tv_nsec);
    idx.mtime = mtime;
    idx.own_mtime = own;
    idx.racy = age < kRacyWindowNs && !SameTime(mtime, own);
    return true;
  }

  std::unordered_map<std::string, FolderIndex> map_;
};


IndexCache& Cache() {
  static IndexCache cache;
  return cache;
}

bool Lexists(const std::string& p) {
  struct stat st;
  if (lstat(p.c_str(), &st) == 0) return true;
  NoteSystemError();
  return false;
}

// stat, falling back to lstat for a link that points nowhere.
bool StatEntry(const std::string& p, struct stat& st) {
  if (stat(p.c_str(), &st) == 0 || lstat(p.c_str(), &st) == 0) return true;
  NoteSystemError();
  return false;
}

std::optional<std::string> Resolve(std::string_view path) {
  if (path.empty()) return std::nullopt;
  std::string base;
  std::string_view rest = path;
  if (detail::HasDrive(path)) {
    if (!detail::OnDriveC(path) || !detail::DriveCMapped()) return std::nullopt;
    rest = path.substr(2);
    // "C:name" is relative to the current folder when that lies on C:.
    if (!rest.empty() && !IsSep(rest[0]) && CurrentDrive() == 'C') base = Cwd();
    else base = detail::DriveCFolder();
  } else if (path[0] == '/') {
    base = "/";
  } else if (path[0] == '\\') {
    if (path.size() >= 2 && IsSep(path[1])) return std::nullopt;  // network names
    base = CurrentDrive() == 'C' ? detail::DriveCFolder() : std::string("/");
  } else {
    base = Cwd();
  }
  if (base.empty()) return std::nullopt;

  const std::vector<std::string_view> parts = detail::SplitNames(rest);

  // The exact spelling costs one lstat and is the usual case.
  std::string exact = base;
  for (std::string_view p : parts) exact = Join(exact, p);
  if (parts.empty() || Lexists(exact)) return exact;

  std::string host = base;
  bool missing = false;
  for (std::string_view p : parts) {
    if (missing || p == "." || p == "..") {
      host = Join(host, p);
      continue;
    }
    std::string candidate = Join(host, p);
    // The whole path spelt as given is already known to be missing.
    if (candidate != exact && Lexists(candidate)) {
      host = std::move(candidate);
    } else if (auto real = Cache().Lookup(host, p)) {
      host = Join(host, *real);
    } else {
      missing = true;  // new names keep the program's spelling
      host = std::move(candidate);
    }
  }
  return host;
}

std::string LastComponent(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsSep(text[end - 1])) --end;
  std::size_t start = end;
  while (start > 0 && !IsSep(text[start - 1])) --start;
  return std::string(detail::TrimComponent(text.substr(start, end - start)));
}

unsigned AttributesOf(const struct stat& st, std::string_view name) {
  unsigned a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrFolder;
  else if (S_ISREG(st.st_mode)) a |= kAttrArchive;
  if (!(st.st_mode & S_IWUSR)) a |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= kAttrHidden;
  return a;
}

// Rename that fails when the target exists, even when another process
// creates it at the same moment where the kernel allows that check.
bool RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
    NoteSystemError();
    return false;
  }
#endif
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) {
    NoteSystemError();
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    if (link(from.c_str(), to.c_str()) == 0) {
      unlink(from.c_str());
      return true;
    }
    if (errno == EEXIST) return false;
  }
  struct stat target;
  if (lstat(to.c_str(), &target) == 0) return false;
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  NoteSystemError();
  return false;
}

bool WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      NoteSystemError();
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool CopyBytes(int in, int out) {
  // In the kernel where it can (no trip of every byte through this process),
  // as cp does; by reading and writing where it cannot.
  for (bool first = true;; first = false) {
    ssize_t r = copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
    if (r > 0) {
      detail::CountRead(r);
      continue;
    }
    if (r == 0) return true;
    if (errno == EINTR) continue;
    if (!first || (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)) {
      NoteSystemError();
      return false;
    }
    break;
  }
  std::vector<char> buf(1 << 16);
  for (;;) {
    ssize_t r = read(in, buf.data(), buf.size());
    if (r < 0) {
      if (errno == EINTR) continue;
      NoteSystemError();
      return false;
    }
    if (r == 0) return true;
    detail::CountRead(r);
    if (!WriteAll(out, buf.data(), static_cast<std::size_t>(r))) return false;
  }
}

}  // namespace

namespace posix {
void BeforeEntryChange(const std::string& host) { Cache().Before(host); }
void AfterEntryChange(const std::string& host, bool added) { Cache().After(host, added); }
}  // namespace posix

// ---- drives and the current folder -------------------------------------

// Canonical when the folder exists; otherwise made absolute as it is spelt.
std::string detail::AbsoluteDriveFolder(const std::string& given) {
  std::string real = RealPath(given);
  if (!real.empty()) return real;
  if (given[0] == '/') return StripTrailingSlashes(given);
  return StripTrailingSlashes(Join(Cwd(), given));
}

std::optional<std::string> detail::CwdInsideDriveC(std::string* cwd_out) {
  std::string cwd = Cwd();
  if (cwd_out) *cwd_out = cwd;
  if (!DriveCMapped()) return std::nullopt;
  // The folder as it was given at the start: a relative name means the folder
  // it named then, not one below the current folder of the moment.
  std::string root = RealPath(DriveCFolder());
  if (root.empty() || cwd.empty()) return std::nullopt;
  if (cwd == root) return std::string();
  std::string prefix = root == "/" ? root : root + "/";
  if (cwd.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return cwd.substr(prefix.size());
}

// The host has no drive letters of its own.
char detail::HostCurrentDrive() { return 0; }

// An absolute host path is never taken for one of drive C:.
std::string detail::AsProgramText(const std::string& host) { return host; }

bool SetCurrentFolder(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  return host && chdir(host->c_str()) == 0;
}

std::optional<std::string> HostPath(std::string_view path) { return Resolve(path); }

// An absolute host path is never taken for one of drive C:.
std::string LastingPath(std::string_view path) { return Resolve(path).value_or(std::string(path)); }

// ---- queries -----------------------------------------------------------

bool Exists(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  return host && Lexists(*host);
}

bool IsFolder(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  struct stat st;
  return host && stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FileSize(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  struct stat st;
  if (!host || !StatEntry(*host, st)) return -1;
  return S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
}

std::optional<unsigned> Attributes(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  struct stat st;
  if (!host || !StatEntry(*host, st)) return std::nullopt;
  return AttributesOf(st, SplitHost(*host).second);
}

bool IsSpecialEntry(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  struct stat st;
  if (!host || lstat(host->c_str(), &st) != 0) return false;
  if (stat(host->c_str(), &st) != 0) return true;  // a link that leads nowhere
  return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool FolderUsable(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  if (!host) return false;
  if (access(host->c_str(), R_OK | W_OK | X_OK) == 0) return true;
  NoteSystemError();
  return false;
}

bool SetReadOnly(std::string_view path, bool read_only) {
  std::optional<std::string> host = Resolve(path);
  struct stat st;
  if (!host || stat(host->c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (read_only) {
    mode &= ~static_cast<mode_t>(0222);
  } else {
    // The owner may write again; group and others as the umask allows.
    mode_t mask = umask(0);
    umask(mask);
    mode |= S_IWUSR | (0022 & ~mask & ((mode & 0044) >> 1));
  }
  return chmod(host->c_str(), mode) == 0;
}

// ---- directory search --------------------------------------------------

std::vector<FindEntry> detail::FindInFolder(const std::string& folder, std::string_view pat, bool one_name) {
  std::vector<FindEntry> out;
  auto add = [&](const std::string& name) {
    struct stat st;
    if (!StatEntry(Join(folder, name), st)) return;
    FindEntry e;
    e.name = name;
    e.size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
    e.attributes = AttributesOf(st, name);
    out.push_back(std::move(e));
  };

  if (one_name) {
    // Looked up instead of reading the whole folder.
    std::string exact = Join(folder, pat);
    if (Lexists(exact)) add(std::string(pat));
    else if (auto real = Cache().Lookup(folder, pat)) add(*real);
    return out;
  }

  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    NoteSystemError();
    return out;
  }
  while (dirent* e = readdir(dir)) {
    if (WildcardMatch(pat, e->d_name)) add(e->d_name);
  }
  closedir(dir);
  return out;
}

// ---- operations --------------------------------------------------------

namespace {

bool SyncHost(const std::string& host, int flags) {
  int fd = open(host.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    NoteSystemError();
    return false;
  }
  bool ok = (flags & O_DIRECTORY) ? fsync(fd) == 0 : fdatasync(fd) == 0;
  if (!ok) NoteSystemError();
  close(fd);
  return ok;
}

// A file opened to be copied: never blocks on a pipe, and where the system
// lets this user, leaves the file's time of last access as it was (a copy is
// not a use of the file).
int OpenToCopy(const std::string& src) {
#ifdef O_NOATIME
  int fd = open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
  if (fd >= 0 || errno != EPERM) return fd;
#endif
  return open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

bool CopyHost(const std::string& src, const std::string& dst, bool fail_if_exists) {
  struct stat pre;
  if (stat(src.c_str(), &pre) == 0 && !S_ISREG(pre.st_mode) && !S_ISDIR(pre.st_mode)) {
    detail::NoteError(SystemError{ErrorKind::kNotAFile, 0, "not a regular file"});  // a pipe would hold the open
    return false;
  }
  int in = OpenToCopy(src);
  if (in < 0) {
    NoteSystemError();
    return false;
  }
  struct stat sst;
  if (fstat(in, &sst) != 0 || !S_ISREG(sst.st_mode)) {
    close(in);
    return false;
  }
  struct stat tst;
  bool existed = lstat(dst.c_str(), &tst) == 0;
  if (existed && (fail_if_exists || S_ISDIR(tst.st_mode) || !(tst.st_mode & S_IWUSR) ||
                  (tst.st_dev == sst.st_dev && tst.st_ino == sst.st_ino))) {
    close(in);
    return false;
  }

  // The copy is written under a hidden name next to the target and renamed
  // into place, so that a failed copy never leaves a half-written target and
  // a replaced target stays whole until the new one is complete.
  static unsigned counter = 0;
  auto [folder, name] = SplitHost(dst);
  std::string tmp = Join(folder, (name.size() <= 200 ? "." + name : std::string()) + ".vekcopy-" +
                                     std::to_string(getpid()) + "-" + std::to_string(++counter));
  posix::BeforeEntryChange(dst);
  int out = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    NoteSystemError();
    close(in);
    return false;
  }
  bool ok = CopyBytes(in, out);
  close(in);
  if (ok) {
    const timespec times[2] = {sst.st_atim, sst.st_mtim};
    futimens(out, times);
    ok = fchmod(out, sst.st_mode & 07777) == 0;
  }
  if (close(out) != 0) {
    NoteSystemError();
    ok = false;
  }
  if (ok) {
    ok = fail_if_exists ? RenameNoReplace(tmp, dst) : rename(tmp.c_str(), dst.c_str()) == 0;
    if (!ok && !fail_if_exists) NoteSystemError();
  }
  if (!ok) unlink(tmp.c_str());
  posix::AfterEntryChange(dst, ok || existed);
  return ok;
}

}  // namespace

bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists) {
  std::optional<std::string> src = Resolve(from);
  std::optional<std::string> dst = Resolve(to);
  return src && dst && CopyHost(*src, *dst, fail_if_exists);
}

bool CloneFile(std::string_view from, std::string_view to) {
#ifdef FICLONE
  std::optional<std::string> src = Resolve(from);
  std::optional<std::string> dst = Resolve(to);
  if (!src || !dst) return false;
  int in = OpenToCopy(*src);
  if (in < 0) {
    NoteSystemError();
    return false;
  }
  struct stat st;
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    detail::NoteError(SystemError{ErrorKind::kNotAFile, 0, "not a regular file"});
    return false;
  }
  posix::BeforeEntryChange(*dst);
  int out = open(dst->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    NoteSystemError();
    close(in);
    return false;
  }
  bool ok = ioctl(out, FICLONE, in) == 0;
  if (!ok) NoteSystemError();
  close(in);
  if (ok) {
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ok = futimens(out, times) == 0 && fchmod(out, st.st_mode & 07777) == 0;
  }
  if (close(out) != 0) ok = false;
  if (!ok) unlink(dst->c_str());
  posix::AfterEntryChange(*dst, ok);
  return ok;
#else
  (void)from;
  (void)to;
  detail::NoteError(SystemError{ErrorKind::kRefused, 0, "the file system cannot clone files"});
  return false;
#endif
}

bool MoveFile(std::string_view from, std::string_view to) {
  std::optional<std::string> src = Resolve(from);
  std::optional<std::string> dst = Resolve(to);
  if (!src || !dst || !Lexists(*src)) return false;
  if (*src == *dst) {
    // The same entry named in another letter case: Windows renames it to the
    // new spelling.
    auto [folder, old_name] = SplitHost(*src);
    std::string new_name = LastComponent(to);
    if (new_name == old_name || new_name == "." || new_name == ".." || new_name.empty()) return true;
    std::string target = Join(folder, new_name);
    posix::BeforeEntryChange(*src);
    bool ok = RenameNoReplace(*src, target);
    if (ok) {
      Cache().ForgetTree(*src);
      posix::AfterEntryChange(*src, false);
      posix::AfterEntryChange(target, true);
    }
    return ok;
  }
  if (Lexists(*dst)) return false;
  posix::BeforeEntryChange(*src);
  posix::BeforeEntryChange(*dst);
  if (!RenameNoReplace(*src, *dst)) {
    // Windows moves a file to another volume by copying it (the temporary
    // folder may be another file system here); a folder stays.
    struct stat st;
    if (errno != EXDEV || lstat(src->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // The source goes only once its copy is on the disk.
    if (!CopyHost(*src, *dst, true) || !SyncHost(*dst, O_RDONLY)) return false;
    if (unlink(src->c_str()) != 0) {
      unlink(dst->c_str());
      posix::AfterEntryChange(*dst, false);
      return false;
    }
  }
  Cache().ForgetTree(*src);
  posix::AfterEntryChange(*src, false);
  posix::AfterEntryChange(*dst, true);
  return true;
}

namespace {

// Makes one change of a folder entry by the system call given (0 when done),
// keeping the name index in step; `exists_after` says whether the entry is
// there once the call is done.
template <typename Call>
bool ChangeEntry(const std::string& host, bool exists_after, Call call) {
  posix::BeforeEntryChange(host);
  if (call() != 0) {
    NoteSystemError();
    return false;
  }
  if (!exists_after) Cache().ForgetTree(host);
  posix::AfterEntryChange(host, exists_after);
  return true;
}

}  // namespace

bool DeleteFile(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  struct stat st;
  if (!host || lstat(host->c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return false;
  if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return false;
  return ChangeEntry(*host, false, [&] { return unlink(host->c_str()); });
}

bool CreateFolder(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  return host && ChangeEntry(*host, true, [&] { return mkdir(host->c_str(), 0777); });
}

bool RemoveFolder(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  struct stat st;
  if (!host || lstat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ChangeEntry(*host, false, [&] { return rmdir(host->c_str()); });
}

bool ReplaceFile(std::string_view from, std::string_view to) {
  std::optional<std::string> src = Resolve(from);
  std::optional<std::string> dst = Resolve(to);
  if (!src || !dst || !Lexists(*src)) return false;
  posix::BeforeEntryChange(*src);
  posix::BeforeEntryChange(*dst);
  if (rename(src->c_str(), dst->c_str()) != 0) {
    if (errno != EXDEV) {
      NoteSystemError();
      return false;
    }
    // To another volume: a whole copy is put in place, then the source goes.
    if (!CopyHost(*src, *dst, false) || !SyncHost(*dst, O_RDONLY)) return false;
    if (unlink(src->c_str()) != 0) {
      NoteSystemError();
      return false;
    }
  }
  Cache().ForgetTree(*src);
  posix::AfterEntryChange(*src, false);
  posix::AfterEntryChange(*dst, true);
  return true;
}

// ---- durability -------------------------------------------------------

namespace {

// The path, or the nearest folder above it that exists.
std::string NearestExisting(std::string host) {
  struct stat st;
  while (stat(host.c_str(), &st) != 0) {
    const std::size_t cut = host.rfind('/');
    if (cut == std::string::npos || cut == 0) return "/";
    host.resize(cut);
  }
  return host;
}

}  // namespace

bool SyncFile(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  return host && SyncHost(*host, O_RDONLY);
}

bool SyncFolder(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  return host && SyncHost(*host, O_RDONLY | O_DIRECTORY);
}

std::int64_t FreeSpace(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  if (!host) return -1;
  struct statvfs vfs;
  if (statvfs(NearestExisting(*host).c_str(), &vfs) != 0) return -1;
  return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
}

bool SameVolume(std::string_view a, std::string_view b) {
  std::optional<std::string> ha = Resolve(a);
  std::optional<std::string> hb = Resolve(b);
  struct stat sa, sb;
  if (!ha || !hb || stat(NearestExisting(*ha).c_str(), &sa) != 0 || stat(NearestExisting(*hb).c_str(), &sb) != 0) {
    return false;
  }
  return sa.st_dev == sb.st_dev;
}

// ---- busy probe --------------------------------------------------------

bool IsLockedByOther(std::string_view path) {
  std::optional<std::string> host = Resolve(path);
  if (!host) return false;
  int fd = open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct flock lk {};
  lk.l_type = F_RDLCK;
  lk.l_whence = SEEK_SET;
  lk.l_start = 0;
  lk.l_len = 0;  // the whole file
  bool busy = fcntl(fd, F_GETLK, &lk) == 0 && lk.l_type != F_UNLCK;
  close(fd);
  return busy;
}

FolderLock::FolderLock(std::string_view folder, std::string_view) {
  std::optional<std::string> host = Resolve(folder);
  if (!host) return;
  int fd = open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    NoteSystemError();
    return;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    NoteSystemError();
    close(fd);
    return;
  }
  handle_ = fd;
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

// ---- temporary folder, clock, sleep -------------------------------------

std::string detail::SystemTempFolder() {
  const char* t = std::getenv("TMPDIR");
  std::string s = (t && *t) ? t : "/tmp";
  if (s.back() != '/') s += '/';
  return s;
}

Date detail::SystemToday() {
  time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void SleepMs(int ms) {
  if (ms <= 0) return;
  timespec req{ms / 1000, static_cast<long>(ms % 1000) * 1'000'000L};
  while (nanosleep(&req, &req) != 0 && errno == EINTR) {
  }
}

IoTotals ProcessIo() {
  IoTotals t;
  std::FILE* f = std::fopen("/proc/self/io", "r");
  if (!f) return t;
  char line[128];
  long long v = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "rchar: %lld", &v) == 1) t.read = v;
    if (std::sscanf(line, "wchar: %lld", &v) == 1) t.written = v;
  }
  std::fclose(f);
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) == 0) t.peak_memory = static_cast<std::int64_t>(usage.ru_maxrss) * 1024;
  return t;
}

}  // namespace platform
