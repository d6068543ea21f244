#include "app/console_ui.h"

#include <ostream>
#include <string>

#include "app/dialog.h"
#include "platform/console.h"

namespace app {

ConsoleUi::ConsoleUi(Options options, std::ostream& out, std::ostream& err)
    : options_(options), out_(out), err_(err) {}

void ConsoleUi::ClearLiveLine() {
  if (!live_line_) return;
  err_ << "\r\x1b[K" << std::flush;
  live_line_ = false;
}

void ConsoleUi::SetStatus(std::string_view text) {
  if (options_.live_status) {
    err_ << "\r\x1b[K" << platform::Cp1252ToUtf8(text) << std::flush;
    live_line_ = !text.empty();
    return;
  }
  // In a log only the step texts, never a line per record or year.
  if (text.starts_with("Convertendo")) err_ << platform::Cp1252ToUtf8(text) << '\n' << std::flush;
}

platform::Answer ConsoleUi::MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                                       platform::Buttons buttons) {
  ClearLiveLine();
  std::string shown = platform::Cp1252ToUtf8(text);
  if (icon == platform::Icon::kInformation && buttons == platform::Buttons::kOk) {
    out_ << shown << '\n' << std::flush;
    return platform::Answer::kOk;
  }
  err_ << platform::Cp1252ToUtf8(caption) << " (" << platform::Cp1252ToUtf8(IconWord(icon)) << "): " << shown
       << '\n';
  if (buttons == platform::Buttons::kOk) {
    err_ << std::flush;
    return platform::Answer::kOk;
  }
  if (options_.answer) {
    err_ << (*options_.answer ? "  -> Sim (--yes)\n" : "  -> N\xC3\xA3o (--no)\n") << std::flush;
    return *options_.answer ? platform::Answer::kYes : platform::Answer::kNo;
  }
  if (!options_.can_ask) {
    err_ << "  -> N\xC3\xA3o (no terminal to ask; give --yes to answer Sim)\n" << std::flush;
    return platform::Answer::kNo;
  }
  for (;;) {
    err_ << "  [s/n] " << std::flush;
    std::optional<std::string> line = platform::ReadTerminalLine();
    if (!line) return platform::Answer::kNo;
    if (*line == "s" || *line == "S" || *line == "y" || *line == "Y") return platform::Answer::kYes;
    if (*line == "n" || *line == "N") return platform::Answer::kNo;
  }
}

}  // namespace app
