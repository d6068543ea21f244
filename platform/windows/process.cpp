#include "platform/process.h"

namespace platform {

// The Windows heap has no such setting.
void TuneMemory(char**) {}

}  // namespace platform
