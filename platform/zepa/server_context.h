#pragma once
// What a browser request's control block (ConnectionContext) and a client
// request (ClientRequest) need of the server that runs them: the files of
// its data directory, how far its shutdown has come, the rights of a
// session, its users and sessions, its client cache files, and whether a
// URL is its own. ZepaServer
// implements it; the two hold this instead of the whole server, so the
// wings never reach back up into it.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "cache_file_table.h"
#include "client_url.h"
#include "users/session_table.h"

namespace orla {

class LoginService;

class ServerContext {
 public:
  virtual ~ServerContext() = default;

  // A file (or folder) of the server's data directory.
  virtual std::string FilePath(const char* name) const = 0;
  virtual bool IsShuttingDown() const = 0;
  // True from the start of the shutdown: client requests under way end early.
  virtual const std::atomic<bool>* StoppingFlag() const = 0;
  // True once a shutdown has waited its time: connections stop waiting for
  // their client requests.
  virtual bool ShutdownWaitOver() const = 0;
  virtual uint32_t RightsFor(const std::optional<SessionTable::Session>& session, const std::string& right) = 0;
  // A user's mask for `right`; 0x80000000 when there is no such user.
  virtual uint32_t UserRights(const std::string& user, const std::string& right) = 0;
  // The server's users, logins and sessions (the extensions' user
  // administration requests).
  virtual LoginService& Logins() = 0;
  // Revokes every token of `user` (a removed user's); how many, or -1 with
  // *error.
  virtual int RevokeTokensOf(const std::string& user, std::string* error) = 0;
  // True when a client request to `url` goes to this server.
  virtual bool IsOwnUrl(const ClientUrl& url) const = 0;

  virtual void RegisterCacheFile(const std::string& path, const CacheFileTable::Info& info) = 0;
  virtual void UnregisterCacheFile(const std::string& path) = 0;
  virtual bool LookupCacheFile(const std::string& path, CacheFileTable::Info* info) const = 0;

  // True on a thread that is running one of this server's requests or
  // client callbacks.
  bool OnOwnThread() const;
  // Marks the current thread as working for `server` for its lifetime.
  class ThreadScope {
   public:
    explicit ThreadScope(const ServerContext* server);
    ~ThreadScope();
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;

   private:
    const ServerContext* previous_;
  };
};

}  // namespace orla
