#pragma once
// One asynchronous client request (ZEPAClientGetUrl, ZEPAClientPostUrlEx),
// run on the server's client workers: state 16 (the caller adds header
// lines), the request, the response body written to a cache file (state 11,
// only when a response came), state 14, then the cache file removed. The
// object is the client handle the callback receives; the library checks
// every handle against the set of live requests.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "../client_url.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ConnectionContext;
class ServerContext;

class ClientRequest {
 public:
  static constexpr size_t kMaxHeaderBytes = 16 * 1024;

  ClientRequest(ServerContext* server, const ClientUrl& url, std::string method, std::string contentType,
                std::string body, PFN_ZEPA_CLIENT_CALLBACK callback, void* userObject,
                std::shared_ptr<ConnectionContext> connection);
  ~ClientRequest();
  ClientRequest(const ClientRequest&) = delete;
  ClientRequest& operator=(const ClientRequest&) = delete;

  // The whole life of the request, on a client worker.
  void Run();

  HZEPACLIENT Handle() { return reinterpret_cast<HZEPACLIENT>(this); }
  // The live request behind a handle, or null (stale or foreign handles).
  static ClientRequest* FromHandle(HZEPACLIENT handle);

  void* UserObject() const { return userObject_; }
  uint32_t State() const;
  uint32_t Status() const;
  // Null when there is no cache file.
  const char* CacheFileName() const;
  int SendBytes(const void* bytes, uint32_t length, uint32_t* count);

 private:
  void Invoke(uint32_t state);
  bool Perform(std::string* error);

  ServerContext* server_;
  ClientUrl url_;
  std::string method_;
  std::string contentType_;
  std::string body_;
  PFN_ZEPA_CLIENT_CALLBACK callback_;
  void* userObject_;
  std::shared_ptr<ConnectionContext> connection_;

  mutable std::mutex mutex_;
  uint32_t state_ = 0;
  uint32_t status_ = 0;
  std::string headerBytes_;
  std::string cacheFile_;
  bool cacheReady_ = false;
};

}  // namespace orla
