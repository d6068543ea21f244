#include "platform/console.h"

#include "platform/windows/windows_api.h"

namespace platform {
namespace {

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  // A console handle has a mode; files, pipes and NUL do not (_isatty would
  // take NUL for a terminal).
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// The program writes UTF-8 to the terminal; the console shows it as such while
// the program runs and gets its own code page back at the end.
struct ConsoleCodePage {
  ConsoleCodePage() {
    if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE)) return;
    saved = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
  }
  ~ConsoleCodePage() {
    if (saved != 0) SetConsoleOutputCP(saved);
  }
  UINT saved = 0;
};
const ConsoleCodePage g_code_page;

}  // namespace

bool StdinIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool StdoutIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }
bool StderrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

int StderrColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace platform
