// What the table writers share: the options, the member codes and histories,
// and the writing of files under the installation's root.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/format.h"
#include "sample/install.h"
#include "sample/random.h"
#include "store/record_io.h"

namespace sample {

constexpr int kFirstHistoryYear = 1961;  // 1960 exists only in the legacy folder
constexpr int kLastHistoryYear = 2010;   // the yearly files end there

struct History {
  std::int16_t join_year = 0;
  std::int8_t join_month = 0;
  std::int8_t join_day = 0;
  std::int16_t first_year = 0;  // first year with a unit in the yearly files
  std::int8_t years = 0;        // consecutive years with units
  bool monthly = true;
  bool left = false;            // no longer a member: excluded from billing
};

struct Gen {
  SampleOptions opt;
  std::string root;
  std::string error;
  std::vector<SampleFile> files;
  int code_width = 5;
  std::int64_t orphans = 0;  // former members found only in the yearly files
  int history_end = kLastHistoryYear;

  std::string Host(const std::string& rel) const { return root + "/" + rel; }
  std::string Code(std::int64_t i) const {
    return platform::Format("%0*lld", code_width, static_cast<long long>(i + 1));
  }
  // Member i's history, the same wherever it is asked for.
  History MakeHistory(std::int64_t i) const;
};

// Creates the file rel, lets body write its records and lists it in g.files;
// false (with g.error) when anything fails, or failed before.
template <class Body>
bool Emit(Gen& g, const std::string& rel, Body&& body) {
  if (!g.error.empty()) return false;
  std::string host = g.Host(rel);
  store::RecordWriter w(host, store::RecordWriter::Mode::kCreate);
  if (!w) {
    g.error = "cannot create " + host;
    return false;
  }
  bool ok = body(w);
  if (!w.Close() || !ok) {
    g.error = "cannot write " + host;
    return false;
  }
  g.files.push_back({rel, platform::FileSize(host)});
  return true;
}

// The file rel of `count` records; record(w, k, r) writes record k, drawing
// from its own seed, number first + k of the stream, and returns
// w.EndRecord(). Tables split over several files continue the numbers.
template <class WriteRecord>
bool EmitRecords(Gen& g, const std::string& rel, std::int64_t count, RngStream stream, std::uint64_t first,
                 WriteRecord&& record) {
  return Emit(g, rel, [&](store::RecordWriter& w) {
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, stream, first + static_cast<std::uint64_t>(k));
      if (!record(w, k, r)) return false;
    }
    return true;
  });
}

bool EmitBytes(Gen& g, const std::string& rel, std::string_view bytes);
// The folder rel ("" for the root itself).
bool Folder(Gen& g, const std::string& rel);

inline std::int64_t AtLeast(std::int64_t n, std::int64_t min) { return n < min ? min : n; }

// Splits `total` records over `parts` files with some jitter, every file at least one.
std::vector<std::int64_t> Split(Rng& r, std::int64_t total, int parts);

}  // namespace sample
