// Other processes in tests: the product holding a file on another computer,
// and the vekconv program run as a technician runs it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/sandbox.h"

namespace vektest {

// A child process that holds the file open for writing until told to let go:
// a write lock on POSIX, a handle that shares reading only on Windows, which
// is how the product on another computer holds it.
class LockHolder {
 public:
  explicit LockHolder(const std::string& host_path);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool locked() const { return locked_; }
  void Release();

 private:
  bool locked_ = false;
  long long child_ = -1;     // process id or handle
  long long release_ = -1;   // pipe end or event handle
};

struct ProgramRun {
  int exit_code = -1;
  std::string out;  // line ends as LF on every system
  std::string err;
};

// Runs the program with the arguments in the folder, with no input, and
// captures what it prints.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const fs::path& folder);

}  // namespace vektest
