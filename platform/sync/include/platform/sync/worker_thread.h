#pragma once
// One thread that runs the jobs posted to it, one at a time, in the order
// they were posted. The thread starts with the first job; destroying the
// worker runs the jobs still queued, then ends the thread.
//
// A job must catch what it throws. A job may post further jobs.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace orla {

class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Queues `job`. When no thread can be started the job runs at once on the
  // caller's thread: it is late, but not lost.
  void Post(std::function<void()> job);
  // Waits until every job posted so far has ended.
  void WaitIdle();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace orla
