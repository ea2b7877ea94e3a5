#include "platform/sync/worker_thread.h"

#include <system_error>

namespace orla {

WorkerThread::~WorkerThread() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::Post(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread(&WorkerThread::Run, this);
      } catch (const std::system_error&) {
        // Falls through to running the job here, below.
      }
    }
    if (thread_.joinable()) {
      jobs_.push_back(std::move(job));
      changed_.notify_all();
      return;
    }
  }
  job();
}

void WorkerThread::WaitIdle() {
  std::unique_lock<std::mutex> hold(mutex_);
  changed_.wait(hold, [this] { return jobs_.empty() && !busy_; });
}

void WorkerThread::Run() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    changed_.wait(hold, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, and nothing left to run
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    hold.unlock();
    job();
    hold.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace orla
