#include "app/win32_dialog.h"

// Lean, without the min/max macros, and without the MessageBox macro, which
// would rename Ui::MessageBox in this file.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#undef MessageBox

#include <iostream>
#include <string>

#include "app/dialog.h"
#include "platform/ui.h"
#include "platform/win32_ui.h"

namespace app {
namespace {

using platform::Cp1252ToUtf16;

// Control ids of BOX101 (resources/box101.rc).
constexpr int kStatusLine = 100;
constexpr int kFolderLine = 150;
constexpr int kConvertButton = 300;
constexpr int kCloseButton = IDCANCEL;  // 2: "&Fechar", Escape and the close box
constexpr int kEnterButton = 500;       // the invisible default button
constexpr int kFirstFontId = 100;
constexpr int kLastFontId = 399;

// The main window's command that runs the dialog.
constexpr WPARAM kRunDialog = 100;

constexpr wchar_t kClassName[] = L"MyWin";
constexpr wchar_t kTemplate[] = L"BOX101";

// Exit code of the message loop; set when the dialog could not be shown.
int g_exit_code = 0;

// The dialog's services to the conversion steps: its status line, message
// boxes that it owns, the wait cursor and the work lists (kept in memory with
// the order of the hidden list boxes 400 and 401).
class DialogUi final : public platform::Ui {
 public:
  void Attach(HWND dialog) { dialog_ = dialog; }

  void SetStatus(std::string_view text) override {
    SetDlgItemTextW(dialog_, kStatusLine, Cp1252ToUtf16(text).c_str());
    // The conversion runs inside a command: show the line now, not at the
    // next paint.
    if (HWND line = GetDlgItem(dialog_, kStatusLine)) UpdateWindow(line);
  }

  platform::Answer MessageBox(std::string_view text, std::string_view caption, platform::Icon icon,
                              platform::Buttons buttons) override {
    UINT flags = MB_OK;
    // The program's only question (a file of more than 512 MB) has No as the
    // answer that is safe to give without reading.
    if (buttons == platform::Buttons::kYesNo) flags = MB_YESNO | MB_DEFBUTTON2;
    switch (icon) {
      case platform::Icon::kError: flags |= MB_ICONERROR; break;
      case platform::Icon::kWarning: flags |= MB_ICONWARNING; break;
      case platform::Icon::kQuestion: flags |= MB_ICONQUESTION; break;
      case platform::Icon::kInformation: flags |= MB_ICONINFORMATION; break;
      case platform::Icon::kNone: break;
    }
    int answer = MessageBoxW(dialog_, Cp1252ToUtf16(text).c_str(), Cp1252ToUtf16(caption).c_str(), flags);
    // The box's own loop showed the arrow; the work goes on.
    if (wait_cursor()) SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    if (buttons == platform::Buttons::kOk) return platform::Answer::kOk;
    return answer == IDYES ? platform::Answer::kYes : platform::Answer::kNo;
  }

  void ShowWaitCursor(bool wait) override {
    if (wait) {
      HCURSOR before = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      if (!keeping_) {
        previous_ = before;
        keeping_ = true;
      }
    } else {
      SetCursor(keeping_ && previous_ ? previous_ : LoadCursorA(nullptr, IDC_ARROW));
      keeping_ = false;
    }
  }

  // Repaints during a long scan: every waiting message leaves the queue, the
  // paint messages are dispatched and input is dropped, so that nothing the
  // user does meanwhile acts on the dialog.
  void Pump() override {
    MSG msg;
    // A window that never validates would keep answering with WM_PAINT.
    for (int i = 0; i < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (msg.message == WM_PAINT || msg.message == WM_NCPAINT) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }

 private:
  HWND dialog_ = nullptr;
  HCURSOR previous_ = nullptr;
  bool keeping_ = false;
};

// A focused push button becomes the dialog's default button and would take
// the Enter key. The two visible buttons do not present themselves as push
// buttons to the dialog, so that they never become the default: Enter always
// reaches button 500 and moves the focus on, while Space and the access keys
// still press them.
LRESULT CALLBACK ButtonProc(HWND button, UINT msg, WPARAM wp, LPARAM lp) {
  auto base = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_USERDATA));
  LRESULT result = CallWindowProcW(base, button, msg, wp, lp);
  if (msg == WM_GETDLGCODE) result &= ~static_cast<LRESULT>(DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
  return result;
}

void KeepEnterFrom(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!button) return;
  LONG_PTR base = GetWindowLongPtrW(button, GWLP_WNDPROC);
  SetWindowLongPtrW(button, GWLP_USERDATA, base);
  SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ButtonProc));
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  auto* ui = reinterpret_cast<DialogUi*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      ui = reinterpret_cast<DialogUi*>(lp);
      SetWindowLongPtrW(dialog, DWLP_USER, lp);
      ui->Attach(dialog);
      platform::SetActiveUi(ui);

      // Labels, lines and buttons in the variable-pitch font; the hidden
      // controls keep the dialog's.
      auto font = reinterpret_cast<WPARAM>(GetStockObject(ANSI_VAR_FONT));
      SendDlgItemMessageW(dialog, kCloseButton, WM_SETFONT, font, FALSE);
      for (int id = kFirstFontId; id <= kLastFontId; ++id) {
        if (HWND control = GetDlgItem(dialog, id)) SendMessageW(control, WM_SETFONT, font, FALSE);
      }
      KeepEnterFrom(dialog, kConvertButton);
      KeepEnterFrom(dialog, kCloseButton);

      // The main window's title ("Glebrium 5.61") replaces the template's.
      wchar_t title[100] = L"";
      GetWindowTextW(GetWindow(dialog, GW_OWNER), title, 100);
      SetWindowTextW(dialog, title);

      DialogTexts texts = InitDialog();
      SetDlgItemTextW(dialog, kFolderLine, Cp1252ToUtf16(texts.folder_line).c_str());
      return TRUE;  // the focus goes to the first tab stop
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case kCloseButton:
          platform::SetActiveUi(nullptr);
          EndDialog(dialog, 0);
          return TRUE;
        case kEnterButton:
          PostMessageW(dialog, WM_NEXTDLGCTL, 0, 0);
          return TRUE;
        case kConvertButton:
          if (ui) RunConvert(*ui);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (wp == kRunDialog) {
        DialogUi ui;
        INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), kTemplate, window, &DialogProc,
                                         reinterpret_cast<LPARAM>(&ui));
        platform::SetActiveUi(nullptr);
        if (result == -1) {
          std::cerr << "vekconv: the conversion dialog cannot be shown (error " << GetLastError() << ")\n";
          g_exit_code = 1;
        }
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(g_exit_code);
      return 0;
    default:
      return DefWindowProcW(window, msg, wp, lp);
  }
}

// Started on its own (from Explorer), the program got a console window that
// only it uses: let it go, the dialog is the program's window. Started from a
// terminal, the console stays for the terminal.
void ReleaseOwnConsole() {
  DWORD ids[2];
  if (GetConsoleProcessList(ids, 2) == 1) FreeConsole();
}

int ShowCommand() {
  STARTUPINFOW info{};
  info.cb = sizeof info;
  GetStartupInfoW(&info);
  return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

int RunWin32Dialog() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = 0;
  wc.lpfnWndProc = &MainWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) {
    std::cerr << "vekconv: the main window class cannot be registered (error " << GetLastError() << ")\n";
    return 1;
  }
  std::wstring title = Cp1252ToUtf16(kMainTitle);
  HWND main = CreateWindowExW(0, kClassName, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, nullptr,
                              nullptr, instance, nullptr);
  if (!main) {
    std::cerr << "vekconv: the main window cannot be created (error " << GetLastError() << ")\n";
    return 1;
  }
  ReleaseOwnConsole();
  ShowWindow(main, ShowCommand());
  UpdateWindow(main);

  // The whole dialog runs inside this call.
  SendMessageW(main, WM_COMMAND, kRunDialog, 0);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace app
