#include "platform/sync/parallel_runner.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace orla {

void ParallelRunner::Run(size_t count, const std::function<void(size_t)>& job, size_t width) {
  if (count == 0) return;
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) job(i);
  };
  const size_t limit = width == 0 ? 1 : width;
  const size_t helpers = (limit < count ? limit : count) - 1;
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  for (size_t t = 0; t < helpers; ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      // No more threads: the ones started (and this one) take the rest.
      break;
    }
  }
  work();
  for (std::thread& thread : threads) thread.join();
}

}  // namespace orla
