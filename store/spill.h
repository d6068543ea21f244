// Work data that may outgrow memory: records put into numbered buckets and
// read back, bucket by bucket, in the order they were put. Each bucket keeps
// its newest records in memory; once they reach a block's size they go, as
// one block, to a scratch file in the temporary folder (made on the first
// such block, and gone with this object or the program). A step that never
// fills a block never touches the disk.
//
// A record is a byte string. A failed write or read of the scratch file
// throws FileError, like a data file's: the step stops and nothing of it is
// kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scratch.h"

namespace store {

class Buckets {
 public:
  // `count` buckets to begin with; `block` bytes of each wait in memory.
  Buckets(std::size_t count, std::size_t block);
  Buckets(const Buckets&) = delete;
  Buckets& operator=(const Buckets&) = delete;

  std::size_t count() const { return buckets_.size(); }
  // A new empty bucket; its number.
  std::size_t Add();
  void Put(std::size_t bucket, std::string_view record) { Put(bucket, std::string_view(), record); }
  // One record of two pieces, put one after the other.
  void Put(std::size_t bucket, std::string_view head, std::string_view rest);
  // A record of a data file's record index (kIndexBytes, see IndexAt) and
  // bytes of it.
  void Put(std::size_t bucket, std::int64_t index, std::string_view bytes);
  // Space-padded text of two fields (its first `width` bytes, then the rest)
  // put after `head` without the spaces that pad each field, which are most
  // of the bytes of a yearly unit; read back with NextPadded.
  void PutPadded(std::size_t bucket, std::string_view head, std::string_view text, std::size_t width);
  // Gives back the memory and the blocks of a bucket that was read through.
  void Drop(std::size_t bucket);
  // No buckets, for new work that writes over the old on the scratch file;
  // false when a write of the old work had failed (the scratch file cannot
  // serve again).
  bool Clear();
  // Bytes that went to the scratch file so far.
  std::int64_t spilled() const { return scratch_.size(); }

  // The records of one bucket in the order put. Nothing may be put into the
  // bucket while it is read.
  class Reader {
   public:
    Reader(Buckets& owner, std::size_t bucket) : owner_(&owner), bucket_(bucket) {}
    // The next record (valid until the next call), or false after the last.
    bool Next(std::string_view& record);
    // The next record put with PutPadded: its head of `head_size` bytes
    // (valid until the next call) and its text, padded again, into `text`.
    bool NextPadded(std::size_t head_size, std::size_t width, std::string_view& head, std::string& text);

   private:
    bool NextBlock();
    Buckets* owner_;
    std::size_t bucket_;
    std::size_t block_ = 0;        // blocks of the scratch file read so far
    bool in_memory_ = false;       // reading the bucket's newest records
    std::string buffer_;           // the block being read
    std::string_view rest_;        // what is left of it
  };
  Reader Read(std::size_t bucket) { return Reader(*this, bucket); }

 private:
  struct Block {
    std::int64_t offset;
    std::size_t size;
  };
  struct Bucket {
    std::string newest;  // records not yet in a block
    std::vector<Block> blocks;
  };
  void Spill(Bucket& b);
  [[noreturn]] void Fail(bool writing) const;
  [[noreturn]] void Damaged() const;
  std::string Name() const;  // the scratch file in messages

  std::size_t block_;
  std::vector<Bucket> buckets_;
  platform::ScratchFile scratch_;
};

// Work split into parts by key: a hash of the key's first `width`
// characters, folded and padded with spaces, so that keys equal without
// regard to case (as the work lists compare them) fall in one part.
std::size_t PartOfKey(std::string_view key, std::size_t width, std::size_t parts);
// Parts enough that work of `bytes` in memory fits `budget` bytes a part: at
// least one, at most 256.
std::size_t PartsFor(std::uint64_t bytes, std::uint64_t budget);
// The block of a bucket for work in `parts` parts: an eighth of the work
// memory shared among the parts, between 256 bytes and 256 KB.
std::size_t BlockFor(std::size_t parts);

// The results of work done part by part, each a record's index and its
// bytes, put in record order within each part; read back in record order
// across all parts, while the records are walked once more.
class PartResults {
 public:
  PartResults(std::size_t parts, std::size_t block) : buckets_(parts, block) {}
  void Put(std::size_t part, std::int64_t index, std::string_view bytes);
  // Once all are put: the bytes for record `index`, of part `part`, into
  // `out`; false when that record has none. Records are asked in order.
  bool Take(std::size_t part, std::int64_t index, std::string& out);

 private:
  struct Next {
    Buckets::Reader reader;
    bool more;
    std::string_view record;
  };
  Buckets buckets_;
  std::vector<Next> next_;  // one per part, once reading began
};

// A record's index as 8 bytes before its data in a work record.
std::int64_t IndexAt(std::string_view bytes);
inline constexpr std::size_t kIndexBytes = 8;

}  // namespace store
