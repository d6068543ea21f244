// Folder copy and file housekeeping: moving sets of data files between
// folders, moving obsolete files into the temporary folder under a numbered
// name when theirs is taken, and small file operations that ignore the
// read-only attribute. Nothing here tells the user; what fails stays as it was.
#pragma once

#include <string>
#include <string_view>

namespace store {

inline constexpr int kTransferCopy = 0;
inline constexpr int kTransferMove = 1;
// Numbered names run from .001 to .100.
inline constexpr int kLastNumberedName = 100;

// Copies (never overwriting) or moves the *.DAT files of `source` into
// `destination`. A move renames the whole folder when it can, resolves name
// clashes with numbered names and removes the emptied source folder.
void TransferFolder(std::string_view source, std::string_view destination, int mode);

// The user's temporary folder, ending in a separator; C:\Temp\ (created) when
// there is none or its path is too long for the moves below.
std::string TemporaryFolder();

// Moves a file or folder into the `subfolder` of the temporary folder
// (C:\Temp\ when there is no usable one), under a numbered name when taken.
void MoveToTemp(std::string_view path, std::string_view subfolder);

// Copies a file, replacing a read-only target unless fail_if_exists. Nonzero on success.
int CopyDataFile(std::string_view from, std::string_view to, bool fail_if_exists);

// Deletes a file even when read-only. 0 on success.
int DeleteDataFile(std::string_view name);

// Completes `base` (a path without extension) with the first image extension
// that exists: jpg, jpeg, jpe, jfif, gif, dib, bmp. Without a match `base`
// ends in ".bmp" and the result is false.
[[nodiscard]] bool FindImageFile(std::string& base);

// The number at the start of record `index` of length `length`; 0 when it
// cannot be read, is negative or is 999999999 or more.
long ReadRecordNumber(std::string_view name, long index, long length);

}  // namespace store
