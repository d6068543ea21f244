// A sorted string list with the results of a sorted list box: ascending order
// without regard to letter case (code page 1252 letters fold too), entries
// that compare equal keep the order in which they were added. Every operation
// is logarithmic in the number of entries (apart from the chunk-local moves of
// an insert or a delete), so that a step that looks up every record stays
// fast on folders with millions of entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class WorkList {
 public:
  static constexpr int kError = -2;  // the list cannot store the entry

  void Reset();
  // Inserts the text at its sorted place (after equal entries); its index.
  int Add(std::string_view text);
  // Index of the first entry equal to the text without regard to case, or -1.
  int FindExact(std::string_view text) const;
  // Index of the first entry whose first n characters equal the first n of the
  // key without regard to case (a shorter entry must then equal the key), or
  // -1. This is the list walk "compare the first n characters" done by bisection.
  int FindPrefix(std::string_view key, std::size_t n) const;
  int Count() const { return static_cast<int>(count_); }
  // The entry at the index, or nullptr when the index is not below the count.
  const std::string* Get(int index) const;
  // Length of the entry copied into out, or -1 when the index is out of range.
  int GetText(int index, std::string& out) const;
  // Removes the entry; the entries behind it move up by one. False when the
  // index is out of range.
  bool Delete(int index);
  // Delete(index) followed by Add(text), with the same result; done in place
  // when the text keeps the entry's place, which is the common case of a
  // lookup that extends the entry it found.
  int Replace(int index, std::string_view text);

  // Case-folded byte order used for sorting and comparing.
  static int Compare(std::string_view a, std::string_view b);
  static int CompareN(std::string_view a, std::string_view b, std::size_t n);

 private:
  struct Pos {
    std::size_t chunk;
    std::size_t at;
  };
  // The folded first sixteen bytes of a text as two numbers, the first byte
  // the most significant, zeros behind a shorter text. Where the heads of two
  // texts differ they order the texts; where they agree the texts decide.
  struct Head {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    auto operator<=>(const Head&) const = default;
  };
  static Head HeadOf(std::string_view text);
  // A text sought in the list: compared over its first n characters (all of
  // them for npos), by the heads of the entries first as far as n reaches.
  struct Probe {
    Probe(std::string_view text, std::size_t n);
    std::string_view text;
    std::size_t n;
    Head head;
    int head_words;  // 0, 1 (n from 8) or 2 (n from 16)
  };
  int CompareEntry(std::size_t chunk, std::size_t at, const Probe& p) const;
  Pos Locate(std::size_t index) const;
  std::size_t IndexOf(std::size_t chunk, std::size_t at) const;
  void RebuildCounts();
  // A chunk added at the end, holding this many entries.
  void AppendCount(std::size_t items);
  void AddToCount(std::size_t chunk, std::ptrdiff_t delta);
  // The first entry not below the probe.
  Pos LowerBound(const Probe& p) const;
  void InsertChunk(std::size_t at, std::vector<std::string> items);

  // Entries in order, a few hundred to a chunk; a new chunk in the middle
  // moves only the pointers behind it.
  struct Chunk {
    std::vector<std::string> items;
    std::vector<Head> heads;  // HeadOf() every item
  };
  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::vector<std::size_t> tree_;  // Fenwick tree over chunk sizes
  std::size_t count_ = 0;
  mutable std::size_t hint_ = 0;  // chunk of the last lookup
};

}  // namespace platform
