// The user interface services that the conversion uses: the status line, message
// boxes, the wait cursor and the dialog's two sorted work lists. A front end
// (terminal, headless, Windows dialog) implements Ui; the record store reaches
// the active one through ActiveUi().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/worklist.h"

namespace platform {

enum class Icon { kNone, kError, kWarning, kQuestion, kInformation };
enum class Buttons { kOk, kYesNo };
enum class Answer { kOk, kYes, kNo };

class Ui {
 public:
  virtual ~Ui() = default;

  // Texts are code page 1252, as the program keeps them.
  virtual void SetStatus(std::string_view text) = 0;
  virtual Answer MessageBox(std::string_view text, std::string_view caption, Icon icon,
                            Buttons buttons = Buttons::kOk) = 0;
  // Wait cursor on (true) or back to the arrow (false).
  virtual void ShowWaitCursor(bool wait) = 0;
  // Lets the screen repaint during a long scan.
  virtual void Pump() {}
  // A conversion step begins: its number (from 1) of `count`, its label
  // (cp1252) and the bytes its input holds (0: not known). A front end may
  // show how far the step has come by platform::BytesRead() until StepEnds.
  virtual void StepBegins(std::size_t /*number*/, std::size_t /*count*/, std::string_view /*label*/,
                          std::int64_t /*input_bytes*/) {}
  virtual void StepEnds() {}

  WorkList& ListA() { return list_a_; }
  WorkList& ListB() { return list_b_; }
  bool wait_cursor() const { return wait_depth_ > 0; }

  // What the conversion passed over and the user should know (cp1252): kept
  // to be told together at the end, not one box at a time.
  // (The same warning twice is told once: a file read by two stages is
  // passed over once.)
  void Warn(std::string text) {
    for (const std::string& w : warnings_) {
      if (w == text) return;
    }
    warnings_.push_back(std::move(text));
  }
  const std::vector<std::string>& warnings() const { return warnings_; }
  void ClearWarnings() { warnings_.clear(); }

 private:
  friend class WaitCursor;
  int wait_depth_ = 0;
  std::vector<std::string> warnings_;
  WorkList list_a_;
  WorkList list_b_;
};

// The window that owns messages of the record store (the active window).
Ui& ActiveUi();
void SetActiveUi(Ui* ui);

// Shows the wait cursor for its lifetime and restores the previous cursor.
class WaitCursor {
 public:
  explicit WaitCursor(Ui& ui = ActiveUi());
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Ui& ui_;
};

// Converts code page 1252 text to UTF-8 for a terminal or a log.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace platform
