#include "platform/write_behind.h"

#include <cassert>
#include <utility>

namespace platform::detail {

namespace {
constexpr std::size_t kPending = 2;  // buffers waiting, besides the one being written
}

WriteBehindThread::WriteBehindThread(FileId f, bool append, std::size_t buffer_size)
    : fd_(f), append_(append), buffer_size_(buffer_size), thread_([this] { Run(); }) {}

WriteBehindThread::~WriteBehindThread() {
  {
    std::lock_guard<std::mutex> lock(m_);
    stop_ = true;
  }
  work_.notify_all();
  thread_.join();
}

std::unique_ptr<char[]> WriteBehindThread::TakeBuffer() {
  std::lock_guard<std::mutex> lock(m_);
  if (spare_.empty()) return std::make_unique_for_overwrite<char[]>(buffer_size_);
  std::unique_ptr<char[]> b = std::move(spare_.back());
  spare_.pop_back();
  return b;
}

void WriteBehindThread::Submit(std::unique_ptr<char[]> buf, std::size_t begin, std::size_t n, std::int64_t offset) {
  std::unique_lock<std::mutex> lock(m_);
  room_.wait(lock, [this] { return queue_.size() < kPending; });
  queue_.push_back(Job{std::move(buf), begin, n, offset});
  assert(queue_.size() <= kPending);
  work_.notify_one();
}

bool WriteBehindThread::Drain() {
  std::unique_lock<std::mutex> lock(m_);
  idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
  return !failed_;
}

bool WriteBehindThread::failed() {
  std::lock_guard<std::mutex> lock(m_);
  return failed_;
}

void WriteBehindThread::Run() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(m_);
      work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
    }
    room_.notify_one();
    // After a failed write the rest is dropped: the file is not kept. (Only
    // this thread sets failed_.)
    const bool ok = !failed_ && WriteAt(fd_, job.buf.get() + job.begin, job.n, job.offset, append_);
    {
      std::lock_guard<std::mutex> lock(m_);
      if (!ok && !failed_) error_ = LastError();
      if (!ok) failed_ = true;
      busy_ = false;
      spare_.push_back(std::move(job.buf));
    }
    idle_.notify_all();
  }
}

}  // namespace platform::detail
