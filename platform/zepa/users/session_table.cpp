#include "session_table.h"

#include "password_hash.h"

namespace orla {

SessionTable::SessionTable(const Settings& settings) : settings_(settings) {
  if (settings_.maxSessions == 0) settings_.maxSessions = 1;
  if (settings_.maxPerUser == 0) settings_.maxPerUser = 1;
}

bool SessionTable::ExpiredLocked(const Session& session, Clock::SteadyTime now) const {
  return now - session.lastUsed >= settings_.idle || now - session.created >= settings_.lifetime;
}

std::string SessionTable::Create(const std::string& user, const std::string& passwordHash,
                                 Clock::SteadyTime now) {
  std::string token = PasswordHash::RandomHex(32);
  std::lock_guard<std::mutex> lock(mutex_);
  if (sessions_.size() >= settings_.maxSessions) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      it = ExpiredLocked(it->second, now) ? sessions_.erase(it) : std::next(it);
    }
  }
  // The user's own sessions, oldest first out, until the new one fits.
  for (;;) {
    size_t own = 0;
    auto oldest = sessions_.end();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
      if (it->second.user != user) continue;
      ++own;
      if (oldest == sessions_.end() || it->second.created < oldest->second.created) oldest = it;
    }
    if (own < settings_.maxPerUser && sessions_.size() < settings_.maxSessions) break;
    if (oldest == sessions_.end()) return std::string();
    sessions_.erase(oldest);
  }
  sessions_[token] = Session{user, passwordHash, now, now};
  return token;
}

std::optional<SessionTable::Session> SessionTable::Touch(const std::string& token, Clock::SteadyTime now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(token);
  if (it == sessions_.end()) return std::nullopt;
  if (ExpiredLocked(it->second, now)) {
    sessions_.erase(it);
    return std::nullopt;
  }
  it->second.lastUsed = now;
  return it->second;
}

void SessionTable::Remove(const std::string& token) {
  std::lock_guard<std::mutex> lock(mutex_);
  sessions_.erase(token);
}

size_t SessionTable::RemoveUser(const std::string& user) {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t removed = 0;
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (it->second.user == user) {
      it = sessions_.erase(it);
      ++removed;
    } else {
      ++it;
    }
  }
  return removed;
}

size_t SessionTable::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

}  // namespace orla
