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
// EXTENSION_CONTROL_BLOCK (ConnectionContext).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cache_file_table.h"
#include "client_launcher.h"
#include "client_url.h"
#include "data_directory.h"
#include "extension_modules.h"
#include "extension_table.h"
#include "http_transport.h"
#include "login_service.h"
#include "request_gate.h"
#include "scrape_credentials.h"
#include "server_statistics.h"
#include "server_settings.h"
#include "server_table.h"
#include "session_table.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ZepaServer {
 public:
  using Settings = ServerSettings;
  using CacheInfo = CacheFileTable::Info;

  static constexpr const char* kCookieName = LoginService::kCookieName;
  static constexpr const char* kCertificateFileName = DataDirectory::kCertificateFileName;
  static constexpr const char* kKeyFileName = DataDirectory::kKeyFileName;
  static constexpr const char* kUsersFileName = DataDirectory::kUsersFileName;
  static constexpr const char* kPasswordFileName = DataDirectory::kPasswordFileName;
  static constexpr const char* kCacheDirectoryName = DataDirectory::kCacheDirectoryName;
  static constexpr const char* kTrustBundleFileName = DataDirectory::kTrustBundleFileName;
  static constexpr const char* kAdministrator = DataDirectory::kAdministrator;
  static constexpr uint32_t kAdministratorMask = DataDirectory::kAdministratorMask;
  static constexpr const char* kInternalHeader = RequestGate::kInternalHeader;
  // Threads never get a smaller stack: they also run TLS and the parser.
  static constexpr size_t kMinimumStackBytes = 8u << 20;
  // How long a shutdown waits for connections beyond its wait
  // (ServerSettings::shutdownWaitSeconds): connections waiting for their
  // client requests stop waiting at the end of the wait, then need a moment
  // to answer.
  static constexpr int kShutdownGraceSeconds = 5;

  static bool SettingsFrom(const ServerStartupRecord* record, const ServerTable::NextStart& next, Settings* out,
                           std::string* error) {
    return ServerSettings::From(record, next, out, error);
  }
  static bool IsNumericAddress(const std::string& address) { return ServerSettings::IsNumericAddress(address); }

  explicit ZepaServer(const Settings& settings);
  ~ZepaServer();
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
  bool IsShuttingDown() const { return stopping_.load(); }
  // True from the start of the shutdown: client requests under way end early.
  const std::atomic<bool>* StoppingFlag() const { return &stopping_; }
  // True once a shutdown has waited its time: connections stop waiting for
  // their client requests.
  bool ShutdownWaitOver() const;
  // True when the shutdown gave up waiting for requests or client requests:
  // the server object must then never be destroyed (their threads still use
  // it).
  bool HasStragglers() const { return stragglers_.load(); }
  // True on a thread that is running one of this server's requests or
  // client callbacks.
  bool OnOwnThread() const;
  // Marks the current thread as working for `server` for its lifetime.
  class ThreadScope {
   public:
    explicit ThreadScope(const ZepaServer* server);
    ~ThreadScope();
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;

   private:
    const ZepaServer* previous_;
  };

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
  std::string FilePath(const char* name) const { return data_.File(name); }

  uint32_t RightsFor(const std::optional<SessionTable::Session>& session, const std::string& right) {
    return login_.RightsFor(session, right);
  }
  std::optional<SessionTable::Session> SessionOf(const HttpTransport::Request& request) {
    return login_.SessionOf(request);
  }

  void RegisterCacheFile(const std::string& path, const CacheInfo& info) { cacheFiles_.Register(path, info); }
  void UnregisterCacheFile(const std::string& path) { cacheFiles_.Unregister(path); }
  bool LookupCacheFile(const std::string& path, CacheInfo* info) const { return cacheFiles_.Lookup(path, info); }

  // The whole answer to one request (public for the tests).
  void Handle(HttpTransport::Request& request, HttpTransport::Response& response);
  // The checks made before a request body is read: method, size, origin,
  // internal roots.
  bool EarlyCheck(const HttpTransport::Request& request, HttpTransport::Response& response) {
    return RequestGate::EarlyCheck(request, response, settings_.maxBodyBytes, extensions_);
  }
  static bool SameOrigin(const HttpTransport::Request& request) { return RequestGate::SameOrigin(request); }
  static const std::string& InternalSecret() { return RequestGate::InternalSecret(); }
  static void SortOutInternal(HttpTransport::Request& request) { RequestGate::SortOutInternal(request); }
  static bool CarriesSecret(const HttpTransport::Request& request) { return RequestGate::CarriesSecret(request); }
  // The running counts behind ZEPAGetServerStatistics (all but cbSize).
  void GetStatistics(ZEPA_SERVER_STATISTICS* out) const;

  // True when a client request to `url` goes to this server.
  bool IsOwnUrl(const ClientUrl& url) const { return RequestGate::IsOwnUrl(url, settings_.port, settings_.address); }

 private:
  void HandleExtension(const std::shared_ptr<const ExtensionRegistration>& extension, const std::string& below,
                       const HttpTransport::Request& request, HttpTransport::Response& response);
  void HandleHome(const HttpTransport::Request& request, HttpTransport::Response& response);

  // First, so that the modules are unloaded after everything that may run
  // their code is gone.
  ExtensionModules modules_;
  Settings settings_;
  DataDirectory data_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> stragglers_{false};
  mutable std::mutex mutex_;
  std::chrono::steady_clock::time_point shutdownDeadline_{};
  ExtensionTable extensions_;
  CacheFileTable cacheFiles_;
  LoginService login_;
  ScrapeCredentials credentials_;
  ServerStatistics statistics_;
  ClientLauncher clients_;
  HttpTransport transport_;
};

}  // namespace orla
