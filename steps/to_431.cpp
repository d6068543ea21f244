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

constexpr std::size_t kF18Record = 337;
struct Width {
  std::size_t offset, width;
};
// The nineteen old fields; each is written at its width followed by a space.
// The last one ends with the old flag byte.
constexpr Width kF18Fields[] = {
    {0, 40},    {40, 18},   {58, 30},   {88, 15},   {103, 2},   {105, 18}, {123, 8},
    {131, 2},   {133, 12},  {145, 4},   {149, 40},  {189, 40},  {229, 13}, {242, 2},
    {244, 18},  {262, 40},  {302, 15},  {317, 2},   {319, 18},
};
constexpr std::size_t kF18NumberGap = 14;  // spaces between the sequence number and field 1
constexpr std::size_t kF18Tail = 199;      // spaces before the new flag byte

void ConvertF18() {
  // F18.DAT, when present, is the newer copy of the list. Conf11.dat is
  // renamed before it is read: one that holds no data (a pipe, a folder)
  // keeps its own name, and the warning names it so.
  const bool conf11_holds_data = !store::Exists("Conf11.dat") || static_cast<bool>(store::OpenExisting("Conf11.dat"));
  if (conf11_holds_data && !store::MoveFile("Conf11.dat", "F18.DAT") && store::Exists("F18.DAT")) {
    store::DeleteFile("Conf11.dat");
  }
  RecordReader in("F18.DAT", kF18Record);
  if (!in) return;
  RecordWriter out("F18R0.DAT", RecordWriter::Mode::kCreate);
  if (!out) return;
  for (std::int64_t i = 0; in.Load(i); ++i) {
    out.Put(text::FormatInteger(static_cast<long long>(i + 1), 5), 5).Spaces(kF18NumberGap);
    for (const Width& f : kF18Fields) out.Put(in.Field(f.offset, f.width), f.width).Spaces(1);
    out.Spaces(kF18Tail).Put(in.flag(), 1);
    out.EndRecord();
  }
  in.Close();  // an open file cannot be deleted on Windows
  if (out.Close()) store::DeleteFile("F18.DAT");
}

// ---- Config22.dat (46) -> F19.DAT (300) ----

constexpr std::size_t kConfig22Record = 46;
constexpr Width kFieldA = {0, 30};
constexpr Width kFieldB = {30, 1};
constexpr Width kFieldC = {31, 15};
constexpr int kLastCB = 32;  // positions 0..32 "CB", 33 "LT", from 34 on "KG"
constexpr int kLT = 33;

void ConvertF19() {
  RecordReader in("Config22.dat", kConfig22Record);
  if (!in) return;
  RecordWriter out("F19.DAT", RecordWriter::Mode::kCreate);
  if (!out) return;
  // Every old entry counts for the position, also one left out.
  for (int pos = 0; in.Load(pos); ++pos) {
    std::string_view a = in.Field(kFieldA.offset, kFieldA.width);
    if (a.substr(0, 3) == "   ") continue;  // an entry without a name is left out
    const char* code = pos <= kLastCB ? "CB" : pos == kLT ? "LT" : "KG";
    const char* klass = pos <= kLT ? "1" : "2";
    // "%02d%-17s%-41s%-20s%-6s%-2s%-10s%-202s"
    out.Put(text::FormatInteger(pos, 2), 2).Spaces(17).Put(a, 41).Put(in.Field(kFieldC.offset, kFieldC.width), 20);
    out.Put(code, 6).Put(in.Field(kFieldB.offset, kFieldB.width), 2).Put(klass, 10).Spaces(202);
    out.EndRecord();
  }
  in.Close();
  if (out.Close()) store::DeleteFile("Config22.dat");
}

}  // namespace

void MigrateTo431(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.31");
  ConvertF18();
  ConvertF19();
}

}  // namespace steps
