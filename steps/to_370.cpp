#include "steps/steps.h"

namespace steps {

// Not converted yet: this release's layouts are still to be built.
void MigrateTo370(platform::Ui&) {}

}  // namespace steps
