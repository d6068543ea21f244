#include "store/counters.h"

#include <cstdio>
#include <string>

#include "platform/ui.h"
#include "store/changes.h"
#include "store/open.h"
#include "store/records.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace store {

namespace {

constexpr long kKeyWidth = 20;
constexpr long kValueWidth = 10;

std::string PadAtLeast(std::string_view s, std::size_t width) {
  std::string out(s);
  if (out.size() < width) out.resize(width, ' ');
  return out;
}

// Reads the value field of the counter record; false after a message when it
// cannot be positioned or read. A file that cannot be opened fails silently.
bool ReadValue(long index, long& value) {
  platform::Stream in = OpenForReading(kCountersFile);
  if (!in) return false;
  const std::optional<std::int64_t> at = ByteOffset(index, kCounterRecordLength, kKeyWidth);
  std::string field;
  if (!at || PositionAt(in, *at) != 0 || !ReadText(in, field, kValueWidth)) {
    if (in.error().kind != platform::ErrorKind::kNone) Fail(FileError::Action::kRead, kCountersFile, in.error());
    platform::ActiveUi().MessageBox("Erro ao abrir ou posicionar arquivo de contadores.", "MacroCodeCad",
                                    platform::Icon::kError);
    return false;
  }
  const long v = text::ParseLong(field);
  value = (v < 0 || v > kLargestCounter) ? 0 : v;
  return true;
}

}  // namespace

int MacroCodeCad(std::string_view part1, std::string_view part2, long& value, int width, int operation) {
  const std::string p1 = PadAtLeast(part1, 10);
  const std::string p2 = PadAtLeast(part2, 10);
  long index = -1;
  const bool found = FindKey(kCountersFile, kCounterRecordLength, p1 + p2, 0, kKeyWidth, index) == 1;

  if (operation == kCounterRead || operation == kCounterNext) {
    value = 0;
    const bool ok = !found || ReadValue(index, value);
    if (operation == kCounterRead) return ok ? 1 : 0;
    if (!ok) return 0;
    if (width <= 0 || width > 9) width = 6;
    value = text::NextSequenceValue(value, width);
  } else if (operation != kCounterStore) {
    return 0;
  }

  char number[32];
  std::snprintf(number, sizeof number, "%-10ld", value);
  std::string record = p1 + p2 + number;
  text::CutText(record, kCounterRecordLength);
  text::CleanText(record);
  if (record.size() < static_cast<std::size_t>(kCounterRecordLength)) {
    text::PadRight(record, kCounterRecordLength);
  }

  long slot = index;
  platform::Stream out = FOpen2(kCountersFile, kCounterRecordLength, slot, found ? kRewriteRecord : kAddRecord);
  if (!out) return 0;
  if (!out.Write(record) || !out.Close()) Fail(FileError::Action::kWrite, kCountersFile, out.error());
  return 1;
}

int ReadCounter(std::string_view part1, std::string_view part2, long& value) {
  return MacroCodeCad(part1, part2, value, 0, kCounterRead);
}

int StoreCounter(std::string_view part1, std::string_view part2, long value) {
  return MacroCodeCad(part1, part2, value, 0, kCounterStore);
}

}  // namespace store
