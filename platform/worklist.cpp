#include "platform/worklist.h"

#include <algorithm>
#include <cassert>
#include <climits>

#include "platform/fold.h"

namespace platform {
namespace {

// Chunks split above this size; small neighbours merge again after deletes.
constexpr std::size_t kMaxChunk = 256;
constexpr std::size_t kMergeBelow = 16;

}  // namespace

int WorkList::Compare(std::string_view a, std::string_view b) { return detail::CompareFolded(a, b); }

int WorkList::CompareN(std::string_view a, std::string_view b, std::size_t n) {
  return detail::CompareFolded(a.substr(0, std::min(n, a.size())), b.substr(0, std::min(n, b.size())));
}

WorkList::Probe::Probe(std::string_view t, std::size_t count)
    : text(t),
      n(count),
      head(HeadOf(count < t.size() ? t.substr(0, count) : t)),
      head_words(count >= 16 ? 2 : count >= 8 ? 1 : 0) {}

WorkList::Head WorkList::HeadOf(std::string_view text) {
  auto word = [text](std::size_t from) {
    std::uint64_t w = 0;
    for (std::size_t i = from; i < from + 8; ++i) w = w << 8 | (i < text.size() ? detail::Fold(text[i]) : 0u);
    return w;
  };
  return Head{word(0), word(8)};
}

int WorkList::CompareEntry(std::size_t chunk, std::size_t at, const Probe& p) const {
  if (p.head_words > 0) {
    const Head& h = chunks_[chunk]->heads[at];
    if (h.high != p.head.high) return h.high < p.head.high ? -1 : 1;
    if (p.head_words > 1 && h.low != p.head.low) return h.low < p.head.low ? -1 : 1;
  }
  const std::string& e = chunks_[chunk]->items[at];
  return p.n == std::string_view::npos ? Compare(e, p.text) : CompareN(e, p.text, p.n);
}

void WorkList::Reset() {
  chunks_.clear();
  tree_.clear();
  count_ = 0;
  hint_ = 0;
}

void WorkList::RebuildCounts() {
  const std::size_t c = chunks_.size();
  tree_.assign(c + 1, 0);
  for (std::size_t i = 1; i <= c; ++i) {
    tree_[i] += chunks_[i - 1]->items.size();
    std::size_t parent = i + (i & (~i + 1));
    if (parent <= c) tree_[parent] += tree_[i];
  }
}

void WorkList::AppendCount(std::size_t items) {
  // The node of chunk i (counted from 1) covers the chunks after
  // i - lowbit(i) up to i itself.
  const std::size_t i = tree_.size();
  const std::size_t from = i - (i & (~i + 1));
  tree_.push_back(items + IndexOf(i - 1, 0) - IndexOf(from, 0));
  assert(tree_.size() == chunks_.size() + 1);
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
  assert(pos < c && index < chunks_[pos]->items.size());
  return Pos{pos, index};
}

WorkList::Pos WorkList::LowerBound(const Probe& p) const {
  // The first chunk whose last entry is not below the probe. Lookups tend to
  // come in key order (sorted files): the chunk of the last lookup, or the
  // one after it, is tried before a bisection of all chunks.
  const std::size_t n = chunks_.size();
  auto last_below = [&](std::size_t c) { return CompareEntry(c, chunks_[c]->items.size() - 1, p) < 0; };
  auto holds = [&](std::size_t c) { return !last_below(c) && (c == 0 || last_below(c - 1)); };
  std::size_t c;
  if (hint_ < n && holds(hint_)) {
    c = hint_;
  } else if (hint_ + 1 < n && holds(hint_ + 1)) {
    c = hint_ + 1;
  } else {
    std::size_t lo = 0;
    std::size_t hi = n;
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (last_below(mid)) lo = mid + 1;
      else hi = mid;
    }
    if (lo == n) return Pos{n, 0};
    c = lo;
  }
  hint_ = c;
  std::size_t lo = 0;
  std::size_t hi = chunks_[c]->items.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (CompareEntry(c, mid, p) < 0) lo = mid + 1;
    else hi = mid;
  }
  return Pos{c, lo};
}

void WorkList::InsertChunk(std::size_t at, std::vector<std::string> items) {
  auto chunk = std::make_unique<Chunk>();
  chunk->heads.reserve(items.size());
  for (const std::string& e : items) chunk->heads.push_back(HeadOf(e));
  chunk->items = std::move(items);
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(at), std::move(chunk));
}

int WorkList::Add(std::string_view text) {
  if (count_ >= static_cast<std::size_t>(INT_MAX)) return kError;
  if (chunks_.empty()) {
    InsertChunk(0, {std::string(text)});
    RebuildCounts();
    count_ = 1;
    return 0;
  }
  const Probe p(text, std::string_view::npos);
  // Entries that come in order (most files are sorted) go to the end at once.
  const std::size_t last = chunks_.size() - 1;
  if (CompareEntry(last, chunks_[last]->items.size() - 1, p) <= 0 && chunks_[last]->items.size() < kMaxChunk) {
    chunks_[last]->items.emplace_back(text);
    chunks_[last]->heads.push_back(p.head);
    AddToCount(last, 1);
    return static_cast<int>(count_++);
  }
  // The first chunk whose last entry sorts after the text (equal entries
  // stay in front of it), or the last chunk.
  std::size_t lo = 0;
  std::size_t hi = chunks_.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (CompareEntry(mid, chunks_[mid]->items.size() - 1, p) <= 0) lo = mid + 1;
    else hi = mid;
  }
  const std::size_t c = std::min(lo, last);
  std::vector<std::string>& v = chunks_[c]->items;
  std::size_t at_lo = 0;
  std::size_t at_hi = v.size();
  while (at_lo < at_hi) {
    const std::size_t mid = at_lo + (at_hi - at_lo) / 2;
    if (CompareEntry(c, mid, p) <= 0) at_lo = mid + 1;
    else at_hi = mid;
  }
  const std::size_t at = at_lo;
  v.emplace(v.begin() + static_cast<std::ptrdiff_t>(at), text);
  chunks_[c]->heads.insert(chunks_[c]->heads.begin() + static_cast<std::ptrdiff_t>(at), p.head);
  // Sorted, with the new entry after those equal to it.
  assert(at == 0 || CompareEntry(c, at - 1, p) <= 0);
  assert(at + 1 == v.size() || CompareEntry(c, at + 1, p) > 0);
  ++count_;
  const std::size_t index = IndexOf(c, at);
  if (v.size() > kMaxChunk) {
    std::vector<std::string> tail(std::make_move_iterator(v.begin() + kMaxChunk / 2),
                                  std::make_move_iterator(v.end()));
    const std::size_t moved = tail.size();
    v.resize(kMaxChunk / 2);
    chunks_[c]->heads.resize(kMaxChunk / 2);
    InsertChunk(c + 1, std::move(tail));
    assert(chunks_[c + 1]->items.size() <= kMaxChunk);
    if (c + 2 == chunks_.size()) {
      // Split at the end, as a list that grows in order does: the counts
      // grow by one node instead of being built anew for every chunk.
      AddToCount(c, 1 - static_cast<std::ptrdiff_t>(moved));
      AppendCount(moved);
    } else {
      RebuildCounts();
    }
  } else {
    AddToCount(c, 1);
  }
  return static_cast<int>(index);
}

int WorkList::FindExact(std::string_view text) const {
  if (chunks_.empty()) return -1;
  const Probe p(text, std::string_view::npos);
  Pos at = LowerBound(p);
  if (at.chunk == chunks_.size() || CompareEntry(at.chunk, at.at, p) != 0) return -1;
  return static_cast<int>(IndexOf(at.chunk, at.at));
}

int WorkList::FindPrefix(std::string_view key, std::size_t n) const {
  if (chunks_.empty()) return -1;
  const Probe p(key, n);
  Pos at = LowerBound(p);
  if (at.chunk == chunks_.size() || CompareEntry(at.chunk, at.at, p) != 0) return -1;
  return static_cast<int>(IndexOf(at.chunk, at.at));
}

const std::string* WorkList::Get(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) return nullptr;
  Pos p = Locate(static_cast<std::size_t>(index));
  return &chunks_[p.chunk]->items[p.at];
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
  std::vector<std::string>& v = chunks_[p.chunk]->items;
  std::vector<Head>& h = chunks_[p.chunk]->heads;
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(p.at));
  h.erase(h.begin() + static_cast<std::ptrdiff_t>(p.at));
  --count_;
  const auto here = static_cast<std::ptrdiff_t>(p.chunk);
  if (v.empty()) {
    chunks_.erase(chunks_.begin() + here);
    RebuildCounts();
  } else if (v.size() < kMergeBelow && p.chunk + 1 < chunks_.size() &&
             v.size() + chunks_[p.chunk + 1]->items.size() <= kMaxChunk / 2) {
    std::vector<std::string>& next = chunks_[p.chunk + 1]->items;
    v.insert(v.end(), std::make_move_iterator(next.begin()), std::make_move_iterator(next.end()));
    h.insert(h.end(), chunks_[p.chunk + 1]->heads.begin(), chunks_[p.chunk + 1]->heads.end());
    chunks_.erase(chunks_.begin() + here + 1);
    assert(v.size() <= kMaxChunk && h.size() == v.size());
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
  const Probe probe(text, std::string_view::npos);
  const std::size_t c = p.chunk;
  bool before_ok = true;
  if (p.at > 0) {
    before_ok = CompareEntry(c, p.at - 1, probe) <= 0;
  } else if (c > 0) {
    before_ok = CompareEntry(c - 1, chunks_[c - 1]->items.size() - 1, probe) <= 0;
  }
  bool after_ok = true;
  if (p.at + 1 < chunks_[c]->items.size()) {
    after_ok = CompareEntry(c, p.at + 1, probe) > 0;
  } else if (c + 1 < chunks_.size()) {
    after_ok = CompareEntry(c + 1, 0, probe) > 0;
  }
  if (before_ok && after_ok) {
    std::string& item = chunks_[p.chunk]->items[p.at];
    std::string old;  // (the text may lie in the entry itself)
    if (item.capacity() < text.size()) {
      // Entries grow a little at a time (a history gains a year): room for
      // an eighth more, not the double a string would take.
      old.reserve(text.size() + text.size() / 8);
      item.swap(old);
    }
    item.assign(text);
    chunks_[p.chunk]->heads[p.at] = probe.head;
    return index;
  }
  Delete(index);
  return Add(text);
}

}  // namespace platform
