// Test support: every test works in a fresh temporary installation.
//
//   ROOT/            drive C: (mapped with platform::SetDriveC)
//   ROOT/Zelk/Vek    the data folder, the current folder during the test
//   ROOT/Glebrium    the legacy folder (not created)
//   ROOT/tmp         TMPDIR (TMP on Windows), the user's temporary folder
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace vektest {

namespace fs = std::filesystem;

// A Ui that records what the conversion shows and answers questions from a queue.
class RecordingUi : public platform::Ui {
 public:
  struct Message {
    std::string text;
    std::string caption;
    platform::Icon icon;
    platform::Buttons buttons;
  };
  void SetStatus(std::string_view text) override { statuses.emplace_back(text); }
  platform::Answer MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                              platform::Buttons buttons) override;
  void ShowWaitCursor(bool wait) override { cursor_changes.push_back(wait); }

  std::vector<std::string> statuses;
  std::vector<Message> messages;
  std::vector<bool> cursor_changes;
  std::deque<platform::Answer> answers;  // for Yes/No questions; No when empty
};

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  fs::path root;  // drive C:
  fs::path data;  // ROOT/Zelk/Vek
  fs::path temp;  // ROOT/tmp

  // Paths relative to the data folder unless absolute.
  fs::path Path(const fs::path& rel) const;
  void Write(const fs::path& rel, std::string_view bytes) const;
  std::string Read(const fs::path& rel) const;
  bool Exists(const fs::path& rel) const;
  void MakeFolder(const fs::path& rel) const;
  // Sorted names of the entries of a folder (relative to the data folder).
  std::vector<std::string> List(const fs::path& rel = ".") const;

 private:
  fs::path old_cwd_;
  std::string old_tmpdir_;
  bool had_tmpdir_ = false;
  std::string old_drive_c_;
};

// A fixture with a sandbox and a recording Ui as the active window.
class SandboxTest : public ::testing::Test {
 protected:
  SandboxTest();
  ~SandboxTest() override;
  Sandbox box;
  RecordingUi ui;
};

// The environment variable that names the user's temporary folder (TMPDIR;
// TMP on Windows), and portable ways to set and clear a variable.
extern const char* const kTempVariable;
void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);

// Record builders for exact-byte assertions.
// The text left-justified and padded with spaces to the width (cut when longer).
std::string Pad(std::string_view text, std::size_t width);
// n copies of the character.
std::string Fill(std::size_t n, char c = ' ');
// Concatenation of (text, width) pairs, each padded to its width.
std::string Fields(std::initializer_list<std::pair<std::string_view, std::size_t>> fields);

}  // namespace vektest
