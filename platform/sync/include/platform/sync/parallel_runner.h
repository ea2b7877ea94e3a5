#pragma once
// Runs one job per index on a bounded number of threads at once and returns
// when every job has ended. The calling thread takes jobs too, so the work
// goes on (one job at a time) even when no further thread can be started.
//
// Jobs are taken in index order; each job must catch what it throws (an
// exception that escapes a job ends the process, as on any thread). A job
// must never need anything the calling thread holds while it waits here (a
// caller that runs it under its own lock hands out jobs that do not take
// that lock).
#include <cstddef>
#include <functional>

namespace orla {

class ParallelRunner {
 public:
  // How many jobs run at once, at most, unless the caller says otherwise.
  static constexpr size_t kDefaultWidth = 32;

  // Runs job(0) ... job(count - 1) with at most `width` running at once.
  static void Run(size_t count, const std::function<void(size_t)>& job, size_t width = kDefaultWidth);
};

}  // namespace orla
