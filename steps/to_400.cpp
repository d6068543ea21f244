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

constexpr char kNewFile[] = "F13R0.DAT";
constexpr std::size_t kNewRecord = 897;

struct OldFile {
  const char* name;
  std::size_t record_length;
  char type;  // 0: from the first letter of field 2
};
// In this order, which is the order of the records in the new file.
constexpr OldFile kOldFiles[] = {
    {"f13.dat", 478, 'E'},
    {"f14.dat", 479, 0},
    {"f15.dat", 538, 'D'},
};

// Old fields (the same in all three files) and where they go.
struct Field {
  std::size_t old_offset, old_width, new_width;
};
constexpr Field kField1 = {0, 60, 217};
constexpr std::size_t kField2 = 60;  // only its first character: the type of an f14.dat record
constexpr Field kField4 = {112, 18, 151};
constexpr Field kField3 = {101, 11, 400};
constexpr std::size_t kTypeWidth = 129;  // the type letter, then spaces up to the flag byte

char TypeOf(const OldFile& file, const RecordReader& in) {
  if (file.type) return file.type;
  char c = in.At(kField2);
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return (c == 'C' || c == 'P' || c == 'M' || c == 'F') ? c : 'O';
}

}  // namespace

void MigrateTo400(platform::Ui& dlg) {
  dlg.SetStatus("Convertendo 4.00");
  if (store::Exists(kNewFile)) return;

  // One new file for all three tables: it gets its name only when all of it
  // was written, so an interrupted run leaves the old files to convert again.
  std::optional<RecordWriter> out;
  std::vector<const char*> converted;
  for (const OldFile& file : kOldFiles) {
    RecordReader in(file.name, file.record_length);
    if (!in) continue;
    if (!out) out.emplace(kNewFile, RecordWriter::Mode::kCreate);
    if (!*out) return;
    for (std::int64_t i = 0; in.Load(i); ++i) {
      for (const Field& f : {kField1, kField4, kField3}) out->Put(in.Field(f.old_offset, f.old_width), f.new_width);
      out->Put(std::string(1, TypeOf(file, in)), kTypeWidth - 1);
      // A record deleted in the old table stays deleted.
      out->Put(in.flag(), 1);
      out->EndRecord();
    }
    converted.push_back(file.name);
  }
  if (!out || !out->Close()) return;
  for (const char* name : converted) store::DeleteFile(name);
}

}  // namespace steps
