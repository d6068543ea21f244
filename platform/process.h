// Settings of the running program that the system takes only at its start.
#pragma once

namespace platform {

// Called first in main with main's argv. Where the C library can keep the
// heap in huge pages, and does not yet, the program starts itself again with
// that setting (once); where it cannot, nothing happens.
void TuneMemory(char** argv);

}  // namespace platform
