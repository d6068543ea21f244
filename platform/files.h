// The file system as the converter sees it: Windows-style path text, drive C:,
// the current folder, directory search and the file operations with Windows
// semantics. Everything outside platform/ reaches the disk through here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Directory entry attributes, as the Windows API reports them.
enum : unsigned {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrFolder = 0x10,
  kAttrArchive = 0x20,
};

// ---- drives and the current folder -------------------------------------

// The host folder that stands for drive C:. Empty means drive C: is not mapped.
void SetDriveC(std::string host_folder);
const std::string& DriveC();

// The current folder as the program shows it ("C:\Zelk\Vek"), or the host path
// when the current folder lies outside drive C:.
std::string CurrentFolder();
// 'C' when the current folder lies inside drive C:, otherwise 0 ("another drive").
char CurrentDrive();
// Makes the folder current. False when it does not exist.
bool SetCurrentFolder(std::string_view path);

// Resolves Windows-style path text to the host path, matching every existing
// component without regard to letter case. Components that do not exist keep
// the spelling given. nullopt when the path names an unmapped drive.
std::optional<std::string> HostPath(std::string_view path);
// Path text that names the same entry as `path` does now, whatever folder
// drive C: stands for later (on Windows a host path on the real drive C:
// would otherwise be taken for one of the mapped drive).
std::string LastingPath(std::string_view path);

// ---- queries -----------------------------------------------------------

bool Exists(std::string_view path);
bool IsFolder(std::string_view path);
// Size in bytes, or -1 when the file does not exist.
std::int64_t FileSize(std::string_view path);
// Attributes of an existing entry, or nullopt.
std::optional<unsigned> Attributes(std::string_view path);
bool IsReadOnly(std::string_view path);
// The entry is there but is neither a file nor a folder (a pipe, a socket, a
// device) or is a link that leads nowhere: nothing to read as data, and
// opening it could wait forever.
bool IsSpecialEntry(std::string_view path);
// This process may list, enter and write the folder (as far as the system
// tells before trying).
bool FolderUsable(std::string_view path);
// Sets or clears the read-only attribute. False when the entry is missing.
bool SetReadOnly(std::string_view path, bool read_only);

// ---- directory search --------------------------------------------------

struct FindEntry {
  std::string name;  // the entry's own spelling
  std::int64_t size = 0;
  unsigned attributes = 0;
};

// Find-first/find-next over "folder\pattern" with the * and ? wildcards,
// matched without regard to case. The entries come sorted by name without
// regard to case, so that every run sees the same order. Includes "." and
// ".." when the pattern matches them, as the Windows search does.
std::vector<FindEntry> FindFiles(std::string_view pattern);
// True when the wildcard pattern matches the name (case-insensitive).
bool WildcardMatch(std::string_view pattern, std::string_view name);

// ---- operations --------------------------------------------------------

// Copies a file. With fail_if_exists an existing target makes it fail; without
// it a writable target is replaced (a read-only target is refused).
bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists);
// Makes a new file that shares the other's blocks on the disk (a reflink), so
// that it takes no room until one of them is written. False where the file
// system cannot (then nothing was made).
bool CloneFile(std::string_view from, std::string_view to);
// Moves or renames a file or folder. Never replaces an existing target.
bool MoveFile(std::string_view from, std::string_view to);
// Deletes a file; refuses a read-only file and a folder.
bool DeleteFile(std::string_view path);
// Creates one folder level. False when it exists or its parent is missing.
bool CreateFolder(std::string_view path);
// Removes an empty folder.
bool RemoveFolder(std::string_view path);

// Renames a file over an existing one, which it replaces in one step (a
// read-only target too); to another volume the file is copied and the copy
// put in place the same way. False when the source is missing.
bool ReplaceFile(std::string_view from, std::string_view to);

// ---- durability -------------------------------------------------------

// Puts the file's data on the disk (not only in the system's cache).
bool SyncFile(std::string_view path);
// Puts the folder's entries (names created, renamed, removed) on the disk.
// Systems that keep them safe by themselves answer true.
bool SyncFolder(std::string_view path);
// Bytes free for this user on the volume that holds the path; -1 unknown.
std::int64_t FreeSpace(std::string_view path);
// Both paths (or their nearest existing folders) lie on one volume, so that
// a folder can be renamed from one to the other.
bool SameVolume(std::string_view a, std::string_view b);

// ---- errors ------------------------------------------------------------

// What the system said when a file operation failed.
enum class ErrorKind {
  kNone,
  kMissing,  // no such file or folder
  kRefused,  // the name is taken, the folder is not empty, another volume
  kNoSpace,  // disk full, quota used up, file too large
  kDenied,   // permission, read-only file or volume, file in use
  kDevice,   // the disk itself failed (input/output error)
  kNotAFile, // a pipe, socket, device or a link to nothing where a file was expected
  kTooLarge, // a file beyond the size that the data files may have
  kInterrupted,  // the user asked the program to stop (CatchInterrupt)
  kOther,
};
struct SystemError {
  ErrorKind kind = ErrorKind::kNone;
  int code = 0;      // errno, or the Windows error code
  std::string text;  // the system's own words
};
// The failure of this thread's file operations since ClearLastError. A real
// failure is kept over later answers about names, so that a lookup that
// could not read a folder is not taken for a name that is missing.
const SystemError& LastError();
void ClearLastError();
// True for a failure of the system, not an answer about the names.
inline bool IsRealError(const SystemError& e) {
  return e.kind != ErrorKind::kNone && e.kind != ErrorKind::kMissing && e.kind != ErrorKind::kRefused &&
         e.kind != ErrorKind::kNotAFile;
}

// ---- busy probe --------------------------------------------------------

// True while another process holds a write lock on the file; the product on
// another computer holds the file so.
bool IsLockedByOther(std::string_view path);

// Holds a folder for this process while it lives, so that a second process
// that asks for it is refused. POSIX locks the folder itself; Windows holds a
// file of the given name in it, unshared, which goes when the process ends.
class FolderLock {
 public:
  FolderLock(std::string_view folder, std::string_view lock_file_name);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // False when another process holds the folder (or it cannot be held).
  bool held() const { return handle_ != -1; }

 private:
  std::intptr_t handle_ = -1;
};

// ---- temporary folder, clock, sleep -------------------------------------

// The user's temporary folder as path text ending in a separator. Empty when
// there is none.
std::string TempFolder();
// Replaces the user's temporary folder for this run (the demo keeps its
// retired files beside its sample installation); nullopt restores it.
void SetTempFolder(std::optional<std::string> folder);

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
};
// Today's date; SetToday() replaces the clock (tests, benchmarks), and a
// VEKCONV_TODAY=yyyy-mm-dd environment variable does the same.
Date Today();
void SetToday(std::optional<Date> date);

void SleepMs(int ms);

// Bytes this process has read and written through file calls so far, and its
// peak memory (-1 where the system does not tell); for the step timings.
struct IoTotals {
  std::int64_t read = -1;
  std::int64_t written = -1;
  std::int64_t peak_memory = -1;  // the most memory the process has held, in bytes
};
IoTotals ProcessIo();

}  // namespace platform
