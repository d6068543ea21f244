// The headless front end: the conversion dialog's services on a console.
// Message boxes go to stderr with their caption and icon (the closing
// information message to stdout); questions are answered by --yes/--no, asked
// on a terminal, or answered No. The status line is one live line on a
// terminal; in a log only the step texts ("Convertendo 4.35") appear.
#pragma once

#include <iosfwd>
#include <optional>

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

  void SetStatus(std::string_view text) override;
  platform::Answer MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                              platform::Buttons buttons) override;
  void ShowWaitCursor(bool) override {}

 private:
  void ClearLiveLine();
  Options options_;
  std::ostream& out_;
  std::ostream& err_;
  bool live_line_ = false;
};

}  // namespace app
