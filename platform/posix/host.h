// Shared between the POSIX files and streams: keeping the folder name indexes
// current when this layer itself adds or removes a directory entry.
#pragma once

#include <string>

namespace platform::posix {

// Call before an operation that adds or removes the entry at the host path:
// drops the folder's index when something else changed the folder since it
// was read, so that the update after the operation does not hide that change.
void BeforeEntryChange(const std::string& host);
// Call after the entry at the host path was created (added) or removed.
void AfterEntryChange(const std::string& host, bool added);

}  // namespace platform::posix
