// What a conversion did to the data folder: files created, rewritten, renamed,
// moved to the temporary folder and deleted, with sizes and record counts.
// Told by comparing a snapshot of the data folder and of the folder of
// retired files taken before the conversion with one taken after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/tree.h"

namespace app {

struct Change {
  enum Kind { kCreated, kRewritten, kRenamed, kMoved, kDeleted };
  Kind kind;
  std::string path;     // in the data folder, as before the conversion (created: after)
  std::string to;       // renamed: the new name; moved: the path in the temporary folder
  bool folder = false;
  std::int64_t size_before = 0;
  std::int64_t size_after = 0;
  std::optional<std::int64_t> records;  // whole records of the file as it now stands
  std::int64_t files = 0;               // a created folder: the files in it
};

struct ChangeReport {
  std::string data_folder;
  std::string retired_folder;
  std::vector<Change> changes;
  std::vector<std::string> warnings;  // what the conversion passed over (cp1252)
  bool dry_run = false;               // what a conversion of a copy changed in the copy
};

// A report of a conversion of a copy told as of the installation it copies:
// the folders are named as the installation's.
void PlaceReport(ChangeReport& report, const std::string& data_folder, const std::string& retired_folder);

class ConversionWatch {
 public:
  // Snapshots the current folder and the folder of retired files.
  ConversionWatch();
  ChangeReport Finish() const;

 private:
  std::string data_folder_;
  std::string retired_folder_;
  std::vector<platform::TreeEntry> data_;
  std::vector<platform::TreeEntry> retired_;
};

// The record length of a data file of the current layouts, by its path in the
// data folder; nullopt for files without a fixed record.
std::optional<std::int64_t> RecordLengthOf(const std::string& path);

// A path for the terminal (UTF-8); a host path (the temporary folder on
// Linux) keeps its own separators.
std::string Shown(const std::string& path);

// A short table for the terminal (UTF-8).
std::string FormatReport(const ChangeReport& report);
// The same as JSON.
std::string ReportJson(const ChangeReport& report);

}  // namespace app
