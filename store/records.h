// Record access on fixed-record data files: record i of length L occupies
// bytes i*L .. (i+1)*L-1, fields are space-padded text, and the last byte of a
// record is its flag byte ('+' = deleted by the product).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/stream.h"

namespace store {

inline constexpr char kDeletedFlag = '+';

// 1 when the flag byte of record `index` reads '+'; 0 otherwise, also for an
// unopened stream, a failed seek or the end of the file.
[[nodiscard]] int IsDeleted(platform::Stream* stream, long index, long length);

// Field `field` of record `index`, its offset being the sum of the widths
// before it, with trailing spaces removed. Opens the file itself when no
// stream is given. 1 on success; 0 and the empty text otherwise.
[[nodiscard]] int ReadField(platform::Stream* stream, std::string_view name, long length,
              std::span<const int> widths, long index, int field, std::string& out);

// Index of the first live record whose field at `offset` (width `width`, at
// most 50) equals the key padded with spaces, without regard to case.
// 1 and the index, or 0 and -1.
[[nodiscard]] int FindKey(std::string_view name, long length, std::string_view key, long offset, int width,
            long& index);

// Deletes record `index` by moving the last record into its place and
// shortening the file by one record. 1 when deleted; 0 after a message.
int DelItem1(std::string_view name, long index, long length);

// Deletes every live record whose field at `offset` (width 3 to 14) equals
// the key; the number of records deleted.
int DelByKey(std::string_view key, std::string_view name, long length, long offset, int width);

}  // namespace store
