// A snapshot of a folder tree: what a conversion changed is told by comparing
// two snapshots.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct TreeEntry {
  std::string path;  // relative to the snapshot's folder, components joined by '\'
  bool folder = false;
  std::int64_t size = 0;
  std::int64_t write_time_ns = 0;
  std::uint64_t file_id = 0;  // the same file keeps its id across renames; 0 when unknown
};

// Every file and folder below the folder (which itself is not listed), sorted
// by path. Empty when the folder does not exist.
std::vector<TreeEntry> ListTree(std::string_view folder);

}  // namespace platform
