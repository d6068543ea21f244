// The telephone migration and the check-digit code formatters. The five
// record files that hold telephones (F00R0, F01R0, F02R1, F09R0, F10R4) and
// C04.DAT all hold the input's bytes, read at their own record lengths, and
// the step runs as the conversion runs it; the formatters get the bytes as a
// code.
//
// Whatever the records hold: FTEL1.DAT holds whole 40-byte lines, no record
// is lost, and nothing outside the telephone fields (bytes 290 to 353)
// changes. A code is rewritten only into its own shape, and a formatted code
// formats to itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "steps/code_format.h"
#include "steps/steps.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/fields.h"

namespace {

using vekfuzz::Check;

struct PhoneFile {
  const char* name;
  std::size_t length;
};
constexpr PhoneFile kPhoneFiles[] = {
    {"F00R0.DAT", 1000}, {"F01R0.DAT", 814}, {"F02R1.DAT", 1000}, {"F09R0.DAT", 815}, {"F10R4.DAT", 1000},
};
constexpr std::size_t kPhonesAt = 290;
constexpr std::size_t kPhonesEnd = 354;  // the first field (41) and the second (23)
constexpr std::int64_t kLine = 40;

void CheckRecords(std::string_view old, const std::string& now, std::size_t length) {
  const std::size_t count = (old.size() + length - 1) / length;
  Check(now.size() >= old.size() && now.size() <= count * length,
        "the records stay, a short last one at most completed");
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view a = old.substr(i * length, length);
    const std::string_view b = std::string_view(now).substr(i * length, i + 1 < count ? length : std::string_view::npos);
    Check(b.substr(0, std::min(kPhonesAt, b.size())) == a.substr(0, std::min(kPhonesAt, a.size())),
          "the bytes before the telephones stay");
    if (a.size() > kPhonesEnd) {
      Check(b.size() == a.size() && b.substr(kPhonesEnd) == a.substr(kPhonesEnd), "the bytes after the telephones stay");
    }
  }
}

bool ShapeCode8(const std::string& c) {
  if (c.size() != 9 || c[7] != '-') return false;
  for (std::size_t k = 0; k < 9; ++k) {
    if (k != 7 && !text::IsDigitChar(static_cast<unsigned char>(c[k]))) return false;
  }
  return true;
}

bool ShapeCode13(const std::string& c) {
  static constexpr char kShape[] = "999.999.999.999-9";
  if (c.size() != sizeof kShape - 1) return false;
  for (std::size_t k = 0; k < c.size(); ++k) {
    if (kShape[k] == '9' ? !text::IsDigitChar(static_cast<unsigned char>(c[k])) : c[k] != kShape[k]) return false;
  }
  return true;
}

void FormatCodes(std::string_view bytes) {
  std::string code8(bytes);
  if (steps::FormatMod11Code8(code8)) {
    Check(ShapeCode8(code8), "a formatted 8-digit code reads 1234567-9");
    std::string again = code8;
    Check(steps::FormatMod11Code8(again) && again == code8, "a formatted 8-digit code formats to itself");
  } else {
    Check(code8 == bytes, "a code that is not valid stays as it is");
  }
  std::string code13(bytes);
  if (steps::FormatMod11Code13(code13)) {
    Check(ShapeCode13(code13), "a formatted 13-digit code reads 123.456.789.012-3");
    std::string again = code13;
    Check(steps::FormatMod11Code13(again) && again == code13, "a formatted 13-digit code formats to itself");
  } else {
    Check(code13 == bytes, "a code that is not valid stays as it is");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  FormatCodes(bytes);

  vekfuzz::Scratch box;
  for (const PhoneFile& f : kPhoneFiles) box.Write(f.name, bytes);
  box.Write("C04.DAT", bytes);
  if (!vekfuzz::RunStep("MigrateTelephones", steps::MigrateTelephones, box.ui)) return 0;

  const std::int64_t lines = box.Size("FTEL1.DAT");
  Check(lines >= 0 && lines % kLine == 0, "FTEL1.DAT holds whole 40-byte lines");
  for (const PhoneFile& f : kPhoneFiles) {
    bool missing = false;
    const std::string now = box.Read(f.name, &missing);
    Check(!missing, "the record files stay");
    CheckRecords(bytes, now, f.length);
  }
  return 0;
}
