// Where an installation stands: what a conversion would still do to it, told
// without changing anything.
#pragma once

#include <string>

#include "steps/steps.h"

namespace app {

struct StatusReport {
  std::string data_folder;
  steps::InstallationStatus status;
  std::vector<std::string> layout_warnings;  // files that do not fit their layout (cp1252)
  // The files each step reads and writes; filled for the steps to run.
  std::vector<std::vector<steps::StepFile>> files;
};

// Reads the installation in the current folder.
StatusReport ReadStatusReport();

// For the terminal (UTF-8) and as JSON.
std::string FormatStatus(const StatusReport& report);
std::string StatusJson(const StatusReport& report);

// True when a conversion would change nothing.
bool NothingToConvert(const StatusReport& report);

}  // namespace app
