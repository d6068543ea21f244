// The terminal the program was started from.
#pragma once

#include <optional>
#include <string>

namespace platform {

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();
// The width in columns of the terminal that stderr writes to; 0 when it is
// none or does not tell.
int StderrColumns();
// One line typed on the terminal (without its line end); nullopt at the end of input.
std::optional<std::string> ReadTerminalLine();

}  // namespace platform
