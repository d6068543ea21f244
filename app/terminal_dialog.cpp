#include "app/terminal_dialog.h"

// Keep curses to its w*-functions: its function-like macros (erase, clear,
// move, timeout) would otherwise rewrite standard library calls.
#define NCURSES_NOMACROS
#include <curses.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <mutex>
#include <thread>
#include <vector>

#include "app/dialog.h"
#include "platform/ui.h"

namespace app {

namespace {

using Clock = std::chrono::steady_clock;

// The dialog's controls that take the focus, in tab order: the folder line,
// the two buttons, the invisible default button and the frame.
constexpr int kFolderLine = 150;
constexpr int kConvertButton = 300;
constexpr int kCloseButton = 2;
constexpr int kDefaultButton = 500;
constexpr int kFrame = 350;
constexpr int kTabOrder[] = {kFolderLine, kConvertButton, kCloseButton, kDefaultButton, kFrame};
constexpr int kTabStops = static_cast<int>(std::size(kTabOrder));

// Texts are cp1252; '&' marks the access key.
constexpr std::string_view kConvertLabel = "&Converter Vers\xF5""es";
constexpr std::string_view kCloseLabel = "&Fechar";
constexpr std::string_view kYesLabel = "&Sim";
constexpr std::string_view kNoLabel = "&N\xE3o";
constexpr std::string_view kOkLabel = "OK";

constexpr int kEscape = 27;
// How long after Escape another key still counts as Alt+key (terminals send
// Alt+C as Escape, "c").
constexpr int kAltWaitMs = 30;
constexpr int kEscDelayMs = 25;
// A status line that changes for every record would flood the terminal.
constexpr auto kStatusInterval = std::chrono::milliseconds(50);
// A blocking read that keeps failing means the terminal has gone.
constexpr int kMaxFailedReads = 50;

// Dialog geometry, in cells.
constexpr int kDialogHeight = 8;
constexpr int kMinDialogWidth = 56;
constexpr int kFieldColumn = 12;  // from the dialog's left edge
constexpr int kMaxMessageWidth = 60;

bool IsUtf8(const char* locale) {
  if (!locale) return false;
  std::string name(locale);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
}

// The user's character set for the screen; without one configured, UTF-8.
// Only the character type: the numbers that the steps print into data files
// must keep their decimal point whatever the user's locale.
bool ChooseLocale() {
  const char* chosen = std::setlocale(LC_CTYPE, "");
  if (IsUtf8(chosen)) return true;
  const std::string name = chosen ? chosen : "C";
  if (name != "C" && name != "POSIX") return false;
  return IsUtf8(std::setlocale(LC_CTYPE, "C.UTF-8"));
}

struct Key {
  int code = ERR;
  bool alt = false;
};

struct Rect {
  int y = 0;
  int x = 0;
  int height = 0;
  int width = 0;
};

// Centred on the screen; on a smaller screen from its top left corner, and
// what does not fit is cut off by the drawing.
Rect Centred(int height, int width) {
  return {std::max(0, (LINES - height) / 2), std::max(0, (COLS - width) / 2), height, width};
}

std::string VisibleLabel(std::string_view label) {
  std::string out;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '&' && i + 1 < label.size()) ++i;
    out.push_back(label[i]);
  }
  return out;
}

// Position of the access key in VisibleLabel(label), or npos.
std::size_t AccessKeyAt(std::string_view label) {
  std::size_t shown = 0;
  for (std::size_t i = 0; i < label.size(); ++i, ++shown) {
    if (label[i] != '&' || i + 1 >= label.size()) continue;
    ++i;
    if (label[i] != '&') return shown;
  }
  return std::string::npos;
}

bool IsKey(const Key& k, char letter) {
  return k.code == letter || k.code == letter - 'a' + 'A';
}

bool IsEnter(const Key& k) { return !k.alt && (k.code == '\n' || k.code == '\r' || k.code == KEY_ENTER); }

// Lines of at most `width` characters, broken at spaces where possible; line
// feeds in the text start new lines.
std::vector<std::string> Wrap(std::string_view text, std::size_t width) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find('\n', start);
    std::string_view para = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!para.empty() && para.back() == '\r') para.remove_suffix(1);
    if (para.empty()) lines.emplace_back();
    while (!para.empty()) {
      if (para.size() <= width) {
        lines.emplace_back(para);
        break;
      }
      std::size_t cut = para.rfind(' ', width);
      if (cut == std::string_view::npos || cut == 0) cut = width;
      lines.emplace_back(para.substr(0, cut));
      para.remove_prefix(cut);
      while (!para.empty() && para.front() == ' ') para.remove_prefix(1);
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

// The terminal in curses mode for the lifetime of the object.
class Terminal {
 public:
  Terminal() : screen_(newterm(nullptr, stdout, stdin)) {
    if (!screen_) return;
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(kEscDelayMs);
    curs_set(0);
  }
  ~Terminal() {
    if (!screen_) return;
    endwin();
    delscreen(screen_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  explicit operator bool() const { return screen_ != nullptr; }

 private:
  SCREEN* screen_;
};

class TerminalDialog final : public platform::Ui {
 public:
  explicit TerminalDialog(bool utf8) : utf8_(utf8), texts_(InitDialog()) {}

  int Run();

  void SetStatus(std::string_view text) override;
  platform::Answer MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                              platform::Buttons buttons) override;
  void ShowWaitCursor(bool wait) override;
  void Pump() override;

 private:
  struct Message {
    std::vector<std::string> lines;
    std::string caption;
    std::string icon;
    std::span<const std::string_view> buttons;
    int focus = 0;
  };

  Key ReadKey(int& failures);
  void MoveFocus(int step);
  void Convert();
  void Show();  // repaints the dialog
  void PaintDialog();
  void PaintMessage(const Message& m);
  void PaintButton(int y, int x, int right, std::string_view label, bool focused, bool dim);
  void Frame(const Rect& r, std::string_view title, attr_t attr);
  void Put(int y, int x, int right, std::string_view text, attr_t attr = A_NORMAL);
  void PutCell(int y, int x, chtype ch, attr_t attr);

  bool utf8_;
  DialogTexts texts_;
  // Held around curses calls while the conversion runs, when the status
  // painter may paint too.
  std::mutex screen_;
  std::string status_;
  bool status_shown_ = true;
  Clock::time_point status_drawn_{};
  int focus_ = 0;  // index into kTabOrder
  bool busy_ = false;
};

// Text at (y, x), cut at the column `right` and at the screen's edges.
void TerminalDialog::Put(int y, int x, int right, std::string_view text, attr_t attr) {
  if (y < 0 || y >= LINES) return;
  right = std::min(right, COLS);
  // cp1252 is one byte per cell, so the text is cut before it is converted.
  int from = std::max(x, 0);
  int to = std::min(right, x + static_cast<int>(text.size()));
  if (from >= to) return;
  std::string_view cut = text.substr(static_cast<std::size_t>(from - x), static_cast<std::size_t>(to - from));
  // Control characters would move the cursor out of the line.
  std::string plain(cut);
  for (char& c : plain) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  std::string shown;
  if (utf8_) {
    shown = platform::Cp1252ToUtf8(plain);
  } else {
    for (char c : plain) shown.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
  }
  wattrset(stdscr, attr);
  mvwaddstr(stdscr, y, from, shown.c_str());
  wattrset(stdscr, A_NORMAL);
}

void TerminalDialog::PutCell(int y, int x, chtype ch, attr_t attr) {
  if (y < 0 || y >= LINES || x < 0 || x >= COLS) return;
  mvwaddch(stdscr, y, x, ch | attr);
}

void TerminalDialog::Frame(const Rect& r, std::string_view title, attr_t attr) {
  if (r.height < 2 || r.width < 2) return;
  const int bottom = r.y + r.height - 1;
  const int right = r.x + r.width - 1;
  for (int x = r.x + 1; x < right; ++x) {
    PutCell(r.y, x, ACS_HLINE, attr);
    PutCell(bottom, x, ACS_HLINE, attr);
  }
  for (int y = r.y + 1; y < bottom; ++y) {
    PutCell(y, r.x, ACS_VLINE, attr);
    PutCell(y, right, ACS_VLINE, attr);
  }
  PutCell(r.y, r.x, ACS_ULCORNER, attr);
  PutCell(r.y, right, ACS_URCORNER, attr);
  PutCell(bottom, r.x, ACS_LLCORNER, attr);
  PutCell(bottom, right, ACS_LRCORNER, attr);
  if (!title.empty()) {
    std::string t(1, ' ');
    t.append(title).push_back(' ');
    const int room = r.width - 2;
    const int x = r.x + 1 + std::max(0, (room - static_cast<int>(t.size())) / 2);
    Put(r.y, x, right, t, attr | A_BOLD);
  }
}

void TerminalDialog::PaintButton(int y, int x, int right, std::string_view label, bool focused, bool dim) {
  std::string shown(1, '[');
  shown.append(VisibleLabel(label)).push_back(']');
  attr_t attr = dim ? A_DIM : (focused ? A_REVERSE : A_NORMAL);
  Put(y, x, right, shown, attr);
  const std::size_t key = AccessKeyAt(label);
  if (key != std::string::npos) {
    Put(y, x + 1 + static_cast<int>(key), right, shown.substr(key + 1, 1), attr | A_UNDERLINE | A_BOLD);
  }
}

void TerminalDialog::PaintDialog() {
  werase(stdscr);
  const int width = std::max(kMinDialogWidth, static_cast<int>(texts_.folder_line.size()) + kFieldColumn + 4);
  const Rect box = Centred(kDialogHeight, width);
  const int right = box.x + box.width - 1;  // the dialog's right border
  const int focus = kTabOrder[focus_];

  Frame(box, texts_.title, A_NORMAL);
  Frame({box.y + 1, box.x + 2, 4, box.width - 4}, "", focus == kFrame ? A_BOLD : A_NORMAL);
  const int field_x = box.x + kFieldColumn;
  const int field_end = right - 2;  // inside the frame, one cell from it
  Put(box.y + 2, box.x + 4, field_end, "Pasta:");
  Put(box.y + 3, box.x + 4, field_end, "Status:");
  std::string folder = texts_.folder_line;
  folder.resize(static_cast<std::size_t>(std::max(0, field_end - field_x)), ' ');
  Put(box.y + 2, field_x, field_end, folder, focus == kFolderLine ? A_REVERSE : A_NORMAL);
  Put(box.y + 3, field_x, field_end, status_);

  const int buttons_y = box.y + 6;
  const int convert_x = box.x + 3;
  const int close_x = convert_x + static_cast<int>(VisibleLabel(kConvertLabel).size()) + 3;
  PaintButton(buttons_y, convert_x, right, kConvertLabel, focus == kConvertButton, busy_);
  PaintButton(buttons_y, close_x, right, kCloseLabel, focus == kCloseButton, busy_);
}

void TerminalDialog::PaintMessage(const Message& m) {
  int content = static_cast<int>(std::max(m.caption.size() + 2, m.icon.size()));
  for (const std::string& line : m.lines) content = std::max(content, static_cast<int>(line.size()));
  int buttons_width = 0;
  for (std::string_view b : m.buttons) buttons_width += static_cast<int>(VisibleLabel(b).size()) + 4;
  content = std::max(content, buttons_width);
  const int icon_rows = m.icon.empty() ? 0 : 1;
  const int height = static_cast<int>(m.lines.size()) + icon_rows + 4;
  const Rect r = Centred(height, content + 4);
  const int right = r.x + r.width - 1;

  for (int y = r.y; y < r.y + r.height; ++y) Put(y, r.x, right + 1, std::string(static_cast<std::size_t>(r.width), ' '));
  Frame(r, m.caption, A_NORMAL);
  int y = r.y + 1;
  if (icon_rows) Put(y++, r.x + 2, right, m.icon, A_BOLD);
  for (const std::string& line : m.lines) Put(y++, r.x + 2, right, line);
  int x = r.x + 2 + std::max(0, (r.width - 4 - buttons_width) / 2);
  for (std::size_t i = 0; i < m.buttons.size(); ++i) {
    PaintButton(y + 1, x, right, m.buttons[i], static_cast<int>(i) == m.focus, false);
    x += static_cast<int>(VisibleLabel(m.buttons[i]).size()) + 4;
  }
}

void TerminalDialog::Show() {
  PaintDialog();
  wrefresh(stdscr);
  status_shown_ = true;
  status_drawn_ = Clock::now();
}

Key TerminalDialog::ReadKey(int& failures) {
  int c = wgetch(stdscr);
  if (c == ERR) {
    ++failures;
    return {};
  }
  failures = 0;
  if (c != kEscape) return {c, false};
  wtimeout(stdscr, kAltWaitMs);
  const int next = wgetch(stdscr);
  wtimeout(stdscr, -1);
  if (next == ERR) return {kEscape, false};
  return {next, true};
}

void TerminalDialog::MoveFocus(int step) { focus_ = (focus_ + step + kTabStops) % kTabStops; }

void TerminalDialog::Convert() {
  {
    // A status text that comes too soon after the previous paint waits; this
    // paints it once its time has come, so that the text a step shows before
    // a long silent stretch does not stay hidden behind the one before.
    std::jthread painter([this](std::stop_token stop) {
      std::mutex m;
      std::condition_variable_any tick;
      std::unique_lock lock(m);
      for (;;) {
        tick.wait_for(lock, stop, kStatusInterval, [] { return false; });
        if (stop.stop_requested()) return;
        std::lock_guard screen(screen_);
        if (!status_shown_ && Clock::now() - status_drawn_ >= kStatusInterval) Show();
      }
    });
    RunConvert(*this);
  }
  Show();
}

int TerminalDialog::Run() {
  Show();
  int failures = 0;
  while (failures < kMaxFailedReads) {
    const Key k = ReadKey(failures);
    int command = 0;
    if (k.code == ERR) continue;
    if (k.code == KEY_RESIZE) {
      Show();
      continue;
    }
    if (k.code == kEscape) {
      command = kCloseButton;
    } else if (IsEnter(k)) {
      command = kDefaultButton;
    } else if (k.code == '\t' || k.code == KEY_RIGHT || k.code == KEY_DOWN) {
      MoveFocus(1);
    } else if (k.code == KEY_BTAB || k.code == KEY_LEFT || k.code == KEY_UP) {
      MoveFocus(-1);
    } else if (k.code == ' ') {
      const int focus = kTabOrder[focus_];
      if (focus == kConvertButton || focus == kCloseButton || focus == kDefaultButton) command = focus;
    } else if (IsKey(k, 'c')) {
      command = kConvertButton;
    } else if (IsKey(k, 'f')) {
      command = kCloseButton;
    }

    if (command == kCloseButton) return 0;
    if (command == kDefaultButton) MoveFocus(1);  // Enter acts like Tab
    if (command == kConvertButton) Convert();
    Show();
  }
  return 0;  // the terminal went away: as if closed
}

void TerminalDialog::SetStatus(std::string_view text) {
  std::lock_guard screen(screen_);
  status_.assign(text);
  status_shown_ = false;
  if (Clock::now() - status_drawn_ >= kStatusInterval) Show();
}

void TerminalDialog::Pump() {
  std::lock_guard screen(screen_);
  if (!status_shown_ && Clock::now() - status_drawn_ >= kStatusInterval) Show();
}

void TerminalDialog::ShowWaitCursor(bool wait) {
  std::lock_guard screen(screen_);
  busy_ = wait;
  Show();
}

platform::Answer TerminalDialog::MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                                            platform::Buttons buttons) {
  static constexpr std::string_view kOkButtons[] = {kOkLabel};
  static constexpr std::string_view kYesNoButtons[] = {kYesLabel, kNoLabel};
  const bool yes_no = buttons == platform::Buttons::kYesNo;

  Message m;
  m.caption.assign(caption);
  m.icon = IconWord(icon);
  m.buttons = yes_no ? std::span<const std::string_view>(kYesNoButtons) : std::span<const std::string_view>(kOkButtons);

  std::lock_guard screen(screen_);
  // Keys typed while the conversion ran must not answer the question.
  flushinp();
  int failures = 0;
  platform::Answer answer = yes_no ? platform::Answer::kNo : platform::Answer::kOk;
  for (bool open = true; open && failures < kMaxFailedReads;) {
    // Wrapped again on every repaint: the terminal may have been resized.
    m.lines = Wrap(text, static_cast<std::size_t>(std::clamp(COLS - 6, 10, kMaxMessageWidth)));
    PaintDialog();
    PaintMessage(m);
    wrefresh(stdscr);
    status_shown_ = true;
    const Key k = ReadKey(failures);
    if (k.code == ERR || k.code == KEY_RESIZE) continue;
    if (!yes_no) {
      open = !(IsEnter(k) || k.code == ' ' || k.code == kEscape);
      continue;
    }
    if (IsKey(k, 's')) {
      answer = platform::Answer::kYes;
      open = false;
    } else if (IsKey(k, 'n')) {
      answer = platform::Answer::kNo;
      open = false;
    } else if (IsEnter(k) || k.code == ' ') {
      answer = m.focus == 0 ? platform::Answer::kYes : platform::Answer::kNo;
      open = false;
    } else if (k.code == '\t' || k.code == KEY_BTAB || k.code == KEY_LEFT || k.code == KEY_RIGHT ||
               k.code == KEY_UP || k.code == KEY_DOWN) {
      m.focus = 1 - m.focus;
    }
    // Escape does nothing: a question has no Cancel.
  }
  Show();
  return answer;
}

}  // namespace

int RunTerminalDialog() {
  const bool utf8 = ChooseLocale();
  Terminal terminal;
  if (!terminal) {
    std::fprintf(stderr,
                 "vekconv: cannot use this terminal for the conversion dialog (check TERM); "
                 "run 'vekconv convert' to convert the data folder.\n");
    return 2;
  }
  TerminalDialog dialog(utf8);
  platform::SetActiveUi(&dialog);
  const int code = dialog.Run();
  platform::SetActiveUi(nullptr);
  return code;
}

}  // namespace app
