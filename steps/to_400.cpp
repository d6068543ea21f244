// Release 4.00 keeps the three tables f13.dat, f14.dat and f15.dat in one file,
// F13R0.DAT, where a type letter tells each record's origin.
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "steps/plumbing.h"
#include "steps/steps.h"

namespace steps {

namespace {

namespace files = store::files;

struct OldFile {
  store::RecordFile file;
  char type;  // 0: from the first letter of field 2
};
// In this order, which is the order of the records in the new file.
const OldFile kOldFiles[] = {
    {files::kF13, 'E'},
    {files::kF14, 0},
    {files::kF15, 'D'},
};

constexpr std::size_t kField2 = 60;  // only its first character: the type of an f14.dat record

// The old fields are the same in all three files.
enum NewValue : std::size_t { kType, kFlag };
constexpr Row kF13R0Layout[] = {
    Src(217, 0, 59),     // field 1
    Src(151, 112, 129),  // field 4
    Src(400, 101, 111),  // field 3
    Value(128, kType),   // the type letter, then spaces up to the flag byte
    Value(1, kFlag),     // a record deleted in the old table stays deleted
};
static_assert(RecordLength(kF13R0Layout) == files::kF13R0.length);

char TypeOf(const OldFile& file, const RecordReader& in) {
  if (file.type) return file.type;
  char c = in.At(kField2);
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return (c == 'C' || c == 'P' || c == 'M' || c == 'F') ? c : 'O';
}

}  // namespace

void MigrateTo400(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.00");
  if (store::Exists(files::kF13R0.name)) return;

  // One new file for all three tables: it gets its name only when all of it
  // was written, so an interrupted run leaves the old files to convert again.
  std::optional<RecordWriter> out;
  std::vector<std::string_view> converted;
  for (const OldFile& file : kOldFiles) {
    RecordReader in(file.file);
    if (!in) continue;
    if (!out) out.emplace(files::kF13R0.name, RecordWriter::Mode::kCreate);
    if (!*out) return;
    for (std::int64_t i = 0; in.Load(i); ++i) {
      const char type = TypeOf(file, in);
      const std::string_view values[] = {std::string_view(&type, 1), in.flag()};
      PutRows(*out, in, kF13R0Layout, values);
    }
    converted.push_back(file.file.name);
  }
  if (!out || !out->Close()) return;
  for (std::string_view name : converted) store::DeleteFile(name);
}

}  // namespace steps
