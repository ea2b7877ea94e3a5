#pragma once
// One running web server of the library: the HTTPS listener, the data
// directory (certificate, key, users file, client cache), sessions, the
// registered extensions and the client requests. Requests for "/<name>" and
// below go to the extension of that name through an EXTENSION_CONTROL_BLOCK
// (ConnectionContext); "/", "/zepa/login" and "/zepa/logout" are the
// library's own pages.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <vector>

#include "platform/zepa/client_url.h"
#include "platform/zepa/extension_modules.h"
#include "platform/zepa/extension_registration.h"
#include "platform/zepa/http_transport.h"
#include "platform/zepa/login_throttle.h"
#include "platform/zepa/server_table.h"
#include "platform/zepa/session_table.h"
#include "platform/zepa/user_store.h"
#include "platform/zepa/worker_pool.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ZepaServer {
 public:
  // The "__Host-" prefix makes browsers accept the cookie only when it is
  // Secure, for Path=/ and without Domain: no other host can set it.
  static constexpr const char* kCookieName = "__Host-ZEPASESSION";
  static constexpr const char* kCertificateFileName = "server.crt";
  static constexpr const char* kKeyFileName = "server.key";
  static constexpr const char* kUsersFileName = "users";
  static constexpr const char* kPasswordFileName = "administrator-password.txt";
  static constexpr const char* kCacheDirectoryName = "cache";
  // The certificates client requests trust: the system's and this server's.
  static constexpr const char* kTrustBundleFileName = "client-trust.pem";
  static constexpr const char* kAdministrator = "administrator";
  // The administrator made on first start holds every bit of every right.
  static constexpr uint32_t kAdministratorMask = 0x7fffffffu;
  // Threads never get a smaller stack: they also run TLS and the parser.
  static constexpr size_t kMinimumStackBytes = 8u << 20;

  struct Settings {
    std::string name;
    std::string dataDirectory;
    std::string address = "0.0.0.0";
    int port = 2381;
    size_t maxBodyBytes = 8192;
    unsigned maxConnections = 512;           // each has a thread of its own
    unsigned maxConnectionsPerAddress = 64;
    size_t maxClientWorkers = 32;
    SessionTable::Settings sessions;
  };

  // Settings from the start-up record and what the program chose
  // (ZEPASetServerEndpoint, ZEPASetServerLimits). A program that chose no
  // endpoint gets the one in KORAGENT_HTTPS_PORT and KORAGENT_HTTPS_ADDRESS,
  // as before that call existed. False with *error when the record or a
  // setting is malformed.
  static bool SettingsFrom(const ServerStartupRecord* record, const ServerTable::NextStart& next, Settings* out,
                           std::string* error);

  // True for a numeric IPv4 or IPv6 address ("0.0.0.0", "::1").
  static bool IsNumericAddress(const std::string& address);

  explicit ZepaServer(const Settings& settings);
  ~ZepaServer();
  ZepaServer(const ZepaServer&) = delete;
  ZepaServer& operator=(const ZepaServer&) = delete;

  // Prepares the data directory (certificate, users) and starts listening.
  bool Start(std::string* error);
  // Stops listening, waits for requests and client requests, then calls each
  // extension's termination callback. Only the first call does the work.
  void Shutdown();
  bool IsShuttingDown() const { return stopping_.load(); }
  // How long a shutdown waits for requests and client requests to end.
  static constexpr int kShutdownWaitSeconds = 30;
  // True once a shutdown has waited that long: connections stop waiting for
  // their client requests.
  bool ShutdownWaitOver() const;
  // True when the shutdown gave up waiting for client requests: the server
  // object must then never be destroyed (their threads still use it).
  bool HasStragglers() const { return stragglers_.load(); }
  // True from the start of the shutdown: client requests under way end early.
  const std::atomic<bool>* StoppingFlag() const { return &stopping_; }
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
  bool RegisterExtension(const ExtensionRecord* record, std::string* error, bool internalOnly = false);

  // The header this process's client requests carry to reach internal roots,
  // and its value: a random secret made once per process.
  static constexpr const char* kInternalHeader = "X-ZEPA-Internal";
  static const std::string& InternalSecret();
  // True when a client request to `url` goes to this server (a loopback
  // host and this server's port), so that it may carry the secret.
  bool IsOwnUrl(const ClientUrl& url) const;
  void SetStackSize(size_t bytes);

  // Queues a client request (ZEPAClientGetUrl / ZEPAClientPostUrlEx).
  bool StartClient(const std::string& url, const std::string& method, const std::string& contentType,
                   std::string body, PFN_ZEPA_CLIENT_CALLBACK callback, void* userObject, std::string* error);

  const Settings& GetSettings() const { return settings_; }
  std::string FilePath(const char* name) const;

  // The rights query: 0x80000000 without a valid session, else the user's
  // mask for `right`.
  uint32_t RightsFor(const std::optional<SessionTable::Session>& session, const std::string& right);
  // The session the request's cookie names, when it is still valid.
  std::optional<SessionTable::Session> SessionOf(const HttpTransport::Request& request);

  // Client cache files that REQ_SEND_FILE may send, with what the response
  // said about its body.
  struct CacheInfo {
    int status = 200;
    std::string contentType;
    std::string location;
  };
  void RegisterCacheFile(const std::string& path, const CacheInfo& info);
  void UnregisterCacheFile(const std::string& path);
  bool LookupCacheFile(const std::string& path, CacheInfo* info) const;

  // The whole answer to one request (public for the tests).
  void Handle(HttpTransport::Request& request, HttpTransport::Response& response);
  // Removes the secret header and, when it did not match, every VESTRA_
  // header; sets request.internal.
  static void SortOutInternal(HttpTransport::Request& request);
  // True when the request carries the secret (every copy of its header).
  static bool CarriesSecret(const HttpTransport::Request& request);
  // The checks made before a request body is read: method, size, origin.
  bool EarlyCheck(const HttpTransport::Request& request, HttpTransport::Response& response);
  // True when the request's Origin, or without one its Referer, is this
  // server (https and the Host the request was sent to).
  static bool SameOrigin(const HttpTransport::Request& request);

 private:
  bool EnsureUsers(std::string* error);
  void PrepareCacheDirectory();
  std::shared_ptr<const ExtensionRegistration> FindExtension(const std::string& path, std::string* below) const;
  void HandleExtension(const std::shared_ptr<const ExtensionRegistration>& extension, const std::string& below,
                       const HttpTransport::Request& request, HttpTransport::Response& response);
  void HandleHome(const HttpTransport::Request& request, HttpTransport::Response& response);
  void HandleLogin(const HttpTransport::Request& request, HttpTransport::Response& response);
  void HandleLogout(const HttpTransport::Request& request, HttpTransport::Response& response);
  void SendPage(HttpTransport::Response& response, int status, const std::string& html) const;
  void SendError(HttpTransport::Response& response, int status, const std::string& message) const;
  std::string SessionCookie(const std::string& token, long maxAgeSeconds) const;

  // First, so that the modules are unloaded after everything that may run
  // their code is gone.
  ExtensionModules modules_;
  Settings settings_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> stragglers_{false};
  std::chrono::steady_clock::time_point shutdownDeadline_{};
  HttpTransport transport_;
  UserStore users_;
  SessionTable sessions_;
  LoginThrottle throttle_;
  // Password verifications under way at once.
  static constexpr int kMaxVerifications = 4;
  static constexpr int kVerificationWaitSeconds = 10;
  std::counting_semaphore<kMaxVerifications> verifications_{kMaxVerifications};
  WorkerPool clientPool_;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<const ExtensionRegistration>> extensions_;
  std::map<std::string, CacheInfo> cacheFiles_;
  // Checked against when a login names an unknown user, so that such a
  // login takes as long as a wrong password.
  std::string dummyHash_;
};

}  // namespace orla
