// The 4.69 step: the charge kinds of F10R4.DAT and the month grids merged
// from the open periods of F22.DAT. The first byte of the input is the number
// of F22.DAT entries (113 bytes each) that follow; the rest of the input is
// F10R4.DAT (1000-byte records). The step runs as the conversion runs it.
//
// Whatever the files hold: the old F10R4.DAT and F22.DAT are kept whole as
// F10R4_469.BAK and F22.BAK, no member record is lost or moved, a deleted
// record stays as it was, the fields around the new ones keep their bytes,
// and F31.DAT holds whole 172-byte records.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "steps/steps.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using vekfuzz::Check;

constexpr std::size_t kRecord = 1000;
constexpr std::size_t kEntry = 113;
constexpr std::int64_t kKind = 172;

std::string Padded(std::string_view s, std::size_t width) {
  std::string out(s.substr(0, width));
  out.resize(width, ' ');
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = std::min(rest.size(), static_cast<std::size_t>(data[0]) * kEntry);
  const std::string_view entries = rest.substr(0, cut);
  const std::string_view records = rest.substr(cut);

  vekfuzz::Scratch box;
  box.Write("F22.DAT", entries);
  box.Write("F10R4.DAT", records);
  if (!vekfuzz::RunStep("MigrateTo469", steps::MigrateTo469, box.ui)) return 0;

  bool missing = false;
  Check(box.Read("F10R4_469.BAK", &missing) == records && !missing, "the old F10R4.DAT is kept whole");
  Check(box.Read("F22.BAK", &missing) == entries && !missing, "the old F22.DAT is kept whole");
  Check(!box.Exists("F22.DAT"), "F22.DAT gives way to the grids");
  const std::int64_t kinds = box.Size("F31.DAT");
  Check(kinds == -1 || kinds % kKind == 0, "F31.DAT holds whole 172-byte records");

  const std::string now = box.Read("F10R4.DAT", &missing);
  Check(!missing, "F10R4.DAT stays");
  if (now == records) return 0;  // nothing to rewrite
  const std::size_t count = (records.size() + kRecord - 1) / kRecord;
  Check(now.size() == count * kRecord, "every member record is rewritten whole, a short one completed");
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view old = records.substr(i * kRecord, kRecord);
    const std::string_view rec = std::string_view(now).substr(i * kRecord, kRecord);
    if (old.size() == kRecord && old.back() == '+') {
      Check(rec == old, "a deleted record stays as it was");
      continue;
    }
    Check(rec.substr(0, 502) == Padded(old.substr(0, std::min<std::size_t>(502, old.size())), 502),
          "the fields before the grid keep their bytes");
    Check(rec.substr(613, 213) == Padded(old.size() > 613 ? old.substr(613, 213) : std::string_view(), 213),
          "the fields between the grid and the kind keep their bytes");
    Check(rec.substr(844) == Padded(old.size() > 844 ? old.substr(844) : std::string_view(), 156),
          "the fields after the kind keep their bytes");
  }
  return 0;
}
