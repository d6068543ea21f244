#include "app/dialog.h"

#include "platform/files.h"
#include "steps/steps.h"

namespace app {

namespace {
// The folder line is read into a buffer of 100 characters.
constexpr std::size_t kFolderLineMax = 99;
}  // namespace

std::optional<std::string> ChooseStartFolder() {
  // Drive A: cannot be current here; drive C: is the mapped folder.
  if (platform::CurrentDrive() != 'C') return std::nullopt;
  constexpr char kDataFolder[] = "C:\\Zelk\\Vek";
  platform::ClearLastError();
  if (platform::SetCurrentFolder(kDataFolder)) return std::nullopt;
  if (!platform::IsFolder(kDataFolder) && !platform::IsRealError(platform::LastError())) return std::nullopt;
  const std::string why = platform::LastError().text.empty() ? std::string("access denied") : platform::LastError().text;
  return std::string("the data folder C:\\Zelk\\Vek exists but cannot be entered (") + why +
         "); give this user access to it and run the program again";
}

DialogTexts InitDialog() {
  DialogTexts t;
  t.title = kMainTitle;
  std::string folder = platform::CurrentFolder();
  if (folder.size() <= kFolderLineMax) t.folder_line = folder;
  return t;
}

steps::ConversionResult RunConvert(platform::Ui& dlg, const std::function<void(const char*, double)>& on_step,
                                   bool check_space) {
  steps::ConversionResult result;
  {
    platform::WaitCursor wait(dlg);
    result = steps::Convert(dlg, on_step, check_space);
  }
  dlg.SetStatus("");
  if (!result.warnings.empty()) {
    // What was passed over, told once and together.
    std::string text = std::to_string(result.warnings.size()) +
                       (result.warnings.size() == 1 ? " item ficou de lado:" : " itens ficaram de lado:");
    constexpr std::size_t kShown = 20;
    for (std::size_t i = 0; i < result.warnings.size() && i < kShown; ++i) text += "\n- " + result.warnings[i];
    if (result.warnings.size() > kShown) text += "\n...";
    dlg.MessageBox(text, kProduct, platform::Icon::kWarning);
  }
  if (result.outcome == steps::Outcome::kDone) {
    dlg.MessageBox("A convers\xE3o foi realizada.", kProduct, platform::Icon::kInformation);  // cp1252
  } else {
    dlg.MessageBox(result.message, kProduct, platform::Icon::kError);
  }
  return result;
}

const char* IconWord(platform::Icon icon) {
  switch (icon) {
    case platform::Icon::kError: return "erro";
    case platform::Icon::kWarning: return "aviso";
    case platform::Icon::kQuestion: return "pergunta";
    case platform::Icon::kInformation: return "informa\xE7\xE3o";
    case platform::Icon::kNone: break;
  }
  return "";
}

}  // namespace app
