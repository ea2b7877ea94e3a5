#pragma once
// A recursive lock: a thread that holds it may enter again and must then leave
// as often. Also usable with std::lock_guard / std::unique_lock.
#include <mutex>

#include "agent/core/root_object.h"

namespace orla {

class Lock : public RootObject {
 public:
  Lock() = default;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace orla
