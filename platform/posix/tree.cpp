#include "platform/tree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/files.h"

namespace platform {

namespace {

void Walk(const std::string& host, const std::string& rel, std::vector<TreeEntry>& out) {
  DIR* dir = opendir(host.c_str());
  if (!dir) return;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string child = host + "/" + name;
    struct stat st;
    if (lstat(child.c_str(), &st) != 0) continue;
    TreeEntry t;
    t.path = rel.empty() ? name : rel + "\\" + name;
    t.folder = S_ISDIR(st.st_mode);
    t.size = t.folder ? 0 : static_cast<std::int64_t>(st.st_size);
    t.write_time_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    t.file_id = (static_cast<std::uint64_t>(st.st_dev) << 40) ^ static_cast<std::uint64_t>(st.st_ino);
    out.push_back(t);
    if (t.folder) Walk(child, t.path, out);
  }
  closedir(dir);
}

}  // namespace

std::vector<TreeEntry> ListTree(std::string_view folder) {
  std::vector<TreeEntry> out;
  std::optional<std::string> host = HostPath(folder);
  if (!host) return out;
  Walk(*host, "", out);
  std::sort(out.begin(), out.end(), [](const TreeEntry& a, const TreeEntry& b) { return a.path < b.path; });
  return out;
}

}  // namespace platform
