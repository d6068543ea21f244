// Release 3.70 appends to every record of F10r2.dat a history field collected
// from the yearly files REG\RM<year>.DAT, giving F10r3.dat. The yearly files
// are first cleaned of repeated keys.
//
// Work list A serves as a sorted, case-insensitive map from key to text: the
// lookup "first entry whose first 18 characters equal the key" is FindPrefix,
// so every unit and every record costs a logarithmic search.
#include <charconv>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/stream.h"
#include "steps/record_io.h"
#include "steps/steps.h"
#include "text/cp1252.h"

namespace steps {

namespace {

constexpr std::size_t kUnit = 30;      // a yearly file is read in units of at most 30 characters
constexpr std::size_t kKey = 18;       // keys compare over 18 characters
constexpr std::size_t kEntryKey = 17;  // of which 17 go into a collected entry
constexpr std::size_t kOldRecord = 897;
constexpr std::size_t kHistory = 604;  // history field; holds the entry from offset 18, cut at 604
constexpr int kFirstYear = 1960;
constexpr int kLastYear = 2010;

std::string_view Tail(std::string_view unit) { return unit.size() > kKey ? unit.substr(kKey) : std::string_view(); }

// Rewrites one yearly file sorted by key, keeping for each key the unit that
// came last. Returns false when the work list refused a unit.
bool CleanYearlyFile(platform::WorkList& list, const std::string& path) {
  platform::Stream in = platform::Stream::Open(path, "rt");
  if (!in) return true;
  list.Reset();
  bool refused = false;
  // While the units come in strictly ascending key order (a file cleaned
  // before is), no unit replaces another and the list would give them back
  // as they came: they are only collected, and the list is filled only for a
  // file out of order.
  std::vector<std::string> in_order;
  bool ordered = true;
  std::string unit;
  while (in.ReadText(unit, kUnit)) {
    if (ordered) {
      if (in_order.empty() || platform::WorkList::CompareN(in_order.back(), unit, kKey) < 0) {
        in_order.push_back(unit);
        continue;
      }
      ordered = false;
      for (const std::string& u : in_order) list.Add(u);
      in_order.clear();
    }
    // The unit takes the place of the first entry of its key.
    int found = list.FindPrefix(unit, kKey);
    if ((found >= 0 ? list.Replace(found, unit) : list.Add(unit)) < 0) refused = true;
  }
  // A Ctrl-Z ends a text file; one with more behind it would lose that rest
  // when rewritten, and so would a unit the list refused: keep such a file.
  bool cut_short = in.Tell() + 1 < in.Size();
  in.Close();
  if (refused) return false;
  if (cut_short) return true;

  // Text mode both ways, so that line ends come back as they were read.
  RecordWriter out(path, RecordWriter::Mode::kCreate, /*text_mode=*/true);
  if (!out) return true;
  if (ordered) {
    for (const std::string& u : in_order) out.Raw(u).EndRecord();
  } else {
    for (int i = 0, n = list.Count(); i < n; ++i) out.Raw(*list.Get(i)).EndRecord();
  }
  out.Close();
  return true;
}

// Collects, for one year's file, each unit's tail into the entry of its key.
bool CollectYear(platform::WorkList& list, int year) {
  platform::Stream in = platform::Stream::Open(Fmt("Reg\\rm%d.dat", year), "rt");
  if (!in) return true;
  bool ok = true;
  const std::string year_text = Fmt("%4d", year);
  std::string unit;
  std::string entry;
  while (in.ReadText(unit, kUnit)) {
    int found = list.FindPrefix(unit, kKey);
    if (found >= 0) {
      entry = *list.Get(found);
      entry += Tail(unit);
      if (list.Replace(found, entry) < 0) ok = false;
      continue;
    } else {
      // "%-18s%4d%s": 17 characters of the key, so offset 17 is always a space.
      entry.assign(unit, 0, kEntryKey);
      entry.resize(kKey, ' ');
      entry += year_text;
      entry += Tail(unit);
    }
    if (list.Add(entry) < 0) ok = false;
  }
  return ok;
}

void ShowNumber(platform::Ui& dlg, long long n) {
  char text[24];
  auto end = std::to_chars(text, text + sizeof text, n).ptr;
  dlg.SetStatus(std::string_view(text, static_cast<std::size_t>(end - text)));
}

// F10r2.dat + history -> F10r3.dat (appended).
void MergeHistory(platform::Ui& dlg, const platform::WorkList& list) {
  RecordReader in("F10r2.dat", kOldRecord);
  if (!in) return;
  RecordWriter out("F10r3.dat", RecordWriter::Mode::kAppend);
  if (!out) return;
  for (std::int64_t i = 0; in.Load(i); ++i) {
    std::string_view history;
    int found = list.FindPrefix(in.bytes(), kKey);
    if (found >= 0) {
      const std::string& entry = *list.Get(found);
      if (entry.size() > kKey) history = std::string_view(entry).substr(kKey, kHistory - kKey);
    }
    // The history never reaches the last byte, which is the new record's flag:
    // a record deleted in F10r2.dat stays deleted.
    out.Put(in.bytes(), kOldRecord).Put(history, kHistory - 1).Put(in.deleted() ? "+" : " ", 1);
    out.EndRecord();
    ShowNumber(dlg, i + 1);
  }
  out.Close();
}

}  // namespace

void MigrateTo370(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 3.70");
  platform::WorkList& list = dlg.ListA();
  bool ok = true;

  for (const platform::FindEntry& file : platform::FindFiles("REG\\RM*.DAT")) {
    if (!CleanYearlyFile(list, "REG\\" + file.name)) ok = false;
    dlg.SetStatus(file.name);
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
