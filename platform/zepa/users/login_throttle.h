#pragma once
// Slows down password guessing: after 5 failed logins from one address
// within 5 minutes, logins from that address are refused for 1 minute. A
// successful login clears the address. Attempts still being checked count
// as failures until they end, so parallel guesses from one address are
// refused from the sixth on at once. The table is bounded; when full, the
// entry seen longest ago that has no attempt under way goes.
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace orla {

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  static constexpr int kMaxFailures = 5;
  static constexpr std::chrono::seconds kWindow{5 * 60};
  static constexpr std::chrono::seconds kBlock{60};
  static constexpr size_t kMaxAddresses = 10000;

  // True when an attempt from the address would be let in now (counts
  // nothing).
  bool Allowed(const std::string& address, Clock::time_point now);
  // Starts an attempt: false (nothing counted) while the address is blocked
  // or its failures and attempts under way reach the limit. Every true
  // return is ended by exactly one Failed or Succeeded.
  bool Begin(const std::string& address, Clock::time_point now);
  void Failed(const std::string& address, Clock::time_point now);
  void Succeeded(const std::string& address);

 private:
  struct Entry;
  Entry& EntryLocked(const std::string& address, Clock::time_point now, bool* full);
  static bool OpenLocked(Entry& entry, Clock::time_point now);

  struct Entry {
    int failures = 0;
    int inFlight = 0;
    Clock::time_point windowStart;
    Clock::time_point blockedUntil;
    Clock::time_point lastSeen;
  };

  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

}  // namespace orla
