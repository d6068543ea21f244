#include "steps/steps.h"

namespace steps {

// Not converted yet: this release's layouts are still to be built.
void MigrateTo451(platform::Ui&) {}

}  // namespace steps
