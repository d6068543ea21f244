// Release 4.31 turned two configuration lists into data files: Conf11.dat
// became F18.DAT and is rewritten as F18R0.DAT (a sequence number in front, a
// space after every field, a wider tail), and Config22.dat is rewritten as
// F19.DAT with a position, a code and a class for every entry.
#include <string>

#include "platform/files.h"
#include "steps/plumbing.h"
#include "store/changes.h"
#include "steps/steps.h"
#include "text/numbers.h"

namespace steps {

namespace {

// ---- F18.DAT (337) -> F18R0.DAT (575) ----

namespace files = store::files;

// A sequence number, then the nineteen old fields, each at its width and
// followed by a space (the last one ends with the old flag byte), then a
// wider tail.
enum F18Value : std::size_t { kSequence, kFlag };
constexpr Row kF18R0Layout[] = {
    Value(5, kSequence), Blank(14),
    Src(41, 0, 39),      Src(19, 40, 57),    Src(31, 58, 87),    Src(16, 88, 102),   Src(3, 103, 104),
    Src(19, 105, 122),   Src(9, 123, 130),   Src(3, 131, 132),   Src(13, 133, 144),  Src(5, 145, 148),
    Src(41, 149, 188),   Src(41, 189, 228),  Src(14, 229, 241),  Src(3, 242, 243),   Src(19, 244, 261),
    Src(41, 262, 301),   Src(16, 302, 316),  Src(3, 317, 318),   Src(19, 319, 336),
    Blank(199),          Value(1, kFlag),
};
static_assert(RecordLength(kF18R0Layout) == files::kF18R0.length);

void ConvertF18() {
  // F18.DAT, when present, is the newer copy of the list. Conf11.dat is
  // renamed before it is read: one that holds no data (a pipe, a folder)
  // keeps its own name, and the warning names it so.
  constexpr std::string_view kConf11 = files::kConf11.name;
  const bool conf11_holds_data = !store::Exists(kConf11) || static_cast<bool>(store::OpenExisting(kConf11));
  if (conf11_holds_data && !store::MoveFile(kConf11, files::kF18.name) && store::Exists(files::kF18.name)) {
    store::DeleteFile(kConf11);
  }
  RecordReader in(files::kF18);
  if (!in) return;
  RecordWriter out(files::kF18R0.name, RecordWriter::Mode::kCreate);
  if (!out) return;
  for (std::int64_t i = 0; in.Load(i); ++i) {
    const std::string sequence = text::FormatInteger(static_cast<long long>(i + 1), 5);
    const std::string_view values[] = {sequence, in.flag()};
    PutRows(out, in, kF18R0Layout, values);
  }
  in.Close();  // an open file cannot be deleted on Windows
  if (out.Close()) store::DeleteFile(files::kF18.name);
}

// ---- Config22.dat (46) -> F19.DAT (300) ----

// "%02d%-17s%-41s%-20s%-6s%-2s%-10s%-202s"
enum F19Value : std::size_t { kPosition, kCode, kClass };
constexpr Row kF19Layout[] = {
    Value(2, kPosition), Blank(17),       Src(41, 0, 29),    Src(20, 31, 45),
    Value(6, kCode),     Src(2, 30, 30),  Value(10, kClass), Blank(202),
};
static_assert(RecordLength(kF19Layout) == files::kF19.length);
constexpr int kLastCB = 32;  // positions 0..32 "CB", 33 "LT", from 34 on "KG"
constexpr int kLT = 33;

void ConvertF19() {
  RecordReader in(files::kConfig22);
  if (!in) return;
  RecordWriter out(files::kF19.name, RecordWriter::Mode::kCreate);
  if (!out) return;
  // Every old entry counts for the position, also one left out.
  for (int pos = 0; in.Load(pos); ++pos) {
    if (in.Field(0, 3) == "   ") continue;  // an entry without a name is left out
    const std::string position = text::FormatInteger(pos, 2);
    const std::string_view values[] = {position, pos <= kLastCB ? "CB" : pos == kLT ? "LT" : "KG", pos <= kLT ? "1" : "2"};
    PutRows(out, in, kF19Layout, values);
  }
  in.Close();
  if (out.Close()) store::DeleteFile(files::kConfig22.name);
}

}  // namespace

void MigrateTo431(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.31");
  ConvertF18();
  ConvertF19();
}

}  // namespace steps
