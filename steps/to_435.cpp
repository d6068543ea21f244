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

namespace files = store::files;
using store::Field;

// ---- CONF10.DAT record 0: the value table and the due-date settings -------

constexpr std::size_t kConf10Width = 19;  // 35 fields of 19 bytes
static_assert(35 * kConf10Width == files::kConf10.length);
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
  RecordReader conf(files::kConf10);
  static_cast<void>(conf.Load(0));  // a missing file or record leaves every field empty
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

constexpr Field kCode{0, 19};          // field 0
constexpr Field kStartDate{217, 11};   // field 8, "dd/mm/yyyy"
constexpr Field kPeriodKind{712, 3};   // field 24: 1 = monthly, else yearly
constexpr Field kValueIndex{768, 3};   // field 27: index into the value table
constexpr Field kExclusion{771, 2};    // field 28: not 0 = no due entries
constexpr Field kFirstYear{897, 4};    // field 35
constexpr std::size_t kGridOffset = 901;  // field 36: 50 years of 12 month marks
constexpr int kGridYears = 50;
constexpr std::size_t kMonths = 12;

// The value that field 27 selects in CONF10.DAT; empty for an index outside
// the table and for a record that ends before the field.
std::string_view ResolveValue(const RecordReader& in, const Settings& s) {
  if (in.bytes().size() <= kValueIndex.offset) return {};
  long index = text::ParseLong(in.TrimmedView(kValueIndex));
  if (index < 0 || index >= kValueCount) return {};
  return s.values[static_cast<std::size_t>(index)];
}

bool IsMonthly(const RecordReader& in) {
  return text::ParseLong(in.TrimmedView(kPeriodKind)) == 1;
}

// ---- stage 1: REG01\*.DAT (79 bytes) -> REG04\ (113 bytes) ----------------

enum PeriodValue : std::size_t { kPeriodNumber, kPeriodKind12 };
constexpr Row kReg04Layout[] = {
    Src(10, 0, 9),
    Value(20, kPeriodNumber),
    Src(14, 25, 38),
    Value(22, kPeriodKind12),  // "12" when byte 13 is a space, else "01"
    Src(5, 20, 24),
    Src(14, 39, 52),
    Blank(27),
    Src(1, 78, 78),  // the flag byte: deleted records are carried too
};
static_assert(RecordLength(kReg04Layout) == files::kReg04.length);

void ConvertPeriodFiles(long& number) {
  const std::vector<platform::FindEntry> found = store::FindDataFiles(files::kReg01.name);
  if (found.empty()) return;
  store::CreateFolder("REG04");  // may exist already
  for (const platform::FindEntry& e : found) {
    const std::string target = "REG04\\" + e.name;
    if (store::Exists(target)) continue;
    RecordReader in("REG01\\" + e.name, files::kReg01.length);
    if (!in) continue;
    RecordWriter out(target, RecordWriter::Mode::kAppend);
    if (!out) continue;
    for (std::int64_t i = 0; in.Load(i); ++i) {
      const std::string n = text::FormatInteger(++number);
      const std::string_view values[] = {n, in.At(13) == ' ' ? "12" : "01"};
      PutRows(out, in, kReg04Layout, values);
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

enum DueValue : std::size_t { kDueCode, kDueNumber, kDueDate, kDueAmount, kDuePeriod };
constexpr Row kDueEntry[] = {
    Value(10, kDueCode),
    Value(10, kDueNumber),
    Value(10, kDueDate),
    Value(14, kDueAmount),
    Value(69, kDuePeriod),  // "01" monthly, "12" yearly; spaces to the flag byte
};
static_assert(RecordLength(kDueEntry) == files::kF22.length);

void BuildDueEntries(const Settings& s, long& number) {
  RecordReader in(files::kF10R3);
  if (!in || store::Exists(files::kF22.name)) return;
  RecordWriter out(files::kF22.name, RecordWriter::Mode::kAppend);
  if (!out) return;

  const platform::Date today = platform::Today();
  const int monthly_day = SmallPositive(s.monthly_due_day);
  const int yearly_day = SmallPositive(s.yearly_due_day);
  const int yearly_month = SmallPositive(s.yearly_due_month);

  for (std::int64_t i = 0; in.Load(i); ++i) {
    if (in.deleted() || text::ParseLong(in.TrimmedView(kExclusion)) != 0) continue;
    const std::string_view code = in.TrimmedView(kCode);
    const text::CalendarDate start = text::ParseDate(in.TrimmedView(kStartDate));
    const bool monthly = IsMonthly(in);
    const std::string amount = text::FormatFixed2(text::ParseDecimal(ResolveValue(in, s)));
    const long first_year = text::ParseLong(in.Field(kFirstYear));
    if (first_year <= 1000) continue;

    auto entry = [&](const text::CalendarDate& due, std::string_view period) {
      const std::string n = text::FormatInteger(++number);
      const std::string date = text::FormatDate(due);
      const std::string_view values[] = {code, n, date, amount, period};
      PutValues(out, kDueEntry, values);
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

// The old layouts, as bits: a row marked Only applies to the files named.
enum : unsigned { kF10 = 1, kF13 = 2, kF17 = 4 };

// Up to offset 766 the three old layouts agree. The last byte is a space:
// the new record is live.
enum NewValue : std::size_t { kCountField, kKindDigit, kPeriodCode, kValue };
constexpr Row kLayout1000[] = {
    Src(11, 0, 9),
    Src(40, 19, 58),
    Src(40, 60, 99),
    Src(70, 101, 140),
    Src(30, 142, 171),
    Src(9, 173, 181),
    Src(30, 183, 212),
    Src(2, 214, 215),
    Value(8, kCountField),  // F10: old 784, F17: old 768 (3 bytes each)
    Only(kF10, Src(10, 217, 226)),
    Src(18, 228, 245),
    Src(18, 247, 264),
    Blank(4),
    Src(41, 275, 305),
    Src(41, 306, 336),
    Src(120, 715, 765),
    Src(10, 368, 377),
    Only(kF13, Src(10, 217, 227)),
    Src(101, 595, 694),
    Src(30, 337, 366),
    Src(20, 379, 398),
    Src(30, 410, 439),
    Value(1, kKindDigit),  // from the letter at old 441
    Src(40, 472, 511),
    Src(40, 513, 552),
    Src(40, 554, 593),
    Src(1, 766, 766),
    Only(kF10, Src(1, 771, 772)),
    Only(kF10, Src(10, 773, 783)),
    Value(2, kPeriodCode),
    Value(16, kValue),
    Blank(156),
};
static_assert(RecordLength(kLayout1000) == files::kF10R4.length);

std::string_view KindDigit(char letter) {
  switch (letter) {
    case 'S': return "1";
    case 'C': return "2";
    case 'V': return "3";
    case 'D': return "4";
    default: return " ";
  }
}

struct Relayout {
  store::RecordFile from;
  store::RecordFile to;
  unsigned file;
};

const Relayout kRelayouts[] = {
    {files::kF10R3, files::kF10R4, kF10},
    {files::kF13R0, files::kF13R1, kF13},
    {files::kF17, files::kF17R0, kF17},
};

void Relayout1000(const Relayout& job, const Settings& s) {
  WriteNewFile(job.from.name, job.from.length, job.to.name, [&](const RecordReader& in, RecordWriter& out) {
    const bool f10 = job.file == kF10;
    const std::string_view values[] = {
        f10 ? in.Field(784, 3) : job.file == kF17 ? in.Field(768, 3) : "",
        KindDigit(in.At(441)),
        f10 ? (IsMonthly(in) ? "01" : "12") : "",
        f10 ? ResolveValue(in, s) : "",
    };
    PutRows(out, in, kLayout1000, values, job.file);
  });
}

// ---- stage 4: F24.DAT (60 bytes) from CONF14.DAT (40 bytes) ---------------

constexpr Row kGroup[] = {Value(1, 0), Src(8, 0, 1), Src(51, 5, 39)};
static_assert(RecordLength(kGroup) == files::kF24.length);

void BuildGroupFile() {
  RecordReader in(files::kConf14);
  if (!in || store::Exists(files::kF24.name)) return;
  RecordWriter out(files::kF24.name, RecordWriter::Mode::kCreate);
  if (!out) return;
  for (std::string_view group : {"1", "3"}) {
    for (std::int64_t i = 0; in.Load(i); ++i) {
      const std::string_view values[] = {group};
      PutRows(out, in, kGroup, values);
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
