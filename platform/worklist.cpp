#include "platform/worklist.h"

#include <algorithm>
#include <climits>

#include "platform/fold.h"

namespace platform {
namespace {

// Chunks split above this size; small neighbours merge again after deletes.
constexpr std::size_t kMaxChunk = 128;
constexpr std::size_t kMergeBelow = 16;

}  // namespace

int WorkList::Compare(std::string_view a, std::string_view b) { return detail::CompareFolded(a, b); }

int WorkList::CompareN(std::string_view a, std::string_view b, std::size_t n) {
  return detail::CompareFolded(a.substr(0, std::min(n, a.size())), b.substr(0, std::min(n, b.size())));
}

void WorkList::Reset() {
  chunks_.clear();
  tree_.clear();
  count_ = 0;
}

void WorkList::RebuildCounts() {
  const std::size_t c = chunks_.size();
  tree_.assign(c + 1, 0);
  for (std::size_t i = 1; i <= c; ++i) {
    tree_[i] += chunks_[i - 1].size();
    std::size_t parent = i + (i & (~i + 1));
    if (parent <= c) tree_[parent] += tree_[i];
  }
}

void WorkList::AddToCount(std::size_t chunk, std::ptrdiff_t delta) {
  for (std::size_t i = chunk + 1; i < tree_.size(); i += i & (~i + 1))
    tree_[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(tree_[i]) + delta);
}

std::size_t WorkList::IndexOf(std::size_t chunk, std::size_t at) const {
  std::size_t sum = at;
  for (std::size_t i = chunk; i > 0; i -= i & (~i + 1)) sum += tree_[i];
  return sum;
}

WorkList::Pos WorkList::Locate(std::size_t index) const {
  const std::size_t c = chunks_.size();
  std::size_t step = 1;
  while (step * 2 <= c) step *= 2;
  std::size_t pos = 0;
  for (; step > 0; step /= 2) {
    if (pos + step <= c && tree_[pos + step] <= index) {
      pos += step;
      index -= tree_[pos];
    }
  }
  return Pos{pos, index};
}

std::size_t WorkList::ChunkFor(std::string_view text, bool after_equal) const {
  // The first chunk whose last entry sorts after the text (or not before it).
  auto it = std::partition_point(chunks_.begin(), chunks_.end(), [&](const std::vector<std::string>& v) {
    int c = Compare(v.back(), text);
    return after_equal ? c <= 0 : c < 0;
  });
  return static_cast<std::size_t>(it - chunks_.begin());
}

template <class Less>
WorkList::Pos WorkList::LowerBound(Less less) const {
  // The first chunk whose last entry is not less than the key. Lookups tend
  // to come in key order (sorted files): the chunk of the last lookup, or the
  // one after it, is tried before a bisection of all chunks.
  const std::size_t n = chunks_.size();
  auto holds = [&](std::size_t c) { return !less(chunks_[c].back()) && (c == 0 || less(chunks_[c - 1].back())); };
  std::size_t c;
  if (hint_ < n && holds(hint_)) {
    c = hint_;
  } else if (hint_ + 1 < n && holds(hint_ + 1)) {
    c = hint_ + 1;
  } else {
    c = static_cast<std::size_t>(
        std::partition_point(chunks_.begin(), chunks_.end(),
                             [&](const std::vector<std::string>& v) { return less(v.back()); }) -
        chunks_.begin());
    if (c == n) return Pos{n, 0};
  }
  hint_ = c;
  const std::vector<std::string>& v = chunks_[c];
  return Pos{c, static_cast<std::size_t>(std::partition_point(v.begin(), v.end(), less) - v.begin())};
}

int WorkList::Add(std::string_view text) {
  if (count_ >= static_cast<std::size_t>(INT_MAX)) return kError;
  if (chunks_.empty()) {
    chunks_.emplace_back().emplace_back(text);
    RebuildCounts();
    count_ = 1;
    return 0;
  }
  // Entries that come in order (most files are sorted) go to the end at once.
  if (Compare(chunks_.back().back(), text) <= 0 && chunks_.back().size() < kMaxChunk) {
    chunks_.back().emplace_back(text);
    AddToCount(chunks_.size() - 1, 1);
    return static_cast<int>(count_++);
  }
  std::size_t c = std::min(ChunkFor(text, true), chunks_.size() - 1);
  std::vector<std::string>& v = chunks_[c];
  auto it = std::upper_bound(v.begin(), v.end(), text,
                             [](std::string_view t, const std::string& e) { return Compare(t, e) < 0; });
  const std::size_t at = static_cast<std::size_t>(it - v.begin());
  v.emplace(it, text);
  ++count_;
  const std::size_t index = IndexOf(c, at);
  if (v.size() > kMaxChunk) {
    std::vector<std::string> tail(std::make_move_iterator(v.begin() + kMaxChunk / 2),
                                  std::make_move_iterator(v.end()));
    v.resize(kMaxChunk / 2);
    chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c) + 1, std::move(tail));
    RebuildCounts();
  } else {
    AddToCount(c, 1);
  }
  return static_cast<int>(index);
}

int WorkList::FindExact(std::string_view text) const {
  Pos p = LowerBound([&](const std::string& e) { return Compare(e, text) < 0; });
  if (p.chunk == chunks_.size() || Compare(chunks_[p.chunk][p.at], text) != 0) return -1;
  return static_cast<int>(IndexOf(p.chunk, p.at));
}

int WorkList::FindPrefix(std::string_view key, std::size_t n) const {
  Pos p = LowerBound([&](const std::string& e) { return CompareN(e, key, n) < 0; });
  if (p.chunk == chunks_.size() || CompareN(chunks_[p.chunk][p.at], key, n) != 0) return -1;
  return static_cast<int>(IndexOf(p.chunk, p.at));
}

const std::string* WorkList::Get(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) return nullptr;
  Pos p = Locate(static_cast<std::size_t>(index));
  return &chunks_[p.chunk][p.at];
}

int WorkList::GetText(int index, std::string& out) const {
  const std::string* s = Get(index);
  if (!s) return -1;
  out = *s;
  return static_cast<int>(s->size());
}

bool WorkList::Delete(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) return false;
  Pos p = Locate(static_cast<std::size_t>(index));
  std::vector<std::string>& v = chunks_[p.chunk];
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(p.at));
  --count_;
  const auto here = chunks_.begin() + static_cast<std::ptrdiff_t>(p.chunk);
  if (v.empty()) {
    chunks_.erase(here);
    RebuildCounts();
  } else if (v.size() < kMergeBelow && p.chunk + 1 < chunks_.size() &&
             v.size() + chunks_[p.chunk + 1].size() <= kMaxChunk / 2) {
    std::vector<std::string>& next = chunks_[p.chunk + 1];
    v.insert(v.end(), std::make_move_iterator(next.begin()), std::make_move_iterator(next.end()));
    chunks_.erase(here + 1);
    RebuildCounts();
  } else {
    AddToCount(p.chunk, -1);
  }
  return true;
}

int WorkList::Replace(int index, std::string_view text) {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) return kError;
  // Add puts the text after the entries equal to it: the place stays when the
  // entry before is not greater and the entry after is greater.
  const Pos p = Locate(static_cast<std::size_t>(index));
  const std::vector<std::string>& v = chunks_[p.chunk];
  const std::string* before = p.at > 0 ? &v[p.at - 1] : p.chunk > 0 ? &chunks_[p.chunk - 1].back() : nullptr;
  const std::string* after = p.at + 1 < v.size()             ? &v[p.at + 1]
                             : p.chunk + 1 < chunks_.size() ? &chunks_[p.chunk + 1].front()
                                                            : nullptr;
  if ((!before || Compare(*before, text) <= 0) && (!after || Compare(text, *after) < 0)) {
    chunks_[p.chunk][p.at].assign(text);
    return index;
  }
  Delete(index);
  return Add(text);
}

}  // namespace platform
