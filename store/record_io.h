// The file plumbing that every conversion step shares: one record reader, one
// fixed-width writer and one in-place patcher.
//
// Records are read whole, L bytes at record i × L, and fields are taken from
// them by offset and width. A line feed, a carriage return or a Ctrl-Z byte
// inside a record is an ordinary byte here: it neither ends the file nor
// shifts the fields behind it, so one bad byte cannot scramble a record or cut
// off the rest of a table.
//
// Every file is written as a staged file (store/changes.h): a new file gets
// its name only when its writer is closed, and a changed one is a copy until
// the step commits. A writer that is dropped without Close leaves nothing
// behind, so that no half-written file stands under a name that a later
// guard ("the new file exists already") would take for done.
//
// A read or write that the system refuses throws store::FileError: the
// conversion stops there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/stream.h"
#include "store/changes.h"
#include "store/files.h"
#include "store/records.h"

namespace store {

// The record that a reader or a patcher has loaded, and its fields.
class LoadedRecord {
 public:
  std::int64_t index() const { return index_; }
  // The record as loaded: record_length bytes, fewer for a short last record.
  std::string_view bytes() const { return rec_; }
  // The flag byte reads "+" (a short record has no flag byte: live).
  bool deleted() const;
  // The flag byte as a new record of the same kind carries it: "+" for a
  // deleted record, a space for a live one.
  std::string_view flag() const { return deleted() ? std::string_view(&kDeletedFlag, 1) : " "; }
  // The bytes of a field, as far as the record holds them.
  std::string_view Field(std::size_t offset, std::size_t width) const;
  std::string_view Field(store::Field f) const { return Field(f.offset, f.width); }
  // The field without its trailing spaces.
  std::string Trimmed(std::size_t offset, std::size_t width) const;
  std::string Trimmed(store::Field f) const { return Trimmed(f.offset, f.width); }
  std::string_view TrimmedView(std::size_t offset, std::size_t width) const;
  std::string_view TrimmedView(store::Field f) const { return TrimmedView(f.offset, f.width); }
  // The byte at the offset, or a space past the end of a short record.
  char At(std::size_t offset) const;

 protected:
  explicit LoadedRecord(std::size_t record_length) : length_(record_length) {}
  std::size_t length_;
  std::int64_t index_ = -1;
  std::string_view rec_;  // the record's bytes, in the reader's or the patcher's memory
};

class RecordReader : public LoadedRecord {
 public:
  // Unopened (false) when the file does not exist.
  RecordReader(std::string_view path, std::size_t record_length);
  explicit RecordReader(const RecordFile& file) : RecordReader(file.name, file.length) {}
  explicit operator bool() const { return static_cast<bool>(in_); }

  // Loads record i. False when nothing of it lies in the file (the end of the
  // walk); a last record cut short loads with the bytes it has.
  [[nodiscard]] bool Load(std::int64_t i);
  // Closes the file before the end of the reader's scope, as before the file
  // is deleted or moved (which Windows refuses for an open file).
  void Close() { static_cast<void>(in_.Close()); }

 private:
  std::string path_;
  platform::Stream in_;
  std::string buf_;
};

// Builds records field by field and writes them. Every Put writes exactly its
// width (left-justified, space-padded, cut when longer), so a record always
// has the length of its layout.
class RecordWriter {
 public:
  enum class Mode {
    kCreate,  // a new file replacing any file of that name ("wt")
    kAppend,  // records appended to the file, which is created when missing ("at")
  };
  // In text mode a line feed is written as CR LF (line files such as the
  // yearly history files); records are written byte for byte. A read-only
  // file is not replaced: that stops the conversion.
  RecordWriter(std::string_view path, Mode mode, bool text_mode = false);
  // Without Close the writer leaves the file as it found it.
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;
  explicit operator bool() const { return static_cast<bool>(out_); }

  RecordWriter& Put(std::string_view value, std::size_t width);
  // Right-justified ("%Ns").
  RecordWriter& PutRight(std::string_view value, std::size_t width);
  RecordWriter& Spaces(std::size_t width);
  // Bytes as they are (line ends of list files).
  RecordWriter& Raw(std::string_view bytes);
  // Writes the record built so far.
  bool EndRecord();
  std::int64_t records() const { return records_; }

  // Flushes, and gives the file its name (true). The file it replaces is
  // deleted, or renamed to `keep_old_as` when that name is free.
  bool Close(std::string_view keep_old_as = {});

 private:
  std::string path_;
  std::optional<StagedFile> staged_;
  platform::Stream out_;
  std::string rec_;
  std::int64_t records_ = 0;
  std::int64_t written_ = 0;  // the file's length so far
};

// Changes records of an existing file in place. Records are loaded one at a
// time from a window of records read at once; the changes are made in the
// window and reach the file when the patcher moves past it or is closed.
class RecordPatcher : public LoadedRecord {
 public:
  // Opens for update, clearing a read-only attribute first; unopened (false)
  // when the file does not exist. The file is read where it is; the first
  // change is written to a staged copy.
  RecordPatcher(std::string_view path, std::size_t record_length);
  explicit RecordPatcher(const RecordFile& file) : RecordPatcher(file.name, file.length) {}
  // Writes what Close would; call Close, which tells a failure.
  ~RecordPatcher();
  RecordPatcher(const RecordPatcher&) = delete;
  RecordPatcher& operator=(const RecordPatcher&) = delete;
  explicit operator bool() const { return static_cast<bool>(io_); }

  [[nodiscard]] bool Load(std::int64_t i);

  // Writes the value left-justified in the width at the offset of the loaded
  // record. A record cut short is completed with spaces up to the field.
  void Set(std::size_t offset, std::string_view value, std::size_t width);
  void Set(std::size_t offset, std::string_view value) { Set(offset, value, value.size()); }
  void Set(store::Field f, std::string_view value) { Set(f.offset, value, f.width); }

  // Runs before changed records are written to the file. When it returns
  // false they are not written, and the patcher fails: a step that moves text
  // out of the records into another file flushes that file here, so that a
  // record never gives up text that the other file does not hold.
  void BeforeStore(std::function<bool()> hook) { before_store_ = std::move(hook); }
  // The hook refused a write: changes from then on stay out of the file.
  bool store_refused() const { return store_refused_; }

  std::int64_t file_size();
  bool Close();

 private:
  bool FlushWindow();

  std::string path_;
  std::optional<StagedFile> staged_;  // once something changed
  platform::Stream io_;
  std::string window_;  // records window_first_ onwards, with the changes
  std::int64_t window_first_ = -1;
  std::size_t at_ = 0;  // the loaded record's offset in the window
  // The changed bytes of the window lie in [changed_begin_, changed_end_).
  std::size_t changed_begin_ = 0;
  std::size_t changed_end_ = 0;
  std::function<bool()> before_store_;
  bool store_refused_ = false;
};

}  // namespace store
