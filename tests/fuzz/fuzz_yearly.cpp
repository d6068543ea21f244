// The cleaning of a yearly history file and the collection of its history:
// REG/RM1990.DAT holds the input's bytes, F10r2.dat the same bytes read as
// 897-byte member records (so that the first keys of both meet), and the 3.70
// step runs over them as the conversion runs it.
//
// Whatever the yearly file holds, the step must end or stop on a refused read
// or write; every member record must give one 1501-byte record of F10r3.dat.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "steps/steps.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr std::size_t kOldRecord = 897;
constexpr std::size_t kNewRecord = 1501;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vekfuzz::Scratch box;
  box.Write("REG/RM1990.DAT", bytes);
  box.Write("F10r2.dat", bytes);
  if (!vekfuzz::RunStep("MigrateTo370", steps::MigrateTo370, box.ui)) return 0;

  // An empty member file still gives an (empty) F10r3.dat.
  const std::int64_t records = static_cast<std::int64_t>((size + kOldRecord - 1) / kOldRecord);
  vekfuzz::Check(box.Size("F10r3.dat") == records * static_cast<std::int64_t>(kNewRecord),
                 "every member record gives one record of F10r3.dat");
  vekfuzz::Check(box.Exists("REG/RM1990.DAT"), "the yearly file stays");
  return 0;
}
