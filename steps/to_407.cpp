// Release 4.07 put a new 380-character field in the middle of the one-record
// configuration file Conf10.dat: bytes 190 onwards move to 570.
#include <string>

#include "steps/plumbing.h"
#include "steps/steps.h"

namespace steps {

namespace {
constexpr std::size_t kSplit = 190;     // the new field starts here
constexpr std::size_t kNewField = 380;
constexpr std::size_t kOldMax = 285;    // longer files have the new layout already
}  // namespace

void MigrateTo407(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.07");
  RecordPatcher conf("Conf10.dat", kOldMax + kNewField);
  if (!conf) return;
  std::int64_t size = conf.file_size();
  if (size > static_cast<std::int64_t>(kOldMax) || size <= static_cast<std::int64_t>(kSplit)) return;
  if (!conf.Load(0)) return;
  // The whole tail moves, byte for byte: a line feed or a Ctrl-Z in it is data.
  std::string tail(conf.Field(kSplit, kOldMax - kSplit));
  conf.Set(kSplit, std::string(kNewField, ' ') + tail);
  conf.Close();
}

}  // namespace steps
