// The changes that a conversion step makes to the files, held back until the
// step commits, so that a step is done whole or not at all.
//
// While a change set is open, every change goes through the functions below:
// new and rewritten files are written into the staging folder VEKCONV.STG of
// the data folder under numbered names, and renames, deletions, new folders
// and moves to the temporary folder are only noted. Reads go through the same
// functions and see the step's own changes as if they had been made. No entry
// under its own name changes until the step commits:
//
//   1. the staged files are put on the disk (flushed);
//   2. the journal VEKCONV.JNL, every rename of the commit with its exact
//      names, is written and put on the disk;
//   3. entries that go away, are replaced or move are first moved aside into
//      the staging folder (deepest first); then every entry is put in its
//      place (folders first: new folders, staged files, entries moved aside);
//      then what was moved aside to be deleted is removed. The journal notes
//      the end of each of these phases;
//   4. the journal is removed.
//
// Every move of the journal has a source that no other move of it creates and
// a target that nothing else of it takes, so the files tell whether it was
// made: a journal found at the start of a conversion is completed by making
// the moves not yet made. Staged files without a journal are the leftovers of
// a step that never committed, and go.
//
// Without an open change set the same functions act on the files at once
// (the tests of single steps, the benchmarks).
//
// A read or write that the system refuses (other than a missing file, which
// the steps take as "nothing to convert") throws FileError: the conversion
// stops, and the step's change set is dropped.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/stream.h"

namespace store {

// The converter's own entries in the data folder; no step sees them.
inline constexpr char kStagingFolder[] = "VEKCONV.STG";
inline constexpr char kJournal[] = "VEKCONV.JNL";
// True for a name of the data folder that belongs to the converter.
bool IsOwnName(std::string_view name);

// A file operation that failed: the conversion cannot go on.
class FileError : public std::exception {
 public:
  enum class Action { kOpen, kRead, kWrite, kCreate, kReplace, kRename, kDelete, kFolder, kSync, kJournal };
  FileError(Action action, std::string name, platform::SystemError error);
  Action action() const { return action_; }
  // The file as the program names it.
  const std::string& name() const { return name_; }
  const platform::SystemError& error() const { return error_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  Action action_;
  std::string name_;
  platform::SystemError error_;
  std::string what_;
};

// Tells the user (at the end of the conversion) what was passed over.
void Warn(std::string text);

// Throws FileError with the system's last error (or `error`).
[[noreturn]] void Fail(FileError::Action action, std::string_view name);
[[noreturn]] void Fail(FileError::Action action, std::string_view name, const platform::SystemError& error);

// ---- the files as a step sees them ---------------------------------------

bool Exists(std::string_view name);
bool IsFolder(std::string_view name);
// Size in bytes; -1 when the file does not exist.
std::int64_t FileSize(std::string_view name);
bool IsReadOnly(std::string_view name);
bool SetReadOnly(std::string_view name, bool read_only);
// As platform::FindFiles.
std::vector<platform::FindEntry> FindFiles(std::string_view pattern);
// The files the pattern finds, for a step that converts each: a folder of
// such a name is passed over with a warning.
std::vector<platform::FindEntry> FindDataFiles(std::string_view pattern);

// As their platform namesakes: copies (never over a read-only file), moves
// (never over an existing entry), deletes (never a read-only file), creates
// and removes (an empty) folder. False where those refuse.
bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists);
bool MoveFile(std::string_view from, std::string_view to);
bool DeleteFile(std::string_view name);
bool CreateFolder(std::string_view name);
bool RemoveFolder(std::string_view name);

// The folder that holds (or would hold) the name exists.
bool FolderOfExists(std::string_view name);
// FileError when the name is there but is no file that can be written (a
// pipe, a device, a link that leads nowhere).
void RefuseSpecialTarget(std::string_view name);

// Opens an existing file for reading ("rb" or "rt"): an unopened stream when
// it does not exist, and (after a warning) when it is no file to read (a
// folder, a pipe, a device, a link that leads nowhere); FileError when it is
// a file that cannot be read.
platform::Stream OpenExisting(std::string_view name, std::string_view mode = "rb");

// A file written as the content of a name.
class StagedFile {
 public:
  enum class Start {
    kEmpty,    // new content: it replaces the name's file only when kept
    kCurrent,  // the name's content (empty when missing), to be changed or
               // appended to: it stands for the name at once, and a file
               // that is dropped is cut back to the length it had
  };
  StagedFile(std::string_view name, Start start);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Where the content is written (a path to open).
  const std::string& path() const { return path_; }
  // The content is the name's from now on.
  void Keep();

 private:
  std::string name_;
  std::string path_;
  Start start_;
  bool kept_ = false;
  // kCurrent: the length to cut back to when dropped; -2 for a copy that is
  // taken back when dropped.
  std::int64_t length_ = 0;
  bool existed_ = true;  // kCurrent without a change set: the file was there
};

// A failure that could not be thrown where it happened (in a destructor):
// the open change set will not commit.
void NoteFailure(const FileError& error);

// The change set of a step (or of steps that commit together). While it
// lives it is the open one; what it holds is dropped unless it is committed.
class ChangeSet {
 public:
  // A probe changes nothing and stages nothing: the first change a step
  // would make throws WouldChange instead (a FileError, so that code that
  // passes over a failure goes on as it would), and changed() tells so.
  enum class Mode { kStage, kProbe };
  explicit ChangeSet(Mode mode = Mode::kStage);
  ~ChangeSet();
  ChangeSet(const ChangeSet&) = delete;
  ChangeSet& operator=(const ChangeSet&) = delete;

  // Makes the changes (above). FileError when the disk refuses: the journal
  // then stays, and the next conversion completes it.
  void Commit();
  // The bytes of the files staged so far.
  std::int64_t StagedBytes() const;
  // Nothing was changed so far.
  bool empty() const;
  // A probe: the step came to a change.
  bool changed() const;

  struct Node;
  struct View;
  struct Impl;

 private:
  Impl* impl_;  // owned
};

// What a probe throws at the first change.
class WouldChange : public FileError {
 public:
  explicit WouldChange(std::string name);
};

// At the start of a conversion: completes the journal of a commit that was
// interrupted and removes staged files that no journal lists. FileError when
// the journal cannot be completed.
void FinishInterruptedCommit();

// A commit or a step that did not come to its end left its journal or its
// staged files in the data folder.
bool InterruptedWorkLeft();

// Removes the partial copies that a copy to another volume leaves behind when
// it is interrupted (".NAME.vekcopy-..."), in the folder.
void RemoveCopyLeftovers(std::string_view folder);

}  // namespace store
