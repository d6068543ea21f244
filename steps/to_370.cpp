// Release 3.70 appends to every record of F10r2.dat a history field collected
// from the yearly files REG\RM<year>.DAT, giving F10r3.dat. The yearly files
// are first cleaned of repeated keys.
//
// For the collection and the merge, work list A serves as a sorted,
// case-insensitive map from key to text: the lookup "first entry whose first
// 18 characters equal the key" is FindPrefix, so every unit and every record
// costs a logarithmic search.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/stream.h"
#include "steps/plumbing.h"
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

SortKey MakeSortKey(std::string_view unit, std::size_t begin) {
  static const std::array<unsigned char, 256> fold = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = text::FoldCase(static_cast<unsigned char>(c));
    return t;
  }();
  const std::size_t length = std::min(unit.size(), kKey);
  unsigned char b[kKey] = {};
  for (std::size_t j = 0; j < length; ++j) b[j] = fold[static_cast<unsigned char>(unit[j])];
  SortKey k;
  for (std::size_t j = 0; j < 8; ++j) k.high = k.high << 8 | b[j];
  for (std::size_t j = 8; j < 16; ++j) k.middle = k.middle << 8 | b[j];
  k.low = std::uint64_t{b[16]} << 16 | std::uint64_t{b[17]} << 8 | length;
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

// Memory that the cleaning of one yearly file after another reuses.
struct CleanBuffers {
  std::string units;  // the units of a file, one after another
  std::vector<SortKey> keys;
};

// Rewrites one yearly file sorted by key, keeping for each key the unit that
// came last. Returns false when a unit could not be kept.
//
// The list walk this stands for (find the entry of the unit's key, delete it,
// add the unit) never holds two entries of one key, and entries of different
// keys sort as their keys do; so the file comes out as its units sorted by key,
// the last unit of each key kept. One sort does that without an insert into a
// sorted list per unit.
bool CleanYearlyFile(const std::string& path, CleanBuffers& b) {
  platform::Stream in = store::OpenExisting(path, "rt");
  if (!in) return true;
  b.units.clear();
  b.keys.clear();
  std::string unit;
  UnitShapes shapes;
  for (std::int64_t at = in.Tell(); in.ReadText(unit, kUnit); at = in.Tell()) {
    shapes.Add(unit, at);
    // A misaligned file stays as it is: the rest of it need not be held.
    if (shapes.misaligned_at >= 0) break;
    b.keys.push_back(MakeSortKey(unit, b.units.size()));
    b.units += unit;
  }
  FailOnReadError(in, path);
  // Units that do not all have one shape were shifted by a stray line end:
  // the cleaning would keep one unit per shifted key and drop the rest.
  if (shapes.misaligned_at >= 0) {
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
  if (b.keys.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() - 1)) return false;
  if (cut_short) {
    store::Warn(path + CP1252(": um Ctrl-Z na posição ").str() + text::FormatInteger(end) +
                CP1252(" encerra o texto antes do fim do arquivo; o arquivo ficou como estava, sem limpeza.").str());
    return true;
  }
  // A short last unit has no line end behind it: written anywhere but last,
  // the unit after it would be glued to it and every later one shifted.
  const std::uint64_t short_unit = shapes.short_at >= 0 ? b.keys.back().unit : 0;
  std::sort(b.keys.begin(), b.keys.end());
  if (shapes.short_at >= 0 && b.keys.back().unit != short_unit) {
    store::Warn(path + CP1252(": a última unidade, na posição ").str() + text::FormatInteger(shapes.short_at) +
                CP1252(", está incompleta e não fica no fim em ordem de chave; o arquivo ficou como estava, sem limpeza.").str());
    return true;
  }
  auto unit_text = [&b](const SortKey& k) {
    return std::string_view(b.units).substr(static_cast<std::size_t>(k.unit >> 8), k.unit & 0xFF);
  };

  // Text mode both ways, so that line ends come back as they were read.
  RecordWriter out(path, RecordWriter::Mode::kCreate, /*text_mode=*/true);
  for (std::size_t k = 0; k < b.keys.size(); ++k) {
    // The units are taken in key order, all over the buffer: ask for the
    // memory of one a few places ahead while this one is written.
    if (k + 8 < b.keys.size()) __builtin_prefetch(unit_text(b.keys[k + 8]).data());
    const bool last_of_key = k + 1 == b.keys.size() || !b.keys[k].SameKey(b.keys[k + 1]);
    if (last_of_key) out.Raw(unit_text(b.keys[k])).EndRecord();
  }
  out.Close();
  return true;
}

// Collects, for one year's file, each unit's tail into the entry of its key.
bool CollectYear(platform::WorkList& list, int year) {
  const std::string path = Format("Reg\\rm%d.dat", year);
  platform::Stream in = store::OpenExisting(path, "rt");
  if (!in) return true;
  bool ok = true;
  const std::string year_text = Format("%4d", year);
  std::string unit;
  std::string entry;
  while (in.ReadText(unit, kUnit)) {
    int found = list.FindPrefix(unit, kKey);
    if (found >= 0) {
      // The merge takes an entry's first 604 characters only: one that has
      // them stays as it is (units of one key over and over, as in a damaged
      // file, would otherwise copy an ever longer entry for each of them).
      if (list.Get(found)->size() >= kHistory) continue;
      // The entry of the key grows by the unit's tail (delete and add again).
      entry = *list.Get(found);
      entry += Tail(unit);
      if (list.Replace(found, entry) < 0) ok = false;
    } else {
      // "%-18s%4d%s": 17 characters of the key, so offset 17 is always a space.
      entry.assign(unit, 0, kEntryKey);
      entry.resize(kKey, ' ');
      entry += year_text;
      entry += Tail(unit);
      if (list.Add(entry) < 0) ok = false;
    }
  }
  FailOnReadError(in, path);
  return ok;
}

void ShowNumber(platform::Ui& dlg, long long n) {
  char text[24];
  auto end = std::to_chars(text, text + sizeof text, n).ptr;
  dlg.SetStatus(std::string_view(text, static_cast<std::size_t>(end - text)));
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

// F10r2.dat + history -> F10r3.dat (appended).
void MergeHistory(platform::Ui& dlg, const platform::WorkList& list) {
  RecordReader in(store::files::kF10R2);
  if (!in) return;
  RecordWriter out(store::files::kF10R3.name, RecordWriter::Mode::kAppend);
  for (std::int64_t i = 0; in.Load(i); ++i) {
    std::string_view history;
    int found = list.FindPrefix(in.bytes(), kKey);
    if (found >= 0) {
      const std::string& entry = *list.Get(found);
      if (entry.size() > kKey) history = std::string_view(entry).substr(kKey, kHistory - kKey);
    }
    const std::string_view values[] = {history, in.flag()};
    PutRows(out, in, kF10R3Layout, values);
    ShowNumber(dlg, i + 1);
  }
  out.Close();
}

}  // namespace

void MigrateTo370(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 3.70");
  platform::WorkList& list = dlg.ListA();
  bool ok = true;

  {
    CleanBuffers buffers;  // given back before the collection fills the list
    for (const platform::FindEntry& file : store::FindDataFiles("REG\\RM*.DAT")) {
      if (!CleanYearlyFile("REG\\" + file.name, buffers)) ok = false;
      dlg.SetStatus(file.name);
    }
  }

  list.Reset();
  for (int year = kFirstYear; year <= kLastYear; ++year) {
    if (!CollectYear(list, year)) ok = false;
    ShowNumber(dlg, year);
  }

  dlg.SetStatus("Convertendo 3.70");
  MergeHistory(dlg, list);

  if (!ok) {
    dlg.MessageBox(CP1252("Houve um erro no conversão da versão 3.70."), "Vek", platform::Icon::kWarning);
  }
}

}  // namespace steps
