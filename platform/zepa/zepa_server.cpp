#include "platform/zepa/zepa_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"
#include "platform/zepa/client_request.h"
#include "platform/zepa/client_url.h"
#include "platform/zepa/confined_path.h"
#include "platform/zepa/connection_context.h"
#include "platform/zepa/http_client.h"
#include "platform/zepa/library_pages.h"
#include "platform/zepa/password_hash.h"
#include "platform/zepa/self_signed_certificate.h"
#include "platform/zepa/web_text.h"
#include "platform/zepa/zepa_log.h"
#include "platform/text/port_setting.h"

namespace orla {

namespace {
thread_local const ZepaServer* t_server = nullptr;

WorkerPool::Settings ClientWorkers(size_t maxThreads) {
  WorkerPool::Settings settings;
  settings.maxThreads = maxThreads;
  settings.stackBytes = ZepaServer::kMinimumStackBytes;
  return settings;
}

bool FieldText(const char* field, size_t width, std::string* out) {
  const size_t n = strnlen(field, width);
  if (n == width) return false;
  out->assign(field, n);
  return true;
}

bool IsBodyMethod(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

// Scheme, lower-case host and port of an absolute URL or of a Host header
// taken as https.
bool OriginParts(const std::string& url, ClientUrl* parts) {
  if (!ClientUrl::Parse(url, parts)) return false;
  parts->host = WebText::ToLower(parts->host);
  return true;
}

void AddSecurityHeaders(HttpTransport::Response& response) {
  response.headers.emplace_back("Strict-Transport-Security", "max-age=31536000");
  response.headers.emplace_back("X-Content-Type-Options", "nosniff");
  response.headers.emplace_back("X-Frame-Options", "SAMEORIGIN");
  response.headers.emplace_back("Referrer-Policy", "same-origin");
}

// A user name as it may appear in a log line.
std::string LoggableName(const std::string& name) {
  return UserStore::IsValidName(name) ? name : std::string("(an invalid name)");
}
}  // namespace

ZepaServer::ThreadScope::ThreadScope(const ZepaServer* server) : previous_(t_server) { t_server = server; }

ZepaServer::ThreadScope::~ThreadScope() { t_server = previous_; }

bool ZepaServer::SettingsFrom(const ServerStartupRecord* record, const ServerTable::NextStart& next, Settings* out,
                              std::string* error) {
  if (record == nullptr) {
    *error = "no start-up record";
    return false;
  }
  uint32_t size = 0;
  std::memcpy(&size, record, sizeof(size));
  if (size != ZEPA_SERVER_STARTUP_RECORD_SIZE) {
    *error = StringPrintf("the start-up record's size is %u, not %u", size, ZEPA_SERVER_STARTUP_RECORD_SIZE);
    return false;
  }
  Settings settings;
  if (!FieldText(record->szServerName, sizeof(record->szServerName), &settings.name) ||
      !FieldText(record->szDataDirectory, sizeof(record->szDataDirectory), &settings.dataDirectory)) {
    *error = "a text of the start-up record is not terminated";
    return false;
  }
  if (settings.name.empty()) settings.name = "ZEPA";
  if (settings.dataDirectory.empty() || settings.dataDirectory[0] != '/') {
    *error = "the data directory of the start-up record must be an absolute path";
    return false;
  }
  if (next.endpointSet) {
    if (!next.address.empty()) settings.address = next.address;
    if (next.port != 0) settings.port = next.port;
  } else if (const char* port = std::getenv("KORAGENT_HTTPS_PORT"); port != nullptr && port[0] != '\0') {
    if (!PortSetting::Parse(port, &settings.port)) {
      *error = StringPrintf("KORAGENT_HTTPS_PORT=%s is not a port number", port);
      return false;
    }
  }
  if (const char* address = std::getenv("KORAGENT_HTTPS_ADDRESS");
      !next.endpointSet && address != nullptr && address[0] != '\0') {
    settings.address = address;
  }
  if (next.maxConnections != 0) settings.maxConnections = next.maxConnections;
  if (next.maxConnectionsPerAddress != 0) settings.maxConnectionsPerAddress = next.maxConnectionsPerAddress;
  *out = settings;
  return true;
}

bool ZepaServer::IsNumericAddress(const std::string& address) {
  unsigned char buffer[sizeof(struct in6_addr)];
  return inet_pton(AF_INET, address.c_str(), buffer) == 1 || inet_pton(AF_INET6, address.c_str(), buffer) == 1;
}

ZepaServer::ZepaServer(const Settings& settings)
    : settings_(settings),
      users_(settings.dataDirectory + "/" + kUsersFileName),
      sessions_(settings.sessions),
      clientPool_(ClientWorkers(settings.maxClientWorkers)) {}

ZepaServer::~ZepaServer() { Shutdown(); }

std::string ZepaServer::FilePath(const char* name) const { return settings_.dataDirectory + "/" + name; }

bool ZepaServer::OnOwnThread() const { return t_server == this; }

bool ZepaServer::ShutdownWaitOver() const {
  if (!stopping_) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  return std::chrono::steady_clock::now() >= shutdownDeadline_;
}

void ZepaServer::PrepareCacheDirectory() {
  const std::string dir = FilePath(kCacheDirectoryName);
  ::mkdir(dir.c_str(), 0700);
  // Responses left by a process that ended during a client request.
  if (DIR* d = ::opendir(dir.c_str())) {
    while (struct dirent* entry = ::readdir(d)) {
      if (std::strncmp(entry->d_name, "client-", 7) == 0) ::unlink((dir + "/" + entry->d_name).c_str());
    }
    ::closedir(d);
  }
}

bool ZepaServer::EnsureUsers(std::string* error) {
  if (users_.Exists()) return true;
  // No default password: a first start makes the administrator with a
  // random one, written first to an owner-only file so that it can never be
  // lost once the users file names it.
  const std::string password = PasswordHash::RandomPassword(20);
  const std::string hash = PasswordHash::Make(password);
  if (hash.empty()) {
    *error = "cannot hash the administrator's password";
    return false;
  }
  const std::string passwordFile = FilePath(kPasswordFileName);
  int rc = AtomicFile::Write(passwordFile, password + "\n", 0600);
  if (rc != 0) {
    *error = StringPrintf("cannot write %s: %s", passwordFile.c_str(), std::strerror(rc));
    return false;
  }
  bool created = false;
  std::string editError;
  rc = users_.Edit(
      [&](std::vector<UserStore::User>& users, std::string*) {
        if (!users.empty()) return false;  // the users tool was quicker
        UserStore::User admin;
        admin.name = kAdministrator;
        admin.hash = hash;
        admin.rights["*"] = kAdministratorMask;
        users.push_back(admin);
        created = true;
        return true;
      },
      &editError);
  if (rc != 0 || !created) {
    ::unlink(passwordFile.c_str());
    if (rc != 0) {
      *error = editError;
      return false;
    }
    return true;
  }
  ZepaLog::Write(ZepaLog::kInfo,
                 StringPrintf("The web server made the user \"%s\" with a random password, written to %s "
                              "(readable by its owner only). Log in with it, then change it with korusers.",
                              kAdministrator, passwordFile.c_str()));
  return true;
}

bool ZepaServer::Start(std::string* error) {
  std::error_code ec;
  const bool made = std::filesystem::create_directories(settings_.dataDirectory, ec);
  if (ec) {
    *error = StringPrintf("cannot make the data directory %s: %s", settings_.dataDirectory.c_str(),
                          ec.message().c_str());
    return false;
  }
  if (made) ::chmod(settings_.dataDirectory.c_str(), 0700);
  PrepareCacheDirectory();

  std::string message;
  switch (SelfSignedCertificate::Ensure(FilePath(kCertificateFileName), FilePath(kKeyFileName), &message)) {
    case SelfSignedCertificate::Outcome::kFailed:
      *error = message;
      return false;
    case SelfSignedCertificate::Outcome::kCreated:
    case SelfSignedCertificate::Outcome::kRenewed:
      ZepaLog::Write(ZepaLog::kInfo, message);
      break;
    case SelfSignedCertificate::Outcome::kKept:
      if (!message.empty()) ZepaLog::Write(ZepaLog::kWarning, message);
      break;
  }
  if (!EnsureUsers(error)) return false;
  if (!HttpClient::WriteTrustBundle(FilePath(kCertificateFileName), FilePath(kTrustBundleFileName), &message)) {
    // Client requests then trust only the system's certificates.
    ZepaLog::Write(ZepaLog::kWarning, "The web server cannot prepare its client requests' trust: " + message);
  }
  dummyHash_ = PasswordHash::Make(PasswordHash::RandomPassword(20));
  modules_.LoadAll(FilePath(ExtensionModules::kFolderName), [this](const ExtensionRecord& record, std::string* why) {
    return RegisterExtension(&record, why, true);
  });

  HttpTransport::Settings transport;
  transport.address = settings_.address;
  transport.port = settings_.port;
  transport.certificateFile = FilePath(kCertificateFileName);
  transport.keyFile = FilePath(kKeyFileName);
  transport.maxBodyBytes = settings_.maxBodyBytes;
  transport.maxConnections = settings_.maxConnections;
  transport.maxConnectionsPerAddress = settings_.maxConnectionsPerAddress;
  transport.stackBytes = kMinimumStackBytes;
  if (!transport_.Start(
          transport, [this](HttpTransport::Request& rq, HttpTransport::Response& rs) { Handle(rq, rs); },
          [this](const HttpTransport::Request& rq, HttpTransport::Response& rs) { return EarlyCheck(rq, rs); },
          error)) {
    return false;
  }
  started_ = true;
  ZepaLog::Write(ZepaLog::kInfo, StringPrintf("The web server %s listens for HTTPS on %s port %d.",
                                              settings_.name.c_str(), settings_.address.c_str(), settings_.port));
  return true;
}

void ZepaServer::Shutdown() {
  bool expected = false;
  if (!stopping_.compare_exchange_strong(expected, true)) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shutdownDeadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(kShutdownWaitSeconds);
  }
  // Connections first: their client requests still run on the client
  // workers and end them.
  if (started_) transport_.Stop();
  if (!clientPool_.ShutdownWithin(std::chrono::seconds(kShutdownWaitSeconds))) {
    stragglers_ = true;
    modules_.KeepLoaded();
    ZepaLog::Write(ZepaLog::kWarning,
                   StringPrintf("The web server %s stops with client requests still running after %d seconds; "
                                "they are left to end on their own.",
                                settings_.name.c_str(), kShutdownWaitSeconds));
  }
  std::vector<std::shared_ptr<const ExtensionRegistration>> extensions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    extensions = extensions_;
  }
  for (const auto& extension : extensions) {
    if (extension->terminateCallback == nullptr) continue;
    try {
      extension->terminateCallback(HSE_TERM_MUST_UNLOAD);
    } catch (...) {
      ZepaLog::Write(ZepaLog::kWarning, "The termination callback of the web extension " + extension->name +
                                            " failed with an exception.");
    }
  }
  if (started_) ZepaLog::Write(ZepaLog::kInfo, "The web server " + settings_.name + " stopped.");
}

void ZepaServer::SetStackSize(size_t bytes) {
  const size_t stack = bytes < kMinimumStackBytes ? kMinimumStackBytes : bytes;
  transport_.SetWorkerStackBytes(stack);
  clientPool_.SetStackBytes(stack);
}

bool ZepaServer::RegisterExtension(const ExtensionRecord* record, std::string* error, bool internalOnly) {
  auto registration = std::make_shared<ExtensionRegistration>();
  if (!ExtensionRegistration::FromRecord(record, registration.get(), error)) return false;
  registration->internalOnly = internalOnly;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& other : extensions_) {
      if (WebText::EqualsIgnoreCase(other->name, registration->name)) {
        *error = "an extension named " + other->name + " is registered already";
        return false;
      }
    }
  }
  if (registration->versionCallback != nullptr) {
    HSE_VERSION_INFO info;
    std::memset(&info, 0, sizeof(info));
    int ok = 0;
    try {
      ok = registration->versionCallback(&info);
    } catch (...) {
      ok = 0;
    }
    if (!ok) {
      *error = "the extension's version callback failed";
      return false;
    }
    registration->extensionVersion = info.dwExtensionVersion;
    registration->description.assign(info.lpszExtensionDesc, strnlen(info.lpszExtensionDesc, sizeof(info.lpszExtensionDesc)));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& other : extensions_) {
    if (WebText::EqualsIgnoreCase(other->name, registration->name)) {
      *error = "an extension named " + other->name + " is registered already";
      return false;
    }
  }
  extensions_.push_back(registration);
  return true;
}

std::shared_ptr<const ExtensionRegistration> ZepaServer::FindExtension(const std::string& path,
                                                                       std::string* below) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& extension : extensions_) {
    if (extension->Owns(path, below)) return extension;
  }
  return nullptr;
}

void ZepaServer::RegisterCacheFile(const std::string& path, const CacheInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  cacheFiles_[path] = info;
}

void ZepaServer::UnregisterCacheFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  cacheFiles_.erase(path);
}

bool ZepaServer::LookupCacheFile(const std::string& path, CacheInfo* info) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = cacheFiles_.find(path);
  if (it == cacheFiles_.end()) return false;
  *info = it->second;
  return true;
}

bool ZepaServer::StartClient(const std::string& url, const std::string& method, const std::string& contentType,
                             std::string body, PFN_ZEPA_CLIENT_CALLBACK callback, void* userObject,
                             std::string* error) {
  if (stopping_) {
    *error = "the server is shutting down";
    return false;
  }
  if (callback == nullptr) {
    *error = "no callback";
    return false;
  }
  ClientUrl parsed;
  if (!ClientUrl::Parse(url, &parsed)) {
    *error = "not an absolute http or https URL";
    return false;
  }
  std::shared_ptr<ConnectionContext> connection;
  if (ConnectionContext* current = ConnectionContext::Current()) connection = ConnectionContext::Find(current->ConnId());
  if (connection) connection->AddPendingClient();
  auto client = std::make_shared<ClientRequest>(this, parsed, method, contentType, std::move(body), callback,
                                                userObject, connection);
  if (!clientPool_.Enqueue([client] { client->Run(); })) {
    if (connection) connection->ClientOver();
    *error = "no client worker can be started";
    return false;
  }
  return true;
}

std::optional<SessionTable::Session> ZepaServer::SessionOf(const HttpTransport::Request& request) {
  std::string token;
  if (!WebText::CookieValue(request.Header("Cookie"), kCookieName, &token) || token.empty()) return std::nullopt;
  std::optional<SessionTable::Session> session = sessions_.Touch(token, SessionTable::Clock::now());
  if (!session) return std::nullopt;
  // A removed user or a changed password ends the session.
  std::optional<UserStore::User> user = users_.Find(session->user);
  if (!user || user->hash != session->passwordHash) {
    sessions_.Remove(token);
    return std::nullopt;
  }
  return session;
}

uint32_t ZepaServer::RightsFor(const std::optional<SessionTable::Session>& session, const std::string& right) {
  if (!session) return ZEPA_RIGHTS_NO_SESSION;
  std::optional<UserStore::User> user = users_.Find(session->user);
  if (!user || user->hash != session->passwordHash) return ZEPA_RIGHTS_NO_SESSION;
  return UserStore::MaskFor(*user, right);
}

bool ZepaServer::SameOrigin(const HttpTransport::Request& request) {
  const std::string host = request.Header("Host");
  ClientUrl self;
  if (host.empty() || !OriginParts("https://" + host + "/", &self)) return false;
  std::string claimed = request.Header("Origin");
  if (claimed.empty()) claimed = request.Header("Referer");
  ClientUrl from;
  if (claimed.empty() || claimed == "null" || !OriginParts(claimed, &from)) return false;
  return from.https && from.host == self.host && from.port == self.port;
}

bool ZepaServer::EarlyCheck(const HttpTransport::Request& request, HttpTransport::Response& response) {
  const std::string& method = request.method;
  if (method != "GET" && method != "HEAD" && method != "OPTIONS" && !IsBodyMethod(method)) {
    AddSecurityHeaders(response);
    response.headers.emplace_back("Allow", "GET, HEAD, POST, PUT, PATCH, DELETE, OPTIONS");
    SendError(response, 405, "This method is not served.");
    response.closeConnection = true;
    return true;
  }
  std::string below;
  std::shared_ptr<const ExtensionRegistration> extension = FindExtension(request.path, &below);
  if (extension && extension->internalOnly && !CarriesSecret(request)) {
    AddSecurityHeaders(response);
    SendError(response, 403, "This address serves the server's own requests only.");
    response.closeConnection = true;
    return true;
  }
  if (!IsBodyMethod(method)) return false;
  const std::string length = request.Header("Content-Length");
  if (!length.empty()) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(length.c_str(), &end, 10);
    if (errno != 0 || end == length.c_str() || *end != '\0' || value > settings_.maxBodyBytes) {
      AddSecurityHeaders(response);
      SendError(response, 413, StringPrintf("Request bodies are limited to %zu bytes.", settings_.maxBodyBytes));
      response.closeConnection = true;  // the body is never read
      return true;
    }
  }
  if (!SameOrigin(request)) {
    AddSecurityHeaders(response);
    SendError(response, 403, "The request did not come from a page of this server.");
    response.closeConnection = true;
    return true;
  }
  return false;
}

void ZepaServer::SendPage(HttpTransport::Response& response, int status, const std::string& html) const {
  response.status = status;
  response.contentType = "text/html; charset=utf-8";
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = html;
}

void ZepaServer::SendError(HttpTransport::Response& response, int status, const std::string& message) const {
  SendPage(response, status, LibraryPages::Error(status, message));
}

std::string ZepaServer::SessionCookie(const std::string& token, long maxAgeSeconds) const {
  return StringPrintf("%s=%s; Path=/; Max-Age=%ld; Secure; HttpOnly; SameSite=Strict", kCookieName, token.c_str(),
                      maxAgeSeconds);
}

const std::string& ZepaServer::InternalSecret() {
  static const std::string* secret = new std::string(PasswordHash::RandomHex(32));
  return *secret;
}

bool ZepaServer::IsOwnUrl(const ClientUrl& url) const {
  if (url.port != settings_.port) return false;
  const std::string host = WebText::ToLower(url.host);
  if (host == "localhost" || host == "::1") return true;
  unsigned char v4[4];
  return inet_pton(AF_INET, host.c_str(), v4) == 1 && v4[0] == 127;
}

bool ZepaServer::CarriesSecret(const HttpTransport::Request& request) {
  const std::string& secret = InternalSecret();
  int copies = 0;
  bool allMatch = true;
  for (const auto& [name, value] : request.headers) {
    if (!WebText::EqualsIgnoreCase(name, kInternalHeader)) continue;
    ++copies;
    // Compared in constant time.
    unsigned char diff = value.size() == secret.size() ? 0 : 1;
    for (size_t i = 0; i < secret.size() && i < value.size(); ++i) {
      diff |= static_cast<unsigned char>(value[i] ^ secret[i]);
    }
    if (diff != 0) allMatch = false;
  }
  return copies > 0 && allMatch;
}

void ZepaServer::SortOutInternal(HttpTransport::Request& request) {
  request.internal = CarriesSecret(request);
  HttpTransport::HeaderList kept;
  kept.reserve(request.headers.size());
  for (auto& header : request.headers) {
    if (WebText::EqualsIgnoreCase(header.first, kInternalHeader)) continue;
    // Only this process's own requests may tell an extension which device
    // to manage and with which communities ("VESTRA-X" reads as VESTRA_X).
    if (!request.internal && header.first.size() >= 7 &&
        WebText::EqualsIgnoreCase(header.first.substr(0, 6), "VESTRA") &&
        (header.first[6] == '_' || header.first[6] == '-')) {
      continue;
    }
    kept.push_back(std::move(header));
  }
  request.headers = std::move(kept);
}

void ZepaServer::Handle(HttpTransport::Request& request, HttpTransport::Response& response) {
  ThreadScope scope(this);
  SortOutInternal(request);
  AddSecurityHeaders(response);
  if (ConfinedPath::HasTraversal(request.path)) {
    SendError(response, 403, "The path is not allowed.");
    return;
  }
  if (request.path == "/") {
    HandleHome(request, response);
    return;
  }
  if (WebText::EqualsIgnoreCase(request.path, LibraryPages::kLoginPath)) {
    HandleLogin(request, response);
    return;
  }
  if (WebText::EqualsIgnoreCase(request.path, LibraryPages::kLogoutPath)) {
    HandleLogout(request, response);
    return;
  }
  if (WebText::EqualsIgnoreCase(request.path, LibraryPages::kSessionPath)) {
    // Who is signed in, as plain text (empty without a session): the
    // extensions' static pages show it.
    std::optional<SessionTable::Session> session = SessionOf(request);
    response.status = 200;
    response.contentType = "text/plain; charset=utf-8";
    response.headers.emplace_back("Cache-Control", "no-store");
    response.body = session ? session->user : std::string();
    return;
  }
  std::string below;
  std::shared_ptr<const ExtensionRegistration> extension = FindExtension(request.path, &below);
  if (!extension) {
    SendError(response, 404, "There is no page at this address.");
    return;
  }
  if (extension->internalOnly && !request.internal) {
    SendError(response, 403, "This address serves the server's own requests only.");
    return;
  }
  HandleExtension(extension, below, request, response);
}

void ZepaServer::HandleExtension(const std::shared_ptr<const ExtensionRegistration>& extension,
                                 const std::string& below, const HttpTransport::Request& request,
                                 HttpTransport::Response& response) {
  std::string translated;
  if (!ConfinedPath::Translate(extension->directory, below, &translated) ||
      !ConfinedPath::StaysInside(extension->directory, translated, nullptr)) {
    SendError(response, 403, "The path is not allowed.");
    return;
  }
  std::optional<SessionTable::Session> session = SessionOf(request);
  auto context = std::make_shared<ConnectionContext>(this, extension, request, translated, session);
  ConnectionContext::Register(context);
  uint32_t result = 0;
  bool threw = false;
  {
    ConnectionContext::CurrentScope current(context.get());
    try {
      result = extension->requestProcedure(context->Ecb());
    } catch (...) {
      threw = true;
    }
  }
  // The browser's answer may come from client requests started above.
  context->WaitForClients();
  ConnectionContext::Unregister(context.get());

  if (threw) {
    ZepaLog::Write(ZepaLog::kWarning,
                   "The web extension " + extension->name + " failed with an exception in its request procedure.");
    HttpTransport::Response discarded;
    context->BuildResponse(discarded);
    SendError(response, 500, "The application failed to answer the request.");
    return;
  }
  if (result == ZEPA_STATUS_LEAVE_TO_LIBRARY) {
    HttpTransport::Response discarded;
    context->BuildResponse(discarded);
    if (!session) {
      response.status = 302;
      response.headers.emplace_back("Location", LibraryPages::LoginUrl(request.target));
      response.headers.emplace_back("Cache-Control", "no-store");
      response.body = LibraryPages::Error(302, "Please log in.");
      return;
    }
    SendPage(response, 403, LibraryPages::NoAccess(settings_.name, session->user, request.target));
    return;
  }
  if (result == HSE_STATUS_SUCCESS || result == HSE_STATUS_SUCCESS_AND_KEEP_CONN) {
    if (context->BuildResponse(response)) return;
    if (context->HadClients()) {
      SendError(response, 502, "The server this page comes from sent no answer.");
    } else {
      SendError(response, 500, "The application sent no answer.");
    }
    return;
  }
  HttpTransport::Response discarded;
  context->BuildResponse(discarded);
  SendError(response, 500, StringPrintf("The application could not answer the request (status %u).", result));
}

void ZepaServer::HandleHome(const HttpTransport::Request& request, HttpTransport::Response& response) {
  if (request.method != "GET" && request.method != "HEAD") {
    response.headers.emplace_back("Allow", "GET, HEAD");
    SendError(response, 405, "This page is only read.");
    return;
  }
  std::vector<std::string> fragments;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& extension : extensions_) {
      std::string fragment = extension->HomePage("ENG");
      if (!fragment.empty()) fragments.push_back(fragment);
    }
  }
  std::optional<SessionTable::Session> session = SessionOf(request);
  SendPage(response, 200, LibraryPages::Home(settings_.name, fragments, session ? session->user : std::string()));
}

void ZepaServer::HandleLogin(const HttpTransport::Request& request, HttpTransport::Response& response) {
  if (request.method == "GET" || request.method == "HEAD") {
    std::string returnPath = "/";
    WebText::FormField(request.query, "return", &returnPath);
    SendPage(response, 200, LibraryPages::Login(settings_.name, "", returnPath, ""));
    return;
  }
  if (request.method != "POST") {
    response.headers.emplace_back("Allow", "GET, HEAD, POST");
    SendError(response, 405, "Use the login form.");
    return;
  }
  std::string name, password, returnPath = "/";
  WebText::FormField(request.body, "return", &returnPath);
  if (!throttle_.Begin(request.remoteAddress, SessionTable::Clock::now())) {
    SendPage(response, 429,
             LibraryPages::Login(settings_.name, "Too many failed logins from your address. Wait a minute, then try again.",
                                 returnPath, ""));
    return;
  }
  WebText::FormField(request.body, "user", &name);
  WebText::FormField(request.body, "password", &password);
  // Each verification takes much memory and time on purpose: only a few run
  // at once, the others wait their turn for a while.
  if (!verifications_.try_acquire_for(std::chrono::seconds(kVerificationWaitSeconds))) {
    throttle_.Failed(request.remoteAddress, SessionTable::Clock::now());
    response.headers.emplace_back("Retry-After", "5");
    SendPage(response, 503,
             LibraryPages::Login(settings_.name, "The server is busy checking other logins. Try again in a moment.",
                                 returnPath, UserStore::IsValidName(name) ? name : std::string()));
    return;
  }
  std::optional<UserStore::User> user;
  bool ok = false;
  try {
    user = UserStore::IsValidName(name) ? users_.Find(name) : std::nullopt;
    ok = user ? PasswordHash::Verify(password, user->hash) : (PasswordHash::Verify(password, dummyHash_), false);
  } catch (...) {
    ok = false;
  }
  verifications_.release();
  if (!ok) {
    throttle_.Failed(request.remoteAddress, SessionTable::Clock::now());
    ZepaLog::Write(ZepaLog::kWarning, StringPrintf("A web server login as %s from %s failed.",
                                                   LoggableName(name).c_str(), request.remoteAddress.c_str()));
    SendPage(response, 401,
             LibraryPages::Login(settings_.name, "The user name or the password is not correct.", returnPath,
                                 UserStore::IsValidName(name) ? name : std::string()));
    return;
  }
  throttle_.Succeeded(request.remoteAddress);
  std::string old;
  if (WebText::CookieValue(request.Header("Cookie"), kCookieName, &old)) sessions_.Remove(old);
  const std::string token = sessions_.Create(user->name, user->hash, SessionTable::Clock::now());
  ZepaLog::Write(ZepaLog::kInfo, StringPrintf("The user %s logged in to the web server from %s.", user->name.c_str(),
                                              request.remoteAddress.c_str()));
  response.status = 303;
  response.headers.emplace_back("Location", WebText::SafeLocalPath(returnPath));
  response.headers.emplace_back("Set-Cookie", SessionCookie(token, static_cast<long>(sessions_.GetSettings().lifetime.count())));
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = LibraryPages::Error(303, "You are logged in.");
}

void ZepaServer::HandleLogout(const HttpTransport::Request& request, HttpTransport::Response& response) {
  std::string token;
  if (WebText::CookieValue(request.Header("Cookie"), kCookieName, &token)) sessions_.Remove(token);
  response.headers.emplace_back("Set-Cookie", SessionCookie("", 0));
  SendPage(response, 200, LibraryPages::LoggedOut(settings_.name));
}

}  // namespace orla
