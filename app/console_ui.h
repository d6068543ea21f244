// The headless front end: the conversion dialog's services on a console.
// Message boxes go to stderr with their caption and icon (the closing
// information message to stdout); questions are answered by --yes/--no, asked
// on a terminal, or answered No. The status line is one live line on a
// terminal, with the progress of the running step on a second live line; in
// a log only the step texts ("Convertendo 4.35") appear.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/ui.h"

namespace app {

class ConsoleUi : public platform::Ui {
 public:
  struct Options {
    std::optional<bool> answer;  // --yes / --no
    bool live_status = false;    // stderr is a terminal
    bool can_ask = false;        // stdin is a terminal
  };
  ConsoleUi(Options options, std::ostream& out, std::ostream& err);
  ~ConsoleUi() override;
  ConsoleUi(const ConsoleUi&) = delete;
  ConsoleUi& operator=(const ConsoleUi&) = delete;

  void SetStatus(std::string_view text) override;
  platform::Answer MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                              platform::Buttons buttons) override;
  void ShowWaitCursor(bool) override {}
  void StepBegins(std::size_t number, std::size_t count, std::string_view label, std::int64_t input_bytes) override;
  void StepEnds() override;

 private:
  // With mutex_ held.
  void Draw();
  void ClearLiveLines();
  void StopTicker();

  Options options_;
  std::ostream& out_;
  std::ostream& err_;

  // While a step runs, a ticker thread draws the live lines ten times a
  // second and SetStatus only keeps its text: a step that sets a status per
  // record does not write the terminal per record. The mutex keeps the
  // ticker's drawing and this thread's output (message boxes) apart.
  std::mutex mutex_;
  std::string status_;    // cp1252
  std::string progress_;  // cp1252; empty while no step runs
  int live_lines_ = 0;    // on the screen, the cursor at the end of the last
  int columns_ = 0;       // of the terminal; 0 when not known
  std::size_t step_number_ = 0;
  std::size_t step_count_ = 0;
  std::string step_label_;
  std::int64_t step_input_ = 0;
  std::int64_t read_at_start_ = 0;
  std::chrono::steady_clock::time_point started_;
  bool stop_ = false;
  std::condition_variable wake_;
  std::thread ticker_;
};

}  // namespace app
