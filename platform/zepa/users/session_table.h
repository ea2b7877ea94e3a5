#pragma once
// Logged-in sessions: a random token (the session cookie's value) for each,
// the user and the password hash it logged in with (a changed password ends
// the session), ended after an idle time or a total lifetime. Each user holds
// at most maxPerUser sessions: a new one ends that user's oldest. The whole
// table is bounded too: when full, expired sessions go first, then the new
// session's user's own oldest; a user with none gets no session. So one
// user's logins never end another user's sessions.
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/sync/clock.h"

namespace orla {

class SessionTable {
 public:
  struct Settings {
    std::chrono::seconds idle{30 * 60};
    std::chrono::seconds lifetime{8 * 60 * 60};
    size_t maxSessions = 4096;
    size_t maxPerUser = 32;
  };

  struct Session {
    std::string user;
    std::string passwordHash;
    Clock::SteadyTime created;
    Clock::SteadyTime lastUsed;
  };

  explicit SessionTable(const Settings& settings);

  const Settings& GetSettings() const { return settings_; }

  // A new session; returns its token (64 hex digits), or "" when the table
  // is full of other users' sessions.
  std::string Create(const std::string& user, const std::string& passwordHash, Clock::SteadyTime now);
  // The session of `token` when it is still valid; marks it used. An expired
  // session is removed.
  std::optional<Session> Touch(const std::string& token, Clock::SteadyTime now);
  void Remove(const std::string& token);
  // Ends every session of `user`; returns how many there were.
  size_t RemoveUser(const std::string& user);
  size_t Count() const;

 private:
  bool ExpiredLocked(const Session& session, Clock::SteadyTime now) const;

  Settings settings_;
  mutable std::mutex mutex_;
  std::map<std::string, Session> sessions_;
};

}  // namespace orla
