// Deterministic randomness: the same seed always gives the same installation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

inline std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Every table draws from its own stream and every record from its own seed in
// it, so that a record never depends on how much was drawn before it: the
// member table, the yearly files and the photo table agree without keeping the
// members in memory.
enum RngStream : std::uint64_t {
  kMember = 1,
  kHistory,
  kMarks,
  kStale,
  kYearFile,
  kOrder,
  kRelative,
  kConfig,
  kReceipt,
  kBatch,
  kPartner,
  kOtherPerson,
  kSmallTable,
  kNote,
  kPhoto,
  kAgenda,
  kLegacy,
  kDense,
};

class Rng {
 public:
  Rng(std::uint64_t seed, std::uint64_t stream, std::uint64_t index) {
    std::uint64_t s = seed;
    s = SplitMix(s) ^ (stream * 0xD1B54A32D192ED03ULL);
    s = SplitMix(s) ^ index;
    state_ = s;
  }
  std::uint64_t Next() { return SplitMix(state_); }
  // 0 .. n-1
  std::int64_t Below(std::int64_t n) {
    return n <= 1 ? 0 : static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(n));
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Below(hi - lo + 1)); }
  bool PerMille(int p) { return Below(1000) < p; }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  const std::string& Pick(const std::vector<std::string>& v) {
    return v[static_cast<std::size_t>(Below(static_cast<std::int64_t>(v.size())))];
  }
  std::string Digits(int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += static_cast<char>('0' + Below(10));
    return s;
  }
  // The record flag byte: now and then a record is deleted ("+").
  const char* Flag() { return PerMille(20) ? "+" : " "; }

 private:
  std::uint64_t state_;
};

}  // namespace sample
