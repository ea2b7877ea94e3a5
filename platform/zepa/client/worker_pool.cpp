#include "worker_pool.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace orla {

namespace {
// The pool whose task the current thread runs, so that a Shutdown from inside
// a task does not wait for itself.
thread_local WorkerPool* t_currentPool = nullptr;
}  // namespace

WorkerPool::WorkerPool(const Settings& settings) : settings_(settings) {
  if (settings_.maxThreads == 0) settings_.maxThreads = 1;
}

WorkerPool::~WorkerPool() {
  Shutdown();
  // Threads a timed shutdown gave up on: the records of those that ended go;
  // one still running keeps its own (the owner should have kept the pool).
  std::lock_guard<std::mutex> lock(mutex_);
  for (Worker* w : abandoned_) {
    if (w->finished) delete w;
  }
}

void WorkerPool::SetStackBytes(size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  settings_.stackBytes = bytes;
}

size_t WorkerPool::ThreadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const std::list<Worker*>* list : {&workers_, &abandoned_}) {
    for (const Worker* w : *list) {
      if (!w->finished) ++n;
    }
  }
  return n;
}

bool WorkerPool::Enqueue(std::function<void()> task) {
  std::list<Worker*> done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    tasks_.push_back(std::move(task));
    ReapFinishedLocked(&done);
    size_t running = workers_.size();
    // A thread is started when the idle ones cannot take every queued task.
    if (idle_ < tasks_.size() && running < settings_.maxThreads) {
      if (!StartThreadLocked() && running == 0) {
        // No thread at all and none can be made: the task would wait
        // forever. Refuse it.
        tasks_.pop_back();
        for (Worker* w : done) {
          pthread_join(w->thread, nullptr);
          delete w;
        }
        return false;
      }
    }
    wake_.notify_one();
  }
  for (Worker* w : done) {
    pthread_join(w->thread, nullptr);
    delete w;
  }
  return true;
}

void WorkerPool::ReapFinishedLocked(std::list<Worker*>* done) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->finished) {
      done->push_back(*it);
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool WorkerPool::StartThreadLocked() {
  auto* worker = new Worker;
  worker->pool = this;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  size_t stack = settings_.stackBytes;
  if (stack < static_cast<size_t>(PTHREAD_STACK_MIN)) stack = static_cast<size_t>(PTHREAD_STACK_MIN);
  pthread_attr_setstacksize(&attr, stack);
  const int rc = pthread_create(&worker->thread, &attr, &WorkerPool::ThreadMain, worker);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete worker;
    return false;
  }
  workers_.push_back(worker);
  return true;
}

void* WorkerPool::ThreadMain(void* arg) {
  auto* worker = static_cast<Worker*>(arg);
  worker->pool->Run(worker);
  return nullptr;
}

void WorkerPool::Run(Worker* self) {
  t_currentPool = this;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (!tasks_.empty()) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      try {
        task();
      } catch (...) {
        // A task must not end the thread; the task's owner reports its own
        // failures.
      }
      task = nullptr;
      lock.lock();
      continue;
    }
    if (stopping_) break;
    ++idle_;
    const bool woken = wake_.wait_for(lock, std::chrono::seconds(settings_.idleSeconds),
                                      [this] { return !tasks_.empty() || stopping_; });
    --idle_;
    if (!woken) break;  // idle long enough: this thread ends
  }
  // After this the thread touches nothing of the pool: the next Enqueue or
  // Shutdown joins it.
  self->finished = true;
  finished_.notify_all();
  t_currentPool = nullptr;
}

bool WorkerPool::ShutdownWithin(std::chrono::milliseconds limit) {
  if (t_currentPool != this) {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    if (!tasks_.empty() && workers_.empty()) StartThreadLocked();
    wake_.notify_all();
    const bool done = finished_.wait_for(lock, limit, [this] {
      for (const Worker* w : workers_) {
        if (!w->finished) return false;
      }
      return true;
    });
    if (!done) {
      // Nobody will join these threads: detached, each one frees its stack
      // and descriptor when it ends; their records stay with the pool.
      for (Worker* w : workers_) pthread_detach(w->thread);
      abandoned_.splice(abandoned_.end(), workers_);
      return false;
    }
  }
  Shutdown();
  return true;
}

void WorkerPool::Shutdown() {
  if (t_currentPool == this) {
    std::fprintf(stderr, "WorkerPool::Shutdown called from one of its own tasks; not waiting\n");
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    return;
  }
  for (;;) {
    std::list<Worker*> all;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      if (!tasks_.empty() && workers_.empty()) StartThreadLocked();
      wake_.notify_all();
      all.swap(workers_);
    }
    if (all.empty()) break;
    for (Worker* w : all) {
      pthread_join(w->thread, nullptr);
      delete w;
    }
  }
}

}  // namespace orla
