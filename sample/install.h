// A generator of old Glebrium installations for the demo, the benchmarks and
// the end-to-end tests: the data folder ROOT/Zelk/Vek with every old table and
// folder that the conversion reads, the photo folder ROOT/Zelk/Fotos/Vek and
// the legacy folder ROOT/Glebrium. Every table is scaled to the member count,
// and the same options always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

struct SampleOptions {
  std::int64_t members = 1000;
  std::uint64_t seed = 1;
  // Last year of the payment history (the yearly files stop at 2010 anyway).
  int last_year = 2010;
  // A denser yearly history, for benchmarks: members who belonged once before
  // they joined again carry the years of that earlier membership, and a
  // member's unit of a year is written several times as the payments came in,
  // the last one holding the final marks. Only the yearly files change.
  bool dense_history = false;
};

struct SampleFile {
  std::string path;  // relative to ROOT, with '/' separators
  std::int64_t bytes = 0;
};

// Writes the installation under the host folder ROOT (created when missing;
// its parent must exist). Refuses a ROOT whose data folder already holds
// anything, so that a real installation is never overwritten. The files are
// streamed, so a million members need little memory. On failure returns false
// with a reason in *error; `written` (optional) receives the files written.
bool MakeSampleInstallation(const std::string& root_host_folder, const SampleOptions& options,
                            std::string* error, std::vector<SampleFile>* written = nullptr);

}  // namespace sample
