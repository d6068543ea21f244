// The split of the note files: R08\AB.DAT (160-byte records) and REG04\AB.DAT
// (113-byte records) both hold the input's bytes, R33 exists, and the 5.30
// step runs as the conversion runs it. Every record it writes to R33\L33AB.DAT
// and F32.DAT is 260 bytes long, whatever the notes held, and no live record
// is lost: a kind "A" record of R08 gives two records of R33, any other kind
// one of F32.DAT, and every record of REG04 one of R33.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "steps/steps.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr std::int64_t kNoteLength = 260;
constexpr std::size_t kR08Length = 160;
constexpr std::size_t kReg04Length = 113;

bool Live(std::string_view record, std::size_t length) { return record.size() < length || record.back() != '+'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vekfuzz::Scratch box;
  box.Write("R08/AB.DAT", bytes);
  box.Write("REG04/AB.DAT", bytes);
  box.MakeFolder("R33");
  if (!vekfuzz::RunStep("RelayoutRecordsAndPhotos", steps::RelayoutRecordsAndPhotos, box.ui)) return 0;

  const std::int64_t notes = box.Size("R33/L33AB.DAT");
  const std::int64_t others = box.Size("F32.DAT");
  vekfuzz::Check(notes >= 0 && notes % kNoteLength == 0, "R33\\L33AB.DAT holds whole 260-byte records");
  vekfuzz::Check(others >= 0 && others % kNoteLength == 0, "F32.DAT holds whole 260-byte records");

  std::int64_t main_records = 0;
  std::int64_t other_records = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kR08Length) {
    const std::string_view r = bytes.substr(at, kR08Length);
    if (!Live(r, kR08Length)) continue;
    if (r[0] == 'A') ++main_records;
    else ++other_records;
  }
  std::int64_t reg04_records = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kReg04Length) {
    if (Live(bytes.substr(at, kReg04Length), kReg04Length)) ++reg04_records;
  }
  vekfuzz::Check(notes == (2 * main_records + reg04_records) * kNoteLength,
                 "R33\\L33AB.DAT holds two records per kind A record of R08 and one per record of REG04");
  vekfuzz::Check(others == other_records * kNoteLength, "F32.DAT holds one record per other record of R08");
  return 0;
}
