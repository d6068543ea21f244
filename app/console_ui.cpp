#include "app/console_ui.h"

#include <ostream>
#include <string>

#include "app/dialog.h"
#include "app/progress_line.h"
#include "platform/console.h"
#include "platform/stream.h"

namespace app {

namespace {

constexpr auto kTick = std::chrono::milliseconds(100);

// A live line longer than the terminal would wrap, and the next redraw would
// leave its first part behind.
std::string_view Fit(std::string_view line, int columns) {
  if (columns > 1 && line.size() >= static_cast<std::size_t>(columns)) line = line.substr(0, columns - 1);
  return line;
}

}  // namespace

ConsoleUi::ConsoleUi(Options options, std::ostream& out, std::ostream& err)
    : options_(options), out_(out), err_(err) {}

ConsoleUi::~ConsoleUi() { StopTicker(); }

void ConsoleUi::ClearLiveLines() {
  if (live_lines_ == 0) return;
  err_ << (live_lines_ == 2 ? "\r\x1b[K\x1b[A\r\x1b[K" : "\r\x1b[K") << std::flush;
  live_lines_ = 0;
}

void ConsoleUi::Draw() {
  // Built whole and written at once: no half-drawn line is ever seen.
  std::string shown = live_lines_ == 2 ? "\r\x1b[K\x1b[A\r\x1b[K" : "\r\x1b[K";
  live_lines_ = 0;
  for (const std::string* line : {&status_, &progress_}) {
    if (line->empty()) continue;
    if (live_lines_ > 0) shown += '\n';
    shown += platform::Cp1252ToUtf8(Fit(*line, columns_));
    ++live_lines_;
  }
  err_ << shown << std::flush;
}

void ConsoleUi::SetStatus(std::string_view text) {
  if (options_.live_status) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = text;
    if (!ticker_.joinable()) Draw();
    return;
  }
  // In a log only the step texts, never a line per record or year.
  if (text.starts_with("Convertendo")) err_ << platform::Cp1252ToUtf8(text) << '\n' << std::flush;
}

void ConsoleUi::StepBegins(std::size_t number, std::size_t count, std::string_view label,
                           std::int64_t input_bytes) {
  if (!options_.live_status) return;
  StopTicker();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    step_number_ = number;
    step_count_ = count;
    step_label_ = label;
    step_input_ = input_bytes;
    read_at_start_ = platform::BytesRead();
    started_ = std::chrono::steady_clock::now();
    stop_ = false;
  }
  ticker_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    do {
      StepPace pace;
      pace.number = step_number_;
      pace.count = step_count_;
      pace.label = step_label_;
      pace.done = platform::BytesRead() - read_at_start_;
      pace.input = step_input_;
      pace.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
      progress_ = FormatProgressLine(pace);
      columns_ = platform::StderrColumns();
      Draw();
    } while (!wake_.wait_for(lock, kTick, [this] { return stop_; }));
  });
}

void ConsoleUi::StepEnds() {
  if (!options_.live_status) return;
  StopTicker();
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.clear();
  Draw();
}

void ConsoleUi::StopTicker() {
  if (!ticker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  ticker_.join();
}

platform::Answer ConsoleUi::MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                                       platform::Buttons buttons) {
  // Held until answered: the ticker does not draw over the question.
  std::lock_guard<std::mutex> lock(mutex_);
  // A line that could not be written before (a full disk under a redirected
  // output) leaves the stream refusing all after it: a message still goes.
  out_.clear();
  err_.clear();
  ClearLiveLines();
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
