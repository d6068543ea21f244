// Settings of the running program that the system takes only at its start.
#pragma once

namespace platform {

// Called first in main with main's argv. Where the C library can keep the
// heap in huge pages, and does not yet, the program starts itself again with
// that setting (once); where it cannot, nothing happens.
void TuneMemory(char** argv);

// From this call on, the first Ctrl-C (or a request to end the program) does
// not end it: it makes every later read and write of a file fail as
// interrupted (ErrorKind::kInterrupted), so that the work stops the way it
// stops on any refused write and the program can clean up after itself. A
// second one ends the program at once.
void CatchInterrupt();
// True once such a request came.
bool Interrupted();

}  // namespace platform
