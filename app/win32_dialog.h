// The Windows front end: the invisible main window "Glebrium 5.61" and the
// conversion dialog BOX101 (a resource of the program) run modally from it.
#pragma once

namespace app {

// The entry routine after the start folder is chosen: registers the main
// window's class, creates and shows the window, opens the dialog through
// command 100 and runs the message loop until the dialog is closed. Returns
// the program's exit code: 0 after a close, 1 when the windows cannot be made.
int RunWin32Dialog();

}  // namespace app
