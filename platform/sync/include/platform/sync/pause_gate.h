#pragma once
// Stands in for suspending and resuming a thread: the thread calls Pass()
// between its steps and is held there while the gate is closed.
#include <condition_variable>
#include <mutex>

namespace orla {

class PauseGate {
 public:
  PauseGate() = default;
  PauseGate(const PauseGate&) = delete;
  PauseGate& operator=(const PauseGate&) = delete;

  void Close();
  void Open();
  // Returns at once while the gate is open; otherwise waits until it opens.
  void Pass();
  // Threads held at the gate now.
  int Held() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable opened_;
  bool closed_ = false;
  int held_ = 0;
};

}  // namespace orla
