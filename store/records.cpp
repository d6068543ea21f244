#include "store/records.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "platform/ui.h"
#include "store/changes.h"
#include "store/open.h"
#include "text/cp1252.h"
#include "text/fields.h"

namespace store {

namespace {

constexpr int kMaxKeyWidth = 50;
// The window starts small (a walk often ends early, and each deletion of
// DelByKey starts it again) and grows to this size.
constexpr std::size_t kFirstChunk = 16 << 10;
constexpr std::size_t kLargestChunk = 1 << 20;

// Reads a file at increasing offsets in large pieces, so that a walk over
// millions of records costs a few reads instead of two seeks per record.
class ScanWindow {
 public:
  ScanWindow(platform::Stream& stream, std::string_view name) : stream_(stream), name_(name) {}

  // Up to n bytes from the offset; fewer at the end of the file.
  std::string_view Bytes(std::int64_t offset, std::size_t n) {
    if (offset < 0) return {};
    const std::int64_t held = static_cast<std::int64_t>(buf_.size());
    const bool starts_inside = offset >= base_ && offset - base_ <= held;
    const bool ends_inside = starts_inside && (offset - base_ + static_cast<std::int64_t>(n) <= held || at_end_);
    if (!ends_inside) {
      Load(offset, std::max(n, chunk_));
      chunk_ = std::min(chunk_ * 2, kLargestChunk);
    }
    const std::size_t at = static_cast<std::size_t>(offset - base_);
    if (at >= buf_.size()) return {};
    return std::string_view(buf_).substr(at, n);
  }

  // The file was changed behind the window.
  void Forget() {
    buf_.clear();
    base_ = 0;
    at_end_ = false;
    chunk_ = kFirstChunk;
  }

 private:
  void Load(std::int64_t offset, std::size_t size) {
    buf_.resize(size);
    base_ = offset;
    std::size_t got = 0;
    if (stream_.Seek(offset)) {
      while (got < size) {
        const std::size_t n = stream_.ReadRaw(buf_.data() + got, size - got);
        if (n == 0) break;
        got += n;
      }
    }
    buf_.resize(got);
    at_end_ = got < size;
    if (stream_.error().kind != platform::ErrorKind::kNone) Fail(FileError::Action::kRead, name_, stream_.error());
  }

  platform::Stream& stream_;
  std::string name_;
  std::string buf_;
  std::int64_t base_ = 0;
  bool at_end_ = false;
  std::size_t chunk_ = kFirstChunk;
};

// What a text read of the width sees: the bytes up to and including the first
// line feed. Empty at the end of the file.
std::string_view FieldAt(ScanWindow& scan, std::int64_t offset, std::size_t width) {
  std::string_view field = scan.Bytes(offset, width);
  const std::size_t lf = field.find('\n');
  return lf == std::string_view::npos ? field : field.substr(0, lf + 1);
}

bool FlaggedDeleted(ScanWindow& scan, long index, long length) {
  const std::optional<std::int64_t> flag = ByteOffset(index, length, length - 1);
  if (!flag) return false;
  const std::string_view b = scan.Bytes(*flag, 1);
  return !b.empty() && b[0] == kDeletedFlag;
}

std::string PrepareKey(std::string_view key, std::size_t width) {
  std::string k = text::CopyField(key, 0, width);
  text::PadRight(k, width);
  return k;
}

bool ReadExactly(platform::Stream& stream, std::string& buf, std::size_t n) {
  buf.resize(n);
  std::size_t got = 0;
  while (got < n) {
    const std::size_t r = stream.ReadRaw(buf.data() + got, n - got);
    if (r == 0) break;
    got += r;
  }
  buf.resize(got);
  return got == n;
}

bool WriteAt(platform::Stream& stream, std::int64_t offset, std::string_view bytes) {
  return stream.Seek(offset) && stream.Write(bytes) && stream.Flush();
}

// Moves the last record into slot `index` and cuts the file after the record
// before the last. A last record cut short counts as a record padded with
// spaces. On any failure the slot gets its own record back, so that no record
// is lost or left twice.
bool Compact(platform::Stream& stream, long index, long length) {
  if (length <= 0 || index < 0 || !stream.SeekEnd()) return false;
  const std::int64_t size = stream.Tell();
  const std::optional<std::int64_t> slot = ByteOffset(index, length);
  if (size < 0 || !slot || *slot >= size) return false;
  const std::int64_t last = (size - 1) / length;
  const std::int64_t last_offset = last * length;
  if (last == index) return stream.Truncate(last_offset);

  std::string moved;
  std::string original;
  moved.reserve(static_cast<std::size_t>(length));
  original.reserve(static_cast<std::size_t>(length));
  if (!stream.Seek(last_offset) ||
      !ReadExactly(stream, moved, static_cast<std::size_t>(size - last_offset)) ||
      !stream.Seek(*slot) || !ReadExactly(stream, original, static_cast<std::size_t>(length))) {
    return false;
  }
  text::CleanText(moved);
  text::PadRight(moved, static_cast<std::size_t>(length));
  if (WriteAt(stream, *slot, moved) && stream.Truncate(last_offset)) return true;
  WriteAt(stream, *slot, original);
  return false;
}

}  // namespace

int IsDeleted(platform::Stream* stream, long index, long length) {
  if (!stream || !*stream) return 0;
  const std::optional<std::int64_t> flag = ByteOffset(index, length, length - 1);
  if (!flag || *flag < 0 || !stream->Seek(*flag)) return 0;
  return stream->GetChar() == kDeletedFlag ? 1 : 0;
}

int ReadField(platform::Stream* stream, std::string_view name, long length, std::span<const int> widths,
              long index, int field, std::string& out) {
  out.clear();
  if (index < 0 || field < 0 || static_cast<std::size_t>(field) >= widths.size()) return 0;
  std::int64_t offset = 0;
  for (int k = 0; k < field; ++k) {
    offset += widths[static_cast<std::size_t>(k)];
    if (length > 0 && offset >= length) return 0;
  }
  const int width = widths[static_cast<std::size_t>(field)];
  if (width < 0 || offset < 0) return 0;

  platform::Stream own;
  platform::Stream* in = stream;
  if (!in || !*in) {
    own = OpenForReading(name);
    if (!own) return 0;
    in = &own;
  }
  const std::optional<std::int64_t> at = ByteOffset(index, length, offset);
  if (!at || !in->Seek(*at) || !ReadText(*in, out, static_cast<std::size_t>(width))) {
    if (in->error().kind != platform::ErrorKind::kNone) Fail(FileError::Action::kRead, name, in->error());
    out.clear();
    return 0;
  }
  text::TrimRight(out);
  return 1;
}

int FindKey(std::string_view name, long length, std::string_view key, long offset, int width, long& index) {
  index = -1;
  if (!text::HasText(key)) return 0;
  // A walk without a record length or field would never advance.
  if (length <= 0 || width <= 0 || offset < 0) return 0;
  platform::Stream in = OpenForReading(name);
  if (!in) return 0;
  platform::WaitCursor wait;
  const std::size_t w = static_cast<std::size_t>(std::min(width, kMaxKeyWidth));
  const std::string wanted = PrepareKey(key, w);
  ScanWindow scan(in, name);
  for (long r = 0;; ++r) {
    const std::optional<std::int64_t> at = ByteOffset(r, length, offset);
    if (!at) break;
    const std::string_view field = FieldAt(scan, *at, w);
    if (field.empty()) break;
    if (text::EqualNoCase(field, wanted, w) && !FlaggedDeleted(scan, r, length)) {
      index = r;
      return 1;
    }
  }
  return 0;
}

int DelItem1(std::string_view name, long index, long length) {
  platform::WaitCursor wait;
  auto tell = [](std::string_view message) {
    platform::ActiveUi().MessageBox(message, "DelItem1", platform::Icon::kError);
    return 0;
  };
  if (FileBusy(name, kBusyTell)) return 0;
  platform::Stream file = OpenForUpdate(name);
  if (!file) return tell("Erro ao abrir arquivo.");
  bool deleted = false;
  try {
    deleted = Compact(file, index, length);
  } catch (const std::bad_alloc&) {
    static_cast<void>(file.Close());
    return tell(CP1252("Memória insuficiente."));
  } catch (const std::length_error&) {
    static_cast<void>(file.Close());
    return tell(CP1252("Memória insuficiente."));
  }
  // The disk refusing a read or a write stops the conversion.
  if (file.error().kind != platform::ErrorKind::kNone) Fail(FileError::Action::kWrite, name, file.error());
  if (!file.Close()) Fail(FileError::Action::kWrite, name, file.error());
  if (!deleted) return tell("Erro ao excluir o item.");
  return 1;
}

int DelByKey(std::string_view key, std::string_view name, long length, long offset, int width) {
  platform::WaitCursor wait;
  int deleted = 0;
  if (key.empty() || length <= 0 || width < 3 || width > 14) return 0;
  platform::Stream in = OpenForReading(name);
  if (!in) return 0;
  const std::size_t w = static_cast<std::size_t>(width);
  const std::string wanted = PrepareKey(key, w);
  ScanWindow scan(in, name);
  for (long r = 0;; ++r) {
    const std::optional<std::int64_t> at = ByteOffset(r, length, offset);
    if (!at || *at < 0) break;
    const std::string_view field = FieldAt(scan, *at, w);
    if (field.empty()) break;
    if (!text::EqualNoCase(field, wanted, w) || FlaggedDeleted(scan, r, length)) continue;
    // A failed deletion leaves the record in its slot; examining the slot
    // again would only fail again (and tell the user again), so stop here.
    if (!DelItem1(name, r, length)) break;
    ++deleted;
    // The slot now holds the former last record, which must be examined too;
    // the file changed behind the reading stream, so read it afresh.
    --r;
    static_cast<void>(in.Close());
    in = OpenForReading(name);
    scan.Forget();
    if (!in) break;
  }
  if (in) static_cast<void>(in.Close());
  PeekMessage2(0);
  return deleted;
}

}  // namespace store
