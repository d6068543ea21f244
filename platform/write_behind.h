// A second thread that writes a file's full buffers, in the order they were
// handed over, while the caller fills the next: streams of new files and
// scratch files. Private to platform/.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/os.h"

namespace platform::detail {

class WriteBehindThread {
 public:
  // Writes to `f` (at the end of the file when `append`) with buffers of
  // `buffer_size` bytes. Throws when no thread can be had.
  WriteBehindThread(FileId f, bool append, std::size_t buffer_size);
  // Writes what was handed over, then ends the thread.
  ~WriteBehindThread();
  WriteBehindThread(const WriteBehindThread&) = delete;
  WriteBehindThread& operator=(const WriteBehindThread&) = delete;

  // An empty buffer to fill.
  std::unique_ptr<char[]> TakeBuffer();
  // Hands over n bytes of buf from `begin`, to go at the offset; waits while
  // two buffers are waiting already.
  void Submit(std::unique_ptr<char[]> buf, std::size_t begin, std::size_t n, std::int64_t offset);
  // Waits until everything handed over was written; false once a write
  // failed (the rest is then dropped), and error() tells why.
  bool Drain();
  // Whether a write failed, without waiting.
  bool failed();
  const SystemError& error() const { return error_; }

 private:
  struct Job {
    std::unique_ptr<char[]> buf;
    std::size_t begin = 0;
    std::size_t n = 0;
    std::int64_t offset = 0;
  };
  void Run();

  FileId fd_;
  bool append_;
  std::size_t buffer_size_;
  std::mutex m_;
  std::condition_variable work_, room_, idle_;
  std::deque<Job> queue_;
  std::vector<std::unique_ptr<char[]>> spare_;
  bool busy_ = false;
  bool failed_ = false;
  SystemError error_;  // the failed write's, told on the writing thread
  bool stop_ = false;
  std::thread thread_;  // last: it starts with the members above in place
};

}  // namespace platform::detail
