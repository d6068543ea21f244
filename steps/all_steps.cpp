#include "steps/steps.h"

#include "store/housekeeping.h"

namespace steps {

std::string RetiredFolder() { return store::TemporaryFolder() + kRetiredSubfolder; }

std::span<const Step> AllSteps() {
  // Later steps read what earlier ones wrote: the order is part of the data layouts.
  static constexpr Step kSteps[] = {
      {"legacy folder import", ImportLegacyFolder},
      {"3.70", MigrateTo370},
      {"4.00", MigrateTo400},
      {"4.07", MigrateTo407},
      {"4.31", MigrateTo431},
      {"4.35", MigrateTo435},
      {"4.51", MigrateTo451},
      {"4.69", MigrateTo469},
      {"records and photos", RelayoutRecordsAndPhotos},
      {"payment methods", RelayoutPaymentMethods},
      {"telephones", MigrateTelephones},
      {"codes and notes", FormatCodesAndLinkNotes},
      {"cleanup", CleanupObsoleteFiles},
  };
  return kSteps;
}

}  // namespace steps
