// The 4.07 widening of Conf10.dat: the file holds the input's bytes and the
// step runs as the conversion runs it. A file of the old layout (191 to 285
// bytes) gets 380 spaces at byte 190, its own bytes moving behind them
// unchanged, whatever they are; any other file stays as it is.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "steps/steps.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr std::size_t kSplit = 190;
constexpr std::size_t kNewField = 380;
constexpr std::size_t kOldMax = 285;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vekfuzz::Scratch box;
  box.Write("Conf10.dat", bytes);
  if (!vekfuzz::RunStep("MigrateTo407", steps::MigrateTo407, box.ui)) return 0;

  std::string expected(bytes);
  if (size > kSplit && size <= kOldMax) {
    expected = std::string(bytes.substr(0, kSplit)) + std::string(kNewField, ' ') + std::string(bytes.substr(kSplit));
  }
  bool missing = false;
  vekfuzz::Check(box.Read("Conf10.dat", &missing) == expected && !missing,
                 "an old Conf10.dat is widened at byte 190, any other one stays");
  return 0;
}
