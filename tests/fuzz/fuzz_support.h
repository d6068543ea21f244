// What the fuzz targets share: a scratch installation made anew for every
// input, a Ui that keeps what the conversion shows, and the rule that tells an
// honest stop from a fault.
//
// Every input gets its own folder under the system's temporary folder:
//
//   RUN/            drive C:
//   RUN/Zelk/Vek    the data folder, the current folder while the input runs
//   RUN/tmp         the user's temporary folder
//
// and the folder goes when the input is done, so that a long run does not
// fill the disk. A fault found by an assertion aborts, as a crash would, so
// that libFuzzer keeps the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace vekfuzz {

namespace fs = std::filesystem;

// Keeps what the conversion shows; questions are answered No, as a headless
// conversion without --yes does.
class RecordingUi : public platform::Ui {
 public:
  void SetStatus(std::string_view) override { ++statuses; }
  platform::Answer MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                              platform::Buttons buttons) override;
  void ShowWaitCursor(bool) override {}

  struct Message {
    std::string text;
    std::string caption;
    platform::Icon icon;
  };
  std::vector<Message> messages;
  long statuses = 0;
};

// The scratch installation of one input; the current folder is its data
// folder while it lives, and it is made the active window's Ui.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // Paths relative to the data folder, with '/' between the parts.
  void Write(const std::string& rel, std::string_view bytes) const;
  void MakeFolder(const std::string& rel) const;
  // The file's bytes; `missing` when there is no such file.
  std::string Read(const std::string& rel, bool* missing = nullptr) const;
  // Size, or -1 when there is no such file.
  std::int64_t Size(const std::string& rel) const;
  bool Exists(const std::string& rel) const;

  RecordingUi ui;
  fs::path root;  // drive C:
  fs::path data;  // the data folder
};

// Runs a piece of the conversion: a store::FileError (the system refused a
// read or a write) is an honest stop; any other exception is a fault.
// Returns false after an honest stop.
bool RunGuarded(const char* what, const std::function<void()>& run);

// Runs a step the way the conversion does: in a change set, committed when
// the step returns. False when it stopped on a refused read or write.
bool RunStep(const char* what, void (*step)(platform::Ui&), platform::Ui& ui);

// Aborts with the message when the condition does not hold: a fault.
void Check(bool condition, const char* what);

}  // namespace vekfuzz
