#include "app/status.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "app/report.h"
#include "platform/files.h"
#include "platform/tree.h"
#include "platform/ui.h"
#include "store/changes.h"
#include "text/numbers.h"

namespace app {

namespace {

// The steps run in probes with nobody to see them: questions are answered as
// a conversion would want them, to go on.
class QuietUi : public platform::Ui {
 public:
  void SetStatus(std::string_view) override {}
  platform::Answer MessageBox(std::string_view, std::string_view, platform::Icon, platform::Buttons b) override {
    return b == platform::Buttons::kOk ? platform::Answer::kOk : platform::Answer::kYes;
  }
  void ShowWaitCursor(bool) override {}
};

const char* StateWord(steps::StepState s) {
  switch (s) {
    case steps::StepState::kDone: return "done";
    case steps::StepState::kPending: return "pending";
    case steps::StepState::kInterrupted: return "interrupted";
  }
  return "";
}

std::string Grouped(std::int64_t n) { return text::FormatInteger(n); }

// The text (cp1252) for the terminal, filled with spaces to the width.
std::string Padded(const std::string& text, std::size_t width) {
  return platform::Cp1252ToUtf8(text) + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string Megabytes(std::int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

// Files of the current layouts whose size is not a whole number of records.
std::vector<std::string> LayoutWarnings() {
  std::vector<std::string> out;
  for (const platform::TreeEntry& e : platform::ListTree(".")) {
    if (e.folder || store::IsOwnName(e.path.substr(0, e.path.find('\\')))) continue;
    const std::optional<std::int64_t> length = RecordLengthOf(e.path);
    if (!length || e.size % *length == 0) continue;
    out.push_back(e.path + ": " + Grouped(e.size) + " bytes, not a whole number of records of " +
                  Grouped(*length) + " bytes (" + Grouped(e.size % *length) + " bytes over)");
  }
  return out;
}

}  // namespace

StatusReport ReadStatusReport() {
  StatusReport r;
  r.data_folder = platform::CurrentFolder();
  QuietUi ui;
  platform::Ui* before = &platform::ActiveUi();
  platform::SetActiveUi(&ui);
  r.status = steps::ReadStatus(ui);
  platform::SetActiveUi(before);
  r.layout_warnings = LayoutWarnings();
  r.files.resize(r.status.steps.size());
  for (std::size_t i = 0; i < r.status.steps.size(); ++i) {
    if (r.status.steps[i] != steps::StepState::kDone) r.files[i] = steps::FilesOfStep(i);
  }
  return r;
}

bool NothingToConvert(const StatusReport& r) {
  for (steps::StepState s : r.status.steps) {
    if (s != steps::StepState::kDone) return false;
  }
  return !r.status.fault;
}

std::string FormatStatus(const StatusReport& r) {
  using platform::Cp1252ToUtf8;
  const std::span<const steps::Step> all = steps::AllSteps();
  std::string out = "Installation in " + Cp1252ToUtf8(r.data_folder) + ":\n";
  int to_run = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    char line[256];
    std::snprintf(line, sizeof line, "  %2zu  ", i + 1);
    out += line + Padded(all[i].label, 36) + " " + StateWord(r.status.steps[i]) + "\n";
    if (r.status.steps[i] == steps::StepState::kDone) continue;
    ++to_run;
    for (const steps::StepFile& f : r.files[i]) {
      std::string what = f.written ? "" : f.size < 0 ? "made by an earlier step" : Grouped(f.size) + " bytes";
      if (!f.written && f.size >= 0 && f.name.find('*') != std::string::npos) {
        what = std::to_string(f.files) + (f.files == 1 ? " file, " : " files, ") + what;
      } else if (!f.written && f.size > 0) {
        if (std::optional<std::int64_t> length = RecordLengthOf(f.name)) {
          what += ", " + Grouped(f.size / *length) + " records";
        }
      }
      out += std::string("        ") + (f.written ? "writes  " : "reads   ") + Padded(f.name, 32) + " " + what;
      while (!out.empty() && out.back() == ' ') out.pop_back();
      out += "\n";
    }
  }
  out += "Conversion log:";
  for (const std::string& id : r.status.logged) out += " " + id;
  out += r.status.logged.empty() ? " empty\n" : "\n";
  const std::size_t imported = r.files.empty() ? 0 : r.files[0].size();
  out += "Legacy folder C:\\Glebrium: " +
         (imported == 0 ? std::string("nothing to import") : std::to_string(imported) + " files the import would copy") +
         "\n";
  if (to_run > 0) {
    out += "Space: a conversion needs at most " + Megabytes(r.status.space_needed) + " on the data folder's disk; " +
           (r.status.space_free < 0 ? std::string("free space unknown") : Megabytes(r.status.space_free) + " free") +
           (r.status.space_free >= 0 && r.status.space_needed > r.status.space_free ? " (NOT ENOUGH)" : "") + "\n";
  }
  if (!r.status.warnings.empty() || !r.layout_warnings.empty()) {
    out += "Warnings:\n";
    for (const std::string& w : r.status.warnings) out += "  " + Cp1252ToUtf8(w) + "\n";
    for (const std::string& w : r.layout_warnings) out += "  " + Cp1252ToUtf8(w) + "\n";
  }
  if (r.status.stop) out += "A conversion would stop before its first step:\n  " + Cp1252ToUtf8(*r.status.stop) + "\n";
  if (r.status.fault) out += Cp1252ToUtf8(*r.status.fault) + "\n";
  if (NothingToConvert(r)) {
    out += "Nothing to convert.\n";
  } else {
    out += std::to_string(to_run) + " of " + std::to_string(all.size()) + " steps to run.\n";
  }
  return out;
}

std::string StatusJson(const StatusReport& r) {
  using platform::Cp1252ToUtf8;
  const std::span<const steps::Step> all = steps::AllSteps();
  nlohmann::json list = nlohmann::json::array();
  for (std::size_t i = 0; i < all.size(); ++i) {
    nlohmann::json reads = nlohmann::json::array();
    nlohmann::json writes = nlohmann::json::array();
    for (const steps::StepFile& f : r.files[i]) {
      if (f.written) {
        writes.push_back(Shown(f.name));
        continue;
      }
      nlohmann::json j = {{"path", Shown(f.name)}};
      if (f.size >= 0) j["size"] = f.size;
      if (f.name.find('*') != std::string::npos) j["files"] = f.files;
      if (f.size >= 0) {
        if (std::optional<std::int64_t> length = RecordLengthOf(f.name)) j["records"] = f.size / *length;
      }
      reads.push_back(j);
    }
    list.push_back({{"step", i + 1},
                    {"name", all[i].name},
                    {"label", Cp1252ToUtf8(all[i].label)},
                    {"state", StateWord(r.status.steps[i])},
                    {"reads", reads},
                    {"writes", writes}});
  }
  nlohmann::json warnings = nlohmann::json::array();
  for (const std::string& w : r.status.warnings) warnings.push_back(Cp1252ToUtf8(w));
  for (const std::string& w : r.layout_warnings) warnings.push_back(Cp1252ToUtf8(w));
  nlohmann::json doc = {{"data_folder", Shown(r.data_folder)},
                        {"steps", list},
                        {"conversion_log", r.status.logged},
                        {"space_needed", r.status.space_needed},
                        {"space_free", r.status.space_free},
                        {"warnings", warnings},
                        {"stop", r.status.stop ? nlohmann::json(Cp1252ToUtf8(*r.status.stop)) : nlohmann::json()},
                        {"fault", r.status.fault ? nlohmann::json(Cp1252ToUtf8(*r.status.fault)) : nlohmann::json()},
                        {"nothing_to_convert", NothingToConvert(r)}};
  return doc.dump(2) + "\n";
}

}  // namespace app
