// Release 3.70 appends to every record of F10r2.dat a history field collected
// from the yearly files REG\RM<year>.DAT, giving F10r3.dat. The yearly files
// are first cleaned of repeated keys.
//
// For the collection and the merge, work list A serves as a sorted,
// case-insensitive map from key to text: the lookup "first entry whose first
// 18 characters equal the key" is FindPrefix, so every unit and every record
// costs a logarithmic search.
//
// Memory stays within the work budget however large the folder:
// - a yearly file too large to sort in memory is sorted in runs that go to
//   the disk and are merged;
// - when the yearly files could give a list beyond the budget, the keys are
//   split into parts by a hash of their first 17 characters (folded). A unit
//   or a record only ever meets entries whose first 17 characters equal its
//   own, so each part is collected and looked up on its own list, in the
//   order of the files, with the same result as one list for all; the
//   histories found go to the disk and are merged back in record order.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/scratch.h"
#include "platform/stream.h"
#include "steps/plumbing.h"
#include "store/spill.h"
#include "steps/steps.h"
#include "text/cp1252.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {

namespace {

constexpr std::size_t kUnit = 30;      // a yearly file is read in units of at most 30 characters
constexpr std::size_t kKey = 18;       // keys compare over 18 characters
constexpr std::size_t kEntryKey = 17;  // of which 17 go into a collected entry
constexpr std::size_t kOldRecord = store::files::kF10R2.length;
constexpr std::size_t kHistory = 604;  // history field; holds the entry from offset 18, cut at 604
constexpr int kFirstYear = 1960;
constexpr int kLastYear = 2010;

// A yearly file whose reading broke off cannot be cleaned or collected.
void FailOnReadError(const platform::Stream& in, const std::string& path) {
  if (in.error().kind != platform::ErrorKind::kNone) store::Fail(store::FileError::Action::kRead, path, in.error());
}

std::string_view Tail(std::string_view unit) { return unit.size() > kKey ? unit.substr(kKey) : std::string_view(); }

// A unit's key for sorting: its first 18 characters folded, packed into
// integers so that a comparison is three integer comparisons. Bytes past a
// short key count as zero and the length decides last, which is the order of
// the work list (folded bytes, a shorter key first).
struct SortKey {
  std::uint64_t high = 0;    // folded bytes 0-7, the first the most significant
  std::uint64_t middle = 0;  // bytes 8-15
  std::uint64_t low = 0;     // bytes 16 and 17, then the length
  std::uint64_t unit = 0;    // where the unit starts in its buffer, then its length

  bool SameKey(const SortKey& o) const { return high == o.high && middle == o.middle && low == o.low; }
  // Units of one key stay in file order, as in a stable sort.
  bool operator<(const SortKey& o) const {
    if (high != o.high) return high < o.high;
    if (middle != o.middle) return middle < o.middle;
    if (low != o.low) return low < o.low;
    return unit < o.unit;
  }
};

// Eight bytes, the first the most significant, each folded.
std::uint64_t FoldedWord(const unsigned char* p) {
  std::uint64_t w = text::FoldCase8(p);
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
  return w;
}

SortKey MakeSortKey(std::string_view unit, std::size_t begin) {
  const std::size_t length = std::min(unit.size(), kKey);
  // Bytes past a short key are zero, which folds to zero.
  unsigned char b[24] = {};
  std::memcpy(b, unit.data(), length);
  SortKey k;
  k.high = FoldedWord(b);
  k.middle = FoldedWord(b + 8);
  k.low = (FoldedWord(b + 16) >> 40 & ~std::uint64_t{0xFF}) | length;
  // Units lie in the buffer in file order: the start orders them as read.
  k.unit = static_cast<std::uint64_t>(begin) << 8 | unit.size();
  return k;
}

// The units of a yearly file all have one shape: 30 characters without a line
// end (a file of fixed units), or a line ended by a line feed; a shorter unit
// only at the end of the file. A unit of another shape marks where a stray
// line end shifted the units behind it.
struct UnitShapes {
  enum Shape { kUnknown, kFixed, kLine };
  Shape shape = kUnknown;
  std::int64_t short_at = -1;      // a short unit, right only as the last one
  std::int64_t misaligned_at = -1;  // the first unit out of shape

  void Add(std::string_view unit, std::int64_t at) {
    if (misaligned_at >= 0) return;
    if (short_at >= 0) {
      misaligned_at = short_at;
      return;
    }
    const Shape s = unit.back() == '\n' ? kLine : unit.size() == kUnit ? kFixed : kUnknown;
    if (s == kUnknown) {
      short_at = at;
    } else if (shape == kUnknown) {
      shape = s;
    } else if (s != shape) {
      misaligned_at = at;
    }
  }
};

// The units of a yearly file in key order, the last unit of each key only.
// Units are sorted in memory up to the work budget; a file beyond it is
// sorted in runs that go to the disk, merged at the end. The memory and the
// scratch file are reused from one file to the next.
class KeyOrder {
 public:
  KeyOrder() : budget_(platform::WorkMemory()) {}

  // A unit read, in file order, with its key (made with MakeSortKey(unit, 0)).
  void Add(std::string_view unit, SortKey key) {
    if (keys_.capacity() == 0) {
      // Room for the budget at once: pages are taken only as they are
      // filled, and the buffers never move to grow.
      units_.reserve(budget_);
      keys_.reserve(budget_ / sizeof(SortKey) + 1);
    }
    if (!keys_.empty() && units_.size() + (keys_.size() + 1) * sizeof(SortKey) > budget_) SpillRun();
    key.unit = static_cast<std::uint64_t>(units_.size()) << 8 | unit.size();
    keys_.push_back(key);
    units_ += unit;
  }
  // The kept units to `take`, in key order.
  template <class Take>
  void Emit(Take take) {
    KeepLastOfEachKey();
    if (runs_ && runs_->count() > 0) {
      Merge(take);
    } else {
      for (std::size_t k = 0; k < keys_.size(); ++k) {
        // The units are taken in key order, all over the buffer: ask for the
        // memory of one a few places ahead while this one is written.
        if (k + 8 < keys_.size()) __builtin_prefetch(UnitText(keys_[k + 8]).data());
        take(UnitText(keys_[k]));
      }
    }
    Reset();
  }
  void Reset() {
    units_.clear();
    keys_.clear();
    // The scratch file is kept: the next file's runs go over these.
    if (runs_ && !runs_->Clear()) runs_.reset();
  }

 private:
  std::string_view UnitText(const SortKey& k) const {
    return std::string_view(units_).substr(static_cast<std::size_t>(k.unit >> 8), k.unit & 0xFF);
  }

  // The units in hand sorted, the last of each key only.
  void KeepLastOfEachKey() {
    std::sort(keys_.begin(), keys_.end());
    std::size_t kept = 0;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
      if (k + 1 == keys_.size() || !keys_[k].SameKey(keys_[k + 1])) keys_[kept++] = keys_[k];
    }
    keys_.resize(kept);
  }

  // The units in hand become a sorted run on the disk. Within a run the last
  // unit of a key is all that can count.
  void SpillRun() {
    if (!runs_) runs_.emplace(0, std::clamp<std::size_t>(budget_ / 8, 256, kRunBlock));
    const std::size_t run = runs_->Add();
    KeepLastOfEachKey();
    for (std::size_t k = 0; k < keys_.size(); ++k) {
      if (k + 8 < keys_.size()) __builtin_prefetch(UnitText(keys_[k + 8]).data());
      runs_->PutPadded(run, {}, UnitText(keys_[k]), kKey);
    }
    units_.clear();
    keys_.clear();
  }

  // The runs and the units in hand (the latest run) merged: of one key, the
  // unit of the latest run is the last.
  template <class Take>
  void Merge(Take take) {
    struct Head {
      SortKey key;  // .unit: the run, so that equal keys come in run order
      std::string_view unit;
    };
    const std::size_t in_hand = runs_->count();
    std::size_t next_in_hand = 0;
    std::vector<store::Buckets::Reader> readers;
    std::vector<std::string> read(in_hand);  // each run's head unit
    std::vector<Head> heads;
    auto later = [](const Head& a, const Head& b) { return b.key < a.key; };
    auto advance = [&](std::size_t run) {
      std::string_view unit;
      SortKey key;
      if (run == in_hand) {
        if (next_in_hand == keys_.size()) return;
        key = keys_[next_in_hand++];
        unit = UnitText(key);
      } else {
        std::string_view none;
        if (!readers[run].NextPadded(0, kKey, none, read[run])) return;
        unit = read[run];
        key = MakeSortKey(unit, 0);
      }
      key.unit = run;
      heads.push_back(Head{key, unit});
      std::push_heap(heads.begin(), heads.end(), later);
    };
    for (std::size_t run = 0; run < in_hand; ++run) readers.push_back(runs_->Read(run));
    for (std::size_t run = 0; run <= in_hand; ++run) advance(run);
    while (!heads.empty()) {
      std::pop_heap(heads.begin(), heads.end(), later);
      const Head h = heads.back();
      heads.pop_back();
      // A run holds a key once, so the next unit of h's run has a larger
      // key: h is the last of its key unless another run's head has it. Its
      // text stays valid until its run moves on.
      if (heads.empty() || !heads.front().key.SameKey(h.key)) take(h.unit);
      advance(static_cast<std::size_t>(h.key.unit));
    }
  }

  static constexpr std::size_t kRunBlock = std::size_t{64} << 10;
  std::string units_;  // the units in hand, one after another
  std::vector<SortKey> keys_;
  std::optional<store::Buckets> runs_;
  std::size_t budget_;
};

// Rewrites one yearly file sorted by key, keeping for each key the unit that
// came last. Returns false when a unit could not be kept.
//
// The list walk this stands for (find the entry of the unit's key, delete it,
// add the unit) never holds two entries of one key, and entries of different
// keys sort as their keys do; so the file comes out as its units sorted by key,
// the last unit of each key kept. One sort does that without an insert into a
// sorted list per unit.
bool CleanYearlyFile(const std::string& path, KeyOrder& order) {
  platform::Stream in = store::OpenExisting(path, "rt");
  if (!in) return true;
  order.Reset();
  std::string unit;
  UnitShapes shapes;
  std::size_t units = 0;
  // The largest key of the units before the last one, which must not sort
  // after a short last unit.
  SortKey largest;
  SortKey last;
  for (std::int64_t at = in.Tell(); in.ReadText(unit, kUnit); at = in.Tell()) {
    shapes.Add(unit, at);
    // A misaligned file stays as it is: the rest of it need not be held.
    if (shapes.misaligned_at >= 0) break;
    if (units > 0 && largest < last) largest = last;
    last = MakeSortKey(unit, 0);
    ++units;
    order.Add(unit, last);
  }
  FailOnReadError(in, path);
  // Units that do not all have one shape were shifted by a stray line end:
  // the cleaning would keep one unit per shifted key and drop the rest.
  if (shapes.misaligned_at >= 0) {
    order.Reset();
    store::Warn(path + CP1252(": as unidades estão desalinhadas a partir da posição ").str() +
                text::FormatInteger(shapes.misaligned_at) +
                CP1252(" (um fim de linha solto no meio); o arquivo ficou como estava, sem limpeza.").str());
    return true;
  }
  // A Ctrl-Z ends a text file; one with more behind it would lose that rest
  // when rewritten: keep such a file.
  const std::int64_t end = in.Tell();
  const bool cut_short = end + 1 < in.Size();
  static_cast<void>(in.Close());
  // A work list holds at most this many entries; a unit beyond would be lost.
  if (units > static_cast<std::size_t>(std::numeric_limits<int>::max() - 1)) {
    order.Reset();
    return false;
  }
  if (cut_short) {
    order.Reset();
    store::Warn(path + CP1252(": um Ctrl-Z na posição ").str() + text::FormatInteger(end) +
                CP1252(" encerra o texto antes do fim do arquivo; o arquivo ficou como estava, sem limpeza.").str());
    return true;
  }
  // A short last unit has no line end behind it: written anywhere but last,
  // the unit after it would be glued to it and every later one shifted. Being
  // read last, it sorts last unless an earlier unit has a larger key.
  if (shapes.short_at >= 0 && units > 1 && !last.SameKey(largest) && last < largest) {
    order.Reset();
    store::Warn(path + CP1252(": a última unidade, na posição ").str() + text::FormatInteger(shapes.short_at) +
                CP1252(", está incompleta e não fica no fim em ordem de chave; o arquivo ficou como estava, sem limpeza.").str());
    return true;
  }

  // Text mode both ways, so that line ends come back as they were read.
  RecordWriter out(path, RecordWriter::Mode::kCreate, /*text_mode=*/true);
  order.Emit([&out](std::string_view kept) { out.Raw(kept).EndRecord(); });
  out.Close();
  return true;
}

void ShowNumber(platform::Ui& dlg, long long n) {
  char text[24];
  auto end = std::to_chars(text, text + sizeof text, n).ptr;
  dlg.SetStatus(std::string_view(text, static_cast<std::size_t>(end - text)));
}

// Adds one unit of a year's file to the list: its tail goes into the entry
// of its key. False when the list could not take it.
bool CollectUnit(platform::WorkList& list, std::string_view unit, std::string_view year_text, std::string& entry) {
  int found = list.FindPrefix(unit, kKey);
  if (found >= 0) {
    // The merge takes an entry's first 604 characters only: one that has
    // them stays as it is (units of one key over and over, as in a damaged
    // file, would otherwise copy an ever longer entry for each of them).
    if (list.Get(found)->size() >= kHistory) return true;
    // The entry of the key grows by the unit's tail (delete and add again).
    entry = *list.Get(found);
    entry += Tail(unit);
    return list.Replace(found, entry) >= 0;
  }
  // "%-18s%4d%s": 17 characters of the key, so offset 17 is always a space.
  entry.assign(unit.substr(0, kEntryKey));
  entry.resize(kKey, ' ');
  entry += year_text;
  entry += Tail(unit);
  return list.Add(entry) >= 0;
}

// The history of a record: its key's entry from offset 18, at most 586
// characters; empty when the key has none.
std::string_view HistoryOf(const platform::WorkList& list, std::string_view record) {
  const int found = list.FindPrefix(record, kKey);
  if (found < 0) return {};
  const std::string& entry = *list.Get(found);
  return entry.size() > kKey ? std::string_view(entry).substr(kKey, kHistory - kKey) : std::string_view();
}

// The year as an entry begins with it: "%4d".
std::string_view YearText(int year) {
  static const std::array<std::string, kLastYear - kFirstYear + 1> texts = [] {
    std::array<std::string, kLastYear - kFirstYear + 1> t;
    for (int y = kFirstYear; y <= kLastYear; ++y) t[static_cast<std::size_t>(y - kFirstYear)] = Format("%4d", y);
    return t;
  }();
  return texts[static_cast<std::size_t>(year - kFirstYear)];
}

// Every unit of the yearly files, year by year, to take(unit, year).
template <class Take>
void ForEachUnit(platform::Ui& dlg, Take take) {
  std::string unit;
  for (int year = kFirstYear; year <= kLastYear; ++year) {
    const std::string path = Format("Reg\\rm%d.dat", year);
    platform::Stream in = store::OpenExisting(path, "rt");
    if (in) {
      while (in.ReadText(unit, kUnit)) take(std::string_view(unit), year);
      FailOnReadError(in, path);
    }
    ShowNumber(dlg, year);
  }
}

// The old record, then the history, which never reaches the last byte: that
// is the new record's flag, and a record deleted in F10r2.dat stays deleted.
enum MemberValue : std::size_t { kHistoryText, kFlag };
constexpr Row kF10R3Layout[] = {
    Src(kOldRecord, 0, kOldRecord - 1),
    Value(kHistory - 1, kHistoryText),
    Value(1, kFlag),
};
static_assert(RecordLength(kF10R3Layout) == store::files::kF10R3.length);

// F10r2.dat + history -> F10r3.dat (appended); history(i, record) gives the
// history of record i.
template <class History>
void MergeHistory(platform::Ui& dlg, History history) {
  RecordReader in(store::files::kF10R2);
  if (!in) return;
  RecordWriter out(store::files::kF10R3.name, RecordWriter::Mode::kAppend);
  for (std::int64_t i = 0; in.Load(i); ++i) {
    const std::string_view values[] = {history(i, in.bytes()), in.flag()};
    PutRows(out, in, kF10R3Layout, values);
    ShowNumber(dlg, i + 1);
  }
  out.Close();
}

// All in one list: for yearly files whose list fits the work budget.
bool CollectAndMerge(platform::Ui& dlg, platform::WorkList& list) {
  bool ok = true;
  std::string entry;
  list.Reset();
  ForEachUnit(dlg, [&](std::string_view unit, int year) {
    if (!CollectUnit(list, unit, YearText(year), entry)) ok = false;
  });
  dlg.SetStatus("Convertendo 3.70");
  MergeHistory(dlg, [&list](std::int64_t, std::string_view record) { return HistoryOf(list, record); });
  return ok;
}

std::size_t PartOf(std::string_view key, std::size_t parts) { return store::PartOfKey(key, kEntryKey, parts); }

// Part by part: the units and the record keys of each part go to the disk,
// then each part is collected on its own list and its histories found; the
// histories, in record order within each part, are merged into F10r3.dat.
bool CollectAndMergeInParts(platform::Ui& dlg, platform::WorkList& list, std::size_t parts) {
  const std::size_t block = store::BlockFor(parts);
  // Part p: units (year less 1960 in a byte, unit without its padding) in bucket p, keys (index, first 18
  // characters) of the records in bucket parts + p.
  store::Buckets work(2 * parts, block);
  ForEachUnit(dlg, [&](std::string_view unit, int year) {
    const char year_byte = static_cast<char>(year - kFirstYear);
    work.PutPadded(PartOf(unit, parts), std::string_view(&year_byte, 1), unit, kKey);
  });
  {
    RecordReader in(store::files::kF10R2);
    for (std::int64_t i = 0; in && in.Load(i); ++i) {
      const std::string_view key = in.bytes().substr(0, kKey);
      work.Put(parts + PartOf(key, parts), i, key);
    }
  }

  bool ok = true;
  store::PartResults histories(parts, block);
  std::string entry;
  std::string unit;
  std::string_view r;
  for (std::size_t p = 0; p < parts; ++p) {
    list.Reset();
    for (auto units = work.Read(p); units.NextPadded(1, kKey, r, unit);) {
      if (!CollectUnit(list, unit, YearText(kFirstYear + static_cast<unsigned char>(r[0])), entry)) ok = false;
    }
    work.Drop(p);
    for (auto keys = work.Read(parts + p); keys.Next(r);) {
      const std::string_view history = HistoryOf(list, r.substr(store::kIndexBytes));
      if (!history.empty()) histories.Put(p, store::IndexAt(r), history);
    }
    work.Drop(parts + p);
  }
  list.Reset();

  std::string history;
  dlg.SetStatus("Convertendo 3.70");
  MergeHistory(dlg, [&](std::int64_t i, std::string_view rec) -> std::string_view {
    if (!histories.Take(PartOf(rec, parts), i, history)) return std::string_view();
    return std::string_view(history);
  });
  return ok;
}

// Parts enough that the list of one part stays within the work budget. An
// entry takes at most about three times the bytes of the unit that made it.
std::size_t PartsForYearlyFiles() {
  std::int64_t bytes = 0;
  for (int year = kFirstYear; year <= kLastYear; ++year) {
    bytes += std::max<std::int64_t>(0, store::FileSize(Format("Reg\\rm%d.dat", year)));
  }
  return store::PartsFor(static_cast<std::uint64_t>(bytes) * 3, platform::WorkMemory());
}

}  // namespace

void MigrateTo370(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 3.70");
  platform::WorkList& list = dlg.ListA();
  bool ok = true;

  {
    KeyOrder order;  // given back before the collection fills the list
    for (const platform::FindEntry& file : store::FindDataFiles("REG\\RM*.DAT")) {
      if (!CleanYearlyFile("REG\\" + file.name, order)) ok = false;
      dlg.SetStatus(file.name);
    }
  }

  const std::size_t parts = PartsForYearlyFiles();
  if (!(parts > 1 ? CollectAndMergeInParts(dlg, list, parts) : CollectAndMerge(dlg, list))) ok = false;

  if (!ok) {
    dlg.MessageBox(CP1252("Houve um erro no conversão da versão 3.70."), "Vek", platform::Icon::kWarning);
  }
}

}  // namespace steps
