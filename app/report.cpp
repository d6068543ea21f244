#include "app/report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <string_view>
#include <unordered_map>

#include "platform/files.h"
#include "platform/ui.h"
#include "steps/steps.h"
#include "store/changes.h"
#include "store/files.h"

namespace app {

namespace {

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

bool Under(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '\\';
}

const char* KindWord(Change::Kind k) {
  switch (k) {
    case Change::kCreated: return "created";
    case Change::kRewritten: return "rewritten";
    case Change::kRenamed: return "renamed";
    case Change::kMoved: return "moved";
    case Change::kDeleted: return "deleted";
  }
  return "";
}

std::string Grouped(std::int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

}  // namespace

std::string Shown(const std::string& path) {
  std::string s = platform::Cp1252ToUtf8(path);
  if (!s.empty() && s[0] == '/') std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

std::optional<std::int64_t> RecordLengthOf(const std::string& path) {
  // Names in the catalogue are patterns: a path in the data folder,
  // wildcards, no regard to case.
  for (const store::RecordFile& f : store::files::kConverted) {
    std::string_view pattern = f.name;
    std::size_t slash = pattern.rfind('\\');
    std::size_t pslash = path.rfind('\\');
    std::string_view folder = slash == std::string_view::npos ? "" : pattern.substr(0, slash);
    std::string_view name = slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    std::string path_folder = pslash == std::string::npos ? "" : path.substr(0, pslash);
    std::string path_name = pslash == std::string::npos ? path : path.substr(pslash + 1);
    if (Upper(folder) == Upper(path_folder) && platform::WildcardMatch(name, path_name)) return static_cast<std::int64_t>(f.length);
  }
  return std::nullopt;
}

namespace {

// The data folder without the converter's own entries (staging folder,
// journal, progress), which are no data.
std::vector<platform::TreeEntry> DataTree() {
  std::vector<platform::TreeEntry> tree = platform::ListTree(".");
  std::erase_if(tree, [](const platform::TreeEntry& e) {
    return store::IsOwnName(std::string_view(e.path).substr(0, e.path.find('\\')));
  });
  return tree;
}

}  // namespace

ConversionWatch::ConversionWatch()
    : data_folder_(platform::CurrentFolder()),
      retired_folder_(steps::RetiredFolder()),
      data_(DataTree()),
      retired_(platform::ListTree(retired_folder_)) {}

ChangeReport ConversionWatch::Finish() const {
  ChangeReport report{data_folder_, retired_folder_, {}, {}};
  const std::vector<platform::TreeEntry> data_after = DataTree();
  const std::vector<platform::TreeEntry> retired_after = platform::ListTree(retired_folder_);

  std::map<std::string, const platform::TreeEntry*> before_by_path;
  for (const auto& e : data_) before_by_path[e.path] = &e;
  std::map<std::string, const platform::TreeEntry*> after_by_path;
  std::unordered_map<std::uint64_t, const platform::TreeEntry*> after_by_id;
  for (const auto& e : data_after) {
    after_by_path[e.path] = &e;
    if (e.file_id) after_by_id[e.file_id] = &e;
  }
  // Retired entries are matched by name: a move keeps the name (but for a
  // numbered suffix), while a file id may be reused by the file system.
  std::map<std::string, bool> retired_before;
  for (const auto& e : retired_) retired_before[e.path] = true;
  // The name an entry had before it was moved: without the number a move adds
  // when the name is taken.
  auto unnumbered = [](std::string path) {
    const std::size_t n = path.size();
    if (n > 4 && path[n - 4] == '.' && std::isdigit(static_cast<unsigned char>(path[n - 1])) &&
        std::isdigit(static_cast<unsigned char>(path[n - 2])) && std::isdigit(static_cast<unsigned char>(path[n - 3]))) {
      path.resize(n - 4);
    }
    return path;
  };
  std::multimap<std::string, const platform::TreeEntry*> retired_new_by_name;
  std::vector<std::string> retired_new_folders;
  for (const auto& e : retired_after) {
    if (retired_before.count(e.path)) continue;
    if (std::any_of(retired_new_folders.begin(), retired_new_folders.end(),
                    [&](const std::string& f) { return Under(e.path, f); })) {
      continue;  // told by its folder
    }
    if (e.folder) retired_new_folders.push_back(e.path);
    retired_new_by_name.emplace(Upper(unnumbered(e.path)), &e);
  }

  auto records = [](const std::string& path, const platform::TreeEntry& e) -> std::optional<std::int64_t> {
    std::optional<std::int64_t> len = RecordLengthOf(path);
    if (!len || e.folder) return std::nullopt;
    return e.size / *len;
  };

  // Entries below a folder that moved or went away as a whole are told by
  // that folder alone.
  std::vector<std::string> settled;
  auto inside_settled = [&](const std::string& path) {
    return std::any_of(settled.begin(), settled.end(), [&](const std::string& f) { return Under(path, f); });
  };
  for (const auto& e : data_) {
    if (inside_settled(e.path)) continue;
    auto same = after_by_path.find(e.path);
    if (same != after_by_path.end() && same->second->folder == e.folder) {
      const platform::TreeEntry& a = *same->second;
      if (!e.folder && (a.file_id != e.file_id || a.size != e.size || a.write_time_ns != e.write_time_ns)) {
        report.changes.push_back(
            {Change::kRewritten, e.path, "", false, e.size, a.size, records(e.path, a)});
      }
      continue;
    }
    auto moved = retired_new_by_name.find(Upper(e.path));
    auto renamed = after_by_id.find(e.file_id);
    if (moved != retired_new_by_name.end()) {
      report.changes.push_back({Change::kMoved, e.path, retired_folder_ + "\\" + moved->second->path, e.folder,
                                e.size, moved->second->size, std::nullopt});
      retired_new_by_name.erase(moved);
    } else if (e.file_id && renamed != after_by_id.end() && !before_by_path.count(renamed->second->path) &&
               renamed->second->folder == e.folder &&
               (e.folder || renamed->second->size == e.size)) {
      const platform::TreeEntry& a = *renamed->second;
      report.changes.push_back(
          {Change::kRenamed, e.path, a.path, e.folder, e.size, a.size, records(a.path, a)});
    } else {
      report.changes.push_back({Change::kDeleted, e.path, "", e.folder, e.size, 0, std::nullopt});
    }
    if (e.folder) settled.push_back(e.path);
  }

  // What arrived in the temporary folder without having been in the data
  // folder before: made by the conversion and moved there in the same run.
  for (const auto& [key, e] : retired_new_by_name) {
    report.changes.push_back({Change::kMoved, unnumbered(e->path), retired_folder_ + "\\" + e->path, e->folder, 0,
                              e->size, std::nullopt});
  }

  std::map<std::uint64_t, bool> renamed_ids;
  for (const auto& c : report.changes) {
    if (c.kind == Change::kRenamed) renamed_ids[after_by_path[c.to]->file_id] = true;
  }
  // A new folder is told as one entry with the files in it.
  std::vector<std::size_t> created_folders;  // indexes into report.changes
  for (const auto& a : data_after) {
    if (before_by_path.count(a.path) || renamed_ids.count(a.file_id)) continue;
    bool under_renamed = std::any_of(report.changes.begin(), report.changes.end(), [&](const Change& c) {
      return c.kind == Change::kRenamed && c.folder && Under(a.path, c.to);
    });
    if (under_renamed) continue;
    auto parent = std::find_if(created_folders.begin(), created_folders.end(),
                               [&](std::size_t f) { return Under(a.path, report.changes[f].path); });
    if (parent != created_folders.end()) {
      if (!a.folder) {
        report.changes[*parent].size_after += a.size;
        ++report.changes[*parent].files;
      }
      continue;
    }
    if (a.folder) created_folders.push_back(report.changes.size());
    report.changes.push_back({Change::kCreated, a.path, "", a.folder, 0, a.size, records(a.path, a)});
  }
  std::stable_sort(report.changes.begin(), report.changes.end(),
                   [](const Change& x, const Change& y) { return x.kind < y.kind; });
  return report;
}

void PlaceReport(ChangeReport& report, const std::string& data_folder, const std::string& retired_folder) {
  for (Change& c : report.changes) {
    if (c.kind == Change::kMoved) c.to = retired_folder + c.to.substr(std::min(c.to.size(), report.retired_folder.size()));
  }
  report.data_folder = data_folder;
  report.retired_folder = retired_folder;
}

std::string FormatReport(const ChangeReport& report) {
  std::string out = (report.dry_run ? "Changes a conversion would make in " : "Changes in ") +
                    platform::Cp1252ToUtf8(report.data_folder) + ":\n";
  std::array<int, 5> counts{};
  for (const Change& c : report.changes) {
    ++counts[c.kind];
    std::string name = platform::Cp1252ToUtf8(c.path) + (c.folder ? "\\" : "");
    if (c.kind == Change::kRenamed) name += " -> " + Shown(c.to);
    // Moved entries are named by their place in the retired folder, which the
    // last line names.
    if (c.kind == Change::kMoved) name += " -> " + Shown(c.to.substr(std::min(c.to.size(), report.retired_folder.size() + 1)));
    char line[512];
    std::string size = Grouped(c.kind == Change::kDeleted ? c.size_before : c.size_after) + " bytes";
    if (c.folder) size = c.kind == Change::kCreated ? Grouped(c.files) + " files, " + size : "folder";
    std::string recs = c.records ? Grouped(*c.records) + " records" : "";
    std::snprintf(line, sizeof line, "  %-10s %-44s %18s %16s\n", KindWord(c.kind), name.c_str(), size.c_str(),
                  recs.c_str());
    out += line;
  }
  if (report.changes.empty()) out += "  nothing changed\n";
  if (!report.warnings.empty()) {
    out += "Passed over:\n";
    for (const std::string& w : report.warnings) out += "  " + platform::Cp1252ToUtf8(w) + "\n";
  }
  char total[256];
  std::snprintf(total, sizeof total,
                "%d created, %d rewritten, %d renamed, %d moved to %s, %d deleted; %zu warning%s.\n", counts[0],
                counts[1], counts[2], counts[3], Shown(report.retired_folder).c_str(), counts[4],
                report.warnings.size(), report.warnings.size() == 1 ? "" : "s");
  out += total;
  return out;
}

std::string ReportJson(const ChangeReport& report) {
  nlohmann::json changes = nlohmann::json::array();
  for (const Change& c : report.changes) {
    nlohmann::json j = {{"change", KindWord(c.kind)},
                        {"path", platform::Cp1252ToUtf8(c.path)},
                        {"folder", c.folder},
                        {"size_before", c.size_before},
                        {"size_after", c.size_after}};
    if (!c.to.empty()) j["to"] = Shown(c.to);
    if (c.records) j["records"] = *c.records;
    if (c.folder && c.kind == Change::kCreated) j["files"] = c.files;
    changes.push_back(j);
  }
  nlohmann::json warnings = nlohmann::json::array();
  for (const std::string& w : report.warnings) warnings.push_back(platform::Cp1252ToUtf8(w));
  nlohmann::json doc = {{"data_folder", Shown(report.data_folder)},
                        {"retired_folder", Shown(report.retired_folder)},
                        {"dry_run", report.dry_run},
                        {"changes", changes},
                        {"warnings", warnings}};
  return doc.dump(2) + "\n";
}

}  // namespace app
