#pragma once
// A pool of worker threads that grows on demand up to a maximum and lets
// threads that stay idle end. Each thread gets a chosen stack size. Tasks
// queue while every thread is busy.
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>

namespace orla {

class WorkerPool {
 public:
  struct Settings {
    size_t maxThreads = 64;
    size_t stackBytes = 8u << 20;
    int idleSeconds = 30;
  };

  explicit WorkerPool(const Settings& settings);
  ~WorkerPool();  // Shutdown()
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues a task. Returns false (the task is dropped) after Shutdown began.
  bool Enqueue(std::function<void()> task);

  // Runs every queued task to its end, then joins all threads. Later
  // Enqueue calls are refused.
  void Shutdown();
  // The same, waiting at most `limit`: false when tasks still run then (the
  // threads are detached and left running; the pool must then outlive them,
  // so its owner keeps it).
  bool ShutdownWithin(std::chrono::milliseconds limit);

  // Stack size for threads started from now on.
  void SetStackBytes(size_t bytes);

  size_t ThreadCount() const;

 private:
  struct Worker {
    WorkerPool* pool = nullptr;
    pthread_t thread{};
    bool finished = false;
  };

  static void* ThreadMain(void* arg);
  void Run(Worker* self);
  bool StartThreadLocked();
  void ReapFinishedLocked(std::list<Worker*>* done);

  Settings settings_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<std::function<void()>> tasks_;
  std::list<Worker*> workers_;
  std::list<Worker*> abandoned_;  // detached by a timed shutdown that gave up
  size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace orla
