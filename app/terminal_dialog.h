// The conversion dialog drawn in the terminal: the folder line, the status
// line and the two buttons, driven by the keyboard as the dialog is (Tab and
// Enter move the focus, Space or an access key presses a button, Escape
// closes). Message boxes of the conversion appear as popups inside it.
#pragma once

namespace app {

// Runs the dialog on the terminal of stdin/stdout until the user closes it.
// Returns the program's exit code: 0 after a close, 2 when the terminal
// cannot be used.
int RunTerminalDialog();

}  // namespace app
