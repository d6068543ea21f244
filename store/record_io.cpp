#include "store/record_io.h"
#include "store/layout.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "store/open.h"
#include "store/records.h"
#include "text/fields.h"

namespace store {

namespace {

std::string_view Slice(std::string_view rec, std::size_t offset, std::size_t width) {
  if (offset >= rec.size()) return {};
  return rec.substr(offset, width);
}


}  // namespace

// ---- RecordReader -------------------------------------------------------

bool LoadedRecord::deleted() const { return rec_.size() == length_ && rec_.back() == kDeletedFlag; }

std::string_view LoadedRecord::Field(std::size_t offset, std::size_t width) const {
  return Slice(rec_, offset, width);
}

std::string LoadedRecord::Trimmed(std::size_t offset, std::size_t width) const {
  return std::string(text::TrimRightView(Field(offset, width)));
}

std::string_view LoadedRecord::TrimmedView(std::size_t offset, std::size_t width) const {
  return text::TrimRightView(Field(offset, width));
}

char LoadedRecord::At(std::size_t offset) const { return offset < rec_.size() ? rec_[offset] : ' '; }

RecordReader::RecordReader(std::string_view path, std::size_t record_length)
    : LoadedRecord(record_length), path_(path), in_(OpenExisting(path, "rb")) {}

bool RecordReader::Load(std::int64_t i) {
  rec_ = {};
  index_ = i;
  if (!in_ || length_ == 0 || i < 0) return false;
  if (!in_.Seek(i * static_cast<std::int64_t>(length_))) return false;
  buf_.resize(length_);
  buf_.resize(in_.ReadRaw(buf_.data(), length_));
  if (in_.error().kind != platform::ErrorKind::kNone) Fail(FileError::Action::kRead, path_, in_.error());
  rec_ = buf_;
  return !rec_.empty();
}

// ---- RecordWriter -------------------------------------------------------

RecordWriter::RecordWriter(std::string_view path, Mode mode, bool text_mode) : path_(path) {
  const bool append = mode == Mode::kAppend;
  RefuseSpecialTarget(path);
  if (!append && Exists(path) && IsReadOnly(path)) {
    platform::SystemError read_only;
    read_only.kind = platform::ErrorKind::kDenied;
    read_only.text = "the file is read-only";
    Fail(FileError::Action::kReplace, path, read_only);
  }
  staged_.emplace(path, append ? StagedFile::Start::kCurrent : StagedFile::Start::kEmpty);
  if (append) written_ = std::max<std::int64_t>(0, FileSize(path));
  platform::ClearLastError();
  out_ = platform::Stream::Open(staged_->path(), append ? (text_mode ? "at" : "ab") : (text_mode ? "wt" : "wb"));
  if (!out_) Fail(append ? FileError::Action::kOpen : FileError::Action::kCreate, path);
  // Nothing reads or writes the staged file before it gets its name: its
  // buffers can be written while the next records are built.
  out_.WriteBehind();
}

RecordWriter::~RecordWriter() {
  // Dropped: the staged file goes with staged_.
  if (out_) static_cast<void>(out_.Close());
}

RecordWriter& RecordWriter::Put(std::string_view value, std::size_t width) {
  std::size_t n = std::min(value.size(), width);
  rec_.append(value.data(), n);
  rec_.append(width - n, ' ');
  return *this;
}

RecordWriter& RecordWriter::PutRight(std::string_view value, std::size_t width) {
  std::size_t n = std::min(value.size(), width);
  rec_.append(width - n, ' ');
  rec_.append(value.data(), n);
  return *this;
}

RecordWriter& RecordWriter::Spaces(std::size_t width) {
  rec_.append(width, ' ');
  return *this;
}

RecordWriter& RecordWriter::Raw(std::string_view bytes) {
  rec_.append(bytes);
  return *this;
}

bool RecordWriter::EndRecord() {
  // No data file grows past the size that the product opens.
  written_ += static_cast<std::int64_t>(rec_.size());
  if (written_ > kHardSizeLimit) {
    Fail(FileError::Action::kWrite, path_,
                platform::SystemError{platform::ErrorKind::kTooLarge, 0, "more than 2,000,000,000 bytes"});
  }
  if (!out_.Write(rec_)) Fail(FileError::Action::kWrite, path_, out_.error());
  rec_.clear();
  ++records_;
  return true;
}

bool RecordWriter::Close(std::string_view keep_old_as) {
  if (!out_) return false;
  if (!rec_.empty()) EndRecord();
  if (!out_.Close()) Fail(FileError::Action::kWrite, path_, out_.error());
  // The old file is kept under the other name when that is free; otherwise
  // the new one replaces it.
  if (!keep_old_as.empty() && Exists(path_)) MoveFile(path_, keep_old_as);
  staged_->Keep();
  staged_.reset();
  return true;
}

// ---- RecordPatcher ------------------------------------------------------
//
// The patcher reads a window of records at once and writes the window back in
// one piece when it holds changes, so that patching every record of a large
// file costs two sequential passes, not a seek and a write per record.

namespace {
constexpr std::size_t kWindowBytes = 1 << 18;
}

RecordPatcher::RecordPatcher(std::string_view path, std::size_t record_length)
    : LoadedRecord(record_length), path_(path) {
  if (Exists(path)) MakeWritable(path);
  io_ = OpenExisting(path, "rb");
}

RecordPatcher::~RecordPatcher() {
  if (!io_) return;
  try {
    Close();
  } catch (const FileError& e) {
    NoteFailure(e);
  }
}

bool RecordPatcher::FlushWindow() {
  if (changed_end_ <= changed_begin_) return true;
  const std::size_t begin = changed_begin_;
  const std::size_t end = changed_end_;
  changed_begin_ = changed_end_ = 0;
  if (before_store_ && (store_refused_ || !before_store_())) {
    store_refused_ = true;
    return false;
  }
  if (!staged_) {
    // The first change: from here on the patcher works on the staged copy,
    // which holds what the window was read from.
    staged_.emplace(path_, StagedFile::Start::kCurrent);
    staged_->Keep();
    static_cast<void>(io_.Close());
    platform::ClearLastError();
    io_ = platform::Stream::Open(staged_->path(), "r+b");
    if (!io_) Fail(FileError::Action::kOpen, path_);
  }
  if (!io_.Seek(window_first_ * static_cast<std::int64_t>(length_) + static_cast<std::int64_t>(begin)) ||
      !io_.Write(std::string_view(window_).substr(begin, end - begin))) {
    Fail(FileError::Action::kWrite, path_, io_.error());
  }
  return true;
}

bool RecordPatcher::Load(std::int64_t i) {
  rec_ = {};
  index_ = i;
  if (!io_ || length_ == 0 || i < 0) return false;
  const std::int64_t per_window = static_cast<std::int64_t>(std::max<std::size_t>(1, kWindowBytes / length_));
  const bool inside = window_first_ >= 0 && i >= window_first_ &&
                      static_cast<std::size_t>(i - window_first_) * length_ < window_.size();
  if (!inside) {
    FlushWindow();
    window_first_ = i;
    if (!io_.Seek(i * static_cast<std::int64_t>(length_))) {
      window_.clear();
      return false;
    }
    // The window keeps its size from one read to the next (no clearing).
    window_.resize(static_cast<std::size_t>(per_window) * length_);
    window_.resize(io_.ReadRaw(window_.data(), window_.size()));
    if (io_.error().kind != platform::ErrorKind::kNone) Fail(FileError::Action::kRead, path_, io_.error());
    if (window_.empty()) return false;
  }
  at_ = static_cast<std::size_t>(i - window_first_) * length_;
  rec_ = std::string_view(window_).substr(at_, length_);
  return !rec_.empty();
}

void RecordPatcher::Set(std::size_t offset, std::string_view value, std::size_t width) {
  if (index_ < 0 || rec_.empty() || width == 0) return;
  value = value.substr(0, std::min(value.size(), width));
  const std::size_t from = at_ + offset;
  // A field that already holds the value changes nothing: a window without
  // changes is not written back (a second conversion rewrites nothing).
  if (rec_.size() >= offset + width && rec_.compare(offset, value.size(), value) == 0 &&
      rec_.substr(offset + value.size(), width - value.size()).find_first_not_of(' ') == std::string_view::npos) {
    return;
  }
  std::string kept;
  if (rec_.size() < offset + width) {
    // Only the file's last record can be short: it is completed with spaces.
    // (The value may be a field of this very window, which the growth moves.)
    kept = value;
    value = kept;
    window_.resize(from + width, ' ');
    rec_ = std::string_view(window_).substr(at_, offset + width);
  }
  window_.replace(from, value.size(), value);
  std::fill_n(window_.begin() + static_cast<std::ptrdiff_t>(from + value.size()), width - value.size(), ' ');
  if (changed_end_ <= changed_begin_) {
    changed_begin_ = from;
    changed_end_ = from + width;
  } else {
    changed_begin_ = std::min(changed_begin_, from);
    changed_end_ = std::max(changed_end_, from + width);
  }
}

std::int64_t RecordPatcher::file_size() {
  if (!io_) return -1;
  FlushWindow();
  return io_.Size();
}

bool RecordPatcher::Close() {
  if (!io_) return false;
  FlushWindow();
  const bool refused = store_refused_;
  if (!io_.Close()) Fail(FileError::Action::kWrite, path_, io_.error());
  io_ = platform::Stream();
  return !refused;
}

// ---- layouts ---------------------------------------------------------------

namespace {

template <typename Text>
void PutRowsOf(RecordWriter& out, const LoadedRecord* in, std::span<const Row> rows, std::span<const Text> values,
               unsigned layout) {
  for (const Row& r : rows) {
    if (!(r.layouts & layout) || (r.kind == Row::kSource && !in)) {
      out.Spaces(r.width);
      continue;
    }
    switch (r.kind) {
      case Row::kSource: out.Put(in->Field(r.first, r.last - r.first + 1), r.width); break;
      case Row::kText: out.Put(r.text, r.width); break;
      case Row::kValue: out.Put(r.slot < values.size() ? std::string_view(values[r.slot]) : "", r.width); break;
    }
  }
  out.EndRecord();
}

}  // namespace

void PutRows(RecordWriter& out, const LoadedRecord& in, std::span<const Row> rows,
             std::span<const std::string> values, unsigned layout) {
  PutRowsOf(out, &in, rows, values, layout);
}

void PutRows(RecordWriter& out, const LoadedRecord& in, std::span<const Row> rows,
             std::span<const std::string_view> values, unsigned layout) {
  PutRowsOf(out, &in, rows, values, layout);
}

void PutValues(RecordWriter& out, std::span<const Row> rows, std::span<const std::string_view> values) {
  PutRowsOf<std::string_view>(out, nullptr, rows, values, ~0u);
}

}  // namespace store
