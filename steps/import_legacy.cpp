// Older releases kept their data in C:\Glebrium. Its data files, and those of
// each subfolder that the data folder also has, are copied in before any step
// reads them. Nothing is overwritten.
//
// Once a conversion has come to its end (the log holds "559") the legacy
// files have been consumed: the steps converted them and put them away, and
// copying them in again would only convert them again and fill the temporary
// folder with numbered copies. A converted installation takes nothing more
// from the legacy folder, which nobody deletes.
#include <string>

#include "platform/files.h"
#include "store/changes.h"
#include "steps/conv_log.h"
#include "steps/steps.h"
#include "store/housekeeping.h"

namespace steps {

namespace {
constexpr char kLegacyFolder[] = "C:\\Glebrium";
constexpr char kDataFolder[] = "C:\\Zelk\\Vek";
// Logged by the last step that keeps a log, when the conversion came through.
constexpr char kConversionEnded[] = "559";
}  // namespace

void ImportLegacyFolder(platform::Ui&) {
  if (ConvDone(kConversionEnded)) return;
  store::TransferFolder(kLegacyFolder, kDataFolder, store::kTransferCopy);
  // Only plain folders of the data folder: a hidden, read-only or otherwise
  // marked folder is not one of the product's own.
  for (const platform::FindEntry& entry : store::FindFiles("*")) {
    if (entry.attributes != platform::kAttrFolder || entry.name == "." || entry.name == "..") continue;
    store::TransferFolder(std::string(kLegacyFolder) + "\\" + entry.name,
                          std::string(kDataFolder) + "\\" + entry.name, store::kTransferCopy);
  }
}

}  // namespace steps
