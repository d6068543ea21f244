#include "store/spill.h"

#include <cstring>

#include "store/changes.h"
#include "text/cp1252.h"

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

}  // namespace

Buckets::Buckets(std::size_t count, std::size_t block) : block_(block), buckets_(count) {}

std::size_t Buckets::Add() {
  buckets_.emplace_back();
  return buckets_.size() - 1;
}

void Buckets::Put(std::size_t bucket, std::string_view record) {
  Bucket& b = buckets_[bucket];
  PutLength(b.newest, record.size());
  b.newest += record;
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

std::string Buckets::Name() const {
  return scratch_.folder() + CP1252("(arquivo de trabalho da conversão)").str();
}

void Buckets::Fail(bool writing) const {
  store::Fail(writing ? FileError::Action::kWrite : FileError::Action::kRead, Name(), scratch_.error());
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

}  // namespace store
