// Looks at the running conversion dialog from outside, as a second Windows
// program under the same wine: its controls, the focus, the status line and a
// message box. Built and run by tools/windows-gui-test.sh; prints UTF-8.
//
//   dialog_probe controls   the dialog, its controls in order and the tab order
//   dialog_probe focus      id of the control with the focus
//   dialog_probe box TITLE  the message box of that title: owner, icon, text
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string Utf8(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::string Text(HWND w) {
  wchar_t buf[512] = L"";
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &got);
  return Utf8(buf);
}

std::string ClassOf(HWND w) {
  wchar_t buf[128] = L"";
  GetClassNameW(w, buf, 128);
  return Utf8(buf);
}

HWND Dialog() {
  // The dialog, not the main window of the same title.
  return FindWindowW(L"#32770", L"Glebrium 5.61");
}

// Pixels to dialog units. The template has no font of its own, so its units
// are those of the system font.
int UnitsX(int px) { return MulDiv(px, 4, LOWORD(GetDialogBaseUnits())); }
int UnitsY(int px) { return MulDiv(px, 8, HIWORD(GetDialogBaseUnits())); }

int Controls(HWND dlg) {
  RECT client;
  GetClientRect(dlg, &client);
  HWND owner = GetWindow(dlg, GW_OWNER);
  RECT owner_rect;
  GetWindowRect(owner, &owner_rect);
  std::printf("dialog style=%08lx client=%dx%d owner=%s \"%s\" %ldx%ld\n",
              static_cast<unsigned long>(GetWindowLongW(dlg, GWL_STYLE)), UnitsX(client.right),
              UnitsY(client.bottom), ClassOf(owner).c_str(), Text(owner).c_str(),
              owner_rect.right - owner_rect.left, owner_rect.bottom - owner_rect.top);
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    std::printf("%d %s style=%08lx ex=%lx %d,%d,%d,%d \"%s\"\n", GetDlgCtrlID(c), ClassOf(c).c_str(),
                static_cast<unsigned long>(GetWindowLongW(c, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(c, GWL_EXSTYLE)), UnitsX(r.left), UnitsY(r.top),
                UnitsX(r.right - r.left), UnitsY(r.bottom - r.top), Text(c).c_str());
  }
  std::printf("tab order:");
  HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
  HWND c = first;
  for (int i = 0; c && i < 20; ++i) {
    std::printf(" %d", GetDlgCtrlID(c));
    c = GetNextDlgTabItem(dlg, c, FALSE);
    if (c == first) break;
  }
  std::printf("\n");
  return 0;
}

int Focus(HWND dlg) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &info) || !info.hwndFocus) return 1;
  std::printf("%d\n", GetDlgCtrlID(info.hwndFocus));
  return 0;
}

// 32 by 32 pixels of a memory drawing: what is on the screen at the top left
// corner (screen coordinates), or an icon drawn over the colour.
std::string Pixels(const POINT* screen_at, HICON icon, COLORREF background) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = 32;
  bmi.bmiHeader.biHeight = -32;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bitmap);
  if (screen_at) {
    BitBlt(mem, 0, 0, 32, 32, screen, screen_at->x, screen_at->y, SRCCOPY);
  } else {
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, 32, 32};
    FillRect(mem, &all, brush);
    DeleteObject(brush);
    DrawIconEx(mem, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  }
  GdiFlush();
  std::string out(static_cast<const char*>(bits), 32 * 32 * 4);
  for (std::size_t i = 3; i < out.size(); i += 4) out[i] = 0;  // the screen has no alpha
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return out;
}

int Box(const wchar_t* title) {
  HWND box = FindWindowW(L"#32770", title);
  if (!box) return 1;
  HWND owner = GetWindow(box, GW_OWNER);
  const char* icon = "none";
  // The message box's icon: its static control of the icon kind.
  HWND icon_control = nullptr;
  for (HWND c = GetWindow(box, GW_CHILD); c && !icon_control; c = GetWindow(c, GW_HWNDNEXT)) {
    if (ClassOf(c) == "Static" && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon_control = c;
  }
  if (icon_control) {
    struct { LPCWSTR id; const char* name; } icons[] = {
        {IDI_ERROR, "error"}, {IDI_WARNING, "warning"}, {IDI_QUESTION, "question"},
        {IDI_INFORMATION, "information"}};
    icon = "other";
    // The box shows its own copy of the system icon: compare what is on the
    // screen with the system icons drawn over the same background.
    RECT r;
    GetWindowRect(icon_control, &r);
    POINT at = {r.left, r.top};
    HDC screen = GetDC(nullptr);
    COLORREF background = GetPixel(screen, r.left, r.top);
    ReleaseDC(nullptr, screen);
    std::string shown = Pixels(&at, nullptr, 0);
    for (const auto& i : icons) {
      if (shown == Pixels(nullptr, LoadIcon(nullptr, i.id), background)) icon = i.name;
    }
  }
  std::printf("owner=%s \"%s\" icon=%s text=\"%s\"\n", ClassOf(owner).c_str(), Text(owner).c_str(), icon,
              Text(GetDlgItem(box, 0xffff)).c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  HWND dlg = Dialog();
  if (argc >= 3 && std::wcscmp(argv[1], L"box") == 0) return Box(argv[2]);
  if (!dlg) return 1;
  if (argc >= 2 && std::wcscmp(argv[1], L"focus") == 0) return Focus(dlg);
  return Controls(dlg);
}
