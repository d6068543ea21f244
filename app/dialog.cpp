#include "app/dialog.h"

#include "platform/files.h"
#include "steps/steps.h"

namespace app {

namespace {
// The folder line is read into a buffer of 100 characters.
constexpr std::size_t kFolderLineMax = 99;
}  // namespace

void ChooseStartFolder() {
  // Drive A: cannot be current here; drive C: is the mapped folder.
  if (platform::CurrentDrive() == 'C') platform::SetCurrentFolder("C:\\Zelk\\Vek");
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
