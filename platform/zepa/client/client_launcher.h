#pragma once
// Starts one server's client requests (ZEPAClientGetUrl,
// ZEPAClientPostUrlEx) on a pool of client workers. A client request started
// while a request procedure (or a client callback tied to a connection) runs
// on the calling thread is tied to that browser connection, which then waits
// for it.
#include <chrono>
#include <cstddef>
#include <string>

#include "worker_pool.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ServerContext;

class ClientLauncher {
 public:
  ClientLauncher(size_t maxThreads, size_t stackBytes);

  // Queues a request for `server`. False with *error when the callback is
  // missing, the URL is not an absolute http(s) URL or no worker can run it.
  bool Start(ServerContext* server, const std::string& url, const std::string& method, const std::string& contentType,
             std::string body, PFN_ZEPA_CLIENT_CALLBACK callback, void* userObject, std::string* error);
  void SetStackBytes(size_t bytes) { pool_.SetStackBytes(bytes); }
  // Lets the queued requests end (they skip to state 14); false when some
  // still run after `limit`.
  bool ShutdownWithin(std::chrono::milliseconds limit) { return pool_.ShutdownWithin(limit); }

 private:
  WorkerPool pool_;
};

}  // namespace orla
