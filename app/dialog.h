// The conversion dialog's behaviour, shared by every front end: the entry
// routine's choice of folder, the dialog's texts, and the Convert command.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/ui.h"
#include "steps/steps.h"

namespace app {

// Title of the main window, which the dialog takes over.
inline constexpr const char* kMainTitle = "Glebrium 5.61";
// Caption of the closing message.
inline constexpr const char* kProduct = "Glebrium";

// Entry routine: from drive A: go to drive C:; on drive C: make C:\Zelk\Vek
// the current folder when it exists (otherwise the folder stays as it is).
// A data folder that is there but cannot be entered is no reason to convert
// another folder: the text to tell the user then.
std::optional<std::string> ChooseStartFolder();

struct DialogTexts {
  std::string title;        // "Glebrium 5.61"
  std::string folder_line;  // the current folder; empty when it does not fit
};
DialogTexts InitDialog();

// The Convert command (button "&Converter Versões"): every step in its order,
// then an empty status line and the closing message. A step that cannot read
// or write its files stops the conversion instead: the user is told what
// failed and what to do, and never sees the closing message.
// on_step, when given, hears each step's name and its time in seconds.
steps::ConversionResult RunConvert(platform::Ui& dlg,
                                   const std::function<void(const char*, double)>& on_step = {},
                                   bool check_space = true);

// A message box's icon as a word for the text front ends (cp1252).
const char* IconWord(platform::Icon icon);

}  // namespace app
