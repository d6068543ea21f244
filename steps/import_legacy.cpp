// Older releases kept their data in C:\Glebrium. Its data files, and those of
// each subfolder that the data folder also has, are copied in before any step
// reads them. Nothing is overwritten, so the step runs on every conversion.
#include <string>

#include "platform/files.h"
#include "steps/steps.h"
#include "store/housekeeping.h"

namespace steps {

namespace {
constexpr char kLegacyFolder[] = "C:\\Glebrium";
constexpr char kDataFolder[] = "C:\\Zelk\\Vek";
}  // namespace

void ImportLegacyFolder(platform::Ui&) {
  store::TransferFolder(kLegacyFolder, kDataFolder, store::kTransferCopy);
  // Only plain folders of the data folder: a hidden, read-only or otherwise
  // marked folder is not one of the product's own.
  for (const platform::FindEntry& entry : platform::FindFiles("*")) {
    if (entry.attributes != platform::kAttrFolder || entry.name == "." || entry.name == "..") continue;
    store::TransferFolder(std::string(kLegacyFolder) + "\\" + entry.name,
                          std::string(kDataFolder) + "\\" + entry.name, store::kTransferCopy);
  }
}

}  // namespace steps
