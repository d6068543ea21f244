// Release 4.35: the period files move from REG01 (79 bytes) to REG04 (113),
// the unpaid periods of the payment grid become due entries in F22.DAT, the
// F10, F13 and F17 files get the common 1000-byte layout, and F24.DAT is
// built from CONF14.DAT.
//
// Every stage is guarded only by the absence of the file that it creates, so
// running the step again changes nothing; the old files stay as they are.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "steps/plumbing.h"
#include "steps/steps.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {
namespace {

struct FieldAt {
  std::size_t offset;
  std::size_t width;
};

// ---- CONF10.DAT record 0: the value table and the due-date settings -------

constexpr std::size_t kConf10Length = 665;
constexpr std::size_t kConf10Width = 19;  // 35 fields of 19 bytes
constexpr int kValueCount = 30;

struct Settings {
  std::array<std::string, kValueCount> values;
  long monthly_due_day = 1;
  long month_shift = 1;
  long yearly_due_day = 1;
  long yearly_due_month = 1;
  long year_shift = 1;
};

// Day and month numbers beyond 99 behave like 99 everywhere below (the end of
// the month, or a part printed as 00); keeping them small keeps the date
// arithmetic in int.
int SmallPositive(long v) { return static_cast<int>(std::clamp(v, 1L, 99L)); }

Settings ReadSettings() {
  Settings s;
  RecordReader conf("CONF10.DAT", kConf10Length);
  conf.Load(0);  // a missing file or record leaves every field empty
  auto field = [&](int k) { return conf.Trimmed(static_cast<std::size_t>(k) * kConf10Width, kConf10Width); };
  for (int k = 0; k < kValueCount; ++k) s.values[static_cast<std::size_t>(k)] = field(k);
  // Day and month settings of 0 or less mean the first; an empty shift
  // field means the usual shift of 1, while a written 0 is a real choice.
  auto number_or_one = [](const std::string& f) { return f.empty() ? 1L : text::ParseLong(f); };
  s.monthly_due_day = text::ParseLong(field(30));
  s.month_shift = number_or_one(field(31));
  s.yearly_due_day = text::ParseLong(field(32));
  s.yearly_due_month = text::ParseLong(field(33));
  s.year_shift = number_or_one(field(34));
  return s;
}

// ---- F10R3.DAT (1501 bytes) -----------------------------------------------

constexpr std::size_t kF10R3Length = 1501;
constexpr FieldAt kCode{0, 19};          // field 0
constexpr FieldAt kStartDate{217, 11};   // field 8, "dd/mm/yyyy"
constexpr FieldAt kPeriodKind{712, 3};   // field 24: 1 = monthly, else yearly
constexpr FieldAt kValueIndex{768, 3};   // field 27: index into the value table
constexpr FieldAt kExclusion{771, 2};    // field 28: not 0 = no due entries
constexpr FieldAt kFirstYear{897, 4};    // field 35
constexpr std::size_t kGridOffset = 901;  // field 36: 50 years of 12 month marks
constexpr int kGridYears = 50;
constexpr std::size_t kMonths = 12;

// The value that field 27 selects in CONF10.DAT; empty for an index outside
// the table and for a record that ends before the field.
std::string_view ResolveValue(const RecordReader& in, const Settings& s) {
  if (in.bytes().size() <= kValueIndex.offset) return {};
  long index = text::ParseLong(in.TrimmedView(kValueIndex.offset, kValueIndex.width));
  if (index < 0 || index >= kValueCount) return {};
  return s.values[static_cast<std::size_t>(index)];
}

bool IsMonthly(const RecordReader& in) {
  return text::ParseLong(in.TrimmedView(kPeriodKind.offset, kPeriodKind.width)) == 1;
}

// ---- stage 1: REG01\*.DAT (79 bytes) -> REG04\ (113 bytes) ----------------

constexpr std::size_t kReg01Length = 79;

void ConvertPeriodFiles(long& number) {
  const std::vector<platform::FindEntry> found = store::FindDataFiles("REG01\\*.DAT");
  if (found.empty()) return;
  store::CreateFolder("REG04");  // may exist already
  for (const platform::FindEntry& e : found) {
    const std::string target = "REG04\\" + e.name;
    if (store::Exists(target)) continue;
    RecordReader in("REG01\\" + e.name, kReg01Length);
    if (!in) continue;
    RecordWriter out(target, RecordWriter::Mode::kAppend);
    if (!out) continue;
    // Deleted records are carried too, with their flag byte.
    for (std::int64_t i = 0; in.Load(i); ++i) {
      out.Put(in.Field(0, 10), 10)
          .Put(text::FormatInteger(++number), 20)
          .Put(in.Field(25, 14), 14)
          .Put(in.At(13) == ' ' ? "12" : "01", 22)
          .Put(in.Field(20, 5), 5)
          .Put(in.Field(39, 14), 14)
          .Spaces(27)
          .Put(in.Field(78, 1), 1)
          .EndRecord();
    }
    out.Close();
  }
}

// ---- stage 2: F22.DAT, one due entry per unmarked period ------------------

// Moves a due date of the grid month to the month in which it falls due.
void ShiftMonth(text::CalendarDate& d, long shift) {
  if (shift == 0) {  // the month before
    d.day = 1;
    text::PreviousDay(d);
  } else if (shift == 2 || shift == 3) {  // one or two months later
    for (long k = 1; k < shift; ++k) {
      d.day = 31;
      text::NextDay(d);
    }
  }
}

// The due day, or the last day of a shorter month.
void SetDayWithinMonth(text::CalendarDate& d, int day) {
  d.day = day;
  text::NextDay(d);
  text::PreviousDay(d);
}

int YearlyDueYear(long grid_year, long year_shift) {
  long y = year_shift == 0 ? grid_year - 1 : year_shift == 1 ? grid_year : grid_year + 1;
  return static_cast<int>(y);
}

void BuildDueEntries(const Settings& s, long& number) {
  RecordReader in("F10R3.DAT", kF10R3Length);
  if (!in || store::Exists("F22.DAT")) return;
  RecordWriter out("F22.DAT", RecordWriter::Mode::kAppend);
  if (!out) return;

  const platform::Date today = platform::Today();
  const int monthly_day = SmallPositive(s.monthly_due_day);
  const int yearly_day = SmallPositive(s.yearly_due_day);
  const int yearly_month = SmallPositive(s.yearly_due_month);

  for (std::int64_t i = 0; in.Load(i); ++i) {
    if (in.deleted() || text::ParseLong(in.TrimmedView(kExclusion.offset, kExclusion.width)) != 0) continue;
    const std::string_view code = in.TrimmedView(kCode.offset, kCode.width);
    const text::CalendarDate start = text::ParseDate(in.TrimmedView(kStartDate.offset, kStartDate.width));
    const bool monthly = IsMonthly(in);
    const std::string amount = text::FormatFixed2(text::ParseDecimal(ResolveValue(in, s)));
    const long first_year = text::ParseLong(in.Field(kFirstYear.offset, kFirstYear.width));
    if (first_year <= 1000) continue;

    auto entry = [&](const text::CalendarDate& due, const char* period) {
      out.Put(code, 10)
          .Put(text::FormatInteger(++number), 10)
          .Put(text::FormatDate(due), 10)
          .Put(amount, 14)
          .Put(period, 69)
          .EndRecord();
    };

    for (int r = 0; r < kGridYears && first_year + r <= today.year; ++r) {
      std::string marks(in.Field(kGridOffset + kMonths * static_cast<std::size_t>(r), kMonths));
      if (marks.empty()) break;
      marks.resize(kMonths, ' ');  // a record cut short: the missing months are unmarked
      const int year = static_cast<int>(first_year + r);
      // Months before the start of the grid were never owed.
      if (r == 0 && year == start.year) {
        const std::size_t before = static_cast<std::size_t>(std::clamp(start.month - 1, 0, 12));
        std::fill_n(marks.begin(), before, '*');
      }
      if (monthly) {
        const int last_month = year == today.year ? std::min(today.month, 12) : 12;
        for (int m = 1; m <= last_month; ++m) {
          if (marks[static_cast<std::size_t>(m - 1)] == '*') continue;
          text::CalendarDate due{.year = year, .day = 1, .month = m};
          ShiftMonth(due, s.month_shift);
          SetDayWithinMonth(due, monthly_day);
          entry(due, "01");
        }
      } else if (marks != std::string(kMonths, '*')) {
        entry({.year = YearlyDueYear(year, s.year_shift), .day = yearly_day, .month = yearly_month}, "12");
      }
    }
  }
  out.Close();
}

// ---- stage 3: the common 1000-byte layout ---------------------------------

// The old layouts, as bits: a row of the layout applies to the files named.
enum : unsigned { kF10 = 1, kF13 = 2, kF17 = 4, kAll = kF10 | kF13 | kF17 };

enum class From {
  kCopy,        // the old bytes at the offset, as they are
  kTrimmed,     // the old field without its trailing spaces
  kKindLetter,  // S/C/V/D at the old offset become 1/2/3/4, else a space
  kPeriodCode,  // "01" for a monthly record, else "12"
  kValue,       // the value that the value index selects
};

struct Slot {
  std::size_t offset;  // in the new record
  std::size_t width;
  unsigned files;
  From from;
  std::size_t old_offset;
  std::size_t old_width;
};

constexpr std::size_t kNewLength = 1000;

// Up to offset 766 the three old layouts agree. Gaps between the rows, and
// rows that do not apply to a file, are spaces; so is the last byte (live).
constexpr Slot kLayout1000[] = {
    {0, 11, kAll, From::kCopy, 0, 10},
    {11, 40, kAll, From::kCopy, 19, 40},
    {51, 40, kAll, From::kCopy, 60, 40},
    {91, 70, kAll, From::kCopy, 101, 40},
    {161, 30, kAll, From::kCopy, 142, 30},
    {191, 9, kAll, From::kCopy, 173, 9},
    {200, 30, kAll, From::kCopy, 183, 30},
    {230, 2, kAll, From::kCopy, 214, 2},
    {232, 8, kF10, From::kTrimmed, 784, 3},
    {232, 8, kF17, From::kTrimmed, 768, 3},
    {240, 10, kF10, From::kCopy, 217, 10},
    {250, 18, kAll, From::kCopy, 228, 18},
    {268, 18, kAll, From::kCopy, 247, 18},
    {290, 41, kAll, From::kCopy, 275, 31},
    {331, 41, kAll, From::kCopy, 306, 31},
    {372, 120, kAll, From::kCopy, 715, 51},
    {492, 10, kAll, From::kCopy, 368, 10},
    {502, 10, kF13, From::kTrimmed, 217, 11},
    {512, 101, kAll, From::kCopy, 595, 100},
    {613, 30, kAll, From::kCopy, 337, 30},
    {643, 20, kAll, From::kCopy, 379, 20},
    {663, 30, kAll, From::kCopy, 410, 30},
    {693, 1, kAll, From::kKindLetter, 441, 1},
    {694, 40, kAll, From::kCopy, 472, 40},
    {734, 40, kAll, From::kCopy, 513, 40},
    {774, 40, kAll, From::kCopy, 554, 40},
    {814, 1, kAll, From::kCopy, 766, 1},
    {815, 1, kF10, From::kTrimmed, 771, 2},
    {816, 10, kF10, From::kTrimmed, 773, 11},
    {826, 2, kF10, From::kPeriodCode, 712, 3},
    {828, 16, kF10, From::kValue, 768, 3},
};

// For each old layout the rows follow one another without overlap and leave
// the flag byte free.
constexpr bool LayoutIsOrdered() {
  for (unsigned file : {kF10, kF13, kF17}) {
    std::size_t end = 0;
    for (const Slot& s : kLayout1000) {
      if (!(s.files & file)) continue;
      if (s.offset < end) return false;
      end = s.offset + s.width;
    }
    if (end >= kNewLength) return false;
  }
  return true;
}
static_assert(LayoutIsOrdered());

std::string_view SlotValue(const Slot& slot, const RecordReader& in, const Settings& s) {
  switch (slot.from) {
    case From::kCopy:
      return in.Field(slot.old_offset, slot.old_width);
    case From::kTrimmed:
      return in.TrimmedView(slot.old_offset, slot.old_width);
    case From::kKindLetter:
      switch (in.At(slot.old_offset)) {
        case 'S': return "1";
        case 'C': return "2";
        case 'V': return "3";
        case 'D': return "4";
        default: return " ";
      }
    case From::kPeriodCode:
      return IsMonthly(in) ? "01" : "12";
    case From::kValue:
      return ResolveValue(in, s);
  }
  return {};
}

struct Relayout {
  const char* from;
  const char* to;
  std::size_t old_length;
  unsigned file;
};

constexpr Relayout kRelayouts[] = {
    {"F10R3.DAT", "F10R4.DAT", 1501, kF10},
    {"F13R0.DAT", "F13R1.DAT", 897, kF13},
    {"F17.DAT", "F17R0.DAT", 896, kF17},
};

void Relayout1000(const Relayout& job, const Settings& s) {
  WriteNewFile(job.from, job.old_length, job.to, [&](const RecordReader& in, RecordWriter& out) {
    std::size_t pos = 0;
    for (const Slot& slot : kLayout1000) {
      if (!(slot.files & job.file)) continue;
      out.Spaces(slot.offset - pos).Put(SlotValue(slot, in, s), slot.width);
      pos = slot.offset + slot.width;
    }
    out.Spaces(kNewLength - pos).EndRecord();
  });
}

// ---- stage 4: F24.DAT (60 bytes) from CONF14.DAT (40 bytes) ---------------

void BuildGroupFile() {
  RecordReader in("CONF14.DAT", 40);
  if (!in || store::Exists("F24.DAT")) return;
  RecordWriter out("F24.DAT", RecordWriter::Mode::kCreate);
  if (!out) return;
  for (int group : {1, 3}) {
    for (std::int64_t i = 0; in.Load(i); ++i) {
      out.Put(text::FormatInteger(group), 1).Put(in.Field(0, 2), 8).Put(in.Field(5, 35), 51).EndRecord();
    }
  }
  out.Close();
}

}  // namespace

void MigrateTo435(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.35");
  const Settings settings = ReadSettings();
  long number = 0;  // shared by the REG04 records and the due entries
  ConvertPeriodFiles(number);
  BuildDueEntries(settings, number);
  for (const Relayout& job : kRelayouts) Relayout1000(job, settings);
  BuildGroupFile();
}

}  // namespace steps
