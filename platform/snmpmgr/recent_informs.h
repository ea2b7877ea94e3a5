#pragma once
// The informs taken lately, so that one sent again is not taken twice. A
// sender repeats an inform when our acknowledgement was lost; the repeat
// carries the same request ID and content. The key is who sent it (the
// SNMPv3 engine ID and user, or the community and source address), the
// request ID and a digest of the bindings; a key seen within the window
// (SNMPv3's time window, 150 s) is a repeat, to be acknowledged again and
// not logged again. Only an inform that was queued is remembered: one
// turned away at a limit is taken when it comes again.
//
// Bounded: past `capacity` keys the oldest is forgotten. Not locked: the
// receiver's one thread owns it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

namespace orla {

class RecentInforms {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::seconds kWindow{150};

  explicit RecentInforms(size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

  // Whether `key` was remembered within the window before `now`.
  bool Seen(const std::string& key, TimePoint now);
  // Remembers `key` as taken at `now`.
  void Remember(const std::string& key, TimePoint now);
  size_t Size() const { return seen_.size(); }

 private:
  size_t capacity_;
  std::unordered_map<std::string, TimePoint> seen_;
  // Keys in the order recorded (a key recorded again keeps its place: the
  // map holds its newest time).
  std::deque<std::string> order_;
};

}  // namespace orla
