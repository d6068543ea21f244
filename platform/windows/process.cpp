#include "platform/process.h"

#include "platform/windows/windows_api.h"

#include <atomic>

namespace platform {

// The Windows heap has no such setting.
void TuneMemory(char**) {}

namespace {
std::atomic<bool> interrupted{false};

BOOL WINAPI OnInterrupt(DWORD) {
  // The second request goes to the system's default handler, which ends the program.
  return interrupted.exchange(true) ? FALSE : TRUE;
}
}  // namespace

void CatchInterrupt() { SetConsoleCtrlHandler(OnInterrupt, TRUE); }

bool Interrupted() { return interrupted.load(std::memory_order_relaxed); }

}  // namespace platform
