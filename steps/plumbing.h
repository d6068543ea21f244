// The plumbing that every conversion step shares: the store's record layer
// under its short names, the one way a step makes a new file from an old one,
// and the one way it patches a file in place.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/format.h"
#include "store/layout.h"
#include "store/files.h"
#include "store/record_io.h"

namespace steps {

using platform::Format;
using store::Blank;
using store::LoadedRecord;
using store::Only;
using store::PutRows;
using store::PutValues;
using store::RecordLength;
using store::RecordPatcher;
using store::RecordReader;
using store::RecordWriter;
using store::Row;
using store::Src;
using store::Text;
using store::Value;

// What WriteNewFile did.
enum class NewFile {
  kExists,    // the target was there already: nothing done
  kNoSource,  // there is no source: no target made
  kWritten,
};

// Which source records a new file is made from.
enum class Carry {
  kLive,  // deleted records are left out
  kAll,   // deleted records are carried too, with their flag byte
};

// Writes a new file from the records of a source, only while the target is
// missing; `convert(in, out)` puts the new record (or records) of each source
// record. The source is closed when this returns.
template <typename Convert>
NewFile WriteNewFile(std::string_view source, std::size_t source_length, std::string_view target, Convert convert,
                     Carry carry = Carry::kLive) {
  if (store::Exists(target)) return NewFile::kExists;
  RecordReader in(source, source_length);
  if (!in) return NewFile::kNoSource;
  RecordWriter out(target, RecordWriter::Mode::kCreate);
  for (std::int64_t i = 0; in.Load(i); ++i) {
    if (carry == Carry::kAll || !in.deleted()) convert(in, out);
  }
  in.Close();
  out.Close();
  return NewFile::kWritten;
}

// Walks every record of an existing file, deleted ones included, and lets
// `patch(record)` change it in place. A missing file is passed over.
template <typename Patch>
void PatchEach(const store::RecordFile& file, Patch patch) {
  RecordPatcher records(file);
  if (!records) return;
  for (std::int64_t i = 0; records.Load(i); ++i) patch(records);
  records.Close();
}

}  // namespace steps
