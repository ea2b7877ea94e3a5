#pragma once
// Slows down password guessing, for one kind of key (the server keeps one
// table keyed by client address and one keyed by address and account
// together): after a number of failed logins for one key (5 unless the
// table is given another) within 5 minutes, logins for that key are
// refused for 1 minute. Attempts still being checked count as failures until
// they end, so parallel guesses are refused from the sixth on at once.
//
// A success clears a key only when every failure it holds was against the
// account that succeeded: another account's success resets nothing (an
// address that guessed the administrator's password stays counted when the
// same address then logs in as itself).
//
// The table is bounded; when full, the entry seen longest ago that has no
// attempt under way goes.
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

#include "platform/sync/clock.h"

namespace orla {

class LoginThrottle {
 public:
  static constexpr int kMaxFailures = 5;
  static constexpr std::chrono::seconds kWindow{5 * 60};
  static constexpr std::chrono::seconds kBlock{60};
  static constexpr size_t kMaxEntries = 10000;

  explicit LoginThrottle(size_t maxEntries = kMaxEntries, int maxFailures = kMaxFailures);

  // True when an attempt for the key would be let in now (counts nothing).
  bool Allowed(const std::string& key, Clock::SteadyTime now);
  // Starts an attempt: false (nothing counted) while the key is blocked or
  // its failures and attempts under way reach the limit. Every true return
  // is ended by exactly one Failed, Succeeded or Cancelled.
  bool Begin(const std::string& key, Clock::SteadyTime now);
  // A failed attempt against `account`.
  void Failed(const std::string& key, const std::string& account, Clock::SteadyTime now);
  // A successful login as `account`.
  void Succeeded(const std::string& key, const std::string& account);
  // An attempt that was never checked (another throttle refused it).
  void Cancelled(const std::string& key);

 private:
  struct Entry {
    int failures = 0;
    int inFlight = 0;
    Clock::SteadyTime windowStart;
    Clock::SteadyTime blockedUntil;
    Clock::SteadyTime lastSeen;
    // The account of the failures counted, while they are all against one.
    std::string account;
    bool severalAccounts = false;
  };

  Entry* EntryLocked(const std::string& key, Clock::SteadyTime now);
  bool OpenLocked(Entry& entry, Clock::SteadyTime now) const;
  static void ForgetFailuresLocked(Entry& entry, Clock::SteadyTime now);

  size_t maxEntries_;
  int maxFailures_;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

}  // namespace orla
