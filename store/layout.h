// New record layouts as data: a table of fields in record order, each a width
// and where its text comes from (source bytes a-b, a constant, or a value the
// step computes), run by PutRows. A table reads like the layout it implements,
// and RecordLength lets a static_assert check it against the record length.
// One table may serve several old layouts of a file: a row marked Only(...)
// is taken from the source for those layouts and is spaces for the others.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "store/record_io.h"

namespace store {

struct Row {
  enum Kind { kSource, kText, kValue };
  Kind kind;
  std::size_t width;
  std::size_t first = 0;  // kSource: source bytes first..last
  std::size_t last = 0;
  std::string_view text = {};  // kText
  std::size_t slot = 0;        // kValue: index into the computed values
  unsigned layouts = ~0u;      // the source layouts the row applies to
};

// The source record's bytes first..last (inclusive), left-justified in width.
constexpr Row Src(std::size_t width, std::size_t first, std::size_t last) {
  return {Row::kSource, width, first, last};
}
constexpr Row Text(std::size_t width, std::string_view text) { return {Row::kText, width, 0, 0, text}; }
constexpr Row Blank(std::size_t width) { return Text(width, ""); }
// values[slot], computed by the step for each record.
constexpr Row Value(std::size_t width, std::size_t slot) { return {Row::kValue, width, 0, 0, {}, slot}; }

// The row for the source layouts given (a set of bits), spaces for the others.
constexpr Row Only(unsigned layouts, Row row) {
  row.layouts = layouts;
  return row;
}

constexpr std::size_t RecordLength(std::span<const Row> rows) {
  std::size_t n = 0;
  for (const Row& r : rows) n += r.width;
  return n;
}

// Writes one record of the table from the loaded source record, of the
// source layout `layout` (one bit).
void PutRows(RecordWriter& out, const LoadedRecord& in, std::span<const Row> rows,
             std::span<const std::string> values = {}, unsigned layout = ~0u);
void PutRows(RecordWriter& out, const LoadedRecord& in, std::span<const Row> rows,
             std::span<const std::string_view> values, unsigned layout = ~0u);
// Writes one record of a table made of values and constants only.
void PutValues(RecordWriter& out, std::span<const Row> rows, std::span<const std::string_view> values);

}  // namespace store
