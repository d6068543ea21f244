#include "store/spill.h"

#include <algorithm>
#include <cstring>

#include "store/changes.h"
#include "text/cp1252.h"
#include "text/fields.h"

namespace store {

namespace {

// A record's length before it: one byte below 255, else 255 and four bytes.
constexpr unsigned char kLongRecord = 255;

void PutLength(std::string& out, std::size_t n) {
  if (n < kLongRecord) {
    out += static_cast<char>(n);
    return;
  }
  out += static_cast<char>(kLongRecord);
  for (int k = 0; k < 4; ++k) out += static_cast<char>((n >> (8 * k)) & 0xFF);
}

std::size_t PaddedLength(std::string_view field) {
  std::size_t n = field.size();
  while (n > 0 && field[n - 1] == ' ') --n;
  return n;
}

}  // namespace

Buckets::Buckets(std::size_t count, std::size_t block) : block_(block), buckets_(count) {}

std::size_t Buckets::Add() {
  buckets_.emplace_back();
  return buckets_.size() - 1;
}

void Buckets::Put(std::size_t bucket, std::string_view head, std::string_view rest) {
  Bucket& b = buckets_[bucket];
  PutLength(b.newest, head.size() + rest.size());
  b.newest += head;
  b.newest += rest;
  if (b.newest.size() >= block_) Spill(b);
}

void Buckets::Put(std::size_t bucket, std::int64_t index, std::string_view bytes) {
  char head[kIndexBytes];
  for (std::size_t k = 0; k < kIndexBytes; ++k) head[k] = static_cast<char>((static_cast<std::uint64_t>(index) >> (8 * k)) & 0xFF);
  Put(bucket, std::string_view(head, kIndexBytes), bytes);
}

// After the head: the text's length, the first field's length without its
// padding, and the two fields without theirs. Text of 255 bytes or more is
// put as it is, after the length 255.
void Buckets::PutPadded(std::size_t bucket, std::string_view head, std::string_view text, std::size_t width) {
  Bucket& b = buckets_[bucket];
  if (text.size() >= kLongRecord) {
    PutLength(b.newest, head.size() + 1 + text.size());
    b.newest += head;
    b.newest += static_cast<char>(kLongRecord);
    b.newest += text;
  } else {
    const std::string_view first = text.substr(0, std::min(width, text.size()));
    const std::string_view second = text.substr(first.size());
    const std::size_t kept_first = PaddedLength(first);
    const std::size_t kept_second = PaddedLength(second);
    PutLength(b.newest, head.size() + 2 + kept_first + kept_second);
    b.newest += head;
    b.newest += static_cast<char>(text.size());
    b.newest += static_cast<char>(kept_first);
    b.newest.append(first.data(), kept_first);
    b.newest.append(second.data(), kept_second);
  }
  if (b.newest.size() >= block_) Spill(b);
}

void Buckets::Spill(Bucket& b) {
  if (!scratch_) {
    scratch_ = platform::ScratchFile::Create();
    if (!scratch_) Fail(/*writing=*/true);
  }
  const std::int64_t at = scratch_.size();
  if (!scratch_.Append(b.newest)) Fail(/*writing=*/true);
  b.blocks.push_back(Block{at, b.newest.size()});
  b.newest.clear();
}

void Buckets::Drop(std::size_t bucket) {
  Bucket& b = buckets_[bucket];
  std::string().swap(b.newest);
  std::vector<Block>().swap(b.blocks);
}

bool Buckets::Clear() {
  buckets_.clear();
  return !scratch_ || scratch_.Rewind();
}

std::string Buckets::Name() const {
  return scratch_.folder() + CP1252("(arquivo de trabalho da conversão)").str();
}

void Buckets::Fail(bool writing) const {
  // A write that failed behind the caller's back shows at a later read.
  const bool write = writing || scratch_.write_failed();
  store::Fail(write ? FileError::Action::kWrite : FileError::Action::kRead, Name(), scratch_.error());
}

void Buckets::Damaged() const {
  // Bytes read back other than written: the disk under the temporary folder.
  store::Fail(FileError::Action::kRead, Name(),
              platform::SystemError{platform::ErrorKind::kDevice, 0, "work data read back damaged"});
}

bool Buckets::Reader::NextBlock() {
  Bucket& b = owner_->buckets_[bucket_];
  if (block_ < b.blocks.size()) {
    const Block& k = b.blocks[block_++];
    buffer_.resize(k.size);
    if (!owner_->scratch_.ReadAt(k.offset, buffer_.data(), k.size)) owner_->Fail(/*writing=*/false);
    rest_ = buffer_;
    return true;
  }
  if (in_memory_) return false;
  in_memory_ = true;
  std::string().swap(buffer_);
  rest_ = b.newest;
  return true;
}

bool Buckets::Reader::Next(std::string_view& record) {
  while (rest_.empty()) {
    if (!NextBlock()) return false;
  }
  std::size_t n = static_cast<unsigned char>(rest_[0]);
  std::size_t head = 1;
  if (n == kLongRecord) {
    if (rest_.size() < 5) owner_->Damaged();
    n = 0;
    for (int k = 0; k < 4; ++k) n |= std::size_t{static_cast<unsigned char>(rest_[1 + static_cast<std::size_t>(k)])} << (8 * k);
    head = 5;
  }
  if (rest_.size() - head < n) owner_->Damaged();
  record = rest_.substr(head, n);
  rest_.remove_prefix(head + n);
  return true;
}

bool Buckets::Reader::NextPadded(std::size_t head_size, std::size_t width, std::string_view& head, std::string& text) {
  std::string_view r;
  if (!Next(r)) return false;
  if (r.size() < head_size + 1) owner_->Damaged();
  head = r.substr(0, head_size);
  const std::size_t size = static_cast<unsigned char>(r[head_size]);
  r.remove_prefix(head_size + 1);
  if (size == kLongRecord) {
    text.assign(r);
    return true;
  }
  if (r.empty()) owner_->Damaged();
  const std::size_t kept_first = static_cast<unsigned char>(r[0]);
  r.remove_prefix(1);
  const std::size_t first = std::min(width, size);
  if (kept_first > first || kept_first > r.size() || r.size() - kept_first > size - first) owner_->Damaged();
  text.assign(r.substr(0, kept_first));
  text.resize(first, ' ');
  text.append(r.substr(kept_first));
  text.resize(size, ' ');
  return true;
}

std::size_t PartOfKey(std::string_view key, std::size_t width, std::size_t parts) {
  key = key.substr(0, std::min(key.size(), width));
  std::uint64_t h = 0;
  for (std::size_t at = 0; at < width; at += 8) {
    // Eight characters of the key, padded with spaces, folded at once.
    unsigned char b[8];
    std::memset(b, ' ', sizeof b);
    const std::size_t n = std::min<std::size_t>(8, width - at);
    if (at < key.size()) std::memcpy(b, key.data() + at, std::min(n, key.size() - at));
    if (n < 8) std::memset(b + n, 0, 8 - n);
    h = (h ^ text::FoldCase8(b)) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
  }
  h ^= h >> 32;
  return static_cast<std::size_t>(h % parts);
}

std::size_t PartsFor(std::uint64_t bytes, std::uint64_t budget) {
  if (budget == 0) return 256;
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(bytes / budget + (bytes % budget != 0), 1, 256));
}

std::size_t BlockFor(std::size_t parts) {
  return std::clamp<std::size_t>(platform::WorkMemory() / (8 * std::max<std::size_t>(parts, 1)), 256, 256 * 1024);
}


std::int64_t IndexAt(std::string_view bytes) {
  std::uint64_t i = 0;
  for (std::size_t k = 0; k < kIndexBytes && k < bytes.size(); ++k) {
    i |= std::uint64_t{static_cast<unsigned char>(bytes[k])} << (8 * k);
  }
  return static_cast<std::int64_t>(i);
}

void PartResults::Put(std::size_t part, std::int64_t index, std::string_view bytes) {
  buckets_.Put(part, index, bytes);
}

bool PartResults::Take(std::size_t part, std::int64_t index, std::string& out) {
  if (next_.empty()) {
    next_.reserve(buckets_.count());
    for (std::size_t p = 0; p < buckets_.count(); ++p) {
      next_.push_back(Next{buckets_.Read(p), false, {}});
      next_.back().more = next_.back().reader.Next(next_.back().record);
    }
  }
  Next& n = next_[part];
  if (!n.more || IndexAt(n.record) != index) return false;
  out.assign(n.record.substr(kIndexBytes));
  n.more = n.reader.Next(n.record);
  return true;
}

}  // namespace store
