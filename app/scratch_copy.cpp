#include "app/scratch_copy.h"

#include <algorithm>
#include <optional>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/tree.h"
#include "platform/ui.h"
#include "steps/steps.h"

namespace app {

namespace {

constexpr char kDataFolder[] = "C:\\Zelk\\Vek";

// The host path of a folder the program names, when it is one.
std::optional<std::string> FolderAt(const std::string& path) {
  if (!platform::IsFolder(path)) return std::nullopt;
  return platform::HostPath(path);
}

bool Inside(const std::string& path, const std::string& folder) {
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          (path[folder.size()] == '/' || path[folder.size()] == '\\'));
}

std::string SystemWords() {
  const platform::SystemError& e = platform::LastError();
  return e.text.empty() ? std::string("refused by the system") : e.text;
}

std::string MB(std::int64_t bytes) { return std::to_string((bytes + 999'999) / 1'000'000) + " MB"; }

}  // namespace

ScratchInstallation::~ScratchInstallation() { Remove(); }

ScratchInstallation::Failure ScratchInstallation::Make(std::int64_t room_needed, std::string* error) {
  drive_c_ = platform::DriveC();
  temp_ = platform::TempFolder();
  current_ = platform::HostPath(".").value_or(".");
  const std::string temp = platform::TempFolder();
  for (int i = 0; i < 1000 && root_.empty(); ++i) {
    std::string candidate = temp + "vekconv-dry-run-" + std::to_string(i);
    if (platform::CreateFolder(candidate)) root_ = candidate;
  }
  if (root_.empty()) {
    *error = "cannot make a folder for the copy in " + platform::Cp1252ToUtf8(temp) + ": " + SystemWords();
    return Failure::kOther;
  }

  // What a conversion reads and changes: the data folder (C:\Zelk\Vek, or the
  // current folder when there is none), the photos beside it, the legacy
  // folder it imports, and the retired files that the numbered names of new
  // ones depend on.
  const std::optional<std::string> data = FolderAt(".");
  const bool usual = data && data == FolderAt(kDataFolder);
  start_ = root_ + (usual ? "\\c\\Zelk\\Vek" : "\\start\\Vek");
  parts_ = {{"C:\\Glebrium", root_ + "\\c\\Glebrium"},
            {kDataFolder, root_ + "\\c\\Zelk\\Vek"},
            {"C:\\Zelk\\Fotos\\Vek", root_ + "\\c\\Zelk\\Fotos\\Vek"},
            {steps::RetiredFolder(), root_ + "\\tmp\\" + steps::kRetiredSubfolder}};
  if (!usual) {
    parts_.push_back({current_, start_});
    parts_.push_back({current_ + "\\..\\Fotos\\Vek", root_ + "\\start\\Fotos\\Vek"});
  }
  const std::string root_host = platform::HostPath(root_).value_or(root_);
  std::int64_t bytes = 0;
  std::string first_file;
  std::string first_target;
  std::erase_if(parts_, [&](const Part& p) { return !FolderAt(p.from); });
  for (const Part& p : parts_) {
    if (Inside(root_host, *FolderAt(p.from))) {
      *error = "the temporary folder " + platform::Cp1252ToUtf8(temp) + " lies inside " +
               platform::Cp1252ToUtf8(p.from) + ", which is to be copied; set TMPDIR to a folder elsewhere";
      Remove();
      return Failure::kOther;
    }
    for (const platform::TreeEntry& e : platform::ListTree(p.from)) {
      if (e.folder) continue;
      bytes += e.size;
      if (first_file.empty() && e.size > 0) {
        first_file = p.from + "\\" + e.path;
        first_target = root_ + "\\probe";
      }
    }
  }
  // Where the file system clones, the copy takes no room; otherwise it must
  // fit beside what the conversion will take.
  cloned_ = !first_file.empty() && platform::CloneFile(first_file, first_target);
  if (cloned_) platform::DeleteFile(first_target);
  const std::int64_t free = platform::FreeSpace(root_);
  const std::int64_t needed = (cloned_ ? 0 : bytes) + room_needed;
  if (free >= 0 && needed > free) {
    *error = "not enough space in " + platform::Cp1252ToUtf8(temp) + " for a copy to convert: needed " + MB(needed) +
             ", free " + MB(free) + "; set TMPDIR to a folder on a disk with more room";
    Remove();
    return Failure::kNoSpace;
  }
  for (const Part& p : parts_) {
    Failure f = CopyPart(p, error);
    if (f != Failure::kNone) {
      Remove();
      return f;
    }
  }
  platform::CreateFolder(root_ + "\\tmp");
  return Failure::kNone;
}

ScratchInstallation::Failure ScratchInstallation::CopyPart(const Part& part, std::string* error) {
  // Parents first, as the copy's own folders.
  std::string made = root_;
  for (std::size_t at = root_.size() + 1; at <= part.to.size(); ++at) {
    if (at == part.to.size() || part.to[at] == '\\') {
      made = part.to.substr(0, at);
      platform::CreateFolder(made);
    }
  }
  for (const platform::TreeEntry& e : platform::ListTree(part.from)) {
    if (platform::Interrupted()) {
      *error = "interrupted";
      return Failure::kInterrupted;
    }
    // Another conversion's hold on the folder is no data.
    if (platform::WildcardMatch(steps::kLockFile, e.path)) continue;
    const std::string from = part.from + "\\" + e.path;
    const std::string to = part.to + "\\" + e.path;
    platform::ClearLastError();
    bool ok = e.folder ? platform::CreateFolder(to)
                       : (cloned_ && platform::CloneFile(from, to)) || platform::CopyFile(from, to, true);
    // A pipe, device or link to nothing is passed over by a conversion too.
    if (!ok && !e.folder && platform::LastError().kind == platform::ErrorKind::kNotAFile) continue;
    if (!ok) {
      *error = "cannot copy " + platform::Cp1252ToUtf8(from) + ": " + SystemWords();
      return platform::LastError().kind == platform::ErrorKind::kNoSpace ? Failure::kNoSpace : Failure::kOther;
    }
  }
  return Failure::kNone;
}

void ScratchInstallation::Enter() {
  // Named as they are now: once drive C: is the copy's, a path on the real
  // drive C: would be taken for one of the copy.
  const std::string temp = platform::LastingPath(root_ + "\\tmp") + "\\";
  const std::string start = platform::LastingPath(start_);
  platform::SetDriveC(platform::HostPath(root_ + "\\c").value_or(root_ + "\\c"));
  platform::SetTempFolder(temp);
  platform::SetCurrentFolder(start);
  entered_ = true;
}

void ScratchInstallation::Remove() {
  if (entered_) {
    platform::SetDriveC(drive_c_);
    platform::SetTempFolder(temp_);
    platform::SetCurrentFolder(current_);
    entered_ = false;
  }
  if (root_.empty()) return;
  std::vector<platform::TreeEntry> tree = platform::ListTree(root_);
  // Children before their folders.
  for (auto e = tree.rbegin(); e != tree.rend(); ++e) {
    const std::string path = root_ + "\\" + e->path;
    if (e->folder) {
      platform::RemoveFolder(path);
    } else {
      platform::SetReadOnly(path, false);
      platform::DeleteFile(path);
    }
  }
  platform::RemoveFolder(root_);
  root_.clear();
}

}  // namespace app
