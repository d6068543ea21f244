// A copy of an installation that can be converted without touching the
// installation itself: its data folder, legacy folder, photos and the files
// earlier conversions retired, laid out under a folder of its own that stands
// for drive C: and the temporary folder. Files are cloned where the file
// system can (no room taken), copied otherwise, with their times and
// permissions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

class ScratchInstallation {
 public:
  enum class Failure { kNone, kNoSpace, kInterrupted, kOther };

  ScratchInstallation() = default;
  ~ScratchInstallation();  // removes the copy
  ScratchInstallation(const ScratchInstallation&) = delete;
  ScratchInstallation& operator=(const ScratchInstallation&) = delete;

  // Copies the installation the program sees now (drive C:, the current
  // folder, the temporary folder) into a new folder of the temporary folder.
  // `room_needed` is what converting it will take beside the copy. On failure
  // *error tells why (for the terminal) and nothing is left behind.
  Failure Make(std::int64_t room_needed, std::string* error);
  // Makes the program see the copy in place of the installation.
  void Enter();
  // Makes the program see the installation again and removes the copy.
  void Remove();

  const std::string& root() const { return root_; }
  bool cloned() const { return cloned_; }

 private:
  struct Part {
    std::string from;  // as the program names it
    std::string to;    // below root_
  };
  Failure CopyPart(const Part& part, std::string* error);

  std::string root_;
  std::string start_;          // the copy's current folder, below root_
  std::string drive_c_;        // the installation's, to go back to
  std::string current_;        // the installation's current folder (host path)
  std::string temp_;           // the temporary folder
  std::vector<Part> parts_;
  bool cloned_ = false;
  bool entered_ = false;
};

}  // namespace app
