// Release 4.69: the period code and value of every F10R4.DAT record become a
// reference into the new table of charge kinds F31.DAT, and the open periods
// of F22.DAT become a packed grid of month marks inside each record.
//
// Work list A holds the distinct charge kinds (the position of a kind in the
// sorted list is its index); work list B holds one grid line per record code:
//
//   code (10) | start date dd/mm/yyyy (10) | 240 month marks from the start month
//
// A mark "0" is a month with an open entry, "1" a month between open entries.
//
// Where the grid lines could outgrow the work budget, the codes are split
// into parts by a hash of the code (folded): the open entries and the live
// records of each part go to the disk, each part's grids are built and taken
// on a list of their own (a code only ever meets its own line), and the lines
// taken are merged back in record order.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/ui.h"
#include "platform/worklist.h"
#include "steps/plumbing.h"
#include "steps/steps.h"
#include "platform/scratch.h"
#include "store/spill.h"
#include "text/cp1252.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {
namespace {

namespace files = store::files;
namespace member435 = store::member435;
namespace member469 = store::member469;
namespace due_entry = store::due_entry;

constexpr std::size_t kCodeWidth = due_entry::kCode.width;
constexpr std::size_t kDateWidth = member469::kGridStart.width;
constexpr std::size_t kMarks = 240;          // twenty years of months
constexpr std::size_t kMarksAt = kCodeWidth + kDateWidth;
constexpr std::size_t kPacked = kMarks / 6;
static_assert(kPacked == store::member469::kPackedMarks.width);

constexpr int kFirstKindNumber = 100;
constexpr int kLastTableKind = 600;   // F31.DAT numbers kinds up to 700
constexpr int kLastRecordKind = 500;  // F10R4.DAT refers to kinds up to 600
constexpr int kNoCharge = 1;          // period or value 0
constexpr int kFirstGridYear = 1990;

// ---- charge kinds ------------------------------------------------------------

// The text right-justified in the width, never cut; a zero byte ends it.
std::string RightJustified(std::string_view s, std::size_t width) {
  s = s.substr(0, s.find('\0'));
  std::string out(width > s.size() ? width - s.size() : 0, ' ');
  return out.append(s);
}

// "%2s%16s": the period code, then the value right-justified.
std::string KindKey(std::string_view period, std::string_view value) {
  return RightJustified(period, 2) + RightJustified(text::TrimRight(value), 16);
}

constexpr auto kMonth = CP1252("mês");

std::string_view PeriodWord(long period) {
  switch (period) {
    case 1: return kMonth;
    case 2: return "bimestre";
    case 3: return "trimestre";
    case 4: return "quadrimestre";
    case 6: return "semestre";
    case 12: return "ano";
    default: return "";
  }
}

// Reads the kinds of all live records with a period and a value into list A
// (up to a record that ends before the period); every live record goes to
// each_live(i, record) as well.
template <class EachLive>
bool CollectKinds(platform::WorkList& kinds, EachLive each_live) {
  RecordReader in(files::kF10R4);
  if (!in) return false;
  bool kinds_end = false;
  for (std::int64_t i = 0; in.Load(i); ++i) {
    kinds_end = kinds_end || in.bytes().size() <= member435::kPeriodCode.offset;
    if (in.deleted()) continue;
    each_live(i, static_cast<const LoadedRecord&>(in));
    if (kinds_end) continue;
    std::string_view period = in.Field(member435::kPeriodCode);
    std::string_view value = in.Field(member435::kValue);
    if (text::ParseLong(period) <= 0 || text::ParseDecimal(value) <= 0) continue;
    std::string key = KindKey(period, value);
    if (kinds.FindExact(key) < 0) kinds.Add(key);
  }
  return true;
}

// A charge kind of F31.DAT.
enum KindValue : std::size_t { kKindNumber, kKindLabel, kKindValue, kKindPeriod };
constexpr Row kKindRecord[] = {
    Value(3, kKindNumber),
    Blank(8),
    Value(40, kKindLabel),  // "R$ 12,50 por mês"
    Value(18, kKindValue),
    Value(103, kKindPeriod),  // the period code, then spaces to the flag byte
};
static_assert(RecordLength(kKindRecord) == files::kF31.length);

void WriteKindTable(const platform::WorkList& kinds) {
  RecordWriter out(files::kF31.name, RecordWriter::Mode::kAppend);
  if (!out) return;
  for (int k = 0; k < kinds.Count(); ++k) {
    const std::string& key = *kinds.Get(k);
    std::string_view period = std::string_view(key).substr(0, 2);
    std::string value = text::FormatNumber(text::ParseDecimal(std::string_view(key).substr(2)), 2);
    std::string label = "R$ " + value + " por " + std::string(PeriodWord(text::ParseLong(period)));
    const std::string number = text::FormatInteger(k <= kLastTableKind ? k + kFirstKindNumber : 0, 3);
    const std::string_view values[] = {number, label, value, period};
    PutValues(out, kKindRecord, values);
  }
  out.Close();
}

// ---- month grids -------------------------------------------------------------

long MonthNumber(const text::CalendarDate& d) { return d.year * 12L + d.month - 1; }

// Months from a to b (negative when b is earlier).
long MonthsBetween(const text::CalendarDate& a, const text::CalendarDate& b) {
  return MonthNumber(b) - MonthNumber(a);
}

// The grid line of one record code while its entries are merged. The entries
// of a record follow one another in F22.DAT, so the line is taken from list B
// once, merged with every entry of its code, and put back when another code
// comes: the list ends as if each entry had been merged into it directly.
class OpenGrid {
 public:
  explicit OpenGrid(platform::WorkList& grids) : grids_(grids) {}

  // Merges one open entry (its first month `date`, `span` months long).
  void Merge(std::string_view code, text::CalendarDate date, std::size_t span) {
    if (!Holds(code)) Open(code);
    code_ = code;  // the line takes the spelling of its latest entry
    if (!started_) {
      SetStart(date);
      marks_.replace(0, span, span, '0');
      started_ = true;
      return;
    }
    if (text::CompareDates(start_date_, date) < 0) {
      // The entry lies after the grid's start: the months up to it that hold
      // no mark lie between open entries, then the entry's months are open.
      const long offset = std::min<long>(MonthsBetween(start_date_, date), kMarks + 1);
      for (long p = 0; p < offset && p < static_cast<long>(kMarks); ++p) {
        if (marks_[static_cast<std::size_t>(p)] == ' ') marks_[static_cast<std::size_t>(p)] = '1';
      }
      for (std::size_t j = 0; j < span && offset + static_cast<long>(j) < static_cast<long>(kMarks); ++j) {
        marks_[static_cast<std::size_t>(offset) + j] = '0';
      }
    } else {
      // The entry opens the grid: its months, the months up to the old start
      // between open entries, then the old marks at their own months. Where the
      // entry's months reach into the old grid the open entry stands, so no old
      // mark moves to another month.
      const std::size_t offset = static_cast<std::size_t>(std::min<long>(MonthsBetween(date, start_date_), kMarks));
      std::string marks(kMarks, ' ');
      marks.replace(0, span, span, '0');
      for (std::size_t p = span; p < offset; ++p) marks[p] = '1';
      for (std::size_t p = std::max(span, offset); p < kMarks; ++p) marks[p] = marks_[p - offset];
      marks_.swap(marks);
      SetStart(date);
    }
  }

  // Puts the line into the list.
  void Close() {
    if (code_.empty()) return;
    // Lines are kept without the spaces behind their last mark (read back
    // padded): a million records' grids then fit in memory. The order of the
    // list is the same, as every mark sorts after a space.
    std::string line = code_ + start_ + marks_;
    text::TrimRight(line);
    if (line.size() < kMarksAt) line.resize(kMarksAt, ' ');
    if (at_ < 0) {
      grids_.Add(line);
    } else {
      grids_.Replace(at_, line);
    }
    code_.clear();
  }

 private:
  // The line in hand is the one that a lookup of the code would find.
  bool Holds(std::string_view code) const {
    return !code_.empty() && platform::WorkList::CompareN(code, code_, kCodeWidth) == 0;
  }

  void Open(std::string_view code) {
    Close();
    code_ = code;
    at_ = grids_.FindPrefix(code_, kCodeWidth);
    started_ = at_ >= 0;
    if (started_) {
      const std::string line = text::Padded(*grids_.Get(at_), kMarksAt + kMarks);
      start_ = line.substr(kCodeWidth, kDateWidth);
      start_date_ = text::ParseDate(start_);
      marks_ = line.substr(kMarksAt, kMarks);
    } else {
      marks_.assign(kMarks, ' ');
    }
  }

  void SetStart(text::CalendarDate date) {
    start_ = text::Padded(text::FormatDate(date), kDateWidth);
    // The grid's start as a later entry compares with it: the date as written.
    start_date_ = text::ParseDate(start_);
  }

  platform::WorkList& grids_;
  std::string code_;  // kCodeWidth characters; empty when no line is open
  int at_ = -1;       // the line's index in the list, -1 for a new line
  bool started_ = false;
  std::string start_;
  text::CalendarDate start_date_;
  std::string marks_;  // kMarks characters
};

// Every open entry of F22.DAT to take(code, first month, months), in file
// order. False when the file could not be read.
template <class Take>
bool ForEachOpenEntry(platform::Ui& dlg, Take take) {
  RecordReader in(files::kF22);
  if (!in) return false;
  const long entries = static_cast<long>(std::max<std::int64_t>(0, store::FileSize(files::kF22.name)) /
                                         static_cast<std::int64_t>(files::kF22.length));
  long shown = -1;
  for (std::int64_t i = 0; in.Load(i); ++i) {
    if (in.deleted()) continue;
    text::CalendarDate date = text::ParseDate(in.Field(due_entry::kDate));
    if (date.year < kFirstGridYear) continue;
    if (date.month == 13) date.month = 12;
    // A month outside the calendar has no place in a grid.
    if (date.month < 1 || date.month > 12) continue;

    // The text is made only when it changes: a million entries give a
    // hundred status texts.
    const long number = static_cast<long>(i) + 1;
    // (A piece of an entry after the last whole one still counts as 100 %.)
    const long progress = entries > 0 ? std::min(100L, number * 100 / entries) : number;
    if (progress != shown) {
      shown = progress;
      dlg.SetStatus(entries > 0 ? Format("%ld %%", progress) : text::FormatInteger(progress));
    }

    long period = text::ParseLong(in.Field(due_entry::kPeriodCode));
    if (period < 1 || period > 12) period = 1;
    // A yearly entry stands for the whole calendar year.
    if (period == 12) {
      date.day = 1;
      date.month = 1;
    }
    take(text::Padded(in.Field(due_entry::kCode), kCodeWidth), date, static_cast<std::size_t>(period));
  }
  return true;
}

// ---- the new fields of F10R4.DAT -------------------------------------------

// Six marks to a character: "1" is a set bit, the first mark the highest;
// the value plus 32 lies between the space and "_".
std::string PackMarks(std::string_view marks) {
  std::string out(kPacked, ' ');
  for (std::size_t c = 0; c < kPacked; ++c) {
    int bits = 0;
    for (std::size_t j = 0; j < 6; ++j) {
      const std::size_t p = c * 6 + j;
      bits = bits * 2 + (p < marks.size() && marks[p] == '1' ? 1 : 0);
    }
    out[c] = static_cast<char>(bits + 32);
  }
  return out;
}

// The start of an empty grid: the first of the month after the start date
// (for a yearly record the next 1 January), or today.
std::string EmptyGridStart(const LoadedRecord& rec, long period) {
  // Only a whole date: "1/3/2009" would give a month made up from its pieces.
  constexpr store::Field kStart = member435::kStartDate;
  if (text::IsDigitChar(static_cast<unsigned char>(rec.At(kStart.offset))) && rec.TrimmedView(kStart).size() == kStart.width) {
    text::CalendarDate d = text::ParseDate(rec.Field(kStart));
    if (d.month == 13) d.month = 12;
    if (d.year >= 1 && d.year < 9999 && d.month >= 1 && d.month <= 12) {
      d.day = 1;
      if (++d.month > 12) {
        d.month = 1;
        ++d.year;
      }
      if (period == 12 && d.month >= 2) {
        d.month = 1;
        ++d.year;
      }
      return text::FormatDate(d);
    }
  }
  const platform::Date today = platform::Today();
  return text::FormatDate(text::CalendarDate{today.year, today.day, today.month});
}

int KindNumber(const platform::WorkList& kinds, std::string_view period, std::string_view value) {
  if (text::ParseLong(period) == 0 || text::ParseDecimal(value) == 0) return kNoCharge;
  const int k = kinds.FindExact(KindKey(period, value));
  return k >= 0 && k <= kLastRecordKind ? k + kFirstKindNumber : 0;
}

// The member record as 4.69 writes it.
enum MemberValue : std::size_t { kGridStart, kPackedMarks, kKind };
constexpr Row kMember469[] = {
    Src(502, 0, 501),
    Value(member469::kGridStart.width, kGridStart),
    Value(member469::kPackedMarks.width, kPackedMarks),
    Blank(61),
    Src(213, 613, 825),
    Value(member469::kKindNumber.width, kKind),
    Blank(15),
    Src(156, 844, 999),
};
static_assert(RecordLength(kMember469) == files::kF10R4.length);

// The code of a record as the grid lines are looked up by.
std::string RecordCode(const LoadedRecord& rec) { return text::Padded(rec.Field(0, kCodeWidth), kCodeWidth); }

// Writes F10R4.DAT anew with the grid and the kind number in every live
// record; the old file becomes F10R4_469.BAK, or is deleted when that name is
// taken. False when the new file could not be written (the old one stays).
// grid(i, record, out) puts into `out` the grid fields (GridFields) of the
// line that live record i takes, if any: a grid line serves the first record
// of its code only.
template <class Grid>
bool RewriteRecords(platform::Ui& dlg, const platform::WorkList& kinds, Grid grid_of) {
  RecordReader in(files::kF10R4);
  if (!in) return false;
  if (store::IsReadOnly(files::kF10R4.name)) store::SetReadOnly(files::kF10R4.name, false);
  RecordWriter out(files::kF10R4.name, RecordWriter::Mode::kCreate);
  if (!out) return false;
  std::string found;
  for (std::int64_t i = 0; in.Load(i); ++i) {
    dlg.SetStatus(text::FormatInteger(static_cast<long>(i)));
    if (in.deleted()) {
      out.Raw(in.bytes()).EndRecord();
      continue;
    }
    const std::string_view period = in.Field(member435::kPeriodCode);
    if (!grid_of(i, in, found)) {
      found = text::Padded(EmptyGridStart(in, text::ParseLong(period)), kDateWidth) + PackMarks("");
    }
    const std::string_view start = std::string_view(found).substr(0, kDateWidth);
    const std::string_view packed = std::string_view(found).substr(kDateWidth);
    // A record cut short is completed with spaces, so that the file keeps
    // its layout.
    const std::string kind = text::FormatInteger(KindNumber(kinds, period, in.Field(member435::kValue)), 3);
    const std::string_view values[] = {start, packed, kind};
    PutRows(out, in, kMember469, values);
  }
  in.Close();
  return out.Close(files::kF10R4Backup.name);
}

// A record's grid fields from its grid line: the start date, then the marks
// packed.
std::string GridFields(const std::string& line) {
  const std::string padded = text::Padded(line, kMarksAt + kMarks);
  return padded.substr(kCodeWidth, kDateWidth) + PackMarks(std::string_view(padded).substr(kMarksAt, kMarks));
}

// Hands each grid line of the list, as grid fields, to the first record of
// its code. Lines are marked as taken rather than deleted: there is one line
// per code, so a later lookup of the code finds the taken line where it would
// find none, and the list is spared a delete per record.
class LineTaker {
 public:
  explicit LineTaker(const platform::WorkList& grids)
      : grids_(grids), taken_(static_cast<std::size_t>(grids.Count())) {}
  bool Take(std::string_view code, std::string& out) {
    const int at = grids_.FindPrefix(code, kCodeWidth);
    if (at < 0 || taken_[static_cast<std::size_t>(at)]) return false;
    taken_[static_cast<std::size_t>(at)] = true;
    out = GridFields(*grids_.Get(at));
    return true;
  }

 private:
  const platform::WorkList& grids_;
  std::vector<bool> taken_;
};

// What became of the grids.
struct GridOutcome {
  bool have_entries = false;  // F22.DAT was read
  bool stored = true;         // the records were written, if they were
};

// The grids and the new records, all in one list B.
GridOutcome GridsInOneList(platform::Ui& dlg, const platform::WorkList& kinds, platform::WorkList& grids) {
  GridOutcome r;
  {
    OpenGrid grid(grids);
    r.have_entries = ForEachOpenEntry(dlg, [&grid](const std::string& code, text::CalendarDate date, std::size_t span) {
      grid.Merge(code, date, span);
    });
    grid.Close();
  }
  if (kinds.Count() > 0 || grids.Count() > 0) {
    // The old file becomes the backup as the new one takes its name.
    LineTaker lines(grids);
    r.stored = RewriteRecords(dlg, kinds, [&lines](std::int64_t, const LoadedRecord& rec, std::string& out) {
      return lines.Take(RecordCode(rec), out);
    });
  } else {
    store::CopyFile(files::kF10R4.name, files::kF10R4Backup.name, /*fail_if_exists=*/true);
  }
  return r;
}

// An open entry's month and span in five bytes: the year (1990 to 9999) in
// two, the month (1 to 12), the day (two digits read as a number, -9 to 99)
// and the span (1 to 12) in one each.
constexpr std::size_t kEntryBytes = 5;
void PutEntry(char (&out)[kEntryBytes], const text::CalendarDate& date, std::size_t span) {
  out[0] = static_cast<char>(date.year & 0xFF);
  out[1] = static_cast<char>(date.year >> 8);
  out[2] = static_cast<char>(date.month);
  out[3] = static_cast<char>(static_cast<signed char>(date.day));
  out[4] = static_cast<char>(span);
}

text::CalendarDate EntryAt(std::string_view bytes, std::size_t& span) {
  const auto byte = [bytes](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  text::CalendarDate date;
  date.year = byte(0) | byte(1) << 8;
  date.month = byte(2);
  date.day = static_cast<signed char>(bytes[3]);
  span = byte(4);
  return date;
}

// The same, part by part (see the top of the file). The live records come
// first, from the walk that collects the kinds.
class GridsInParts {
 public:
  explicit GridsInParts(std::size_t parts)
      : parts_(parts),
        block_(store::BlockFor(parts)),
        work_(2 * parts, block_) {}

  // Part p: open entries (code, date, months) in bucket p, live records
  // (index, code) in bucket parts + p.
  void AddRecord(std::int64_t i, const LoadedRecord& rec) {
    const std::string code = RecordCode(rec);
    work_.Put(parts_ + PartOf(code), i, code);
  }

  GridOutcome Finish(platform::Ui& dlg, const platform::WorkList& kinds, platform::WorkList& grids) {
    GridOutcome r;
    r.have_entries = ForEachOpenEntry(dlg, [&](const std::string& code, text::CalendarDate date, std::size_t span) {
      char entry[kEntryBytes];
      PutEntry(entry, date, span);
      work_.Put(PartOf(code), code, std::string_view(entry, kEntryBytes));
    });

    store::PartResults taken(parts_, block_);
    std::size_t lines = 0;
    std::string_view w;
    std::string line;
    for (std::size_t p = 0; p < parts_; ++p) {
      grids.Reset();
      {
        OpenGrid grid(grids);
        for (auto entries = work_.Read(p); entries.Next(w);) {
          std::size_t span = 0;
          const text::CalendarDate date = EntryAt(w.substr(kCodeWidth), span);
          grid.Merge(w.substr(0, kCodeWidth), date, span);
        }
        grid.Close();
      }
      work_.Drop(p);
      lines += static_cast<std::size_t>(grids.Count());
      LineTaker taker(grids);
      for (auto codes = work_.Read(parts_ + p); codes.Next(w);) {
        if (taker.Take(w.substr(store::kIndexBytes), line)) taken.Put(p, store::IndexAt(w), line);
      }
      work_.Drop(parts_ + p);
    }
    grids.Reset();

    if (kinds.Count() > 0 || lines > 0) {
      r.stored = RewriteRecords(dlg, kinds, [&](std::int64_t i, const LoadedRecord& rec, std::string& out) {
        return taken.Take(PartOf(RecordCode(rec)), i, out);
      });
    } else {
      store::CopyFile(files::kF10R4.name, files::kF10R4Backup.name, /*fail_if_exists=*/true);
    }
    return r;
  }

 private:
  std::size_t PartOf(std::string_view code) const { return store::PartOfKey(code, kCodeWidth, parts_); }

  std::size_t parts_;
  std::size_t block_;
  store::Buckets work_;
};

// Parts enough that the grid lines of one part fit the work budget: at most
// a line for each open entry, a line taking up to about 330 bytes.
std::size_t PartsForGrids() {
  const std::int64_t entries = std::max<std::int64_t>(0, store::FileSize(files::kF22.name)) /
                               static_cast<std::int64_t>(files::kF22.length);
  return store::PartsFor(static_cast<std::uint64_t>(entries) * 330, platform::WorkMemory());
}

bool GuardOpen() {
  if (store::Exists(files::kF31.name)) return false;
  for (const platform::FindEntry& e : store::FindFiles("F14R*.DAT")) {
    if (!(e.attributes & platform::kAttrFolder)) return false;
  }
  return true;
}

}  // namespace

void MigrateTo469(platform::Ui& dlg) {
  platform::WaitCursor wait(dlg);
  dlg.SetStatus("Convertendo 4.69");
  platform::WorkList& kinds = dlg.ListA();
  platform::WorkList& grids = dlg.ListB();
  kinds.Reset();
  grids.Reset();
  if (!GuardOpen()) return;

  const std::size_t parts = PartsForGrids();
  std::optional<GridsInParts> split;
  if (parts > 1) split.emplace(parts);
  if (!CollectKinds(kinds, [&split](std::int64_t i, const LoadedRecord& rec) {
        if (split) split->AddRecord(i, rec);
      })) {
    return;
  }
  if (kinds.Count() > 0) WriteKindTable(kinds);

  const GridOutcome grids_done = split ? split->Finish(dlg, kinds, grids) : GridsInOneList(dlg, kinds, grids);
  const bool have_entries = grids_done.have_entries;
  const bool grids_stored = grids_done.stored;

  // F22.DAT is replaced by the grids. It goes to F22.BAK; when that name is
  // taken it is deleted, but only once the grids are safely in F10R4.DAT.
  if (have_entries && !store::MoveFile(files::kF22.name, files::kF22Backup.name) && grids_stored) {
    store::DeleteFile(files::kF22.name);
  }
}

}  // namespace steps
