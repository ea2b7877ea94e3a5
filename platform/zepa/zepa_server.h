#pragma once
// One running web server of the library, the façade the C calls use. It
// puts together, each in a class of its own: the settings (ServerSettings),
// the start-up of the data directory (DataDirectory), the extension table
// and the extension modules, the client cache files (CacheFileTable), the
// client requests (ClientLauncher), logins and sessions (LoginService), the
// checks every request passes (RequestGate) and the HTTPS listener
// (HttpTransport). What remains here is the routing: "/" (the home page),
// "/zepa/login" and "/zepa/logout" are the library's own pages; "/<name>"
// and below go to the extension of that name through an
// EXTENSION_CONTROL_BLOCK (ConnectionContext). The control blocks and the
// client requests see the server through ServerContext only. Names that
// belong to a part (file names, headers, the cookie) are asked of that part
// (DataDirectory, RequestGate, LoginService), not of the server.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cache_file_table.h"
#include "client/client_launcher.h"
#include "client_url.h"
#include "data_directory.h"
#include "platform/zepa/user_tokens.h"
#include "server_context.h"
#include "extensions/extension_modules.h"
#include "extensions/extension_table.h"
#include "transport/http_transport.h"
#include "users/login_service.h"
#include "request_gate.h"
#include "users/scrape_credentials.h"
#include "server_statistics.h"
#include "server_settings.h"
#include "server_table.h"
#include "users/session_table.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ZepaServer : public ServerContext {
 public:
  using Settings = ServerSettings;

  // Threads never get a smaller stack: they also run TLS and the parser.
  static constexpr size_t kMinimumStackBytes = 8u << 20;
  // How long a shutdown waits for connections beyond its wait
  // (ServerSettings::shutdownWaitSeconds): connections waiting for their
  // client requests stop waiting at the end of the wait, then need a moment
  // to answer.
  static constexpr int kShutdownGraceSeconds = 5;

  explicit ZepaServer(const Settings& settings);
  ~ZepaServer() override;
  ZepaServer(const ZepaServer&) = delete;
  ZepaServer& operator=(const ZepaServer&) = delete;

  // Prepares the data directory (certificate, users), loads the extension
  // modules and starts listening.
  bool Start(std::string* error);
  // Stops listening, waits for requests (at most the settings' shutdown wait
  // and kShutdownGraceSeconds) and client requests (at most the wait again),
  // then calls each extension's termination callback. What still runs after
  // its wait is left running (HasStragglers). Only the first call does the
  // work.
  void Shutdown();
  bool IsShuttingDown() const override { return stopping_.load(); }
  const std::atomic<bool>* StoppingFlag() const override { return &stopping_; }
  bool ShutdownWaitOver() const override;
  // True when the shutdown gave up waiting for requests or client requests:
  // the server object must then never be destroyed (their threads still use
  // it).
  bool HasStragglers() const { return stragglers_.load(); }

  // `internalOnly`: the root is reached only by this process's own client
  // requests (extension modules).
  bool RegisterExtension(const ExtensionRecord* record, std::string* error, bool internalOnly = false) {
    return extensions_.Register(record, internalOnly, error);
  }
  void SetStackSize(size_t bytes);

  // Queues a client request (ZEPAClientGetUrl / ZEPAClientPostUrlEx).
  bool StartClient(const std::string& url, const std::string& method, const std::string& contentType,
                   std::string body, PFN_ZEPA_CLIENT_CALLBACK callback, void* userObject, std::string* error);

  const Settings& GetSettings() const { return settings_; }

  // ServerContext.
  std::string FilePath(const char* name) const override { return data_.File(name); }
  uint32_t RightsFor(const std::optional<SessionTable::Session>& session, const std::string& right) override {
    return login_.RightsFor(session, right);
  }
  uint32_t UserRights(const std::string& user, const std::string& right) override {
    return login_.UserRights(user, right);
  }
  LoginService& Logins() override { return login_; }
  int RevokeTokensOf(const std::string& user, std::string* error) override {
    return UserTokens(data_.Path()).RevokeAllOf(user, error);
  }
  bool IsOwnUrl(const ClientUrl& url) const override {
    return RequestGate::IsOwnUrl(url, settings_.port, settings_.address);
  }
  void RegisterCacheFile(const std::string& path, const CacheFileTable::Info& info) override {
    cacheFiles_.Register(path, info);
  }
  void UnregisterCacheFile(const std::string& path) override { cacheFiles_.Unregister(path); }
  bool LookupCacheFile(const std::string& path, CacheFileTable::Info* info) const override {
    return cacheFiles_.Lookup(path, info);
  }

  // The whole answer to one request that passed EarlyCheck (public for the
  // tests).
  void Handle(HttpTransport::Request& request, HttpTransport::Response& response);
  // The checks made before a request body is read: method, internal roots,
  // origin (the declared size is the transport's, checked before these).
  bool EarlyCheck(const HttpTransport::Request& request, HttpTransport::Response& response) {
    return RequestGate::EarlyCheck(request, response, extensions_);
  }
  // The running counts behind ZEPAGetServerStatistics (all but cbSize).
  void GetStatistics(ZEPA_SERVER_STATISTICS* out) const;

 private:
  void HandleExtension(const std::shared_ptr<const ExtensionRegistration>& extension, const std::string& below,
                       const HttpTransport::Request& request, HttpTransport::Response& response);
  void HandleHome(const HttpTransport::Request& request, HttpTransport::Response& response);

  // First, so that the modules are unloaded after everything that may run
  // their code is gone.
  ExtensionModules modules_;
  Settings settings_;
  Clock& clock_;
  DataDirectory data_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> stragglers_{false};
  mutable std::mutex mutex_;
  Clock::SteadyTime shutdownDeadline_{};
  ExtensionTable extensions_;
  CacheFileTable cacheFiles_;
  LoginService login_;
  ScrapeCredentials credentials_;
  ServerStatistics statistics_;
  ClientLauncher clients_;
  HttpTransport transport_;
};

}  // namespace orla
