#pragma once
// Slows down password guessing: after 5 failed logins from one address
// within 5 minutes, logins from that address are refused for 1 minute. A
// successful login clears the address. The table is bounded; when full, the
// entry seen longest ago goes.
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

  // False while the address is blocked.
  bool Allowed(const std::string& address, Clock::time_point now);
  void Failed(const std::string& address, Clock::time_point now);
  void Succeeded(const std::string& address);

 private:
  struct Entry {
    int failures = 0;
    Clock::time_point windowStart;
    Clock::time_point blockedUntil;
    Clock::time_point lastSeen;
  };

  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

}  // namespace orla
