// Opening fixed-record data files: the busy wait, the add and rewrite opens
// with their size limits, and the small open/position/read helpers that the
// conversion steps share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/stream.h"

namespace store {

// Files above this size are refused for adding records.
inline constexpr std::int64_t kHardSizeLimit = 2'000'000'000;
// Files above this size are extended only when the user agrees.
inline constexpr std::int64_t kWarnSizeLimit = 512'000'000;

// FOpen2 open modes; any mode other than kAddRecord rewrites a record.
enum class OpenMode { kAddRecord = 1, kRewriteRecord = 2 };
using enum OpenMode;

// FileBusy wait modes.
enum class BusyWait { kBusySilent = 0, kBusyTell = 1, kBusyWaitOnly = 2 };
using enum BusyWait;

// Byte offset index * length + extra, or nullopt when it does not fit.
[[nodiscard]] std::optional<std::int64_t> ByteOffset(std::int64_t index, std::int64_t length,
                                       std::int64_t extra = 0);

// Clears the read-only attribute of an existing file so that it can be written.
void MakeWritable(std::string_view name);
// "rb".
platform::Stream OpenForReading(std::string_view name);
// MakeWritable, then "r+b".
platform::Stream OpenForUpdate(std::string_view name);
// MakeWritable, then "ab" (the file is created when missing).
platform::Stream OpenForAppend(std::string_view name);

// 0 when the stream now stands at the offset, 1 when the offset is negative,
// at or past the end of the file, or the stream cannot be positioned.
[[nodiscard]] int PositionAt(platform::Stream& stream, std::int64_t offset);
// At most n characters, stopping after a line feed; false at the end of the
// file (out is then empty) or for an unopened stream.
[[nodiscard]] bool ReadText(platform::Stream& stream, std::string& out, std::size_t n);

// Waits while another program holds the file for writing: 21 probes, 50 ms
// apart. 1 when the file stayed busy (wait modes 0 and 1; mode 1 tells the
// user), 0 when it is free or missing, and always 0 in wait mode 2.
int FileBusy(std::string_view name, BusyWait wait_mode);

// Opens the file to write one record of the given length.
//   kAddRecord: an append stream after the last record; index becomes the
//     record count (a short last record is completed with spaces first), or
//     -1 for length 0. Large files are refused or questioned.
//   other modes: an update stream at record `index`, which must exist.
// An unopened stream after a message when it cannot.
platform::Stream FOpen2(std::string_view name, long length, long& index, OpenMode mode);

// Keeps the window painted during a long scan and the wait cursor shown.
int PeekMessage2(int mode = 0);

}  // namespace store
