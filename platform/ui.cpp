#include "platform/ui.h"

namespace platform {
namespace {

// Stands in when no window is active: says nothing and declines questions.
class SilentUi : public Ui {
 public:
  void SetStatus(std::string_view) override {}
  Answer MessageBox(std::string_view, std::string_view, Icon, Buttons buttons) override {
    return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kOk;
  }
  void ShowWaitCursor(bool) override {}
};

Ui* g_active = nullptr;

}  // namespace

Ui& ActiveUi() {
  static SilentUi silent;
  return g_active ? *g_active : silent;
}

void SetActiveUi(Ui* ui) { g_active = ui; }

WaitCursor::WaitCursor(Ui& ui) : ui_(ui) {
  if (ui_.wait_depth_++ == 0) ui_.ShowWaitCursor(true);
}

WaitCursor::~WaitCursor() {
  if (--ui_.wait_depth_ == 0) ui_.ShowWaitCursor(false);
}

std::string Cp1252ToUtf8(std::string_view text) {
  // 0x80-0x9F; 0 marks the five bytes that code page 1252 leaves undefined.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char ch : text) {
    unsigned c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
      continue;
    }
    unsigned u = c;
    if (c < 0xA0) u = kHigh[c - 0x80] ? kHigh[c - 0x80] : 0xFFFD;
    if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

}  // namespace platform
